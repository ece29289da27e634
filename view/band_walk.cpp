// Walks the cutting moves for one band of the frame's rows a stretch at a time, noting the
// tiles it draws into: the walk a replay's kept frames are made from.
#include "view/band_walk.h"

#include "model/toolpath.h"
#include "view/chunk_extents.h"
#include "view/frame_bands.h"
#include "view/hairline.h"
#include "view/move_walk.h"
#include "view/segment_clip.h"
#include "view/view_mapping.h"

#include <algorithm>
#include <cassert>
#include <cstdint>

namespace {

// Notes each tile of the band a segment (ends finite and clipped, or within the clip
// threshold) may touch: its pixels reach a pixel beyond its ends at most.
void markSegmentTiles(const PixelBand& band, TileMarks tiles, double x1, double y1, double x2, double y2)
{
    constexpr double Reach = 2.0; // pixels; one would do, the other is for rounding
    const double top = std::max(std::min(y1, y2) - Reach, static_cast<double>(band.top));
    const double bottom = std::min(std::max(y1, y2) + Reach, band.bottom - 1.0);
    if (!(top <= bottom))
        return;
    const double right = static_cast<double>(band.width - 1);
    const int firstColumn = static_cast<int>(std::clamp(std::min(x1, x2) - Reach, 0.0, right));
    const int lastColumn = static_cast<int>(std::clamp(std::max(x1, x2) + Reach, 0.0, right));
    const int across = lastColumn / DirtyTileWidth - firstColumn / DirtyTileWidth + 1;
    for (int row = static_cast<int>(top) / DirtyTileRows; row <= static_cast<int>(bottom) / DirtyTileRows; ++row)
        std::fill_n(tiles.marks + row * tiles.columns + firstColumn / DirtyTileWidth, across, 1);
}

// Draws into a band as BandSink does and notes each tile a segment may touch.
struct MarkingSink {
    BandSink draw;
    TileMarks tiles;

    void changeColour(ColourValue colour) { draw.changeColour(colour); }
    void segment(double x1, double y1, double x2, double y2)
    {
        markSegmentTiles(draw.band, tiles, x1, y1, x2, y2);
        draw.segment(x1, y1, x2, y2);
    }
    void finish() { draw.finish(); }
};

} // namespace

static_assert(BandWalkState{}.colour == NoColour && BandWalkState{}.key0 == NoKey,
              "a fresh band walk starts as every pass does");

void walkBandStretch(const PixelBand& band, bool banded, std::int32_t first, std::int32_t last,
                     const Move* part, BandWalkState& state, TileMarks marks)
{
    assert(0 <= first && first <= last && last <= toolpath.moveCount);
    const BandRows rows = banded ? BandRows{static_cast<double>(band.top), static_cast<double>(band.bottom)}
                                 : NoBandRows;
    PassWalk walk;
    PowerColours colours;
    if (marks.marks != nullptr) {
        MarkingSink sink{BandSink{}, marks};
        sink.draw.band = band;
        sink.changeColour(state.colour);
        walkPass(CuttingKind, viewMapping(band.width, band.height), sink, walk, colours, rows, last, part, first,
                 &state);
    } else {
        BandSink sink;
        sink.band = band;
        sink.changeColour(state.colour);
        walkPass(CuttingKind, viewMapping(band.width, band.height), sink, walk, colours, rows, last, part, first,
                 &state);
    }
}

void walkBandState(const PixelBand& band, bool banded, std::int32_t first, std::int32_t last,
                   BandWalkState& state)
{
    assert(0 <= first && first <= last && last <= toolpath.moveCount);
    const BandRows rows = banded ? BandRows{static_cast<double>(band.top), static_cast<double>(band.bottom)}
                                 : NoBandRows;
    PassWalk walk;
    PowerColours colours;
    NoSink sink;
    walkPass(CuttingKind, viewMapping(band.width, band.height), sink, walk, colours, rows, last, nullptr, first,
             &state);
}

void markMoveTiles(const PixelBand& band, std::int32_t first, std::int32_t last, TileMarks marks)
{
    assert(0 <= first && first <= last && last <= toolpath.moveCount);
    const ViewMapping view = viewMapping(band.width, band.height);
    const double clipRight = band.width + ClipMargin;
    const double clipBottom = band.height + ClipMargin;
    for (const Move* move = toolpath.moves + first; move != toolpath.moves + last; ++move) {
        if (move->travel != CuttingKind)
            continue;
        double sx1 = view.canvasX(move->x1), sy1 = view.canvasY(move->y1);
        double sx2 = view.canvasX(move->x2), sy2 = view.canvasY(move->y2);
        if (view.offCanvas(sx1, sy1, sx2, sy2))
            continue;
        if (!withinClipThreshold(sx1, sy1, sx2, sy2) &&
            clipSegment(sx1, sy1, sx2, sy2, -ClipMargin, -ClipMargin, clipRight, clipBottom) == 0)
            continue; // also an end that is not finite: such a move draws nothing
        markSegmentTiles(band, marks, sx1, sy1, sx2, sy2);
    }
}

bool bandWalkStateBefore(const PixelBand& band, bool banded, std::int32_t at, BandWalkState& state)
{
    constexpr std::int32_t LookBack = 4096; // moves
    const ViewMapping view = viewMapping(band.width, band.height);
    const double clipRight = band.width + ClipMargin;
    const double clipBottom = band.height + ClipMargin;
    const double skipAbove = band.top - BandSkipMargin;
    const double skipBelow = band.bottom + BandSkipMargin;
    for (std::int32_t index = at - 1; index >= 0 && index >= at - LookBack; --index) {
        const Move& move = toolpath.moves[index];
        if (move.travel != CuttingKind)
            continue;
        double sx1 = view.canvasX(move.x1), sy1 = view.canvasY(move.y1);
        double sx2 = view.canvasX(move.x2), sy2 = view.canvasY(move.y2);
        if (view.offCanvas(sx1, sy1, sx2, sy2))
            continue;
        // The steps of the walk that leave a state of their own, in its order.
        const bool ordinary = withinClipThreshold(sx1, sy1, sx2, sy2);
        if (banded && ordinary && ((sy1 < skipAbove && sy2 < skipAbove) || (sy1 > skipBelow && sy2 > skipBelow))) {
            state = BandWalkState{};
            return true;
        }
        if (!ordinary) {
            if (!allFinite(sx1, sy1, sx2, sy2) ||
                clipSegment(sx1, sy1, sx2, sy2, -ClipMargin, -ClipMargin, clipRight, clipBottom) == 0)
                return false; // the key is the one before
            sx1 = std::clamp(sx1, -ClipMargin, clipRight);
            sx2 = std::clamp(sx2, -ClipMargin, clipRight);
            sy1 = std::clamp(sy1, -ClipMargin, clipBottom);
            sy2 = std::clamp(sy2, -ClipMargin, clipBottom);
        }
        state = BandWalkState{powerToColour(move.power), static_cast<int>(2.0 * sx1), static_cast<int>(2.0 * sy1),
                              static_cast<int>(2.0 * sx2), static_cast<int>(2.0 * sy2)};
        return true;
    }
    state = BandWalkState{};
    return at <= LookBack; // back at the start, where every walk begins afresh
}

int moveBandCount(int height)
{
    return bandCount(height);
}

bool prepareBandWalks(int bands)
{
    return updateChunkExtents(bands);
}
