// Checks fitting, zooming and panning arithmetic against worked examples.
#include "tests/view/view_world.h"

#include "view/view_mapping.h"

#include <cmath>
#include <vector>

namespace {

struct Segment {
    double x1, y1, x2, y2;
    bool travel;
};

struct FitRow {
    const char* name;
    std::vector<Segment> moves;
    bool showBed;
    int canvasWidth, canvasHeight, layoutWidth;
    double scale, centerX, centerY;
};

TEST(FitView, WorkedExamples)
{
    const std::vector<FitRow> rows = {
        {"line without bed", {{0, 0, 100, 0, false}}, false, 800, 600, 800, 7.6, 50.0, 0.0},
        {"line with bed",
         {{0, 0, 100, 0, false}},
         true,
         800,
         600,
         800,
         714.0 / 100.0,
         50.0 - 23.0 / 7.14,
         0.0 - 11.0 / 7.14},
        {"travel only uses all bounds", {{0, 0, 40, 20, true}}, false, 800, 600, 800, 19.0, 20.0, 10.0},
        {"cutting bounds win over travel",
         {{0, 0, 100, 100, true}, {100, 100, 110, 105, false}},
         false,
         800,
         600,
         800,
         76.0,
         105.0,
         102.5},
        {"vertical line is flat in X", {{3, 0, 3, 50, false}}, false, 800, 600, 800, 11.2, 3.0, 25.0},
        {"a point fits as 1 mm square", {{5, 5, 5, 5, false}}, false, 800, 600, 800, 560.0, 5.0, 5.0},
        {"10-pixel floor", {{0, 0, 100, 50, false}}, false, 30, 30, 30, 0.1, -50.0, 125.0},
        {"display scale 2 doubles the margins",
         {{0, 0, 100, 0, false}},
         false,
         1600,
         1200,
         800,
         15.2,
         50.0,
         0.0},
        {"huge job goes below the zoom range",
         {{0, 0, 200000, 0, false}},
         false,
         800,
         600,
         800,
         0.0038,
         100000.0,
         0.0},
    };
    for (const FitRow& row : rows) {
        SCOPED_TRACE(row.name);
        resetWorld(row.canvasWidth, row.canvasHeight);
        surface.canvasLayoutWidth = row.layoutWidth;
        settings.showBed = row.showBed;
        for (const Segment& s : row.moves)
            addMove(s.x1, s.y1, s.x2, s.y2, 1000.0, s.travel);
        viewState.autoFit = false;
        fitView();
        EXPECT_NEAR(viewState.scale, row.scale, 1e-9 * row.scale);
        EXPECT_NEAR(viewState.centerX, row.centerX, 1e-9);
        EXPECT_NEAR(viewState.centerY, row.centerY, 1e-9);
        EXPECT_TRUE(viewState.autoFit);
        EXPECT_EQ(countOf(Op::RasterDrawImage), 1u) << "the fit ends in one redraw";
    }
}

TEST(FitView, TinyJobFitsAboveTheZoomLimitUntilTheNextZoom)
{
    resetWorld();
    settings.showBed = 0;
    addMove(0, 0, 0.002, 0.002);
    fitView();
    EXPECT_NEAR(viewState.scale, 280000.0, 1e-6);
    zoomAt(400, 300, ZoomStep);
    EXPECT_EQ(viewState.scale, MaxScale);
}

TEST(FitView, WithoutBoundsOnlyRedraws)
{
    resetWorld();
    viewState.scale = 3.0;
    viewState.centerX = 7.0;
    viewState.autoFit = false;
    fitView();
    EXPECT_EQ(viewState.scale, 3.0);
    EXPECT_EQ(viewState.centerX, 7.0);
    EXPECT_FALSE(viewState.autoFit);
    EXPECT_EQ(countOf(Op::RasterDrawImage), 1u);
}

TEST(CanvasMetrics, DisplayScaleRule)
{
    struct Row {
        const char* name;
        int canvasWidth, layoutWidth;
        double before, expected;
    } rows[] = {
        {"same size", 800, 800, 1.0, 1.0},
        {"one and a half", 1200, 800, 1.0, 1.5},
        {"below one half becomes 1", 320, 800, 1.5, 1.0},
        {"exactly one half stays", 400, 800, 1.0, 0.5},
        {"unknown control keeps the last value", 800, 0, 1.5, 1.5},
        {"a NaN left over becomes 1", 800, 0, std::nan(""), 1.0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        resetWorld(row.canvasWidth, 600);
        surface.canvasLayoutWidth = row.layoutWidth;
        viewState.uiScale = row.before;
        refreshCanvasMetrics();
        EXPECT_EQ(viewState.canvasWidth, row.canvasWidth);
        EXPECT_EQ(viewState.canvasHeight, 600);
        EXPECT_EQ(viewState.uiScale, row.expected);
    }
}

TEST(CanvasMetrics, CanvasWithoutImageKeepsTheLastSize)
{
    resetWorld(0, 0);
    viewState.canvasWidth = 640;
    viewState.canvasHeight = 480;
    surface.canvasLayoutWidth = 320;
    refreshCanvasMetrics();
    EXPECT_EQ(viewState.canvasWidth, 640);
    EXPECT_EQ(viewState.canvasHeight, 480);
    EXPECT_EQ(viewState.uiScale, 2.0);
}

// The machine point under a canvas point, by the inverse mapping.
void machineAt(double px, double py, double& x, double& y)
{
    x = viewState.centerX + (px - viewState.canvasWidth / 2.0) / viewState.scale;
    y = viewState.centerY - (py - viewState.canvasHeight / 2.0) / viewState.scale;
}

TEST(ZoomAt, ClampsAndKeepsThePointUnderThePointer)
{
    struct Row {
        const char* name;
        double factor, limit;
    } rows[] = {{"zoom in stops at 5000", ZoomStep, MaxScale},
                {"zoom out stops at 0.01", ZoomOutStep, MinScale},
                {"wheel of two notches", ZoomStep * ZoomStep, MaxScale}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        resetWorld();
        addMove(0, 0, 100, 50);
        fitView();
        const double px = 123.0, py = 456.0;
        double x0, y0;
        machineAt(px, py, x0, y0);
        for (int i = 0; i < 200; ++i) {
            const std::size_t drawnBefore = countOf(Op::RasterDrawImage);
            zoomAt(px, py, row.factor);
            EXPECT_EQ(countOf(Op::RasterDrawImage), drawnBefore + 1) << "every zoom redraws";
            EXPECT_FALSE(viewState.autoFit);
            double x, y;
            machineAt(px, py, x, y);
            ASSERT_NEAR(x, x0, 1e-9 * (1 + std::fabs(x0)) + 1e-9) << "step " << i;
            ASSERT_NEAR(y, y0, 1e-9 * (1 + std::fabs(y0)) + 1e-9) << "step " << i;
        }
        EXPECT_EQ(viewState.scale, row.limit);
    }
}

TEST(ZoomAt, WheelFactorAndCentre)
{
    resetWorld();
    addMove(0, 0, 100, 50);
    setIdentityView(800, 600);
    zoomAt(500, 100, 1.5625);
    EXPECT_EQ(viewState.scale, 1.5625);
    // Machine (500, 500) stays under canvas (500, 100).
    EXPECT_DOUBLE_EQ(viewState.centerX, 500.0 - 100.0 / 1.5625);
    EXPECT_DOUBLE_EQ(viewState.centerY, 500.0 - 200.0 / 1.5625);
}

TEST(ZoomAt, WithoutMovesDoesNothing)
{
    resetWorld();
    zoomAt(400, 300, ZoomStep);
    EXPECT_EQ(viewState.scale, 1.0);
    EXPECT_TRUE(viewState.autoFit);
    EXPECT_TRUE(surface.calls.empty());
}

TEST(PanView, MovesTheDrawingWithThePointer)
{
    struct Row {
        const char* name;
        int dx, dy;
        double centerX, centerY;
    } rows[] = {
        {"right and up", 30, -10, 10.0 - 30.0 / 4.0, 20.0 - 10.0 / 4.0},
        {"left and down", -8, 12, 10.0 + 8.0 / 4.0, 20.0 + 12.0 / 4.0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        resetWorld();
        addMove(0, 0, 10, 10);
        viewState.scale = 4.0;
        viewState.centerX = 10.0;
        viewState.centerY = 20.0;
        panView(row.dx, row.dy);
        EXPECT_DOUBLE_EQ(viewState.centerX, row.centerX);
        EXPECT_DOUBLE_EQ(viewState.centerY, row.centerY);
        EXPECT_FALSE(viewState.autoFit);
        EXPECT_EQ(countOf(Op::RasterDrawImage), 1u);
    }
}

TEST(PanView, ZeroOffsetChangesNothing)
{
    resetWorld();
    addMove(0, 0, 10, 10);
    panView(0, 0);
    EXPECT_TRUE(viewState.autoFit);
    EXPECT_EQ(viewState.centerX, 0.0);
    EXPECT_TRUE(surface.calls.empty());
}

} // namespace

// One value carries the view to every drawing of it: an odd canvas puts the centre on a half
// pixel, the two directions invert each other, and the off-canvas test treats the far edges
// as off and an undefined end as never off (the clip decides about it).
TEST(ViewMapping, MapsBothWaysAndTellsWhatIsOffTheCanvas)
{
    resetWorld();
    viewState.canvasWidth = 801;
    viewState.canvasHeight = 601;
    viewState.scale = 4.0;
    viewState.centerX = 10.0;
    viewState.centerY = -5.0;
    const ViewMapping view = viewMapping();
    EXPECT_EQ(view.cx, 400.5);
    EXPECT_EQ(view.cy, 300.5);
    EXPECT_EQ(view.canvasX(12.5), 410.5); // 2.5 mm right of the centre
    EXPECT_EQ(view.canvasY(-2.0), 288.5); // 3 mm up: the canvas's y grows downwards
    EXPECT_EQ(view.machineX(410.5), 12.5);
    EXPECT_EQ(view.machineY(288.5), -2.0);
    double x = 0.0, y = 0.0;
    machineToCanvas(12.5, -2.0, x, y);
    EXPECT_TRUE(x == 410.5 && y == 288.5);

    EXPECT_TRUE(view.offCanvas(801, 0, 900, 600));     // both at or right of the last column
    EXPECT_FALSE(view.offCanvas(800.9, 0, 900, 600));  // one end still on it
    EXPECT_TRUE(view.offCanvas(-1, -1, 5, -0.5));      // both above
    EXPECT_FALSE(view.offCanvas(-1, 0, 5, 601));       // crosses it
    EXPECT_FALSE(view.offCanvas(NAN, NAN, 900, 900));  // undefined: left to the clip
    EXPECT_EQ(viewMapping(640, 480).cx, 320.0);        // another size, the same view
    EXPECT_EQ(viewMapping(640, 480).scale, 4.0);
}
