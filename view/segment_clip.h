// Keeps far-away segments from reaching the drawing: the threshold beyond which a segment is
// clipped, and the clip itself.
#pragma once

#include "view/view_state.h"

#include <cmath>

constexpr double ClipThreshold = FarCanvasPixels; // beyond this a segment is clipped
constexpr double ClipMargin = 10.0;               // device pixels the clip rectangle exceeds the canvas

// Liang-Barsky: 0 when the segment is wholly outside the rectangle (or has an end that is
// not finite), else 1 with the ends moved onto it.
int clipSegment(double& x1, double& y1, double& x2, double& y2, double xmin, double ymin, double xmax,
                double ymax);

// Whether all four are numbers other than an infinity.
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
