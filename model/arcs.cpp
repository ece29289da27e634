// Turns a G2/G3 arc in the XY plane into the short straight moves that follow it.
#include "model/arcs.h"

#include <cassert>
#include <cmath>
#include <numbers>

#include <emmintrin.h>

#include "model/toolpath.h"

namespace {

constexpr double FullTurn = 2.0 * std::numbers::pi; // radians

inline bool finite(double a, double b)
{
    return std::isfinite(a) && std::isfinite(b);
}

// A length from its sides. Not hypot, which is several times slower: sides beyond 1e154
// overflow to an infinite radius, and such an arc stays its chord.
inline double length(double dx, double dy)
{
    return std::sqrt(dx * dx + dy * dy);
}

// Moves enough that none strays more than ArcTolerance from an arc of this radius: a chord
// turning theta lies r (1 - cos(theta / 2)) = 2 r sin^2(theta / 4) inside it at its middle,
// so the longest step turns 4 asin(h), h = sqrt(s), s = ArcTolerance / (2 r).
std::int32_t segmentsFor(double radius, double sweep)
{
    if (!(radius > ArcTolerance / 2.0))
        return 1; // the whole circle lies within the tolerance of any chord
    const double turn = std::fabs(sweep);
    const double square = (ArcTolerance / 2.0) / radius; // s, which is h^2
    // asin(h) lies between h and h + h^3/6 + h^5/10 for h up to 1/2 (the series' later terms
    // add less than h^5/10), so the count lies between turn / (4 h) and that over
    // 1 + s/6 + s^2/10, itself above turn / (4 h) times 1 - s/6 - s^2/10. When both bounds
    // give the same count, so does the arcsine, and its call is saved. 1 / h comes from one
    // square root of a product, with no division on the way; the factors leave room for
    // the last bits of each bound.
    const double most = turn * std::sqrt(radius * (2.0 / ArcTolerance)) * 0.25;
    const double upper = most * (1.0 + 1e-14);
    const double lower = most * (1.0 - square * (1.0 / 6.0 + square / 10.0)) * (1.0 - 1e-14);
    if (square <= 0.25 && upper < MostArcSegments) {
        // Nearly every arc: both bounds rounded up in integers, which the processor does in
        // fewer steps than std::ceil.
        const std::int32_t high = static_cast<std::int32_t>(upper), low = static_cast<std::int32_t>(lower);
        const std::int32_t highUp = high + (high < upper ? 1 : 0), lowUp = low + (low < lower ? 1 : 0);
        if (highUp == lowUp)
            return highUp < 1 ? 1 : highUp;
    }
    double count = std::ceil(upper);
    if (!(square <= 0.25 && std::ceil(lower) == count))
        count = std::ceil(turn / (4.0 * std::asin(std::sqrt(square))));
    if (!(count >= 1.0))
        return 1;
    // Huge radii would ask for millions of moves a line; past the cap the moves stray more.
    return count >= MostArcSegments ? MostArcSegments : static_cast<std::int32_t>(count);
}

// The plan about a known centre once the sweep is known.
void finishPlan(double cx, double cy, double startRadius, double endRadius, double sweep, ArcPlan& plan)
{
    plan.centreX = cx;
    plan.centreY = cy;
    plan.startRadius = startRadius;
    plan.endRadius = endRadius;
    plan.sweep = sweep;
    plan.segments = segmentsFor(startRadius > endRadius ? startRadius : endRadius, sweep);
}

// The signed angle from the start's direction to the end's, in (-pi, pi].
inline double turnBetween(double sx, double sy, double ex, double ey)
{
    return std::atan2(sx * ey - sy * ex, sx * ex + sy * ey);
}

// The start's and the end's offsets from the centre (cx, cy) and their lengths; false when
// either length is zero or not finite, an arc no machine runs.
struct ArcRadii {
    double sx, sy, ex, ey, start, end;
};
inline bool radiiAbout(double cx, double cy, double x1, double y1, double x2, double y2, ArcRadii& r)
{
    r.sx = x1 - cx, r.sy = y1 - cy;
    r.ex = x2 - cx, r.ey = y2 - cy;
    r.start = length(r.sx, r.sy);
    r.end = length(r.ex, r.ey);
    return finite(r.start, r.end) && r.start > 0.0 && r.end > 0.0;
}

// The moves of one arc as they are stored: what appendMove reads from the store each
// time is held here, so that a store to a record (whose bytes may alias anything) does not
// make the loop fetch the count and the readied end again. The box takes each point once
// (the moves form a chain, so a move's start is the end of the one before), and joins the
// toolpath's bounds once per arc; a minimum or maximum is exact, so the bounds come out
// the same as when every move widens them.
struct MoveBatch {
    Move* moves;
    std::int32_t count, ready; // as toolpath.moveCount and movesReady
    float x, y;                // the stored end of the last move, where the next one starts
    double minX, minY, maxX, maxY;
    std::int16_t power; // as stored
    std::uint8_t travel;
};

// Stores the move from the batch's last point to (x, y) and widens the box by it. false
// when the store is full and cannot grow.
inline bool put(MoveBatch& batch, double x, double y)
{
    if (batch.count >= batch.ready) {
        toolpath.moveCount = batch.count;
        if (!readyMoreMoves())
            return false;
        batch.moves = toolpath.moves;
        batch.ready = movesReady;
    }
    assert(batch.count < toolpath.capacity);
    const float storedX = static_cast<float>(x), storedY = static_cast<float>(y);
    batch.moves[batch.count++] = Move{batch.x, batch.y, storedX, storedY, batch.power, batch.travel, 0};
    batch.x = storedX;
    batch.y = storedY;
    toolpath_steps::widenRange(x, batch.minX, batch.maxX);
    toolpath_steps::widenRange(y, batch.minY, batch.maxY);
    return true;
}

constexpr double SeriesStep = 0.8; // radians: steps up to this are turned by the series below

// The cosine and sine of one step. Nearly every step is short: up to SeriesStep they come
// from their Taylor series, which leave out less than 1e-16 there and cost less than the
// library's calls (a few per cent of loading a file of arcs). Only the last bits can
// differ from the library's, far below what a stored float holds.
inline void stepTurn(double step, double& cosine, double& sine)
{
    if (!(std::fabs(step) <= SeriesStep)) {
        cosine = std::cos(step);
        sine = std::sin(step);
        return;
    }
    // 1 / k! for the even and the odd powers.
    constexpr double C2 = 1.0 / 2, C4 = C2 / 12, C6 = C4 / 30, C8 = C6 / 56, C10 = C8 / 90,
                     C12 = C10 / 132, C14 = C12 / 182, C16 = C14 / 240;
    constexpr double S3 = 1.0 / 6, S5 = S3 / 20, S7 = S5 / 42, S9 = S7 / 72, S11 = S9 / 110,
                     S13 = S11 / 156, S15 = S13 / 210;
    const double t = step * step;
    cosine =
        1.0 - t * (C2 - t * (C4 - t * (C6 - t * (C8 - t * (C10 - t * (C12 - t * (C14 - t * C16)))))));
    sine = step * (1.0 - t * (S3 - t * (S5 - t * (S7 - t * (S9 - t * (S11 - t * (S13 - t * S15)))))));
}

constexpr double SeriesGrowth = 1e-3; // share an end's radius may differ by, for the series

// The growth of the radius per step, ratio^(1/n), for an end whose radius is `ratio` times
// the start's. Ends off by rounding in the file differ by far less than SeriesGrowth: the
// binomial series to the fourth power leaves out less than 1e-16 there.
inline double stepGrowth(double ratio, std::int32_t n)
{
    const double e = 1.0 / n;
    const double d = ratio - 1.0; // exact: ratio lies near 1
    if (!(std::fabs(d) <= SeriesGrowth))
        return std::pow(ratio, e);
    return 1.0 +
           e * d *
               (1.0 + (e - 1.0) / 2.0 * d * (1.0 + (e - 2.0) / 3.0 * d * (1.0 + (e - 3.0) / 4.0 * d)));
}

// Whether `count` more records are ready at the batch's end, readying them when they can
// be had; false leaves the batch to store what fits one record at a time.
inline bool roomFor(MoveBatch& batch, std::int32_t count)
{
    if (batch.ready - batch.count >= count)
        return true;
    toolpath.moveCount = batch.count;
    // readyMoreMoves readies at least MostArcSegments records past the count, unless the
    // store's end comes first: then it grows now.
    if (toolpath.capacity - batch.count < count && !growToolpath())
        return false;
    if (!readyMoreMoves())
        return false;
    batch.moves = toolpath.moves;
    batch.ready = movesReady;
    return batch.ready - batch.count >= count;
}

// The turn of a point's offset from the centre, x and y side by side: (x c - y s, x s + y c)
// with `cosines` = (c, c) and `sines` = (-s, s), the same products and sums, in the same
// rounding, as the plain rotation.
inline __m128d rotate(__m128d offset, __m128d cosines, __m128d sines)
{
    return _mm_add_pd(_mm_mul_pd(offset, cosines), _mm_mul_pd(_mm_shuffle_pd(offset, offset, 1), sines));
}

// The inner points of an arc whose points lie far enough apart that none can coincide once
// rounded, with room ready for all of them. The odd and the even points each turn by two
// steps on a chain of their own, so that two rotations are under way at once (one chain
// waits on each multiply and add of the one before); x and y go side by side, and the box
// takes both at once. Leaves (px, py) at the last point.
inline void turnInnerPaired(const ArcPlan& plan, double turnX, double turnY, __m128d offset,
                            MoveBatch& batch, double& px, double& py)
{
    const std::int32_t inner = plan.segments - 1;
    const __m128d centre = _mm_set_pd(plan.centreY, plan.centreX);
    const __m128d cosines = _mm_set1_pd(turnX), sines = _mm_set_pd(turnY, -turnY);
    const double twiceX = turnX * turnX - turnY * turnY, twiceY = 2.0 * turnX * turnY;
    const __m128d twiceCosines = _mm_set1_pd(twiceX), twiceSines = _mm_set_pd(twiceY, -twiceY);
    __m128d low = _mm_set_pd(batch.minY, batch.minX), high = _mm_set_pd(batch.maxY, batch.maxX);
    __m128 last = _mm_setr_ps(batch.x, batch.y, 0.0f, 0.0f);
    Move* out = batch.moves + batch.count;
    const std::int16_t power = batch.power;
    const std::uint8_t travel = batch.travel;
    __m128d point = centre;
    const auto store = [&](__m128d at) {
        point = _mm_add_pd(centre, at);
        low = _mm_min_pd(point, low);
        high = _mm_max_pd(point, high);
        const __m128 stored = _mm_cvtpd_ps(point);
        _mm_storeu_ps(&out->x1, _mm_movelh_ps(last, stored));
        out->power = power;
        out->travel = travel;
        out->unused = 0;
        ++out;
        last = stored;
    };
    __m128d odd = rotate(offset, cosines, sines);
    __m128d even = rotate(odd, cosines, sines);
    std::int32_t k = 1;
    for (; k < inner; k += 2) {
        store(odd);
        store(even);
        odd = rotate(odd, twiceCosines, twiceSines);
        even = rotate(even, twiceCosines, twiceSines);
    }
    if (k == inner)
        store(odd);
    batch.count += inner;
    alignas(16) float lastStored[4];
    _mm_store_ps(lastStored, last);
    batch.x = lastStored[0];
    batch.y = lastStored[1];
    alignas(16) double box[4];
    _mm_store_pd(box, low);
    _mm_store_pd(box + 2, high);
    batch.minX = box[0], batch.minY = box[1], batch.maxX = box[2], batch.maxY = box[3];
    _mm_storel_pd(&px, point);
    _mm_storeh_pd(&py, point);
}

// Stores the moves to the arc's inner points from (x1, y1) on, leaving (px, py) at the
// last point stored. false when the store is full and cannot grow.
inline bool turnInner(const ArcPlan& plan, double x1, double y1, MoveBatch& batch, double& px,
                      double& py)
{
    const std::int32_t n = plan.segments;
    if (n < 2)
        return true; // a chord: no sine, cosine or growth to work out
    // Each point is the one before turned by one step about the centre: a rotation per move
    // instead of a sine and a cosine, which the arc's length would otherwise cost. An end a
    // little off the start's circle is reached by a steady growth of the radius.
    const double step = plan.sweep / n;
    double growth = 1.0;
    if (plan.endRadius != plan.startRadius)
        growth = stepGrowth(plan.endRadius / plan.startRadius, n);
    double cosine = 0.0, sine = 0.0;
    stepTurn(step, cosine, sine);
    const double turnX = cosine * growth;
    const double turnY = sine * growth;
    double vx = x1 - plan.centreX, vy = y1 - plan.centreY;
    // Points a step apart differ by about the radius times the step; far above the rounding
    // of coordinates this large (and of the turns summed), no two can coincide.
    const double radius = plan.startRadius < plan.endRadius ? plan.startRadius : plan.endRadius;
    const double reach = std::fabs(plan.centreX) + std::fabs(plan.centreY) + plan.startRadius + plan.endRadius;
    if (radius * std::fabs(step) > reach * 1e-9 && roomFor(batch, n - 1)) {
        turnInnerPaired(plan, turnX, turnY, _mm_set_pd(vy, vx), batch, px, py);
        return true;
    }
    for (std::int32_t k = 1; k < n; ++k) {
        const double nextX = vx * turnX - vy * turnY;
        vy = vx * turnY + vy * turnX;
        vx = nextX;
        const double qx = plan.centreX + vx;
        const double qy = plan.centreY + vy;
        if (qx == px && qy == py)
            continue; // a tiny arc's points can coincide once rounded
        if (!put(batch, qx, qy))
            return false;
        px = qx;
        py = qy;
    }
    return true;
}

} // namespace

