// The replay's mark at the tool's place, drawn over everything else in the frame.
#pragma once

struct ViewMapping;

// Draws the mark at the place of replayDrawing's cursor into the frame at `view`; nothing
// when the place lies off the canvas or the frame cannot be drawn on.
void drawReplayMarker(const ViewMapping& view);
