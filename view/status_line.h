// The one-line summary under the canvas: estimated time, bounds and size; and the machine
// point under the pointer, which the canvas shows in its corner.
#pragma once

#include <string>

// The status text for the current toolpath in the given language and unit; "" without moves.
std::string composeStatusLine(bool spanish, bool inches);

// A time as the status line writes it: to the nearest second, "h:mm:ss" ("1:02:05").
std::string estimateClockText(double seconds);

// Writes composeStatusLine(uiSpanish, settings.inches) into the status text, whole.
void updateStatusLine();

// A machine point in the status line's unit and formats: "X 12.34   Y -5.67 mm", or in
// inches with three decimals.
std::string composePointerText(double x, double y, bool inches);

// Sets the canvas's pointer readout to the machine point under canvas pixel (px, py); with
// `inside` false, or nothing loaded, the readout goes. true when it changed: the last frame
// is then to be shown again with it.
bool updatePointerText(bool inside, int px, int py);
