// Drawing on the canvas and on numbered off-screen images: a raster interface (whole
// pixels, no anti-aliasing) and an anti-aliased vector interface (paths, strokes, text).
// At most one drawing context is open at a time; every begin has its matching end.
#pragma once

#include "platform/colour.h"

#include <cstdint>
#include <string>

// ---- images ----

// Creates (or re-creates) the 24-bit image in `slot`, every pixel `fill`; false on failure.
bool newImage(int slot, int width, int height, int depth, ColourValue fill);
void deleteImage(int slot);
bool imageExists(int slot);
void imageSize(int slot, int& width, int& height); // 0 x 0 for an empty slot
// Writes the image as PNG; false on failure.
bool saveImagePng(int slot, const std::string& path);
// RGB of one pixel (alpha 255) for checks and tools; 0 outside the image.
ColourValue imagePixel(int slot, int x, int y);
// The image's pixels for direct writing: 0xffRRGGBB words, row y at byte y x bytesPerLine
// from the result; nullptr (and 0 x 0) when the slot is empty or a drawing context is open.
// The pointer stays valid until the image is re-created or deleted.
std::uint32_t* imagePixelRows(int slot, int& width, int& height, int& bytesPerLine);

// ---- raster drawing ----

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

// ---- vector drawing ----

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
