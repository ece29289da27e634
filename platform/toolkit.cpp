// Starts Qt, runs the event wait and poll, turns shortcut keys into events, and keeps
// the timers, fonts and the display scale behind plain numbers.
#include "platform/toolkit.h"

#include "platform/drawing_state.h"
#include "platform/event_queue.h"
#include "platform/key_codes.h"
#include "platform/qt_helpers.h"
#include "platform/toolkit_state.h"
#include "platform/window_widget.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QScreen>
#include <QTimer>

#include <dlfcn.h>

#include <algorithm>
#include <cassert>
#include <climits>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

constexpr int MinTimerMilliseconds = 10; // shorter periods would keep the poll loop busy
constexpr double RasterFontPoints = 9.0; // when the system font has no point size
constexpr const char* DefaultProgramName = "tolvan-gcode"; // when argv carries no name

// The command line Qt is given. Qt keeps a reference to it for the application's life and
// acts on options it finds there (-platform, -style, -reverse, ...); the program's only
// argument is a file, so Qt sees the program name alone and every argument reaches the
// shell untouched.
struct QtCommandLine {
    std::string program;
    char* argv[2] = {nullptr, nullptr};
    int argc = 1;
};
QtCommandLine qtCommandLine;

bool envSet(const char* name)
{
    const char* v = std::getenv(name);
    return v != nullptr && *v != '\0';
}

// Whether the X server named by DISPLAY accepts a connection. Qt's xcb plugin aborts the
// process when it does not, so the layer asks first through the same library. When the
// library cannot be loaded, Qt could not use it either; the answer is then left to Qt.
bool xServerReachable()
{
    if (!envSet("DISPLAY"))
        return false;
    void* xcb = dlopen("libxcb.so.1", RTLD_LAZY | RTLD_LOCAL);
    if (xcb == nullptr)
        return true;
    using Connect = void* (*)(const char*, int*);
    using HasError = int (*)(void*);
    using Disconnect = void (*)(void*);
    auto connect = reinterpret_cast<Connect>(dlsym(xcb, "xcb_connect"));
    auto hasError = reinterpret_cast<HasError>(dlsym(xcb, "xcb_connection_has_error"));
    auto disconnect = reinterpret_cast<Disconnect>(dlsym(xcb, "xcb_disconnect"));
    bool reachable = true;
    if (connect != nullptr && hasError != nullptr && disconnect != nullptr) {
        void* connection = connect(nullptr, nullptr);
        reachable = connection != nullptr && hasError(connection) == 0;
        if (connection != nullptr)
            disconnect(connection); // also frees a failed connection's record
    }
    dlclose(xcb);
    return reachable;
}

// Whether one platform plugin name can start here; Qt aborts the process when it cannot,
// so the display it needs is checked first.
bool pluginUsable(std::string_view name)
{
    if (name.empty() || name.starts_with("xcb"))
        return xServerReachable();
    if (name.starts_with("wayland"))
        return envSet("WAYLAND_DISPLAY");
    return true; // offscreen, minimal, vnc, eglfs and linuxfb need no display server
}

bool displayAvailable()
{
    const char* chosen = std::getenv("QT_QPA_PLATFORM");
    if (chosen == nullptr || *chosen == '\0')
        return envSet("WAYLAND_DISPLAY") || xServerReachable();
    // A list such as "wayland;xcb" is tried in order.
    std::string_view rest(chosen);
    while (true) {
        const size_t cut = rest.find(';');
        std::string_view one = rest.substr(0, cut);
        if (const size_t colon = one.find(':'); colon != std::string_view::npos)
            one = one.substr(0, colon); // plugin options follow a colon
        if (pluginUsable(one))
            return true;
        if (cut == std::string_view::npos)
            return false;
        rest.remove_prefix(cut + 1);
    }
}

