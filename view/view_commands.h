// The commands that change the view: each ends in a redraw.
#pragma once

// Fits the toolpath into the canvas, sets autoFit and redraws; only redraws without bounds.
void fitView();

// Zooms by `factor` about the canvas point (clamped to MinScale..MaxScale), clears autoFit
// and redraws; nothing at all without moves.
void zoomAt(double px, double py, double factor);

// Moves the view by a finished drag of (dx, dy) device pixels; a zero offset changes nothing.
void panView(int dx, int dy);
