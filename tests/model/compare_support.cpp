// Compares the store after a load with what the reference reading says it should hold.
#include "compare_support.h"

#include "gcode_test_support.h"
#include "model/toolpath.h"

#include <algorithm>
#include <cmath>

namespace {

// Equal, or (`loose`) equal to a millionth: arc points computed two ways differ in their
// last bits, and a float may round either side.
bool near(double a, double b, bool loose)
{
    return a == b || (loose && std::fabs(a - b) <= 1e-6 * std::max({1.0, std::fabs(a), std::fabs(b)}));
}

bool nearMove(const Move& a, const Move& b, bool loose)
{
    return near(a.x1, b.x1, loose) && near(a.y1, b.y1, loose) && near(a.x2, b.x2, loose) &&
           near(a.y2, b.y2, loose) && a.power == b.power && a.travel == b.travel &&
           a.unused == b.unused;
}

std::string boundsDifference(const char* which, const Bounds& got, const Bounds& want, bool loose)
{
    if (got.valid != want.valid)
        return std::string(which) + " validity differs";
    if (want.valid && !(near(got.minX, want.minX, loose) && near(got.minY, want.minY, loose) &&
                        near(got.maxX, want.maxX, loose) && near(got.maxY, want.maxY, loose)))
        return std::string(which) + " differ";
    return "";
}

} // namespace

std::string differenceFromReference(const ReferenceResult& expected, bool loose)
{
    if (toolpath.moveCount != static_cast<std::int32_t>(expected.moves.size()))
        return "moveCount " + std::to_string(toolpath.moveCount) + ", expected " +
               std::to_string(expected.moves.size());
    for (std::size_t i = 0; i < expected.moves.size(); ++i) {
        if (!nearMove(toolpath.moves[i], expected.moves[i], loose))
            return "move " + std::to_string(i) + ": " + describe(toolpath.moves[i]) + ", expected " +
                   describe(expected.moves[i]);
    }
    if (std::string d = boundsDifference("allBounds", toolpath.allBounds, expected.allBounds, loose);
        !d.empty())
        return d;
    if (std::string d = boundsDifference("cutBounds", toolpath.cutBounds, expected.cutBounds, loose);
        !d.empty())
        return d;
    if (toolpath.maxPower != expected.maxPower)
        return "maxPower " + std::to_string(toolpath.maxPower) + ", expected " +
               std::to_string(expected.maxPower);
    if (!near(toolpath.estimatedSeconds, expected.estimatedSeconds, loose))
        return "estimatedSeconds " + std::to_string(toolpath.estimatedSeconds) + ", expected " +
               std::to_string(expected.estimatedSeconds);
    if (toolpath.straightArcs != expected.straightArcs)
        return "straightArcs " + std::to_string(toolpath.straightArcs) + ", expected " +
               std::to_string(expected.straightArcs);
    return "";
}
