// Shared set-up of the platform layer's tests: one toolkit per test program (started by a
// gtest environment, on whatever platform the test's environment names), and a way to
// collect the events the layer queued.
#pragma once

#include "platform/event_queue.h"

#include <string>
#include <vector>

// Lets Qt deliver what is pending, then fetches every queued event, oldest first.
std::vector<QueuedEvent> takeEvents();

// Drops every pending event (after set-up noise such as activation and first sizes).
void discardEvents();

// The events of one kind, and the types of the ControlEvents of one control, in order.
std::vector<QueuedEvent> eventsOfKind(const std::vector<QueuedEvent>& events, int kind);
std::vector<int> controlTypes(const std::vector<QueuedEvent>& events, int control);

// Opens the main window once per program (client 400 x 300 at 40, 30) and activates it;
// returns its number.
int mainWindowForTest();
