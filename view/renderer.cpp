// Paints the toolpath, grid and rulers into the off-screen frame and shows it on the canvas,
// keeping large files fast by culling, merging sub-pixel segments and drawing the moves
// straight into the frame's pixels on every core.
#include "view/renderer.h"

#include "model/toolpath.h"
#include "platform/drawing.h"
#include "platform/fan_out.h"
#include "view/canvas_texts.h"
#include "view/colour_scheme.h"
#include "view/controls.h"
#include "view/replay_timeline.h"
#include "view/rulers.h"
#include "view/settings.h"
#include "view/view_state.h"

#include "view/band_walk.h"
#include "view/hairline.h"
#include "view/replay_frames.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <new>
#include <thread>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

std::string canvasMessage;
std::uint64_t greyEvaluations = 0;
std::uint64_t segmentsWalked = 0;
RendererOptions rendererOptions;
ReplayDrawing replayDrawing;

namespace {

int shownShiftX = 0, shownShiftY = 0; // where presentShifted last put the frame, device pixels

constexpr int FrameDepth = 24;              // bits per pixel of frameImage
constexpr double LineWidth = 1.0;           // device pixels, at every zoom
constexpr int MaxSegmentsPerStroke = 4000;  // path elements handed to one stroke call
constexpr double ChainTolerance = 0.01;     // device pixels; closer ends share a figure
constexpr double ClipThreshold = FarCanvasPixels; // beyond this a segment is clipped
constexpr double ClipMargin = 10.0;         // device pixels the clip rectangle exceeds the canvas
constexpr double NoLastEnd = -1000000000.0; // device pixels; a position no segment ends at
constexpr int NoKey = -999999;              // half pixels; a key no segment produces
constexpr ColourValue NoColour = 1;         // alpha 0: no move colour takes it
constexpr int TravelKind = 1;               // Move::travel of travel moves
constexpr int CuttingKind = 0;              // Move::travel of cutting moves

constexpr double MaxGrey = 255.0;            // grey of full power on the dark scheme ...
constexpr double DarkZeroPowerGrey = 60.0;   // ... rising from this at zero power
constexpr double LightZeroPowerGrey = 210.0; // light scheme: zero power, falling to black
constexpr unsigned DarkUniformGrey = 235;    // every cut on the dark scheme without shading
constexpr unsigned LightUniformGrey = 0;     // every cut on the light scheme without shading
constexpr unsigned Opaque = 255;             // alpha
constexpr int MovesPerExtraThread = 50000;   // below this a redraw runs on one thread
constexpr int MaxBands = MaxShares;          // threads of one redraw, at most

// What the walks of one redraw count.
struct PassWalk {
    std::uint64_t greys = 0;    // powerToColour calls
    std::uint64_t segments = 0; // segments handed to the sink
};

// The colour of each stored power, computed the first time a redraw meets that power: on a
// photo engraving the power changes at nearly every move, over a few hundred values.
// Without the memory for the table, each change of power computes its colour again: the
// same colours, only slower.
struct PowerColours {
    static constexpr std::size_t Powers = std::size_t{1} << 16;
    std::unique_ptr<ColourValue[]> table{new (std::nothrow) ColourValue[Powers]()}; // 0: not yet
    std::int16_t lastPower = 0;
    ColourValue lastColour = 0;

