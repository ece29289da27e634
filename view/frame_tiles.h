// Keeps the changes of a frame's tiles small: each change as the pixels that differ from
// the same tile before it, in runs of unchanged pixels and literal changed ones. Between two
// nearby moments of a line drawing few pixels of a tile change, so a change codes to a small
// share of the tile.
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

// Changes of tiles, in rising tile order: tile tiles[i]'s change is coded in
// codes[offsets[i], offsets[i + 1]), the last one's up to the end of codes.
struct CodedTiles {
    std::vector<std::int32_t> tiles;
    std::vector<std::uint32_t> offsets;
    std::vector<std::uint8_t> codes;
};

// A tile's pixels on their own: its rows of its width, one after another.
constexpr std::size_t MostTilePixels = 64 * 16;
struct PackedTile {
    std::uint32_t pixels[MostTilePixels];
};

// Adds tile `tile` (after every tile already in `to`) as it is in `image`, coded as it
// differs from `before`.
void codeTileChange(CodedTiles& to, std::int32_t tile, Pixels image, const PackedTile& before,
                    const TileGrid& grid);

// Applies change from.tiles[index] to its tile in `image`, or to `packed`.
void applyTileChange(const CodedTiles& from, std::size_t index, Pixels image, const TileGrid& grid);
void applyTileChange(const CodedTiles& from, std::size_t index, PackedTile& packed,
                     const TileGrid& grid);

// Adds the change of one tile that makes earlier.tiles[i] and then later.tiles[j] (the same
// tile) at once.
void addJoinedChanges(CodedTiles& to, const CodedTiles& earlier, std::size_t i, const CodedTiles& later,
                      std::size_t j, const TileGrid& grid);

// Adds from.tiles[index] with its change, as it is.
void copyCodedTile(CodedTiles& to, const CodedTiles& from, std::size_t index);

// Copies tile `tile` of one image into another at the same place, or into `packed`.
void copyTile(std::int32_t tile, Pixels from, Pixels to, const TileGrid& grid);
void packTile(std::int32_t tile, Pixels from, PackedTile& packed, const TileGrid& grid);

// Sets every pixel of tile `tile` of an image, or of `packed`, to `pixel`.
void fillTile(std::int32_t tile, std::uint32_t pixel, Pixels to, const TileGrid& grid);
void fillTile(std::uint32_t pixel, PackedTile& packed);

// The bytes the coded tiles hold (their numbers, places and codes).
std::size_t codedBytes(const CodedTiles& coded);
