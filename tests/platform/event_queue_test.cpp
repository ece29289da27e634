// Checks the queue rules: order, duplicate collapse, size-event and purge rules.
#include "platform/event_queue.h"

#include "platform/toolkit.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

QueuedEvent ev(int kind, int number, int window = 1, int type = 0, int x = 0)
{
    QueuedEvent e;
    e.kind = kind;
    e.number = number;
    e.window = window;
    e.type = type;
    e.x = x;
    return e;
}

struct Seen {
    int kind, number, type, x;
    bool operator==(const Seen&) const = default;
};

std::vector<Seen> drain()
{
    std::vector<Seen> out;
    while (fetchEvent())
        out.push_back({eventQueue.current.kind, eventQueue.current.number, eventQueue.current.type,
                       eventQueue.current.x});
    return out;
}

TEST(EventQueue, Rules)
{
    struct Row {
        const char* name;
        std::vector<QueuedEvent> in;
        std::vector<Seen> out;
    };
    const std::vector<Row> rows = {
        {"fifo order",
         {ev(TimerEvent, 1), ev(ShortcutEvent, 2), ev(CloseEvent, 1)},
         {{TimerEvent, 1, 0, 0}, {ShortcutEvent, 2, 0, 0}, {CloseEvent, 1, 0, 0}}},
        {"duplicate moves collapse, the first keeps its data",
         {ev(ControlEvent, 7, 1, MouseMove, 10), ev(ControlEvent, 7, 1, MouseMove, 20),
          ev(ControlEvent, 7, 1, MouseMove, 30)},
         {{ControlEvent, 7, MouseMove, 10}}},
        {"an event in between keeps both",
         {ev(ControlEvent, 7, 1, MouseMove, 10), ev(ControlEvent, 7, 1, LeftButtonDown, 11),
          ev(ControlEvent, 7, 1, MouseMove, 12)},
         {{ControlEvent, 7, MouseMove, 10},
          {ControlEvent, 7, LeftButtonDown, 11},
          {ControlEvent, 7, MouseMove, 12}}},
        {"other number or type is no duplicate",
         {ev(ControlEvent, 7, 1, MouseMove), ev(ControlEvent, 8, 1, MouseMove),
          ev(ControlEvent, 8, 1, Wheel)},
         {{ControlEvent, 7, MouseMove, 0},
          {ControlEvent, 8, MouseMove, 0},
          {ControlEvent, 8, Wheel, 0}}},
        {"three size changes leave one, the latest, at the end",
         {ev(SizeEvent, 1, 1, 0, 1), ev(TimerEvent, 3), ev(SizeEvent, 1, 1, 0, 2), ev(ControlEvent, 5),
          ev(SizeEvent, 1, 1, 0, 3)},
         {{TimerEvent, 3, 0, 0}, {ControlEvent, 5, 0, 0}, {SizeEvent, 1, 0, 3}}},
        {"maximize then size stays in that order",
         {ev(SizeEvent, 1, 1, 0, 1), ev(MaximizeEvent, 1), ev(SizeEvent, 1, 1, 0, 2)},
         {{MaximizeEvent, 1, 0, 0}, {SizeEvent, 1, 0, 2}}},
    };
    for (const Row& row : rows) {
        clearEvents();
        for (const QueuedEvent& e : row.in)
            queueEvent(e);
        EXPECT_EQ(drain(), row.out) << row.name;
    }
}

TEST(EventQueue, PurgeRemovesOnlyThatKindAndNumber)
{
    clearEvents();
    queueEvent(ev(TimerEvent, 1));
    queueEvent(ev(ControlEvent, 1, 1, ButtonClicked));
    queueEvent(ev(TimerEvent, 2));
    queueEvent(ev(ControlEvent, 4, 1, MouseMove));
    queueEvent(ev(TimerEvent, 1, 1, 0, 5)); // not a duplicate: another event came between
    purgeEvents(TimerEvent, 1);
    purgeEvents(ControlEvent, 4);
    const std::vector<Seen> expected = {{ControlEvent, 1, ButtonClicked, 0}, {TimerEvent, 2, 0, 0}};
    EXPECT_EQ(drain(), expected);
}

TEST(EventQueue, CurrentEventDataStaysUntilTheNextFetch)
{
    clearEvents();
    QueuedEvent drop = ev(DropEvent, 3);
    drop.files = "/a\n/b";
    queueEvent(drop);
    queueEvent(ev(TimerEvent, 9));
    ASSERT_TRUE(fetchEvent());
    EXPECT_EQ(droppedFiles(), "/a\n/b");
    EXPECT_EQ(eventNumber(), 3);
    ASSERT_TRUE(fetchEvent());
    EXPECT_EQ(droppedFiles(), "") << "a timer event carries no file list";
    EXPECT_EQ(eventNumber(), 9);
    EXPECT_FALSE(fetchEvent());
}

} // namespace
