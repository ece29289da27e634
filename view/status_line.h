// The one-line summary under the canvas: estimated time, bounds and size; and, at the right
// end of the status area, the machine point under the pointer.
#pragma once

#include <string>

// Said before the summary while the drawing is older than the file (a reload failed); ""
// otherwise. Cleared by the next load that succeeds.
extern std::string statusNotice;

// The status text for the current toolpath in the given language and unit; "" without moves.
std::string composeStatusLine(bool spanish, bool inches);

// Writes statusNotice and composeStatusLine(uiSpanish, settings.inches) into the status text.
void updateStatusLine();

// A machine point in the status line's unit and formats: "X 12.34   Y -5.67 mm", or in
// inches with three decimals.
std::string composePointerText(double x, double y, bool inches);

// Shows the machine point under canvas pixel (px, py) in the pointer text; with `inside`
// false, or nothing loaded, the pointer text is cleared.
void updatePointerText(bool inside, int px, int py);
