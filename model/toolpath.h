// The single store of the last loaded file: straight XY moves in millimetres, their
// bounds and the job totals.
#pragma once

#include "model/job_lines.h"
#include "model/job_pace.h"

#include <cassert>
#include <cmath>
#include <cstddef>
#include <cstdint>

// One straight segment, 20 bytes, laid out as it is written by `gcode-info --moves-out`.
struct Move {
    float x1, y1, x2, y2; // millimetres
    std::int16_t power;   // S in force, clamped to 0..32767, rounded half to even
    std::uint8_t travel;  // 1 travel, 0 cutting
    std::uint8_t unused;  // always 0
};
static_assert(sizeof(Move) == 20, "a move record is 20 bytes");
static_assert(offsetof(Move, x1) == 0 && offsetof(Move, y1) == 4 && offsetof(Move, x2) == 8 &&
                  offsetof(Move, y2) == 12 && offsetof(Move, power) == 16 &&
                  offsetof(Move, travel) == 18,
              "move fields are packed in this order");

struct Bounds {
    double minX = 0.0, minY = 0.0, maxX = 0.0, maxY = 0.0;
    bool valid = false; // while false the four values mean nothing
};

constexpr double DefaultMaxPower = 1000.0; // S shaded as full black when nothing cut

struct Toolpath {
    Move* moves = nullptr;             // capacity zero-filled records
    std::int32_t capacity = 0;         // records allocated; only grows
    std::int32_t moveCount = 0;        // valid records; 0 = nothing loaded
    Bounds allBounds;                  // end points of every move
    Bounds cutBounds;                  // end points of cutting moves
    double maxPower = DefaultMaxPower; // largest S of a cutting move
    double estimatedSeconds = 0.0;
    std::int32_t straightArcs = 0; // G2/G3 lines drawn as the straight move to their end
    std::uint32_t revision = 0;    // changes whenever the store is emptied or replaced
    JobPace pace;                  // how the estimate spreads over the moves
    JobLines lines;                // which line of the file made each move
    std::int32_t populated = 0;    // records below this have their pages made (see readyMoreMoves)
};

constexpr std::int32_t InitialMoveCapacity = 100001; // records at start-up

extern Toolpath toolpath;

// Allocates the start-up storage of InitialMoveCapacity zero-filled records and sets the
// start-up values; false when the memory cannot be had.
bool createToolpath();

// Empties the store for a new load: no moves, bounds invalid, totals 0. Keeps the storage.
void clearToolpath();

// The bounds the job is fitted and measured by: the cutting moves', or every move's when
// nothing cuts. Invalid when the store holds no moves.
const Bounds& jobBounds();

// Grows the storage to 2 x capacity - 1 records, keeping the records; the new ones are
// zero. false (and nothing changed) when the count or the bytes cannot be had.
bool growToolpath();

// The most records growToolpath makes room for. Tests lower it to meet a store that cannot
// grow without filling the memory.
extern std::int32_t largestMoveCapacity;

// For a load that must leave the shown toolpath whole if it fails: moves the toolpath into
// `aside` and gives the store fresh storage of InitialMoveCapacity records. false, and
// nothing changed, when that memory cannot be had.
bool setToolpathAside(Toolpath& aside);

// Ends what setToolpathAside began: the new toolpath stays and the old storage is freed,
// or, with `restore`, the old toolpath comes back and the new storage is freed.
void endToolpathAside(Toolpath& aside, bool restore);

// Records below this index can be written at once. appendMove asks for more a chunk at a
// time: the kernel then makes a chunk's pages in one go instead of one fault per page.
extern std::int32_t movesReady;

// Grows the storage when it is full and readies the next chunk of records; false when the
// storage is full and cannot grow.
bool readyMoreMoves();

// The per-move steps below are inline: the interpreter's loop runs them for each of
// millions of moves, and a call apiece keeps its values from staying in registers.
namespace toolpath_steps {

constexpr double MaxStoredPower = 32767.0; // largest S a record can hold

// S as a record holds it: 0..32767, halves to the even neighbour. A NaN would make the
// integer conversion undefined, so it stores 0 like any other power not above zero.
inline std::int16_t storedPower(double power)
{
    if (!(power > 0.0))
        return 0;
    if (power > MaxStoredPower)
        return static_cast<std::int16_t>(MaxStoredPower);
    return static_cast<std::int16_t>(std::rint(power)); // halves to even in the default rounding
}

// Written as selections rather than branches: the compiler makes them min/max
// instructions, and the bounds change too irregularly for a branch to guess.
inline void widenRange(double value, double& low, double& high)
{
    low = value < low ? value : low;
    high = value > high ? value : high;
}

// One record as the store keeps it; coordinates are narrowed only here.
inline void fillMove(Move& move, double x1, double y1, double x2, double y2, std::int16_t power,
                     bool travel)
{
    move.x1 = static_cast<float>(x1);
    move.y1 = static_cast<float>(y1);
    move.x2 = static_cast<float>(x2);
    move.y2 = static_cast<float>(y2);
    move.power = power;
    move.travel = travel ? 1 : 0;
    move.unused = 0;
}

inline void widen(Bounds& bounds, double x1, double y1, double x2, double y2)
{
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

} // namespace toolpath_steps

// Appends one move and widens the bounds. false (and nothing stored) when the storage is
// full and cannot grow; the caller stops the load.
inline bool appendMove(double x1, double y1, double x2, double y2, double power, bool travel)
{
    if (toolpath.moveCount >= movesReady && !readyMoreMoves())
        return false;

    assert(toolpath.moveCount < toolpath.capacity);
    // The bounds below use the doubles, not the narrowed coordinates.
    toolpath_steps::fillMove(toolpath.moves[toolpath.moveCount], x1, y1, x2, y2,
                             toolpath_steps::storedPower(power), travel);
    ++toolpath.moveCount;

    toolpath_steps::widen(toolpath.allBounds, x1, y1, x2, y2);
    if (!travel)
        toolpath_steps::widen(toolpath.cutBounds, x1, y1, x2, y2);
    return true;
}
