// Checks the direct hairline rasteriser's coverage rules and blend on a small pixel grid.
#include "view/hairline.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

namespace {

constexpr std::uint32_t White = 0xffffffffu;
constexpr std::uint32_t Black = 0xff000000u;

struct Grid {
    int width = 12;
    int height = 10;
    std::vector<std::uint32_t> pixels = std::vector<std::uint32_t>(120, White);

    PixelBand band(int top, int bottom)
    {
        return PixelBand{pixels.data(), width, width, height, top, bottom};
    }
    // Grey level of a pixel drawn in black over white: 255 - coverage.
    unsigned grey(int x, int y) const { return pixels[static_cast<std::size_t>(y * width + x)] & 255u; }
};

TEST(Hairline, BlendRoundsEveryChannelToNearest)
{
    for (unsigned a = 0; a <= 255; ++a)
        for (unsigned s = 0; s <= 255; ++s)
            for (unsigned d = 0; d <= 255; d += 3) {
                const std::uint32_t src = 0xff000000u | (s << 16) | ((255 - s) << 8) | (s / 2);
                const std::uint32_t dst = 0xff000000u | (d << 16) | ((d * 7) % 256 << 8) | (255 - d);
                const std::uint32_t out = blendCoverage(dst, src, a);
                for (int shift = 0; shift < 24; shift += 8) {
                    const unsigned sc = (src >> shift) & 255, dc = (dst >> shift) & 255;
                    const unsigned expected =
                        static_cast<unsigned>(std::lround((sc * a + dc * (255.0 - a)) / 255.0));
                    ASSERT_EQ((out >> shift) & 255, expected) << a << " " << sc << " " << dc;
                }
                ASSERT_EQ(out >> 24, 255u);
            }
}

TEST(Hairline, CoverageOfCentredLinesEndsAndEdges)
{
    struct Row {
        const char* name;
        double x1, y1, x2, y2;
        int px, py;    // pixel checked
        unsigned grey; // expected grey there
    } rows[] = {
        {"centred horizontal line covers its row", 2, 4.5, 9, 4.5, 5, 4, 0},
        {"... and nothing above", 2, 4.5, 9, 4.5, 5, 3, 255},
        {"... or below", 2, 4.5, 9, 4.5, 5, 5, 255},
        {"right to left alike", 9, 4.5, 2, 4.5, 5, 4, 0},
        {"centred vertical line covers its column", 3.5, 1, 3.5, 8, 3, 6, 0},
        {"... and not its neighbour", 3.5, 1, 3.5, 8, 4, 6, 255},
        {"on a pixel edge: half to each row", 2, 4, 9, 4, 5, 3, 128},
        {"... and to the next", 2, 4, 9, 4, 5, 4, 127},
        {"a quarter across", 2, 4.75, 9, 4.75, 5, 5, 191},
        {"end half way into a pixel", 2, 4.5, 6.5, 4.5, 6, 4, 127},
        {"start a quarter into a pixel", 2.25, 4.5, 9, 4.5, 2, 4, 64},
        {"short segment inside one pixel", 5.2, 4.5, 5.6, 4.5, 5, 4, 153},
        {"no length", 5.5, 4.5, 5.5, 4.5, 5, 4, 255},
        {"NaN end", std::nan(""), 4.5, 9, 4.5, 5, 4, 255},
        {"45 degrees through pixel centres", 1.5, 1.5, 8.5, 8.5, 4, 4, 0},
        {"... nothing beside it", 1.5, 1.5, 8.5, 8.5, 5, 4, 255},
        {"partly off the frame", -30, 4.5, 3, 4.5, 0, 4, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Grid grid;
        drawHairline(grid.band(0, grid.height), row.x1, row.y1, row.x2, row.y2, Black);
        EXPECT_EQ(grid.grey(row.px, row.py), row.grey);
    }
}

TEST(Hairline, BandsDrawTheirRowsOnlyAndTogetherTheWhole)
{
    const double segments[][4] = {
        {0.3, 0.2, 11.7, 9.6}, {11, 0.5, 1, 8.9}, {0, 6.2, 12, 3.1}, {6.2, -4, 5.1, 14}};
    Grid whole, banded;
    for (const auto& s : segments)
        drawHairline(whole.band(0, whole.height), s[0], s[1], s[2], s[3], 0xff336699u);
    for (int top = 0; top < banded.height; top += 3) {
        Grid alone;
        for (const auto& s : segments) {
            drawHairline(banded.band(top, top + 3), s[0], s[1], s[2], s[3], 0xff336699u);
            drawHairline(alone.band(top, top + 3), s[0], s[1], s[2], s[3], 0xff336699u);
        }
        for (int y = 0; y < alone.height; ++y)
            for (int x = 0; x < alone.width; ++x)
                if (y < top || y >= top + 3) {
                    ASSERT_EQ(alone.grey(x, y), 255u) << "band " << top << " wrote row " << y;
                }
    }
    EXPECT_EQ(whole.pixels, banded.pixels);
}

} // namespace
