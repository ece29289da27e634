// Texts written on the canvas: the message of an empty canvas, the hint of a bed the options
// leave empty, the notice that the drawing is older than the file, a short-lived note at the
// canvas's foot, and the machine point under the pointer.
#pragma once

#include <string>
#include <vector>

// Why the drawing shown is not what the file now holds (a reload failed, a load was cut
// short); "" when it is. Any code may set it; the next redraw shows it in a box at the top of
// the canvas, over the drawing, until a load succeeds and clears it.
extern std::string canvasNotice;

// The machine point under the pointer ("" when the pointer is away), shown in the canvas's
// bottom-right corner over the presented frame; it is never painted into the frame.
extern std::string pointerReadout;

// A short-lived note ("" for none), shown in a box at the canvas's foot over the presented
// frame, like pointerReadout; whoever sets it clears it when its time is up.
extern std::string canvasFootNote;

// `text` broken at blanks into lines no wider than `maxWidth` pixels in the raster font; a
// word wider than that stands alone on its line. Never empty.
std::vector<std::string> wrapText(const std::string& text, int maxWidth);

// Into the frame image of `width` x `height` pixels; each does nothing when the frame cannot
// be drawn on. `leftBand` and `bottomBand` are the pixels the ruler bands take (0 without
// the bed); the texts stay clear of them.
void paintCanvasMessage(int width, int height); // background and the centred message
// Why a loaded file shows an empty bed, centred on the bed.
void paintNothingDrawnHint(int width, int height, int leftBand, int bottomBand);
// canvasNotice at the top, centred right of the left band.
void paintCanvasNotice(int width, int height, int leftBand);

// pointerReadout into the raster context open on the canvas, above the bottom ruler band
// when the bed is shown.
void paintPointerReadout();
// canvasFootNote into the raster context open on the canvas, clear of the bottom ruler band.
void paintFootNote();
