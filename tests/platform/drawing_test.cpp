// Checks the drawing surface pixel by pixel: raster boxes, outline and clipping, blending,
// line coverage, dash and dot phases, the path after a stroke, text measure and draw.
#include "toolkit_env.h"

#include "platform/drawing.h"
#include "platform/toolkit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

namespace {

constexpr int Slot = 3;
const ColourValue White = makeRgb(255, 255, 255);
const ColourValue Red = makeRgb(200, 0, 0);

ColourValue opaque(ColourValue c)
{
    return makeRgba(redOf(c), greenOf(c), blueOf(c), 255);
}

// Every pixel of the image against a predicate: lists the first few mismatches.
std::string mismatches(int slot, const std::function<ColourValue(int, int)>& expected)
{
    int w = 0, h = 0;
    imageSize(slot, w, h);
    std::string report;
    int count = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (imagePixel(slot, x, y) != opaque(expected(x, y)) && ++count <= 5)
                report += "(" + std::to_string(x) + "," + std::to_string(y) + ") ";
    return count == 0 ? std::string() : std::to_string(count) + " wrong: " + report;
}

int grey(int x, int y)
{
    return static_cast<int>(redOf(imagePixel(Slot, x, y)));
}

TEST(Colour, Packing)
{
    const ColourValue rgba = makeRgba(1, 2, 3, 4);
    const ColourValue rgb = makeRgb(1, 2, 3);
    EXPECT_EQ(rgba, 0x04030201u);
    EXPECT_EQ(rgb, 0x00030201u);
    for (ColourValue c : {rgba, rgb}) {
        EXPECT_EQ(redOf(c), 1u);
        EXPECT_EQ(greenOf(c), 2u);
        EXPECT_EQ(blueOf(c), 3u);
    }
    EXPECT_EQ(alphaOf(rgba), 4u);
}

TEST(Images, SlotsAndFailures)
{
    EXPECT_FALSE(newImage(Slot, 0, 10, 24, White));
    EXPECT_FALSE(imageExists(Slot)) << "a failed image leaves the slot empty";
    EXPECT_FALSE(newImage(Slot, 100000, 100000, 24, White)) << "too large";
    EXPECT_FALSE(beginImageRaster(Slot));
    EXPECT_FALSE(beginVector(Slot));
    ASSERT_TRUE(newImage(Slot, 7, 5, 24, makeRgb(1, 2, 3)));
    int w = 0, h = 0;
    imageSize(Slot, w, h);
    EXPECT_EQ(w, 7);
    EXPECT_EQ(h, 5);
    EXPECT_EQ(imagePixel(Slot, 6, 4), makeRgba(1, 2, 3, 255));
    EXPECT_EQ(imagePixel(Slot, 7, 0), 0u) << "outside";
    EXPECT_EQ(imagePixel(Slot, -1, 0), 0u);
    ASSERT_TRUE(beginVector(Slot));
    EXPECT_FALSE(beginImageRaster(Slot)) << "contexts do not nest";
    deleteImage(Slot); // also closes the context drawing into it
    EXPECT_FALSE(imageExists(Slot));
    EXPECT_TRUE(newImage(Slot, 2, 2, 24, White));
    EXPECT_TRUE(beginImageRaster(Slot)) << "the deleted image's context was closed";
    endRaster();
    deleteImage(Slot);
}

TEST(Raster, BoxesFilledOutlinedNegativeAndClipped)
{
    struct Row {
        const char* name;
        int mode;
        int x, y, w, h;
        std::function<bool(int, int)> painted;
    };
    const std::vector<Row> rows = {
        {"filled", RasterFilled, 2, 3, 10, 4,
         [](int x, int y) { return x >= 2 && x < 12 && y >= 3 && y < 7; }},
        {"outline 10 x 4", RasterOutline, 2, 3, 10, 4,
         [](int x, int y) {
             const bool inBox = x >= 2 && x < 12 && y >= 3 && y < 7;
             return inBox && (y == 3 || y == 6 || x == 2 || x == 11);
         }},
        {"negative sizes extend left and up", RasterFilled, 12, 9, -4, -3,
         [](int x, int y) { return x >= 8 && x < 12 && y >= 6 && y < 9; }},
        {"outline with negative sizes", RasterOutline, 12, 9, -4, -3,
         [](int x, int y) {
             const bool inBox = x >= 8 && x < 12 && y >= 6 && y < 9;
             return inBox && (y == 6 || y == 8 || x == 8 || x == 11);
         }},
        {"clipped at the top-left", RasterFilled, -5, -4, 8, 6,
         [](int x, int y) { return x < 3 && y < 2; }},
        {"outline clipped at the bottom-right", RasterOutline, 15, 8, 10, 10,
         [](int x, int y) { return (x == 15 && y >= 8) || (y == 8 && x >= 15); }},
        {"entirely outside", RasterFilled, 30, 30, 5, 5, [](int, int) { return false; }},
        {"zero width", RasterOutline, 3, 3, 0, 5, [](int, int) { return false; }},
        {"huge box does not overflow", RasterFilled, 2147483600, 0, 2147483600, 4,
         [](int, int) { return false; }},
    };
    for (const Row& row : rows) {
        ASSERT_TRUE(newImage(Slot, 20, 10, 24, White));
        ASSERT_TRUE(beginImageRaster(Slot));
        EXPECT_EQ(rasterWidth(), 20);
        EXPECT_EQ(rasterHeight(), 10);
        rasterMode(row.mode);
        rasterBox(row.x, row.y, row.w, row.h, Red);
        endRaster();
        EXPECT_EQ(mismatches(Slot, [&](int x, int y) { return row.painted(x, y) ? Red : White; }), "")
            << row.name;
    }
    deleteImage(Slot);
}

TEST(Raster, TextStaysInsideItsMeasuredBox)
{
    const std::string text = "Loading Hg 42%";
    const int w = rasterTextWidth(text);
    const int h = rasterTextHeight(text);
    ASSERT_GT(w, 20);
    ASSERT_GT(h, 5);
    EXPECT_LT(rasterTextWidth("ab"), rasterTextWidth("ab  ")) << "trailing blanks count";

    const ColourValue background = makeRgb(100, 150, 200);
    for (int mode : {RasterTransparentText, RasterFilled}) {
        ASSERT_TRUE(newImage(Slot, w + 40, h + 40, 24, background));
        ASSERT_TRUE(beginImageRaster(Slot));
        rasterMode(mode);
        rasterText(20, 20, text, makeRgb(0, 0, 0));
        endRaster();
        int inkInside = 0, changedOutside = 0, untouchedInside = 0;
        for (int y = 0; y < h + 40; ++y)
            for (int x = 0; x < w + 40; ++x) {
                const bool inside = x >= 20 && x < 20 + w && y >= 20 && y < 20 + h;
                const ColourValue p = imagePixel(Slot, x, y);
                const bool untouched = p == opaque(background);
                if (inside && redOf(p) < 60 && blueOf(p) < 100)
                    ++inkInside;
                if (!inside && !untouched)
                    ++changedOutside;
                if (inside && untouched)
                    ++untouchedInside;
            }
        EXPECT_GT(inkInside, 20) << "glyphs are drawn, mode " << mode;
        EXPECT_EQ(changedOutside, 0) << "nothing outside the measured box, mode " << mode;
        if (mode == RasterTransparentText)
            EXPECT_GT(untouchedInside, w * h / 2) << "the background shows between glyphs";
        else
            EXPECT_EQ(untouchedInside, 0) << "opaque text paints its whole box";
    }
    deleteImage(Slot);
}

// Opens a vector context on a fresh white image of the given size.
void freshVector(int w, int h)
{
    ASSERT_TRUE(newImage(Slot, w, h, 24, White));
    ASSERT_TRUE(beginVector(Slot));
}

TEST(Vector, StraightAlphaSourceOver)
{
    struct Row {
        const char* name;
        ColourValue colour;
        std::function<void()> draw;
        int expected; // red channel at (10, 10)
    };
    const std::vector<Row> rows = {
        {"black at alpha 60 filled", makeRgba(0, 0, 0, 60),
         [] {
             pathAddBox(2, 2, 16, 16);
             fillCurrentPath();
         },
         195},
        {"black at alpha 60 wide stroke", makeRgba(0, 0, 0, 60),
         [] {
             pathMoveTo(0, 10.5);
             pathLineTo(20, 10.5);
             strokeSolid(8);
         },
         195},
        {"paintAll blends", makeRgba(0, 0, 0, 128), [] { paintAll(); }, 127},
        {"opaque red", makeRgba(200, 0, 0, 255), [] { paintAll(); }, 200},
        {"alpha 0 leaves white", makeRgba(0, 0, 0, 0), [] { paintAll(); }, 255},
    };
    for (const Row& row : rows) {
        freshVector(20, 20);
        setPaintColour(row.colour);
        row.draw();
        endVector();
        EXPECT_NEAR(grey(10, 10), row.expected, 1) << row.name;
    }
    deleteImage(Slot);
}

TEST(Vector, OnePixelLineOnAPixelCentreCoversOneRow)
{
    freshVector(20, 12);
    pathMoveTo(2, 5.5);
    pathLineTo(18, 5.5);
    strokeSolid(1);
    endVector();
    for (int x = 2; x < 18; ++x) {
        EXPECT_EQ(grey(x, 5), 0) << x;
        EXPECT_EQ(grey(x, 4), 255) << x;
        EXPECT_EQ(grey(x, 6), 255) << x;
    }
    EXPECT_EQ(grey(1, 5), 255) << "flat end";
    EXPECT_EQ(grey(18, 5), 255) << "flat end";

    freshVector(20, 12);
    pathMoveTo(2, 5);
    pathLineTo(18, 5);
    strokeSolid(1);
    endVector();
    EXPECT_NEAR(grey(10, 4), 128, 2) << "an integer y is shared by two rows";
    EXPECT_NEAR(grey(10, 5), 128, 2);
    deleteImage(Slot);
}

TEST(Vector, DashesStartWithADashAtEachFigure)
{
    freshVector(60, 20);
    pathMoveTo(0, 4.5);
    pathLineTo(40, 4.5);
    pathMoveTo(3, 10.5); // a second figure restarts the pattern at its own start
    pathLineTo(43, 10.5);
    strokeDashed(1, 4);
    endVector();
    for (int i = 0; i < 5; ++i) {
        const int dash = 8 * i;
        EXPECT_LT(grey(dash + 1, 4), 60) << "dash " << i;
        EXPECT_LT(grey(dash + 2, 4), 60) << "dash " << i;
        EXPECT_GT(grey(dash + 5, 4), 200) << "gap " << i;
        EXPECT_GT(grey(dash + 6, 4), 200) << "gap " << i;
        EXPECT_LT(grey(dash + 4, 10), 60) << "second figure dash " << i;
        EXPECT_GT(grey(dash + 8, 10), 200) << "second figure gap " << i;
    }
    deleteImage(Slot);
}

TEST(Vector, DotsAreSquaresCentredEverySpacing)
{
    freshVector(70, 20);
    pathMoveTo(10, 10);
    pathLineTo(50, 10);
    strokeDotted(2, 10);
    endVector();
    for (int centre = 10; centre <= 50; centre += 10) {
        for (int x : {centre - 1, centre})
            for (int y : {9, 10})
                EXPECT_LT(grey(x, y), 10) << "dot at " << centre << " pixel " << x << "," << y;
        EXPECT_GT(grey(centre - 2, 10), 245) << "dot at " << centre << " is 2 wide";
        EXPECT_GT(grey(centre + 1, 10), 245) << "dot at " << centre << " is 2 wide";
        EXPECT_GT(grey(centre, 8), 245) << "dot at " << centre << " is 2 high";
        EXPECT_GT(grey(centre, 11), 245) << "dot at " << centre << " is 2 high";
    }
    EXPECT_GT(grey(15, 10), 245) << "between dots";
    EXPECT_GT(grey(52, 10), 245) << "nothing beyond the end";

    // A vertical figure: dots along y.
    freshVector(20, 40);
    pathMoveTo(10, 5);
    pathLineTo(10, 30);
    strokeDotted(2, 8);
    endVector();
    EXPECT_LT(grey(9, 4), 10);
    EXPECT_LT(grey(10, 13), 10);
    EXPECT_GT(grey(10, 17), 245);
    EXPECT_LT(grey(10, 21), 10);
    deleteImage(Slot);
}

TEST(Vector, ThinPatternsKeepTheirPhaseAndOneStrokeBlendsOnce)
{
    // Dots of width 1 every 4 px from x = 10 (the first centred on the start): pixels 9 and
    // 10 half covered, 11 and 12 empty, 13 and 14 half covered. A line at an integer x is
    // shared by two columns the same way.
    freshVector(40, 40);
    pathMoveTo(10, 5.5);
    pathLineTo(30, 5.5);
    pathMoveTo(20, 10); // vertical, on a pixel edge
    pathLineTo(20, 30);
    strokeDotted(1, 4);
    endVector();
    const std::vector<int> dotRow = {255, 128, 128, 255, 255, 128, 128, 255};
    for (int i = 0; i < static_cast<int>(dotRow.size()); ++i)
        EXPECT_NEAR(grey(8 + i, 5), dotRow[static_cast<size_t>(i)], 2) << "x " << 8 + i;
    for (int y : {9, 10})
        for (int x : {19, 20})
            EXPECT_NEAR(grey(x, y), 191, 2)
                << "first vertical dot, a quarter of each pixel " << x << "," << y;
    EXPECT_NEAR(grey(20, 11), 255, 1);

    // Dashes of 3 from x = 2.5: [2.5, 5.5) on, [5.5, 8.5) off.
    freshVector(40, 10);
    pathMoveTo(2.5, 4.5);
    pathLineTo(30, 4.5);
    strokeDashed(1, 3);
    endVector();
    const std::vector<int> dashRow = {255, 128, 0, 0, 128, 255, 255, 128, 0};
    for (int i = 0; i < static_cast<int>(dashRow.size()); ++i)
        EXPECT_NEAR(grey(1 + i, 4), dashRow[static_cast<size_t>(i)], 2) << "x " << 1 + i;

    // Where figures or segments of one stroke cross, the colour is blended once.
    struct Row {
        const char* name;
        double start; // figures start here, so that a dot or dash covers (20, 20) wholly
        std::function<void()> stroke;
    };
    const std::vector<Row> rows = {
        {"solid", 4.5, [] { strokeSolid(1); }},
        {"dotted", 4.5, [] { strokeDotted(1, 4); }},
        {"dashed", 4.0, [] { strokeDashed(1, 2); }},
    };
    for (const Row& row : rows) {
        freshVector(40, 40);
        setPaintColour(makeRgba(0, 0, 0, 60));
        pathMoveTo(row.start, 20.5); // a horizontal and a vertical figure through (20, 20)
        pathLineTo(36.5, 20.5);
        pathMoveTo(20.5, row.start);
        pathLineTo(20.5, 36.5);
        pathMoveTo(row.start, 30.5); // one figure running back over itself
        pathLineTo(36.5, 30.5);
        pathLineTo(12.5, 30.5);
        row.stroke();
        endVector();
        EXPECT_NEAR(grey(20, 20), 195, 1) << row.name << ", crossing";
        EXPECT_NEAR(grey(20, 30), 195, 1) << row.name << ", figure over itself";
        EXPECT_NEAR(grey(28, 20), 195, 1) << row.name << ", one layer";
    }

    // A far first segment leaves the distances no fraction; the pattern still ends.
    freshVector(40, 10);
    pathMoveTo(-1e19, 4.5);
    pathLineTo(0, 4.5);
    pathLineTo(30, 4.5);
    strokeDotted(1, 4);
    endVector();
    deleteImage(Slot);
}

TEST(Vector, PathRestartsAtTheOriginAfterAStroke)
{
    freshVector(40, 40);
    pathMoveTo(30, 2);
    pathLineTo(30, 10);
    strokeSolid(2);
    pathLineTo(30, 30); // from (0, 0), not from (30, 10)
    strokeSolid(2);
    endVector();
    EXPECT_LT(grey(15, 15), 60) << "the diagonal from the origin";
    EXPECT_GT(grey(29, 20), 245) << "no vertical continuation";
    EXPECT_GT(grey(30, 20), 245);

    freshVector(40, 40);
    pathMoveTo(5, 5);
    pathLineTo(35, 5);
    fillCurrentPath(); // fills nothing, but empties the path
    pathLineTo(35, 35);
    strokeSolid(2);
    endVector();
    EXPECT_LT(grey(20, 20), 60);
    deleteImage(Slot);
}

TEST(Vector, EvenOddFillAndBoxCursor)
{
    freshVector(40, 40);
    pathAddBox(5, 5, 30, 30);
    pathAddBox(15, 15, 10, 10);
    fillCurrentPath();
    endVector();
    EXPECT_EQ(grey(8, 8), 0) << "ring";
    EXPECT_EQ(grey(20, 20), 255) << "the hole of the even-odd rule";
    EXPECT_EQ(grey(2, 2), 255);

    freshVector(40, 40);
    pathAddBox(10.5, 10.5, 10, 10);
    pathLineTo(10.5, 35.5); // continues from the box's start corner
    strokeSolid(1);
    endVector();
    EXPECT_EQ(grey(10, 30), 0);
    EXPECT_EQ(grey(15, 30), 255);
    deleteImage(Slot);
}

TEST(Vector, InvalidCoordinatesAreIgnored)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    freshVector(20, 20);
    pathMoveTo(nan, 3);
    pathLineTo(inf, 5);
    pathMoveTo(2, 10.5);
    pathLineTo(nan, nan);
    pathLineTo(18, 10.5);
    pathAddBox(nan, 0, 1, 1);
    strokeSolid(1);
    strokeSolid(nan);
    strokeDashed(1, nan);
    strokeDotted(1, 0);
    endVector();
    EXPECT_EQ(grey(10, 10), 0) << "the finite points still make their line";
    EXPECT_EQ(grey(10, 3), 255);
    deleteImage(Slot);
}

