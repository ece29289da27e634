// Checks the main window's events, size limits, controls, tab order, shortcuts, timers,
// file drops and that the poll loop empties.
#include "toolkit_env.h"

#include "platform/testing_access.h"
#include "platform/toolkit.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>
#include <QWidget>

#include <string>
#include <vector>

namespace {

QWidget* window()
{
    return windowWidgetForTest(mainWindowForTest());
}

// The kinds of the close, size and window-state events, in order.
std::vector<int> kinds(const std::vector<QueuedEvent>& events)
{
    std::vector<int> out;
    for (const QueuedEvent& e : events)
        if (e.kind == CloseEvent || e.kind == SizeEvent || e.kind == MaximizeEvent ||
            e.kind == MinimizeEvent || e.kind == RestoreEvent)
            out.push_back(e.kind);
    return out;
}

TEST(MainWindow, CloseRequestOnlyQueuesAnEvent)
{
    QWidget* w = window();
    ASSERT_NE(w, nullptr);
    EXPECT_FALSE(w->close());
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(kinds(takeEvents()), std::vector<int>{CloseEvent});
}

TEST(MainWindow, SizeEventsCollapseAndFollowMaximize)
{
    QWidget* w = window();
    const int number = mainWindowForTest();
    w->resize(410, 310);
    w->resize(420, 320);
    w->resize(430, 330);
    std::vector<QueuedEvent> events = takeEvents();
    ASSERT_EQ(kinds(events), std::vector<int>{SizeEvent});
    EXPECT_EQ(clientWidth(number), 430);
    EXPECT_EQ(clientHeight(number), 330);

    w->showMaximized();
    EXPECT_EQ(windowState(number), Maximized);
    events = takeEvents();
    EXPECT_EQ(kinds(events), (std::vector<int>{MaximizeEvent, SizeEvent}));

    w->showMinimized();
    EXPECT_EQ(kinds(takeEvents()), std::vector<int>{MinimizeEvent}) << "no size event on minimize";

    w->showNormal();
    EXPECT_EQ(windowState(number), Normal);
    EXPECT_EQ(kinds(takeEvents()), (std::vector<int>{RestoreEvent, SizeEvent}));
    w->resize(400, 300);
    w->activateWindow();
    QApplication::setActiveWindow(w);
    discardEvents();
}

TEST(MainWindow, ClientSizeLimits)
{
    const int number = mainWindowForTest();
    QWidget* w = window();
    w->resize(400, 300);
    setClientSizeLimits(number, 500, 350, 40000, 50000);
    EXPECT_EQ(clientWidth(number), 500) << "a smaller window grows at once";
    EXPECT_EQ(clientHeight(number), 350);
    EXPECT_EQ(w->maximumWidth(), 32000);
    EXPECT_EQ(w->maximumHeight(), 32000);
    setClientSizeLimits(number, UnsetPosition, 100, UnsetPosition, 900);
    EXPECT_EQ(w->minimumWidth(), 500) << "a keep marker keeps the limit";
    EXPECT_EQ(w->minimumHeight(), 100);
    EXPECT_EQ(w->maximumWidth(), 32000);
    EXPECT_EQ(w->maximumHeight(), 900);
    setClientSizeLimits(number, 0, 0, 32000, 32000);
    w->resize(400, 300);
    discardEvents();
}

TEST(Controls, ClicksTextsAndStates)
{
    mainWindowForTest();
    ASSERT_TRUE(createButton(1, 10, 10, 80, 24, "Open"));
    ASSERT_TRUE(createCheckBox(2, 100, 10, 80, 24, "Bed"));
    ASSERT_TRUE(createTextLine(3, 10, 40, 200, 20, "Save & <b>exit</b>"));
    discardEvents();

    static_cast<QPushButton*>(controlWidgetForTest(1))->click();
    int stateAtEvent = -1;
    static_cast<QCheckBox*>(controlWidgetForTest(2))->click();
    std::vector<QueuedEvent> events = takeEvents();
    for (const QueuedEvent& e : events)
        if (e.number == 2)
            stateAtEvent = checkState(2);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].kind, ControlEvent);
    EXPECT_EQ(events[0].number, 1);
    EXPECT_EQ(events[0].type, ButtonClicked);
    EXPECT_EQ(events[1].number, 2);
    EXPECT_EQ(stateAtEvent, 1) << "the check box toggles before its event";

    setCheckState(2, 5);
    EXPECT_EQ(checkState(2), 1);
    setCheckState(2, 0);
    EXPECT_EQ(checkState(2), 0);
    EXPECT_TRUE(takeEvents().empty()) << "setting the state is no click";

    auto* label = static_cast<QLabel*>(controlWidgetForTest(3));
    EXPECT_EQ(label->textFormat(), Qt::PlainText);
    EXPECT_EQ(label->focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(controlText(3), "Save & <b>exit</b>");
    setControlText(3, "12 \xC3\x97 7 mm");
    EXPECT_EQ(controlText(3), "12 \xC3\x97 7 mm");
    EXPECT_EQ(controlWidth(3), 200);
    EXPECT_EQ(controlHeight(3), 20);

    EXPECT_EQ(checkState(4242), 0) << "unknown control";
    EXPECT_EQ(controlWidth(4242), 0);

    static_cast<QPushButton*>(controlWidgetForTest(1))->click();
    destroyControl(1);
    EXPECT_EQ(controlWidgetForTest(1), nullptr);
    EXPECT_TRUE(eventsOfKind(takeEvents(), ControlEvent).empty()) << "destroying purges its events";
    destroyControl(2);
    destroyControl(3);
}

