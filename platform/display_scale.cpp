// Converts between layout units and device pixels by the display scale read at start.
#include "platform/display_scale.h"

#include "platform/toolkit_state.h"
#include "platform/toolkit_types.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

int clampInt(long long v, int lo, int hi)
{
    return static_cast<int>(std::clamp<long long>(v, lo, hi));
}

} // namespace

double displayScale()
{
    return toolkit.scale;
}

int layoutToDevice(int layoutValue)
{
    if (layoutValue == UnsetPosition)
        return layoutValue;
    return clampInt(std::llround(layoutValue * toolkit.scale), INT_MIN, INT_MAX);
}

int deviceToLayout(int deviceValue)
{
    if (deviceValue == UnsetPosition)
        return deviceValue;
    const double v = std::floor(deviceValue / toolkit.scale + 0.5);
    return clampInt(static_cast<long long>(v), INT_MIN, INT_MAX);
}

int logicalToDevice(double logical)
{
    const double device = std::round(logical * toolkit.scale);
    if (!(device == device))
        return 0;
    return clampInt(static_cast<long long>(std::clamp(device, -2.0e9, 2.0e9)), INT_MIN, INT_MAX);
}
