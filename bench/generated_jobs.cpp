// Writes the large G-code jobs the benchmarks draw.
#include "bench/generated_jobs.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

namespace {

constexpr double PixelPitch = 0.1; // mm between raster pixels and rows
constexpr int PhotoColumns = 4000; // pixels across the photo (400 mm at the pitch)
constexpr int PhotoLevels = 1001;  // S values 0..1000

// Writes text to a file through a large buffer; every generator below goes through it.
struct GcodeWriter {
    std::FILE* file = nullptr;
    long long written = 0;
    std::vector<char> buffer = std::vector<char>(1 << 20);

    bool open(const std::string& path)
    {
        file = std::fopen(path.c_str(), "wb");
        if (file != nullptr)
            std::setvbuf(file, buffer.data(), _IOFBF, buffer.size());
        return file != nullptr;
    }
    template <typename... Args> void line(const char* format, Args... args)
    {
        const int n = std::fprintf(file, format, args...);
        written += n > 0 ? n : 0;
    }
    bool close() { return std::fclose(file) == 0; }
};

} // namespace

// A dense vector job: many small closed shapes (circles and rounded squares, their arcs
// written as chords), each with its own power, travel between them.
bool writeVectorJob(const std::string& path, long long bytes)
{
    GcodeWriter out;
    if (!out.open(path))
        return false;
    out.line("G21\nG90\nM4\nG1 F3000\n");
    std::mt19937 random(50);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const double side = 300.0; // mm of the bed the shapes fill
    while (out.written < bytes) {
        const double cx = 5 + unit(random) * (side - 10), cy = 5 + unit(random) * (side - 10);
        const double radius = 0.5 + unit(random) * 4.5;
        const int chords = 16 + static_cast<int>(radius * 12);
        const int power = 50 + static_cast<int>(unit(random) * 950);
        const bool circle = unit(random) < 0.6;
        auto at = [&](int k, double& x, double& y) {
            const double a = 2 * M_PI * k / chords;
            if (circle) {
                x = cx + radius * std::cos(a);
                y = cy + radius * std::sin(a);
            } else { // a square with corners rounded by a quarter of its size
                const double c = std::cos(a), s = std::sin(a);
                const double squircle =
                    std::pow(std::pow(std::fabs(c), 4) + std::pow(std::fabs(s), 4), -0.25);
                x = cx + radius * c * squircle;
                y = cy + radius * s * squircle;
            }
        };
        double x, y;
        at(0, x, y);
        out.line("G0 X%.3f Y%.3f\n", x, y);
        for (int k = 1; k <= chords; ++k) {
            at(k % chords, x, y);
            if (k == 1)
                out.line("G1 X%.3f Y%.3f S%d\n", x, y, power);
            else
                out.line("G1 X%.3f Y%.3f\n", x, y);
        }
    }
    return out.close();
}

// A grey-scale photo engraving: a smooth picture plus noise at the raster pitch, one S
// value per pixel (equal neighbours merged into one move), rows back and forth, G0 between.
bool writePhotoRaster(const std::string& path, long long bytes)
{
    GcodeWriter out;
    if (!out.open(path))
        return false;
    out.line("G21\nG90\nM4\nG0 X0 Y0\nG1 F6000\n");
    std::mt19937 random(200);
    std::normal_distribution<double> noise(0.0, 0.04);
    for (int row = 0; out.written < bytes; ++row) {
        const bool forward = row % 2 == 0;
        out.line("G0 Y%.1f\n", row * PixelPitch);
        int runPower = -1; // power of the run of equal pixels not yet written
        for (int c = 0; c < PhotoColumns && out.written < bytes; ++c) {
            const int column = forward ? c : PhotoColumns - 1 - c;
            const double u = column / static_cast<double>(PhotoColumns), v = row / 3000.0;
            double grey = 0.5 + 0.3 * std::sin(6.0 * u + 2.0 * v) * std::cos(5.0 * v - u) +
                          0.15 * std::sin(40.0 * u * v) + noise(random);
            grey = std::clamp(grey, 0.0, 1.0);
            const int power = static_cast<int>(grey * (PhotoLevels - 1) + 0.5);
            if (power != runPower) {
                if (runPower >= 0) // the run ends where this pixel starts
                    out.line("G1 X%.1f S%d\n", (forward ? column : column + 1) * PixelPitch, runPower);
                runPower = power;
            }
        }
        out.line("G1 X%.1f S%d\n", (forward ? PhotoColumns : 0) * PixelPitch, runPower);
    }
    return out.close();
}

