// Anti-aliased drawing on images: paths, strokes, fills and text.
#include "platform/vector_drawing.h"

#include "platform/dash_mask.h"
#include "platform/drawing_state.h"
#include "platform/qt_helpers.h"
#include "platform/toolkit_state.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPainterPathStroker>
#include <QPen>

#include <algorithm>
#include <cmath>

namespace {

constexpr double MiterLimit = 10.0;     // in stroke widths: only very sharp corners are cut
constexpr double MinPatternStep = 0.25; // pixels; finer dots merge into a line
constexpr double MaxFontPixels = 2000.0;

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

} // namespace

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
