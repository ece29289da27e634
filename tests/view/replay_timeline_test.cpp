// Checks the replay's timeline: where a press lands on it, what it tells at a cursor in both
// languages and units, the move a double click picks, and how a long line is cut to fit.
#include "view/replay_timeline.h"

#include "model/interpreter.h"
#include "view/status_line.h"
#include "view/view_state.h"
#include "view_world.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

void interpret(const std::string& text)
{
    std::vector<unsigned char> buffer(text.begin(), text.end());
    buffer.resize(text.size() + 2);
    ASSERT_TRUE(interpretGcodeBuffer(buffer.data(), text.size(), "job.gcode"));
}

bool has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

TEST(ReplayTimeline, APressMapsToItsShareOfTheBar)
{
    const TimelineBox box = timelineBox(800, 600, 46, 22, 13, 1.0);
    EXPECT_EQ(box.strip.left, 46);
    EXPECT_EQ(box.strip.right, 800);
    EXPECT_EQ(box.strip.bottom, 578) << "standing on the bottom ruler band";
    EXPECT_GT(box.bar.top, box.strip.top + 2 * 13) << "under the two rows of text";
    EXPECT_LT(box.bar.bottom, box.strip.bottom);
    const int middle = (box.bar.left + box.bar.right) / 2;
    EXPECT_EQ(timelineShareAt(box, box.bar.left), 0.0);
    EXPECT_EQ(timelineShareAt(box, box.bar.right), 1.0);
    EXPECT_NEAR(timelineShareAt(box, middle), 0.5, 1.0 / (box.bar.right - box.bar.left));
    EXPECT_EQ(timelineShareAt(box, 0), 0.0) << "left of the bar clamps to the start";
    EXPECT_EQ(timelineShareAt(box, 5000), 1.0);
    // Without the bed the strip reaches the canvas's edges; a display scale widens it all.
    const TimelineBox bare = timelineBox(800, 600, 0, 0, 26, 2.0);
    EXPECT_EQ(bare.strip.left, 0);
    EXPECT_EQ(bare.strip.bottom, 600);
    EXPECT_EQ(bare.strip.bottom - bare.strip.top, 2 * (box.strip.bottom - box.strip.top));
}

// A fit during a replay keeps the whole job above the timeline; without one the job may
// reach down to the rulers.
TEST(ReplayTimeline, TheFitLeavesTheTimelineClear)
{
    for (const bool shown : {false, true}) {
        resetWorld();
        interpret("G1 F600 S100 X100 Y0\nG1 X0 Y100\n");
        replayTimeline.shown = shown;
        fitView();
        double x = 0.0, lowest = 0.0;
        machineToCanvas(0.0, 0.0, x, lowest);
        const int stripTop = currentTimelineBox().strip.top;
        if (shown)
            EXPECT_LT(lowest, stripTop);
        else
            EXPECT_GT(lowest, stripTop) << "the fit with no replay stays as it was";
    }
    replayTimeline.shown = false;
}

