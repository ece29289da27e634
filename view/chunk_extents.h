// The lowest and highest x and y of the moves, a chunk of moves at a time, so that a band
// can pass over a chunk that lies wholly beyond it without transforming its moves one by
// one: where the moves go through the job row by row, as in a raster, each band then walks
// little more than its own share of them.
#pragma once

#include "model/toolpath.h"

#include <cstdint>
#include <vector>

// The chunks are the BandChunkMoves consecutive moves from each multiple of it. Made again
// when the toolpath has changed.
struct ChunkExtents {
    std::vector<float> low, high;   // y; -inf and +inf for a chunk with a NaN coordinate
    std::vector<float> left, right; // x; the same
    const Move* moves = nullptr;
    std::int32_t count = 0;
    std::uint32_t revision = 0;
};

// Written only by updateChunkExtents.
extern ChunkExtents chunkExtents;

// Measures the chunks again, on `threads` threads, when the toolpath has changed: one
// pass over the moves, as fast as memory is read. false when the memory for the extents
// cannot be had.
bool updateChunkExtents(int threads);
