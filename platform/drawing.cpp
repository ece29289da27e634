// Paints into the canvas's backing picture and into numbered off-screen images: whole-pixel
// raster boxes and text, and anti-aliased vector paths, strokes, fills and text.
#include "platform/drawing.h"

#include "platform/canvas_widget.h"
#include "platform/pixel_coverage.h"
#include "platform/qt_helpers.h"
#include "platform/toolkit.h"
#include "platform/toolkit_state.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QPen>

#include <algorithm>
#include <cassert>
#include <cmath>
#include <map>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

namespace {

constexpr int ImageDotsPerMeter = 3780; // 96 dots per inch: one point = 4/3 pixel
constexpr double MiterLimit = 10.0;     // in stroke widths: only very sharp corners are cut
constexpr double MinPatternStep = 0.25; // pixels; finer dots merge into a line
constexpr double MaxFontPixels = 2000.0;

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
};

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

// Closes whatever context draws into image `slot`, before that image changes or goes.
void releaseSlot(int slot)
{
    if (vec.open && vec.slot == slot)
        closeVector();
    if (raster.open && raster.canvas < 0 && raster.slot == slot)
        raster = RasterState{};
}

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

QFont defaultVectorFont()
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

// Path coordinates are kept in single precision.
QPointF pathPoint(double x, double y)
{
    return QPointF(static_cast<float>(x), static_cast<float>(y));
}

bool isFiniteValue(double v)
{
    return std::isfinite(v);
}

void resetPath()
{
    vec.points.clear();
    vec.figures.clear();
    vec.figureOpen = false;
    vec.cursor = QPointF(0, 0);
}

void startFigure(QPointF at)
{
    vec.figures.push_back(Figure{static_cast<int>(vec.points.size()), 1, false});
    vec.points.push_back(at);
    vec.figureOpen = true;
}

// Flat line ends and mitred corners of the given width.
void setUpStroker(QPainterPathStroker& stroker, double width)
{
    stroker.setWidth(width);
    stroker.setCapStyle(Qt::FlatCap);
    stroker.setJoinStyle(Qt::MiterJoin);
    stroker.setMiterLimit(MiterLimit);
}

// Strokes every figure, one polyline call each, with an opaque solid pen, and empties the
// path.
void strokeOpaqueFigures(double width)
{
    if (vec.open && vec.painter) {
        QPen pen(vec.colour);
        pen.setWidthF(width);
        pen.setCapStyle(Qt::FlatCap);
        pen.setJoinStyle(Qt::MiterJoin);
        pen.setMiterLimit(MiterLimit);
        QPainter& p = *vec.painter;
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        for (const Figure& f : vec.figures) {
            if (f.count < 2)
                continue;
            const QPointF* first = vec.points.data() + f.first;
            if (f.closed)
                p.drawPolygon(first, f.count);
            else
                p.drawPolyline(first, f.count);
        }
    }
    resetPath();
}

// The point `distance` beyond `end`, away from its neighbour along their segment.
QPointF extended(QPointF end, QPointF neighbour, double distance)
{
    const double dx = end.x() - neighbour.x();
    const double dy = end.y() - neighbour.y();
    const double length = std::hypot(dx, dy);
    if (!(length > 0))
        return end;
    return end + QPointF(dx / length * distance, dy / length * distance);
}

// Fills the outline of every figure of the path, as `stroker` draws it, in one blend and
// empties the path. Where figures (or the segments of one figure) overlap, the colour is
// applied once, as for any single fill; the stroker starts a dash pattern afresh at each
// figure's start. The outline's edges are anti-aliased where they fall, so a line of
// width 1 is never snapped to whole pixels. With `endExtension` > 0 (dots) every figure
// is drawn open, a closed one back to its start, with both ends pushed out by that much.
void fillStrokeOutline(const QPainterPathStroker& stroker, double endExtension = 0)
{
    if (vec.open && vec.painter) {
        QPainterPath& figures = vec.scratch;
        figures.clear();
        for (const Figure& f : vec.figures) {
            if (f.count < 2)
                continue;
            const QPointF* pts = vec.points.data() + f.first;
            const int last = f.count - 1;
            if (endExtension > 0) {
                const QPointF end = f.closed ? pts[0] : pts[last];
                const QPointF beforeEnd = f.closed ? pts[last] : pts[last - 1];
                figures.moveTo(extended(pts[0], pts[1], endExtension));
                for (int i = 1; i < last; ++i)
                    figures.lineTo(pts[i]);
                if (f.closed)
                    figures.lineTo(pts[last]);
                figures.lineTo(extended(end, beforeEnd, endExtension));
                continue;
            }
            figures.moveTo(pts[0]);
            for (int i = 1; i <= last; ++i)
                figures.lineTo(pts[i]);
            if (f.closed)
                figures.closeSubpath();
        }
        if (!figures.isEmpty()) {
            QPainterPath outline = stroker.createStroke(figures);
            outline.setFillRule(Qt::WindingFill); // overlapping parts are covered once
            vec.painter->fillPath(outline, vec.colour);
        }
        figures.clear();
    }
    resetPath();
}

