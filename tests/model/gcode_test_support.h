// Shared helpers of the model tests: running G-code text through the interpreter,
// snapshots of the store, and temporary files.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "model/toolpath.h"

// Interprets `text` as a file load would, on a store created afresh.
void interpretText(std::string_view text);

// The valid records of the store, copied.
std::vector<Move> storedMoves();

// A move from doubles, narrowed exactly as the store narrows them.
Move expectedMove(double x1, double y1, double x2, double y2, int power, bool travel);

bool sameMove(const Move& a, const Move& b);
std::string describe(const Move& move);

// Everything observable about the store, for "untouched" checks.
struct ToolpathSnapshot {
    std::int32_t capacity = 0;
    std::int32_t moveCount = 0;
    Bounds allBounds, cutBounds;
    double maxPower = 0.0;
    double estimatedSeconds = 0.0;
    std::vector<Move> moves;
};
ToolpathSnapshot snapshotToolpath();
bool sameSnapshot(const ToolpathSnapshot& a, const ToolpathSnapshot& b);

// A folder under the system temporary folder, removed with everything in it at the end.
struct TempFolder {
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    std::string path;
    // Writes `contents` to `name` in the folder and returns the full path.
    std::string write(const std::string& name, std::string_view contents) const;
};
