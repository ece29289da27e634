// Dresses the canvas as a machine bed: a dotted grid, the axes and the job outline under
// the toolpath, and over it the origin mark and the rulers with labelled ticks.
#include "view/rulers.h"

#include "model/toolpath.h"
#include "model/units.h"
#include "platform/colour.h"
#include "platform/drawing.h"
#include "platform/numtext.h"
#include "view/colour_scheme.h"
#include "view/settings.h"
#include "view/view_state.h"

#include <cmath>
#include <cstdint>
#include <limits>

namespace {

constexpr std::string_view GridStepsMm = "10,50,100,500,1000,5000";
constexpr std::string_view GridStepsIn = "1,5,10,50,100,500";
constexpr std::string_view RulerStepsMm = "1,2,5,10,20,50,100,200,500,1000,2000,5000";
constexpr std::string_view RulerStepsIn = "0.1,0.25,0.5,1,2,5,10,20,50,100,200";

constexpr double MinGridSpacing = 8.0;    // layout units between grid lines, at least
constexpr double MinTickSpacing = 50.0;   // layout units between ruler ticks, at least
constexpr double TickLength = 5.0;        // layout units
constexpr double LeftLabelGap = 3.0;      // layout units between a left label and its tick
constexpr double BottomLabelGap = 1.0;    // device pixels below a bottom tick, not scaled
constexpr double LabelFontSize = 11.0;    // layout units
constexpr int LabelFontSlot = 0;          // the interface font loaded by the shell
constexpr double OriginHalfLength = 8.0;  // layout units, each arm of the origin cross
constexpr double OriginLineWidth = 1.5;   // layout units
constexpr double GridDotSpacing = 3.0;    // layout units
constexpr double OutlineDashLength = 5.0; // layout units
constexpr double ThinLine = 1.0;          // device pixels, not scaled

// Multiples closer than a pixel merge into a wash that shows nothing; only views far
// outside the zoom range (a fit of a job kilometres wide) come near it.
constexpr double MinWalkSpacing = 1.0; // device pixels
// Positions beyond FarCanvasPixels cannot be on any canvas; they are left out rather than
// handed to the single-precision path.
inline bool onPathRange(double position)
{
    return std::fabs(position) <= FarCanvasPixels; // false for a NaN too
}

// Calls `handle` with every multiple of `step` from the one at or below `low` up to `high`,
// by repeated addition. However far out the view, the walk ends quickly: an undefined or
// infinite range walks nothing, the count is held to what the canvas extent can show, and
// the walk stops once adding the step no longer changes the value.
template <typename Handle>
void walkMultiples(double low, double high, double step, double pixelsPerUnit, double extent,
                   Handle handle)
{
    if (!std::isfinite(low) || !std::isfinite(high) || !(step > 0.0))
        return;
    const double spacing = step * pixelsPerUnit;
    if (!(spacing >= MinWalkSpacing))
        return;
    const double limit = extent / spacing + 3.0; // the multiples of the range and one each side
    double value = roundDown(low / step) * step;
    for (double count = 0.0; count < limit && value <= high; count += 1.0) {
        handle(value);
        const double next = value + step;
        if (next == value)
            break;
        value = next;
    }
}

// The visible range of the canvas in displayed units.
struct VisibleRange {
    double left, right, bottom, top;
};

VisibleRange visibleRange(int w, int h, double cx, double cy, double scale, double centerX,
                          double centerY, double unit)
{
    return {(centerX - cx / scale) / unit, (centerX + (w - cx) / scale) / unit,
            (centerY - (h - cy) / scale) / unit, (centerY + cy / scale) / unit};
}

} // namespace

double displayUnitFactor()
{
    return settings.inches ? MillimetresPerInch : 1.0;
}

double chooseStep(double pixelsPerUnit, double minimumSpacing, std::string_view list)
{
    const int count = countOccurrences(list, ",") + 1;
    double value = 0.0;
    for (int i = 1; i <= count; ++i) {
        value = parseNumber(fieldAt(list, i, ","));
        if (value * pixelsPerUnit >= minimumSpacing)
            return value;
    }
    return value;
}

std::string formatTickLabel(double value, double step)
{
    if (step >= 1.0) {
        const double whole = roundNearest(value);
        if (whole >= std::numeric_limits<std::int32_t>::min() &&
            whole <= std::numeric_limits<std::int32_t>::max())
            return formatInteger(truncate(whole));
        // Beyond 32 bits the digits come from the double itself, never from a wrapped integer.
        return formatFixed(whole, 0);
    }
    std::string text = formatFixed(value, 2);
    if (findText(text, ".") > 0) {
        text = trimTrailing(text, "0");
        text = trimTrailing(text, ".");
    }
    if (text == "-0")
        text = "0";
    return text;
}

