// Closes the job totals gathered while moves are emitted.
#include "model/job_stats.h"

void endOfLoadStep()
{
    if (!(toolpath.maxPower > 0.0))
        toolpath.maxPower = DefaultMaxPower; // the shading scale of a job without cuts
}
