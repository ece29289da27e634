// Reads pixels the drawing interface does not expose (the canvas backing picture, PNG files)
// and compares rendered images, for the view's pixel tests.
#pragma once

#include "platform/colour.h"

#include <string>

// RGB of one pixel of the canvas control as it is shown now (alpha 255); 0 outside.
ColourValue canvasPixel(int x, int y);

// Pixels of `actualPng` that differ by more than `tolerance` in some channel from the
// reference at the same place and from all eight neighbours there, so that anti-aliasing
// noise passes but a line out of place does not. -1 when a file is missing or the sizes differ.
int misplacedPixels(const std::string& actualPng, const std::string& referencePng, int tolerance);
