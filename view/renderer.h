// Paints the toolpath into the off-screen frame and shows it on the canvas.
#pragma once

#include "platform/colour.h"

#include <cstdint>
#include <string>

constexpr int FrameImageSlot = 0; // image slot of frameImage

// Text drawn on the empty canvas (drop hint or why the last file shows nothing).
extern std::string canvasMessage;

// Greys computed by the cutting passes since start: shading is recomputed only when the
// power changes from one cutting move to the next, and this count shows how often that was.
extern std::uint64_t greyEvaluations;

// Repaints the frame from the toolpath and view, then presents it.
void redraw();

// Shows the last frame with its top-left corner at (dx, dy) device pixels.
void presentShifted(int dx, int dy);

// Opaque grey of a cutting move of this power under the current options.
ColourValue powerToColour(double power);

// Liang-Barsky: 0 when the segment is wholly outside the rectangle (or has an end that is
// not finite), else 1 with the ends moved onto it.
int clipSegment(double& x1, double& y1, double& x2, double& y2, double xmin, double ymin,
                double xmax, double ymax);
