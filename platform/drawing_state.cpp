// The drawing contexts' shared state and its release.
#include "platform/drawing_state.h"

#include "platform/canvas_widget.h"

std::map<int, QImage> images;
RasterState raster;
VectorState vec;

QRgb opaqueRgb(ColourValue c)
{
    return qRgb(static_cast<int>(redOf(c)), static_cast<int>(greenOf(c)), static_cast<int>(blueOf(c)));
}

QImage* imageIn(int slot)
{
    auto it = images.find(slot);
    return it == images.end() ? nullptr : &it->second;
}

QImage* rasterTarget()
{
    if (!raster.open)
        return nullptr;
    if (raster.canvas >= 0) {
        CanvasWidget* c = canvasControl(raster.canvas);
        return c != nullptr ? c->drawingPicture() : nullptr;
    }
    return imageIn(raster.slot);
}

QImage* vectorTarget()
{
    return vec.open ? imageIn(vec.slot) : nullptr;
}

bool anyContextOpen()
{
    return raster.open || vec.open;
}

void closeVector()
{
    if (vec.open && vec.painter)
        vec.painter->end();
    vec.open = false;
    vec.slot = -1;
    vec.points.clear();
    vec.figures.clear();
    vec.figureOpen = false;
}

void releaseSlot(int slot)
{
    if (vec.open && vec.slot == slot)
        closeVector();
    if (raster.open && raster.canvas < 0 && raster.slot == slot)
        raster = RasterState{};
}

void resetPath()
{
    vec.points.clear();
    vec.figures.clear();
    vec.figureOpen = false;
    vec.cursor = QPointF(0, 0);
}

void releaseCanvasDrawing(int control)
{
    if (raster.open && raster.canvas == control)
        raster = RasterState{};
}

void releaseDrawingState()
{
    closeVector(); // ends the painter before the record lets it go
    raster = RasterState{};
    vec = VectorState{}; // with the stroke mask's memory
    images = {};
}
