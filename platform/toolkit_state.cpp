// The platform layer's private state and the lookups in it that the layer's files share.
#include "platform/toolkit_state.h"

#include "platform/event_queue.h"
#include "platform/toolkit_types.h"
#include "platform/window_widget.h"

#include <QFont>

ToolkitState toolkit;

int keepOr(int value, int current)
{
    return value == UnsetPosition ? current : value;
}

MainWindowWidget* windowOf(int number)
{
    if (number < 1 || number > static_cast<int>(toolkit.windows.size()))
        return nullptr;
    return toolkit.windows[static_cast<size_t>(number - 1)];
}

int windowNumberOf(const QWidget* top)
{
    for (size_t i = 0; i < toolkit.windows.size(); ++i)
        if (toolkit.windows[i] == top)
            return static_cast<int>(i) + 1;
    return 0;
}

ControlEntry* controlOf(int number)
{
    auto it = toolkit.controls.find(number);
    return it == toolkit.controls.end() ? nullptr : &it->second;
}

void postLayerEvent(int kind, int number, int window)
{
    QueuedEvent e;
    e.kind = kind;
    e.number = number;
    e.window = window;
    queueEvent(e);
}
