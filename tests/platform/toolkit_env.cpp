// Starts the toolkit on the offscreen platform for the platform tests and collects events.
#include "toolkit_env.h"

#include "platform/testing_access.h"
#include "platform/toolkit.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QWidget>

namespace {

class ToolkitEnvironment final : public ::testing::Environment {
public:
    void SetUp() override
    {
        static char name[] = "platform_test";
        static char* argv[] = {name, nullptr};
        static int argc = 1;
        ASSERT_TRUE(initToolkit(argc, argv)) << "the offscreen platform must start";
    }
    void TearDown() override { shutdownToolkit(); }
};

int openedWindow = 0;

[[maybe_unused]] const ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new ToolkitEnvironment);

} // namespace

std::vector<QueuedEvent> takeEvents()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
    std::vector<QueuedEvent> events;
    while (fetchEvent())
        events.push_back(eventQueue.current);
    return events;
}

void discardEvents()
{
    takeEvents();
}

std::vector<QueuedEvent> eventsOfKind(const std::vector<QueuedEvent>& events, int kind)
{
    std::vector<QueuedEvent> picked;
    for (const QueuedEvent& e : events)
        if (e.kind == kind)
            picked.push_back(e);
    return picked;
}

std::vector<int> controlTypes(const std::vector<QueuedEvent>& events, int control)
{
    std::vector<int> types;
    for (const QueuedEvent& e : events)
        if (e.kind == ControlEvent && e.number == control)
            types.push_back(e.type);
    return types;
}

int mainWindowForTest()
{
    if (openedWindow == 0 || windowWidgetForTest(openedWindow) == nullptr) {
        openedWindow = openWindow(40, 30, 400, 300, "Test window", WindowStandardFrame);
        QWidget* w = windowWidgetForTest(openedWindow);
        if (w != nullptr) {
            w->activateWindow();
            QApplication::setActiveWindow(w);
        }
        discardEvents();
    }
    return openedWindow;
}
