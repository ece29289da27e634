// The numbers the window-system layer and the shell share: event kinds, canvas event
// types, mouse buttons, modifier and key codes, window flags and states, and the keep
// marker for positions and sizes.
#pragma once

constexpr int UnsetPosition = -65535; // keep marker for coordinates and sizes

// Event kinds returned by waitEvent and pollEvent. Values at or above SystemMessage are
// no event kind: the layer handled a window-system message internally.
enum EventKind : int {
    NoEvent = 0,
    ControlEvent = 1,
    ShortcutEvent = 2,
    DropEvent = 3,
    TimerEvent = 4,
    CloseEvent = 5,
    MoveEvent = 6,
    SizeEvent = 7,
    ActivateEvent = 8,   // window became active
    DeactivateEvent = 9, // window lost activation
    MinimizeEvent = 10,
    MaximizeEvent = 11,
    RestoreEvent = 12,
    FileChangedEvent = 13, // the watched file changed on disk (file_watch.h)
    SystemMessage = 100,
};

// eventType of a ControlEvent from a push button or check box.
constexpr int ButtonClicked = 0;

// eventType of a ControlEvent from a canvas.
enum CanvasEventType : int {
    MouseEnter = 1,
    MouseLeave = 2,
    MouseMove = 3,
    LeftButtonDown = 4,
    LeftButtonUp = 5,
    LeftDoubleClick = 6,
    RightButtonDown = 7,
    RightButtonUp = 8,
    RightDoubleClick = 9,
    MiddleButtonDown = 10,
    MiddleButtonUp = 11,
    LeftClick = 12,
    RightClick = 13,
    Wheel = 14,
    KeyDown = 15,
    KeyUp = 16,
    CharacterInput = 17,
    CanvasResized = 18,
    FocusGained = 19,
    FocusLost = 20,
};

// Mouse buttons held (eventButtons) and modifier keys (eventModifiers, addShortcut).
constexpr int LeftButtonBit = 1, RightButtonBit = 2, MiddleButtonBit = 4;
constexpr int ShiftModifier = 1, AltModifier = 2, CtrlModifier = 4;

// The layer's own key codes for shortcuts and key events. Letters and digits of the
// main keyboard use their upper-case ASCII code ('A', '0').
enum KeyCode : int {
    KeyMain0 = '0',
    KeyPadPlus = 0x6B,   // keypad +
    KeyPadMinus = 0x6D,  // keypad -
    KeyPad0 = 0x60,      // keypad 0
    KeyMainPlus = 0xBB,  // the main keyboard's "=/+" key
    KeyMainMinus = 0xBD, // the main keyboard's "-" key
    KeyF5 = 0x74,
    KeyEscape = 0x1B,
    KeySpace = 0x20,
    KeyEnd = 0x23,
    KeyHome = 0x24,
    KeyArrowLeft = 0x25,
    KeyArrowUp = 0x26,
    KeyArrowRight = 0x27,
    KeyArrowDown = 0x28,
    KeyOther = 0xFFFF, // any key the layer has no code for
};

// Window flags for openWindow.
constexpr int WindowStandardFrame = 1, WindowCentred = 2, WindowMaximized = 4;

enum WindowStateKind : int { Normal = 0, Maximized = 1, Minimized = 2 };