// ---- thin patterned strokes: dashes of axis-parallel figures, blended once ----

// Coverage (0 to 255) of the stroke being drawn, one byte per pixel of the target image;
// kept from stroke to stroke so that a grid allocates nothing.
std::vector<std::uint8_t> strokeMask;
QRect strokeMaskUsed; // the pixels of the mask that may be non-zero

// A dash pattern along a figure: "on" stretches of `on` pixels every `period` pixels, the
// first starting `start` pixels from the figure's start (negative: before it).
struct DashPattern {
    double on = 0;
    double period = 0;
    double start = 0;
};

bool axisParallel(const Figure& f)
{
    const int segments = f.closed ? f.count : f.count - 1;
    for (int i = 0; i < segments; ++i) {
        const QPointF a = vec.points[static_cast<size_t>(f.first + i)];
        const QPointF b = vec.points[static_cast<size_t>(f.first + (i + 1) % f.count)];
        if (a.x() != b.x() && a.y() != b.y())
            return false;
    }
    return true;
}

// Raises the mask to the coverage of the rectangle [left, right) x [top, bottom) where it
// is lower: overlapping dashes of one stroke are covered once, not twice.
void coverRect(const QImage& image, double left, double top, double right, double bottom)
{
    const int w = image.width();
    const int h = image.height();
    left = std::max(left, 0.0);
    top = std::max(top, 0.0);
    right = std::min(right, static_cast<double>(w));
    bottom = std::min(bottom, static_cast<double>(h));
    if (!(left < right) || !(top < bottom))
        return;
    // A pixel's coverage is the product of the rectangle's shares of its column and its row.
    const PixelSpan across = pixelSpanOf(left, right);
    const PixelSpan down = pixelSpanOf(top, bottom);
    strokeMaskUsed |=
        QRect(across.first, down.first, across.last - across.first + 1, down.last - down.first + 1);
    for (int j = down.first; j <= down.last; ++j) {
        const double cy = shareOfPixel(down, j);
        std::uint8_t* row = strokeMask.data() + static_cast<size_t>(j) * static_cast<size_t>(w);
        for (int i = across.first; i <= across.last; ++i) {
            const auto c = static_cast<std::uint8_t>(coverageOfShare(shareOfPixel(across, i) * cy));
            row[i] = std::max(row[i], c);
        }
    }
}

// Adds the dashes of one axis-parallel figure of width `width` to the mask; with
// `endExtension` its ends are pushed out by that much, a closed figure drawn back to its
// start. The pattern runs on across the figure's corners.
void coverDashes(const QImage& image, const Figure& f, double width, const DashPattern& dash,
                 double endExtension)
{
    const int segments = f.closed ? f.count : f.count - 1;
    const double half = width / 2;
    double walked = 0; // figure distance at the current segment's start
    for (int s = 0; s < segments; ++s) {
        const QPointF a = vec.points[static_cast<size_t>(f.first + s)];
        const QPointF b = vec.points[static_cast<size_t>(f.first + (s + 1) % f.count)];
        const double length = std::abs(b.x() - a.x()) + std::abs(b.y() - a.y()); // one is 0
        if (!(length > 0))
            continue;
        const double ux = (b.x() - a.x()) / length, uy = (b.y() - a.y()) / length;
        // The stretch of figure distance this segment draws, ends pushed out at the figure's ends.
        const double from = walked - (s == 0 ? endExtension : 0);
        const double to = walked + length + (s == segments - 1 ? endExtension : 0);
        // Only the part of the segment over the image is walked.
        const double along0 = ux != 0 ? a.x() : a.y();
        const double u = ux != 0 ? ux : uy;
        const double limit = ux != 0 ? image.width() : image.height();
        const double inA = walked + (u > 0 ? (-half - along0) : (along0 - limit - half));
        const double inB = walked + (u > 0 ? (limit + half - along0) : (along0 + half));
        const double lo = std::max(from, inA), hi = std::min(to, inB);
        if (lo < hi) {
            // The count bounds the walk even where huge distances leave no room for the
            // fraction (a far first segment): the pattern then merely loses its phase.
            const double first = std::floor((lo - dash.start - dash.on) / dash.period);
            const double count = std::ceil((hi - lo) / dash.period) + 2;
            for (double n = 0; n < count; n += 1) {
                const double dashStart = dash.start + (first + n) * dash.period;
                if (dashStart >= hi)
                    break;
                const double on0 = std::max(dashStart, lo);
                const double on1 = std::min(dashStart + dash.on, hi);
                if (!(on0 < on1))
                    continue;
                const QPointF p0(a.x() + ux * (on0 - walked), a.y() + uy * (on0 - walked));
                const QPointF p1(a.x() + ux * (on1 - walked), a.y() + uy * (on1 - walked));
                coverRect(image, std::min(p0.x(), p1.x()) - (ux == 0 ? half : 0),
                          std::min(p0.y(), p1.y()) - (uy == 0 ? half : 0),
                          std::max(p0.x(), p1.x()) + (ux == 0 ? half : 0),
                          std::max(p0.y(), p1.y()) + (uy == 0 ? half : 0));
            }
        }
        walked += length;
    }
}

