// Reaches the Qt widgets and the wheel sum behind the layer's numbers, for the layer's own
// tests only.
#include "platform/testing_access.h"

#include "platform/toolkit_state.h"
#include "platform/window_widget.h"

QWidget* windowWidgetForTest(int window)
{
    return windowOf(window);
}

QWidget* controlWidgetForTest(int number)
{
    const ControlEntry* c = controlOf(number);
    return c ? c->widget : nullptr;
}

int wheelRemainderForTest()
{
    return toolkit.wheelSum;
}
