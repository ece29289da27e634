// Keeps the moves of the last loaded file in one growing block, with their bounds.
#include "model/toolpath.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

Toolpath toolpath;

namespace {

constexpr double MaxStoredPower = 32767.0; // largest S a record can hold

// Grows the storage to 2 x capacity - 1 records, keeping the records and zero-filling the
// new ones. false (and nothing changed) when the count or the bytes cannot be had.
bool growStorage() {
    const std::int64_t oldCapacity = toolpath.capacity;
    std::int64_t newCapacity = 2 * oldCapacity - 1;
    if (newCapacity <= oldCapacity)
        newCapacity = InitialMoveCapacity; // a store never created starts at the usual size
    if (newCapacity > std::numeric_limits<std::int32_t>::max())
        return false;
    if (static_cast<std::uint64_t>(newCapacity) > std::numeric_limits<std::size_t>::max() / sizeof(Move))
        return false;
    void* grown = std::realloc(toolpath.moves, static_cast<std::size_t>(newCapacity) * sizeof(Move));
    if (grown == nullptr)
        return false;
    toolpath.moves = static_cast<Move*>(grown);
    std::memset(toolpath.moves + oldCapacity, 0,
                static_cast<std::size_t>(newCapacity - oldCapacity) * sizeof(Move));
    toolpath.capacity = static_cast<std::int32_t>(newCapacity);
    return true;
}

// S as a record holds it: 0..32767, halves to the even neighbour. A NaN (from an
// infinite S meeting a negative one, say) would make the integer conversion undefined,
// so it stores 0 like any other power that is not above zero.
inline std::int16_t storedPower(double power) {
    if (!(power > 0.0))
        return 0;
    if (power > MaxStoredPower)
        return static_cast<std::int16_t>(MaxStoredPower);
    return static_cast<std::int16_t>(std::nearbyint(power));
}

inline void widen(Bounds& bounds, double x1, double y1, double x2, double y2) {
    if (!bounds.valid) {
        bounds.minX = bounds.maxX = x1;
        bounds.minY = bounds.maxY = y1;
        bounds.valid = true;
    }
    for (double x : {x1, x2}) {
        if (x < bounds.minX)
            bounds.minX = x;
        if (x > bounds.maxX)
            bounds.maxX = x;
    }
    for (double y : {y1, y2}) {
        if (y < bounds.minY)
            bounds.minY = y;
        if (y > bounds.maxY)
            bounds.maxY = y;
    }
}

} // namespace

bool createToolpath() {
    void* storage = std::calloc(InitialMoveCapacity, sizeof(Move));
    if (storage == nullptr)
        return false;
    std::free(toolpath.moves);
    toolpath = Toolpath{};
    toolpath.moves = static_cast<Move*>(storage);
    toolpath.capacity = InitialMoveCapacity;
    return true;
}

void clearToolpath() {
    toolpath.moveCount = 0;
    toolpath.estimatedSeconds = 0.0;
    toolpath.maxPower = 0.0;
    toolpath.allBounds.valid = false;
    toolpath.cutBounds.valid = false;
}

bool appendMove(double x1, double y1, double x2, double y2, double power, bool travel) {
    if (toolpath.moveCount >= toolpath.capacity && !growStorage())
        return false;

    // Coordinates are narrowed only here; the bounds below use the doubles.
    Move& move = toolpath.moves[toolpath.moveCount];
    move.x1 = static_cast<float>(x1);
    move.y1 = static_cast<float>(y1);
    move.x2 = static_cast<float>(x2);
    move.y2 = static_cast<float>(y2);
    move.power = storedPower(power);
    move.travel = travel ? 1 : 0;
    move.unused = 0;
    ++toolpath.moveCount;

    widen(toolpath.allBounds, x1, y1, x2, y2);
    if (!travel)
        widen(toolpath.cutBounds, x1, y1, x2, y2);
    return true;
}
