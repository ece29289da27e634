// Brings the program up in a fixed order, turns every window event into a command on the
// view or the file opener, and shuts down when the window is closed.
#include "app/main_loop.h"

#include "app/arc_option.h"
#include "app/follow_file.h"
#include "app/main_window.h"
#include "app/open_file.h"
#include "app/replay.h"
#include "app/settings_file.h"
#include "app/timers.h"
#include "model/toolpath.h"
#include "platform/desktop.h"
#include "platform/file_watch.h"
#include "platform/numtext.h"
#include "platform/toolkit.h"
#include "view/colour_scheme.h"
#include "view/controls.h"
#include "view/language.h"
#include "view/loading_picture.h"
#include "view/renderer.h"
#include "view/settings.h"
#include "view/status_line.h"
#include "view/view_commands.h"
#include "view/view_state.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>

bool quitRequested = false;
bool resizeTimerArmed = false;
bool dragActive = false;
int dragStartX = 0, dragStartY = 0;
int dragDX = 0, dragDY = 0;

namespace {

constexpr int AnyNumber = -1; // a dispatch row that matches every number

// Where the pointer was last seen over the canvas, for the pointer readout.
struct PointerOverCanvas {
    bool inside = false;
    int x = 0, y = 0; // canvas device pixels
};
PointerOverCanvas pointer;

inline bool hasMoves()
{
    return toolpath.moveCount > 0;
}

// The pointer's offset from the drag start; pointer positions far outside the canvas
// must not overflow the subtraction.
int offsetBetween(int position, int start)
{
    const long long offset = static_cast<long long>(position) - start;
    return static_cast<int>(std::clamp<long long>(offset, INT_MIN, INT_MAX));
}

// Zoom about the middle of the canvas as it was last rendered.
void zoomAtCentre(double factor)
{
    zoomAt(viewState.canvasWidth / 2.0, viewState.canvasHeight / 2.0, factor);
}

void fitIfMoves()
{
    if (hasMoves())
        fitView();
}

// While the view is what the last fit produced, a change of the canvas or the bed keeps it fitted.
void refitOrRedraw()
{
    if (viewState.autoFit && hasMoves())
        fitView();
    else
        redraw();
}

void onClose()
{
    saveSettings();
    quitRequested = true;
}

void onSize()
{
    rememberGeometry();
    layoutControls();
    presentShifted(0, 0);
    // Rendering waits until the size has been still for a while, so a drag of the frame
    // costs one render instead of one per step.
    if (resizeTimerArmed)
        stopTimer(mainWindow, ResizeTimer);
    startTimer(mainWindow, ResizeTimer, ResizeDelayMs);
    resizeTimerArmed = true;
}

void onResizeTimer()
{
    stopTimer(mainWindow, ResizeTimer);
    resizeTimerArmed = false;
    refitOrRedraw();
}

void onDrop()
{
    openFile(fieldAt(droppedFiles(), 1, "\n"));
}

void onDonate()
{
    openInShell(TOLVAN_DONATE_URL);
}
void onZoomIn()
{
    zoomAtCentre(ZoomStep);
}
void onZoomOut()
{
    zoomAtCentre(ZoomOutStep);
}

void onGreyCheck()
{
    settings.greyByPower = checkState(GreyCheck);
    redraw();
}

void onTravelCheck()
{
    settings.showTravel = checkState(TravelCheck);
    redraw();
}

void onBedCheck()
{
    settings.showBed = checkState(BedCheck);
    refitOrRedraw(); // the rulers take room, so a fitted view fits again
}

void onInvertCheck()
{
    settings.invertColours = checkState(InvertCheck);
    applyColourScheme();
    redraw();
}

void onInchesCheck()
{
    settings.inches = checkState(InchesCheck);
    redraw();
    updateStatusLine();
}

// ---- canvas events ----

// The pointer as the canvas event reports it; a drag pulls the drawing along, so the
// point under the pointer is the one under the drag's start until the button goes up.
void notePointer()
{
    pointer.inside = true;
    pointer.x = eventPointerX(Canvas);
    pointer.y = eventPointerY(Canvas);
}

void onMouseEnter()
{
    notePointer();
    focusControl(Canvas); // the wheel reaches only the focused control
}

void onMouseLeave()
{
    pointer.inside = false;
}

// The menu takes the pointer, and a leave while it is open can be lost in the reload that
// follows a choice; the pointer counts as away until it moves over the canvas again.
void onRightClick()
{
    onCanvasMenu();
    pointer.inside = false;
}

void onLeftButtonDown()
{
    notePointer();
    focusControl(Canvas);
    if (!hasMoves())
        return;
    if (onReplayPress(eventPointerX(Canvas), eventPointerY(Canvas)))
        return; // the timeline or the start hint, not a pan
    dragActive = true;
    dragStartX = eventPointerX(Canvas);
    dragStartY = eventPointerY(Canvas);
    dragDX = 0;
    dragDY = 0;
}

void onMouseMove()
{
    notePointer();
    if (onReplayDrag(eventPointerX(Canvas), eventPointerY(Canvas)))
        return;
    if (!dragActive)
        return;
    dragDX = offsetBetween(eventPointerX(Canvas), dragStartX);
    dragDY = offsetBetween(eventPointerY(Canvas), dragStartY);
    presentShifted(dragDX, dragDY); // the frame follows the pointer without a render
}

void onLeftButtonUp()
{
    notePointer();
    if (onReplayRelease())
        return;
    if (!dragActive)
        return;
    dragActive = false;
    // The offset of the last move counts, not the release point, so what was seen is kept.
    if (dragDX != 0 || dragDY != 0)
        panView(dragDX, dragDY);
}

void onLeftDoubleClick()
{
    notePointer();
    onReplayDoubleClick(eventPointerX(Canvas), eventPointerY(Canvas));
}

void onWheel()
{
    notePointer();
    const int notches = eventWheelNotches(Canvas);
    if (notches != 0)
        zoomAt(eventPointerX(Canvas), eventPointerY(Canvas), std::pow(ZoomStep, notches));
}

struct CanvasRow {
    int type;
    void (*action)();
};

constexpr CanvasRow CanvasTable[] = {
    {MouseEnter, onMouseEnter},
    {MouseLeave, onMouseLeave},
    {LeftButtonDown, onLeftButtonDown},
    {MouseMove, onMouseMove},
    {LeftButtonUp, onLeftButtonUp},
    {Wheel, onWheel},
    {RightClick, onRightClick},
    {LeftDoubleClick, onLeftDoubleClick},
    {KeyDown, onReplayKey},
};

void onCanvasEvent()
{
    const int type = eventType();
    for (const CanvasRow& row : CanvasTable) {
        if (row.type == type) {
            row.action();
            return;
        }
    }
}

struct DispatchRow {
    int kind;
    int number; // control, timer or command number; AnyNumber for all
    void (*action)();
};

constexpr DispatchRow DispatchTable[] = {
    {CloseEvent, AnyNumber, onClose},
    {MoveEvent, AnyNumber, rememberGeometry},
    {SizeEvent, AnyNumber, onSize},
    {TimerEvent, ResizeTimer, onResizeTimer},
    {TimerEvent, FollowTimer, onFollowTimer},
    {TimerEvent, ArcNoteTimer, onArcNoteTimer},
    {TimerEvent, ReplayTimer, onReplayTimer},
    {FileChangedEvent, AnyNumber, onFollowedFileChanged},
    {ShortcutEvent, ZoomInCommand, onZoomIn},
    {ShortcutEvent, ZoomOutCommand, onZoomOut},
    {ShortcutEvent, FitCommand, fitIfMoves},
    {ShortcutEvent, ReloadCommand, reloadFollowedFile},
    {DropEvent, Canvas, onDrop},
    {ControlEvent, DonateButton, onDonate},
    {ControlEvent, OpenButton, openFileFromDialog},
    {ControlEvent, ZoomOutButton, onZoomOut},
    {ControlEvent, ZoomInButton, onZoomIn},
    {ControlEvent, FitButton, fitIfMoves},
    {ControlEvent, GreyCheck, onGreyCheck},
    {ControlEvent, TravelCheck, onTravelCheck},
    {ControlEvent, BedCheck, onBedCheck},
    {ControlEvent, InvertCheck, onInvertCheck},
    {ControlEvent, InchesCheck, onInchesCheck},
    {ControlEvent, Canvas, onCanvasEvent},
};

void setDefaults()
{
    viewState = ViewState{};
    settings = Settings{};
    quitRequested = false;
    resizeTimerArmed = false;
    dragActive = false;
    dragStartX = dragStartY = dragDX = dragDY = 0;
    pointer = {};
}

// The pointer readout follows every event: a move, a zoom under a still pointer, a new file,
// the unit. During a drag the drawing moves with the pointer, so the point under it is
// the one under the drag's start.
void showPointerPosition()
{
    const bool changed = dragActive ? updatePointerText(pointer.inside, dragStartX, dragStartY)
                                    : updatePointerText(pointer.inside, pointer.x, pointer.y);
    // The last frame is shown again with the new readout: a pointer move never costs a redraw.
    if (changed)
        presentAgain();
}

} // namespace

