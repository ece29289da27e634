// Brings the program up in a fixed order, turns every window event into a command on the
// view or the file opener, and shuts down when the window is closed.
#pragma once

#include "app/timers.h"

extern bool quitRequested;         // the loop ends after the event being handled
extern bool resizeTimerArmed;      // ResizeTimer is running
extern bool dragActive;            // a left-button pan drag is in progress on the canvas
extern int dragStartX, dragStartY; // canvas device pixels where the drag began
extern int dragDX, dragDY;         // current drag offset, device pixels

constexpr int ResizeDelayMs = 150; // milliseconds without a size change before rendering

// Start-up after the toolkit: makes the toolpath store, sets the defaults, chooses the
// language, reads the settings, builds the colours and the window, and draws once. Needs an
// initialised toolkit. false (after one line on stderr) when the program cannot run.
bool startApplication();

// Acts on the current event of the given kind; kinds and numbers it does not know are ignored.
// Every event then brings the pointer readout up to date (the view or the unit may have changed).
void dispatchEvent(int kind);

// The whole program: start-up, the command-line file, the loop and shutdown. 0 after a
// normal close; 1 when there is no display or the window cannot be made.
int runApplication(int argc, char** argv);
