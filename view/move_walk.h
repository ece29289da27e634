// The renderer's walk over the moves: culls what lies off the canvas, skips what lies
// beyond a band's rows, picks each move's colour, clips the rare far-away segment and
// merges the ones that land on the same half pixels, then hands each segment to a sink.
// One template, so that each sink's calls inline into the loop.
#pragma once

#include "model/job_pace.h"
#include "model/toolpath.h"
#include "platform/colour.h"
#include "view/band_walk.h"
#include "view/chunk_extents.h"
#include "view/colour_scheme.h"
#include "view/hairline.h"
#include "view/power_colours.h"
#include "view/renderer.h"
#include "view/segment_clip.h"
#include "view/settings.h"
#include "view/view_mapping.h"

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

constexpr int NoKey = -999999;      // half pixels; a key no segment produces
constexpr ColourValue NoColour = 1; // alpha 0: no move colour takes it
constexpr int TravelKind = 1;       // Move::travel of travel moves
constexpr int CuttingKind = 0;      // Move::travel of cutting moves

// What the walks of one redraw count.
struct PassWalk {
    std::uint64_t greys = 0;    // powerToColour calls
    std::uint64_t segments = 0; // segments handed to the sink
};

// The rows one walk draws for. Moves wholly above or below them draw nothing there and
// skip the rest of the walk; NoBandRows keeps every move.
struct BandRows {
    double top = -std::numeric_limits<double>::infinity();
    double bottom = std::numeric_limits<double>::infinity();
};
constexpr BandRows NoBandRows{};
constexpr double BandSkipMargin = 4.0; // pixels beyond the band a skipped move lies at least

#if defined(__SSE2__)
// Two consecutive floats of a move record (x then y) in the low lanes.
inline __m128 loadTwoFloats(const float* first)
{
    return _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(first)));
}
#endif

// Whether a move of `kind` in [first, end) passes the walk's canvas cull.
inline bool anyMoveOnCanvas(int kind, const Move* first, const Move* end, const ViewMapping& view)
{
    for (const Move* move = end; move != first;) {
        --move; // from the end: on the canvas, the first one looked at usually decides
        if (move->travel == kind &&
            !view.offCanvas(view.canvasX(move->x1), view.canvasY(move->y1), view.canvasX(move->x2),
                            view.canvasY(move->y2)))
            return true;
    }
    return false;
}

