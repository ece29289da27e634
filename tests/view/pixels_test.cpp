// Renders real images with the Qt drawing layer on the offscreen platform and checks their
// pixels: greys, scheme colours, the drop hint, the loading bar, the rulers, and whole
// frames against reference images checked by eye.
#include "model/toolpath.h"
#include "platform/drawing.h"
#include "platform/toolkit.h"
#include "tests/view/image_probe.h"
#include "view/colour_scheme.h"
#include "view/controls.h"
#include "view/language.h"
#include "view/loading_picture.h"
#include "view/renderer.h"
#include "view/settings.h"
#include "view/view_commands.h"
#include "view/view_state.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

namespace {

class OffscreenCanvas final : public ::testing::Environment {
public:
    void SetUp() override
    {
        static char name[] = "view_pixels_test";
        static char* argv[] = {name, nullptr};
        static int argc = 1;
        ASSERT_TRUE(initToolkit(argc, argv)) << "the offscreen platform must start";
        ASSERT_NE(openWindow(0, 0, 1000, 700, "view pixels", 0), 0);
        ASSERT_TRUE(createCanvas(Canvas, 0, 0, 800, 600, false));
        ASSERT_TRUE(loadFont(0, "Segoe UI", 9));
        ASSERT_TRUE(createToolpath());
    }
    void TearDown() override { shutdownToolkit(); }
};

[[maybe_unused]] const ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new OffscreenCanvas);

// A fresh world on a canvas of this size (device pixels = layout units here).
void startScene(int width, int height)
{
    resizeControl(Canvas, 0, 0, width, height);
    settings = Settings{};
    viewState = ViewState{};
    uiSpanish = false;
    canvasMessage.clear();
    clearToolpath();
    toolpath.maxPower = 1000.0;
    applyColourScheme();
    refreshCanvasMetrics();
    ASSERT_EQ(viewState.canvasWidth, width);
    ASSERT_EQ(viewState.canvasHeight, height);
    ASSERT_EQ(viewState.uiScale, 1.0);
}

// Canvas pixels equal machine millimetres, Y flipped: canvas (x, H - y) shows (x, y).
void identityView(int width, int height)
{
    viewState.scale = 1.0;
    viewState.centerX = width / 2.0;
    viewState.centerY = height / 2.0;
}

ColourValue framePixel(int x, int y)
{
    return imagePixel(FrameImageSlot, x, y);
}

std::string rgb(ColourValue c)
{
    return std::to_string(redOf(c)) + "," + std::to_string(greenOf(c)) + "," +
           std::to_string(blueOf(c));
}

