// The window-system layer the shell sees: one main window, its controls, a FIFO of
// application events, timers, keyboard shortcuts, fonts and file drops.
// Positions and sizes of windows and controls are layout units (1/96 inch); canvas
// pointer positions are device pixels. No toolkit type crosses this interface.
#pragma once

#include <string>

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

// Device pixels per layout unit, fixed at initToolkit (1.0 before).
double displayScale();
// Layout value -> device pixels (rounded) and back (floor(d / s + 0.5)); UnsetPosition passes
// unchanged.
int layoutToDevice(int layoutValue);
int deviceToLayout(int deviceValue);

// ---- windows ----

// Opens the window with the given client size; returns its number (> 0) or 0 on failure.
int openWindow(int x, int y, int clientWidth, int clientHeight, const std::string& title, int flags);
void setClientSizeLimits(int window, int minWidth, int minHeight, int maxWidth, int maxHeight);
void setWindowTitle(int window, const std::string& title);
std::string windowTitle(int window);
int windowState(int window); // Normal, Maximized or Minimized
int windowOuterX(int window);
int windowOuterY(int window);
int clientWidth(int window);
int clientHeight(int window);

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

// Registers or replaces the shortcut for this key and modifier combination.
void addShortcut(int window, int key, int modifiers, int command);

// Restarts timer `number` as a repeating timer; stopTimer also purges its pending TimerEvents.
void startTimer(int window, int number, int milliseconds);
void stopTimer(int window, int number);

// Loads a font by family and points into a slot for the vector drawing calls; the
// system's substitute is used when the family is missing. false on failure.
bool loadFont(int slot, const std::string& face, double points);
