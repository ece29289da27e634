// Checks step choice, tick labels and the placement of grid, bands, ticks and labels.
#include "tests/view/view_world.h"
#include "view/rulers.h"

#include <cmath>
#include <limits>
#include <vector>

namespace {

constexpr std::string_view RulerMm = "1,2,5,10,20,50,100,200,500,1000,2000,5000";
constexpr std::string_view RulerIn = "0.1,0.25,0.5,1,2,5,10,20,50,100,200";
constexpr std::string_view GridMm = "10,50,100,500,1000,5000";
constexpr std::string_view GridIn = "1,5,10,50,100,500";

TEST(ChooseStep, MillimetresAndInchesAtEveryScale)
{
    struct Row {
        const char* name;
        bool inches;
        double scale, r, ruler, grid;
    } rows[] = {
        {"mm, scale 1, r 1", false, 1, 1, 50, 10},
        {"mm, scale 2.5, r 1: exactly 50 pixels qualifies", false, 2.5, 1, 20, 10},
        {"mm, scale 10, r 1", false, 10, 1, 5, 10},
        {"mm, scale 0.01, r 1", false, 0.01, 1, 5000, 1000},
        {"mm, scale 1, r 2", false, 1, 2, 100, 50},
        {"mm, scale 2.5, r 2", false, 2.5, 2, 50, 10},
        {"mm, scale 10, r 2", false, 10, 2, 10, 10},
        {"mm, scale 0.01, r 2: nothing qualifies, the last", false, 0.01, 2, 5000, 5000},
        {"in, scale 1, r 1", true, 1, 1, 2, 1},
        {"in, scale 2.5, r 1", true, 2.5, 1, 1, 1},
        {"in, scale 10, r 1", true, 10, 1, 0.25, 1},
        {"in, scale 0.01, r 1", true, 0.01, 1, 200, 50},
        {"in, scale 1, r 2", true, 1, 2, 5, 1},
        {"in, scale 2.5, r 2", true, 2.5, 2, 2, 1},
        {"in, scale 10, r 2", true, 10, 2, 0.5, 1},
        {"in, scale 0.01, r 2: ruler falls back to the last", true, 0.01, 2, 200, 100},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const double u = row.inches ? 25.4 : 1.0;
        EXPECT_EQ(chooseStep(row.scale * u, 50 * row.r, row.inches ? RulerIn : RulerMm), row.ruler);
        EXPECT_EQ(chooseStep(row.scale * u, 8 * row.r, row.inches ? GridIn : GridMm), row.grid);
    }
}

TEST(FormatTickLabel, WholeAndFractionalSteps)
{
    struct Row {
        double value, step;
        const char* expected;
    } rows[] = {
        {20, 5, "20"},
        {19.999999999, 5, "20"},
        {2.5, 1, "3"},
        {-2.5, 1, "-3"},
        {-0.3, 1, "0"},
        {0.25, 0.25, "0.25"},
        {0.5, 0.25, "0.5"},
        {0.75, 0.25, "0.75"},
        {1.0, 0.25, "1"},
        {-0.25, 0.25, "-0.25"},
        {10.5, 0.5, "10.5"},
        {-0.000000001, 0.1, "0"},
        {-0.004, 0.1, "0"},
        {2147483647.4, 1, "2147483647"},
        {1e12, 1000, "1000000000000"},
        {-3e9, 1000, "-3000000000"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.expected);
        EXPECT_EQ(formatTickLabel(row.value, row.step), row.expected);
    }
}

TEST(FormatTickLabel, AccumulatedTenthsReadClean)
{
    const std::vector<std::string> expected = {"-0.3", "-0.2", "-0.1", "0",   "0.1", "0.2", "0.3",
                                               "0.4",  "0.5",  "0.6",  "0.7", "0.8", "0.9", "1"};
    std::vector<std::string> labels;
    double v = -0.3;
    for (std::size_t i = 0; i < expected.size(); ++i, v += 0.1)
        labels.push_back(formatTickLabel(v, 0.1));
    EXPECT_EQ(labels, expected);
}

// The calls between the n-th setting of `colour` and the stroke or fill that follows it,
// going backwards: the path that colour painted.
std::vector<Call> pathPaintedBy(ColourValue colour, int occurrence = 0)
{
    std::vector<Call> path;
    std::vector<Call> pending;
    int seen = 0;
    for (const Call& call : surface.calls) {
        if (call.op == Op::SetPaintColour && call.colour == colour) {
            if (seen++ == occurrence)
                return pending;
        }
        if (call.op == Op::StrokeSolid || call.op == Op::StrokeDashed || call.op == Op::StrokeDotted ||
            call.op == Op::Fill)
            pending.clear();
        else if (call.op == Op::MoveTo || call.op == Op::LineTo || call.op == Op::AddBox)
            pending.push_back(call);
    }
    return path;
}

std::size_t countOp(const std::vector<Call>& calls, Op op)
{
    std::size_t n = 0;
    for (const Call& call : calls)
        n += call.op == op;
    return n;
}

TEST(DrawGrid, LinesAxesAndOutline)
{
    resetWorld();
    addMove(100, 100, 300, 200);
    setIdentityView(800, 600);
    drawGrid({800, 600, 400, 300, 1.0, 400, 300});

    const std::vector<Call> grid = pathPaintedBy(colourScheme.gridDot);
    EXPECT_EQ(countOp(grid, Op::MoveTo), 81u + 61u) << "every 10 mm from 0 to 800 and 0 to 600";
    ASSERT_EQ(countOf(Op::StrokeDotted), 1u);
    EXPECT_EQ(callsOf(Op::StrokeDotted)[0].b, 3.0);

    const std::vector<Call> axes = pathPaintedBy(colourScheme.gridLine);
    ASSERT_EQ(axes.size(), 4u);
    EXPECT_EQ(axes[0].a, 0.0) << "the Y axis at canvas x 0";
    EXPECT_EQ(axes[2].b, 600.0) << "the X axis at canvas y 600";

    const std::vector<Call> outline = pathPaintedBy(colourScheme.jobOutline);
    ASSERT_EQ(outline.size(), 8u);
    EXPECT_EQ(outline[0].a, 100.0);
    EXPECT_EQ(outline[2].a, 300.0);
    EXPECT_EQ(outline[4].b, 500.0);
    EXPECT_EQ(outline[6].b, 400.0);
    ASSERT_EQ(countOf(Op::StrokeDashed), 1u);
    EXPECT_EQ(callsOf(Op::StrokeDashed)[0].b, 5.0);
}

TEST(DrawGrid, OriginOffCanvasAndTravelOnly)
{
    resetWorld();
    addMove(0, 0, 100, 100, 0, true);
    drawGrid({800, 600, 400, 300, 1.0, 5000, 5000});
    EXPECT_TRUE(pathPaintedBy(colourScheme.gridLine).empty()) << "no axis crosses the canvas";
    EXPECT_EQ(countOf(Op::StrokeDashed), 0u) << "travel moves never make an outline";

    surface.calls.clear();
    drawRulers({800, 600, 400, 300, 1.0, 5000, 5000});
    const std::vector<Call> cross = pathPaintedBy(colourScheme.originMark);
    ASSERT_EQ(cross.size(), 4u) << "the origin mark is issued off the canvas too";
    EXPECT_EQ(cross[0].a, -4600.0 - 8.0);
}

TEST(DrawRulers, BandsTicksAndLabelsInPlace)
{
    resetWorld();
    addMove(0, 0, 10, 10);
    setIdentityView(800, 600);
    drawRulers({800, 600, 400, 300, 1.0, 400, 300});

    const std::vector<Call> boxes = callsOf(Op::AddBox);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ((std::vector<double>{boxes[0].a, boxes[0].b, boxes[0].c, boxes[0].d}),
              (std::vector<double>{0, 0, 46, 600}));
    EXPECT_EQ((std::vector<double>{boxes[1].a, boxes[1].b, boxes[1].c, boxes[1].d}),
              (std::vector<double>{46, 578, 754, 22}));

    const std::vector<Call> borders = pathPaintedBy(colourScheme.gridLine, 0);
    ASSERT_EQ(borders.size(), 3u);
    EXPECT_EQ(borders[2].a, 800.0);
    EXPECT_EQ(borders[2].b, 578.0);

    // Step 50: X ticks at 50 .. 750 (not 0 inside the band, not 800 on the edge); Y ticks
    // at canvas y 550 .. 0 (machine 50 .. 600).
    const std::vector<Call> ticks = pathPaintedBy(colourScheme.gridLine, 1);
    std::vector<double> xTicks, yTicks;
    for (const Call& call : ticks) {
        if (call.op != Op::MoveTo)
            continue;
        if (call.b == 578.0)
            xTicks.push_back(call.a);
        else
            yTicks.push_back(call.b);
    }
    ASSERT_EQ(xTicks.size(), 15u);
    EXPECT_EQ(xTicks.front(), 50.0);
    EXPECT_EQ(xTicks.back(), 750.0);
    ASSERT_EQ(yTicks.size(), 12u);
    EXPECT_EQ(yTicks.front(), 550.0);
    EXPECT_EQ(yTicks.back(), 0.0);

    // Labels: the cursor set just before each text. "50" under x 50 would cross the band.
    std::vector<std::pair<std::string, std::pair<double, double>>> labels;
    Call cursor{Op::MoveTo, 0, 0, 0, 0, 0, {}};
    for (const Call& call : surface.calls) {
        if (call.op == Op::MoveTo)
            cursor = call;
        if (call.op == Op::DrawText)
            labels.push_back({call.text, {cursor.a, cursor.b}});
    }
    ASSERT_EQ(labels.size(), 14u + 11u + 1u);
    EXPECT_EQ(labels[0].first, "100");
    EXPECT_EQ(labels[0].second, std::make_pair(100.0 - 9.0, 584.0));
    EXPECT_EQ(labels[13].first, "750");
    EXPECT_EQ(labels[14].first, "50");
    EXPECT_EQ(labels[14].second, std::make_pair(46.0 - 5.0 - 3.0 - 12.0, 550.0 - 6.5));
    EXPECT_EQ(labels[24].first, "550");
    EXPECT_EQ(labels[25].first, "mm");
    EXPECT_EQ(labels[25].second, std::make_pair(17.0, 582.5));
}

TEST(DrawRulers, ScaledDisplay)
{
    resetWorld(1200, 900);
    surface.canvasLayoutWidth = 800;
    settings.inches = 1;
    addMove(0, 0, 10, 10);
    refreshCanvasMetrics();
    ASSERT_EQ(viewState.uiScale, 1.5);
    drawRulers({1200, 900, 600, 450, 1.0, 600, 450});
    const std::vector<Call> boxes = callsOf(Op::AddBox);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].c, 69.0);
    EXPECT_EQ(boxes[1].d, 33.0);
    ASSERT_EQ(countOf(Op::SetTextFont), 1u);
    EXPECT_EQ(callsOf(Op::SetTextFont)[0].b, 16.5);
    EXPECT_EQ(callsOf(Op::DrawText).back().text, "in");
    const std::vector<Call> cross = pathPaintedBy(colourScheme.originMark);
    ASSERT_EQ(cross.size(), 4u);
    EXPECT_EQ(cross[1].a - cross[0].a, 24.0) << "arms of 8 x 1.5 each side";
}

