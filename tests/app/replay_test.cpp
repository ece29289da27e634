// Checks the replay's keys: the speed a job starts at and where a step lands.
#include "app/replay.h"

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

} // namespace
