// Marks where the tool is at the replay's cursor: a ring around the place and four ticks
// pointing at it.
#include "view/replay_marker.h"

#include "model/job_pace.h"
#include "model/toolpath.h"
#include "platform/colour.h"
#include "platform/drawing.h"
#include "view/colour_scheme.h"
#include "view/renderer.h"
#include "view/segment_clip.h"
#include "view/view_mapping.h"
#include "view/view_state.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

constexpr unsigned Opaque = 255; // alpha

// The replay's mark: a ring around the tool's place and four ticks pointing at it, outlined in the
// background colour so that it shows on any shade of the drawing beneath.
constexpr double MarkerRadius = 6.0;                             // layout units
constexpr double MarkerWidth = 1.5;                              // layout units
constexpr double MarkerHaloWidth = 3.5;                          // layout units
constexpr int MarkerSides = 24;                                  // of the polygon drawn as the ring
constexpr ColourValue MarkerColour = makeRgba(224, 80, 32, 255); // orange-red, in neither scheme

// Where the tool is at the replay's cursor, machine millimetres.
void replayToolPlace(double& x, double& y)
{
    const ReplayCursor cursor = replayDrawing.cursor;
    const std::int32_t count = toolpath.moveCount;
    const std::int32_t at = std::clamp(cursor.move, 0, count - 1);
    const Move& move = toolpath.moves[at];
    if (cursor.move >= count || cursor.fraction > 0.0) {
        const Move part = movePart(move, cursor.move >= count ? 1.0 : cursor.fraction);
        x = part.x2;
        y = part.y2;
    } else {
        x = move.x1;
        y = move.y1;
    }
}

} // namespace

void drawReplayMarker(const ViewMapping& view)
{
    double machineX = 0.0, machineY = 0.0;
    replayToolPlace(machineX, machineY);
    const double x = view.canvasX(machineX);
    const double y = view.canvasY(machineY);
    const double r = viewState.uiScale;
    const double radius = MarkerRadius * r;
    // A tool far off the canvas gets no mark (and the path no huge coordinates).
    if (!(x > -radius - ClipMargin && x < view.width + radius + ClipMargin && y > -radius - ClipMargin &&
          y < view.height + radius + ClipMargin))
        return;
    if (!beginVector(FrameImageSlot))
        return;
    const auto ring = [&] {
        constexpr double Turn = 6.283185307179586;
        pathMoveTo(x + radius, y);
        for (int side = 1; side <= MarkerSides; ++side)
            pathLineTo(x + radius * std::cos(Turn * side / MarkerSides),
                       y + radius * std::sin(Turn * side / MarkerSides));
        for (const int sign : {-1, 1}) { // ticks pointing in at the place from four sides
            pathMoveTo(x + sign * radius * 1.6, y);
            pathLineTo(x + sign * radius * 0.5, y);
            pathMoveTo(x, y + sign * radius * 1.6);
            pathLineTo(x, y + sign * radius * 0.5);
        }
    };
    const ColourValue background = colourScheme.background;
    setPaintColour(makeRgba(redOf(background), greenOf(background), blueOf(background), Opaque));
    ring();
    strokeSolid(MarkerHaloWidth * r);
    setPaintColour(MarkerColour);
    ring();
    strokeSolid(MarkerWidth * r);
    endVector();
}
