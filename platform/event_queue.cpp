// Keeps the application events in arrival order and applies the collapse and purge rules.
#include "platform/event_queue.h"

#include "platform/toolkit_types.h"

#include <algorithm>
#include <cassert>
#include <utility>

EventQueue eventQueue;

namespace {

bool sameSlot(const QueuedEvent& a, const QueuedEvent& b)
{
    return a.kind == b.kind && a.number == b.number && a.window == b.window && a.type == b.type;
}

} // namespace

void queueEvent(const QueuedEvent& event)
{
    // waitEvent hands the kind to the shell, which reads NoEvent and SystemMessage as
    // "nothing arrived": neither may ever wait in the queue.
    assert(event.kind > NoEvent && event.kind < SystemMessage);
    auto& pending = eventQueue.pending;
    if (event.kind == SizeEvent) {
        // Only the latest size matters to the shell, so at most one SizeEvent waits.
        std::erase_if(pending, [&](const QueuedEvent& e) {
            return e.kind == SizeEvent && e.window == event.window;
        });
    }
    // A burst of pointer movements while the shell is busy becomes one pending MouseMove.
    if (!pending.empty() && sameSlot(pending.back(), event))
        return;
    pending.push_back(event);
}

bool fetchEvent()
{
    if (eventQueue.pending.empty())
        return false;
    eventQueue.current = std::move(eventQueue.pending.front());
    eventQueue.pending.pop_front();
    return true;
}

void purgeEvents(int kind, int number)
{
    std::erase_if(eventQueue.pending,
                  [&](const QueuedEvent& e) { return e.kind == kind && e.number == number; });
}

void clearEvents()
{
    eventQueue = EventQueue{};
}
