// Drives the dispatch table with events on the offscreen toolkit and checks what each
// command does to the view, the options, the window and the settings file.
#include "app/main_loop.h"

#include "app/follow_file.h"
#include "app/main_window.h"
#include "app/open_file.h"
#include "model/loading_progress.h"
#include "model/toolpath.h"
#include "platform/drawing.h"
#include "platform/event_queue.h"
#include "platform/toolkit.h"
#include "view/canvas_texts.h"
#include "view/colour_scheme.h"
#include "view/controls.h"
#include "view/renderer.h"
#include "view/settings.h"
#include "view/status_line.h"
#include "view/view_commands.h"
#include "view/view_state.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

void activateWindowForTest(int window); // activate_window.cpp

namespace {

namespace fs = std::filesystem;

constexpr ColourValue Canary = makeRgb(255, 0, 255); // a colour no render paints at (0, 0)

fs::path configFolder;

// One application for the whole program: the toolkit can start only once.
class Application : public ::testing::Environment {
public:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "tolvan-loop-XXXXXX").string();
        configFolder = mkdtemp(pattern.data());
        setenv("XDG_CONFIG_HOME", configFolder.c_str(), 1);
        setenv("LANGUAGE", "en_US", 1);
        setenv("LANG", "en_US.UTF-8", 1);
        static int argc = 1;
        static char name[] = "tolvan-gcode";
        static char* argv[] = {name, nullptr};
        ASSERT_TRUE(initToolkit(argc, argv));
        ASSERT_TRUE(startApplication());
        activateWindowForTest(mainWindow);
    }
    void TearDown() override
    {
        shutdownToolkit();
        fs::remove_all(configFolder);
    }
};

const auto* const application = ::testing::AddGlobalTestEnvironment(new Application);

QueuedEvent makeEvent(int kind, int number, int type = 0)
{
    QueuedEvent event;
    event.kind = kind;
    event.number = number;
    event.type = type;
    return event;
}

QueuedEvent dropOf(int control, const std::string& files)
{
    QueuedEvent event = makeEvent(DropEvent, control);
    event.files = files;
    return event;
}

// Makes `event` the toolkit's current event and dispatches it.
void dispatch(QueuedEvent event)
{
    if (event.window == 0)
        event.window = mainWindow;
    clearEvents();
    queueEvent(event);
    ASSERT_TRUE(fetchEvent());
    dispatchEvent(event.kind);
}

void click(int control)
{
    dispatch(makeEvent(ControlEvent, control, ButtonClicked));
}

void canvasEvent(int type, int x, int y, int wheel = 0)
{
    QueuedEvent event = makeEvent(ControlEvent, Canvas, type);
    event.x = x;
    event.y = y;
    event.wheel = wheel;
    dispatch(event);
}

// A pixel painted into the frame that only a new render overwrites.
void paintCanary()
{
    ASSERT_TRUE(beginImageRaster(FrameImageSlot));
    rasterBox(0, 0, 1, 1, Canary);
    endRaster();
}

bool canaryIntact()
{
    return (imagePixel(FrameImageSlot, 0, 0) & 0xFFFFFF) == Canary;
}

// An F-shaped job off the origin, so that a fit moves the centre well away from (0, 0).
void loadFShape()
{
    clearToolpath();
    appendMove(0, 0, 100, 0, 0, true);
    appendMove(100, 0, 100, 80, 800, false);
    appendMove(100, 80, 150, 80, 800, false);
    appendMove(100, 40, 130, 40, 400, false);
    fitView();
}

// Lets the window system run for `milliseconds`, dispatching what arrives; returns how
// many resize timer expiries were seen.
int pumpFor(int milliseconds)
{
    int expiries = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (std::chrono::steady_clock::now() < end) {
        const int kind = pollEvent();
        if (kind == 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            continue;
        }
        if (kind == TimerEvent && eventNumber() == ResizeTimer)
            ++expiries;
        if (kind == TimerEvent || kind == SizeEvent || kind == MoveEvent)
            dispatchEvent(kind);
    }
    return expiries;
}

