// Which part of the machine plane a canvas shows: the conversions between machine
// millimetres and the canvas's device pixels both ways, and the test for what lies off it.
#pragma once

#include "view/view_state.h"

struct ViewMapping {
    int width = 0; // canvas device pixels
    int height = 0;
    double cx = 0.0; // the canvas centre, device pixels: width / 2 and height / 2, halves kept
    double cy = 0.0;
    double scale = 1.0;   // canvas pixels per millimetre
    double centerX = 0.0; // machine mm shown at the canvas centre
    double centerY = 0.0;

    // Machine millimetres to canvas pixels, no rounding; the canvas's y grows downwards.
    // Every drawing of the view computes these in this very order, so that a point lands on
    // the same bits whoever maps it.
    double canvasX(double x) const { return cx + (x - centerX) * scale; }
    double canvasY(double y) const { return cy - (y - centerY) * scale; }

    // Canvas pixels to machine millimetres: the inverse.
    double machineX(double px) const { return centerX + (px - cx) / scale; }
    double machineY(double py) const { return centerY - (py - cy) / scale; }

    // Wholly left, above, right or below the canvas: nothing of the segment can show (a
    // NaN end compares false, so such a segment is not off by this test).
    bool offCanvas(double x1, double y1, double x2, double y2) const
    {
        return (x1 < 0.0 && x2 < 0.0) || (y1 < 0.0 && y2 < 0.0) || (x1 >= width && x2 >= width) ||
               (y1 >= height && y2 >= height);
    }

    bool operator==(const ViewMapping&) const = default;
};

// What the view shows on a canvas of `width` x `height` device pixels.
inline ViewMapping viewMapping(int width, int height)
{
    return {width, height, width / 2.0, height / 2.0, viewState.scale, viewState.centerX, viewState.centerY};
}

// What the view shows on the canvas as last read.
inline ViewMapping viewMapping()
{
    return viewMapping(viewState.canvasWidth, viewState.canvasHeight);
}
