// Checks what the renderer hands to the drawing surface: passes, batching, merging,
// culling, clipping and the empty-canvas message.
#include "platform/drawing.h"
#include "tests/view/view_world.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace {

// The walk over the moves (cull, colour, clip, key) is the same whichever way the segments
// are drawn; drawn as strokes of the vector context, the recording surface sees each one.
void resetStrokeWorld(int width = 800, int height = 600)
{
    resetWorld(width, height);
    rendererOptions.moveDrawing = MoveDrawing::Painter;
}

// The calls made inside the vector context, after the background fill.
std::vector<Call> passCalls()
{
    std::vector<Call> inside;
    bool open = false;
    bool afterBackground = false;
    for (const Call& call : surface.calls) {
        if (call.op == Op::BeginVector) {
            open = true;
            continue;
        }
        if (call.op == Op::EndVector)
            break;
        if (open && afterBackground)
            inside.push_back(call);
        if (open && call.op == Op::PaintAll)
            afterBackground = true;
    }
    return inside;
}

std::size_t count(const std::vector<Call>& calls, Op op)
{
    std::size_t n = 0;
    for (const Call& call : calls)
        n += call.op == op;
    return n;
}

void drawOnly(int width = 800, int height = 600)
{
    settings.showBed = 0;
    settings.showTravel = 0;
    setIdentityView(width, height);
    redraw();
}

TEST(Renderer, StrokesEvery4000SegmentsAndAtTheEnd)
{
    resetStrokeWorld();
    // A zigzag of 10000 chained segments, each on other half pixels than the one before.
    double y = 50.0;
    for (int i = 0; i < 10000; ++i) {
        const double x1 = (i % 2) ? 60.0 : 50.0;
        const double x2 = (i % 2) ? 50.0 : 60.0;
        addMove(x1, y, x2, y + 0.05);
        y += 0.05;
    }
    drawOnly();
    const std::vector<Call> calls = passCalls();
    std::vector<int> linesPerStroke;
    std::vector<bool> batchStartsWithFigure;
    int lines = 0;
    bool expectFigure = true;
    for (const Call& call : calls) {
        if (call.op == Op::LineTo)
            ++lines;
        if (call.op == Op::MoveTo || call.op == Op::LineTo) {
            if (expectFigure)
                batchStartsWithFigure.push_back(call.op == Op::MoveTo);
            expectFigure = false;
        }
        if (call.op == Op::StrokeSolid) {
            linesPerStroke.push_back(lines);
            lines = 0;
            expectFigure = true;
        }
    }
    EXPECT_EQ(linesPerStroke, (std::vector<int>{4000, 4000, 2000}));
    EXPECT_EQ(batchStartsWithFigure, (std::vector<bool>{true, true, true}));
    EXPECT_EQ(count(calls, Op::MoveTo), 3u) << "chained segments share one figure per batch";
    EXPECT_EQ(count(calls, Op::SetPaintColour), 1u);
}