TEST(Pixels, GreysByPowerOnBothSchemes)
{
    struct Row {
        const char* name;
        int invert;
        double lowPower, highPower;
        const char* low;
        const char* high;
        const char* background;
    } rows[] = {
        {"light", 0, 100, 500, "189,189,189", "105,105,105", "255,255,255"},
        {"dark", 1, 0, 1000, "60,60,60", "255,255,255", "24,30,44"},
        {"light, full power is black", 0, 100, 1000, "189,189,189", "0,0,0", "255,255,255"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        startScene(400, 200);
        settings.showBed = 0;
        settings.invertColours = row.invert;
        applyColourScheme();
        // Lines along pixel centres, so each covers exactly one row of pixels.
        ASSERT_TRUE(appendMove(50, 99.5, 350, 99.5, row.lowPower, false));
        ASSERT_TRUE(appendMove(50, 49.5, 350, 49.5, row.highPower, false));
        identityView(400, 200);
        redraw();
        EXPECT_EQ(rgb(framePixel(200, 100)), row.low);
        EXPECT_EQ(rgb(framePixel(200, 150)), row.high);
        EXPECT_EQ(rgb(framePixel(200, 125)), row.background);
        EXPECT_EQ(rgb(canvasPixel(200, 150)), row.high) << "the frame is presented on the canvas";
    }
}

TEST(Pixels, DropHintCentredInHintGrey)
{
    startScene(600, 300);
    canvasMessage = "Drop a .gc / .gcode file here";
    redraw();
    int left = 600, right = -1, top = 300, bottom = -1;
    bool exactGrey = false;
    for (int y = 0; y < 300; ++y) {
        for (int x = 0; x < 600; ++x) {
            const ColourValue c = framePixel(x, y);
            if (rgb(c) == "255,255,255")
                continue;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
            exactGrey |= rgb(c) == "120,120,120";
            ASSERT_EQ(redOf(c), greenOf(c)) << "only greys between the text and white";
            ASSERT_GE(redOf(c), 120u);
        }
    }
    ASSERT_GE(right, left) << "the message is drawn";
    EXPECT_TRUE(exactGrey);
    EXPECT_NEAR((left + right) / 2.0, 300.0, 4.0);
    EXPECT_NEAR((top + bottom) / 2.0, 150.0, 4.0);
    EXPECT_GT(right - left, 100) << "one line, about as wide as the text";
}

TEST(Pixels, LoadingBarOnAThousandPixelCanvas)
{
    startScene(1000, 600);
    showLoadingProgress("part.gcode", 50);
    const std::string hint = "120,120,120", bar = "70,130,210", back = "255,255,255";
    EXPECT_EQ(rgb(canvasPixel(300, 300)), hint) << "top-left corner of the outline";
    EXPECT_EQ(rgb(canvasPixel(699, 317)), hint) << "bottom-right corner: 400 x 18";
    EXPECT_EQ(rgb(canvasPixel(500, 300)), hint);
    EXPECT_EQ(rgb(canvasPixel(299, 305)), back);
    EXPECT_EQ(rgb(canvasPixel(700, 305)), back);
    EXPECT_EQ(rgb(canvasPixel(500, 318)), back);
    EXPECT_EQ(rgb(canvasPixel(301, 305)), back) << "a one-pixel gap inside the outline";
    EXPECT_EQ(rgb(canvasPixel(302, 302)), bar);
    EXPECT_EQ(rgb(canvasPixel(499, 315)), bar) << "(400 - 4) x 50 / 100 = 198 pixels of fill";
    EXPECT_EQ(rgb(canvasPixel(500, 305)), back);
    bool messageAbove = false;
    for (int y = 260; y < 292 && !messageAbove; ++y)
        for (int x = 380; x < 620 && !messageAbove; ++x)
            messageAbove = rgb(canvasPixel(x, y)) == hint;
    EXPECT_TRUE(messageAbove) << "the message sits above the bar";
}

// Whether any pixel of the box differs from `colour`.
bool inkIn(int x0, int y0, int x1, int y1, const std::string& colour)
{
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x)
            if (rgb(framePixel(x, y)) != colour)
                return true;
    return false;
}

TEST(Pixels, RulerBandsTicksAndLabels)
{
    startScene(800, 600);
    ASSERT_TRUE(appendMove(100, 100, 300, 200, 1000, false));
    identityView(800, 600);
    redraw();
    const std::string band = "243,243,243";
    EXPECT_EQ(rgb(framePixel(3, 300)), band) << "left band";
    EXPECT_EQ(rgb(framePixel(425, 595)), band) << "bottom band between two labels";
    EXPECT_EQ(rgb(framePixel(30, 590)), band) << "corner square below the unit";
    EXPECT_NE(rgb(framePixel(45, 300)), band) << "band border at x 46";
    EXPECT_NE(rgb(framePixel(600, 577)), "255,255,255") << "band border at y 578";
    EXPECT_TRUE(inkIn(449, 579, 450, 582, band)) << "tick under x 450";
    EXPECT_FALSE(inkIn(425, 579, 440, 583, band)) << "nothing between ticks";
    EXPECT_TRUE(inkIn(438, 584, 462, 599, band)) << "label 450 under its tick";
    EXPECT_FALSE(inkIn(47, 585, 58, 599, band)) << "label 50 would cross the band edge: left out";
    EXPECT_TRUE(inkIn(2, 578, 44, 599, band)) << "unit name in the corner";
    EXPECT_TRUE(inkIn(40, 547, 45, 552, band)) << "Y tick at machine 50";
    EXPECT_TRUE(inkIn(5, 540, 37, 560, band)) << "Y label 50 left of its tick";
    EXPECT_EQ(rgb(framePixel(205, 305)), "255,255,255") << "inside the job, between grid lines";
}