// Views that no zoom produces but a hostile file or an overflowing centre can: the walks
// end at once, and nothing far off or undefined reaches the path.
TEST(GridAndRulers, HostileViewsEndQuicklyAndStayFinite)
{
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Row {
        const char* name;
        double scale, centerX, centerY;
    } rows[] = {
        {"centre so far the step vanishes", 1.0, 1e300, -1e300},
        {"scale so small the multiples merge", 1e-30, 0, 0},
        {"scale far above any zoom", 1e300, 0, 0},
        {"infinite centre", 1.0, inf, -inf},
        {"undefined centre", 1.0, nan, nan},
        {"undefined scale", nan, 0, 0},
        {"infinite scale", inf, 1, 1},
    };
    for (int inches = 0; inches <= 1; ++inches) {
        for (const Row& row : rows) {
            SCOPED_TRACE(row.name);
            resetWorld();
            settings.inches = inches;
            addMove(-1e30, -1e30, 1e30, 1e30);
            drawGrid({800, 600, 400, 300, row.scale, row.centerX, row.centerY});
            drawRulers({800, 600, 400, 300, row.scale, row.centerX, row.centerY});
            EXPECT_LT(countOf(Op::MoveTo), 2000u);
            for (const Call& call : surface.calls) {
                if (call.op != Op::MoveTo && call.op != Op::LineTo)
                    continue;
                ASSERT_TRUE(std::isfinite(call.a) && std::isfinite(call.b));
                ASSERT_LE(std::fabs(call.a), 20010.0);
                ASSERT_LE(std::fabs(call.b), 20010.0);
            }
        }
    }
}

} // namespace