TEST(Renderer, MergesSegmentsOnTheSameHalfPixels)
{
    struct Row {
        const char* name;
        std::vector<std::vector<double>> moves; // x1, y1, x2, y2, power
        std::size_t lines, figures, colours;
    } rows[] = {
        {"identical moves", {{10, 10, 100, 20, 1000}, {10, 10, 100, 20, 1000}}, 1, 1, 1},
        {"less than half a pixel apart",
         {{10.1, 10.1, 100.1, 20.1, 1000}, {10.3, 10.3, 100.4, 20.3, 1000}},
         1,
         1,
         1},
        {"a colour change invalidates the key",
         {{10, 10, 100, 20, 1000}, {10, 10, 100, 20, 500}},
         2,
         2,
         2},
        {"touching moves chain", {{10, 10, 100, 20, 1000}, {100, 20, 200, 300, 1000}}, 2, 1, 1},
        {"a gap starts a figure", {{10, 10, 100, 20, 1000}, {100.5, 20, 200, 300, 1000}}, 2, 2, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        resetStrokeWorld();
        for (const std::vector<double>& m : row.moves)
            addMove(m[0], m[1], m[2], m[3], m[4]);
        drawOnly();
        const std::vector<Call> calls = passCalls();
        EXPECT_EQ(count(calls, Op::LineTo), row.lines);
        EXPECT_EQ(count(calls, Op::MoveTo), row.figures);
        EXPECT_EQ(count(calls, Op::SetPaintColour), row.colours);
        EXPECT_EQ(count(calls, Op::StrokeSolid), row.colours) << "one stroke per run of colour";
    }
}

TEST(Renderer, GreysByPowerComputedOnlyWhenThePowerChanges)
{
    resetStrokeWorld();
    addMove(10, 10, 20, 20, 100);
    addMove(20, 20, 30, 10, 100);
    addMove(30, 10, 40, 20, 500);
    const std::uint64_t before = greyEvaluations;
    drawOnly();
    EXPECT_EQ(greyEvaluations - before, 2u);
    std::vector<ColourValue> colours;
    for (const Call& call : passCalls())
        if (call.op == Op::SetPaintColour)
            colours.push_back(call.colour);
    EXPECT_EQ(colours,
              (std::vector<ColourValue>{makeRgba(189, 189, 189, 255), makeRgba(105, 105, 105, 255)}));
}

TEST(Renderer, PowerToColourOnBothSchemes)
{
    struct Row {
        const char* name;
        int grey, invert;
        double power;
        unsigned expected;
    } rows[] = {
        {"light, power 100 of 1000", 1, 0, 100, 189},
        {"light, power 500 of 1000", 1, 0, 500, 105},
        {"light, zero power", 1, 0, 0, 210},
        {"light, full power", 1, 0, 1000, 0},
        {"light, above the maximum", 1, 0, 4000, 0},
        {"dark, full power", 1, 1, 1000, 255},
        {"dark, zero power", 1, 1, 0, 60},
        {"dark, power 500", 1, 1, 500, 157},
        {"dark, NaN power", 1, 1, std::nan(""), 60},
        {"light without shading", 0, 0, 300, 0},
        {"dark without shading", 0, 1, 300, 235},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        resetStrokeWorld();
        settings.greyByPower = row.grey;
        settings.invertColours = row.invert;
        EXPECT_EQ(powerToColour(row.power), makeRgba(row.expected, row.expected, row.expected, 255));
    }
}

TEST(Renderer, CullsSegmentsWhollyOffOneSide)
{
    // Canvas 800 x 600; machine (x, y) lands on canvas (x, 600 - y).
    struct Row {
        const char* name;
        double x1, y1, x2, y2;
        bool drawn;
    } rows[] = {
        {"wholly left", -5, 100, -1, 500, false},
        {"wholly right, long in Y", 800, -1000, 900, 2000, false},
        {"wholly above", 100, 601, 500, 700, false},
        {"wholly below", 100, 0, 500, -100, false},
        {"touching the left edge", 0, 100, -50, 200, true},
        {"crossing the canvas", -100, 300, 900, 300, true},
        {"crossing a corner region is kept", -10, 300, 10, 650, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        resetStrokeWorld();
        addMove(row.x1, row.y1, row.x2, row.y2);
        drawOnly();
        const std::vector<Call> calls = passCalls();
        EXPECT_EQ(count(calls, Op::LineTo), row.drawn ? 1u : 0u);
        EXPECT_EQ(count(calls, Op::SetPaintColour), row.drawn ? 1u : 0u)
            << "a culled move costs no colour work";
    }
}

TEST(Renderer, ClipsFarCoordinatesToTheCanvasPlusMargin)
{
    resetStrokeWorld();
    addMove(-50000, 300, 50000, 300);
    // Passes the cull (its box overlaps the canvas) but misses the clip rectangle.
    addMove(-30000, 300, 300, 30600);
    drawOnly();
    const std::vector<Call> moves = callsOf(Op::MoveTo);
    const std::vector<Call> lines = callsOf(Op::LineTo);
    ASSERT_EQ(moves.size(), 1u);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(moves[0].a, -10.0);
    EXPECT_EQ(moves[0].b, 300.0);
    EXPECT_EQ(lines[0].a, 810.0);
    EXPECT_EQ(lines[0].b, 300.0);
}

TEST(ClipSegment, LiangBarsky)
{
    struct Row {
        const char* name;
        double in[4];
        int result;
        double out[4];
    } rows[] = {
        {"inside stays", {1, 2, 3, 4}, 1, {1, 2, 3, 4}},
        {"horizontal across", {-50000, 5, 50000, 5}, 1, {-10, 5, 110, 5}},
        {"diagonal from outside", {-20, -20, 50, 50}, 1, {-10, -10, 50, 50}},
        {"reversed direction", {200, 50, 50, 50}, 1, {110, 50, 50, 50}},
        {"parallel outside", {-20, -30, 50, -30}, 0, {}},
        {"wholly beyond the right", {120, 0, 130, 90}, 0, {}},
        {"passes by a corner", {-30, -5, -5, -30}, 0, {}},
        {"an infinite end", {0, 0, std::numeric_limits<double>::infinity(), 50}, 0, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        double x1 = row.in[0], y1 = row.in[1], x2 = row.in[2], y2 = row.in[3];
        ASSERT_EQ(clipSegment(x1, y1, x2, y2, -10, -10, 110, 110), row.result);
        if (row.result == 1) {
            EXPECT_DOUBLE_EQ(x1, row.out[0]);
            EXPECT_DOUBLE_EQ(y1, row.out[1]);
            EXPECT_DOUBLE_EQ(x2, row.out[2]);
            EXPECT_DOUBLE_EQ(y2, row.out[3]);
        }
    }
    // Ends at opposite limits of the double range: their difference overflows, yet the
    // result is a finite piece of the line inside the rectangle, never NaN.
    double x1 = -1.7e308, y1 = 5, x2 = 1.7e308, y2 = 5;
    ASSERT_EQ(clipSegment(x1, y1, x2, y2, -10, -10, 110, 110), 1);
    for (double v : {x1, x2})
        EXPECT_TRUE(v >= -10 && v <= 110) << v;
    EXPECT_EQ(y1, 5.0);
    EXPECT_EQ(y2, 5.0);
}

TEST(Renderer, PassesInOrder)
{
    resetStrokeWorld();
    addMove(0, 0, 100, 100, 0, true);
    addMove(100, 100, 200, 50, 1000);
    settings.showTravel = 1;
    settings.showBed = 1;
    setIdentityView(800, 600);
    redraw();
    std::vector<ColourValue> colours;
    for (const Call& call : surface.calls)
        if (call.op == Op::SetPaintColour)
            colours.push_back(call.colour);
    const ColourScheme& c = colourScheme;
    const std::vector<ColourValue> expected = {
        makeRgba(255, 255, 255, 255), // background
        c.gridDot,
        c.gridLine,
        c.jobOutline, // grid layer
        c.travelMove,
        makeRgba(0, 0, 0, 255), // travel, then cutting
        c.originMark,
        c.rulerBack,
        c.gridLine,
        c.gridLine,
        c.rulerText, // ruler layer
    };
    EXPECT_EQ(colours, expected);
}

TEST(Renderer, DrawsMovesIntoTheFrameBetweenGridAndRulers)
{
    resetWorld();
    addMove(100, 499.5, 300, 499.5, 1000); // canvas row 100, centred on its pixels
    addMove(300, 499.5, 300, 400, 500);
    settings.showBed = 1;
    setIdentityView(800, 600);
    rendererOptions.threads = 2;
    const std::uint64_t before = greyEvaluations;
    redraw();
    auto pixel = [](int x, int y) { return surface.pixels[static_cast<std::size_t>(y * 800 + x)]; };
    EXPECT_EQ(pixel(200, 100), 0xff000000u) << "full power on the light scheme is black";
    EXPECT_EQ(pixel(200, 99), 0xffffffffu);
    EXPECT_EQ(pixel(200, 101), 0xffffffffu);
    EXPECT_EQ(greyEvaluations - before, 2u) << "counted once, not once per band";
    std::vector<Op> contexts;
    for (const Call& call : surface.calls)
        if (call.op == Op::BeginVector || call.op == Op::EndVector || call.op == Op::StrokeDotted)
            contexts.push_back(call.op);
    // Grid (dotted lines) in the first context, the moves without one, the rulers after.
    ASSERT_GE(contexts.size(), 4u);
    EXPECT_EQ(contexts.front(), Op::BeginVector);
    EXPECT_EQ(contexts.back(), Op::EndVector);
    EXPECT_EQ(std::count(contexts.begin(), contexts.end(), Op::BeginVector), 2);
}

TEST(Renderer, TravelMovesOnlyWhenShown)
{
    resetStrokeWorld();
    addMove(0, 0, 100, 100, 0, true);
    drawOnly();
    EXPECT_EQ(countOf(Op::LineTo), 0u);
    EXPECT_EQ(countOf(Op::SetPaintColour), 1u) << "only the background";
}

// The texts written into the frame image; those over the presented canvas (the replay's
// start hint) stand apart from the drawing.
std::vector<Call> frameTexts()
{
    std::vector<Call> texts;
    bool intoImage = false;
    for (const Call& call : surface.calls) {
        if (call.op == Op::BeginImageRaster || call.op == Op::BeginCanvasRaster)
            intoImage = call.op == Op::BeginImageRaster;
        else if (call.op == Op::RasterText && intoImage)
            texts.push_back(call);
    }
    return texts;
}

TEST(Renderer, HintWhenTheOptionsDrawNoMove)
{
    resetWorld();
    addMove(0, 0, 100, 100, 0, true);
    addMove(100, 100, 0, 50, 0, true);
    redraw();
    const std::vector<Call> texts = frameTexts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0].text, "This file has only travel moves (moves without power): 2 moves.");
    EXPECT_EQ(texts[1].text, "Tick \"Travel moves\" to show them.");
    EXPECT_EQ(texts[0].colour, colourScheme.hintText);
    EXPECT_EQ(texts[1].a, 46 + (800 - 46 - 33 * 6) / 2) << "each line centred on the bed";
    // Under the ruler layer: the rulers' context opens after the hint is written.
    std::size_t lastText = 0, lastVector = 0;
    bool intoImage = false;
    for (std::size_t i = 0; i < surface.calls.size(); ++i) {
        const Op op = surface.calls[i].op;
        intoImage = op == Op::BeginImageRaster || (intoImage && op != Op::BeginCanvasRaster);
        lastText = op == Op::RasterText && intoImage ? i : lastText;
        lastVector = surface.calls[i].op == Op::BeginVector ? i : lastVector;
    }
    EXPECT_LT(lastText, lastVector);

    // With the bed off the hint stays, centred on the whole canvas.
    resetSurface();
    settings.showBed = 0;
    redraw();
    ASSERT_EQ(frameTexts().size(), 2u);
    EXPECT_EQ(frameTexts()[1].a, (800 - 33 * 6) / 2);
    // A thumbnail's canvas breaks the lines at blanks, each whole between the margins.
    resetSurface(150, 150);
    redraw();
    std::string joined;
    for (const Call& line : frameTexts()) {
        EXPECT_LE(line.text.size() * 6, 150u - 12u) << line.text;
        EXPECT_GE(line.a, 6.0) << line.text;
        joined += line.text + " ";
    }
    EXPECT_EQ(joined, texts[0].text + " " + texts[1].text + " ");
    settings.showBed = 1;

    // Gone once travel moves are shown, or once a cutting move is drawn.
    for (const bool travel : {true, false}) {
        resetSurface();
        settings.showTravel = travel;
        if (!travel)
            addMove(0, 0, 10, 0);
        redraw();
        EXPECT_EQ(frameTexts().size(), 0u);
    }
    uiSpanish = true;
    clearToolpath();
    addMove(0, 0, 1, 1, 0, true);
    settings.showTravel = 0;
    redraw();
    EXPECT_EQ(
        frameTexts().at(0).text,
        "Este fichero solo tiene movimientos en vac\u00edo (movimientos sin potencia): 1 movimiento.");
}

TEST(Renderer, FrameImageRecreatedOnlyWhenTheSizeChanges)
{
    resetStrokeWorld();
    addMove(0, 0, 100, 100);
    drawOnly();
    redraw();
    EXPECT_EQ(countOf(Op::NewImage), 1u);
    EXPECT_EQ(countOf(Op::DeleteImage), 0u);
    surface.canvasWidth = 640;
    redraw();
    EXPECT_EQ(countOf(Op::DeleteImage), 1u);
    ASSERT_EQ(countOf(Op::NewImage), 2u);
    const Call created = callsOf(Op::NewImage)[1];
    EXPECT_EQ(created.b, 640);
    EXPECT_EQ(created.c, 600);
    EXPECT_EQ(created.colour, colourScheme.background);
}

TEST(Renderer, EmptyCanvasShowsTheMessageCentred)
{
    struct Row {
        const char* name;
        int invert;
        ColourValue background, text;
    } rows[] = {
        {"light", 0, makeRgb(255, 255, 255), makeRgb(120, 120, 120)},
        {"dark", 1, makeRgb(24, 30, 44), makeRgb(170, 175, 190)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        resetStrokeWorld(801, 600);
        settings.invertColours = row.invert;
        applyColourScheme();
        canvasMessage = "Drop a .gc / .gcode file here"; // 29 characters of 6 pixels
        redraw();
        const std::vector<Call> boxes = callsOf(Op::RasterBox);
        ASSERT_EQ(boxes.size(), 1u) << "the frame fill only: the present draws the image over all";
        EXPECT_EQ(boxes[0].c, 801);
        EXPECT_EQ(boxes[0].d, 600);
        EXPECT_EQ(boxes[0].colour, row.background);
        const std::vector<Call> texts = callsOf(Op::RasterText);
        ASSERT_EQ(texts.size(), 1u);
        EXPECT_EQ(texts[0].a, (801 - 174) / 2);
        EXPECT_EQ(texts[0].b, (600 - 13) / 2);
        EXPECT_EQ(texts[0].colour, row.text);
        EXPECT_EQ(texts[0].text, canvasMessage);
        const std::vector<Call> modes = callsOf(Op::RasterMode);
        ASSERT_EQ(modes.size(), 1u);
        EXPECT_EQ(modes[0].a, RasterTransparentText);
        EXPECT_EQ(countOf(Op::BeginVector), 0u);
        EXPECT_EQ(countOf(Op::RasterDrawImage), 1u);
    }
}

TEST(Renderer, ZeroSizeCanvasDrawsNothing)
{
    resetStrokeWorld(0, 0);
    addMove(0, 0, 10, 10);
    redraw();
    EXPECT_TRUE(surface.calls.empty());
}

TEST(PresentShifted, FillsAroundAShiftedFrame)
{
    struct Row {
        const char* name;
        bool frame;
        int dx, dy;
        std::size_t fills, images;
    } rows[] = {
        {"unshifted frame", true, 0, 0, 0, 1},
        {"shifted frame", true, 5, -3, 1, 1},
        {"no frame yet", false, 0, 0, 1, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        resetStrokeWorld();
        surface.imagePresent = row.frame;
        presentShifted(row.dx, row.dy);
        EXPECT_EQ(countOf(Op::RasterBox), row.fills);
        ASSERT_EQ(countOf(Op::RasterDrawImage), row.images);
        if (row.images) {
            EXPECT_EQ(callsOf(Op::RasterDrawImage)[0].b, row.dx);
            EXPECT_EQ(callsOf(Op::RasterDrawImage)[0].c, row.dy);
        }
    }
}

} // namespace
