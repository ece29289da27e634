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

// Only feed moves are timed; rapids have no rate in the file.
inline bool isTimed(int motionMode, double feed)
{
    const bool feedMotion =
        motionMode == LinearMotion || motionMode == ClockwiseArc || motionMode == CounterClockwiseArc;
    return feedMotion && feed > 0.0;
}

// After a path of `length` mm is stored: a G1/G2/G3 path with a positive feed (mm per
// minute) adds length / feed minutes, in file order.
inline void pathTimeStep(int motionMode, double feed, double length)
{
    constexpr double SecondsPerMinute = 60.0; // the feed is a rate per minute
    if (isTimed(motionMode, feed))
        toolpath.estimatedSeconds += length / feed * SecondsPerMinute;
}

// After a straight move is stored: its length over the feed (an arc drawn as its chord
// counts the chord).
inline void timeStep(int motionMode, double feed, double x1, double y1, double x2, double y2)
{
    if (!isTimed(motionMode, feed))
        return;
    const double dx = x2 - x1;
    const double dy = y2 - y1;
    pathTimeStep(motionMode, feed, std::sqrt(dx * dx + dy * dy));
}

// Once at the end of a load: maxPower becomes DefaultMaxPower when nothing cut.
void endOfLoadStep();
