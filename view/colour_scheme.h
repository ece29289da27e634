// The ten colours everything on the canvas is painted with, light or dark.
#pragma once

#include "platform/colour.h"

struct ColourScheme {
    ColourValue background = 0;
    ColourValue hintText = 0;
    ColourValue progressBar = 0;
    ColourValue travelMove = 0;
    ColourValue gridDot = 0;
    ColourValue gridLine = 0;
    ColourValue rulerBack = 0;
    ColourValue rulerText = 0;
    ColourValue jobOutline = 0;
    ColourValue originMark = 0;
};

extern ColourScheme colourScheme;

// Sets every entry from settings.invertColours. Draws nothing.
void applyColourScheme();
