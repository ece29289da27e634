// Measures the cost of stroking through the layer's path operations against QPainter's
// drawPolyline on the same one-pixel random-walk segments, and prints both and the ratio.
#include "platform/drawing.h"
#include "platform/toolkit.h"

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPen>
#include <QPointF>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr int Width = 1920; // pixels
constexpr int Height = 1080;
constexpr int Segments = 1000000;
constexpr int Batch = 4000; // segments per stroke, as the renderer issues them
constexpr int Rounds = 5;   // the best of these rounds is reported
constexpr int ImageSlot = 0;
const ColourValue Ink = makeRgba(60, 60, 60, 255);

// A deterministic walk of one-pixel steps that reflects at the image's edges.
std::vector<double> randomWalk()
{
    std::vector<double> xy;
    xy.reserve(2 * (Segments + 1));
    std::uint64_t state = 0x2545F4914F6CDD1DULL;
    double x = Width / 2.0, y = Height / 2.0;
    xy.push_back(x);
    xy.push_back(y);
    for (int i = 0; i < Segments; ++i) {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        const double angle =
            static_cast<double>(state >> 11) * (6.283185307179586 / 9007199254740992.0);
        x += std::cos(angle);
        y += std::sin(angle);
        if (x < 0 || x > Width)
            x -= 2 * std::cos(angle);
        if (y < 0 || y > Height)
            y -= 2 * std::sin(angle);
        xy.push_back(x);
        xy.push_back(y);
    }
    return xy;
}

double seconds(std::chrono::steady_clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

// Every batch starts where the previous one ended, as the renderer's batches do.
double strokeThroughLayer(const std::vector<double>& xy)
{
    newImage(ImageSlot, Width, Height, 24, makeRgb(255, 255, 255));
    const auto start = std::chrono::steady_clock::now();
    beginVector(ImageSlot);
    setPaintColour(Ink);
    for (int first = 0; first < Segments; first += Batch) {
        const int last = std::min(first + Batch, Segments);
        pathMoveTo(xy[2 * first], xy[2 * first + 1]);
        for (int i = first + 1; i <= last; ++i)
            pathLineTo(xy[2 * i], xy[2 * i + 1]);
        strokeSolid(1.0);
    }
    endVector();
    return seconds(std::chrono::steady_clock::now() - start);
}

double strokeWithQPainter(const std::vector<double>& xy)
{
    QImage image(Width, Height, QImage::Format_RGB32);
    image.fill(Qt::white);
    std::vector<QPointF> points;
    points.reserve(Batch + 1);
    const auto start = std::chrono::steady_clock::now();
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    QPen pen(QColor(60, 60, 60, 255));
    pen.setWidthF(1.0);
    pen.setCapStyle(Qt::FlatCap);
    pen.setJoinStyle(Qt::MiterJoin);
    painter.setPen(pen);
    for (int first = 0; first < Segments; first += Batch) {
        const int last = std::min(first + Batch, Segments);
        points.clear();
        for (int i = first; i <= last; ++i)
            points.emplace_back(static_cast<float>(xy[2 * i]), static_cast<float>(xy[2 * i + 1]));
        painter.drawPolyline(points.data(), static_cast<int>(points.size()));
    }
    painter.end();
    return seconds(std::chrono::steady_clock::now() - start);
}

} // namespace

int main(int argc, char** argv)
{
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 1); // no window is shown
    if (!initToolkit(argc, argv)) {
        std::fprintf(stderr, "stroke_bench: the toolkit did not start\n");
        return 1;
    }
    const std::vector<double> xy = randomWalk();
    double layer = 1e9, direct = 1e9;
    for (int round = 0; round < Rounds; ++round) {
        // Alternate the order so that neither side always runs with a warm cache.
        if (round % 2 == 0) {
            layer = std::min(layer, strokeThroughLayer(xy));
            direct = std::min(direct, strokeWithQPainter(xy));
        } else {
            direct = std::min(direct, strokeWithQPainter(xy));
            layer = std::min(layer, strokeThroughLayer(xy));
        }
    }
    std::printf("stroke_bench: %d one-pixel segments in batches of %d on %dx%d, best of %d\n", Segments,
                Batch, Width, Height, Rounds);
    std::printf("  layer path operations : %8.1f ms\n", layer * 1000);
    std::printf("  QPainter::drawPolyline: %8.1f ms\n", direct * 1000);
    std::printf("  ratio layer / direct  : %8.3f (target < 1.3)\n", layer / direct);
    shutdownToolkit();
    return 0;
}
