// The commands that change which part of the machine plane the canvas shows: fitting the
// job into the canvas, zooming about a point and panning by a drag. Each ends in a redraw.
#include "view/view_commands.h"

#include "model/toolpath.h"
#include "view/renderer.h"
#include "view/replay_timeline.h"
#include "view/rulers.h"
#include "view/settings.h"
#include "view/view_mapping.h"
#include "view/view_state.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double FitMargin = 20.0;        // layout units around the fitted job, each side
constexpr double MinAvailableSpan = 10.0; // device pixels left for the job, at least
constexpr double MinJobSpan = 0.001;      // mm; a flatter axis is fitted as if 1 mm long
constexpr double FlatJobSpan = 1.0;       // mm

// The middle of a bounds axis. A sum that overflows is retried on halves; a range with an
// infinite or undefined end has no middle, so the machine origin, which every toolpath
// contains, stands in for it rather than a centre that would poison every later transform.
double middleOf(double low, double high)
{
    double middle = (low + high) / 2.0;
    if (!std::isfinite(middle))
        middle = low / 2.0 + high / 2.0;
    if (!std::isfinite(middle))
        middle = 0.0;
    return middle;
}

// A centre coordinate held to the double range. Far enough out (a job near the double limit
// fitted at a tiny scale, where the ruler band's offset alone is worth more than the range,
// or such a view dragged or zoomed about a distant point) the centre would overflow to an
// infinity: every later transform would be infinite, and the next zoom would make it
// undefined (infinity minus infinity). It stops at the largest double instead, where the
// drag was heading.
double heldInRange(double value)
{
    constexpr double Largest = std::numeric_limits<double>::max();
    if (value > Largest)
        return Largest;
    if (value < -Largest)
        return -Largest;
    return value;
}

} // namespace

void fitView()
{
    refreshCanvasMetrics();
    const Bounds* bounds = &jobBounds();
    if (!bounds->valid) {
        redraw();
        return;
    }

    const double r = viewState.uiScale;
    const double top = FitMargin * r;
    const double right = FitMargin * r;
    double left = FitMargin * r;
    double bottom = FitMargin * r;
    if (settings.showBed) {
        const RulerBands bands = rulerBands(r);
        left += bands.width;
        bottom += bands.height;
    }
    // While a replay is on, its timeline stands at the canvas's foot: the job fits above it.
    if (replayTimeline.shown)
        bottom =
            std::max(bottom, viewState.canvasHeight - currentTimelineBox().strip.top + FitMargin * r);
    const ViewMapping view = viewMapping();
    const double width = view.width;
    const double height = view.height;
    double availableWidth = width - left - right;
    if (availableWidth < MinAvailableSpan)
        availableWidth = MinAvailableSpan;
    double availableHeight = height - top - bottom;
    if (availableHeight < MinAvailableSpan)
        availableHeight = MinAvailableSpan;

    double spanX = bounds->maxX - bounds->minX;
    if (spanX < MinJobSpan)
        spanX = FlatJobSpan;
    double spanY = bounds->maxY - bounds->minY;
    if (spanY < MinJobSpan)
        spanY = FlatJobSpan;

    const double scaleX = availableWidth / spanX;
    const double scaleY = availableHeight / spanY;
    double scale = scaleY < scaleX ? scaleY : scaleX;
    // An infinite span gives 0 and an undefined one NaN; both fail this test.
    if (!(scale > 0.0))
        scale = MinScale;

    const double areaX = left + availableWidth / 2.0;
    const double areaY = top + availableHeight / 2.0;
    viewState.scale = scale;
    const double middleX = middleOf(bounds->minX, bounds->maxX);
    const double middleY = middleOf(bounds->minY, bounds->maxY);
    viewState.centerX = heldInRange(middleX - (areaX - view.cx) / scale);
    viewState.centerY = heldInRange(middleY + (areaY - view.cy) / scale);
    viewState.autoFit = true;
    redraw();
}

void zoomAt(double px, double py, double factor)
{
    if (toolpath.moveCount == 0)
        return;
    // The machine point under (px, py) stays there at the new scale.
    const ViewMapping view = viewMapping();
    const double wx = view.machineX(px);
    const double wy = view.machineY(py);

    double scale = viewState.scale * factor;
    // Written so that a NaN scale ends at the lower limit instead of surviving the clamp.
    if (!(scale >= MinScale))
        scale = MinScale;
    if (scale > MaxScale)
        scale = MaxScale;
    viewState.scale = scale;

    viewState.centerX = heldInRange(wx - (px - view.cx) / scale);
    viewState.centerY = heldInRange(wy + (py - view.cy) / scale);
    viewState.autoFit = false;
    redraw();
}

void panView(int dx, int dy)
{
    if (dx == 0 && dy == 0)
        return;
    viewState.centerX = heldInRange(viewState.centerX - dx / viewState.scale);
    viewState.centerY = heldInRange(viewState.centerY + dy / viewState.scale);
    viewState.autoFit = false;
    redraw();
}
