// Closes the job totals gathered while moves are emitted.
#include "model/job_stats.h"

namespace {

constexpr double PowerWhenNothingCut = 1000.0; // shading scale for a job without cuts

} // namespace

void endOfLoadStep() {
    if (!(toolpath.maxPower > 0.0))
        toolpath.maxPower = PowerWhenNothingCut;
}
