// Which part of the machine plane the canvas shows, the mapping to canvas pixels and the
// canvas's size as last read. The commands that change the view are in view_commands.cpp.
#include "view/view_state.h"

#include "platform/drawing.h"
#include "platform/toolkit.h"
#include "view/controls.h"
#include "view/view_mapping.h"

ViewState viewState;

namespace {

constexpr double MinUiScale = 0.5; // device pixels per layout unit; below is a misreading

} // namespace

void machineToCanvas(double x, double y, double& canvasX, double& canvasY)
{
    const ViewMapping view = viewMapping();
    canvasX = view.canvasX(x);
    canvasY = view.canvasY(y);
}

void canvasToMachine(double canvasX, double canvasY, double& x, double& y)
{
    const ViewMapping view = viewMapping();
    x = view.machineX(canvasX);
    y = view.machineY(canvasY);
}

void refreshCanvasMetrics()
{
    if (beginCanvasRaster(Canvas)) {
        viewState.canvasWidth = rasterWidth();
        viewState.canvasHeight = rasterHeight();
        endRaster();
    }
    const int layoutWidth = controlWidth(Canvas);
    if (layoutWidth > 0)
        viewState.uiScale = viewState.canvasWidth / static_cast<double>(layoutWidth);
    // Written so that a NaN fails the test too.
    if (!(viewState.uiScale >= MinUiScale))
        viewState.uiScale = 1.0;
}
