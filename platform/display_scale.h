// Converts between the layout units of windows and controls (1/96 inch) and device pixels,
// by the display scale read once at start.
#pragma once

// Device pixels per layout unit, fixed at initToolkit (1.0 before).
double displayScale();
// Layout value -> device pixels (rounded) and back (floor(d / s + 0.5)); UnsetPosition passes
// unchanged.
int layoutToDevice(int layoutValue);
int deviceToLayout(int deviceValue);
// Device pixels of a Qt logical coordinate, saturated to the int range (NaN gives 0).
int logicalToDevice(double logical);
