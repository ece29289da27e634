// The job totals gathered while moves are emitted: estimated time and largest power.
#pragma once

#include <cmath>

#include "model/motion.h"
#include "model/toolpath.h"

// Before a move is stored: a cutting move with a larger S raises maxPower.
inline void powerStep(double power, bool travel)
{
    if (!travel && power > toolpath.maxPower)
        toolpath.maxPower = power;
}

constexpr double SecondsPerMinute = 60.0; // F is a rate per minute

// Only feed moves are timed; rapids have no rate in the file.
inline bool isTimed(int motionMode, double feed)
{
    const bool feedMotion =
        motionMode == LinearMotion || motionMode == ClockwiseArc || motionMode == CounterClockwiseArc;
    return feedMotion && feed > 0.0;
}

// After the moves from `firstMove` on are stored as one path of `length` mm (an arc
// followed as an arc): a G1/G2/G3 path with a positive feed (mm per minute) adds
// length / feed minutes, in file order, and the pace record notes each of its moves, the
// path's time spread evenly over them (an arc's moves are of one length).
inline void pathTimeStep(int motionMode, double feed, double length, std::int32_t firstMove)
{
    const bool timed = isTimed(motionMode, feed);
    const double before = toolpath.estimatedSeconds;
    const double seconds = timed ? length / feed * SecondsPerMinute : 0.0;
    lineRun(toolpath.lines, firstMove, toolpath.moveCount);
    paceRun(toolpath.pace, firstMove, toolpath.moveCount - firstMove, before, seconds,
            timed ? SecondsPerMinute / feed : 0.0);
    if (timed)
        toolpath.estimatedSeconds += seconds;
}

// After a straight move is stored: its length over the feed (an arc drawn as its chord
// counts the chord), and the pace record notes the move's rate for the replay.
inline void timeStep(int motionMode, double feed, double x1, double y1, double x2, double y2)
{
    const bool timed = isTimed(motionMode, feed);
    paceStep(toolpath.pace, toolpath.moveCount - 1, toolpath.estimatedSeconds,
             timed ? SecondsPerMinute / feed : 0.0);
    if (!timed)
        return;
    const double dx = x2 - x1;
    const double dy = y2 - y1;
    toolpath.estimatedSeconds += std::sqrt(dx * dx + dy * dy) / feed * SecondsPerMinute;
}

// Once at the end of a load: maxPower becomes DefaultMaxPower when nothing cut.
void endOfLoadStep();
