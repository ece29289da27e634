// Checks the direct hairline rasteriser's coverage rules and blend on a small pixel grid.
#include "view/hairline.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
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

TEST(Hairline, BatchDrawsWhatSegmentsDrawOneByOne)
{
    // Raster lines of short level moves back and forth, short and long slanted segments
    // of every direction, segments on pixel edges, off the frame and without length, in
    // many colours over a mottled frame: every plan of the batch and every way of walking.
    std::mt19937 random(19);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const auto colour = [&] { return 0xff000000u | static_cast<std::uint32_t>(random() & 0xffffffu); };
    std::vector<HairlineSegment> segments;
    while (segments.size() < 5 * HairlineBatch + 17) {
        const double x = unit(random) * 41 - 2;
        const double y = unit(random) * 27 - 2;
        switch (random() % 5) {
        case 0: { // a raster line: its moves share their y
            double at = x;
            const bool back = random() % 2 == 0;
            for (int k = 0; k < 8; ++k) {
                const double length = 0.05 + unit(random) * 2.4;
                const double to = back ? at - length : at + length;
                segments.push_back({at, y, to, y, colour()});
                at = to;
            }
            break;
        }
        case 1: // short and slanted
            segments.push_back({x, y, x + unit(random) * 4 - 2, y + unit(random) * 4 - 2, colour()});
            break;
        case 2: // long
            segments.push_back({x, y, unit(random) * 41 - 2, unit(random) * 27 - 2, colour()});
            break;
        case 3: // on pixel edges and centres
            segments.push_back({std::round(x), std::round(y) + 0.5 * (random() % 2),
                                std::round(x) + static_cast<double>(random() % 5), std::round(y),
                                colour()});
            break;
        default: // no length, or far off the frame
            segments.push_back(random() % 2 == 0
                                   ? HairlineSegment{x, y, x, y, colour()}
                                   : HairlineSegment{x - 900, y, x - 800, y + 50, colour()});
        }
    }
    std::vector<std::uint32_t> mottled(37 * 23);
    for (std::uint32_t& p : mottled)
        p = colour();
    const int bands[][2] = {{0, 23}, {0, 5}, {5, 6}, {6, 17}, {17, 23}, {-3, 4}, {20, 30}};
    for (const auto& rows : bands) {
        SCOPED_TRACE(testing::Message() << "band " << rows[0] << " to " << rows[1]);
        std::vector<std::uint32_t> batched = mottled;
        std::vector<std::uint32_t> single = mottled;
        const PixelBand batch{batched.data(), 37, 37, 23, rows[0], rows[1]};
        const PixelBand alone{single.data(), 37, 37, 23, rows[0], rows[1]};
        for (std::size_t i = 0; i < segments.size(); i += HairlineBatch)
            drawHairlines(batch, segments.data() + i,
                          static_cast<int>(std::min<std::size_t>(HairlineBatch, segments.size() - i)));
        for (const HairlineSegment& s : segments)
            drawHairline(alone, s.x1, s.y1, s.x2, s.y2, s.pixel);
        EXPECT_NE(single, mottled); // the segments drew something
        for (std::size_t i = 0; i < single.size(); ++i)
            ASSERT_EQ(batched[i], single[i]) << "pixel " << i % 37 << "," << i / 37;
    }
}

} // namespace