TEST(Shortcuts, KeysAndModifiersAndActiveWindowOnly)
{
    const int number = mainWindowForTest();
    QWidget* w = window();
    w->activateWindow();
    QApplication::setActiveWindow(w);
    addShortcut(number, KeyPadPlus, 0, 1);
    addShortcut(number, KeyMainPlus, CtrlModifier, 2);
    addShortcut(number, KeyMainMinus, 0, 3);
    addShortcut(number, KeyPad0, CtrlModifier, 4);
    addShortcut(number, KeyMain0, CtrlModifier, 5);
    addShortcut(number, KeyMainMinus, 0, 6); // replaces command 3
    discardEvents();
    struct Row {
        const char* name;
        int key;
        Qt::KeyboardModifiers modifiers;
        int command; // 0: no shortcut
    };
    const std::vector<Row> rows = {
        {"keypad plus", Qt::Key_Plus, Qt::KeypadModifier, 1},
        {"ctrl and the = key", Qt::Key_Equal, Qt::ControlModifier, 2},
        {"ctrl and + of the main keyboard", Qt::Key_Plus, Qt::ControlModifier, 2},
        {"= without ctrl", Qt::Key_Equal, Qt::NoModifier, 0},
        {"main minus, replaced command", Qt::Key_Minus, Qt::NoModifier, 6},
        {"keypad minus is another key", Qt::Key_Minus, Qt::KeypadModifier, 0},
        {"ctrl keypad 0", Qt::Key_0, Qt::KeypadModifier | Qt::ControlModifier, 4},
        {"ctrl main 0", Qt::Key_0, Qt::ControlModifier, 5},
        {"shift changes the combination", Qt::Key_0, Qt::ControlModifier | Qt::ShiftModifier, 0},
    };
    for (const Row& row : rows) {
        QKeyEvent key(QEvent::KeyPress, row.key, row.modifiers);
        QApplication::sendEvent(w, &key);
        const std::vector<QueuedEvent> shortcuts = eventsOfKind(takeEvents(), ShortcutEvent);
        if (row.command == 0) {
            EXPECT_TRUE(shortcuts.empty()) << row.name;
            continue;
        }
        ASSERT_EQ(shortcuts.size(), 1u) << row.name;
        EXPECT_EQ(shortcuts[0].number, row.command) << row.name;
        EXPECT_EQ(shortcuts[0].window, number) << row.name;
    }

    QApplication::setActiveWindow(nullptr);
    QKeyEvent key(QEvent::KeyPress, Qt::Key_Plus, Qt::KeypadModifier);
    QApplication::sendEvent(w, &key);
    EXPECT_TRUE(eventsOfKind(takeEvents(), ShortcutEvent).empty()) << "inactive window";
    w->activateWindow();
    QApplication::setActiveWindow(w);
    discardEvents();
}

// Waits for events up to `ms` milliseconds, collecting them.
std::vector<QueuedEvent> eventsWithin(int ms)
{
    std::vector<QueuedEvent> seen;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        while (fetchEvent())
            seen.push_back(eventQueue.current);
    }
    return seen;
}

QueuedEvent timerExpiry(int number, int window)
{
    QueuedEvent e;
    e.kind = TimerEvent;
    e.number = number;
    e.window = window;
    return e;
}