TEST(Vector, TextMeasureMatchesWhatIsDrawn)
{
    ASSERT_TRUE(loadFont(0, "DejaVu Sans", 9));
    freshVector(200, 60);
    setTextFont(0, 20);
    const double w = measureTextWidth("Hg 10");
    const double h = measureTextHeight("Hg 10");
    EXPECT_GT(w, 30);
    EXPECT_LT(w, 80);
    EXPECT_GT(h, 18);
    EXPECT_LT(h, 30);
    EXPECT_GT(measureTextWidth("10 "), measureTextWidth("10")) << "trailing blanks are measured";
    EXPECT_EQ(measureTextWidth(""), 0);
    setTextFont(0, 40);
    EXPECT_NEAR(measureTextWidth("Hg 10"), 2 * w, 2) << "size comes with the selection";
    setTextFont(0, 20);

    pathMoveTo(10, 10);
    drawTextAtCursor("Hg 10");
    drawTextAtCursor("");   // draws nothing and keeps the cursor
    pathLineTo(10 + w, 55); // the new figure starts at the moved cursor
    strokeSolid(1);
    endVector();
    const int lineX = static_cast<int>(std::floor(10 + w));
    int minX = 1000, maxX = -1, minY = 1000, maxY = -1;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < lineX - 1; ++x) // left of the line drawn from the cursor
            if (grey(x, y) < 128) {
                minX = std::min(minX, x);
                maxX = std::max(maxX, x);
                minY = std::min(minY, y);
                maxY = std::max(maxY, y);
            }
    EXPECT_GE(minX, 10);
    EXPECT_GE(minY, 10);
    EXPECT_LE(maxY, 10 + h);
    EXPECT_GE(maxX, 10 + w * 0.8) << "the glyphs fill most of the measured width";
    EXPECT_GE(maxY, 10 + h * 0.6) << "the glyphs fill most of the measured height";
    EXPECT_LT(std::min(grey(lineX, 52), grey(lineX - 1, 52)), 200) << "line from the cursor";
    EXPECT_EQ(grey(10, 52), 255);
    deleteImage(Slot);
}

} // namespace
