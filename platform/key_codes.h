// Translates Qt key events into the layer's key codes and modifier bits.
#pragma once

// The layer's KeyCode for a Qt key (Qt::Key value); `keypad` when the key came from the
// numeric keypad. KeyOther for keys without a code.
int layerKeyCode(int qtKey, bool keypad);

// ShiftModifier | AltModifier | CtrlModifier from Qt::KeyboardModifiers bits.
int layerModifiers(int qtModifiers);

// LeftButtonBit | RightButtonBit | MiddleButtonBit from Qt::MouseButtons bits.
int layerButtons(int qtButtons);
