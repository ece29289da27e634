// Measures how long a full redraw of large jobs takes: a 16-level raster against the floor
// of drawing its segments straight with QPainter; generated G-code files (a dense vector
// job, photo rasters of 200 MB and, with --large, 1 GB) or any given file, each drawn the
// old way (strokes), directly on one thread and on every core, against the walk alone;
// and (on request) the time from start to the first frame of a 200 MB file. Prints every
// figure.
#include "bench/generated_jobs.h"
#include "bench/load_figures.h"
#include "model/interpreter.h"
#include "model/loading_progress.h"
#include "model/toolpath.h"
#include "platform/drawing.h"
#include "platform/toolkit.h"
#include "view/canvas_texts.h"
#include "view/colour_scheme.h"
#include "view/controls.h"
#include "view/loading_picture.h"
#include "view/renderer.h"
#include "view/rulers.h"
#include "view/settings.h"
#include "view/view_commands.h"
#include "view/view_state.h"

#include <QImage>
#include <QPainter>
#include <QPen>
#include <QPointF>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <time.h>
#include <unistd.h>

namespace {

constexpr int CanvasWidth = 1536;  // device pixels
constexpr int CanvasHeight = 864;  // device pixels
constexpr double PixelPitch = 0.1; // mm between raster pixels and rows
constexpr int PowerLevels = 16;    // distinct S values of the generated image
constexpr double FullPower = 1000.0;
constexpr int Repeats = 5; // timed runs per figure; the median is printed
constexpr double ZoomFactor = 8.0;
constexpr long long BigFileBytes = 200LL * 1000 * 1000;
constexpr long long VectorJobBytes = 50LL * 1000 * 1000;
constexpr long long PhotoBytes = 200LL * 1000 * 1000;
constexpr long long LargePhotoBytes = 1000LL * 1000 * 1000;
constexpr double SlowFigureSeconds = 20.0; // a figure stops repeating after this much time

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Processor time of the whole process so far, in seconds: beside the wall clock it shows
// what a redraw costs when other programs share the cores.
double processorSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + t.tv_nsec * 1e-9;
}