// Blends the paint colour over the image through the mask, source over, and clears it: a
// pixel gets the mask's coverage scaled by the colour's alpha, blended as a hairline is.
void blendMask(QImage& image)
{
    const unsigned alpha = static_cast<unsigned>(vec.colour.alpha());
    const std::uint32_t src = qRgb(vec.colour.red(), vec.colour.green(), vec.colour.blue());
    const int w = image.width();
    const QRect used = strokeMaskUsed & image.rect();
    strokeMaskUsed = QRect();
    for (int j = used.top(); j <= used.bottom(); ++j) {
        std::uint8_t* cover = strokeMask.data() + static_cast<size_t>(j) * static_cast<size_t>(w);
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(j));
        for (int i = used.left(); i <= used.right(); ++i) {
            // Most of a grid's pixels have nothing to blend: skip them eight at a time.
            std::uint64_t eight = 0;
            while (i + 8 <= used.right() + 1 && (std::memcpy(&eight, cover + i, 8), eight == 0))
                i += 8;
            if (i > used.right() || cover[i] == 0)
                continue;
            row[i] = blendCoverage(row[i], src, divide255(alpha * cover[i]));
            cover[i] = 0;
        }
    }
}

// Draws a patterned stroke of axis-parallel figures through the coverage mask, which costs
// a small part of a general outline on a full-canvas grid. false (nothing drawn) when a
// figure is slanted or the target is not a plain RGB image.
bool strokeAxisPattern(double width, const DashPattern& dash, double endExtension)
{
    QImage* image = vectorTarget();
    if (image == nullptr || image->format() != QImage::Format_RGB32 || !(dash.period > 0))
        return false;
    for (const Figure& f : vec.figures)
        if (f.count >= 2 && !axisParallel(f))
            return false;
    const size_t pixels = static_cast<size_t>(image->width()) * static_cast<size_t>(image->height());
    if (strokeMask.size() != pixels) {
        strokeMask.assign(pixels, 0);
        strokeMaskUsed = QRect();
    }
    for (const Figure& f : vec.figures)
        if (f.count >= 2)
            coverDashes(*image, f, width, dash, endExtension);
    blendMask(*image);
    resetPath();
    return true;
}

} // namespace

// ---- shared with the other files of the layer ----

void releaseCanvasDrawing(int control)
{
    if (raster.open && raster.canvas == control)
        raster = RasterState{};
}

void releaseDrawingState()
{
    closeVector(); // ends the painter before the record lets it go
    raster = RasterState{};
    vec = VectorState{};
    std::vector<std::uint8_t>().swap(strokeMask);
    images = {};
}

// ---- images ----

bool newImage(int slot, int width, int height, int depth, ColourValue fill)
{
    releaseSlot(slot);
    images.erase(slot);
    if (width < 1 || height < 1 || (depth != 24 && depth != 32))
        return false;
    if (static_cast<long long>(width) * height > MaxImagePixels)
        return false;
    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull())
        return false;
    assert(image.width() == width && image.height() == height && image.depth() == 32);
    image.setDotsPerMeterX(ImageDotsPerMeter);
    image.setDotsPerMeterY(ImageDotsPerMeter);
    image.fill(opaqueRgb(fill));
    images.emplace(slot, std::move(image));
    return true;
}

