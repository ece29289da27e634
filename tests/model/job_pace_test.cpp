// Checks the replay's timeline: each move's share by the estimate, the untimed moves' small
// share, the way back from a time to a cursor, and the places a user can write.
#include "model/job_pace.h"
#include "model/replay_place.h"

#include <gtest/gtest.h>

#include <string>

#include "gcode_test_support.h"
#include "model/interpreter.h"
#include "model/toolpath.h"

namespace {

TEST(JobPace, MovesTakeTheirShareOfTheEstimate)
{
    // 2 s cut, a rapid (untimed), 1 s travel at S0 (timed), a feed move without F (untimed
    // here is impossible once F is set, so F0 makes one), then 3 s of cut.
    interpretText("G1 F600 S100 X20\nG0 X0 Y10\nG1 S0 X10\nF0\nG1 S100 X0\nF200\nG1 X10");
    ASSERT_EQ(toolpath.moveCount, 5);
    const double estimate = toolpath.estimatedSeconds;
    EXPECT_DOUBLE_EQ(estimate, 2.0 + 1.0 + 3.0);
    const double untimed = estimate * UntimedMoveShare / 5;
    const double ends[] = {2.0, 2.0, 3.0, 3.0, 6.0};
    const double paces[] = {2.0, 2.0 + untimed, 3.0 + untimed, 3.0 + 2 * untimed, 6.0 + 2 * untimed};
    for (int move = 0; move < 5; ++move) {
        SCOPED_TRACE(move);
        EXPECT_NEAR(elapsedAt({move, 1.0}), ends[move], 1e-12);
        EXPECT_NEAR(paceAt({move, 1.0}), paces[move], 1e-12);
        // Every move, timed or not, takes some of the timeline, so a place inside it exists.
        const double before = move == 0 ? 0.0 : paces[move - 1];
        const ReplayCursor middle = cursorAtPace((before + paces[move]) / 2);
        EXPECT_EQ(middle.move, move);
        EXPECT_NEAR(middle.fraction, 0.5, 1e-9);
    }
    EXPECT_EQ(elapsedAt({4, 1.0}), estimate) << "the end is the status line's estimate exactly";
    EXPECT_EQ(paceSeconds(), paceAt({4, 1.0}));
    EXPECT_NEAR(elapsedAt({4, 0.25}), 3.75, 1e-12);
    // Back from an elapsed time: the first cursor where the estimate reaches it, so a time
    // at the end of a timed move stops before the untimed moves that follow.
    EXPECT_EQ(cursorAtElapsed(2.0), (ReplayCursor{0, 1.0}));
    const ReplayCursor inLast = cursorAtElapsed(4.5);
    EXPECT_EQ(inLast.move, 4);
    EXPECT_NEAR(inLast.fraction, 0.5, 1e-12);
    EXPECT_EQ(cursorAtElapsed(0.0), ReplayCursor{});
    EXPECT_EQ(cursorAtElapsed(99.0), (ReplayCursor{4, 1.0}));
}

TEST(JobPace, LongJobsEndExactlyAtTheEstimateAcrossCheckpoints)
{
    // Thousands of moves whose lengths and feeds the floats of the store round, over many
    // checkpoints: the end must still be the estimate's own sum, and time must only grow.
    std::string gcode = "G1 S100 F733\n";
    for (int i = 1; i <= 3000; ++i) {
        gcode += (i % 7 == 0 ? "G0 X" : "G1 X") + std::to_string(i * 37 % 101) + ".3 Y" +
                 std::to_string(i * 53 % 89) + ".7";
        gcode += i % 500 == 0 ? " F" + std::to_string(300 + i / 10) + "\n" : "\n";
    }
    // Full circles followed as arcs add their time once for a hundred moves or more, which
    // span checkpoints; rapids between them are untimed.
    std::string circles = "G1 S100 F500\n";
    for (int i = 0; i < 40; ++i)
        circles += "G2 I" + std::to_string(5 + i % 7) + (i % 5 == 0 ? "\nG0 X1\nG0 X0\n" : "\n");
    for (const bool arcs : {false, true}) {
        SCOPED_TRACE(arcs ? "circles" : "straight moves");
        loadArcs = arcs;
        interpretText(arcs ? circles : gcode);
        loadArcs = false;
        ASSERT_GT(toolpath.moveCount, 3 * PaceChunkMoves);
        const std::int32_t last = toolpath.moveCount - 1;
        EXPECT_EQ(elapsedAt({last, 1.0}), toolpath.estimatedSeconds);
        double previous = 0.0;
        for (std::int32_t move = 0; move <= last; move += 37) {
            const double at = elapsedAt({move, 0.5});
            EXPECT_GE(at, previous) << move;
            previous = at;
            // There and back: the cursor found for a timeline place lies at that place.
            const ReplayCursor cursor = cursorAtPace(paceAt({move, 0.5}));
            EXPECT_NEAR(paceAt(cursor), paceAt({move, 0.5}), 1e-9 * paceSeconds()) << move;
        }
    }
}

TEST(JobPace, ARunRecordsWhatItsMovesWouldOneByOne)
{
    // Runs of every kind in a row, starting and ending on both sides of checkpoints: timed
    // at a new rate and at the same one, untimed, a single move, none at all.
    struct Run {
        std::int32_t count;
        double seconds, secondsPerMm;
    };
    const Run runs[] = {{3, 1.5, 0.1},     {508, 42.1234, 0.1}, {2, 0.2, 0.05},    {1100, 0.0, 0.0},
                        {0, 0.0, 0.2},     {511, 7.77, 0.2},    {512, 3.0, 0.0},   {2, 0.1, 0.3},
                        {900, 9.321, 0.3}, {1, 0.0, 0.0},       {1023, 5.55, 0.05}};
    JobPace byRun, byMove;
    std::int32_t first = 0;
    double estimate = 0.0;
    for (const Run& run : runs) {
        paceRun(byRun, first, run.count, estimate, run.seconds, run.secondsPerMm);
        for (std::int32_t k = 0; k < run.count; ++k)
            paceStep(byMove, first + k, estimate + run.seconds * k / run.count, run.secondsPerMm);
        first += run.count;
        estimate += run.seconds;
    }
    ASSERT_EQ(byRun.changes.size(), byMove.changes.size());
    for (std::size_t i = 0; i < byMove.changes.size(); ++i) {
        EXPECT_EQ(byRun.changes[i].firstMove, byMove.changes[i].firstMove) << i;
        EXPECT_EQ(byRun.changes[i].secondsPerMm, byMove.changes[i].secondsPerMm) << i;
    }
    EXPECT_EQ(byRun.untimedBits, byMove.untimedBits);
    EXPECT_EQ(byRun.chunkSeconds, byMove.chunkSeconds) << "the very bits of each checkpoint";
    EXPECT_EQ(byRun.chunkUntimed, byMove.chunkUntimed);
    EXPECT_EQ(byRun.untimedMoves, byMove.untimedMoves);
    EXPECT_FALSE(byRun.incomplete);
}

TEST(JobPace, JobsWithoutAnEstimateStillPlay)
{
    interpretText("G0 X10\nG0 Y10\nG1 S100 X0\nG0 Y0"); // no F: nothing is timed
    ASSERT_EQ(toolpath.moveCount, 4);
    EXPECT_EQ(toolpath.estimatedSeconds, 0.0);
    EXPECT_DOUBLE_EQ(paceSeconds(), 4 * UnestimatedMoveSeconds);
    const ReplayCursor third = cursorAtPace(2.5 * UnestimatedMoveSeconds);
    EXPECT_EQ(third.move, 2);
    EXPECT_NEAR(third.fraction, 0.5, 1e-9);
    EXPECT_EQ(elapsedAt({3, 1.0}), 0.0);
    ReplayCursor cursor;
    ReplayPlace place;
    ASSERT_TRUE(readReplayPlace("50%", place));
    EXPECT_EQ(cursorAtPlace(place, cursor), "");
    EXPECT_EQ(cursor, (ReplayCursor{1, 1.0})) << "half the timeline when nothing is timed";
}

TEST(JobPace, PlacesAsAUserWritesThem)
{
    interpretText("G1 F60 S100 X100\nG1 X0"); // 100 s and 100 s
    ReplayPlace place;
    ReplayCursor cursor;
    const auto at = [&](const char* text) {
        EXPECT_TRUE(readReplayPlace(text, place)) << text;
        EXPECT_EQ(cursorAtPlace(place, cursor), "") << text;
        return cursor;
    };
    EXPECT_EQ(at("1"), (ReplayCursor{0, 1.0}));
    EXPECT_EQ(at("0"), ReplayCursor{});
    EXPECT_EQ(at("2"), (ReplayCursor{1, 1.0}));
    EXPECT_EQ(at("25%"), (ReplayCursor{0, 0.5}));
    EXPECT_EQ(at("100%"), (ReplayCursor{1, 1.0}));
    EXPECT_EQ(at("0:02:30"), (ReplayCursor{1, 0.5}));
    EXPECT_EQ(at("2:30"), (ReplayCursor{1, 0.5}));
    EXPECT_EQ(at("0:00:50.0"), (ReplayCursor{0, 0.5}));
    EXPECT_EQ(at("0:00"), ReplayCursor{});
    EXPECT_EQ(at("3:20"), (ReplayCursor{1, 1.0}));
    // Not a place at all, whatever the job.
    for (const char* text :
         {"",  "abc", "-1",   "+3",      "1.5",     "1e3", " 5", "5 ",      "101%", "-5%",
          "%", ".5%", "1:60", "1:60:00", "1:2:3:4", ":30", "1:", "0:0x:10", "inf",  "nan%"})
        EXPECT_FALSE(readReplayPlace(text, place)) << text;
    // Places beyond this job.
    ASSERT_TRUE(readReplayPlace("3", place));
    EXPECT_NE(cursorAtPlace(place, cursor), "");
    ASSERT_TRUE(readReplayPlace("3:21", place));
    EXPECT_NE(cursorAtPlace(place, cursor), "");
}

} // namespace
