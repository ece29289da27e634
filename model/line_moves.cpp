// The arcs of the G-code reader: an arc line followed with moves, or kept as its chord.
#include "model/line_moves.h"

#include "model/arcs.h"

namespace gcode_lines {

namespace {

// An arc centre coordinate: after G91.1 an offset from the start, after G90.1 where it
// lies; a missing word puts it level with the start.
inline double centreCoordinate(bool seen, double written, double start, const Modes& modes)
{
    if (!seen)
        return start;
    const double distance = written * modes.unitFactor;
    return modes.relativeCentres ? start + distance : distance;
}

// Follows the line's arc with moves, or stores its chord when no machine would run it.
// false when the store is full.
bool emitArc(const Modes& modes, const LineWords& line, double endX, double endY)
{
    const bool clockwise = modes.motionMode == ClockwiseArc;
    const bool byRadius = (line.seen & SeenR) != 0;
    const bool byCentre = (line.seen & (SeenI | SeenJ)) != 0;
    ArcPlan plan;
    bool runs = false; // neither form, or both at once, is refused by machines
    if (byRadius && !byCentre) {
        runs = planRadiusArc(modes.x, modes.y, endX, endY, line.i * modes.unitFactor, clockwise, plan);
    } else if (byCentre && !byRadius) {
        const double cx = centreCoordinate((line.seen & SeenI) != 0, line.i, modes.x, modes);
        const double cy = centreCoordinate((line.seen & SeenJ) != 0, line.j, modes.y, modes);
        runs = planCentreArc(modes.x, modes.y, endX, endY, cx, cy, clockwise, plan);
    }
    if (!runs)
        return (endX == modes.x && endY == modes.y) || emitMove(modes, endX, endY);
    const bool travel = isTravel(modes);
    const std::int32_t before = toolpath.moveCount;
    const bool stored = appendArcMoves(plan, modes.x, modes.y, endX, endY, modes.power, travel);
    // Like any move, an arc counts only when it stores something.
    if (toolpath.moveCount > before) {
        powerStep(modes.power, travel);
        pathTimeStep(modes.motionMode, modes.feed, arcLength(plan), before);
    }
    return stored;
}

} // namespace

[[gnu::noinline]] bool endArcLine(Modes& modes, const LineWords& line)
{
    if (!isArcMotion(modes.motionMode))
        return true;
    const double endX = endCoordinate((line.seen & SeenX) != 0, line.x, modes.x, modes);
    const double endY = endCoordinate((line.seen & SeenY) != 0, line.y, modes.y, modes);
    if (followsArc(modes)) {
        if (!emitArc(modes, line, endX, endY))
            return false;
    } else {
        ++toolpath.straightArcs; // even a full circle without X and Y, which goes nowhere
        if ((endX != modes.x || endY != modes.y) && !emitMove(modes, endX, endY))
            return false;
    }
    modes.x = endX;
    modes.y = endY;
    return true;
}

} // namespace gcode_lines