void deleteImage(int slot)
{
    releaseSlot(slot);
    images.erase(slot);
}

bool imageExists(int slot)
{
    return imageIn(slot) != nullptr;
}

void imageSize(int slot, int& width, int& height)
{
    const QImage* image = imageIn(slot);
    width = image ? image->width() : 0;
    height = image ? image->height() : 0;
}

bool saveImagePng(int slot, const std::string& path)
{
    const QImage* image = imageIn(slot);
    return image != nullptr && image->save(qtText(path), "PNG");
}

ColourValue imagePixel(int slot, int x, int y)
{
    const QImage* image = imageIn(slot);
    if (image == nullptr || x < 0 || y < 0 || x >= image->width() || y >= image->height())
        return 0;
    const QRgb p = image->pixel(x, y);
    return makeRgba(static_cast<unsigned>(qRed(p)), static_cast<unsigned>(qGreen(p)),
                    static_cast<unsigned>(qBlue(p)), 255);
}

std::uint32_t* imagePixelRows(int slot, int& width, int& height, int& bytesPerLine)
{
    width = height = bytesPerLine = 0;
    QImage* image = imageIn(slot);
    if (image == nullptr || anyContextOpen() || image->format() != QImage::Format_RGB32)
        return nullptr;          // a painter may still hold pixels the caller would overwrite
    uchar* bits = image->bits(); // detaches a shared copy, so only this image changes
    if (bits == nullptr)
        return nullptr;
    width = image->width();
    height = image->height();
    bytesPerLine = static_cast<int>(image->bytesPerLine());
    return reinterpret_cast<std::uint32_t*>(bits);
}

// ---- raster drawing ----

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

// ---- vector drawing ----

bool beginVector(int slot)
{
    QImage* image = imageIn(slot);
    if (anyContextOpen() || image == nullptr || !toolkit.valid)
        return false;
    if (!vec.painter)
        vec.painter = std::make_unique<QPainter>();
    if (!vec.painter->begin(image))
        return false;
    vec.open = true;
    vec.slot = slot;
    QPainter& p = *vec.painter;
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    vec.colour = QColor(0, 0, 0, 255);
    vec.font = defaultVectorFont();
    p.setFont(*vec.font);
    resetPath();
    return true;
}

void endVector()
{
    closeVector();
}

void setPaintColour(ColourValue colour)
{
    vec.colour = QColor(static_cast<int>(redOf(colour)), static_cast<int>(greenOf(colour)),
                        static_cast<int>(blueOf(colour)), static_cast<int>(alphaOf(colour)));
}

void paintAll()
{
    QImage* t = vectorTarget();
    if (t == nullptr)
        return;
    vec.painter->fillRect(t->rect(), vec.colour); // source-over, like any fill
}

void pathMoveTo(double x, double y)
{
    if (!vec.open || !isFiniteValue(x) || !isFiniteValue(y))
        return; // a NaN or infinite point would reach the rasterizer's integer conversion
    const QPointF at = pathPoint(x, y);
    if (vec.figureOpen && vec.figures.back().count == 1)
        vec.points.back() = at; // a figure of one point draws nothing: move it instead
    else
        startFigure(at);
    vec.cursor = at;
}

void pathLineTo(double x, double y)
{
    if (!vec.open || !isFiniteValue(x) || !isFiniteValue(y))
        return;
    if (!vec.figureOpen)
        startFigure(vec.cursor);
    const QPointF at = pathPoint(x, y);
    vec.points.push_back(at);
    ++vec.figures.back().count;
    vec.cursor = at;
}

void pathAddBox(double x, double y, double width, double height)
{
    if (!vec.open || !isFiniteValue(x) || !isFiniteValue(y) || !isFiniteValue(width) ||
        !isFiniteValue(height))
        return;
    const int first = static_cast<int>(vec.points.size());
    vec.points.push_back(pathPoint(x, y));
    vec.points.push_back(pathPoint(x + width, y));
    vec.points.push_back(pathPoint(x + width, y + height));
    vec.points.push_back(pathPoint(x, y + height));
    vec.figures.push_back(Figure{first, 4, true});
    vec.figureOpen = false;
    vec.cursor = pathPoint(x, y);
}

