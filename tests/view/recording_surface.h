// A stand-in for the platform's drawing and window operations that records every call the
// view makes, so that tests can check what would have been drawn without a display.
#pragma once

#include "platform/colour.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum class Op {
    NewImage,
    DeleteImage,
    BeginCanvasRaster,
    BeginImageRaster,
    EndRaster,
    RasterMode,
    RasterBox,
    RasterText,
    RasterDrawImage,
    BeginVector,
    EndVector,
    SetPaintColour,
    PaintAll,
    MoveTo,
    LineTo,
    AddBox,
    StrokeSolid,
    StrokeDashed,
    StrokeDotted,
    Fill,
    SetTextFont,
    DrawText,
};

// One recorded call: up to four numbers, a colour and a text, by operation.
struct Call {
    Op op;
    double a = 0.0, b = 0.0, c = 0.0, d = 0.0;
    ColourValue colour = 0;
    std::string text;
};

struct RecordingSurface {
    std::vector<Call> calls;
    int canvasWidth = 800; // device pixels of the canvas backing image; 0: none
    int canvasHeight = 600;
    int canvasLayoutWidth = 800; // what controlWidth(Canvas) answers
    bool imagePresent = false;   // the frame image slot
    int imageWidth = 0;
    int imageHeight = 0;
    std::vector<std::uint32_t> pixels; // the frame image's pixels, 0xffRRGGBB, for direct drawing
    int pendingEvents = 0;             // pollEvent answers non-zero this many times
    int pollCalls = 0;
    int rasterMode = 0;
    std::string statusText;
    double glyphWidth = 6.0;   // pixels per character of every measured text
    double glyphHeight = 13.0; // pixels, every measured text
};

extern RecordingSurface surface;

// A fresh surface with a canvas of this size and no frame image.
void resetSurface(int canvasWidth = 800, int canvasHeight = 600);

// Calls of one operation, in order.
std::vector<Call> callsOf(Op op);
std::size_t countOf(Op op);