// Walks every move of one kind (travel or cutting) in file order and hands each segment
// that can show, with its colour, to `sink`: changeColour(c) before the first segment of
// each new colour, segment(x1, y1, x2, y2) in canvas pixels, finish() at the end.
//
// A walk for a band of rows skips the moves that lie wholly beyond BandSkipMargin above or
// below it, after the canvas cull and before the colour and key, and forgets its key there:
// the next segment is then drawn. That is what the walk over every move does for every
// segment that can reach the band: there such a move sets the key, or matches it, or a
// change of colour before it forgets it; a segment whose ends share the skipped move's
// half pixels lies too far away to touch the band, so the comparison it skips could only
// have failed. A move that needs the clip is not skipped: the walk over every move passes
// over it without touching the key when the clip rejects it or an end is not finite, and
// so does the band's walk. The band's pixels are therefore the same as from a walk over
// every move.
//
// A replay's walk stops after the first `wholeMoves` moves and then walks `part`, the
// move at the cursor cut at the tool's place, if there is one: the walk a store of just
// those moves would get. The chunks' extents are the whole job's, and those of the
// chunk the walk stops in cover its first moves and the part too.
//
// A walk given `resume` starts at move `firstMove` from the colour and key there and
// leaves them where it stops; the chunk it starts in is passed over or walked as above,
// its extents covering the moves before `firstMove` too.
template <typename Sink>
void walkPass(int kind, const ViewMapping& view, Sink& sink, PassWalk& walk, PowerColours& colours,
              BandRows rows, std::int32_t wholeMoves, const Move* part, std::int32_t firstMove = 0,
              BandWalkState* resume = nullptr)
{
    const int width = view.width;
    const int height = view.height;
    const ColourValue travelColour = colourScheme.travelMove;
    const double clipLeft = -ClipMargin;
    const double clipTop = -ClipMargin;
    const double clipRight = width + ClipMargin;
    const double clipBottom = height + ClipMargin;
    const double skipAbove = rows.top - BandSkipMargin;
    const double skipBelow = rows.bottom + BandSkipMargin;

    // Kept in locals, not in `walk`, so that they stay in registers across the sink.
    const BandWalkState start = resume != nullptr ? *resume : BandWalkState{};
    ColourValue current = start.colour;
    int key0 = start.key0;
    int key1 = start.key1;
    int key2 = start.key2;
    int key3 = start.key3;
    std::uint64_t greys = 0;
    std::uint64_t segments = 0;
#if defined(__SSE2__)
    // The mapping's numbers, lane 0 for x and lane 1 for y.
    const __m128d centre = _mm_set_pd(view.centerY, view.centerX);
    const __m128d factor = _mm_set_pd(-view.scale, view.scale);
    const __m128d offset = _mm_set_pd(view.cy, view.cx);
    const __m128d zero = _mm_setzero_pd();
    const __m128d size = _mm_set_pd(height, width);
#endif
    // A band passes over each chunk of moves that lies wholly beyond it. Every move of the
    // chunk would be culled or skipped there; a skipped one would forget the key, so the
    // key is forgotten when one of the chunk's moves of this kind is not culled. A chunk
    // that reaches beyond the clip threshold may hold a move that is not skipped but
    // rejected, keeping the key: such a chunk is walked move by move.
    const bool banded = rows.top != NoBandRows.top || rows.bottom != NoBandRows.bottom;
    assert(!banded || chunkExtents.count == toolpath.moveCount);
    const std::int32_t chunks = (wholeMoves + BandChunkMoves - 1) / BandChunkMoves;
    for (std::int32_t chunk = std::min(firstMove, wholeMoves) / BandChunkMoves; chunk <= chunks; ++chunk) {
        const bool last = chunk == chunks; // the part, walked alone
        if (last && part == nullptr)
            break;
        const Move* move =
            last ? part : toolpath.moves + std::max(static_cast<std::ptrdiff_t>(chunk) * BandChunkMoves,
                                                    static_cast<std::ptrdiff_t>(firstMove));
        const Move* const end =
            last ? part + 1 : toolpath.moves + std::min(wholeMoves, (chunk + 1) * BandChunkMoves);
        if (banded && !last) {
            // The chunk's largest and smallest canvas y: the transform is monotonic.
            const double largest = view.canvasY(chunkExtents.low[static_cast<std::size_t>(chunk)]);
            const double smallest = view.canvasY(chunkExtents.high[static_cast<std::size_t>(chunk)]);
            if (largest < skipAbove || smallest > skipBelow) {
                if (largest < 0.0 || smallest >= height)
                    continue; // every move culled
                const double left = view.canvasX(chunkExtents.left[static_cast<std::size_t>(chunk)]);
                const double right = view.canvasX(chunkExtents.right[static_cast<std::size_t>(chunk)]);
                if (withinClipThreshold(left, smallest, right, largest)) {
                    if (anyMoveOnCanvas(kind, move, end, view))
                        key0 = NoKey;
                    continue;
                }
            }
        }
        for (; move != end; ++move) {
            if (move->travel != kind)
                continue;
#if defined(__SSE2__)
            // Each end's x and y in the two lanes of one register: cy + (y - centerY) * -scale
            // is the very value of cy - (y - centerY) * scale, so these are the scalar bits.
            const __m128d end1 = _mm_add_pd(
                offset, _mm_mul_pd(_mm_sub_pd(_mm_cvtps_pd(loadTwoFloats(&move->x1)), centre), factor));
            const __m128d end2 = _mm_add_pd(
                offset, _mm_mul_pd(_mm_sub_pd(_mm_cvtps_pd(loadTwoFloats(&move->x2)), centre), factor));
            // Wholly left, above, right or below: nothing of it can show (a NaN compares false).
            const __m128d before = _mm_and_pd(_mm_cmplt_pd(end1, zero), _mm_cmplt_pd(end2, zero));
            const __m128d beyond = _mm_and_pd(_mm_cmpge_pd(end1, size), _mm_cmpge_pd(end2, size));
            if (_mm_movemask_pd(_mm_or_pd(before, beyond)) != 0)
                continue;
            double sx1 = _mm_cvtsd_f64(end1);
            double sy1 = _mm_cvtsd_f64(_mm_unpackhi_pd(end1, end1));
            double sx2 = _mm_cvtsd_f64(end2);
            double sy2 = _mm_cvtsd_f64(_mm_unpackhi_pd(end2, end2));
#else
            double sx1 = view.canvasX(move->x1);
            double sy1 = view.canvasY(move->y1);
            double sx2 = view.canvasX(move->x2);
            double sy2 = view.canvasY(move->y2);
            if (view.offCanvas(sx1, sy1, sx2, sy2))
                continue;
#endif
            const bool ordinary = withinClipThreshold(sx1, sy1, sx2, sy2);
            const bool beyondBand =
                (sy1 < skipAbove && sy2 < skipAbove) || (sy1 > skipBelow && sy2 > skipBelow);
            if (ordinary && beyondBand) {
                key0 = NoKey;
                continue;
            }

            const ColourValue colour = kind == CuttingKind ? colours.of(move->power, greys) : travelColour;
            if (colour != current) {
                sink.changeColour(colour);
                current = colour;
                key0 = NoKey;
            }

            // The rare far-away segment is clipped so that neither the single-precision path
            // nor the rasteriser's fixed point sees huge values. The test is written so that
            // a NaN lands here too: a coordinate that is infinite or undefined (a G-code
            // number beyond the range of a float or double) has no place on the canvas, and
            // must never reach the integer conversion of the key below.
            if (!ordinary) {
                if (!allFinite(sx1, sy1, sx2, sy2))
                    continue;
                if (clipSegment(sx1, sy1, sx2, sy2, clipLeft, clipTop, clipRight, clipBottom) == 0)
                    continue;
                // Ends around 1e36 pixels lose more than the whole canvas to rounding inside the
                // clip, so its result is held to the rectangle it was clipped to: only then is
                // the integer conversion of the key below defined for every input.
                sx1 = std::clamp(sx1, clipLeft, clipRight);
                sx2 = std::clamp(sx2, clipLeft, clipRight);
                sy1 = std::clamp(sy1, clipTop, clipBottom);
                sy2 = std::clamp(sy2, clipTop, clipBottom);
            }

            // Segments that land on the same half pixels as the previous one add nothing
            // visible; at low zoom this merges long runs of tiny moves into one element.
            const int k0 = static_cast<int>(2.0 * sx1);
            const int k1 = static_cast<int>(2.0 * sy1);
            const int k2 = static_cast<int>(2.0 * sx2);
            const int k3 = static_cast<int>(2.0 * sy2);
            if (k0 == key0 && k1 == key1 && k2 == key2 && k3 == key3)
                continue;
            key0 = k0;
            key1 = k1;
            key2 = k2;
            key3 = k3;

            ++segments;
            sink.segment(sx1, sy1, sx2, sy2);
        }
    }
    sink.finish();
    walk.greys += greys;
    walk.segments += segments;
    if (resume != nullptr)
        *resume = BandWalkState{current, key0, key1, key2, key3};
}

