// Checks the canvas events: enter and move, capture outside, clicks, wheel notches, keys
// and the picture kept across a resize.
#include "toolkit_env.h"

#include "platform/canvas_widget.h"
#include "platform/drawing.h"
#include "platform/testing_access.h"
#include "platform/toolkit.h"
#include "platform/toolkit_state.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QWidget>

#include <vector>

namespace {

constexpr int CanvasNumber = 11;

QWidget* canvas()
{
    mainWindowForTest();
    if (controlWidgetForTest(CanvasNumber) == nullptr)
        createCanvas(CanvasNumber, 10, 20, 200, 100, true);
    discardEvents();
    return controlWidgetForTest(CanvasNumber);
}

void mouse(QWidget* w, QEvent::Type type, QPointF at, Qt::MouseButton button, Qt::MouseButtons held)
{
    QMouseEvent e(type, at, w->mapTo(w->window(), at), w->mapToGlobal(at), button, held,
                  Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

void move(QWidget* w, QPointF at, Qt::MouseButtons held = Qt::NoButton)
{
    mouse(w, QEvent::MouseMove, at, Qt::NoButton, held);
}

void leave(QWidget* w)
{
    QEvent e(QEvent::Leave);
    QApplication::sendEvent(w, &e);
}

void wheel(QWidget* w, int delta)
{
    QWheelEvent e(QPointF(5, 5), w->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, delta),
                  Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &e);
}

TEST(CanvasEvents, EnterWithoutMoveThenMoveThenLeave)
{
    QWidget* c = canvas();
    ASSERT_NE(c, nullptr);
    leave(c); // whatever earlier tests did, the pointer starts outside
    discardEvents();
    move(c, QPointF(5, 6));
    std::vector<QueuedEvent> events = takeEvents();
    ASSERT_EQ(controlTypes(events, CanvasNumber), std::vector<int>{MouseEnter});
    EXPECT_EQ(events[0].x, 5);
    EXPECT_EQ(events[0].y, 6);

    move(c, QPointF(7, 8));
    events = takeEvents();
    ASSERT_EQ(controlTypes(events, CanvasNumber), std::vector<int>{MouseMove});
    EXPECT_EQ(events[0].x, 7);
    EXPECT_EQ(events[0].y, 8);

    leave(c);
    move(c, QPointF(9, 9));
    EXPECT_EQ(controlTypes(takeEvents(), CanvasNumber), (std::vector<int>{MouseLeave, MouseEnter}));
}

TEST(CanvasEvents, CaptureKeepsMovesOutsideAndClickNeedsInsideRelease)
{
    QWidget* c = canvas();
    move(c, QPointF(50, 50));
    discardEvents();

    mouse(c, QEvent::MouseButtonPress, QPointF(50, 50), Qt::LeftButton, Qt::LeftButton);
    move(c, QPointF(-20, 150), Qt::LeftButton);
    move(c, QPointF(-25, 160), Qt::LeftButton); // collapses into the pending move
    std::vector<QueuedEvent> events = takeEvents();
    ASSERT_EQ(controlTypes(events, CanvasNumber), (std::vector<int>{LeftButtonDown, MouseMove}));
    EXPECT_EQ(events[1].x, -20) << "the pending move keeps its own data";
    EXPECT_EQ(events[1].y, 150);
    EXPECT_EQ(events[1].buttons, LeftButtonBit);

    leave(c); // the pointer left while the button holds it: no MouseLeave yet
    move(c, QPointF(260, -5), Qt::LeftButton);
    events = takeEvents();
    ASSERT_EQ(controlTypes(events, CanvasNumber), std::vector<int>{MouseMove});
    EXPECT_EQ(events[0].x, 260);
    EXPECT_EQ(events[0].y, -5);

    mouse(c, QEvent::MouseButtonRelease, QPointF(260, -5), Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(controlTypes(takeEvents(), CanvasNumber), (std::vector<int>{LeftButtonUp, MouseLeave}))
        << "no click for a release outside; the leave comes after the release";

    move(c, QPointF(30, 30));
    mouse(c, QEvent::MouseButtonPress, QPointF(30, 30), Qt::RightButton, Qt::RightButton);
    mouse(c, QEvent::MouseButtonRelease, QPointF(31, 30), Qt::RightButton, Qt::NoButton);
    mouse(c, QEvent::MouseButtonPress, QPointF(31, 30), Qt::LeftButton, Qt::LeftButton);
    mouse(c, QEvent::MouseButtonRelease, QPointF(31, 30), Qt::LeftButton, Qt::NoButton);
    mouse(c, QEvent::MouseButtonDblClick, QPointF(31, 30), Qt::LeftButton, Qt::LeftButton);
    mouse(c, QEvent::MouseButtonRelease, QPointF(31, 30), Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(controlTypes(takeEvents(), CanvasNumber),
              (std::vector<int>{MouseEnter, RightButtonDown, RightButtonUp, RightClick, LeftButtonDown,
                                LeftButtonUp, LeftClick, LeftButtonDown, LeftDoubleClick, LeftButtonUp,
                                LeftClick}));
}

TEST(CanvasEvents, WheelSumsToWholeNotchesWithTheRemaindersSign)
{
    QWidget* c = canvas();
    struct Row {
        const char* name;
        std::vector<int> deltas;
        std::vector<int> notches; // Wheel events raised, fetched after each delta
        int remainder;
    };
    const std::vector<Row> rows = {
        {"fine wheel 40 x 3", {40, 40, 40}, {1}, 0},
        {"minus 130", {-130}, {-1}, -10},
        {"three notches at once", {360}, {3}, 0},
        {"direction change", {100, -150, -90}, {-1}, -20},
        {"large with remainder", {250}, {2}, 10},
        {"sums beyond the int range do not overflow",
         {2147483600, 2147483600},
         {17895696, 17895697},
         40},
    };
    for (const Row& row : rows) {
        toolkit.wheelSum = 0;
        std::vector<int> seen;
        for (int d : row.deltas) {
            wheel(c, d);
            for (const QueuedEvent& e : takeEvents())
                if (e.kind == ControlEvent && e.number == CanvasNumber && e.type == Wheel)
                    seen.push_back(e.wheel);
        }
        EXPECT_EQ(seen, row.notches) << row.name;
        EXPECT_EQ(wheelRemainderForTest(), row.remainder) << row.name;
    }
}

TEST(CanvasEvents, KeysAndCharacters)
{
    QWidget* c = canvas();
    struct Row {
        const char* name;
        int key;
        Qt::KeyboardModifiers modifiers;
        QString text;
        int code;
        int character; // 0: no CharacterInput
    };
    const std::vector<Row> rows = {
        {"letter", Qt::Key_A, Qt::NoModifier, "a", 'A', 'a'},
        {"return is below 32", Qt::Key_Return, Qt::NoModifier, "\r", 0x0D, 0},
        {"keypad plus", Qt::Key_Plus, Qt::KeypadModifier, "+", KeyPadPlus, '+'},
    };
    for (const Row& row : rows) {
        QKeyEvent press(QEvent::KeyPress, row.key, row.modifiers, row.text);
        QKeyEvent release(QEvent::KeyRelease, row.key, row.modifiers, row.text);
        QApplication::sendEvent(c, &press);
        QApplication::sendEvent(c, &release);
        const std::vector<QueuedEvent> events = takeEvents();
        std::vector<int> expected = {KeyDown, KeyUp};
        if (row.character != 0)
            expected = {KeyDown, CharacterInput, KeyUp};
        ASSERT_EQ(controlTypes(events, CanvasNumber), expected) << row.name;
        EXPECT_EQ(events[0].keyCode, row.code) << row.name;
        if (row.character != 0) {
            EXPECT_EQ(events[1].character, row.character) << row.name;
        }
    }
}

TEST(CanvasEvents, ResizeKeepsThePictureInTheTopLeftCorner)
{
    canvas();
    ASSERT_TRUE(beginCanvasRaster(CanvasNumber));
    EXPECT_EQ(rasterWidth(), 200);
    EXPECT_EQ(rasterHeight(), 100);
    rasterBox(0, 0, 200, 100, makeRgb(10, 20, 30));
    endRaster();
    discardEvents();

    resizeControl(CanvasNumber, UnsetPosition, UnsetPosition, 300, 150);
    EXPECT_EQ(controlTypes(takeEvents(), CanvasNumber), std::vector<int>{CanvasResized});
    EXPECT_EQ(controlWidth(CanvasNumber), 300);
    EXPECT_EQ(controlWidgetForTest(CanvasNumber)->x(), 10) << "a keep marker keeps x";
    ASSERT_TRUE(beginCanvasRaster(CanvasNumber));
    EXPECT_EQ(rasterWidth(), 300);
    EXPECT_EQ(rasterHeight(), 150);
    endRaster();
    const QImage& picture = static_cast<CanvasWidget*>(controlWidgetForTest(CanvasNumber))->picture();
    EXPECT_EQ(picture.pixel(0, 0), qRgb(10, 20, 30));
    EXPECT_EQ(picture.pixel(199, 99), qRgb(10, 20, 30)) << "old picture kept in the corner";
    EXPECT_EQ(picture.pixel(200, 99), qRgb(255, 255, 255)) << "new area white";
    EXPECT_EQ(picture.pixel(199, 100), qRgb(255, 255, 255));
    EXPECT_EQ(picture.pixel(299, 149), qRgb(255, 255, 255));

    resizeControl(CanvasNumber, 10, 20, 200, 100); // back to the size the other tests use
    EXPECT_EQ(picture.width(), 200);
}

} // namespace