TEST(Timers, RepeatRestartAndStopPurge)
{
    const int number = mainWindowForTest();
    discardEvents();
    startTimer(number, 7, 20);
    // Up to two seconds for the second tick: a loaded machine may hold the process back.
    std::vector<QueuedEvent> ticks;
    QElapsedTimer clock;
    clock.start();
    while (ticks.size() < 2 && clock.elapsed() < 2000) {
        for (const QueuedEvent& e : eventsOfKind(eventsWithin(20), TimerEvent))
            ticks.push_back(e);
    }
    EXPECT_GE(ticks.size(), 2u) << "a repeating timer";
    for (const QueuedEvent& t : ticks) {
        EXPECT_EQ(t.number, 7);
        EXPECT_EQ(t.window, number);
    }

    // An expiry waiting in the queue is dropped by a restart and by a stop.
    startTimer(number, 8, 100000);
    queueEvent(timerExpiry(8, number));
    startTimer(number, 8, 100000);
    EXPECT_TRUE(eventsOfKind(takeEvents(), TimerEvent).empty());
    queueEvent(timerExpiry(7, number));
    stopTimer(number, 7);
    stopTimer(number, 8);
    stopTimer(number, 99); // never started: no effect
    EXPECT_TRUE(eventsOfKind(eventsWithin(80), TimerEvent).empty());
}

QMimeData* fileList(const std::vector<std::string>& paths)
{
    auto* data = new QMimeData;
    QList<QUrl> urls;
    for (const std::string& p : paths)
        urls << (p.find("://") != std::string::npos ? QUrl(QString::fromStdString(p))
                                                    : QUrl::fromLocalFile(QString::fromStdString(p)));
    data->setUrls(urls);
    return data;
}

TEST(FileDrop, AcceptsLocalFilesWithCopyOnly)
{
    mainWindowForTest();
    ASSERT_TRUE(createCanvas(31, 200, 150, 100, 80, false));
    QWidget* target = controlWidgetForTest(31);
    discardEvents();

    struct Row {
        const char* name;
        QMimeData* data;
        Qt::DropActions actions;
        bool accepted;
    };
    QMimeData* text = new QMimeData;
    text->setText("/tmp/a.gc");
    const std::vector<Row> rows = {
        {"before enableFileDrop", fileList({"/tmp/a.gc"}), Qt::CopyAction, false},
        {"local files with copy", fileList({"/tmp/a.gc"}), Qt::CopyAction | Qt::MoveAction, true},
        {"move only", fileList({"/tmp/a.gc"}), Qt::MoveAction, false},
        {"plain text", text, Qt::CopyAction, false},
        {"web address", fileList({"https://example.org/a.gc"}), Qt::CopyAction, false},
    };
    for (const Row& row : rows) {
        if (row.name != rows[0].name)
            enableFileDrop(31);
        const QPoint at(10, 10);
        QDragEnterEvent enter(at, row.actions, row.data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        EXPECT_EQ(enter.isAccepted(), row.accepted) << row.name;
        if (row.accepted) {
            EXPECT_EQ(enter.dropAction(), Qt::CopyAction) << row.name;
        }
        delete row.data;
    }
    discardEvents();

    // The source's order is kept; names with blanks and quotes stay whole.
    QMimeData* three = fileList({"/tmp/b.gcode", "/tmp/My jobs/\"a\".gc", "/tmp/c.nc"});
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, three, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    EXPECT_TRUE(drop.isAccepted());
    ASSERT_EQ(pollEvent(), DropEvent);
    EXPECT_EQ(eventNumber(), 31);
    EXPECT_EQ(droppedFiles(), "/tmp/b.gcode\n/tmp/My jobs/\"a\".gc\n/tmp/c.nc");
    delete three;
    destroyControl(31);
}

TEST(EventLoop, PollDrainsWhileRepaintingAndWaitReturnsQueued)
{
    const int number = mainWindowForTest();
    ASSERT_TRUE(createCanvas(41, 0, 0, 120, 90, false));
    startTimer(number, 3, 150);
    startTimer(number, 4, 0); // a zero period must not keep the loop busy forever
    for (int round = 0; round < 5; ++round) {
        window()->update();
        controlWidgetForTest(41)->update();
        resizeControl(41, 0, 0, 120 + round, 90);
        int calls = 0;
        while (pollEvent() != 0 && calls < 100000)
            ++calls;
        EXPECT_LT(calls, 100000) << "the poll loop must come to rest";
        EXPECT_TRUE(eventQueue.pending.empty());
    }
    stopTimer(number, 3);
    stopTimer(number, 4);

    QueuedEvent close;
    close.kind = CloseEvent;
    close.number = number;
    close.window = number;
    queueEvent(close);
    EXPECT_EQ(waitEvent(), CloseEvent) << "a queued event comes back without blocking";
    EXPECT_EQ(eventWindow(), number);
    destroyControl(41);
    discardEvents();
}

} // namespace