// Whether the canvas reported gaining the keyboard focus since the last dispatch.
bool canvasFocusReported()
{
    auto isFocus = [](const QueuedEvent& e) {
        return e.kind == ControlEvent && e.number == Canvas && e.type == FocusGained;
    };
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
    while (true) {
        for (const QueuedEvent& e : eventQueue.pending) {
            if (isFocus(e))
                return true;
        }
        if (std::chrono::steady_clock::now() >= end)
            return false;
        if (pollEvent() == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        else if (isFocus(eventQueue.current))
            return true;
    }
}

std::string writeFile(const fs::path& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
}

} // namespace

TEST(MainLoop, StartsWithTheDefaults)
{
    EXPECT_EQ(windowTitle(mainWindow), "Tolvan G-code 1.01");
    EXPECT_EQ(canvasMessage, "Drop a .gc / .gcode file here");
    const int expected[][2] = {
        {GreyCheck, 1}, {TravelCheck, 0}, {BedCheck, 1}, {InvertCheck, 0}, {InchesCheck, 0}};
    for (const auto& [control, state] : expected)
        EXPECT_EQ(checkState(control), state) << "control " << control;
    EXPECT_EQ(controlText(OpenButton), "Open...");
    EXPECT_EQ(controlText(GreyCheck), "Grayscale by power");
    EXPECT_EQ(controlText(StatusText), "");
    EXPECT_GE(clientWidth(mainWindow), 980);
    EXPECT_EQ(controlWidth(Canvas), clientWidth(mainWindow));
    EXPECT_EQ(controlHeight(Canvas), clientHeight(mainWindow) - 60);
    EXPECT_FALSE(quitRequested);
}

TEST(MainLoop, ZoomInThenOutReturnsExactlyToTheScale)
{
    loadFShape();
    viewState.scale = 1.0;
    const double centerX = viewState.centerX, centerY = viewState.centerY;
    ASSERT_TRUE(viewState.autoFit);

    click(ZoomInButton);
    EXPECT_EQ(viewState.scale, 1.25);
    click(ZoomOutButton);
    EXPECT_EQ(viewState.scale, 1.0);
    EXPECT_DOUBLE_EQ(viewState.centerX, centerX);
    EXPECT_DOUBLE_EQ(viewState.centerY, centerY);
    EXPECT_FALSE(viewState.autoFit);

    // The keyboard shortcuts do the same.
    dispatch(makeEvent(ShortcutEvent, ZoomInCommand));
    dispatch(makeEvent(ShortcutEvent, ZoomOutCommand));
    EXPECT_EQ(viewState.scale, 1.0);

    // Two wheel notches toward the user zoom out by 0.64 about the pointer.
    viewState.scale = 2.0;
    canvasEvent(Wheel, 10, 20, -2);
    EXPECT_DOUBLE_EQ(viewState.scale, 1.28);
    canvasEvent(Wheel, 10, 20, 0);
    EXPECT_DOUBLE_EQ(viewState.scale, 1.28);
}

TEST(MainLoop, DragPansByTheLastMoveAndAClickDoesNothing)
{
    loadFShape();
    paintCanary();
    canvasEvent(LeftButtonDown, 100, 100);
    EXPECT_TRUE(dragActive);
    canvasEvent(LeftButtonUp, 100, 100);
    EXPECT_FALSE(dragActive);
    EXPECT_TRUE(canaryIntact()) << "a click without movement must not render";
    EXPECT_TRUE(viewState.autoFit);

    const double scale = viewState.scale;
    const double centerX = viewState.centerX, centerY = viewState.centerY;
    canvasEvent(LeftButtonDown, 100, 100);
    canvasEvent(MouseMove, 130, 90);
    EXPECT_EQ(dragDX, 30);
    EXPECT_EQ(dragDY, -10);
    EXPECT_TRUE(canaryIntact()) << "a drag in progress only shifts the last frame";
    canvasEvent(LeftButtonUp, 400, 400); // the release point does not count
    EXPECT_FALSE(dragActive);
    EXPECT_DOUBLE_EQ(viewState.centerX, centerX - 30 / scale);
    EXPECT_DOUBLE_EQ(viewState.centerY, centerY + -10 / scale);
    EXPECT_FALSE(viewState.autoFit);
    EXPECT_FALSE(canaryIntact());

    // Far outside the canvas the offset saturates instead of overflowing.
    canvasEvent(LeftButtonDown, -2000000000, 0);
    canvasEvent(MouseMove, 2000000000, 0);
    EXPECT_EQ(dragDX, INT_MAX);
    dragActive = false; // the pan itself is the view's business

    // A drag that comes back to its start changes nothing.
    paintCanary();
    canvasEvent(LeftButtonDown, 50, 50);
    canvasEvent(MouseMove, 70, 70);
    canvasEvent(MouseMove, 50, 50);
    canvasEvent(LeftButtonUp, 50, 50);
    EXPECT_TRUE(canaryIntact());
}

