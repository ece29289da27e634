// Checks the exact status texts: time, bounds and size in both units and languages.
#include "tests/view/view_world.h"
#include "view/status_line.h"

#include <limits>
#include <vector>

namespace {

TEST(StatusLine, WholeTextInBothUnitsAndLanguages)
{
    resetWorld();
    addMove(0, 0, 100, 50);
    toolpath.estimatedSeconds = 665.0;
    EXPECT_EQ(
        composeStatusLine(false, false),
        "Estimated time: 12 min (0:11:05)        Bounds:  X 0.00 \u2192 100.00   Y 0.00 \u2192 50.00"
        "        Size: 100.00 \u00d7 50.00 mm");
    EXPECT_EQ(
        composeStatusLine(false, true),
        "Estimated time: 12 min (0:11:05)        Bounds:  X 0.000 \u2192 3.937   Y 0.000 \u2192 1.969"
        "        Size: 3.937 \u00d7 1.969 in");
    EXPECT_EQ(composeStatusLine(true, false), "Tiempo estimado: 12 min (0:11:05)        L\u00edmites:  "
                                              "X 0.00 \u2192 100.00   Y 0.00 \u2192 50.00"
                                              "        Tama\u00f1o: 100.00 \u00d7 50.00 mm");
    EXPECT_EQ(composeStatusLine(true, true), "Tiempo estimado: 12 min (0:11:05)        L\u00edmites:  "
                                             "X 0.000 \u2192 3.937   Y 0.000 \u2192 1.969"
                                             "        Tama\u00f1o: 3.937 \u00d7 1.969 in");
}

TEST(StatusLine, TimePart)
{
    const double inf = std::numeric_limits<double>::infinity();
    struct Row {
        double seconds;
        const char* expected; // the text up to the closing parenthesis
    } rows[] = {
        {0, "Estimated time: 0 min (0:00:00)"},
        {0.4, "Estimated time: 1 min (0:00:00)"},
        {29.5, "Estimated time: 1 min (0:00:30)"},
        {59, "Estimated time: 1 min (0:00:59)"},
        {61, "Estimated time: 2 min (0:01:01)"},
        {3725, "Estimated time: 63 min (1:02:05)"},
        {360000, "Estimated time: 6000 min (100:00:00)"},
        // Beyond 32-bit seconds the clock saturates instead of wrapping; the minutes are
        // written from the double.
        {6e12, "Estimated time: 100000000000 min (596523:14:07)"},
        {inf, "Estimated time: +Infinity min (596523:14:07)"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.expected);
        resetWorld();
        addMove(0, 0, 1, 1);
        toolpath.estimatedSeconds = row.seconds;
        const std::string text = composeStatusLine(false, false);
        EXPECT_EQ(text.substr(0, text.find(')') + 1), row.expected);
    }
}

TEST(StatusLine, BoundsPart)
{
    struct Move4 {
        double x1, y1, x2, y2;
        bool travel;
    };
    struct Row {
        const char* name;
        std::vector<Move4> moves;
        bool inches;
        const char* expected; // from "Bounds:" on
    } rows[] = {
        {"negative minimum, mm",
         {{-12.5, 0, 10, 5, false}},
         false,
         "Bounds:  X -12.50 \u2192 10.00   Y 0.00 \u2192 5.00        Size: 22.50 \u00d7 5.00 mm"},
        {"negative minimum, inches",
         {{-12.5, 0, 10, 5, false}},
         true,
         "Bounds:  X -0.492 \u2192 0.394   Y 0.000 \u2192 0.197        Size: 0.886 \u00d7 0.197 in"},
        {"a thousandth below zero keeps its sign",
         {{-0.001, -0.001, 5, 5, false}},
         false,
         "Bounds:  X -0.00 \u2192 5.00   Y -0.00 \u2192 5.00        Size: 5.00 \u00d7 5.00 mm"},
        {"travel only uses all moves",
         {{0, 0, 40, 20, true}},
         false,
         "Bounds:  X 0.00 \u2192 40.00   Y 0.00 \u2192 20.00        Size: 40.00 \u00d7 20.00 mm"},
        {"cutting moves win over farther travel",
         {{0, 0, 100, 100, true}, {100, 100, 110, 105, false}},
         false,
         "Bounds:  X 100.00 \u2192 110.00   Y 100.00 \u2192 105.00        Size: 10.00 \u00d7 5.00 mm"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        resetWorld();
        for (const Move4& m : row.moves)
            addMove(m.x1, m.y1, m.x2, m.y2, 1000, m.travel);
        const std::string text = composeStatusLine(false, row.inches);
        EXPECT_EQ(text.substr(text.find("Bounds:")), row.expected);
    }
}

TEST(StatusLine, UpdateWritesTheControlAndEmptiesWithoutMoves)
{
    resetWorld();
    surface.statusText = "old";
    updateStatusLine();
    EXPECT_EQ(surface.statusText, "");

    addMove(0, 0, 100, 50);
    uiSpanish = true;
    settings.inches = 1;
    updateStatusLine();
    EXPECT_EQ(surface.statusText, composeStatusLine(true, true));
    EXPECT_EQ(surface.statusText.rfind(" in"), surface.statusText.size() - 3);
}

TEST(PointerText, MachinePointUnderThePointerInBothUnits)
{
    // A lopsided view: odd canvas width, centre off the origin, 4 pixels per mm.
    resetWorld(801, 600);
    addMove(0, 0, 100, 50);
    viewState.canvasWidth = 801;
    viewState.canvasHeight = 600;
    viewState.scale = 4.0;
    viewState.centerX = 10.0;
    viewState.centerY = 20.0;
    struct Row {
        const char* name;
        double x, y; // machine mm
        const char* millimetres;
        const char* inches;
    } rows[] = {
        {"right of and above the centre", 20.0, 25.0, "X 20.00   Y 25.00 mm", "X 0.787   Y 0.984 in"},
        {"left of and below the origin", -12.5, -0.5, "X -12.50   Y -0.50 mm",
         "X -0.492   Y -0.020 in"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        double px = 0.0, py = 0.0;
        machineToCanvas(row.x, row.y, px, py);
        double x = 0.0, y = 0.0;
        canvasToMachine(px, py, x, y);
        EXPECT_NEAR(x, row.x, 1e-12);
        EXPECT_NEAR(y, row.y, 1e-12);
        EXPECT_EQ(composePointerText(row.x, row.y, false), row.millimetres);
        EXPECT_EQ(composePointerText(row.x, row.y, true), row.inches);
    }
    // Canvas pixel (440.5, 280) lies 40 pixels right of and 20 above the centre.
    double x = 0.0, y = 0.0;
    canvasToMachine(440.5, 280.0, x, y);
    EXPECT_DOUBLE_EQ(x, 20.0);
    EXPECT_DOUBLE_EQ(y, 25.0);
}

} // namespace
