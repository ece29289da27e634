// Numbered off-screen images: made, sized, read back and saved.
#pragma once

#include "platform/colour.h"

#include <cstdint>
#include <string>

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
