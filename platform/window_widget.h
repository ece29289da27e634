// The main window: turns close requests, moves, size and state changes into events.
#pragma once

#include <QWidget>

class MainWindowWidget final : public QWidget {
public:
    explicit MainWindowWidget(int number);

    int number;          // window number carried by its events
    bool opened = false; // fully shown: moves from now on are the user's

protected:
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
};
