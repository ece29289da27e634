// Clips a segment to a rectangle (Liang-Barsky), in doubles, or in a wider type where the
// ends lie so far apart that their difference overflows a double.
#include "view/segment_clip.h"

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