// Turns key presses of registered combinations into ShortcutEvents while their window
// is active; the key then goes no further.
class ShortcutFilter final : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
            return false;
        const QWidget* top = static_cast<QWidget*>(watched)->window();
        const int window = windowNumberOf(top);
        if (window == 0 || !top->isActiveWindow())
            return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        const int code = layerKeyCode(key->key(), (key->modifiers() & Qt::KeypadModifier) != 0);
        if (code == KeyOther)
            return false;
        const int modifiers = layerModifiers(key->modifiers());
        const auto it = toolkit.shortcuts.find({window, code, modifiers});
        if (it == toolkit.shortcuts.end())
            return false;
        postLayerEvent(ShortcutEvent, it->second, window);
        return true;
    }
};

QFont makeRasterFont(double scale)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    const double points = font.pointSizeF() > 0 ? font.pointSizeF() : RasterFontPoints;
    // Device pixels: the size the font has on the controls, times the display scale.
    const long px = std::lround(points * 96.0 / 72.0 * scale);
    font.setPixelSize(static_cast<int>(std::clamp(px, 1L, 400L)));
    return font;
}

// Objects Qt deletes later from outside any event loop would wait for a loop that never
// runs here (the layer dispatches by itself), so their deletion is asked for explicitly.
void flushDeferredDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
} // namespace

// ---- application and events ----

bool initToolkit(int& argc, char** argv)
{
    if (toolkit.valid)
        return true;
    auto* existing = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (existing == nullptr && !displayAvailable())
        return false;
    // shutdownToolkit leaves the record as defined, so only what differs is set here.
    assert(toolkit.arguments.empty() && toolkit.windows.empty() && toolkit.controls.empty() &&
           toolkit.timers.empty() && toolkit.app == nullptr && toolkit.wheelSum == 0);
    for (int i = 1; i < argc && argv != nullptr; ++i)
        toolkit.arguments.emplace_back(argv[i] != nullptr ? argv[i] : "");
    if (existing != nullptr) {
        toolkit.app = existing;
        toolkit.ownsApp = false;
    } else {
        qtCommandLine.program = (argc > 0 && argv != nullptr && argv[0] != nullptr && *argv[0] != '\0')
                                    ? argv[0]
                                    : DefaultProgramName;
        qtCommandLine.argv[0] = qtCommandLine.program.data();
        qtCommandLine.argc = 1;
        toolkit.app = new QApplication(qtCommandLine.argc, qtCommandLine.argv);
        toolkit.ownsApp = true;
    }
    // Qt adopts the user's locale; numbers in texts must keep the "." whatever it is.
    std::setlocale(LC_ALL, "");
    std::setlocale(LC_NUMERIC, "C");
    toolkit.app->setQuitOnLastWindowClosed(false);

    const QScreen* screen = QGuiApplication::primaryScreen();
    const double ratio = screen != nullptr ? screen->devicePixelRatio() : 1.0;
    toolkit.scale = (ratio >= 0.25 && ratio <= 16.0) ? ratio : 1.0; // read once for the run
    toolkit.controlFont = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    toolkit.rasterFont = makeRasterFont(toolkit.scale);

    toolkit.shortcutFilter = new ShortcutFilter;
    toolkit.app->installEventFilter(toolkit.shortcutFilter);
    toolkit.valid = true;
    return true;
}

void shutdownToolkit()
{
    if (!toolkit.valid)
        return;
    releaseDrawingState();
    for (auto& [number, entry] : toolkit.timers)
        delete entry.timer;
    toolkit.timers.clear();
    toolkit.controls.clear(); // the windows own the control widgets
    for (MainWindowWidget* w : toolkit.windows)
        delete w;
    toolkit.app->removeEventFilter(toolkit.shortcutFilter);
    delete toolkit.shortcutFilter;
    delete toolkit.dropFilter;
    clearEvents();
    // The record's fonts go with it, before the application object they belong to.
    QApplication* ownedApp = toolkit.ownsApp ? toolkit.app : nullptr;
    toolkit = ToolkitState{};
    delete ownedApp;
}

