// Which part of the machine plane the canvas shows: scale, centre and the canvas's size.
#pragma once

struct ViewState {
    double scale = 1.0;   // canvas pixels per millimetre
    double centerX = 0.0; // machine mm shown at the canvas centre
    double centerY = 0.0;
    bool autoFit = true; // the view is what the last fitView produced
    int canvasWidth = 0; // device pixels, as last read
    int canvasHeight = 0;
    double uiScale = 1.0; // device pixels per layout unit
};

extern ViewState viewState;

constexpr double ZoomStep = 1.25;   // one zoom-in step
constexpr double ZoomOutStep = 0.8; // one zoom-out step, written, not computed
constexpr double MinScale = 0.01;   // pixels per mm
constexpr double MaxScale = 5000.0; // pixels per mm

// Canvas positions farther than this from the canvas's corner lie on no canvas: lines that
// reach beyond are clipped, and marks there left out, before any single-precision path
// sees them.
constexpr double FarCanvasPixels = 20000.0; // device pixels

// Machine millimetres to canvas device pixels (no rounding).
void machineToCanvas(double x, double y, double& canvasX, double& canvasY);

// Canvas device pixels to machine millimetres: the inverse of machineToCanvas.
void canvasToMachine(double canvasX, double canvasY, double& x, double& y);

// Reads the canvas size and display scale into the view state.
void refreshCanvasMetrics();
