// Paints the file name, a percentage and a bar on the canvas while a long file loads, and
// lets the window system catch up meanwhile.
#include "view/loading_picture.h"

#include "model/loading_progress.h"
#include "platform/drawing.h"
#include "platform/numtext.h"
#include "platform/toolkit.h"
#include "view/colour_scheme.h"
#include "view/controls.h"
#include "view/language.h"
#include "view/view_state.h"

#include <cmath>
#include <cstdint>

namespace {

constexpr double BarWidthShare = 0.4; // of the canvas width
constexpr double BarHeight = 18.0;    // layout units
constexpr double MessageGap = 8.0;    // layout units between the message and the bar
constexpr int BarInset = 2;           // device pixels between the outline and the fill
constexpr int PercentFull = 100;

// Nearest integer, halves to the even neighbour; saturates instead of overflowing.
int nearestEven(double value)
{
    return truncate(std::nearbyint(value)); // the default rounding mode sends halves to even
}

void paintPicture(const std::string& name, int percent)
{
    if (!beginCanvasRaster(Canvas))
        return;
    const int width = rasterWidth();
    const int height = rasterHeight();
    rasterBox(0, 0, width, height, colourScheme.background);

    const int barWidth = nearestEven(width * BarWidthShare);
    const int barHeight = nearestEven(viewState.uiScale * BarHeight);
    const int left = (width - barWidth) / 2;
    const int top = height / 2;

    const std::string message =
        std::string(tr("Cargando ", "Loading ")) + name + "   " + formatInteger(percent) + "%";
    rasterMode(RasterTransparentText);
    const double textX = (width - rasterTextWidth(message)) / 2.0;
    const double textY = top - rasterTextHeight(message) - viewState.uiScale * MessageGap;
    rasterText(truncate(textX), truncate(textY), message, colourScheme.hintText);

    rasterMode(RasterOutline);
    rasterBox(left, top, barWidth, barHeight, colourScheme.hintText);
    rasterMode(RasterFilled);
    if (percent >= 1) {
        const std::int64_t inner = barWidth - 2 * BarInset;
        std::int64_t fill = inner * percent / PercentFull;
        if (fill > inner) // a percentage above 100 stays inside the outline
            fill = inner;
        rasterBox(left + BarInset, top + BarInset, static_cast<int>(fill), barHeight - 2 * BarInset,
                  colourScheme.progressBar);
    }
    endRaster();
}

} // namespace

void showLoadingProgress(const std::string& name, int percent)
{
    paintPicture(name, percent);
    // Every event taken here is dropped: the loader must not be re-entered, and the window
    // system only needs the chance to repaint and resize.
    while (pollEvent() != 0) { }
}

void enableLoadingProgress()
{
    loadingProgressHook = showLoadingProgress;
}
