// Shared helpers of the model tests: running G-code text through the interpreter,
// snapshots of the store, and temporary files.
#include "gcode_test_support.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "model/interpreter.h"

void interpretText(std::string_view text)
{
    if (!createToolpath())
        std::abort();
    std::vector<unsigned char> buffer(text.size() + 2, 0);
    std::memcpy(buffer.data(), text.data(), text.size());
    interpretGcodeBuffer(buffer.data(), text.size(), "test.gcode");
}

std::vector<Move> storedMoves()
{
    return std::vector<Move>(toolpath.moves, toolpath.moves + toolpath.moveCount);
}

Move expectedMove(double x1, double y1, double x2, double y2, int power, bool travel)
{
    Move move{};
    move.x1 = static_cast<float>(x1);
    move.y1 = static_cast<float>(y1);
    move.x2 = static_cast<float>(x2);
    move.y2 = static_cast<float>(y2);
    move.power = static_cast<std::int16_t>(power);
    move.travel = travel ? 1 : 0;
    return move;
}

bool sameMove(const Move& a, const Move& b)
{
    return std::memcmp(&a, &b, sizeof(Move)) == 0;
}

std::string describe(const Move& move)
{
    char text[160];
    std::snprintf(text, sizeof text, "(%.9g, %.9g) -> (%.9g, %.9g) power %d travel %d unused %d",
                  move.x1, move.y1, move.x2, move.y2, move.power, move.travel, move.unused);
    return text;
}

ToolpathSnapshot snapshotToolpath()
{
    ToolpathSnapshot snapshot;
    snapshot.capacity = toolpath.capacity;
    snapshot.moveCount = toolpath.moveCount;
    snapshot.allBounds = toolpath.allBounds;
    snapshot.cutBounds = toolpath.cutBounds;
    snapshot.maxPower = toolpath.maxPower;
    snapshot.estimatedSeconds = toolpath.estimatedSeconds;
    snapshot.moves = storedMoves();
    return snapshot;
}

namespace {
bool sameBounds(const Bounds& a, const Bounds& b)
{
    return a.valid == b.valid && a.minX == b.minX && a.minY == b.minY && a.maxX == b.maxX &&
           a.maxY == b.maxY;
}
} // namespace

bool sameSnapshot(const ToolpathSnapshot& a, const ToolpathSnapshot& b)
{
    if (a.capacity != b.capacity || a.moveCount != b.moveCount || a.maxPower != b.maxPower ||
        a.estimatedSeconds != b.estimatedSeconds || !sameBounds(a.allBounds, b.allBounds) ||
        !sameBounds(a.cutBounds, b.cutBounds) || a.moves.size() != b.moves.size())
        return false;
    for (std::size_t i = 0; i < a.moves.size(); ++i)
        if (!sameMove(a.moves[i], b.moves[i]))
            return false;
    return true;
}

TempFolder::TempFolder()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "tolvan-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        std::abort();
    path = pattern;
}

TempFolder::~TempFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

std::string TempFolder::write(const std::string& name, std::string_view contents) const
{
    const std::string full = path + "/" + name;
    std::ofstream out(full, std::ios::binary);
    out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
    return full;
}
