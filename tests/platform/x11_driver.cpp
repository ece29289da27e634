// A small program for the real X server test: opens a window with a button, a check box
// and a canvas, tells where they are, then prints every event the layer reports.
#include "platform/testing_access.h"
#include "platform/toolkit.h"

#include <QWidget>

#include <cstdio>

namespace {

constexpr int ButtonNumber = 1;
constexpr int CheckNumber = 2;
constexpr int CanvasNumber = 3;
constexpr int DeadlineTimer = 99; // ends the run if the script never says "q"
constexpr int DeadlineMs = 40000;
constexpr int KeypadPlusCommand = 7;
constexpr int CtrlPlusCommand = 8;

// Screen position (device pixels) of a point of a control given in its own layout units.
void printPlace(const char* name, int control, int x, int y)
{
    const QWidget* w = controlWidgetForTest(control);
    const QPoint global = w->mapToGlobal(QPoint(x, y));
    std::printf("place %s %d %d\n", name, layoutToDevice(global.x()), layoutToDevice(global.y()));
}

} // namespace

int main(int argc, char** argv)
{
    if (!initToolkit(argc, argv)) {
        std::printf("no display\n");
        return 3;
    }
    const int window = openWindow(40, 40, 420, 320, "Tolvan X test", WindowStandardFrame);
    if (window == 0)
        return 4;
    createButton(ButtonNumber, 10, 10, 120, 30, "Press");
    createCheckBox(CheckNumber, 150, 10, 120, 30, "Check");
    createCanvas(CanvasNumber, 20, 60, 300, 200, true);
    addShortcut(window, KeyPadPlus, 0, KeypadPlusCommand);
    addShortcut(window, KeyMainPlus, CtrlModifier, CtrlPlusCommand);
    startTimer(window, DeadlineTimer, DeadlineMs);
    windowWidgetForTest(window)->activateWindow();

    // Let the window appear before saying where things are: the loading display's drain
    // loop, which must come to rest while the window is being mapped and painted.
    constexpr int DrainLimit = 100000;
    int calls = 0;
    while (pollEvent() != 0 && calls < DrainLimit)
        ++calls;
    std::printf("drain %d\n", calls);
    printPlace("button", ButtonNumber, 60, 15);
    printPlace("check", CheckNumber, 10, 15);
    printPlace("canvas", CanvasNumber, 0, 0);
    std::printf("ready %llu\n", static_cast<unsigned long long>(windowWidgetForTest(window)->winId()));
    std::fflush(stdout);

    while (true) {
        const int kind = waitEvent();
        if (kind == TimerEvent && eventNumber() == DeadlineTimer) {
            std::printf("deadline\n");
            return 2;
        }
        if (kind < ControlEvent || kind > RestoreEvent)
            continue;
        const int n = eventNumber();
        std::printf("event kind=%d number=%d type=%d x=%d y=%d buttons=%d key=%d char=%d wheel=%d "
                    "check=%d\n",
                    kind, n, eventType(), eventPointerX(n), eventPointerY(n), eventButtons(n),
                    eventKeyCode(n), eventCharacter(n), eventWheelNotches(n), checkState(CheckNumber));
        std::fflush(stdout);
        if (kind == ControlEvent && n == CanvasNumber && eventType() == CharacterInput &&
            eventCharacter(n) == 'q')
            break;
    }
    shutdownToolkit();
    return 0;
}
