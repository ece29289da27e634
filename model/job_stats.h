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

// After a move is stored: G1/G2/G3 moves with a positive feed add their length / F minutes,
// and the pace record notes the move's rate for the replay.
inline void timeStep(int motionMode, double feed, double x1, double y1, double x2, double y2)
{
    constexpr double SecondsPerMinute = 60.0; // F is a rate per minute
    // Only feed moves are timed; rapids have no rate in the file.
    const bool feedMotion =
        motionMode == LinearMotion || motionMode == ClockwiseArc || motionMode == CounterClockwiseArc;
    const bool timed = feedMotion && feed > 0.0;
    paceStep(toolpath.pace, toolpath.moveCount - 1, toolpath.estimatedSeconds,
             timed ? SecondsPerMinute / feed : 0.0);
    if (!timed)
        return;
    const double dx = x2 - x1;
    const double dy = y2 - y1;
    // Chord length over the feed as written, in file order; arcs count as their chord.
    toolpath.estimatedSeconds += std::sqrt(dx * dx + dy * dy) / feed * SecondsPerMinute;
}

// Once at the end of a load: maxPower becomes DefaultMaxPower when nothing cut.
void endOfLoadStep();
