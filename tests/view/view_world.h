// Puts the shared records the view reads (settings, view, toolpath, colours) back to their
// start values, with a recording surface of a given canvas size, for one test.
#pragma once

#include "model/toolpath.h"
#include "tests/view/recording_surface.h"
#include "view/canvas_texts.h"
#include "view/colour_scheme.h"
#include "view/language.h"
#include "view/renderer.h"
#include "view/settings.h"
#include "view/view_commands.h"
#include "view/view_state.h"

#include <gtest/gtest.h>

inline void resetWorld(int canvasWidth = 800, int canvasHeight = 600)
{
    static const bool created = createToolpath();
    ASSERT_TRUE(created);
    resetSurface(canvasWidth, canvasHeight);
    settings = Settings{};
    viewState = ViewState{};
    uiSpanish = false;
    canvasMessage.clear();
    canvasNotice.clear();
    pointerReadout.clear();
    rendererOptions = RendererOptions{};
    clearToolpath();
    toolpath.maxPower = 1000.0;
    applyColourScheme();
}

// A cutting move (travel = false) or travel move, in millimetres.
inline void addMove(double x1, double y1, double x2, double y2, double power = 1000.0,
                    bool travel = false)
{
    ASSERT_TRUE(appendMove(x1, y1, x2, y2, power, travel));
}

// Sets a view in which canvas pixels equal machine millimetres with Y flipped:
// canvas (x, H - y) shows machine (x, y).
inline void setIdentityView(int canvasWidth, int canvasHeight)
{
    viewState.canvasWidth = canvasWidth;
    viewState.canvasHeight = canvasHeight;
    viewState.scale = 1.0;
    viewState.centerX = canvasWidth / 2.0;
    viewState.centerY = canvasHeight / 2.0;
}