TEST(ReplayTimeline, TellsPlaceFeedPowerAndTimesAtTheCursor)
{
    resetWorld();
    interpret("G1 F600 S100 X20\nG0 X0 Y10\nG1 F1200 S250 X10\n");
    ASSERT_EQ(toolpath.moveCount, 3);
    ReplayTexts end = composeReplayTexts({2, 1.0});
    EXPECT_TRUE(has(end.place, "Move 3 of 3")) << end.place;
    EXPECT_TRUE(has(end.place, "X 10.00   Y 10.00 mm")) << end.place;
    EXPECT_TRUE(has(end.place, "F 1200 mm/min")) << end.place;
    EXPECT_TRUE(has(end.place, "S 250")) << end.place;
    // At the end the time is the status line's estimate, to the second.
    EXPECT_TRUE(has(end.times, "elapsed " + estimateClockText(toolpath.estimatedSeconds))) << end.times;
    EXPECT_TRUE(has(end.times, "remaining 0:00:00")) << end.times;
    EXPECT_TRUE(has(end.times, "100.0 %")) << end.times;

    const ReplayTexts start = composeReplayTexts({0, 0.0});
    EXPECT_TRUE(has(start.times, "elapsed 0:00:00")) << start.times;
    EXPECT_TRUE(has(start.times, "0.0 %")) << start.times;
    EXPECT_TRUE(has(composeReplayTexts({1, 0.5}).place, "F rapid or none"));
    EXPECT_TRUE(has(composeReplayTexts({2, 0.9999}).times, "99.9 %")) << "not done yet";

    settings.inches = 1;
    uiSpanish = true;
    end = composeReplayTexts({2, 1.0});
    EXPECT_TRUE(has(end.place, "Movimiento 3 de 3")) << end.place;
    EXPECT_TRUE(has(end.place, "X 0.394   Y 0.394 in")) << end.place;
    EXPECT_TRUE(has(end.place, "F 47.24 in/min")) << end.place;
    EXPECT_TRUE(has(end.times, "transcurrido ")) << end.times;
    // Halfway through the first move: 1 s of the job's 2.5 s.
    const ReplayTexts half = composeReplayTexts({0, 0.5});
    EXPECT_TRUE(has(half.times, "40.0 %")) << half.times;
    EXPECT_TRUE(has(half.place, "X 0.394   Y 0.000 in")) << half.place;
}

TEST(ReplayTimeline, DoubleClickPicksTheNearestDrawnMove)
{
    resetWorld();
    setIdentityView(800, 600);
    addMove(10, 10, 100, 10);            // 0: cut
    addMove(10, 12, 100, 12, 0.0, true); // 1: travel, nearer to y 11.5
    addMove(10, 30, 100, 30);            // 2: cut
    addMove(10, 30, 100, 30);            // 3: the same cut again, drawn over 2
    const auto pick = [](double x, double y) { return nearestDrawnMove(x, 600 - y, 4.0); };
    EXPECT_EQ(pick(50, 11.5), 0) << "travel moves hidden are not picked";
    settings.showTravel = 1;
    EXPECT_EQ(pick(50, 11.5), 1);
    EXPECT_EQ(pick(50, 11.0), 0) << "as near, the cut lies on top";
    EXPECT_EQ(pick(50, 31.0), 3) << "as near, the one drawn last";
    EXPECT_EQ(pick(50, 20.0), -1) << "nothing within four pixels";
    EXPECT_EQ(pick(104, 10.0), 0) << "four pixels beyond an end";
    // In a replay only what the cursor has reached is drawn.
    replayDrawing.active = true;
    replayDrawing.cursor = {2, 0.5};
    EXPECT_EQ(pick(50, 30.0), 2) << "the move at the cursor, as far as the tool is";
    EXPECT_EQ(pick(90, 30.0), -1) << "beyond the tool";
    replayDrawing = ReplayDrawing{};
}

TEST(ReplayTimeline, LinesAreShownSafelyAndCutToFit)
{
    resetWorld(); // 6 pixels a character
    EXPECT_EQ(printableLine("G1\tX1 \xff(\xc3\xb1)\x7f"), "G1 X1 ?(\xc3\xb1) ");
    EXPECT_EQ(printableLine("\xe2\x82"), "??") << "a sequence cut short";
    EXPECT_EQ(fitText("G1 X10 Y20", 60), "G1 X10 Y20");
    EXPECT_EQ(fitText("G1 X10 Y20 S300", 60), "G1 X10 Y2\u2026");
    EXPECT_EQ(fitText("\u00f1\u00f1\u00f1\u00f1\u00f1", 24), "\u00f1\u00f1\u00f1\u2026")
        << "whole characters";
    EXPECT_EQ(fitText("G1 X10", 6), "\u2026");
    EXPECT_EQ(fitText("G1 X10", 5), "");
}

} // namespace
