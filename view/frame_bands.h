// Draws the travel and cutting moves straight into the frame's pixels, the rows split into
// bands drawn at once on as many threads.
#pragma once

struct ViewMapping;

// The bands a redraw of this height splits into: one per core (or rendererOptions.threads),
// one alone for small jobs, never more rows than bands.
int bandCount(int height);

// The travel and cutting passes into the frame image at `view`, whose size it must have;
// nothing when the frame's pixels cannot be had.
void drawMovesIntoFrame(const ViewMapping& view);
