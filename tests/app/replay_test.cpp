// Checks the replay's keys: the speed a job starts at and where a step lands.
#include "app/replay.h"

#include "model/interpreter.h"
#include "model/job_lines.h"
#include "model/toolpath.h"
#include "view/renderer.h"

#include <string>

#include <gtest/gtest.h>

namespace {

TEST(Replay, FirstSpeedPlaysAJobInAboutTwentySeconds)
{
    struct Row {
        const char* name;
        double paceSeconds;
        double speed;
    };
    const Row rows[] = {
        {"no time", 0.0, 1},        {"a NaN", 0.0 / 0.0, 1},       {"shorter than 20 s", 12.0, 1},
        {"80 s", 80.0, 5},          {"half an hour", 1800.0, 100}, {"ten hours", 36000.0, 2000},
        {"a month", 2.6e6, 100000},
    };
    for (const Row& row : rows)
        EXPECT_EQ(ReplaySpeeds[firstSpeedIndex(row.paceSeconds)], row.speed) << row.name;
    for (int i = 1; i < ReplaySpeedCount; ++i)
        EXPECT_GT(ReplaySpeeds[i], ReplaySpeeds[i - 1]);
    EXPECT_EQ(ReplaySpeeds[0], 1.0);
    EXPECT_GE(ReplaySpeeds[ReplaySpeedCount - 1], 1000.0);
}

TEST(Replay, StepsLandOnMoveEnds)
{
    struct Row {
        const char* name;
        ReplayCursor from;
        std::int32_t moves;
        ReplayCursor to;
    };
    const Row rows[] = {
        {"one on from the start", {0, 0.0}, 1, {0, 1.0}},
        {"three on", {0, 0.0}, 3, {2, 1.0}},
        {"one back", {2, 1.0}, -1, {1, 1.0}},
        {"back from a move's start", {3, 0.0}, -1, {1, 1.0}},
        {"back inside a move: its start", {5, 0.5}, -1, {4, 1.0}},
        {"on inside a move: its end", {5, 0.5}, 1, {5, 1.0}},
        {"ten back, past the start", {5, 0.5}, -10, {0, 0.0}},
        {"a thousand on, past the end", {9, 1.0}, 1000, {9, 1.0}},
        {"back to the start", {0, 1.0}, -1, {0, 0.0}},
    };
    for (const Row& row : rows)
        EXPECT_EQ(steppedCursor(row.from, row.moves, 10), row.to) << row.name;
    EXPECT_EQ(steppedCursor({3, 0.5}, 1, 0), ReplayCursor{}) << "no moves";
}

// Turning the arcs option loads the same job into other moves: the cursor keeps its line of
// the file and how far through that line it was, where the move number would land elsewhere.
TEST(Replay, TurningTheArcsOptionKeepsTheCursorsLine)
{
    const std::string text = "G21 G1 F600 X10\nG3 X0 Y0 I-5 J0\nG1 X0 Y10\n";
    const auto load = [&](bool arcs) {
        std::string buffer = text + "  ";
        loadArcs = arcs;
        ASSERT_TRUE(interpretGcodeBuffer(reinterpret_cast<unsigned char*>(buffer.data()), text.size(), ""));
        loadArcs = false;
    };
    const auto toggle = [&](bool arcs, ReplayCursor from) {
        replayDrawing.active = true;
        replayDrawing.cursor = from;
        keepReplayPlaceInJob();
        load(arcs);
        keepReplayAfterReload();
        forgetReplayPlaceInJob();
        return replayDrawing.cursor;
    };
    ASSERT_TRUE(createToolpath());
    load(false);
    ASSERT_EQ(toolpath.moveCount, 3);
    // Halfway along the half circle's chord, then halfway round the half circle.
    const ReplayCursor round = toggle(true, ReplayCursor{1, 0.5});
    const std::int32_t arcMoves = toolpath.moveCount - 2;
    ASSERT_GT(arcMoves, 20);
    EXPECT_EQ(lineOfMove(round.move), 2);
    EXPECT_NEAR(round.move + round.fraction, 1 + arcMoves / 2.0, 1.0);
    // Back to the chord, at its middle again; and the end of the job stays its end.
    const ReplayCursor back = toggle(false, round);
    EXPECT_EQ(back.move, 1);
    EXPECT_NEAR(back.fraction, 0.5, 0.05);
    const ReplayCursor end = toggle(true, ReplayCursor{2, 1.0});
    EXPECT_EQ(end.move, toolpath.moveCount - 1);
    EXPECT_EQ(end.fraction, 1.0);
    replayDrawing.active = false;
}

} // namespace
