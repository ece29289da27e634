// Checks G2/G3 followed as arcs: centres by I/J or R, full circles, planes, inches, the
// arcs that stay chords, and how closely the moves keep to the true circle.
#include "model/arcs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "gcode_test_support.h"
#include "model/interpreter.h"
#include "model/toolpath.h"

namespace {

void interpretWithArcs(const std::string& gcode)
{
    loadArcs = true;
    interpretText(gcode);
    loadArcs = false;
}

struct Circle {
    double cx, cy, r;
};

// The largest distance of the cut from the circle: at the ends of each move and at its
// middle, where a chord strays most.
double farthestFrom(const Circle& c)
{
    double farthest = 0.0;
    for (const Move& m : storedMoves()) {
        if (m.travel)
            continue;
        const double points[3][2] = {
            {m.x1, m.y1}, {(m.x1 + m.x2) / 2.0, (m.y1 + m.y2) / 2.0}, {m.x2, m.y2}};
        for (const auto& p : points)
            farthest = std::max(farthest, std::fabs(std::hypot(p[0] - c.cx, p[1] - c.cy) - c.r));
    }
    return farthest;
}

// Turn of the last move about the centre: positive counter-clockwise.
double lastTurn(const Circle& c)
{
    const Move& m = toolpath.moves[toolpath.moveCount - 1];
    return (m.x1 - c.cx) * (m.y2 - c.cy) - (m.y1 - c.cy) * (m.x2 - c.cx);
}

constexpr double FloatSlack = 1e-5; // mm a stored float may add to the tolerance

TEST(Arcs, FollowTheirCircleWithinTheToleranceEitherWay)
{
    struct Case {
        const char* name;
        std::string gcode;
        Circle circle;
        bool clockwise;
        Bounds bounds; // of the cut, to the tolerance
        double seconds;
    };
    const double pi = std::numbers::pi;
    const std::vector<Case> cases = {
        {"I/J full circle clockwise",
         "S9 F600 G2 X0 Y0 I5 J0",
         {5, 0, 5},
         true,
         {0, -5, 10, 5, true},
         pi},
        {"I/J full circle counter-clockwise, no X or Y",
         "S9 F600 G3 I5",
         {5, 0, 5},
         false,
         {0, -5, 10, 5, true},
         pi},
        {"R above zero: the shorter arc",
         "S9 F600 G3 X5 Y5 R5",
         {0, 5, 5},
         false,
         {0, 0, 5, 5, true},
         pi / 4},
        {"R below zero: the longer arc",
         "S9 F600 G3 X5 Y5 R-5",
         {5, 0, 5},
         false,
         {0, -5, 10, 5, true},
         3 * pi / 4},
        {"R semicircle clockwise goes over the top",
         "S9 G2 X10 R5",
         {5, 0, 5},
         true,
         {0, 0, 10, 5, true},
         0},
        {"G90.1: I and J say where the centre is",
         "S9 G0 X10\nG90.1 G2 X10 Y0 I5 J0",
         {5, 0, 5},
         true,
         {0, -5, 10, 5, true},
         0},
        {"G91.1 after G90.1: offsets again",
         "S9 G90.1\nG0 X10\nG91.1 G2 X10 Y0 I5",
         {15, 0, 5},
         true,
         {10, -5, 20, 5, true},
         0},
        {"inch arc",
         "S9 G20 F1 G2 X0.2 I0.1",
         {2.54, 0, 2.54},
         true,
         {0, 0, 5.08, 2.54, true},
         2.54 * pi / 25.4 * 60},
        {"relative end",
         "S9 G0 X3 Y4\nG91 G3 X-6 Y-8 I-3 J-4",
         {0, 0, 5},
         false,
         {-5, -4, 3, 5, true},
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        interpretWithArcs(c.gcode);
        ASSERT_GT(toolpath.moveCount, 8);
        EXPECT_LE(farthestFrom(c.circle), ArcTolerance + FloatSlack);
        EXPECT_EQ(lastTurn(c.circle) < 0, c.clockwise);
        const Bounds& b = toolpath.cutBounds;
        EXPECT_NEAR(b.minX, c.bounds.minX, ArcTolerance);
        EXPECT_NEAR(b.minY, c.bounds.minY, ArcTolerance);
        EXPECT_NEAR(b.maxX, c.bounds.maxX, ArcTolerance);
        EXPECT_NEAR(b.maxY, c.bounds.maxY, ArcTolerance);
        EXPECT_NEAR(toolpath.estimatedSeconds, c.seconds, 1e-9);
        EXPECT_EQ(toolpath.straightArcs, 0);
    }
    // No more moves than the tolerance needs: a chord within it may turn 2 acos(1 - t / r).
    interpretWithArcs("G2 I5");
    EXPECT_EQ(toolpath.moveCount,
              static_cast<int>(std::ceil(2 * pi / (2 * std::acos(1 - ArcTolerance / 5)))));
}

TEST(Arcs, ThoseNoMachineWouldRunStayChords)
{
    constexpr int Followed = -1; // many moves along the arc
    struct Case {
        const char* name;
        std::string gcode;
        int moves; // or Followed
        float endX, endY;
    };
    const std::string huge(400, '9');
    const std::vector<Case> cases = {
        {"R shorter than half the chord", "G2 X10 R4.99", 1, 10, 0},
        {"R short by less than the slack is a semicircle", "G2 X10 R4.9995", Followed, 10, 0},
        {"end off the circle by 2 mm", "G2 X10 I4", 1, 10, 0},
        {"end off by 0.004 mm still runs", "G2 X10.004 I5", Followed, 10.004f, 0},
        {"end off by 0.1 % of a large radius still runs", "G2 X1000.4 I500", Followed, 1000.4f, 0},
        {"end off by more than both", "G2 X1000.6 I500", 1, 1000.6f, 0},
        {"zero radius", "G2 X10 I0 J0", 1, 10, 0},
        {"infinite radius", "G2 X10 R" + huge, 1, 10, 0},
        {"infinite centre", "G2 X10 I" + huge, 1, 10, 0},
        {"R and I together", "G2 X10 I5 R5", 1, 10, 0},
        {"neither R nor I nor J", "G2 X10", 1, 10, 0},
        {"R with the end at the start: no move", "G1 X1\nG2 X1 R5", 1, 1, 0},
        {"G18: the chord", "G18 G2 X10 I5 K0", 1, 10, 0},
        {"G19: the chord", "G19 G3 X10 Y4 J5 K0", 1, 10, 4},
        {"G17 again", "G18\nG17 G2 X10 I5", Followed, 10, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        interpretWithArcs(c.gcode);
        if (c.moves == Followed)
            EXPECT_GT(toolpath.moveCount, 8);
        else
            EXPECT_EQ(toolpath.moveCount, c.moves);
        // Whatever became of the arc, the path ends where the line said.
        ASSERT_GT(toolpath.moveCount, 0);
        EXPECT_EQ(toolpath.moves[toolpath.moveCount - 1].x2, c.endX);
        EXPECT_EQ(toolpath.moves[toolpath.moveCount - 1].y2, c.endY);
    }
}

TEST(Arcs, HugeAndTinyRadiiStayBounded)
{
    interpretWithArcs("G2 I1000000000"); // a full circle of 1000 km
    EXPECT_EQ(toolpath.moveCount, MostArcSegments);
    interpretWithArcs("G2 X10 R1000000000000000"); // all but straight
    EXPECT_GE(toolpath.moveCount, 1);
    EXPECT_LE(toolpath.moveCount, MostArcSegments);
    EXPECT_GE(toolpath.allBounds.minY, -ArcTolerance);
    EXPECT_LE(toolpath.allBounds.maxY, ArcTolerance);
    interpretWithArcs("G2 I0.0001 F60"); // within the tolerance of its start: nothing to draw
    EXPECT_EQ(toolpath.moveCount, 0);
    EXPECT_EQ(toolpath.estimatedSeconds, 0.0);
    interpretWithArcs("G3 X0.0001 I0.00005");
    EXPECT_EQ(toolpath.moveCount, 1);
}

TEST(Arcs, PointsTurnByEqualStepsAndGrowEvenly)
{
    // Each inner point k of n lies k / n of the sweep round and has grown by the k / n
    // power of the radii's ratio. The stored floats are compared, to two of their steps;
    // small circles lie near the origin, where those steps are small too.
    struct Case {
        const char* name;
        double radius, endRadius, sweep; // mm, mm, radians
        double cx, cy;                   // mm, off the origin
    };
    const Case cases[] = {
        {"short steps on a circle", 5.0, 5.0, 1.9, 30.0, -20.0},
        {"steps near the longest of the series", 0.0254, 0.0254, 6.0, 0.01, -0.02},
        {"an end off by rounding", 0.5, 0.5003, -4.0, 0.3, 0.1},
        {"an end off by more than rounding", 1.0, 1.004, 2.5, 3.0, 2.0},
        {"steps too long for a series", 0.003, 0.003, 4.5, 0.001, 0.002},
        {"a large radius", 1e4, 1e4 + 0.3, -0.6, 30.0, -20.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        interpretText("");
        const double cx = c.cx, cy = c.cy, start = 0.7; // a lopsided start
        const double x1 = cx + c.radius * std::cos(start), y1 = cy + c.radius * std::sin(start);
        const double x2 = cx + c.endRadius * std::cos(start + c.sweep);
        const double y2 = cy + c.endRadius * std::sin(start + c.sweep);
        ArcPlan plan;
        ASSERT_TRUE(planCentreArc(x1, y1, x2, y2, cx, cy, c.sweep < 0, plan));
        ASSERT_TRUE(appendArcMoves(plan, x1, y1, x2, y2, 9, false));
        const int n = plan.segments;
        ASSERT_EQ(toolpath.moveCount, n);
        const double slack = 2.4e-7 * (std::fabs(cx) + std::fabs(cy) + c.endRadius);
        for (int k = 1; k < n; ++k) {
            const double angle = start + plan.sweep * k / n;
            const double r = plan.startRadius *
                             std::pow(plan.endRadius / plan.startRadius, static_cast<double>(k) / n);
            ASSERT_NEAR(toolpath.moves[k - 1].x2, cx + r * std::cos(angle), slack) << k << " of " << n;
            ASSERT_NEAR(toolpath.moves[k - 1].y2, cy + r * std::sin(angle), slack) << k << " of " << n;
        }
    }
}

TEST(Arcs, CountMovesByTheArcsineOfTheirStep)
{
    // The fewest moves that keep within the tolerance, worked out the plain way; the plan
    // may skip the arcsine, never change the count. Radii over ten decades, and sweeps a
    // hair either side of a whole number of steps, where a count could tip over.
    const auto plainCount = [](double radius, double sweep) {
        const double share = ArcTolerance / radius;
        if (!(share < 2.0))
            return 1.0;
        const double count = std::ceil(std::fabs(sweep) / (4.0 * std::asin(std::sqrt(share / 2.0))));
        return std::clamp(count, 1.0, static_cast<double>(MostArcSegments));
    };
    int checked = 0;
    for (double radius = 0.0007; radius < 3e6; radius *= 1.37) {
        const double step = 4.0 * std::asin(std::sqrt(std::min(1.0, ArcTolerance / radius / 2.0)));
        for (const double steps : {1.0, 2.0, 3.0, 7.0, 41.0, 500.0})
            for (const double hair : {-4e-16, -1e-16, 0.0, 1e-16, 4e-16, 1e-9, 0.3}) {
                const double angle = std::min(steps * step * (1.0 + hair), 6.28);
                ArcPlan plan;
                ASSERT_TRUE(planCentreArc(radius, 0.0, radius * std::cos(angle),
                                          radius * std::sin(angle), 0.0, 0.0, false, plan));
                EXPECT_EQ(plan.segments,
                          plainCount(std::max(plan.startRadius, plan.endRadius), plan.sweep))
                    << radius << " mm, " << plan.sweep << " rad";
                ++checked;
            }
    }
    EXPECT_GT(checked, 1000);
}

TEST(Arcs, OffByDefault)
{
    // A stadium: two semicircles joined by straight sides. Followed, its round ends reach
    // 5 mm beyond the chords.
    const std::string stadium = "S9 G1 X10\nG3 Y10 R5\nG1 X0\nG3 Y0 R5\n";
    interpretText(stadium);
    EXPECT_EQ(toolpath.moveCount, 4);
    EXPECT_EQ(toolpath.straightArcs, 2);
    EXPECT_EQ(toolpath.cutBounds.minX, 0.0);
    EXPECT_EQ(toolpath.cutBounds.maxX, 10.0);
    interpretWithArcs(stadium);
    EXPECT_EQ(toolpath.straightArcs, 0);
    EXPECT_NEAR(toolpath.cutBounds.minX, -5.0, ArcTolerance);
    EXPECT_NEAR(toolpath.cutBounds.maxX, 15.0, ArcTolerance);
    // A full circle without X and Y moves nowhere as a chord, but is still an arc drawn straight.
    interpretText("G2 I5");
    EXPECT_EQ(toolpath.moveCount, 0);
    EXPECT_EQ(toolpath.straightArcs, 1);
}

} // namespace