bool startApplication()
{
    if (!createToolpath()) {
        std::fputs("tolvan-gcode: not enough memory to start.\n", stderr);
        return false;
    }
    setDefaults();
    chooseLanguage();
    canvasMessage = tr("Arrastra aquí un fichero .gc / .gcode", "Drop a .gc / .gcode file here");
    loadSettings();
    applyArcsOption();
    applyColourScheme();
    if (!createMainWindow()) {
        std::fputs("tolvan-gcode: the main window could not be opened.\n", stderr);
        return false;
    }
    enableLoadingProgress();
    redraw();
    return true;
}

void dispatchEvent(int kind)
{
    const int number = eventNumber();
    for (const DispatchRow& row : DispatchTable) {
        if (row.kind == kind && (row.number == AnyNumber || row.number == number)) {
            row.action();
            break;
        }
    }
    if (kind != NoEvent && kind < SystemMessage)
        showPointerPosition();
}

int runApplication(int argc, char** argv)
{
    if (!initToolkit(argc, argv)) {
        // Without a display there is nothing to show; say so plainly rather than let the
        // toolkit abort with its own message.
        std::fputs("tolvan-gcode: no graphical display is available (is DISPLAY or "
                   "WAYLAND_DISPLAY set?).\n",
                   stderr);
        return 1;
    }
    if (!startApplication()) {
        shutdownToolkit();
        return 1;
    }
    if (argumentCount() >= 1)
        openFile(argument(0));
    while (!quitRequested)
        dispatchEvent(waitEvent());
    watchFile(""); // no news of the file may arrive once the window is gone
    shutdownToolkit();
    return 0;
}
