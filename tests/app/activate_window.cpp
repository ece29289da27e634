// Makes the main window the active one on the offscreen platform, where nothing else
// activates it, so that keyboard focus changes are reported as they are on a desktop.
#include "platform/testing_access.h"

#include <QApplication>
#include <QWidget>

void activateWindowForTest(int window)
{
    if (QWidget* w = windowWidgetForTest(window)) {
        w->activateWindow();
        QApplication::setActiveWindow(w);
    }
}
