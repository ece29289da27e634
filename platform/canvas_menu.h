// A small menu that pops up over the canvas at the pointer and waits for the user's choice.
#pragma once

#include <string>
#include <vector>

struct MenuItem {
    std::string text;     // UTF-8
    bool checked = false; // shown ticked, as an option that is on
};

// Shows the items, each as an option that can be ticked, at device pixel (x, y) of the
// canvas control and waits until one is chosen or the menu is closed. The index of the
// chosen item; -1 when none was chosen or the control is no canvas.
int popUpMenu(int control, int x, int y, const std::vector<MenuItem>& items);
