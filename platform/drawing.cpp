// Paints into the canvas's backing picture and into numbered off-screen images: whole-pixel
// raster boxes and text, and anti-aliased vector paths, strokes, fills and text.
#include "platform/drawing.h"

#include "platform/canvas_widget.h"
#include "platform/toolkit.h"
#include "platform/toolkit_state.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPen>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace {

constexpr int ImageDotsPerMeter = 3780;          // 96 dots per inch: one point = 4/3 pixel
constexpr long long MaxImagePixels = 1LL << 28;  // 1 GiB of RGB32; larger requests fail
constexpr double MiterLimit = 10.0;              // in stroke widths: only very sharp corners are cut
constexpr double MinPatternStep = 0.25;          // pixels; finer dots merge into a line
constexpr long long MaxDotsPerStroke = 4000000;  // bounds the work of absurd dot requests
constexpr double MaxFontPixels = 2000.0;
const QRgb White = qRgb(255, 255, 255);

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
    QPainterPath scratch;    // fills and dots; clear() keeps its memory
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
        return (c != nullptr && !c->picture.isNull()) ? &c->picture : nullptr;
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

QPen strokePen(double width)
{
    QPen pen(vec.colour);
    pen.setWidthF(width);
    pen.setCapStyle(Qt::FlatCap);
    pen.setJoinStyle(Qt::MiterJoin);
    pen.setMiterLimit(MiterLimit);
    return pen;
}

// Strokes every figure with `pen` (one polyline call per figure, so that a dash pattern
// starts afresh at each figure's start) and empties the path.
void strokeFigures(const QPen& pen)
{
    if (vec.open && vec.painter) {
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

// Adds a square of side `side` centred on `c`, turned along the unit direction (ux, uy).
void addDot(QPainterPath& path, QPointF c, double ux, double uy, double side)
{
    const double h = side / 2;
    const QPointF along(ux * h, uy * h);
    const QPointF across(-uy * h, ux * h);
    path.moveTo(c - along - across);
    path.lineTo(c + along - across);
    path.lineTo(c + along + across);
    path.lineTo(c - along + across);
    path.closeSubpath();
}

// Moves the end point `end` away from its neighbour by `distance` along their segment.
void extendEnd(QPointF& end, QPointF neighbour, double distance)
{
    const double dx = end.x() - neighbour.x();
    const double dy = end.y() - neighbour.y();
    const double length = std::hypot(dx, dy);
    if (length > 0)
        end += QPointF(dx / length * distance, dy / length * distance);
}

// Collects the dots of one figure: centres at 0, spacing, 2 x spacing ... along its length.
void collectDots(const Figure& f, double width, double spacing, long long& budget)
{
    const int segments = f.closed ? f.count : f.count - 1;
    double walked = 0;  // length of the segments before the current one
    double nextDot = 0; // distance of the next dot centre from the figure's start
    for (int i = 0; i < segments && budget > 0; ++i) {
        const QPointF a = vec.points[static_cast<size_t>(f.first + i)];
        const QPointF b = vec.points[static_cast<size_t>(f.first + (i + 1) % f.count)];
        const double dx = b.x() - a.x();
        const double dy = b.y() - a.y();
        const double length = std::hypot(dx, dy);
        if (!(length > 0))
            continue;
        const double ux = dx / length;
        const double uy = dy / length;
        while (nextDot <= walked + length && budget > 0) {
            const double t = nextDot - walked;
            addDot(vec.scratch, QPointF(a.x() + ux * t, a.y() + uy * t), ux, uy, width);
            nextDot += spacing;
            --budget;
        }
        walked += length;
    }
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
    closeVector();
    raster = RasterState{};
    vec.painter.reset();
    vec.font.reset();
    vec.scratch = QPainterPath();
    images.clear();
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
        return nullptr; // a painter may still hold pixels the caller would overwrite
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
    if (c == nullptr || c->picture.isNull())
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
    if (!vec.open || !isFiniteValue(x) || !isFiniteValue(y) || !isFiniteValue(width) || !isFiniteValue(height))
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
    strokeFigures(strokePen(width));
}

void strokeDashed(double width, double dashLength)
{
    if (!(width > 0) || !isFiniteValue(width)) {
        resetPath();
        return;
    }
    QPen pen = strokePen(width);
    if (dashLength > 0 && isFiniteValue(dashLength)) {
        // Qt's pattern counts in pen widths; dash and gap are equally long.
        const double unit = dashLength / width;
        if (isFiniteValue(unit) && unit > 0)
            pen.setDashPattern({unit, unit});
    }
    strokeFigures(pen);
}

void strokeDotted(double width, double spacing)
{
    if (!(width > 0) || !isFiniteValue(width)) {
        resetPath();
        return;
    }
    if (!(spacing > width) || !isFiniteValue(spacing) || spacing < MinPatternStep) {
        // Dots this close touch one another: the result is a continuous line.
        strokeFigures(strokePen(width));
        return;
    }
    if (vec.open && vec.painter) {
        // Open figures (every grid line) go through a patterned pen, which the rasterizer
        // draws in one sweep: a path of separate squares costs fifty times more on a
        // full-canvas grid. Each end is pushed out by half a dot so that the first dot is
        // centred on the start, as the squares are.
        QPen pen = strokePen(width);
        pen.setDashPattern({1.0, spacing / width - 1.0});
        QPainter& p = *vec.painter;
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        vec.scratch.clear();
        vec.scratch.setFillRule(Qt::WindingFill); // overlapping dots are painted once
        long long budget = MaxDotsPerStroke;
        for (const Figure& f : vec.figures) {
            if (f.count < 2)
                continue;
            if (f.closed) {
                collectDots(f, width, spacing, budget);
                continue;
            }
            QPointF* pts = vec.points.data() + f.first;
            extendEnd(pts[0], pts[1], width / 2);
            extendEnd(pts[f.count - 1], pts[f.count - 2], width / 2);
            p.drawPolyline(pts, f.count);
        }
        if (!vec.scratch.isEmpty())
            vec.painter->fillPath(vec.scratch, vec.colour);
        vec.scratch.clear();
    }
    resetPath();
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
