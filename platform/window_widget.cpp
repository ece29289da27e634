// The main window: a close request, a move or a size or state change only queues an
// event; the application decides what follows.
#include "platform/window_widget.h"

#include "platform/toolkit_state.h"
#include "platform/toolkit_types.h"

#include <QCloseEvent>
#include <QWindowStateChangeEvent>

MainWindowWidget::MainWindowWidget(int number) : QWidget(nullptr), number(number) { }

void MainWindowWidget::closeEvent(QCloseEvent* event)
{
    event->ignore(); // the window stays until the application destroys it
    postLayerEvent(CloseEvent, number, number);
}

void MainWindowWidget::moveEvent(QMoveEvent*)
{
    if (opened && !isMinimized())
        postLayerEvent(MoveEvent, number, number);
}

void MainWindowWidget::resizeEvent(QResizeEvent*)
{
    if (!isMinimized())
        postLayerEvent(SizeEvent, number, number);
}

void MainWindowWidget::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::WindowStateChange) {
        const Qt::WindowStates old = static_cast<QWindowStateChangeEvent*>(event)->oldState();
        const Qt::WindowStates now = windowState();
        if (now & Qt::WindowMinimized) {
            postLayerEvent(MinimizeEvent, number, number);
        } else if ((now & Qt::WindowMaximized) && !(old & Qt::WindowMaximized)) {
            postLayerEvent(MaximizeEvent, number, number);
            postLayerEvent(SizeEvent, number, number);
        } else if (old & (Qt::WindowMinimized | Qt::WindowMaximized)) {
            postLayerEvent(RestoreEvent, number, number);
            postLayerEvent(SizeEvent, number, number);
        }
    } else if (event->type() == QEvent::ActivationChange) {
        postLayerEvent(isActiveWindow() ? ActivateEvent : DeactivateEvent, number, number);
    }
    QWidget::changeEvent(event);
}
