// The one-line summary under the canvas: estimated time, bounds and size.
#pragma once

#include <string>

// The status text for the current toolpath in the given language and unit; "" without moves.
std::string composeStatusLine(bool spanish, bool inches);

// Writes composeStatusLine(uiSpanish, settings.inches) into the status text control.
void updateStatusLine();
