// Applies what a line says to the modes in force and turns it into moves: the end point,
// cutting or travel, the arcs, and the job totals of each move. endLine runs once per
// line of every file, so it and its steps are inline; arcs, rare, are out of line.
#pragma once

#include <cstdint>

#include "model/job_stats.h"
#include "model/line_words.h"
#include "model/motion.h"
#include "model/toolpath.h"
#include "model/units.h"

namespace gcode_lines {

// Everything that persists from line to line during one load.
struct Modes {
    double x = 0.0, y = 0.0;     // current position, millimetres
    double unitFactor = 1.0;     // 25.4 after G20
    bool relative = false;       // G91
    int motionMode = NoMotion;   // last G0..G3 in force
    bool powerOn = true;         // M3/M4 on, M5 off
    double power = 0.0;          // S as written
    double feed = 0.0;           // millimetres per minute, fixed by the unit of the line that set it
    bool arcs = false;           // G2/G3 in the XY plane are followed as arcs (loadArcs)
    std::int8_t plane = PlaneXY; // G17, G18, G19
    bool relativeCentres = true; // G91.1: I and J are offsets from the start; G90.1: absolute
};

inline double endCoordinate(bool seen, double written, double current, const Modes& modes)
{
    if (!seen)
        return current;
    const double distance = written * modes.unitFactor;
    return modes.relative ? current + distance : distance;
}

inline bool isTravel(const Modes& modes)
{
    return modes.motionMode == RapidMotion || !(modes.power > 0.0) || !modes.powerOn;
}

// G0 or G1 (one unsigned test: NoMotion wraps past them).
inline bool isStraightMotion(int motionMode)
{
    return static_cast<unsigned>(motionMode) <= static_cast<unsigned>(LinearMotion);
}

inline bool isArcMotion(int motionMode)
{
    return motionMode == ClockwiseArc || motionMode == CounterClockwiseArc;
}

// Whether the motion in force is an arc to follow as an arc rather than as its chord.
inline bool followsArc(const Modes& modes)
{
    return modes.arcs && isArcMotion(modes.motionMode) && modes.plane == PlaneXY;
}

// Emits one move with its statistics and the line it came from. false when the store is full and cannot grow.
inline bool emitMove(const Modes& modes, double endX, double endY)
{
    const bool travel = isTravel(modes);
    powerStep(modes.power, travel);
    if (!appendMove(modes.x, modes.y, endX, endY, modes.power, travel))
        return false;
    timeStep(modes.motionMode, modes.feed, modes.x, modes.y, endX, endY);
    lineStep(toolpath.lines, toolpath.moveCount - 1);
    return true;
}

// The move of a line that has X, Y, I or J and is no G0 or G1 move: for a G2/G3 line an
// arc, or the straight move to its end; nothing before the first motion word or for I and
// J alone on a straight move. false when the store is full. Kept out of line: the loop
// over lines stays small, and arcs are rare next to straight moves.
bool endArcLine(Modes& modes, const LineWords& line);

inline void throwSwitches(Modes& modes, const LineWords& line)
{
    const auto thrown = [&](std::uint8_t which, bool& mode) {
        if (line.said & which)
            mode = (line.on & which) != 0;
    };
    if (line.said & SaysInches)
        modes.unitFactor = line.on & SaysInches ? MillimetresPerInch : 1.0;
    thrown(SaysRelative, modes.relative);
    thrown(SaysLaser, modes.powerOn);
    thrown(SaysRelativeCentres, modes.relativeCentres);
    if (line.said & SaysPlane)
        modes.plane = line.plane;
}

// The line's words take effect here, once the whole line is read. false when the load
// must stop.
inline bool endLine(Modes& modes, const LineWords& line)
{
    if (line.said != 0) // most lines throw no switch: one test for them all
        throwSwitches(modes, line);
    if (line.seen & SeenS)
        modes.power = line.power;
    // A feed is a speed: the unit of its own line fixes it, and a later G20 or G21 does not.
    if (line.seen & SeenF)
        modes.feed = line.feed * modes.unitFactor;
    if (line.motionCode != NoMotion)
        modes.motionMode = line.motionCode;
    if (!(line.seen & (SeenX | SeenY | SeenI | SeenJ)))
        return true;
    // G0 and G1 lines with X or Y, by far the most, go on here with one test; arcs (with I
    // or J alone a full circle) and lines before the first motion word are sorted out apart.
    if (!(isStraightMotion(modes.motionMode) && (line.seen & (SeenX | SeenY))))
        return endArcLine(modes, line);
    const double endX = endCoordinate((line.seen & SeenX) != 0, line.x, modes.x, modes);
    const double endY = endCoordinate((line.seen & SeenY) != 0, line.y, modes.y, modes);
    if (endX != modes.x || endY != modes.y) {
        if (!emitMove(modes, endX, endY))
            return false;
    }
    modes.x = endX;
    modes.y = endY;
    return true;
}

} // namespace gcode_lines
