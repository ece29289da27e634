// Opens the main window and answers for its title, state, position and client size, in
// layout units.
#pragma once

#include <string>

// Opens the window with the given client size; returns its number (> 0) or 0 on failure.
int openWindow(int x, int y, int clientWidth, int clientHeight, const std::string& title, int flags);
void setClientSizeLimits(int window, int minWidth, int minHeight, int maxWidth, int maxHeight);
void setWindowTitle(int window, const std::string& title);
std::string windowTitle(int window);
int windowState(int window); // Normal, Maximized or Minimized
int windowOuterX(int window);
int windowOuterY(int window);
int clientWidth(int window);
int clientHeight(int window);
