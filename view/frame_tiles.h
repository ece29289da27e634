// Keeps tiles of a frame image small: each as its difference from the same tile of the empty
// picture (background and grid), in runs of unchanged pixels and literal changed ones. A
// line drawing is mostly background, so a tile of it codes to a small share of its pixels.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Pixels of an image: row y at rows + y x stride.
struct Pixels {
    std::uint32_t* rows;
    std::ptrdiff_t stride;
};

// A frame of width x height pixels cut into tiles of DirtyTileWidth x DirtyTileRows, tile
// (column, row) numbered row x columns + column; the last column and row may be narrower.
struct TileGrid {
    int width = 0;
    int height = 0;
    int columns = 0;
};

// Tiles of one image, coded: tile tiles[i]'s code is codes[offsets[i], offsets[i + 1]),
// the last one's runs to the end of codes.
struct CodedTiles {
    std::vector<std::int32_t> tiles;
    std::vector<std::uint32_t> offsets;
    std::vector<std::uint8_t> codes;
};

// Adds tile `tile` of `image`, coded as it differs from `empty`.
void codeTile(CodedTiles& to, std::int32_t tile, Pixels image, Pixels empty, const TileGrid& grid);

// Puts tile from.tiles[index] back into `image` as it was coded against `empty`.
void decodeTile(const CodedTiles& from, std::size_t index, Pixels image, Pixels empty, const TileGrid& grid);

// Adds from.tiles[index] with its code, unchanged.
void copyCodedTile(CodedTiles& to, const CodedTiles& from, std::size_t index);

// Copies tile `tile` of one image into another at the same place.
void copyTile(std::int32_t tile, Pixels from, Pixels to, const TileGrid& grid);

// The bytes the coded tiles hold (their numbers, places and codes).
std::size_t codedBytes(const CodedTiles& coded);
