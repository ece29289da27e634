// The platform layer's private state: the application object, the windows, controls,
// timers, fonts and shortcuts that the public operations act on, and the lookups in it
// that the layer's files share.
#pragma once

#include <QFont>

#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

class QApplication;
class QObject;
class QTimer;
class QWidget;
class MainWindowWidget;

enum class ControlKind { Button, CheckBox, TextLine, Canvas };

struct ControlEntry {
    ControlKind kind = ControlKind::Button;
    QWidget* widget = nullptr;
};

struct TimerEntry {
    QTimer* timer = nullptr;
    int window = 0; // window number its TimerEvents carry
};

struct ToolkitState {
    bool valid = false; // set by initToolkit, cleared by shutdownToolkit
    QApplication* app = nullptr;
    double scale = 1.0;                     // device pixels per layout unit, fixed for the run
    std::vector<std::string> arguments;     // argv after the program name, as handed over
    std::vector<MainWindowWidget*> windows; // window number = index + 1
    std::map<int, ControlEntry> controls;
    std::map<int, TimerEntry> timers;                   // by timer number
    std::map<int, QFont> fonts;                         // loadFont slots
    std::map<std::tuple<int, int, int>, int> shortcuts; // (window, key, modifiers) -> command
    QObject* shortcutFilter = nullptr;
    QObject* dropFilter = nullptr;
    bool ownsApp = false; // false when a QApplication existed before initToolkit
    // Fonts are optional so that none outlives the application object.
    std::optional<QFont> controlFont; // the system's message font for every control
    std::optional<QFont> rasterFont;  // stock system font of raster contexts, device pixels
    int wheelSum = 0;                 // one running wheel sum for every canvas, 120ths
};

extern ToolkitState toolkit;

// The first window opened: the one every control is made in and file events are queued for.
constexpr int MainWindowNumber = 1;

// `current` when `value` is UnsetPosition, else `value`.
int keepOr(int value, int current);

// The main window with this number, or nullptr.
MainWindowWidget* windowOf(int number);
// The number of the main window `top`, or 0 when it is none of ours.
int windowNumberOf(const QWidget* top);

// The control with this number, or nullptr.
ControlEntry* controlOf(int number);

// Appends an event of any kind; the queue rules apply.
void postLayerEvent(int kind, int number, int window);
