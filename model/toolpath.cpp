// Keeps the moves of the last loaded file in one growing block, with their bounds.
#include "model/toolpath.h"

#include <cmath>
#include <limits>

#include <sys/mman.h>

Toolpath toolpath;

namespace {

constexpr double MaxStoredPower = 32767.0; // largest S a record can hold

// The storage is an anonymous mapping: the kernel hands its pages out zero-filled and only
// when first written, so the zero records of a grown store cost no memory until a move
// lands there, and growing moves the pages instead of copying them. Huge pages where the
// kernel offers them: a large load then takes one page fault per 2 MiB instead of per 4 KiB.
Move* mapRecords(std::size_t count) {
    void* storage = mmap(nullptr, count * sizeof(Move), PROT_READ | PROT_WRITE,
                         MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (storage == MAP_FAILED)
        return nullptr;
    madvise(storage, count * sizeof(Move), MADV_HUGEPAGE); // advice only
    return static_cast<Move*>(storage);
}

// Grows the storage to 2 x capacity - 1 records, keeping the records; the new ones are
// zero (fresh pages, or the untouched zero tail of the last old page). false (and
// nothing changed) when the count or the bytes cannot be had.
bool growStorage() {
    const std::int64_t oldCapacity = toolpath.capacity;
    const std::int64_t newCapacity = 2 * oldCapacity - 1;
    if (toolpath.moves == nullptr || newCapacity <= oldCapacity ||
        newCapacity > std::numeric_limits<std::int32_t>::max() ||
        static_cast<std::uint64_t>(newCapacity) > std::numeric_limits<std::size_t>::max() / sizeof(Move))
        return false;
    void* grown = mremap(toolpath.moves, static_cast<std::size_t>(oldCapacity) * sizeof(Move),
                         static_cast<std::size_t>(newCapacity) * sizeof(Move), MREMAP_MAYMOVE);
    if (grown == MAP_FAILED)
        return false;
    // The advice carries over with the moved pages; given again for the grown part.
    madvise(grown, static_cast<std::size_t>(newCapacity) * sizeof(Move), MADV_HUGEPAGE);
    toolpath.moves = static_cast<Move*>(grown);
    toolpath.capacity = static_cast<std::int32_t>(newCapacity);
    return true;
}

// S as a record holds it: 0..32767, halves to the even neighbour. A NaN would make the
// integer conversion undefined, so it stores 0 like any other power not above zero.
inline std::int16_t storedPower(double power) {
    if (!(power > 0.0))
        return 0;
    if (power > MaxStoredPower)
        return static_cast<std::int16_t>(MaxStoredPower);
    return static_cast<std::int16_t>(std::rint(power)); // halves to even in the default rounding
}

// Written as selections rather than branches: the compiler makes them min/max
// instructions, and the bounds change too irregularly for a branch to guess.
inline void widenRange(double value, double& low, double& high) {
    low = value < low ? value : low;
    high = value > high ? value : high;
}

inline void widen(Bounds& bounds, double x1, double y1, double x2, double y2) {
    if (!bounds.valid) {
        bounds.minX = bounds.maxX = x1;
        bounds.minY = bounds.maxY = y1;
        bounds.valid = true;
    }
    widenRange(x1, bounds.minX, bounds.maxX);
    widenRange(x2, bounds.minX, bounds.maxX);
    widenRange(y1, bounds.minY, bounds.maxY);
    widenRange(y2, bounds.minY, bounds.maxY);
}

} // namespace

bool createToolpath() {
    Move* storage = mapRecords(InitialMoveCapacity);
    if (storage == nullptr)
        return false;
    if (toolpath.moves != nullptr)
        munmap(toolpath.moves, static_cast<std::size_t>(toolpath.capacity) * sizeof(Move));
    toolpath = Toolpath{};
    toolpath.moves = storage;
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
