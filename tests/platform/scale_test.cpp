// Checks the layout-unit and device-pixel conversions at a display scale of 1.5
// (run with QT_SCALE_FACTOR=1.5).
#include "toolkit_env.h"

#include "platform/canvas_widget.h"
#include "platform/drawing.h"
#include "platform/testing_access.h"
#include "platform/toolkit.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

#include <vector>

// Qt's own entry for window-system mouse input, as its test library uses it (layout units).
Q_GUI_EXPORT void qt_handleMouseEvent(QWindow* window, const QPointF& local, const QPointF& global,
                                      Qt::MouseButtons state, Qt::MouseButton button, QEvent::Type type,
                                      Qt::KeyboardModifiers mods, int timestamp);

namespace {

TEST(DisplayScale, ConversionsAtOneAndAHalf)
{
    ASSERT_DOUBLE_EQ(displayScale(), 1.5);
    struct Row {
        int layout;
        int device;
    };
    const std::vector<Row> toDevice = {{86, 129}, {0, 0}, {1, 2}, {3, 5}, {-86, -129}, {667, 1001}};
    for (const Row& r : toDevice)
        EXPECT_EQ(layoutToDevice(r.layout), r.device) << r.layout;
    const std::vector<Row> toLayout = {{667, 1000}, {86, 129}, {1, 1}, {1, 2}, {0, 0}, {-86, -129}};
    for (const Row& r : toLayout)
        EXPECT_EQ(deviceToLayout(r.device), r.layout) << r.device;
    EXPECT_EQ(layoutToDevice(UnsetPosition), UnsetPosition);
    EXPECT_EQ(deviceToLayout(UnsetPosition), UnsetPosition);
}

TEST(DisplayScale, ControlsInLayoutUnitsCanvasInDevicePixels)
{
    const int window = mainWindowForTest();
    EXPECT_EQ(clientWidth(window), 400);
    ASSERT_TRUE(createButton(1, 86, 10, 80, 24, "Fit"));
    QWidget* button = controlWidgetForTest(1);
    const QPoint inWindow = button->mapTo(windowWidgetForTest(window), QPoint(0, 0));
    EXPECT_EQ(inWindow.x(), 86) << "layout units";
    EXPECT_EQ(std::lround(inWindow.x() * button->devicePixelRatioF()), 129) << "device pixels";
    EXPECT_EQ(controlWidth(1), 80);

    ASSERT_TRUE(createCanvas(2, 0, 40, 200, 100, true));
    ASSERT_TRUE(beginCanvasRaster(2));
    EXPECT_EQ(rasterWidth(), 300);
    EXPECT_EQ(rasterHeight(), 150);
    endRaster();
    discardEvents();

    QWidget* canvas = controlWidgetForTest(2);
    for (QPointF at : {QPointF(10, 10), QPointF(10, 20)}) {
        QMouseEvent move(QEvent::MouseMove, at, canvas->mapTo(canvas->window(), at),
                         canvas->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(canvas, &move);
    }
    const std::vector<QueuedEvent> events = takeEvents();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].type, MouseEnter);
    EXPECT_EQ(events[0].x, 15);
    EXPECT_EQ(events[0].y, 15);
    EXPECT_EQ(events[1].type, MouseMove);
    EXPECT_EQ(events[1].y, 30);

    // The raster font grows with the scale, so text keeps its size on the screen.
    const int height = rasterTextHeight("Hg");
    EXPECT_GT(height, 15);
}

TEST(DisplayScale, PointerPositionsKeepTheDevicePixel)
{
    const int window = mainWindowForTest();
    ASSERT_TRUE(createCanvas(3, 0, 40, 200, 100, true));
    discardEvents();
    QWindow* top = windowWidgetForTest(window)->windowHandle();
    ASSERT_NE(top, nullptr);
    struct Row {
        int x, y; // device pixels in the canvas; odd ones fall between two layout units
    };
    int timestamp = 1000;
    for (const Row r : {Row{16, 31}, Row{17, 33}, Row{3, 1}}) {
        const QPointF at(r.x / 1.5, 40 + r.y / 1.5); // layout units in the window
        qt_handleMouseEvent(top, at, top->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                            QEvent::MouseMove, Qt::NoModifier, timestamp++);
        const std::vector<QueuedEvent> events = takeEvents();
        ASSERT_FALSE(events.empty());
        EXPECT_EQ(events.back().x, r.x);
        EXPECT_EQ(events.back().y, r.y);
    }
    destroyControl(3);
}

} // namespace