void drawGrid(int w, int h, double cx, double cy, double scale, double centerX, double centerY)
{
    const double u = displayUnitFactor();
    const double r = viewState.uiScale;
    const double step =
        chooseStep(scale * u, MinGridSpacing * r, settings.inches ? GridStepsIn : GridStepsMm);
    const VisibleRange range = visibleRange(w, h, cx, cy, scale, centerX, centerY, u);

    walkMultiples(range.left, range.right, step, scale * u, w, [&](double v) {
        const double x = cx + (v * u - centerX) * scale;
        if (onPathRange(x)) { // the multiple before the range can lie far off at a huge scale
            pathMoveTo(x, 0.0);
            pathLineTo(x, h);
        }
    });
    walkMultiples(range.bottom, range.top, step, scale * u, h, [&](double v) {
        const double y = cy - (v * u - centerY) * scale;
        if (onPathRange(y)) {
            pathMoveTo(0.0, y);
            pathLineTo(w, y);
        }
    });
    setPaintColour(colourScheme.gridDot);
    strokeDotted(ThinLine, GridDotSpacing * r);

    const double ox = cx - centerX * scale;
    if (ox >= 0.0 && ox <= w) {
        pathMoveTo(ox, 0.0);
        pathLineTo(ox, h);
    }
    const double oy = cy + centerY * scale;
    if (oy >= 0.0 && oy <= h) {
        pathMoveTo(0.0, oy);
        pathLineTo(w, oy);
    }
    setPaintColour(colourScheme.gridLine);
    strokeSolid(ThinLine);

    const Bounds& job = toolpath.cutBounds;
    if (job.valid) {
        // Lines across the whole canvas at the cutting extent; one that lies far off the
        // canvas (or at an infinite bound) cannot be seen and is left out.
        const double columns[2] = {cx + (job.minX - centerX) * scale,
                                   cx + (job.maxX - centerX) * scale};
        const double rows[2] = {cy - (job.minY - centerY) * scale, cy - (job.maxY - centerY) * scale};
        for (double x : columns) {
            if (onPathRange(x)) {
                pathMoveTo(x, 0.0);
                pathLineTo(x, h);
            }
        }
        for (double y : rows) {
            if (onPathRange(y)) {
                pathMoveTo(0.0, y);
                pathLineTo(w, y);
            }
        }
        setPaintColour(colourScheme.jobOutline);
        strokeDashed(ThinLine, OutlineDashLength * r);
    }
}

void drawRulers(int w, int h, double cx, double cy, double scale, double centerX, double centerY)
{
    const double u = displayUnitFactor();
    const double r = viewState.uiScale;
    const RulerBands bands = rulerBands(r);
    const double bandWidth = bands.width;
    const double bandHeight = bands.height;
    const double bandTop = h - bandHeight;
    const double tickLength = TickLength * r;

    // The origin cross, drawn even off the canvas, except where it cannot be near it.
    const double ox = cx - centerX * scale;
    const double oy = cy + centerY * scale;
    const double arm = OriginHalfLength * r;
    if (onPathRange(ox) && onPathRange(oy)) {
        pathMoveTo(ox - arm, oy);
        pathLineTo(ox + arm, oy);
        pathMoveTo(ox, oy - arm);
        pathLineTo(ox, oy + arm);
        setPaintColour(colourScheme.originMark);
        strokeSolid(OriginLineWidth * r);
    }

    pathAddBox(0.0, 0.0, bandWidth, h);
    pathAddBox(bandWidth, bandTop, w - bandWidth, bandHeight);
    setPaintColour(colourScheme.rulerBack);
    fillCurrentPath();

    pathMoveTo(bandWidth, 0.0);
    pathLineTo(bandWidth, bandTop);
    pathLineTo(w, bandTop);
    setPaintColour(colourScheme.gridLine);
    strokeSolid(ThinLine);

    const double step =
        chooseStep(scale * u, MinTickSpacing * r, settings.inches ? RulerStepsIn : RulerStepsMm);
    const VisibleRange range = visibleRange(w, h, cx, cy, scale, centerX, centerY, u);
    auto canvasX = [&](double v) { return cx + (v * u - centerX) * scale; };
    auto canvasY = [&](double v) { return cy - (v * u - centerY) * scale; };

    walkMultiples(range.left, range.right, step, scale * u, w, [&](double v) {
        const double x = canvasX(v);
        if (x > bandWidth && x < w) {
            pathMoveTo(x, bandTop);
            pathLineTo(x, bandTop + tickLength);
        }
    });
    walkMultiples(range.bottom, range.top, step, scale * u, h, [&](double v) {
        const double y = canvasY(v);
        if (y >= 0.0 && y < bandTop) {
            pathMoveTo(bandWidth - tickLength, y);
            pathLineTo(bandWidth, y);
        }
    });
    setPaintColour(colourScheme.gridLine);
    strokeSolid(ThinLine);

    setTextFont(LabelFontSlot, LabelFontSize * r);
    setPaintColour(colourScheme.rulerText);
    walkMultiples(range.left, range.right, step, scale * u, w, [&](double v) {
        const double x = canvasX(v);
        const std::string label = formatTickLabel(v, step);
        const double labelWidth = measureTextWidth(label);
        if (x - labelWidth / 2.0 > bandWidth && x + labelWidth / 2.0 < w) {
            pathMoveTo(x - labelWidth / 2.0, bandTop + tickLength + BottomLabelGap);
            drawTextAtCursor(label);
        }
    });
    walkMultiples(range.bottom, range.top, step, scale * u, h, [&](double v) {
        const double y = canvasY(v);
        const std::string label = formatTickLabel(v, step);
        const double labelHeight = measureTextHeight(label);
        const double labelWidth = measureTextWidth(label);
        if (y - labelHeight / 2.0 >= 0.0 && y + labelHeight / 2.0 < bandTop) {
            pathMoveTo(bandWidth - tickLength - LeftLabelGap * r - labelWidth, y - labelHeight / 2.0);
            drawTextAtCursor(label);
        }
    });

    const std::string unitName = settings.inches ? "in" : "mm";
    const double unitWidth = measureTextWidth(unitName);
    const double unitHeight = measureTextHeight(unitName);
    pathMoveTo((bandWidth - unitWidth) / 2.0, bandTop + (bandHeight - unitHeight) / 2.0);
    drawTextAtCursor(unitName);
}