TEST(MainLoop, NothingToDragOrFitWithoutMoves)
{
    clearToolpath();
    viewState.scale = 2.5;
    viewState.autoFit = false;
    paintCanary();
    pumpFor(20);
    focusControl(OpenButton);
    canvasEvent(LeftButtonDown, 100, 100);
    EXPECT_FALSE(dragActive);
    EXPECT_TRUE(canvasFocusReported()) << "the press still gives the canvas the keyboard focus";
    canvasEvent(MouseMove, 150, 150);
    canvasEvent(LeftButtonUp, 150, 150);
    click(FitButton);
    dispatch(makeEvent(ShortcutEvent, FitCommand));
    click(ZoomInButton);
    EXPECT_TRUE(canaryIntact());
    EXPECT_EQ(viewState.scale, 2.5);
    EXPECT_FALSE(viewState.autoFit);
}

TEST(MainLoop, BedCheckRefitsOnlyWhileFitted)
{
    loadFShape();
    const double fittedScale = viewState.scale;
    setCheckState(BedCheck, 0);
    click(BedCheck);
    EXPECT_EQ(settings.showBed, 0);
    EXPECT_TRUE(viewState.autoFit);
    EXPECT_GT(viewState.scale, fittedScale) << "without rulers the job gets more room";

    click(ZoomInButton);
    const double zoomedScale = viewState.scale;
    const double centerX = viewState.centerX;
    paintCanary();
    setCheckState(BedCheck, 1);
    click(BedCheck);
    EXPECT_EQ(settings.showBed, 1);
    EXPECT_EQ(viewState.scale, zoomedScale);
    EXPECT_EQ(viewState.centerX, centerX);
    EXPECT_FALSE(viewState.autoFit);
    EXPECT_FALSE(canaryIntact()) << "the bed is drawn again";
}

TEST(MainLoop, CheckBoxesSetTheOptions)
{
    loadFShape();
    updateStatusLine();
    setCheckState(GreyCheck, 0);
    click(GreyCheck);
    EXPECT_EQ(settings.greyByPower, 0);
    setCheckState(TravelCheck, 1);
    click(TravelCheck);
    EXPECT_EQ(settings.showTravel, 1);

    const ColourValue lightBackground = colourScheme.background;
    setCheckState(InvertCheck, 1);
    click(InvertCheck);
    EXPECT_EQ(settings.invertColours, 1);
    EXPECT_NE(colourScheme.background, lightBackground);
    setCheckState(InvertCheck, 0);
    click(InvertCheck);
    EXPECT_EQ(colourScheme.background, lightBackground);

    const std::string millimetres = controlText(StatusText);
    setCheckState(InchesCheck, 1);
    click(InchesCheck);
    EXPECT_EQ(settings.inches, 1);
    EXPECT_NE(controlText(StatusText), millimetres) << "the status line is rewritten";
    setCheckState(InchesCheck, 0);
    click(InchesCheck);
    EXPECT_EQ(controlText(StatusText), millimetres);

    setCheckState(GreyCheck, 1);
    click(GreyCheck);
    setCheckState(TravelCheck, 0);
    click(TravelCheck);
}

