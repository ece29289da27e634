// Anti-aliased drawing on images: paths, strokes solid, dashed and dotted, fills and text,
// blended source over. At most one drawing context is open at a time.
#pragma once

#include "platform/colour.h"

#include <string>

// Opens an anti-aliased context on an image, units = pixels; false when the slot is empty.
bool beginVector(int slot);
void endVector();
void setPaintColour(ColourValue colour);
void paintAll();
void pathMoveTo(double x, double y);
void pathLineTo(double x, double y);
void pathAddBox(double x, double y, double width, double height);
void strokeSolid(double width);
void strokeDashed(double width, double dashLength);
void strokeDotted(double width, double spacing);
void fillCurrentPath();
void setTextFont(int fontSlot, double pixelSize);
void drawTextAtCursor(const std::string& text);
double measureTextWidth(const std::string& text);
double measureTextHeight(const std::string& text);