bool planCentreArc(double x1, double y1, double x2, double y2, double cx, double cy, bool clockwise,
                   ArcPlan& plan)
{
    ArcRadii about;
    if (!radiiAbout(cx, cy, x1, y1, x2, y2, about))
        return false;
    const double sx = about.sx, sy = about.sy, ex = about.ex, ey = about.ey;
    const double startRadius = about.start, endRadius = about.end;
    const double off = std::fabs(endRadius - startRadius);
    if (off > ArcEndSlack && off > ArcEndSlackShare * startRadius)
        return false;
    // As grbl does: a turn too small to tell from none is a whole circle, so an end equal
    // to the start goes round once.
    double sweep = turnBetween(sx, sy, ex, ey);
    if (clockwise && sweep >= -FullCircleAngle)
        sweep -= FullTurn;
    else if (!clockwise && sweep <= FullCircleAngle)
        sweep += FullTurn;
    finishPlan(cx, cy, startRadius, endRadius, sweep, plan);
    return true;
}

bool planRadiusArc(double x1, double y1, double x2, double y2, double radius, bool clockwise,
                   ArcPlan& plan)
{
    const double dx = x2 - x1, dy = y2 - y1;
    const double chord = length(dx, dy);
    const double r = std::fabs(radius);
    if (!finite(chord, r) || !(chord > 0.0) || !(r > 0.0))
        return false;
    const double half = chord / 2.0;
    if (r < half - RadiusSlack)
        return false;
    // The centre lies on the chord's bisector, `rise` from its middle (written as a product
    // so that a huge radius does not overflow its square).
    const double rise = r > half ? std::sqrt(r - half) * std::sqrt(r + half) : 0.0;
    // Seen along the chord, a clockwise shorter arc turns about a centre on the right.
    const double side = clockwise == (radius > 0.0) ? 1.0 : -1.0;
    const double cx = x1 + dx / 2.0 + side * rise * (dy / chord);
    const double cy = y1 + dy / 2.0 - side * rise * (dx / chord);
    if (!finite(cx, cy))
        return false;
    ArcRadii about;
    if (!radiiAbout(cx, cy, x1, y1, x2, y2, about))
        return false;
    const double sx = about.sx, sy = about.sy, ex = about.ex, ey = about.ey;
    const double startRadius = about.start, endRadius = about.end;
    // The side of the centre already says which way round is short: only the direction
    // of travel is left to choose.
    double sweep = turnBetween(sx, sy, ex, ey);
    if (clockwise && sweep > 0.0)
        sweep -= FullTurn;
    else if (!clockwise && sweep < 0.0)
        sweep += FullTurn;
    finishPlan(cx, cy, startRadius, endRadius, sweep, plan);
    return true;
}

double arcLength(const ArcPlan& plan)
{
    return std::fabs(plan.sweep) * (plan.startRadius + plan.endRadius) / 2.0;
}

bool appendArcMoves(const ArcPlan& plan, double x1, double y1, double x2, double y2, double power,
                    bool travel)
{
    const std::int32_t first = toolpath.moveCount;
    MoveBatch batch{toolpath.moves,
                    first,
                    movesReady,
                    static_cast<float>(x1),
                    static_cast<float>(y1),
                    x1,
                    y1,
                    x1,
                    y1,
                    toolpath_steps::storedPower(power),
                    static_cast<std::uint8_t>(travel ? 1 : 0)};
    double px = x1, py = y1;
    bool room = turnInner(plan, x1, y1, batch, px, py);
    // The last move ends exactly where the line said, so the chain goes on from there.
    if (room && (x2 != px || y2 != py))
        room = put(batch, x2, y2);
    toolpath.moveCount = batch.count;
    if (batch.count > first) {
        toolpath_steps::widen(toolpath.allBounds, batch.minX, batch.minY, batch.maxX, batch.maxY);
        if (!travel)
            toolpath_steps::widen(toolpath.cutBounds, batch.minX, batch.minY, batch.maxX, batch.maxY);
    }
    return room;
}