// Draws the segments straight into the rows of one band of the frame, a batch at a time.
struct BandSink {
    PixelBand band;
    std::uint32_t pixel = 0;
    int count = 0;
    HairlineSegment batch[HairlineBatch];

    void changeColour(ColourValue colour) { pixel = framePixelOf(colour); }
    void segment(double x1, double y1, double x2, double y2)
    {
        batch[count++] = HairlineSegment{x1, y1, x2, y2, pixel};
        if (count == HairlineBatch)
            finish();
    }
    void finish()
    {
        drawHairlines(band, batch, count);
        count = 0;
    }
};

// Draws nothing: what is left is the cost of the walk itself.
struct NoSink {
    void changeColour(ColourValue) { }
    void segment(double, double, double, double) { }
    void finish() { }
};

// Both passes in their order, into one sink; the walk's counts added to `total`.
template <typename Sink>
void walkPasses(const ViewMapping& view, Sink& sink, PassWalk& total, BandRows rows = NoBandRows)
{
    // A replay draws the moves before its cursor and the part of the one at it.
    std::int32_t wholeMoves = toolpath.moveCount;
    Move part{};
    const Move* partDrawn = nullptr;
    if (replayDrawing.active && toolpath.moveCount > 0) {
        const ReplayCursor cursor = replayDrawing.cursor;
        wholeMoves = std::clamp(cursor.move, 0, toolpath.moveCount);
        if (wholeMoves < toolpath.moveCount && cursor.fraction > 0.0) {
            part = movePart(toolpath.moves[wholeMoves], cursor.fraction);
            partDrawn = &part;
        }
    }
    PowerColours colours;
    if (settings.showTravel)
        walkPass(TravelKind, view, sink, total, colours, rows, wholeMoves, partDrawn);
    walkPass(CuttingKind, view, sink, total, colours, rows, wholeMoves, partDrawn);
}
