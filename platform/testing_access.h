// Reaches the Qt widgets behind window and control numbers, for the layer's own tests
// only: tests send synthetic Qt events to them. The program never includes this.
#pragma once

class QWidget;

// The main window widget of `window`, or nullptr.
QWidget* windowWidgetForTest(int window);
// The widget of control `number`, or nullptr.
QWidget* controlWidgetForTest(int number);
// The running wheel sum in 120ths of a notch shared by every canvas.
int wheelRemainderForTest();
