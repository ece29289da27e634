// Adds up the estimated job time and the largest cutting power while moves are emitted.
#include "model/job_stats.h"

#include <cmath>

#include "model/toolpath.h"

namespace {

constexpr double SecondsPerMinute = 60.0;   // F is a rate per minute
constexpr double PowerWhenNothingCut = 1000.0; // shading scale for a job without cuts

// Only feed moves are timed; rapids have no rate in the file.
inline bool isFeedMotion(int motionMode) {
    return motionMode == 1 || motionMode == 2 || motionMode == 3;
}

} // namespace

void powerStep(double power, bool travel) {
    if (!travel && power > toolpath.maxPower)
        toolpath.maxPower = power;
}

void timeStep(int motionMode, double feed, double x1, double y1, double x2, double y2) {
    if (!isFeedMotion(motionMode) || !(feed > 0.0))
        return;
    const double dx = x2 - x1;
    const double dy = y2 - y1;
    // Chord length over the feed as written, in file order; arcs count as their chord.
    toolpath.estimatedSeconds += std::sqrt(dx * dx + dy * dy) / feed * SecondsPerMinute;
}

void endOfLoadStep() {
    if (!(toolpath.maxPower > 0.0))
        toolpath.maxPower = PowerWhenNothingCut;
}
