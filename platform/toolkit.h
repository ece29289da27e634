// The window-system layer the shell sees: one main window, its controls, a FIFO of
// application events, timers, keyboard shortcuts, fonts and file drops.
// Positions and sizes of windows and controls are layout units (1/96 inch); canvas
// pointer positions are device pixels. No toolkit type crosses this interface. This header
// gathers the layer's parts for the shell; its own are the application, the events, the
// shortcuts, the timers and the fonts.
#pragma once

#include <string>

#include "platform/display_scale.h"
#include "platform/toolkit_controls.h"
#include "platform/toolkit_types.h"
#include "platform/toolkit_windows.h"

// ---- application and events ----

// Starts the toolkit and reads the display scale once. false when no display can be used
// (the caller then tells the user and exits). Every argument after the program name is
// kept for argument(); Qt itself sees none of them.
bool initToolkit(int& argc, char** argv);
// Destroys windows, fonts, images and drawing state.
void shutdownToolkit();

// Blocks until an event is queued and returns its kind (it becomes the current event).
int waitEvent();
// Never blocks: the oldest queued event's kind; else handles pending window-system work and
// returns SystemMessage; 0 only when nothing at all is pending.
int pollEvent();

int eventNumber(); // control, timer or command number of the current event
int eventType();   // type of the current ControlEvent
int eventWindow(); // window of the current event
// Data of the current canvas event; 0 when the current event is not a ControlEvent of `control`.
int eventPointerX(int control);
int eventPointerY(int control);
int eventWheelNotches(int control);
int eventButtons(int control);
int eventModifiers(int control);
int eventKeyCode(int control);
int eventCharacter(int control); // Unicode code point of CharacterInput
// Local paths of the current DropEvent in the source's order, joined by "\n"; empty otherwise.
std::string droppedFiles();

// Registers or replaces the shortcut for this key and modifier combination.
void addShortcut(int window, int key, int modifiers, int command);

// Restarts timer `number` as a repeating timer; stopTimer also purges its pending TimerEvents.
void startTimer(int window, int number, int milliseconds);
void stopTimer(int window, int number);

// Loads a font by family and points into a slot for the vector drawing calls; the
// system's substitute is used when the family is missing. false on failure.
bool loadFont(int slot, const std::string& face, double points);
