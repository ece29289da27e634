// Measures the extent of each chunk of moves, sharing the chunks out over the cores.
#include "view/chunk_extents.h"

#include "platform/fan_out.h"
#include "view/renderer.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>

ChunkExtents chunkExtents;

namespace {

// The extent of chunks [first, last).
void measureChunks(std::int32_t first, std::int32_t last)
{
    constexpr float Infinity = std::numeric_limits<float>::infinity();
    for (std::int32_t chunk = first; chunk < last; ++chunk) {
        const Move* move = toolpath.moves + static_cast<std::ptrdiff_t>(chunk) * BandChunkMoves;
        const Move* const end = toolpath.moves + std::min(toolpath.moveCount, (chunk + 1) * BandChunkMoves);
        // Selections, not branches, and the comparisons pass a NaN over: it is noted apart.
        float low = Infinity, high = -Infinity, left = Infinity, right = -Infinity;
        bool undefined = false;
        for (; move != end; ++move) {
            const float y1 = move->y1, y2 = move->y2, x1 = move->x1, x2 = move->x2;
            low = y1 < low ? y1 : low;
            low = y2 < low ? y2 : low;
            high = y1 > high ? y1 : high;
            high = y2 > high ? y2 : high;
            left = x1 < left ? x1 : left;
            left = x2 < left ? x2 : left;
            right = x1 > right ? x1 : right;
            right = x2 > right ? x2 : right;
            undefined |= std::isnan(y1) | std::isnan(y2) | std::isnan(x1) | std::isnan(x2);
        }
        const auto at = static_cast<std::size_t>(chunk);
        chunkExtents.low[at] = undefined ? -Infinity : low;
        chunkExtents.high[at] = undefined ? Infinity : high;
        chunkExtents.left[at] = undefined ? -Infinity : left;
        chunkExtents.right[at] = undefined ? Infinity : right;
    }
}

} // namespace

bool updateChunkExtents(int threads)
{
    ChunkExtents& chunks = chunkExtents;
    if (chunks.moves == toolpath.moves && chunks.count == toolpath.moveCount &&
        chunks.revision == toolpath.revision)
        return true;
    const std::int32_t count = (toolpath.moveCount + BandChunkMoves - 1) / BandChunkMoves;
    chunks.moves = nullptr; // measured for no toolpath until done
    try {
        for (std::vector<float>* extent : {&chunks.low, &chunks.high, &chunks.left, &chunks.right})
            extent->resize(static_cast<std::size_t>(count));
    } catch (const std::bad_alloc&) {
        return false;
    }
    const auto edge = [&](int index) {
        return static_cast<std::int32_t>(static_cast<long long>(count) * index / threads);
    };
    runShares(threads, [&edge](int index) { measureChunks(edge(index), edge(index + 1)); });
    chunks.moves = toolpath.moves;
    chunks.count = toolpath.moveCount;
    chunks.revision = toolpath.revision;
    return true;
}
