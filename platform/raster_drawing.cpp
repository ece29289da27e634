// Whole-pixel drawing on the canvas's backing picture and on images: boxes, bitmap text
// and image copies.
#include "platform/raster_drawing.h"

#include "platform/canvas_widget.h"
#include "platform/drawing_state.h"
#include "platform/qt_helpers.h"
#include "platform/toolkit_state.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cassert>

namespace {

// Sets every pixel of [x0, x1) x [y0, y1), clipped to the image, to `rgb`.
void fillPixels(QImage& image, long long x0, long long y0, long long x1, long long y1, QRgb rgb)
{
    // Rows are written as whole 32-bit pixels from x0 up to x1: a reversed range would write
    // outside the row.
    assert(image.depth() == 32 && x0 <= x1);
    x0 = std::clamp<long long>(x0, 0, image.width());
    x1 = std::clamp<long long>(x1, 0, image.width());
    y0 = std::clamp<long long>(y0, 0, image.height());
    y1 = std::clamp<long long>(y1, 0, image.height());
    for (long long row = y0; row < y1; ++row) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(static_cast<int>(row)));
        std::fill(line + x0, line + x1, rgb);
    }
}

} // namespace

bool beginCanvasRaster(int control)
{
    if (anyContextOpen())
        return false; // contexts never nest
    const CanvasWidget* c = canvasControl(control);
    if (c == nullptr || c->picture().isNull())
        return false;
    raster = RasterState{true, control, -1, RasterFilled};
    return true;
}

bool beginImageRaster(int slot)
{
    if (anyContextOpen() || imageIn(slot) == nullptr)
        return false;
    raster = RasterState{true, -1, slot, RasterFilled};
    return true;
}

void endRaster()
{
    if (!raster.open)
        return;
    const int canvas = raster.canvas;
    raster = RasterState{};
    if (canvas >= 0)
        if (CanvasWidget* c = canvasControl(canvas))
            c->repaint(); // the new picture is on screen before this returns
}

int rasterWidth()
{
    const QImage* t = rasterTarget();
    return t ? t->width() : 0;
}

int rasterHeight()
{
    const QImage* t = rasterTarget();
    return t ? t->height() : 0;
}

void rasterMode(int mode)
{
    if (mode == RasterFilled || mode == RasterTransparentText || mode == RasterOutline)
        raster.mode = mode;
}

void rasterBox(int x, int y, int width, int height, ColourValue colour)
{
    QImage* t = rasterTarget();
    if (t == nullptr)
        return;
    // Wide arithmetic: x + width may leave the int range.
    long long x0 = x, x1 = static_cast<long long>(x) + width;
    long long y0 = y, y1 = static_cast<long long>(y) + height;
    if (x1 < x0)
        std::swap(x0, x1); // a negative width extends to the left
    if (y1 < y0)
        std::swap(y0, y1);
    const QRgb rgb = opaqueRgb(colour);
    if (raster.mode != RasterOutline) {
        fillPixels(*t, x0, y0, x1, y1, rgb);
        return;
    }
    if (x0 == x1 || y0 == y1)
        return;
    fillPixels(*t, x0, y0, x1, y0 + 1, rgb);         // top row
    fillPixels(*t, x0, y1 - 1, x1, y1, rgb);         // bottom row
    fillPixels(*t, x0, y0 + 1, x0 + 1, y1 - 1, rgb); // left column between them
    fillPixels(*t, x1 - 1, y0 + 1, x1, y1 - 1, rgb); // right column between them
}

void rasterText(int x, int y, const std::string& text, ColourValue colour)
{
    QImage* t = rasterTarget();
    if (t == nullptr || !toolkit.rasterFont || text.empty())
        return;
    const QString s = qtText(text);
    const QFont& font = *toolkit.rasterFont;
    const QFontMetrics metrics(font);
    QPainter p(t);
    if (raster.mode != RasterTransparentText) {
        // Opaque text paints its box in the default text background, white.
        p.fillRect(QRect(x, y, metrics.horizontalAdvance(s), metrics.height()), White);
    }
    p.setFont(font);
    p.setPen(QColor(opaqueRgb(colour)));
    p.drawText(QPoint(x, y + metrics.ascent()), s);
}

int rasterTextWidth(const std::string& text)
{
    if (!toolkit.rasterFont)
        return 0;
    return QFontMetrics(*toolkit.rasterFont).horizontalAdvance(qtText(text));
}

int rasterTextHeight(const std::string&)
{
    if (!toolkit.rasterFont)
        return 0;
    return QFontMetrics(*toolkit.rasterFont).height();
}

void rasterDrawImage(int slot, int x, int y)
{
    QImage* t = rasterTarget();
    const QImage* source = imageIn(slot);
    if (t == nullptr || source == nullptr)
        return;
    const QImage copy = (source == t) ? source->copy() : *source; // never read what is written
    QPainter p(t);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage(x, y, copy);
}
