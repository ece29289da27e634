// The drawing canvas: shows its backing picture and reports pointer, wheel, key and focus
// activity as canvas events in device pixels.
#include "platform/canvas_widget.h"

#include "platform/event_queue.h"
#include "platform/key_codes.h"
#include "platform/qt_helpers.h"
#include "platform/display_scale.h"
#include "platform/toolkit_state.h"
#include "platform/toolkit_types.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <cassert>
#include <climits>
#include <cmath>

namespace {

constexpr int WheelUnitsPerNotch = 120; // the system's rotation units per notch

int downTypeOf(Qt::MouseButton button)
{
    switch (button) {
    case Qt::LeftButton: return LeftButtonDown;
    case Qt::RightButton: return RightButtonDown;
    case Qt::MiddleButton: return MiddleButtonDown;
    default: return 0;
    }
}

int upTypeOf(Qt::MouseButton button)
{
    switch (button) {
    case Qt::LeftButton: return LeftButtonUp;
    case Qt::RightButton: return RightButtonUp;
    case Qt::MiddleButton: return MiddleButtonUp;
    default: return 0;
    }
}

} // namespace

CanvasWidget::CanvasWidget(int number, int window, bool takesFocus, QWidget* parent)
    : QWidget(parent), number(number), windowNumber(window)
{
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent); // the picture covers every pixel
    setFocusPolicy(takesFocus ? Qt::StrongFocus : Qt::NoFocus);
}

QImage* CanvasWidget::drawingPicture()
{
    return backing.isNull() ? nullptr : &backing;
}

void CanvasWidget::fitPicture(bool report)
{
    const int w = std::max(0, layoutToDevice(width()));
    const int h = std::max(0, layoutToDevice(height()));
    if (!backing.isNull() && backing.width() == w && backing.height() == h)
        return;
    if (backing.isNull() && (w == 0 || h == 0)) {
        if (report)
            queueCanvasEvent(CanvasResized, 0, 0);
        return;
    }
    QImage fresh; // stays null for a canvas larger than any image the layer makes
    if (w > 0 && h > 0 && static_cast<long long>(w) * h <= MaxImagePixels) {
        fresh = QImage(w, h, QImage::Format_RGB32);
        if (!fresh.isNull()) {
            fresh.fill(White);
            if (!backing.isNull()) {
                QPainter p(&fresh);
                p.setCompositionMode(QPainter::CompositionMode_Source);
                p.drawImage(0, 0, backing);
            }
        }
    }
    backing = fresh; // a null picture when the size is zero or memory ran out
    // The drawing code writes whole 32-bit pixels of exactly the canvas's device size.
    assert(backing.isNull() ||
           (backing.format() == QImage::Format_RGB32 && backing.width() == w && backing.height() == h));
    if (report)
        queueCanvasEvent(CanvasResized, 0, 0);
}

void CanvasWidget::paintEvent(QPaintEvent* event)
{
    QPainter p(this);
    const QRect asked = event->rect(); // layout units
    if (backing.isNull()) {
        p.fillRect(asked, Qt::white);
        return;
    }
    // One picture pixel per device pixel: the device pixels that cover the asked rectangle,
    // drawn at the picture's size in logical units.
    const double s = toolkit.scale;
    const QRect pixels = QRect(QPoint(static_cast<int>(std::floor(asked.left() * s)),
                                      static_cast<int>(std::floor(asked.top() * s))),
                               QPoint(static_cast<int>(std::ceil((asked.right() + 1) * s)) - 1,
                                      static_cast<int>(std::ceil((asked.bottom() + 1) * s)) - 1))
                             .intersected(backing.rect());
    if (backing.width() / s < width() || backing.height() / s < height())
        p.fillRect(asked, Qt::white); // a rounding sliver the picture does not cover
    if (pixels.isEmpty())
        return;
    assert(backing.rect().contains(pixels));
    const QRectF target(pixels.x() / s, pixels.y() / s, pixels.width() / s, pixels.height() / s);
    p.drawImage(target, backing, QRectF(pixels));
}

void CanvasWidget::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    fitPicture(true);
}

QueuedEvent CanvasWidget::canvasEvent(int type, int modifiers) const
{
    QueuedEvent e;
    e.kind = ControlEvent;
    e.number = number;
    e.window = windowNumber;
    e.type = type;
    e.x = pointerX;
    e.y = pointerY;
    e.modifiers = modifiers;
    return e;
}

void CanvasWidget::queueCanvasEvent(int type, int buttons, int modifiers)
{
    QueuedEvent e = canvasEvent(type, modifiers);
    e.buttons = buttons;
    queueEvent(e);
}

void CanvasWidget::notePointer(const QSinglePointEvent* event)
{
    // Qt rounds a widget event's own position to whole layout units, which at a display
    // scale of 1.5 is up to a pixel off. The window system's fraction survives in a mouse
    // event's window position and in a wheel event's global position.
    const QPointF at = event->type() == QEvent::Wheel
                           ? event->globalPosition() - mapToGlobal(QPointF(0, 0))
                           : event->scenePosition() - mapTo(window(), QPointF(0, 0));
    pointerX = logicalToDevice(at.x());
    pointerY = logicalToDevice(at.y());
}