int waitEvent()
{
    if (!toolkit.valid)
        return NoEvent; // nothing could ever arrive
    flushDeferredDeletes();
    while (!fetchEvent()) {
        QCoreApplication::sendPostedEvents();
        if (fetchEvent())
            break;
        QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
        if (dispatcher == nullptr)
            return NoEvent;
        dispatcher->processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return eventQueue.current.kind;
}

int pollEvent()
{
    if (fetchEvent())
        return eventQueue.current.kind;
    if (!toolkit.valid)
        return NoEvent;
    QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
    if (dispatcher == nullptr)
        return NoEvent;
    flushDeferredDeletes();
    // One round of pending window-system work; its events are returned by later calls.
    const size_t before = eventQueue.pending.size();
    const bool handled = dispatcher->processEvents(QEventLoop::AllEvents);
    return (handled || eventQueue.pending.size() != before) ? SystemMessage : NoEvent;
}

int eventNumber()
{
    return eventQueue.current.number;
}
int eventType()
{
    return eventQueue.current.type;
}
int eventWindow()
{
    return eventQueue.current.window;
}

namespace {
const QueuedEvent* canvasData(int control)
{
    const QueuedEvent& e = eventQueue.current;
    return (e.kind == ControlEvent && e.number == control) ? &e : nullptr;
}
} // namespace

int eventPointerX(int control)
{
    const auto* e = canvasData(control);
    return e ? e->x : 0;
}
int eventPointerY(int control)
{
    const auto* e = canvasData(control);
    return e ? e->y : 0;
}
int eventWheelNotches(int control)
{
    const auto* e = canvasData(control);
    return e ? e->wheel : 0;
}
int eventButtons(int control)
{
    const auto* e = canvasData(control);
    return e ? e->buttons : 0;
}
int eventModifiers(int control)
{
    const auto* e = canvasData(control);
    return e ? e->modifiers : 0;
}
int eventKeyCode(int control)
{
    const auto* e = canvasData(control);
    return e ? e->keyCode : 0;
}
int eventCharacter(int control)
{
    const auto* e = canvasData(control);
    return e ? e->character : 0;
}

std::string droppedFiles()
{
    return eventQueue.current.kind == DropEvent ? eventQueue.current.files : std::string();
}

void addShortcut(int window, int key, int modifiers, int command)
{
    if (!toolkit.valid)
        return;
    const int mods = modifiers & (ShiftModifier | AltModifier | CtrlModifier);
    toolkit.shortcuts[{window, key, mods}] = command;
}

void startTimer(int window, int number, int milliseconds)
{
    if (!toolkit.valid)
        return;
    TimerEntry& entry = toolkit.timers[number];
    if (entry.timer == nullptr) {
        entry.timer = new QTimer;
        QObject::connect(entry.timer, &QTimer::timeout, [number] {
            const auto it = toolkit.timers.find(number);
            postLayerEvent(TimerEvent, number, it != toolkit.timers.end() ? it->second.window : 0);
        });
    }
    entry.window = window;
    entry.timer->stop();
    purgeEvents(TimerEvent, number); // a restart drops the expiry still waiting
    entry.timer->start(std::max(milliseconds, MinTimerMilliseconds));
}

void stopTimer(int, int number)
{
    const auto it = toolkit.timers.find(number);
    if (it != toolkit.timers.end())
        it->second.timer->stop();
    purgeEvents(TimerEvent, number);
}

bool loadFont(int slot, const std::string& face, double points)
{
    if (!toolkit.valid || !(points > 0.0 && points <= 1000.0))
        return false;
    QFont font(qtText(face));
    font.setPointSizeF(points);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    font.setStyleStrategy(QFont::PreferOutline);
    toolkit.fonts[slot] = font;
    return true;
}
