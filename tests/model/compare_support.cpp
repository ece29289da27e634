// Compares the store after a load with what the reference reading says it should hold.
#include "compare_support.h"

#include "gcode_test_support.h"
#include "model/toolpath.h"

namespace {

std::string boundsDifference(const char* which, const Bounds& got, const Bounds& want)
{
    if (got.valid != want.valid)
        return std::string(which) + " validity differs";
    if (want.valid && (got.minX != want.minX || got.minY != want.minY || got.maxX != want.maxX ||
                       got.maxY != want.maxY))
        return std::string(which) + " differ";
    return "";
}

} // namespace

std::string differenceFromReference(const ReferenceResult& expected)
{
    if (toolpath.moveCount != static_cast<std::int32_t>(expected.moves.size()))
        return "moveCount " + std::to_string(toolpath.moveCount) + ", expected " +
               std::to_string(expected.moves.size());
    for (std::size_t i = 0; i < expected.moves.size(); ++i) {
        if (!sameMove(toolpath.moves[i], expected.moves[i]))
            return "move " + std::to_string(i) + ": " + describe(toolpath.moves[i]) + ", expected " +
                   describe(expected.moves[i]);
    }
    if (std::string d = boundsDifference("allBounds", toolpath.allBounds, expected.allBounds);
        !d.empty())
        return d;
    if (std::string d = boundsDifference("cutBounds", toolpath.cutBounds, expected.cutBounds);
        !d.empty())
        return d;
    if (toolpath.maxPower != expected.maxPower)
        return "maxPower " + std::to_string(toolpath.maxPower) + ", expected " +
               std::to_string(expected.maxPower);
    if (toolpath.estimatedSeconds != expected.estimatedSeconds)
        return "estimatedSeconds " + std::to_string(toolpath.estimatedSeconds) + ", expected " +
               std::to_string(expected.estimatedSeconds);
    return "";
}
