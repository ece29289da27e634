// The choice between arcs drawn as arcs and arcs drawn as straight lines: an option on the
// canvas's right-button menu, and a short note when a file's arcs are drawn straight.
#pragma once

#include "app/timers.h"

constexpr int ArcNoteMs = 8000; // milliseconds the note stays on the canvas

// Makes the loads follow the saved option (start-up, after the settings are read).
void applyArcsOption();

// A right click on the canvas: the menu with the option; a change loads the file again.
void onCanvasMenu();

// After a file is opened: a note on the canvas when it has arcs drawn as straight lines.
void noteStraightArcs();

// The note's time is up: the canvas shows the drawing alone again.
void onArcNoteTimer();
