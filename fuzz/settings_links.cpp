// Stands in for the window-system names the settings file mentions but a settings read
// never reaches, so the settings fuzzer needs neither Qt nor a window.
#include "app/main_window.h"
#include "platform/desktop.h"
#include "platform/toolkit.h"

int mainWindow = 0;

int windowState(int)
{
    return Normal;
}

std::string appDataFolder()
{
    return std::string();
}