template <typename Work> double medianSeconds(Work work)
{
    std::vector<double> times;
    double spent = 0.0;
    for (int i = 0; i < Repeats && (i < 1 || spent < SlowFigureSeconds); ++i) {
        const Clock::time_point start = Clock::now();
        work();
        times.push_back(secondsSince(start));
        spent += times.back();
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// The power of raster pixel (column, row): a smooth picture of a few levels, as engravers
// emit after dithering to grey levels, so that runs of equal power are common but short.
double rasterPower(int column, int row)
{
    const double v =
        0.5 + 0.25 * std::sin(column * 0.031) + 0.25 * std::cos(row * 0.047 + column * 0.011);
    const int level = std::clamp(static_cast<int>(v * PowerLevels), 0, PowerLevels - 1);
    return level * FullPower / (PowerLevels - 1);
}

// A bidirectional raster of `moves` cutting moves (about square), one travel move between rows.
void generateRaster(long long moves)
{
    clearToolpath();
    const int side = static_cast<int>(std::sqrt(static_cast<double>(moves)));
    long long made = 0;
    double x = 0.0, y = 0.0;
    for (int row = 0; made < moves; ++row) {
        const bool forward = row % 2 == 0;
        if (row > 0) {
            appendMove(x, y, x, y + PixelPitch, 0.0, true);
            y += PixelPitch;
        }
        for (int column = 0; column < side && made < moves; ++column, ++made) {
            const double nx = forward ? x + PixelPitch : x - PixelPitch;
            appendMove(x, y, nx, y, rasterPower(forward ? column : side - 1 - column, row), false);
            x = nx;
        }
    }
    toolpath.maxPower = FullPower;
}

// The floor: every cutting move transformed as the view does and drawn with drawPolyline,
// one polyline per run of touching segments of one colour, no culling and no merging.
double floorSeconds()
{
    QImage image(CanvasWidth, CanvasHeight, QImage::Format_RGB32);
    std::vector<QPointF> points;
    points.reserve(8192);
    return medianSeconds([&] {
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing, true);
        QPen pen(Qt::black, 1.0, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
        pen.setMiterLimit(10.0); // the pen the drawing layer strokes toolpaths with
        int lastPower = -1;
        auto flush = [&] {
            if (points.size() >= 2)
                painter.drawPolyline(points.data(), static_cast<int>(points.size()));
            points.clear();
        };
        for (int i = 0; i < toolpath.moveCount; ++i) {
            const Move& m = toolpath.moves[i];
            if (m.travel)
                continue;
            double x1, y1, x2, y2;
            machineToCanvas(m.x1, m.y1, x1, y1);
            machineToCanvas(m.x2, m.y2, x2, y2);
            if (m.power != lastPower) {
                flush();
                const int grey = static_cast<int>((1.0 - m.power / FullPower) * 210.0);
                pen.setColor(QColor(grey, grey, grey));
                painter.setPen(pen);
                lastPower = m.power;
            }
            if (points.empty() || points.back() != QPointF(x1, y1)) {
                flush();
                points.emplace_back(x1, y1);
            }
            points.emplace_back(x2, y2);
            if (points.size() >= 4000)
                flush();
        }
        flush();
    });
}

// Redraw with the bed layers on and off, against the floor, at the current view.
void report(const char* where)
{
    settings.showBed = 1;
    const double withBed = medianSeconds(redraw);
    settings.showBed = 0;
    const double withoutBed = medianSeconds(redraw);
    settings.showBed = 1;
    const double floor = floorSeconds();
    // The two bed layers on their own, into the frame, at this view.
    auto layer = [&](auto draw) {
        return medianSeconds([&] {
            if (beginVector(FrameImageSlot)) {
                draw(viewMapping());
                endVector();
            }
        });
    };
    const double grid = layer(drawGrid);
    const double rulers = layer(drawRulers);
    // What a pointer move over the canvas costs: the frame shown again under a new readout.
    pointerReadout = "X -1234.56   Y 567.89 mm";
    const double readout = medianSeconds(presentAgain);
    pointerReadout.clear();
    std::printf("  %-10s (scale %8.4f px/mm): redraw %7.1f ms (%7.1f ms without bed)   floor "
                "drawPolyline %7.1f ms"
                "   ratio %.2f (%.2f)\n"
                "             bed layers alone: grid %.1f ms, rulers %.1f ms; pointer readout "
                "(frame shown again) %.2f ms\n",
                where, viewState.scale, withBed * 1e3, withoutBed * 1e3, floor * 1e3, withBed / floor,
                withoutBed / floor, grid * 1e3, rulers * 1e3, readout * 1e3);
}

void benchRedraws(long long moves)
{
    const Clock::time_point start = Clock::now();
    generateRaster(moves);
    std::printf("raster job of %lld moves (%d stored) generated in %.2f s\n", moves, toolpath.moveCount,
                secondsSince(start));
    fitView();
    report("at the fit");
    zoomAt(CanvasWidth / 2.0, CanvasHeight / 2.0, ZoomFactor);
    report("at 8x zoom");
}

// Writes a raster G-code file of about `bytes` bytes; false when it cannot be written.
bool writeRasterFile(const std::string& path, long long bytes)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    std::fputs("G21\nG90\nM4\nG0 X0 Y0\nG1 F6000\n", file);
    long long written = 0;
    char line[64];
    const int side = 4000;
    for (int row = 0; written < bytes; ++row) {
        const bool forward = row % 2 == 0;
        written += std::fprintf(file, "G0 Y%.1f\n", row * PixelPitch);
        for (int c = 0; c < side && written < bytes; ++c) {
            const int column = forward ? c + 1 : side - 1 - c;
            const int n = std::snprintf(line, sizeof line, "G1 X%.1f S%d\n", column * PixelPitch,
                                        static_cast<int>(rasterPower(column, row)));
            std::fwrite(line, 1, static_cast<std::size_t>(n), file);
            written += n;
        }
    }
    return std::fclose(file) == 0;
}

// ---- generated G-code files, drawn four ways ----

// Which of the four ways to time ("abcd" by default; --ways picks fewer, for profiling).
std::string ways = "abcd";

// One way of drawing the moves, timed at the current view, in nanoseconds per move; 0 when
// that way is not picked.
double nanosecondsPerMove(char way, MoveDrawing drawing, int threads)
{
    if (ways.find(way) == std::string::npos)
        return 0.0;
    rendererOptions.moveDrawing = drawing;
    rendererOptions.threads = threads;
    const double before = processorSeconds();
    int runs = 0;
    const double seconds = medianSeconds([&runs] {
        redraw();
        ++runs;
    });
    const double processor = (processorSeconds() - before) / runs;
    rendererOptions = RendererOptions{};
    std::printf("      (%c: %d runs, median %.0f ms, processor time %.0f ms per run)\n", way, runs,
                seconds * 1e3, processor * 1e3);
    return seconds * 1e9 / std::max(toolpath.moveCount, 1);
}

void reportFourWays(const char* where)
{
    settings.showBed = 0; // the same background and present around each way
    const double strokes = nanosecondsPerMove('a', MoveDrawing::Painter, 1);
    const double one = nanosecondsPerMove('b', MoveDrawing::Direct, 1);
    const double all = nanosecondsPerMove('c', MoveDrawing::Direct, 0);
    const double walk = nanosecondsPerMove('d', MoveDrawing::WalkOnly, 1);
    settings.showBed = 1;
    const double ms = toolpath.moveCount / 1e6;
    std::printf(
        "  %-10s (scale %8.4f px/mm, %llu segments drawn)\n"
        "    ns per move: (a) strokes %7.1f  (b) direct, 1 thread %6.1f  (c) direct, %u threads %6.1f"
        "  (d) walk alone %6.1f\n"
        "    redraw ms:       %9.0f                  %9.0f                   %9.0f             %9.0f\n"
        "    (a)/(c) %.1fx faster, (c)/(d) %.2f of the floor\n",
        where, viewState.scale, static_cast<unsigned long long>(segmentsWalked), strokes, one,
        std::max(1u, std::thread::hardware_concurrency()), all, walk, strokes * ms, one * ms, all * ms,
        walk * ms, strokes / all, all / walk);
}

// Loads a G-code file and reports its redraws at the fit and at 8x zoom.
void benchFile(const std::string& path, const char* what)
{
    std::printf("%s: %s\n", what, path.c_str());
    printLoadFigures(path);
    loadingProgressHook = nullptr;
    const Clock::time_point start = Clock::now();
    if (!loadGcodeFile(path) || toolpath.moveCount == 0) {
        std::printf("  cannot load %s, or it holds no moves\n", path.c_str());
        return;
    }
    std::printf("  %d moves loaded in %.2f s\n", toolpath.moveCount, secondsSince(start));
    fitView();
    reportFourWays("at the fit");
    zoomAt(CanvasWidth / 2.0, CanvasHeight / 2.0, ZoomFactor);
    reportFourWays("at 8x zoom");
}

// Writes a generated job to a temporary file, benchmarks it and removes the file.
void benchGenerated(bool (*write)(const std::string&, long long), long long bytes, const char* what)
{
    const std::string path = "/tmp/tolvan_render_bench_" + std::to_string(getpid()) + ".gcode";
    const Clock::time_point start = Clock::now();
    if (!write(path, bytes)) {
        std::printf("cannot write %s\n", path.c_str());
        std::remove(path.c_str());
        return;
    }
    std::printf("\n%s (%lld MB generated in %.1f s)\n", what, bytes / 1000000, secondsSince(start));
    benchFile(path, what);
    std::remove(path.c_str());
}

void benchFirstFrame()
{
    const std::string path = "/tmp/tolvan_render_bench_200mb.gcode";
    if (!writeRasterFile(path, BigFileBytes)) {
        std::printf("cannot write %s\n", path.c_str());
        return;
    }
    loadingProgressHook = nullptr;
    Clock::time_point start = Clock::now();
    loadGcodeFile(path);
    const double interpreterOnly = secondsSince(start);

    enableLoadingProgress();
    start = Clock::now();
    loadGcodeFile(path); // as the window does: with the progress picture
    fitView();
    const double firstFrame = secondsSince(start);
    loadingProgressHook = nullptr;
    std::printf("200 MB raster file (%d moves): interpreter alone %.2f s, load to first frame %.2f s, "
                "ratio %.2f\n",
                toolpath.moveCount, interpreterOnly, firstFrame, firstFrame / interpreterOnly);
    std::remove(path.c_str());
}

} // namespace

