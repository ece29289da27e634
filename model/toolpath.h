// The single store of the last loaded file: straight XY moves in millimetres, their
// bounds and the job totals.
#pragma once

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
    Move* moves = nullptr;       // capacity zero-filled records
    std::int32_t capacity = 0;   // records allocated; only grows
    std::int32_t moveCount = 0;  // valid records; 0 = nothing loaded
    Bounds allBounds;            // end points of every move
    Bounds cutBounds;            // end points of cutting moves
    double maxPower = DefaultMaxPower; // largest S of a cutting move
    double estimatedSeconds = 0.0;
};

constexpr std::int32_t InitialMoveCapacity = 100001; // records at start-up

extern Toolpath toolpath;

// Allocates the start-up storage of InitialMoveCapacity zero-filled records and sets the
// start-up values; false when the memory cannot be had.
bool createToolpath();

// Empties the store for a new load: no moves, bounds invalid, totals 0. Keeps the storage.
void clearToolpath();

// Appends one move and widens the bounds. false (and nothing stored) when the storage is
// full and cannot grow; the caller stops the load.
bool appendMove(double x1, double y1, double x2, double y2, double power, bool travel);
