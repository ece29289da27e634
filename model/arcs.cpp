// Turns a G2/G3 arc in the XY plane into the short straight moves that follow it.
#include "model/arcs.h"

#include <cmath>
#include <numbers>

#include "model/toolpath.h"

namespace {

constexpr double FullTurn = 2.0 * std::numbers::pi; // radians

inline bool finite(double a, double b)
{
    return std::isfinite(a) && std::isfinite(b);
}

// Moves enough that none strays more than ArcTolerance from an arc of this radius: a chord
// turning theta lies r (1 - cos(theta / 2)) = 2 r sin^2(theta / 4) inside it at its middle.
std::int32_t segmentsFor(double radius, double sweep)
{
    const double share = ArcTolerance / radius;
    if (!(share < 2.0))
        return 1; // the whole circle lies within the tolerance of any chord
    const double step = 4.0 * std::asin(std::sqrt(share / 2.0));
    const double count = std::ceil(std::fabs(sweep) / step);
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

} // namespace

bool planCentreArc(double x1, double y1, double x2, double y2, double cx, double cy, bool clockwise,
                   ArcPlan& plan)
{
    const double sx = x1 - cx, sy = y1 - cy;
    const double ex = x2 - cx, ey = y2 - cy;
    const double startRadius = std::hypot(sx, sy);
    const double endRadius = std::hypot(ex, ey);
    if (!finite(startRadius, endRadius) || !(startRadius > 0.0) || !(endRadius > 0.0))
        return false;
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
    const double chord = std::hypot(dx, dy);
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
    const double sx = x1 - cx, sy = y1 - cy;
    const double ex = x2 - cx, ey = y2 - cy;
    const double startRadius = std::hypot(sx, sy);
    const double endRadius = std::hypot(ex, ey);
    if (!finite(startRadius, endRadius) || !(startRadius > 0.0) || !(endRadius > 0.0))
        return false;
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
    const std::int32_t n = plan.segments;
    // Each point is the one before turned by one step about the centre: a rotation per move
    // instead of a sine and a cosine, which the arc's length would otherwise cost. An end a
    // little off the start's circle is reached by a steady growth of the radius.
    const double step = plan.sweep / n;
    double growth = 1.0;
    if (plan.endRadius != plan.startRadius)
        growth = std::pow(plan.endRadius / plan.startRadius, 1.0 / n);
    const double turnX = std::cos(step) * growth;
    const double turnY = std::sin(step) * growth;
    double vx = x1 - plan.centreX, vy = y1 - plan.centreY;
    double px = x1, py = y1;
    for (std::int32_t k = 1; k < n; ++k) {
        const double nextX = vx * turnX - vy * turnY;
        vy = vx * turnY + vy * turnX;
        vx = nextX;
        const double qx = plan.centreX + vx;
        const double qy = plan.centreY + vy;
        if (qx == px && qy == py)
            continue; // a tiny arc's points can coincide once rounded
        if (!appendMove(px, py, qx, qy, power, travel))
            return false;
        px = qx;
        py = qy;
    }
    // The last move ends exactly where the line said, so the chain goes on from there.
    if (x2 == px && y2 == py)
        return true;
    return appendMove(px, py, x2, y2, power, travel);
}
