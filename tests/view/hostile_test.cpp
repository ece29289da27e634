// Files whose numbers overflow a float or a double: fitting, zooming, panning and drawing
// them must end, stay defined and hand nothing infinite or far off to the drawing surface.
#include "model/interpreter.h"
#include "tests/view/view_world.h"
#include "view/status_line.h"

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace {

const std::string Huge(400, '9'); // far beyond the largest double

void interpret(const std::string& text)
{
    std::vector<unsigned char> buffer(text.begin(), text.end());
    buffer.resize(text.size() + 2);
    interpretGcodeBuffer(buffer.data(), text.size(), "hostile.gcode");
}

// Every coordinate the drawing surface received is finite and near the canvas.
void expectOnlySaneCoordinates()
{
    std::size_t pathCalls = 0;
    for (const Call& call : surface.calls) {
        if (call.op != Op::MoveTo && call.op != Op::LineTo && call.op != Op::AddBox)
            continue;
        ++pathCalls;
        ASSERT_TRUE(std::isfinite(call.a) && std::isfinite(call.b) && std::isfinite(call.c) &&
                    std::isfinite(call.d));
        ASSERT_LE(std::fabs(call.a), 20010.0);
        ASSERT_LE(std::fabs(call.b), 20010.0);
    }
    EXPECT_LT(pathCalls, 20000u);
}

TEST(HostileFiles, FitZoomPanAndDrawStayDefined)
{
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Row {
        const char* name;
        std::string gcode;                      // interpreted when not empty
        std::vector<std::vector<double>> moves; // else appended directly: x1 y1 x2 y2 travel
    } rows[] = {
        {"X beyond a float", "G1 X1000000000000000000000000000000000000000 S500\nG1 Y20\n", {}},
        {"X beyond a double", "G1 X" + Huge + " S500\nG1 Y20\n", {}},
        {"both bounds infinite",
         "G1 X-" + Huge + " Y-" + Huge + "\nG1 X" + Huge + " Y" + Huge + "\n",
         {}},
        {"infinite travel, finite cut", "G0 X" + Huge + "\nG1 X10 Y10 S100\n", {}},
        {"infinite cut appended", "", {{0, 0, inf, 5, 0}, {inf, 5, 10, 10, 0}}},
        {"from minus to plus infinity", "", {{-inf, -inf, inf, inf, 0}, {inf, inf, 1, 1, 1}}},
        {"undefined coordinates", "", {{nan, 0, 5, nan, 0}, {5, 5, 10, 10, 0}}},
        {"near the double limit", "", {{-1.7e308, -1.7e308, 1.7e308, 1.7e308, 0}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        resetWorld();
        settings.showTravel = 1;
        settings.showBed = 1;
        if (!row.gcode.empty())
            interpret(row.gcode);
        for (const std::vector<double>& m : row.moves)
            addMove(m[0], m[1], m[2], m[3], 500, m[4] != 0);
        ASSERT_GT(toolpath.moveCount, 0);

        fitView();
        EXPECT_TRUE(viewState.scale > 0.0 && std::isfinite(viewState.scale));
        EXPECT_TRUE(std::isfinite(viewState.centerX));
        EXPECT_TRUE(std::isfinite(viewState.centerY));
        for (int i = 0; i < 3; ++i)
            zoomAt(100, 500, ZoomStep);
        for (int i = 0; i < 6; ++i)
            zoomAt(700, 50, ZoomOutStep);
        panView(30, -10);
        EXPECT_TRUE(std::isfinite(viewState.centerX));
        EXPECT_TRUE(std::isfinite(viewState.centerY));
        settings.inches = 1;
        redraw();
        expectOnlySaneCoordinates();
        EXPECT_FALSE(composeStatusLine(false, true).empty());
    }
}

TEST(HostileFiles, PoisonedViewDrawsNothingFarOff)
{
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Row {
        const char* name;
        double scale, centerX, centerY;
    } rows[] = {
        {"infinite centre", 1.0, inf, -inf},
        {"undefined centre", 1.0, nan, 0.0},
        {"centre beyond the step", 1.0, 1e300, 1e300},
        {"scale beyond the zoom", 1e300, 0.0, 0.0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        resetWorld();
        settings.showTravel = 1;
        for (int i = 0; i < 100; ++i)
            addMove(i, 0, i + 1, 10, 10 * i, i % 3 == 0);
        viewState.scale = row.scale;
        viewState.centerX = row.centerX;
        viewState.centerY = row.centerY;
        redraw();
        expectOnlySaneCoordinates();
    }
}

} // namespace

namespace {

// A lone cut at about 1e38 mm zoomed in: the clip loses more than the canvas to rounding at
// such distances, and its ends must still land on the clip rectangle.
TEST(HostileFiles, ClippedEndsStayNearTheCanvasAtAnyDistance)
{
    resetWorld();
    settings.showBed = 0;
    interpret("G1 Y99999999999999999999999999999999999999 S500\n");
    ASSERT_EQ(toolpath.moveCount, 1);
    fitView();
    for (int i = 0; i < 5; ++i) {
        zoomAt(viewState.canvasWidth / 2.0, viewState.canvasHeight / 2.0, ZoomStep);
        expectOnlySaneCoordinates();
        surface.calls.clear();
    }
}

// A job reaching near the double limit is fitted at a scale of about 1e-305 px per mm, so
// one drag or one zoom about a distant point moves the centre by more than the double
// range. The centre must stop at the largest double instead of becoming infinite (nothing
// drawn) and then undefined at the next zoom (infinity minus infinity).
TEST(HostileFiles, CentreStaysFiniteWhenADragOrZoomLeavesTheDoubleRange)
{
    // A tall job at the far left: the fit shifts the centre left by the ruler band, about
    // 7e306 mm at this scale, which is past the lowest double.
    resetWorld();
    settings.showBed = 1;
    addMove(-1.79e308, 0.0, -1.79e308, 1.7e308, 500, false);
    fitView();
    EXPECT_EQ(viewState.centerX, -std::numeric_limits<double>::max());
    EXPECT_TRUE(std::isfinite(viewState.centerY));

    resetWorld();
    settings.showBed = 1;
    addMove(0.0, -1.5e308, 1.5e308, 0.0, 500, false);
    fitView();
    ASSERT_LT(viewState.scale, 1e-300);

    panView(-1000, -1000); // far to the right and down: past +max in x and -max in y
    EXPECT_EQ(viewState.centerX, std::numeric_limits<double>::max());
    EXPECT_EQ(viewState.centerY, -std::numeric_limits<double>::max());
    panView(1, 1); // a drag back moves away from the limit again
    EXPECT_LT(viewState.centerX, std::numeric_limits<double>::max());
    EXPECT_GT(viewState.centerY, -std::numeric_limits<double>::max());

    for (const double px : {-640.0, 1920.0}) {
        SCOPED_TRACE(px);
        fitView();
        panView(-1000, -1000);
        surface.calls.clear();
        zoomAt(px, px, ZoomOutStep); // the pointer's machine point lies beyond the range
        EXPECT_TRUE(std::isfinite(viewState.centerX));
        EXPECT_TRUE(std::isfinite(viewState.centerY));
        zoomAt(-px, -px, ZoomStep);
        EXPECT_TRUE(std::isfinite(viewState.centerX));
        EXPECT_TRUE(std::isfinite(viewState.centerY));
        expectOnlySaneCoordinates();
    }
}

} // namespace
