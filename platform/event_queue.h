// The layer's own first-in, first-out queue of application events, with the rules that
// collapse duplicates and purge stale size, timer and control events.
#pragma once

#include <deque>
#include <string>

// One queued event: what happened, to which number and window, and the canvas data.
struct QueuedEvent {
    int kind = 0;   // EventKind
    int number = 0; // control, timer or shortcut command number
    int window = 0; // window number
    int type = 0;   // ButtonClicked or a CanvasEventType
    int x = 0;      // pointer position, device pixels, canvas client coordinates
    int y = 0;
    int buttons = 0;   // LeftButtonBit | RightButtonBit | MiddleButtonBit
    int modifiers = 0; // ShiftModifier | AltModifier | CtrlModifier
    int keyCode = 0;   // KeyCode of KeyDown / KeyUp
    int wheel = 0;     // whole notches of a Wheel event
    int character = 0; // code point of CharacterInput
    std::string files; // "\n"-joined local paths of a DropEvent
};

// The pending events and the one last fetched, whose data the event queries read.
struct EventQueue {
    std::deque<QueuedEvent> pending;
    QueuedEvent current;
};

extern EventQueue eventQueue;

// Appends an event: drops it when it repeats the last pending one in kind, number, window
// and type (the pending one keeps its data); a SizeEvent first removes every pending
// SizeEvent of its window.
void queueEvent(const QueuedEvent& event);

// Makes the oldest pending event the current one; false when nothing is pending.
bool fetchEvent();

// Removes every pending event of this kind and number (a stopped timer, a destroyed control).
void purgeEvents(int kind, int number);

// Forgets every pending event and the current one.
void clearEvents();