    ColourValue of(std::int16_t power, std::uint64_t& greys)
    {
        if (power == lastPower && lastColour != 0)
            return lastColour;
        ColourValue computed = 0;
        ColourValue& entry = table ? table[static_cast<std::uint16_t>(power)] : computed;
        if (entry == 0) { // no colour is 0: each is opaque
            entry = powerToColour(power);
            ++greys;
        }
        lastPower = power;
        lastColour = entry;
        return entry;
    }
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

inline bool allFinite(double a, double b, double c, double d)
{
    return std::isfinite(a) && std::isfinite(b) && std::isfinite(c) && std::isfinite(d);
}

// Whether a segment's canvas coordinates all lie within the clip threshold: false for one
// that must be clipped, and for a NaN or an infinity.
inline bool withinClipThreshold(double x1, double y1, double x2, double y2)
{
    return std::fabs(x1) <= ClipThreshold && std::fabs(x2) <= ClipThreshold &&
           std::fabs(y1) <= ClipThreshold && std::fabs(y2) <= ClipThreshold;
}

// The lowest and highest x and y of the moves, a chunk of moves at a time, so that a band
// can pass over a chunk that lies wholly beyond it without transforming its moves one by
// one: where the moves go through the job row by row, as in a raster, each band then walks
// little more than its own share of them. Made again when the toolpath has changed.
struct ChunkExtents {
    std::vector<float> low, high;   // y; -inf and +inf for a chunk with a NaN coordinate
    std::vector<float> left, right; // x; the same
    const Move* moves = nullptr;
    std::int32_t count = 0;
    std::uint32_t revision = 0;
};

ChunkExtents chunkExtents;

// The extent of chunks [first, last).
void measureChunks(std::int32_t first, std::int32_t last)
{
    constexpr float Infinity = std::numeric_limits<float>::infinity();
    for (std::int32_t chunk = first; chunk < last; ++chunk) {
        const Move* move = toolpath.moves + static_cast<std::ptrdiff_t>(chunk) * BandChunkMoves;
        const Move* const end = toolpath.moves + std::min(toolpath.moveCount, (chunk + 1) * BandChunkMoves);
        // Selections, not branches, and the comparisons pass a NaN over: it is noted apart.
        float low = Infinity, high = -Infinity, left = Infinity, right = -Infinity;
        bool undefined = false;
        for (; move != end; ++move) {
            const float y1 = move->y1, y2 = move->y2, x1 = move->x1, x2 = move->x2;
            low = y1 < low ? y1 : low;
            low = y2 < low ? y2 : low;
            high = y1 > high ? y1 : high;
            high = y2 > high ? y2 : high;
            left = x1 < left ? x1 : left;
            left = x2 < left ? x2 : left;
            right = x1 > right ? x1 : right;
            right = x2 > right ? x2 : right;
            undefined |= std::isnan(y1) | std::isnan(y2) | std::isnan(x1) | std::isnan(x2);
        }
        const auto at = static_cast<std::size_t>(chunk);
        chunkExtents.low[at] = undefined ? -Infinity : low;
        chunkExtents.high[at] = undefined ? Infinity : high;
        chunkExtents.left[at] = undefined ? -Infinity : left;
        chunkExtents.right[at] = undefined ? Infinity : right;
    }
}

// Measures the chunks again, on `threads` threads, when the toolpath has changed: one
// pass over the moves, as fast as memory is read. false when the memory for the extents
// cannot be had.
bool updateChunkExtents(int threads)
{
    ChunkExtents& chunks = chunkExtents;
    if (chunks.moves == toolpath.moves && chunks.count == toolpath.moveCount &&
        chunks.revision == toolpath.revision)
        return true;
    const std::int32_t count = (toolpath.moveCount + BandChunkMoves - 1) / BandChunkMoves;
    chunks.moves = nullptr; // measured for no toolpath until done
    try {
        for (std::vector<float>* extent : {&chunks.low, &chunks.high, &chunks.left, &chunks.right})
            extent->resize(static_cast<std::size_t>(count));
    } catch (const std::bad_alloc&) {
        return false;
    }
    const auto edge = [&](int index) {
        return static_cast<std::int32_t>(static_cast<long long>(count) * index / threads);
    };
    runShares(threads, [&edge](int index) { measureChunks(edge(index), edge(index + 1)); });
    chunks.moves = toolpath.moves;
    chunks.count = toolpath.moveCount;
    chunks.revision = toolpath.revision;
    return true;
}

// Machine millimetres to canvas pixels for one walk; the canvas's y grows downwards.
struct CanvasMapping {
    double cx, cy, scale, centerX, centerY;
    double x(float machineX) const { return cx + (static_cast<double>(machineX) - centerX) * scale; }
    double y(float machineY) const { return cy - (static_cast<double>(machineY) - centerY) * scale; }
};

// Wholly left, above, right or below the canvas: nothing of the segment can show.
inline bool offCanvas(double sx1, double sy1, double sx2, double sy2, int width, int height)
{
    return (sx1 < 0.0 && sx2 < 0.0) || (sy1 < 0.0 && sy2 < 0.0) || (sx1 >= width && sx2 >= width) ||
           (sy1 >= height && sy2 >= height);
}

// Whether a move of `kind` in [first, end) passes the walk's canvas cull.
bool anyMoveOnCanvas(int kind, const Move* first, const Move* end, const CanvasMapping& map, int width,
                     int height)
{
    for (const Move* move = end; move != first;) {
        --move; // from the end: on the canvas, the first one looked at usually decides
        if (move->travel == kind &&
            !offCanvas(map.x(move->x1), map.y(move->y1), map.x(move->x2), map.y(move->y2), width, height))
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
void walkPass(int kind, int width, int height, Sink& sink, PassWalk& walk, PowerColours& colours,
              BandRows rows, std::int32_t wholeMoves, const Move* part, std::int32_t firstMove = 0,
              BandWalkState* resume = nullptr)
{
    const CanvasMapping map{width / 2.0, height / 2.0, viewState.scale, viewState.centerX, viewState.centerY};
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
    const __m128d centre = _mm_set_pd(map.centerY, map.centerX); // lane 0 x, lane 1 y
    const __m128d factor = _mm_set_pd(-map.scale, map.scale);
    const __m128d offset = _mm_set_pd(map.cy, map.cx);
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
            const double largest = map.y(chunkExtents.low[static_cast<std::size_t>(chunk)]);
            const double smallest = map.y(chunkExtents.high[static_cast<std::size_t>(chunk)]);
            if (largest < skipAbove || smallest > skipBelow) {
                if (largest < 0.0 || smallest >= height)
                    continue; // every move culled
                const double left = map.x(chunkExtents.left[static_cast<std::size_t>(chunk)]);
                const double right = map.x(chunkExtents.right[static_cast<std::size_t>(chunk)]);
                if (withinClipThreshold(left, smallest, right, largest)) {
                    if (anyMoveOnCanvas(kind, move, end, map, width, height))
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
            double sx1 = map.x(move->x1);
            double sy1 = map.y(move->y1);
            double sx2 = map.x(move->x2);
            double sy2 = map.y(move->y2);
            if (offCanvas(sx1, sy1, sx2, sy2, width, height))
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

// Hands the segments to the vector context: touching segments chained into one figure,
// one stroke per run of colour and at most MaxSegmentsPerStroke per stroke.
struct StrokeSink {
    int segments = 0;
    double lastEndX = NoLastEnd;
    double lastEndY = NoLastEnd;

    void changeColour(ColourValue colour)
    {
        if (segments >= 1) {
            strokeSolid(LineWidth);
            segments = 0;
        }
        setPaintColour(colour);
        lastEndX = NoLastEnd;
    }

    void segment(double x1, double y1, double x2, double y2)
    {
        if (std::fabs(x1 - lastEndX) > ChainTolerance || std::fabs(y1 - lastEndY) > ChainTolerance)
            pathMoveTo(x1, y1);
        pathLineTo(x2, y2);
        lastEndX = x2;
        lastEndY = y2;
        if (++segments >= MaxSegmentsPerStroke) {
            strokeSolid(LineWidth);
            segments = 0;
            lastEndX = NoLastEnd; // the stroke emptied the path
        }
    }

    void finish()
    {
        if (segments >= 1)
            strokeSolid(LineWidth);
    }
};

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
void walkPasses(int width, int height, Sink& sink, PassWalk& total, BandRows rows = NoBandRows)
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
        walkPass(TravelKind, width, height, sink, total, colours, rows, wholeMoves, partDrawn);
    walkPass(CuttingKind, width, height, sink, total, colours, rows, wholeMoves, partDrawn);
}

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
void drawMovesIntoFrame(int width, int height)
{
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
        double left, top, right, bottom;
        machineToCanvas(b.minX, b.maxY, left, top);
        machineToCanvas(b.maxX, b.minY, right, bottom);
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
        walkPasses(width, height, sink, walk,
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

// The replay's mark: a ring around the tool's place and four ticks pointing at it, outlined in the
// background colour so that it shows on any shade of the drawing beneath.
constexpr double MarkerRadius = 6.0;                             // layout units
constexpr double MarkerWidth = 1.5;                              // layout units
constexpr double MarkerHaloWidth = 3.5;                          // layout units
constexpr int MarkerSides = 24;                                  // of the polygon drawn as the ring
constexpr ColourValue MarkerColour = makeRgba(224, 80, 32, 255); // orange-red, in neither scheme

// Where the tool is at the replay's cursor, machine millimetres.
void replayToolPlace(double& x, double& y)
{
    const ReplayCursor cursor = replayDrawing.cursor;
    const std::int32_t count = toolpath.moveCount;
    const std::int32_t at = std::clamp(cursor.move, 0, count - 1);
    const Move& move = toolpath.moves[at];
    if (cursor.move >= count || cursor.fraction > 0.0) {
        const Move part = movePart(move, cursor.move >= count ? 1.0 : cursor.fraction);
        x = part.x2;
        y = part.y2;
    } else {
        x = move.x1;
        y = move.y1;
    }
}

void drawReplayMarker()
{
    double machineX = 0.0, machineY = 0.0;
    replayToolPlace(machineX, machineY);
    double x = 0.0, y = 0.0;
    machineToCanvas(machineX, machineY, x, y);
    const double r = viewState.uiScale;
    const double radius = MarkerRadius * r;
    // A tool far off the canvas gets no mark (and the path no huge coordinates).
    if (!(x > -radius - ClipMargin && x < viewState.canvasWidth + radius + ClipMargin &&
          y > -radius - ClipMargin && y < viewState.canvasHeight + radius + ClipMargin))
        return;
    if (!beginVector(FrameImageSlot))
        return;
    const auto ring = [&] {
        constexpr double Turn = 6.283185307179586;
        pathMoveTo(x + radius, y);
        for (int side = 1; side <= MarkerSides; ++side)
            pathLineTo(x + radius * std::cos(Turn * side / MarkerSides),
                       y + radius * std::sin(Turn * side / MarkerSides));
        for (const int sign : {-1, 1}) { // ticks pointing in at the place from four sides
            pathMoveTo(x + sign * radius * 1.6, y);
            pathLineTo(x + sign * radius * 0.5, y);
            pathMoveTo(x, y + sign * radius * 1.6);
            pathLineTo(x, y + sign * radius * 0.5);
        }
    };
    const ColourValue background = colourScheme.background;
    setPaintColour(makeRgba(redOf(background), greenOf(background), blueOf(background), Opaque));
    ring();
    strokeSolid(MarkerHaloWidth * r);
    setPaintColour(MarkerColour);
    ring();
    strokeSolid(MarkerWidth * r);
    endVector();
}

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
        walkPass(CuttingKind, band.width, band.height, sink, walk, colours, rows, last, part, first, &state);
    } else {
        BandSink sink;
        sink.band = band;
        sink.changeColour(state.colour);
        walkPass(CuttingKind, band.width, band.height, sink, walk, colours, rows, last, part, first, &state);
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
    walkPass(CuttingKind, band.width, band.height, sink, walk, colours, rows, last, nullptr, first, &state);
}

void markMoveTiles(const PixelBand& band, std::int32_t first, std::int32_t last, TileMarks marks)
{
    assert(0 <= first && first <= last && last <= toolpath.moveCount);
    const int width = band.width;
    const int height = band.height;
    const CanvasMapping map{width / 2.0, height / 2.0, viewState.scale, viewState.centerX, viewState.centerY};
    for (const Move* move = toolpath.moves + first; move != toolpath.moves + last; ++move) {
        if (move->travel != CuttingKind)
            continue;
        double sx1 = map.x(move->x1), sy1 = map.y(move->y1), sx2 = map.x(move->x2), sy2 = map.y(move->y2);
        if (offCanvas(sx1, sy1, sx2, sy2, width, height))
            continue;
        if (!withinClipThreshold(sx1, sy1, sx2, sy2) &&
            clipSegment(sx1, sy1, sx2, sy2, -ClipMargin, -ClipMargin, width + ClipMargin, height + ClipMargin) == 0)
            continue; // also an end that is not finite: such a move draws nothing
        markSegmentTiles(band, marks, sx1, sy1, sx2, sy2);
    }
}

bool bandWalkStateBefore(const PixelBand& band, bool banded, std::int32_t at, BandWalkState& state)
{
    constexpr std::int32_t LookBack = 4096; // moves
    const int width = band.width;
    const int height = band.height;
    const CanvasMapping map{width / 2.0, height / 2.0, viewState.scale, viewState.centerX, viewState.centerY};
    const double skipAbove = band.top - BandSkipMargin;
    const double skipBelow = band.bottom + BandSkipMargin;
    for (std::int32_t index = at - 1; index >= 0 && index >= at - LookBack; --index) {
        const Move& move = toolpath.moves[index];
        if (move.travel != CuttingKind)
            continue;
        double sx1 = map.x(move.x1), sy1 = map.y(move.y1), sx2 = map.x(move.x2), sy2 = map.y(move.y2);
        if (offCanvas(sx1, sy1, sx2, sy2, width, height))
            continue;
        // The steps of the walk that leave a state of their own, in its order.
        const bool ordinary = withinClipThreshold(sx1, sy1, sx2, sy2);
        if (banded && ordinary && ((sy1 < skipAbove && sy2 < skipAbove) || (sy1 > skipBelow && sy2 > skipBelow))) {
            state = BandWalkState{};
            return true;
        }
        if (!ordinary) {
            if (!allFinite(sx1, sy1, sx2, sy2) ||
                clipSegment(sx1, sy1, sx2, sy2, -ClipMargin, -ClipMargin, width + ClipMargin, height + ClipMargin) == 0)
                return false; // the key is the one before
            sx1 = std::clamp(sx1, -ClipMargin, width + ClipMargin);
            sx2 = std::clamp(sx2, -ClipMargin, width + ClipMargin);
            sy1 = std::clamp(sy1, -ClipMargin, height + ClipMargin);
            sy2 = std::clamp(sy2, -ClipMargin, height + ClipMargin);
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

void redraw()
{
    refreshCanvasMetrics();
    const int width = viewState.canvasWidth;
    const int height = viewState.canvasHeight;
    if (width < 1 || height < 1)
        return;

    int imageWidth = 0;
    int imageHeight = 0;
    imageSize(FrameImageSlot, imageWidth, imageHeight);
    if (!imageExists(FrameImageSlot) || imageWidth != width || imageHeight != height) {
        if (imageExists(FrameImageSlot))
            deleteImage(FrameImageSlot);
        newImage(FrameImageSlot, width, height, FrameDepth, colourScheme.background);
    }

    if (toolpath.moveCount <= 0) {
        paintCanvasMessage(width, height);
        paintCanvasNotice(width, height, 0);
        presentShifted(0, 0);
        return;
    }

    const double cx = width / 2.0;
    const double cy = height / 2.0;
    if (beginVector(FrameImageSlot)) {
        // A replay's kept frame holds the background and grid too.
        if (!(replayDrawing.active && rendererOptions.moveDrawing == MoveDrawing::Direct &&
              replayFramesKept(width, height))) {
            const ColourValue background = colourScheme.background;
            setPaintColour(makeRgba(redOf(background), greenOf(background), blueOf(background), Opaque));
            paintAll();
            if (settings.showBed)
                drawGrid(width, height, cx, cy, viewState.scale, viewState.centerX, viewState.centerY);
        }
        if (rendererOptions.moveDrawing == MoveDrawing::Painter) {
            StrokeSink sink;
            PassWalk walk;
            walkPasses(width, height, sink, walk);
            greyEvaluations += walk.greys;
            segmentsWalked = walk.segments;
        }
        // The painter lets go of the frame, so that its pixels are all in the image for the
        // moves drawn straight into them and for the texts; it takes it back for the rulers.
        endVector();
        if (rendererOptions.moveDrawing == MoveDrawing::Direct) {
            // A replay's frame starts from the moves drawn for its last one, where it can.
            if (!replayDrawing.active)
                releaseReplayFrames();
            if (!(replayDrawing.active && drawReplayMoves(width, height)))
                drawMovesIntoFrame(width, height);
        } else if (rendererOptions.moveDrawing == MoveDrawing::WalkOnly) {
            NoSink sink;
            PassWalk walk;
            walkPasses(width, height, sink, walk);
            greyEvaluations += walk.greys;
            segmentsWalked = walk.segments;
        }
        // Moves are loaded but the options draw none of them: say why the bed is empty. The
        // rulers go over the hint, as they go over everything drawn on the bed.
        const double r = settings.showBed ? viewState.uiScale : 0.0;
        const int leftBand = static_cast<int>(std::ceil(RulerBandWidth * r));
        const int bottomBand = static_cast<int>(std::ceil(RulerBandHeight * r));
        if (!settings.showTravel && !toolpath.cutBounds.valid)
            paintNothingDrawnHint(width, height, leftBand, bottomBand);
        if (settings.showBed && beginVector(FrameImageSlot)) {
            drawRulers(width, height, cx, cy, viewState.scale, viewState.centerX, viewState.centerY);
            endVector();
        }
        if (replayDrawing.active && replayDrawing.marker)
            drawReplayMarker(); // over the rulers: the tool's place is never hidden
        paintCanvasNotice(width, height, leftBand);
    }
    presentShifted(0, 0);
}

void presentShifted(int dx, int dy)
{
    shownShiftX = dx;
    shownShiftY = dy;
    if (!beginCanvasRaster(Canvas))
        return;
    const bool haveFrame = imageExists(FrameImageSlot);
    if (dx != 0 || dy != 0 || !haveFrame)
        rasterBox(0, 0, rasterWidth(), rasterHeight(), colourScheme.background);
    if (haveFrame)
        rasterDrawImage(FrameImageSlot, dx, dy);
    // These stay in their places while the drawing is dragged.
    paintReplayOverlay();
    paintFootNote();
    paintPointerReadout();
    endRaster();
}

void presentAgain()
{
    presentShifted(shownShiftX, shownShiftY);
}

ColourValue powerToColour(double power)
{
    unsigned grey = 0;
    if (!settings.greyByPower) {
        grey = settings.invertColours ? DarkUniformGrey : LightUniformGrey;
    } else {
        double t = power / toolpath.maxPower;
        if (!(t >= 0.0)) // also a NaN
            t = 0.0;
        if (t > 1.0)
            t = 1.0;
        const double shade = settings.invertColours
                                 ? t * (MaxGrey - DarkZeroPowerGrey) + DarkZeroPowerGrey
                                 : (1.0 - t) * LightZeroPowerGrey;
        grey = static_cast<unsigned>(shade); // 0..255, truncated
    }
    return makeRgba(grey, grey, grey, Opaque);
}

namespace {

// Liang-Barsky in the arithmetic type `Real`: parametric ends t0..t1 kept inside each edge.
template <typename Real>
int clipIn(double& x1, double& y1, double& x2, double& y2, double xmin, double ymin, double xmax,
           double ymax)
{
    Real t0 = 0;
    Real t1 = 1;
    const Real dx = static_cast<Real>(x2) - x1;
    const Real dy = static_cast<Real>(y2) - y1;
    // One edge: p is the rate the segment approaches the outside, q the room left.
    auto edge = [&t0, &t1](Real p, Real q) {
        if (p == 0)
            return !(q < 0);
        const Real r = q / p;
        if (p < 0) {
            if (r > t1)
                return false;
            if (r > t0)
                t0 = r;
        } else {
            if (r < t0)
                return false;
            if (r < t1)
                t1 = r;
        }
        return true;
    };
    if (!edge(-dx, static_cast<Real>(x1) - xmin) || !edge(dx, static_cast<Real>(xmax) - x1) ||
        !edge(-dy, static_cast<Real>(y1) - ymin) || !edge(dy, static_cast<Real>(ymax) - y1))
        return 0;
    const Real startX = x1;
    const Real startY = y1;
    x1 = static_cast<double>(startX + t0 * dx);
    y1 = static_cast<double>(startY + t0 * dy);
    x2 = static_cast<double>(startX + t1 * dx);
    y2 = static_cast<double>(startY + t1 * dy);
    return 1;
}

} // namespace

int clipSegment(double& x1, double& y1, double& x2, double& y2, double xmin, double ymin, double xmax,
                double ymax)
{
    // Ends near the opposite limits of the double range overflow the difference to an
    // infinity, and 0 x infinity would put NaN ends on the canvas; the wider type holds
    // such differences exactly enough. Every ordinary segment is clipped in doubles.
    if (!allFinite(x1, y1, x2, y2))
        return 0; // an infinite or undefined end has no place on any canvas
    if (!std::isfinite(x2 - x1) || !std::isfinite(y2 - y1))
        return clipIn<long double>(x1, y1, x2, y2, xmin, ymin, xmax, ymax);
    return clipIn<double>(x1, y1, x2, y2, xmin, ymin, xmax, ymax);
}
