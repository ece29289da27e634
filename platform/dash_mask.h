// Thin patterned strokes of axis-parallel figures (the grid's dots, the job's dashed
// outline) drawn through a coverage mask and blended once: a small part of what a general
// outline costs on a full-canvas grid.
#pragma once

// A dash pattern along a figure: "on" stretches of `on` pixels every `period` pixels, the
// first starting `start` pixels from the figure's start (negative: before it).
struct DashPattern {
    double on = 0;
    double period = 0;
    double start = 0;
};

// Draws the vector path as a patterned stroke of width `width`; with `endExtension` every
// figure's ends are pushed out by that much. false (nothing drawn) when a figure is slanted
// or the target is not a plain RGB image.
bool strokeAxisPattern(double width, const DashPattern& dash, double endExtension);
