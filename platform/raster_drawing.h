// Whole-pixel drawing on the canvas's backing picture and on images: boxes, bitmap text
// and image copies, with no anti-aliasing. At most one drawing context is open at a time.
#pragma once

#include "platform/colour.h"

#include <string>

enum RasterModeKind : int { RasterFilled = 0, RasterTransparentText = 1, RasterOutline = 2 };

// Opens a raster context on the canvas control's backing image; false when it has none.
bool beginCanvasRaster(int control);
// Opens a raster context on an image; false when the slot is empty.
bool beginImageRaster(int slot);
// Closes the context; on the canvas the new content is shown now.
void endRaster();
int rasterWidth();
int rasterHeight();
void rasterMode(int mode);
void rasterBox(int x, int y, int width, int height, ColourValue colour);
void rasterText(int x, int y, const std::string& text, ColourValue colour);
int rasterTextWidth(const std::string& text);
int rasterTextHeight(const std::string& text);
void rasterDrawImage(int slot, int x, int y);
