// The drawing contexts' shared state: the numbered images, the one raster or vector
// context open at a time and the vector path being built, with the lookups the drawing
// files share and the release of it all when a canvas or the layer goes.
#pragma once

#include "platform/colour.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPointF>
#include <QRect>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "platform/raster_drawing.h"
// One figure of the current path: a run of points in `VectorState::points`.
struct Figure {
    int first = 0;
    int count = 0;
    bool closed = false;
};

struct RasterState {
    bool open = false;
    int canvas = -1; // control number when drawing on a canvas
    int slot = -1;   // image slot otherwise
    int mode = RasterFilled;
};

struct VectorState {
    bool open = false;
    int slot = -1;
    std::unique_ptr<QPainter> painter; // made once, begun and ended per context
    QColor colour = QColor(0, 0, 0, 255);
    std::optional<QFont> font;
    // The path; both buffers keep their capacity from stroke to stroke.
    std::vector<QPointF> points;
    std::vector<Figure> figures;
    bool figureOpen = false; // the last figure takes further pathLineTo points
    QPointF cursor;
    QPainterPath scratch; // fills and dots; clear() keeps its memory
    // Coverage (0 to 255) of the patterned stroke being drawn, one byte per pixel of the
    // target image; kept from stroke to stroke so that a grid allocates nothing.
    std::vector<std::uint8_t> strokeMask;
    QRect strokeMaskUsed; // the pixels of the mask that may be non-zero
};

extern std::map<int, QImage> images;
extern RasterState raster;
extern VectorState vec;

// The colour as an opaque Qt pixel value; its alpha byte is ignored.
QRgb opaqueRgb(ColourValue c);
// The image in `slot`, or nullptr.
QImage* imageIn(int slot);
// What the open raster context draws into, or nullptr.
QImage* rasterTarget();
// What the open vector context draws into, or nullptr.
QImage* vectorTarget();
bool anyContextOpen();
// Ends the vector context, if one is open, and empties its path.
void closeVector();
// Closes whatever context draws into image `slot`, before that image changes or goes.
void releaseSlot(int slot);
// Empties the vector path and puts its cursor back at (0, 0).
void resetPath();

// Closes any drawing context that targets this canvas (before it goes away).
void releaseCanvasDrawing(int control);
// Closes every drawing context and frees every image (at shutdown).
void releaseDrawingState();
