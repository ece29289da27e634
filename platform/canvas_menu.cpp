// A small menu that pops up over the canvas at the pointer and waits for the user's choice.
#include "platform/canvas_menu.h"

#include "platform/canvas_widget.h"
#include "platform/qt_helpers.h"
#include "platform/toolkit_state.h"

#include <QAction>
#include <QMenu>

int popUpMenu(int control, int x, int y, const std::vector<MenuItem>& items)
{
    CanvasWidget* canvas = canvasControl(control);
    if (canvas == nullptr || items.empty())
        return -1;
    QMenu menu(canvas);
    std::vector<QAction*> actions;
    for (const MenuItem& item : items) {
        QAction* action = menu.addAction(qtText(item.text));
        action->setCheckable(true);
        action->setChecked(item.checked);
        actions.push_back(action);
    }
    // The menu runs its own loop until it closes; window events meanwhile are queued as usual.
    const QPoint at(static_cast<int>(x / toolkit.scale), static_cast<int>(y / toolkit.scale));
    const QAction* chosen = menu.exec(canvas->mapToGlobal(at));
    canvas->forgetPointer();
    for (std::size_t i = 0; i < actions.size(); ++i)
        if (actions[i] == chosen)
            return static_cast<int>(i);
    return -1;
}
