// Shares the frame's rows out into bands, one thread each, and walks the moves into each
// band's rows.
#include "view/frame_bands.h"

#include "model/toolpath.h"
#include "platform/drawing.h"
#include "platform/fan_out.h"
#include "view/chunk_extents.h"
#include "view/move_walk.h"
#include "view/renderer.h"
#include "view/view_mapping.h"

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <thread>

namespace {

constexpr int MovesPerExtraThread = 50000; // below this a redraw runs on one thread
constexpr int MaxBands = MaxShares;        // threads of one redraw, at most

} // namespace

int bandCount(int height)
{
    int threads = rendererOptions.threads;
    if (threads <= 0) {
        threads = static_cast<int>(std::thread::hardware_concurrency());
        if (toolpath.moveCount < MovesPerExtraThread)
            threads = 1; // starting threads would cost more than the drawing
    }
    return std::clamp(threads, 1, std::min(MaxBands, height));
}

// The travel and cutting passes straight into the frame's pixels, the rows split into
// bands drawn at once. Every band walks all moves with the same logic, so each sees the
// same segments in the same order and the picture is the same for any number of bands.
void drawMovesIntoFrame(const ViewMapping& view)
{
    const int width = view.width;
    const int height = view.height;
    int imageWidth = 0;
    int imageHeight = 0;
    int bytesPerLine = 0;
    std::uint32_t* rows = imagePixelRows(FrameImageSlot, imageWidth, imageHeight, bytesPerLine);
    if (rows == nullptr || imageWidth != width || imageHeight != height)
        return;
    assert(bytesPerLine % static_cast<int>(sizeof(std::uint32_t)) == 0);
    const std::ptrdiff_t stride = bytesPerLine / static_cast<std::ptrdiff_t>(sizeof(std::uint32_t));

    int bands = bandCount(height);
    if (bands > 1 && !updateChunkExtents(bands))
        bands = 1; // without the chunks' extents one walk draws every row
    // The bands share out the rows the job covers, not the whole canvas, so that each
    // thread gets about as much to draw; the outer bands reach to the canvas edges.
    int jobTop = 0;
    int jobBottom = height;
    const Bounds& b = toolpath.allBounds;
    if (b.valid) {
        const double top = view.canvasY(b.maxY);
        const double bottom = view.canvasY(b.minY);
        if (top >= 0.0 && bottom <= height && bottom - top >= bands) { // also false for NaN
            jobTop = static_cast<int>(top);
            jobBottom = static_cast<int>(bottom) + 1;
        }
    }
    auto bandEdge = [&](int index) {
        if (index == 0)
            return 0;
        if (index == bands)
            return height;
        return jobTop + static_cast<int>(static_cast<long long>(jobBottom - jobTop) * index / bands);
    };
    PassWalk walks[MaxBands];
    auto drawBand = [&](int index) {
        const int top = bandEdge(index);
        const int bottom = bandEdge(index + 1);
        assert(0 <= top && top <= bottom && bottom <= height); // a band inside the frame
        BandSink sink;
        sink.band = PixelBand{rows, stride, width, height, top, bottom};
        // The walk's state lives on this thread's stack: written at every move, it would
        // bounce between the cores' caches if neighbouring bands' records shared a line.
        PassWalk walk;
        walkPasses(view, sink, walk,
                   bands == 1 ? NoBandRows : BandRows{static_cast<double>(top), static_cast<double>(bottom)});
        walks[index] = walk;
    };
    // Nothing here allocates but the threads themselves: a band whose thread cannot be
    // started is drawn on this one.
    runShares(bands, drawBand);
    greyEvaluations += walks[0].greys;
    segmentsWalked = 0;
    for (int index = 0; index < bands; ++index)
        segmentsWalked += walks[index].segments;
}
