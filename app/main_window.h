// Builds the main window with its row of buttons and check boxes, the canvas and the status
// line, keeps them in place on resize and remembers where the window was.
#pragma once

#include "view/settings.h"

#include <span>
#include <string>

extern int mainWindow; // window number from the toolkit; 0 until createMainWindow

constexpr const char* WindowTitle = "Tolvan G-code 1.01";

// Commands the keyboard shortcuts of the main window raise.
enum ShortcutCommand : int {
    ZoomInCommand = 0,
    ZoomOutCommand = 1,
    FitCommand = 2,
    ReloadCommand = 3, // F5: load the shown file again
};

// A desktop (monitor) in layout units.
struct DesktopArea {
    int x = 0, y = 0, width = 0, height = 0;
};

// Where and how big the main window opens (client size, layout units).
struct WindowPlan {
    int x = 0, y = 0;          // outer top-left when not centred
    int width = 0, height = 0; // client area
    bool centred = false;      // the saved position was missing or off every desktop
    bool maximized = false;
};

// A control's rectangle in layout units.
struct ControlBox {
    int x = 0, y = 0, width = 0, height = 0;
};

constexpr int SmallestClientWidth = 980;   // layout units, user sizing limit and opening floor
constexpr int SmallestClientHeight = 360;  // layout units, user sizing limit
constexpr int SmallestOpeningHeight = 450; // layout units, floor of the first size

// Whether the middle of the title bar (x + width / 2, y + 10) lies on one of the desktops.
bool isOnDesktops(int x, int y, int width, std::span<const DesktopArea> desktops);
// The same over the toolkit's current desktops.
bool isOnSomeDesktop(int x, int y, int width);

// First size and position from the saved settings and the desktops (primary first).
WindowPlan planMainWindow(const Settings& saved, std::span<const DesktopArea> desktops);

// For a window opening maximized: the restored geometry the next close should save.
void recordMaximizedStart(Settings& target, const WindowPlan& plan, const DesktopArea& primary);

// Places of the controls that follow the client size.
ControlBox canvasBox(int clientWidth, int clientHeight);
ControlBox statusBox(int clientWidth, int clientHeight);
ControlBox donateBox(int clientWidth);

// true for a Windows language identifier whose primary language is Spanish (any region).
bool isSpanishLanguage(int languageId);
// Sets uiSpanish from the user's interface language.
void chooseLanguage();

// Opens the window, creates the controls, shortcuts and drop target; false when the
// window could not be opened.
bool createMainWindow();
// Moves the canvas, the status text and the donate button to the current client size.
void layoutControls();
// Records the outer position and client size while the window is neither maximized nor minimized.
void rememberGeometry();
