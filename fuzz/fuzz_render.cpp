// Fuzzes the view end to end: a toolpath read from arbitrary bytes is fitted, zoomed and
// panned by amounts taken from the input and drawn into the offscreen frame by the Qt layer.
#include "model/interpreter.h"
#include "model/toolpath.h"
#include "platform/drawing.h"
#include "platform/toolkit.h"
#include "view/colour_scheme.h"
#include "view/controls.h"
#include "view/renderer.h"
#include "view/settings.h"
#include "view/view_commands.h"
#include "view/view_state.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr int CanvasWidth = 320; // device pixels; small so that each input draws fast
constexpr int CanvasHeight = 240;
constexpr int LargestCanvas = 640;      // a resized canvas stays within this, device pixels
constexpr int MostSteps = 12;           // view changes after the fit, per input
constexpr double ZoomStepFactor = 1.25; // one wheel notch

[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "\n%s: scale %.17g centre %.17g %.17g\n", what, viewState.scale,
                 viewState.centerX, viewState.centerY);
    std::fflush(stderr);
    __builtin_trap();
}

// However hostile the file, the view never loses track of where it is looking: an
// infinite centre leaves nothing to draw and turns undefined at the next zoom.
void checkCentre()
{
    if (!std::isfinite(viewState.centerX) || !std::isfinite(viewState.centerY))
        fail("centre not a finite number");
}

// What the view must hold after every fit or zoom: a positive, finite scale, within the
// zoom limits after a zoom, and a finite centre.
void checkScale(bool afterZoom)
{
    if (!(viewState.scale > 0.0) || !std::isfinite(viewState.scale))
        fail("scale not a positive number");
    checkCentre();
    if (afterZoom && !(viewState.scale >= MinScale && viewState.scale <= MaxScale))
        fail("zoom left the scale outside its limits");
}

// One change of the view, as the main loop would make it from a user's action.
void applyStep(FuzzedDataProvider& input)
{
    switch (input.ConsumeIntegralInRange<int>(0, 6)) {
    case 0: { // the wheel, any number of notches, with the pointer on or near the canvas
        const int notches = input.ConsumeIntegralInRange<int>(-4000, 4000);
        const int px = input.ConsumeIntegralInRange<int>(-LargestCanvas, 2 * LargestCanvas);
        const int py = input.ConsumeIntegralInRange<int>(-LargestCanvas, 2 * LargestCanvas);
        zoomAt(px, py, std::pow(ZoomStepFactor, notches));
        if (toolpath.moveCount > 0)
            checkScale(true);
        break;
    }
    case 1: // the zoom buttons and keys
        zoomAt(viewState.canvasWidth / 2.0, viewState.canvasHeight / 2.0,
               input.ConsumeBool() ? ZoomStep : ZoomOutStep);
        if (toolpath.moveCount > 0)
            checkScale(true);
        break;
    case 2: // a finished drag
        panView(input.ConsumeIntegral<int>(), input.ConsumeIntegral<int>());
        checkCentre();
        break;
    case 3: // a drag in progress shows the last frame shifted
        presentShifted(input.ConsumeIntegral<int>(), input.ConsumeIntegral<int>());
        break;
    case 4: // an option toggled
        settings.showBed = input.ConsumeBool();
        settings.showTravel = input.ConsumeBool();
        settings.inches = input.ConsumeBool();
        settings.greyByPower = input.ConsumeBool();
        applyColourScheme();
        redraw();
        break;
    case 5: // the window resized: any canvas size, even none at all
        resizeControl(Canvas, 0, 0, input.ConsumeIntegralInRange<int>(0, LargestCanvas),
                      input.ConsumeIntegralInRange<int>(0, LargestCanvas));
        redraw();
        break;
    default:
        fitView();
        if (toolpath.moveCount > 0)
            checkScale(false);
        break;
    }
}

} // namespace

// The system font library keeps a few allocations for the life of the process; they are
// not ours to free, and the leak checker must not take them for a fault of the input.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (!initToolkit(*argc, *argv) || openWindow(0, 0, LargestCanvas, LargestCanvas, "fuzz", 0) == 0 ||
        !createCanvas(Canvas, 0, 0, CanvasWidth, CanvasHeight, false) || !loadFont(0, "Segoe UI", 9) ||
        !createToolpath()) {
        std::fprintf(stderr, "the offscreen toolkit did not start\n");
        std::abort();
    }
    // One full frame with rulers and labels, so that fonts and caches the toolkit keeps for
    // the whole run are made before the first input is judged for leaks.
    static unsigned char warmUp[] = "G1 X10 Y5 S100\n\0";
    interpretGcodeBuffer(warmUp, sizeof warmUp - 2, "warm-up");
    applyColourScheme();
    fitView();
    settings.inches = 1;
    redraw();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    // The view's options and steps come from the end of the input, the G-code from the rest.
    settings = Settings{};
    settings.showBed = input.ConsumeBool();
    settings.showTravel = input.ConsumeBool();
    settings.inches = input.ConsumeBool();
    settings.greyByPower = input.ConsumeBool();
    settings.invertColours = input.ConsumeBool();
    const int steps = input.ConsumeIntegralInRange<int>(0, MostSteps);
    std::vector<std::uint8_t> stepBytes = input.ConsumeBytes<std::uint8_t>(steps * 12);
    const std::vector<std::uint8_t> gcode = input.ConsumeRemainingBytes<std::uint8_t>();

    viewState = ViewState{};
    resizeControl(Canvas, 0, 0, CanvasWidth, CanvasHeight);
    applyColourScheme();

    const std::unique_ptr<unsigned char[]> buffer(new unsigned char[gcode.size() + 2]);
    if (!gcode.empty())
        std::memcpy(buffer.get(), gcode.data(), gcode.size());
    interpretGcodeBuffer(buffer.get(), gcode.size(), "fuzz.gcode");

    // As a load does: fit when there are moves, else show the empty canvas.
    if (toolpath.moveCount > 0) {
        fitView();
        checkScale(false);
    } else {
        redraw();
    }
    FuzzedDataProvider stepInput(stepBytes.data(), stepBytes.size());
    for (int i = 0; i < steps && stepInput.remaining_bytes() > 0; ++i)
        applyStep(stepInput);
    return 0;
}
