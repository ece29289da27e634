// Fills the ten canvas colours from the "Invert" option: a light scheme and a dark one.
#include "view/colour_scheme.h"

#include "view/settings.h"

ColourScheme colourScheme;

namespace {

// Raster entries (background, hint, bar) carry no alpha; vector entries carry their own.
constexpr ColourScheme LightScheme{
    makeRgb(255, 255, 255),       // background
    makeRgb(120, 120, 120),       // hintText
    makeRgb(70, 130, 210),        // progressBar
    makeRgba(225, 190, 60, 255),  // travelMove
    makeRgba(0, 0, 0, 60),        // gridDot
    makeRgba(0, 0, 0, 130),       // gridLine
    makeRgba(243, 243, 243, 255), // rulerBack
    makeRgba(90, 90, 90, 255),    // rulerText
    makeRgba(230, 160, 0, 230),   // jobOutline
    makeRgba(220, 60, 40, 255),   // originMark
};

constexpr ColourScheme DarkScheme{
    makeRgb(24, 30, 44),          // background
    makeRgb(170, 175, 190),       // hintText
    makeRgb(90, 140, 220),        // progressBar
    makeRgba(240, 215, 110, 255), // travelMove
    makeRgba(255, 255, 255, 50),  // gridDot
    makeRgba(255, 255, 255, 120), // gridLine
    makeRgba(16, 20, 30, 255),    // rulerBack
    makeRgba(160, 168, 185, 255), // rulerText
    makeRgba(230, 160, 0, 230),   // jobOutline
    makeRgba(220, 60, 40, 255),   // originMark
};

// The job outline and origin mark read the same on both backgrounds.
static_assert(LightScheme.jobOutline == DarkScheme.jobOutline);
static_assert(LightScheme.originMark == DarkScheme.originMark);

} // namespace

void applyColourScheme()
{
    colourScheme = settings.invertColours ? DarkScheme : LightScheme;
}
