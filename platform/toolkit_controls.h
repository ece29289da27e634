// Creates the buttons, check boxes, text lines and canvases of the main window, places
// them in layout units, and turns their clicks and file drops into events.
#pragma once

#include <string>

// ---- controls (children of the first window; false when they cannot be made) ----

bool createButton(int number, int x, int y, int w, int h, const std::string& text);
bool createCheckBox(int number, int x, int y, int w, int h, const std::string& text);
bool createTextLine(int number, int x, int y, int w, int h, const std::string& text);
bool createCanvas(int number, int x, int y, int w, int h, bool takesFocus);
void destroyControl(int number); // also purges its pending ControlEvents
void resizeControl(int number, int x, int y, int w, int h);
int controlWidth(int number); // layout units; 0 for an unknown control
int controlHeight(int number);
int checkState(int number); // 1 checked, 0 not
void setCheckState(int number, int value);
void setControlText(int number, const std::string& text);
std::string controlText(int number);
void focusControl(int number);
void enableFileDrop(int number);
