// The drawing canvas control: a device-pixel backing picture shown on screen, and the
// pointer, wheel, key and focus activity it turns into canvas events.
#pragma once

#include "platform/event_queue.h"

#include <QImage>
#include <QWidget>

class QSinglePointEvent;

class CanvasWidget final : public QWidget {
public:
    CanvasWidget(int number, int window, bool takesFocus, QWidget* parent);

    // The backing picture as last drawn; a null image while the canvas has none (a zero
    // size, or no memory for it).
    const QImage& picture() const { return backing; }

    // The backing picture to draw into, or nullptr while the canvas has none. Valid until
    // the next fitPicture; the drawing shows once the widget is repainted.
    QImage* drawingPicture();

    // Makes the picture match the widget's device size, keeping the old picture in the
    // top-left corner of a new white one; queues CanvasResized when `report` and it changed.
    void fitPicture(bool report);

    // After a popup that held the pointer: it counts as outside until it moves in again.
    void forgetPointer();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    const int number;       // control number carried by its events
    const int windowNumber; // window number carried by its events
    QImage backing;         // device pixels, RGB32, white where never drawn

    void queueCanvasEvent(int type, int buttons, int modifiers);
    // An event of this canvas at the last pointer position, ready to be completed and queued.
    QueuedEvent canvasEvent(int type, int modifiers) const;
    // Keeps the event's pointer position in device pixels of the canvas.
    void notePointer(const QSinglePointEvent* event);
    void pressButton(QMouseEvent* event, bool doubleClick);

    bool pointerInside = false; // a movement inside was seen since the last leave
    bool captured = false;      // a button press holds the pointer
    bool leaveDeferred = false; // the pointer left while captured; report it on release
    int pointerX = 0;           // last pointer position, device pixels
    int pointerY = 0;
};

// The canvas control with this number, or nullptr when it is no canvas.
CanvasWidget* canvasControl(int number);
