// The picture painted on the canvas while a long file loads.
#pragma once

#include <string>

// Paints "Loading <name>   <percent>%" and the bar, then drains pending window events.
void showLoadingProgress(const std::string& name, int percent);

// Connects showLoadingProgress to the loader's progress hook.
void enableLoadingProgress();
