// Turns a G2/G3 arc in the XY plane into the short straight moves that follow it.
#include "model/arcs.h"

#include <cassert>
#include <cmath>
#include <numbers>

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
// turning theta lies r (1 - cos(theta / 2)) = 2 r sin^2(theta / 4) inside it at its middle.
std::int32_t segmentsFor(double radius, double sweep)
{
    const double share = ArcTolerance / radius;
    if (!(share < 2.0))
        return 1; // the whole circle lies within the tolerance of any chord
    const double half = std::sqrt(share / 2.0); // sin(theta / 4) of the longest step
    const double turn = std::fabs(sweep);
    // The step is 4 asin(half), and asin(h) lies between h and h + h^3/6 + h^5/10 for h up
    // to 1/2 (the series' later terms add less than h^5/10). When a step at either bound
    // gives the same count, so does the step itself, and the arcsine's call is saved; the
    // factors leave room for the last bits of the computed arcsine.
    double count = 0.0;
    const double square = half * half;
    const double fewest =
        std::ceil(turn / (4.0 * (half + half * square * (1.0 / 6.0 + square / 10.0)) * (1.0 + 1e-15)));
    const double most = std::ceil(turn / (4.0 * half * (1.0 - 1e-15)));
    if (half <= 0.5 && fewest == most)
        count = most;
    else
        count = std::ceil(turn / (4.0 * std::asin(half)));
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
