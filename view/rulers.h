// The machine-bed layers: dotted grid, axes and job outline under the toolpath; rulers,
// labels and origin mark over it.
#pragma once

#include <string>
#include <string_view>

constexpr double RulerBandWidth = 46.0;  // layout units, left ruler band
constexpr double RulerBandHeight = 22.0; // layout units, bottom ruler band

// The ruler bands' size in device pixels at the display scale `uiScale`: the fit keeps the
// job out of the very space the rulers are drawn in.
struct RulerBands {
    double width;  // the left band
    double height; // the bottom band
};

inline RulerBands rulerBands(double uiScale)
{
    return {RulerBandWidth * uiScale, RulerBandHeight * uiScale};
}

void drawGrid(int w, int h, double cx, double cy, double scale, double centerX, double centerY);
void drawRulers(int w, int h, double cx, double cy, double scale, double centerX, double centerY);

// The first step of the comma list whose spacing reaches `minimumSpacing` pixels, else the last.
double chooseStep(double pixelsPerUnit, double minimumSpacing, std::string_view list);

// The label of one tick: whole numbers for steps of 1 and more, else up to 2 decimals.
std::string formatTickLabel(double value, double step);

// Millimetres per displayed unit: 25.4 in inches, else 1.
double displayUnitFactor();