void CanvasWidget::mouseMoveEvent(QMouseEvent* event)
{
    notePointer(event);
    const int buttons = layerButtons(event->buttons());
    const int modifiers = layerModifiers(event->modifiers());
    if (!pointerInside && !captured) {
        // The first movement inside only announces the pointer.
        pointerInside = true;
        leaveDeferred = false;
        queueCanvasEvent(MouseEnter, buttons, modifiers);
        return;
    }
    pointerInside = true;
    queueCanvasEvent(MouseMove, buttons, modifiers);
}

void CanvasWidget::pressButton(QMouseEvent* event, bool doubleClick)
{
    notePointer(event);
    const int type = downTypeOf(event->button());
    if (type == 0)
        return;
    const int buttons = layerButtons(event->buttons());
    const int modifiers = layerModifiers(event->modifiers());
    // Qt grabs the pointer for the pressed widget by itself; the flag mirrors that grab.
    if (buttons == layerButtons(event->button()))
        captured = true;
    pointerInside = true;
    queueCanvasEvent(type, buttons, modifiers);
    if (doubleClick && event->button() == Qt::LeftButton)
        queueCanvasEvent(LeftDoubleClick, buttons, modifiers);
    else if (doubleClick && event->button() == Qt::RightButton)
        queueCanvasEvent(RightDoubleClick, buttons, modifiers);
}

void CanvasWidget::mousePressEvent(QMouseEvent* event)
{
    pressButton(event, false);
}

void CanvasWidget::mouseDoubleClickEvent(QMouseEvent* event)
{
    pressButton(event, true);
}

void CanvasWidget::mouseReleaseEvent(QMouseEvent* event)
{
    notePointer(event);
    const int type = upTypeOf(event->button());
    if (type == 0)
        return;
    const int buttons = layerButtons(event->buttons());
    const int modifiers = layerModifiers(event->modifiers());
    queueCanvasEvent(type, buttons, modifiers);
    const bool wasCaptured = captured;
    if (buttons == 0)
        captured = false;
    const QPointF at = event->position();
    const bool inside = at.x() >= 0 && at.y() >= 0 && at.x() < width() && at.y() < height();
    if (wasCaptured && inside) {
        if (event->button() == Qt::LeftButton)
            queueCanvasEvent(LeftClick, buttons, modifiers);
        else if (event->button() == Qt::RightButton)
            queueCanvasEvent(RightClick, buttons, modifiers);
    }
    if (!captured && !inside && leaveDeferred) {
        leaveDeferred = false;
        pointerInside = false;
        queueCanvasEvent(MouseLeave, 0, modifiers);
    }
}

void CanvasWidget::forgetPointer()
{
    pointerInside = false;
    captured = false;
    leaveDeferred = false;
}

void CanvasWidget::leaveEvent(QEvent*)
{
    if (captured) {
        // Movements keep coming while a button holds the pointer; the leave counts on release.
        leaveDeferred = true;
        return;
    }
    if (!pointerInside)
        return;
    pointerInside = false;
    queueCanvasEvent(MouseLeave, 0, 0);
}

void CanvasWidget::wheelEvent(QWheelEvent* event)
{
    notePointer(event);
    // Wide arithmetic: a fabricated delta near INT_MAX must not overflow the sum.
    const long long sum = static_cast<long long>(toolkit.wheelSum) + event->angleDelta().y();
    const long long notches = sum / WheelUnitsPerNotch; // truncates toward zero
    toolkit.wheelSum = static_cast<int>(sum - notches * WheelUnitsPerNotch);
    event->accept();
    if (notches == 0)
        return;
    QueuedEvent e = canvasEvent(Wheel, layerModifiers(event->modifiers()));
    e.buttons = layerButtons(event->buttons());
    e.wheel = static_cast<int>(notches);
    queueEvent(e);
}

void CanvasWidget::keyPressEvent(QKeyEvent* event)
{
    QueuedEvent e = canvasEvent(KeyDown, layerModifiers(event->modifiers()));
    e.keyCode = layerKeyCode(event->key(), (event->modifiers() & Qt::KeypadModifier) != 0);
    queueEvent(e);
    const QList<uint> text = event->text().toUcs4();
    if (!text.isEmpty() && text.front() >= 32) { // control characters raise no input
        e.type = CharacterInput;
        e.character = static_cast<int>(text.front());
        queueEvent(e);
    }
    event->accept();
}

void CanvasWidget::keyReleaseEvent(QKeyEvent* event)
{
    QueuedEvent e = canvasEvent(KeyUp, layerModifiers(event->modifiers()));
    e.keyCode = layerKeyCode(event->key(), (event->modifiers() & Qt::KeypadModifier) != 0);
    queueEvent(e);
    event->accept();
}

void CanvasWidget::focusInEvent(QFocusEvent*)
{
    queueCanvasEvent(FocusGained, 0, 0);
}

void CanvasWidget::focusOutEvent(QFocusEvent*)
{
    queueCanvasEvent(FocusLost, 0, 0);
}

CanvasWidget* canvasControl(int number)
{
    const ControlEntry* c = controlOf(number);
    if (c == nullptr || c->kind != ControlKind::Canvas)
        return nullptr;
    return static_cast<CanvasWidget*>(c->widget);
}