int main(int argc, char** argv)
{
    bool firstFrame = false;
    bool large = false;
    std::vector<long long> sizes;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--first-frame") == 0)
            firstFrame = true;
        else if (std::strcmp(argv[i], "--ways") == 0 && i + 1 < argc)
            ways = argv[++i];
        else if (std::strcmp(argv[i], "--large") == 0)
            large = true;
        else if (std::strcmp(argv[i], "--moves") == 0 && i + 1 < argc)
            sizes.push_back(std::atoll(argv[++i]));
        else if (std::strcmp(argv[i], "--file") == 0 && i + 1 < argc)
            files.emplace_back(argv[++i]);
        else if (std::strcmp(argv[i], "--write-photo") == 0 && i + 2 < argc)
            return writePhotoRaster(argv[i + 1], std::atoll(argv[i + 2]) * 1000000) ? 0 : 1;
        else if (std::strcmp(argv[i], "--write-vector") == 0 && i + 2 < argc)
            return writeVectorJob(argv[i + 1], std::atoll(argv[i + 2]) * 1000000) ? 0 : 1;
        else {
            std::fprintf(
                stderr,
                "usage: render_bench [--moves N]... [--file PATH]... [--large] [--first-frame]\n"
                "       render_bench --write-photo PATH MB | --write-vector PATH MB\n"
                "  --moves N    the 16-level raster of N moves (default 10 million)\n"
                "  --file PATH  this G-code file instead of the generated ones\n"
                "  --large      a 1 GB photo raster too\n"
                "  --ways abcd  time only these of the four ways\n"
                "  --write-photo PATH MB, --write-vector PATH MB: only write such a job\n");
            return 2;
        }
    }
    if (sizes.empty() && files.empty())
        sizes = {10000000};

    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static char name[] = "render_bench";
    static char* toolkitArgv[] = {name, nullptr};
    static int toolkitArgc = 1;
    if (!initToolkit(toolkitArgc, toolkitArgv) ||
        openWindow(0, 0, CanvasWidth, CanvasHeight, "bench", 0) == 0 ||
        !createCanvas(Canvas, 0, 0, CanvasWidth, CanvasHeight, false) || !createToolpath()) {
        std::fprintf(stderr, "render_bench: no offscreen canvas\n");
        return 1;
    }
    loadFont(0, "Segoe UI", 9);
    applyColourScheme();
    std::printf(
        "canvas %dx%d, %u hardware threads, bed %s, grey by power %s; medians of up to %d runs\n",
        CanvasWidth, CanvasHeight, std::thread::hardware_concurrency(), settings.showBed ? "on" : "off",
        settings.greyByPower ? "on" : "off", Repeats);
    for (long long moves : sizes)
        benchRedraws(moves);
    for (const std::string& file : files)
        benchFile(file, "given file");
    if (files.empty()) {
        benchGenerated(writeVectorJob, VectorJobBytes, "dense vector job, 50 MB");
        benchGenerated(writePhotoRaster, PhotoBytes, "photo raster, 200 MB");
        if (large)
            benchGenerated(writePhotoRaster, LargePhotoBytes, "photo raster, 1 GB");
    }
    if (firstFrame)
        benchFirstFrame();
    shutdownToolkit();
    return 0;
}