TEST(MainLoop, OpensOnlyTheFirstDroppedFileAndShowsFailures)
{
    const fs::path folder = configFolder / "jobs";
    fs::create_directories(folder);
    const std::string first = writeFile(folder / "first.gcode", "G1 X10 Y5 S300\nG1 X20 Y30\n");
    const std::string second = writeFile(folder / "second.gc", "G1 X99 Y99 S300\n");
    const std::string empty = writeFile(folder / "empty.gc", "");

    viewState.scale = 3.0;
    viewState.autoFit = false;
    dispatch(dropOf(Canvas, first + "\n" + second + "\n" + empty));
    EXPECT_EQ(windowTitle(mainWindow), "Tolvan G-code 1.01 - first.gcode");
    EXPECT_EQ(lastFilePath, first);
    EXPECT_EQ(toolpath.moveCount, 2);
    EXPECT_EQ(toolpath.allBounds.maxX, 20.0) << "the second file must not have been read";
    EXPECT_TRUE(viewState.autoFit) << "a new file is shown whole";
    EXPECT_NE(controlText(StatusText), "");

    // A missing file: plain title, message, empty status line, the last good path kept.
    dispatch(dropOf(Canvas, (folder / "missing.gcode").string()));
    EXPECT_EQ(windowTitle(mainWindow), "Tolvan G-code 1.01");
    EXPECT_EQ(canvasMessage, "Could not open missing.gcode");
    EXPECT_EQ(toolpath.moveCount, 0);
    EXPECT_EQ(controlText(StatusText), "");
    EXPECT_EQ(lastFilePath, first);

    dispatch(dropOf(Canvas, folder.string()));
    EXPECT_EQ(canvasMessage, "Could not open jobs");

    dispatch(dropOf(Canvas, empty));
    EXPECT_EQ(windowTitle(mainWindow), "Tolvan G-code 1.01 - empty.gc");
    EXPECT_EQ(canvasMessage, "The file contains no moves.");
    EXPECT_EQ(lastFilePath, empty);

    // A drop on another control and an empty list change nothing.
    dispatch(dropOf(StatusText, first));
    dispatch(dropOf(Canvas, ""));
    EXPECT_EQ(lastFilePath, empty);
    EXPECT_EQ(openDialogPattern(), "G-code (*.gc, *.gcode)|*.gc;*.gcode|All files (*.*)|*.*|"
                                   "CNC programs (*.nc, *.ngc, *.tap, *.cnc)|*.nc;*.ngc;*.tap;*.cnc");
}

TEST(MainLoop, BurstOfSizeEventsRendersOnce)
{
    loadFShape();
    pumpFor(50);
    paintCanary();
    // Three size changes 100 ms apart: 300 ms in all, but never 150 ms of calm.
    int early = 0;
    for (int i = 0; i < 3; ++i) {
        dispatch(makeEvent(SizeEvent, mainWindow));
        EXPECT_TRUE(resizeTimerArmed);
        early += pumpFor(100);
    }
    EXPECT_EQ(early, 0) << "the timer restarts on every size event";
    EXPECT_TRUE(canaryIntact()) << "between size events the last frame is only shown again";
    EXPECT_EQ(pumpFor(400), 1);
    EXPECT_FALSE(resizeTimerArmed);
    EXPECT_FALSE(canaryIntact());
}