// A lopsided job: an F of cutting moves at three powers, a travel move and an arc-like
// polyline, placed off the origin, so that a flip, a swap or a shift cannot match.
void buildFigureF()
{
    const double p[][5] = {
        {0, 0, 20, 10, 1},   // travel to the foot of the F
        {20, 10, 20, 90, 0}, // stem
        {20, 90, 70, 90, 0}, // top bar
        {20, 55, 55, 55, 0}, // middle bar
    };
    const double powers[] = {0, 1000, 600, 250};
    for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(appendMove(p[i][0], p[i][1], p[i][2], p[i][3], powers[i], p[i][4] != 0));
    double x = 80, y = 20;
    for (int i = 1; i <= 24; ++i) {
        const double nx = 80 + 15 * (1 - std::cos(i * 0.13));
        const double ny = 20 + 15 * std::sin(i * 0.13);
        ASSERT_TRUE(appendMove(x, y, nx, ny, 100 + 30 * i, false));
        x = nx;
        y = ny;
    }
}

TEST(Pixels, WholeFramesMatchTheReferences)
{
    struct Row {
        const char* name;
        int width, height;
        int invert, inches, travel, grey, bed;
        bool empty;
    } rows[] = {
        {"light_bed_travel", 640, 480, 0, 0, 1, 1, 1, false},
        {"dark_inches", 640, 480, 1, 1, 0, 1, 1, false},
        {"plain_no_grey", 400, 300, 0, 0, 0, 0, 0, false},
        {"empty_dark", 400, 300, 1, 0, 0, 1, 1, true},
    };
    const std::string folder = std::string(TOLVAN_SOURCE_DIR) + "/tests/view/reference/";
    const bool update = std::getenv("TOLVAN_UPDATE_REFERENCES") != nullptr;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        startScene(row.width, row.height);
        settings.invertColours = row.invert;
        settings.inches = row.inches;
        settings.showTravel = row.travel;
        settings.greyByPower = row.grey;
        settings.showBed = row.bed;
        applyColourScheme();
        canvasMessage = "The file contains no moves.";
        if (!row.empty)
            buildFigureF();
        if (toolpath.moveCount > 0)
            fitView();
        else
            redraw();
        const std::string reference = folder + row.name + ".png";
        if (update) {
            ASSERT_TRUE(saveImagePng(FrameImageSlot, reference));
            continue;
        }
        const std::string actual = ::testing::TempDir() + row.name + ".png";
        ASSERT_TRUE(saveImagePng(FrameImageSlot, actual));
        EXPECT_LE(misplacedPixels(actual, reference, 40), 8)
            << "compare " << actual << " with " << reference;
        EXPECT_GE(misplacedPixels(actual, reference, 40), 0) << "reference missing or of another size";
    }
}

TEST(Pixels, ComparisonCatchesAMisplacedLine)
{
    const std::string folder = std::string(TOLVAN_SOURCE_DIR) + "/tests/view/reference/";
    startScene(400, 300);
    settings.showBed = 0;
    settings.greyByPower = 0;
    buildFigureF();
    fitView();
    viewState.centerX += 3.0 / viewState.scale; // everything three pixels to the left
    redraw();
    const std::string actual = ::testing::TempDir() + "shifted.png";
    ASSERT_TRUE(saveImagePng(FrameImageSlot, actual));
    EXPECT_GT(misplacedPixels(actual, folder + "plain_no_grey.png", 40), 50);
}

} // namespace
