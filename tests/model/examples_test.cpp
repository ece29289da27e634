// Loads the example jobs shipped with the program and checks that each shows what it is
// meant to show.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "gcode_test_support.h"
#include "model/interpreter.h"
#include "model/toolpath.h"

namespace {

std::string examplePath(const char* name)
{
    return std::string(TOLVAN_SOURCE_DIR) + "/examples/" + name;
}

std::string readText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(Examples, LogoIsAVectorJobWithArcsAndSeveralPowers)
{
    ASSERT_TRUE(createToolpath());
    ASSERT_TRUE(loadGcodeFile(examplePath("tolvan-logo.gcode")));
    EXPECT_GT(toolpath.moveCount, 200);
    ASSERT_TRUE(toolpath.cutBounds.valid);
    EXPECT_EQ(toolpath.maxPower, 1000.0);
    EXPECT_GT(toolpath.estimatedSeconds, 0.0);
    bool light = false;
    for (std::int32_t i = 0; i < toolpath.moveCount; ++i)
        light = light || (toolpath.moves[i].travel == 0 && toolpath.moves[i].power < 1000);
    EXPECT_TRUE(light) << "the drawing should show more than one shade";
    const std::string text = readText(examplePath("tolvan-logo.gcode"));
    EXPECT_NE(text.find("G2 "), std::string::npos);
    EXPECT_NE(text.find("G3 "), std::string::npos);
    EXPECT_NE(text.find(';'), std::string::npos);
    EXPECT_NE(text.find('('), std::string::npos);
}

TEST(Examples, RasterUsesCrLfAndLoadsAsIfTheyWereLineFeeds)
{
    const std::string path = examplePath("laser-raster-sphere.gcode");
    const std::string text = readText(path);
    ASSERT_NE(text.find("\r\n"), std::string::npos);
    ASSERT_TRUE(createToolpath());
    ASSERT_TRUE(loadGcodeFile(path));
    const ToolpathSnapshot withCarriageReturns = snapshotToolpath();
    std::string lineFeedsOnly;
    for (char c : text)
        if (c != '\r')
            lineFeedsOnly += c;
    interpretText(lineFeedsOnly);
    EXPECT_TRUE(sameSnapshot(withCarriageReturns, snapshotToolpath()));
    EXPECT_GT(withCarriageReturns.moveCount, 500);
    int powers[2] = {32767, 0};
    for (const Move& m : withCarriageReturns.moves)
        if (m.travel == 0) {
            powers[0] = std::min<int>(powers[0], m.power);
            powers[1] = std::max<int>(powers[1], m.power);
        }
    EXPECT_LT(powers[0], powers[1]) << "S should vary across the raster";
}

TEST(Examples, InchJobIsConvertedToMillimetres)
{
    ASSERT_TRUE(createToolpath());
    ASSERT_TRUE(loadGcodeFile(examplePath("inch-bracket.gcode")));
    ASSERT_TRUE(toolpath.cutBounds.valid);
    // The outline runs from (0.25, 0.25) to (3.75, 3.25) inches.
    EXPECT_DOUBLE_EQ(toolpath.cutBounds.minX, 0.25 * 25.4);
    EXPECT_DOUBLE_EQ(toolpath.cutBounds.minY, 0.25 * 25.4);
    EXPECT_DOUBLE_EQ(toolpath.cutBounds.maxX, 3.75 * 25.4);
    EXPECT_DOUBLE_EQ(toolpath.cutBounds.maxY, 3.25 * 25.4);
    EXPECT_NE(readText(examplePath("inch-bracket.gcode")).find("G91"), std::string::npos);
}

} // namespace
