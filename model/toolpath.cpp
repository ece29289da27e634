// Keeps the moves of the last loaded file in one growing block, with their bounds.
#include "model/toolpath.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <utility>

#include <sys/mman.h>
#include <unistd.h>

Toolpath toolpath;
std::int32_t movesReady = 0;
std::int32_t largestMoveCapacity = std::numeric_limits<std::int32_t>::max();

namespace {

// The storage is an anonymous mapping: the kernel hands its pages out zero-filled and only
// when first written, so the zero records of a grown store cost no memory until a move
// lands there, and growing moves the pages instead of copying them.
Move* mapRecords(std::size_t count)
{
    void* storage =
        mmap(nullptr, count * sizeof(Move), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return storage == MAP_FAILED ? nullptr : static_cast<Move*>(storage);
}

} // namespace

// The new records are fresh pages, or the untouched zero tail of the last old page.
bool growToolpath()
{
    const std::int64_t oldCapacity = toolpath.capacity;
    const std::int64_t newCapacity = 2 * oldCapacity - 1;
    if (toolpath.moves == nullptr || newCapacity <= oldCapacity ||
        newCapacity > largestMoveCapacity ||
        static_cast<std::uint64_t>(newCapacity) >
            std::numeric_limits<std::size_t>::max() / sizeof(Move))
        return false;
    void* grown = mremap(toolpath.moves, static_cast<std::size_t>(oldCapacity) * sizeof(Move),
                         static_cast<std::size_t>(newCapacity) * sizeof(Move), MREMAP_MAYMOVE);
    if (grown == MAP_FAILED)
        return false;
    toolpath.moves = static_cast<Move*>(grown);
    toolpath.capacity = static_cast<std::int32_t>(newCapacity);
    return true;
}

bool readyMoreMoves()
{
    // As many records ahead as are stored, from 4096 up to a megabyte of them: few calls on
    // a large file, and a small file's load does not make memory it will never use.
    constexpr std::int64_t FewestMoves = 4096;
    constexpr std::int64_t MostMoves = (std::int64_t{1} << 20) / sizeof(Move);
    if (toolpath.moveCount >= toolpath.capacity && !growToolpath())
        return false;
    const std::int64_t first = toolpath.moveCount;
    const std::int64_t ahead = std::clamp<std::int64_t>(first, FewestMoves, MostMoves);
    const std::int64_t last = std::min<std::int64_t>(toolpath.capacity, first + ahead);
    // From the page holding the first record not made yet: madvise takes whole pages. A
    // load into a store an earlier load has used finds its pages made, and walking them
    // again would cost about as much as the moves written there. A kernel without
    // MADV_POPULATE_WRITE refuses it, and the pages come one fault at a time.
    const std::int64_t unmade = std::max<std::int64_t>(first, toolpath.populated);
    if (unmade < last) {
        const std::uintptr_t pageSize = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
        const auto from = reinterpret_cast<std::uintptr_t>(toolpath.moves + unmade) & ~(pageSize - 1);
        const auto to = reinterpret_cast<std::uintptr_t>(toolpath.moves + last);
#ifdef MADV_POPULATE_WRITE
        madvise(reinterpret_cast<void*>(from), to - from, MADV_POPULATE_WRITE);
#endif
        toolpath.populated = static_cast<std::int32_t>(last);
    }
    movesReady = static_cast<std::int32_t>(last);
    return true;
}

bool createToolpath()
{
    Move* storage = mapRecords(InitialMoveCapacity);
    if (storage == nullptr)
        return false;
    if (toolpath.moves != nullptr)
        munmap(toolpath.moves, static_cast<std::size_t>(toolpath.capacity) * sizeof(Move));
    const std::uint32_t revision = toolpath.revision;
    toolpath = Toolpath{};
    toolpath.revision = revision + 1;
    toolpath.moves = storage;
    toolpath.capacity = InitialMoveCapacity;
    movesReady = 0;
    return true;
}

void clearToolpath()
{
    ++toolpath.revision;
    toolpath.moveCount = 0;
    movesReady = 0;
    toolpath.estimatedSeconds = 0.0;
    toolpath.straightArcs = 0;
    toolpath.maxPower = 0.0;
    toolpath.allBounds.valid = false;
    toolpath.cutBounds.valid = false;
    clearJobPace(toolpath.pace);
    clearJobLines(toolpath.lines);
}

const Bounds& jobBounds()
{
    return toolpath.cutBounds.valid ? toolpath.cutBounds : toolpath.allBounds;
}

bool setToolpathAside(Toolpath& aside)
{
    Move* storage = mapRecords(InitialMoveCapacity);
    if (storage == nullptr)
        return false;
    aside = std::move(toolpath); // the pace record goes along without a copy
    toolpath.moves = storage;
    toolpath.capacity = InitialMoveCapacity;
    toolpath.populated = 0;
    ++toolpath.revision;
    clearToolpath();
    return true;
}

void endToolpathAside(Toolpath& aside, bool restore)
{
    if (restore)
        std::swap(toolpath, aside);
    munmap(aside.moves, static_cast<std::size_t>(aside.capacity) * sizeof(Move));
    // Past both revisions: whatever was worked out for either store is out of date.
    toolpath.revision = std::max(toolpath.revision, aside.revision) + 1;
    aside = Toolpath{};
    movesReady = 0; // the next load readies its records afresh
}