void strokeSolid(double width)
{
    if (!(width > 0) || !isFiniteValue(width)) {
        resetPath();
        return;
    }
    if (vec.colour.alpha() == 255) {
        // Opaque ink covers alike however often it is laid down, so the toolpath's long
        // batches keep Qt's direct line drawing, many times faster than an outline.
        strokeOpaqueFigures(width);
        return;
    }
    QPainterPathStroker stroker;
    setUpStroker(stroker, width);
    fillStrokeOutline(stroker);
}

void strokeDashed(double width, double dashLength)
{
    if (!(width > 0) || !isFiniteValue(width)) {
        resetPath();
        return;
    }
    QPainterPathStroker stroker;
    setUpStroker(stroker, width);
    if (dashLength > 0 && isFiniteValue(dashLength)) {
        if (dashLength >= MinPatternStep &&
            strokeAxisPattern(width, {dashLength, 2 * dashLength, 0}, 0))
            return;
        // The pattern counts in stroke widths; dash and gap are equally long.
        const double unit = dashLength / width;
        if (isFiniteValue(unit) && unit > 0)
            stroker.setDashPattern(QList<qreal>{unit, unit});
    }
    fillStrokeOutline(stroker);
}

void strokeDotted(double width, double spacing)
{
    if (!(width > 0) || !isFiniteValue(width)) {
        resetPath();
        return;
    }
    QPainterPathStroker stroker;
    setUpStroker(stroker, width);
    if (!(spacing > width) || !isFiniteValue(spacing) || spacing < MinPatternStep) {
        // Dots this close touch one another: the result is a continuous line.
        fillStrokeOutline(stroker);
        return;
    }
    // Square dots are dashes as long as the width; each figure's ends are pushed out by
    // half a dot so that the first dot is centred on its start.
    if (strokeAxisPattern(width, {width, spacing, -width / 2}, width / 2))
        return;
    stroker.setDashPattern(QList<qreal>{1.0, spacing / width - 1.0});
    fillStrokeOutline(stroker, width / 2);
}

void fillCurrentPath()
{
    if (vec.open && vec.painter) {
        QPainterPath& path = vec.scratch;
        path.clear();
        path.setFillRule(Qt::OddEvenFill);
        for (const Figure& f : vec.figures) {
            const QPointF* pts = vec.points.data() + f.first;
            path.moveTo(pts[0]);
            for (int i = 1; i < f.count; ++i)
                path.lineTo(pts[i]);
            path.closeSubpath();
        }
        vec.painter->fillPath(path, vec.colour);
        path.clear();
    }
    resetPath();
}

void setTextFont(int fontSlot, double pixelSize)
{
    if (!toolkit.valid || !(pixelSize > 0) || !isFiniteValue(pixelSize))
        return;
    const auto it = toolkit.fonts.find(fontSlot);
    QFont font = it != toolkit.fonts.end() ? it->second : defaultVectorFont();
    // Point size on the target's own resolution, so fractional pixel sizes are kept.
    const QImage* t = vectorTarget();
    const int dpi = (t != nullptr && t->logicalDpiY() > 0) ? t->logicalDpiY() : 96;
    font.setPointSizeF(std::min(pixelSize, MaxFontPixels) * 72.0 / dpi);
    font.setHintingPreference(QFont::PreferNoHinting);
    vec.font = font;
    if (vec.open)
        vec.painter->setFont(font);
}

namespace {
QFontMetricsF vectorMetrics()
{
    const QFont font = vec.font ? *vec.font : defaultVectorFont();
    if (QImage* t = vectorTarget())
        return QFontMetricsF(font, t);
    return QFontMetricsF(font);
}
} // namespace

void drawTextAtCursor(const std::string& text)
{
    if (!vec.open || text.empty())
        return;
    const QString s = qtText(text);
    const QFontMetricsF metrics = vectorMetrics();
    QPainter& p = *vec.painter;
    p.setPen(QPen(vec.colour));
    // The layout box's top-left is the cursor; the baseline lies one ascent below.
    p.drawText(QPointF(vec.cursor.x(), vec.cursor.y() + metrics.ascent()), s);
    vec.cursor.rx() += metrics.horizontalAdvance(s);
    vec.figureOpen = false; // the next segment starts a figure at the new cursor
}

double measureTextWidth(const std::string& text)
{
    if (!toolkit.valid || text.empty())
        return 0;
    return vectorMetrics().horizontalAdvance(qtText(text));
}

double measureTextHeight(const std::string& text)
{
    if (!toolkit.valid)
        return 0;
    (void)text; // one line: the height does not depend on the characters
    return vectorMetrics().height();
}