TEST(MainLoop, CloseSavesTheSettingsAndEndsTheLoop)
{
    settings.inches = 1;
    dispatch(makeEvent(CloseEvent, mainWindow));
    EXPECT_TRUE(quitRequested);
    std::ifstream in(configFolder / "TolvanGcode" / "TolvanGcode.prefs", std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    const std::string file = text.str();
    EXPECT_EQ(file.rfind("\xEF\xBB\xBF\r\n[Opciones]\r\n", 0), 0u);
    EXPECT_NE(file.find("\r\nPulgadas = 1\r\n"), std::string::npos);
    int lines = 0;
    for (std::size_t at = file.find("\r\n"); at != std::string::npos; at = file.find("\r\n", at + 2))
        ++lines;
    EXPECT_EQ(lines, 13);
    quitRequested = false;
    settings.inches = 0;
}

TEST(MainLoop, F5ReloadsTheShownFileAndAFailedReloadKeepsTheDrawing)
{
    const fs::path job = configFolder / "job.gcode";
    openFile(writeFile(job, "G1 S800 X40 Y25\nX0\n"));
    ASSERT_EQ(toolpath.moveCount, 2);
    auto reload = [] { dispatch(makeEvent(ShortcutEvent, ReloadCommand)); };

    // After a zoom the new version keeps the view; once fitted, it is fitted again.
    click(ZoomInButton);
    const double zoomed = viewState.scale, centerX = viewState.centerX;
    writeFile(job, "G1 S800 X80 Y50\nX0\nY0\n");
    reload();
    EXPECT_EQ(toolpath.moveCount, 3);
    EXPECT_EQ(viewState.scale, zoomed);
    EXPECT_EQ(viewState.centerX, centerX);
    EXPECT_FALSE(viewState.autoFit);
    click(FitButton);
    const double fitted = viewState.scale;
    writeFile(job, "G1 S800 X40 Y25\n");
    reload();
    EXPECT_TRUE(viewState.autoFit);
    EXPECT_NE(viewState.scale, fitted);

    // Gone: the drawing stays, the canvas says why and the summary under it stays whole.
    const std::string summary = composeStatusLine(false, false);
    fs::remove(job);
    reload();
    EXPECT_EQ(toolpath.moveCount, 1);
    EXPECT_EQ(canvasNotice, "Could not reload job.gcode (gone); showing the last version read.");
    EXPECT_EQ(controlText(StatusText), summary);
    EXPECT_EQ(windowTitle(mainWindow), "Tolvan G-code 1.01 - job.gcode");

    // Left empty: a file like any other without moves, and the notice goes.
    writeFile(job, "");
    reload();
    EXPECT_EQ(toolpath.moveCount, 0);
    EXPECT_EQ(canvasMessage, "The file contains no moves.");
    EXPECT_EQ(canvasNotice, "");
    EXPECT_EQ(controlText(StatusText), "");
    EXPECT_EQ(windowTitle(mainWindow), "Tolvan G-code 1.01 - job.gcode");

    writeFile(job, "G1 S800 X10 Y10\nX0\n");
    reload();
    EXPECT_EQ(toolpath.moveCount, 2);
    EXPECT_EQ(controlText(StatusText), composeStatusLine(false, false));
}

// The watch starts once the file is loaded: a change made while it was being read is
// still loaded once the file settles, as any other change is.
TEST(MainLoop, AChangeDuringTheFirstLoadIsLoadedOnceTheFileSettles)
{
    static fs::path job;
    static LoadingProgressHook shown;
    job = configFolder / "growing.gcode";
    writeFile(job, "G1 S800 X40 Y25\n");
    shown = loadingProgressHook;
    loadingProgressHook = [](const std::string& name, int percent) {
        std::ofstream(job, std::ios::app) << "X0\n";
        loadingProgressHook = shown;
        if (shown != nullptr)
            shown(name, percent);
    };
    openFile(job.string());
    loadingProgressHook = shown;
    EXPECT_EQ(toolpath.moveCount, 1);
    pumpFor(FollowSettleMs + 400);
    EXPECT_EQ(toolpath.moveCount, 2);
}

TEST(MainLoop, PointerReadoutShowsWhileThePointerIsOverTheCanvas)
{
    loadFShape();
    settings.inches = 0;
    const std::size_t width = viewState.canvasWidth, height = viewState.canvasHeight;
    paintCanary();
    canvasEvent(MouseEnter, static_cast<int>(width / 2), static_cast<int>(height / 2));
    double x = 0.0, y = 0.0;
    canvasToMachine(width / 2, height / 2, x, y);
    EXPECT_EQ(pointerReadout, composePointerText(x, y, false));
    EXPECT_TRUE(canaryIntact()) << "the readout is shown over the frame, never drawn into it";
    // A drag pulls the drawing along: the point under the pointer stays that of the start.
    canvasEvent(LeftButtonDown, static_cast<int>(width / 2), static_cast<int>(height / 2));
    canvasEvent(MouseMove, 10, 10);
    EXPECT_EQ(pointerReadout, composePointerText(x, y, false));
    canvasEvent(LeftButtonUp, 10, 10);
    canvasEvent(MouseLeave, 10, 10);
    EXPECT_EQ(pointerReadout, "");
}
