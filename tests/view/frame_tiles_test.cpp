// A tile's change, coded and applied, or joined with the next one, gives the tile as it
// became, on narrow edge tiles too, and touches nothing outside the tile.
#include "view/band_walk.h"
#include "view/frame_tiles.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

namespace {

// 150 x 37 pixels: the last column of tiles is 22 pixels wide, the last row 5 high.
constexpr int Width = 150;
constexpr int Height = 37;
const TileGrid grid{Width, Height, (Width + DirtyTileWidth - 1) / DirtyTileWidth};
constexpr int Tiles = 3 * 3;

using Image = std::vector<std::uint32_t>;

Pixels pixelsOf(Image& image)
{
    return Pixels{image.data(), Width};
}

// `from` with changes of every kind a drawing makes: a few greys along a line, a coloured
// pixel, a tile changed whole (runs longer than a count holds), a lone change at a tile's
// last pixel (a long unchanged run before it).
Image changed(const Image& from, std::mt19937& random, std::uint32_t grey)
{
    Image image = from;
    for (int x = 0; x < DirtyTileWidth; ++x)
        image[static_cast<std::size_t>((x * 7 / 5) % Height) * Width + x] =
            0xff000000u | grey * 0x010101u;
    image[3 * Width + 140] = 0xff2050a0u ^ grey;
    for (int y = 16; y < 32; ++y)
        for (int x = 64; x < 128; ++x)
            image[static_cast<std::size_t>(y) * Width + x] = random();
    image[15 * Width + 127] ^= 0x00010101u;
    image[36 * Width + 149] = 0xff000000u | (grey / 2) * 0x010101u;
    return image;
}

TEST(FrameTiles, ChangesCodedAppliedAndJoinedGiveTheTileAsItBecame)
{
    std::mt19937 random(7);
    Image first(static_cast<std::size_t>(Width) * Height, 0xffffffffu);
    Image second = changed(first, random, 0x40);
    Image third = changed(second, random, 0x90);
    third[20 * Width + 70] = first[20 * Width + 70]; // changed, then changed back

    CodedTiles one, two, joined;
    for (std::int32_t tile = 0; tile < Tiles; ++tile) {
        PackedTile before;
        packTile(tile, pixelsOf(first), before, grid);
        codeTileChange(one, tile, pixelsOf(second), before, grid);
        packTile(tile, pixelsOf(second), before, grid);
        codeTileChange(two, tile, pixelsOf(third), before, grid);
        addJoinedChanges(joined, one, static_cast<std::size_t>(tile), two,
                         static_cast<std::size_t>(tile), grid);
    }

    // Applied one tile at a time, each change leaves every other tile alone.
    Image image = first;
    for (std::size_t i = 0; i < Tiles; ++i) {
        applyTileChange(one, i, pixelsOf(image), grid);
        for (std::int32_t tile = 0; tile < Tiles; ++tile) {
            PackedTile got, want;
            packTile(tile, pixelsOf(image), got, grid);
            packTile(tile, pixelsOf(tile <= static_cast<std::int32_t>(i) ? second : first), want, grid);
            EXPECT_EQ(0, std::memcmp(got.pixels, want.pixels, sizeof got.pixels))
                << "tile " << tile << " after " << i;
        }
    }
    Image viaJoined = first;
    for (std::size_t i = 0; i < Tiles; ++i) {
        applyTileChange(two, i, pixelsOf(image), grid);
        applyTileChange(joined, i, pixelsOf(viaJoined), grid);
    }
    EXPECT_EQ(image, third);
    EXPECT_EQ(viaJoined, third);

    // The packed form of the edge tile takes the same change.
    PackedTile packed, want;
    packTile(8, pixelsOf(first), packed, grid);
    applyTileChange(joined, 8, packed, grid);
    packTile(8, pixelsOf(third), want, grid);
    EXPECT_EQ(0, std::memcmp(packed.pixels, want.pixels, 22 * 5 * sizeof(std::uint32_t)));

    // A drawing's change codes small: a line's greys take a byte each, its rows two more.
    CodedTiles line;
    Image lineOnly = first;
    for (int x = 0; x < 64; ++x)
        lineOnly[static_cast<std::size_t>(x / 4) * Width + x] = 0xff808080u;
    PackedTile blank;
    packTile(0, pixelsOf(first), blank, grid);
    codeTileChange(line, 0, pixelsOf(lineOnly), blank, grid);
    EXPECT_LE(line.codes.size(), 1u + 16u * (2u + 4u));
}

} // namespace
