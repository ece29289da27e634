// Opens the main window and answers for its title, state, position and client size.
#include "platform/toolkit_windows.h"

#include "platform/qt_helpers.h"
#include "platform/toolkit_state.h"
#include "platform/toolkit_types.h"
#include "platform/window_widget.h"

#include <QFile>
#include <QGuiApplication>
#include <QIcon>
#include <QScreen>

#include <algorithm>

namespace {

constexpr int MaxClientSize = 32000;    // layout units; larger maxima are cut
constexpr int DefaultClientWidth = 800; // layout units, when the caller keeps the size
constexpr int DefaultClientHeight = 600;
constexpr const char* IconResource = ":/icons/tolvan-gcode.png";

} // namespace

// ---- windows ----

int openWindow(int x, int y, int clientW, int clientH, const std::string& title, int flags)
{
    if (!toolkit.valid)
        return 0;
    const int number = static_cast<int>(toolkit.windows.size()) + 1;
    auto* w = new MainWindowWidget(number);
    w->setWindowTitle(qtText(title));
    if (QFile::exists(IconResource))
        w->setWindowIcon(QIcon(IconResource));
    const int width =
        clientW == UnsetPosition ? DefaultClientWidth : std::clamp(clientW, 1, MaxClientSize);
    const int height =
        clientH == UnsetPosition ? DefaultClientHeight : std::clamp(clientH, 1, MaxClientSize);
    w->resize(width, height);

    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area = screen != nullptr ? screen->geometry() : QRect(0, 0, width, height);
    auto centre = [&](QSize outer) {
        w->move(area.x() + (area.width() - std::min(area.width(), outer.width())) / 2,
                area.y() + (area.height() - std::min(area.height(), outer.height())) / 2);
    };
    if (flags & WindowCentred)
        centre(QSize(width, height));
    else if (x != UnsetPosition || y != UnsetPosition)
        w->move(keepOr(x, w->x()), keepOr(y, w->y()));

    toolkit.windows.push_back(w);
    if (flags & WindowMaximized)
        w->showMaximized();
    else
        w->show();
    QCoreApplication::sendPostedEvents();
    // The frame is known only once shown; centre again with the real outer size.
    if ((flags & WindowCentred) && !(flags & WindowMaximized) && w->frameGeometry().size() != w->size())
        centre(w->frameGeometry().size());
    w->opened = true;
    return number;
}

void setClientSizeLimits(int window, int minWidth, int minHeight, int maxWidth, int maxHeight)
{
    MainWindowWidget* w = windowOf(window);
    if (w == nullptr)
        return;
    const QSize lo = w->minimumSize();
    const QSize hi = w->maximumSize();
    const int minW = std::clamp(keepOr(minWidth, lo.width()), 0, MaxClientSize);
    const int minH = std::clamp(keepOr(minHeight, lo.height()), 0, MaxClientSize);
    const int maxW = std::clamp(keepOr(maxWidth, hi.width()), minW, MaxClientSize);
    const int maxH = std::clamp(keepOr(maxHeight, hi.height()), minH, MaxClientSize);
    w->setMaximumSize(maxW, maxH);
    w->setMinimumSize(minW, minH); // grows a smaller window at once
}

void setWindowTitle(int window, const std::string& title)
{
    if (MainWindowWidget* w = windowOf(window))
        w->setWindowTitle(qtText(title));
}

std::string windowTitle(int window)
{
    const MainWindowWidget* w = windowOf(window);
    return w ? w->windowTitle().toStdString() : std::string();
}

int windowState(int window)
{
    const MainWindowWidget* w = windowOf(window);
    if (w == nullptr)
        return 0;
    if (w->isMaximized())
        return Maximized; // also when minimized from the maximized state
    return w->isMinimized() ? Minimized : Normal;
}

int windowOuterX(int window)
{
    const MainWindowWidget* w = windowOf(window);
    return w ? w->frameGeometry().x() : 0;
}

int windowOuterY(int window)
{
    const MainWindowWidget* w = windowOf(window);
    return w ? w->frameGeometry().y() : 0;
}

int clientWidth(int window)
{
    const MainWindowWidget* w = windowOf(window);
    return w ? w->width() : 0;
}

int clientHeight(int window)
{
    const MainWindowWidget* w = windowOf(window);
    return w ? w->height() : 0;
}
