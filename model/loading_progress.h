// The hook through which a long load reports its progress to whoever draws it.
#pragma once

#include <string>

// Paints the progress picture for `percent` and lets the window system catch up.
using LoadingProgressHook = void (*)(const std::string& name, int percent);

// Set by the view when a window exists; null (the default) shows nothing.
extern LoadingProgressHook loadingProgressHook;
