// Codes a frame's tiles as runs of pixels unchanged from the empty picture and literal
// changed ones, and puts them back.
#include "view/frame_tiles.h"

#include "view/band_walk.h"

#include <algorithm>
#include <cassert>
#include <cstring>

namespace {

constexpr std::size_t TilePixels = std::size_t{DirtyTileWidth} * DirtyTileRows;
constexpr int LongestRun = 255; // pixels one count byte holds
// A code's first byte: how its literal pixels are kept.
constexpr std::uint8_t GreyLiterals = 0;  // one byte each: every changed pixel an opaque grey
constexpr std::uint8_t FrameLiterals = 1; // four bytes each, as in the frame

struct TileRect {
    int left, top, width, height;
};

TileRect tileRect(std::int32_t tile, const TileGrid& grid)
{
    const int left = tile % grid.columns * DirtyTileWidth;
    const int top = tile / grid.columns * DirtyTileRows;
    return TileRect{left, top, std::min(DirtyTileWidth, grid.width - left), std::min(DirtyTileRows, grid.height - top)};
}

inline std::uint32_t* pixelAt(Pixels image, int x, int y)
{
    return image.rows + static_cast<std::ptrdiff_t>(y) * image.stride + x;
}

// On the light scheme moves and grid are greys on white: nearly every changed pixel is one.
inline bool isOpaqueGrey(std::uint32_t pixel)
{
    const std::uint32_t blue = pixel & 0xffu;
    return pixel == (0xff000000u | blue * 0x010101u);
}

inline std::uint32_t greyPixel(std::uint8_t grey)
{
    return 0xff000000u | grey * 0x010101u;
}

} // namespace

void codeTile(CodedTiles& to, std::int32_t tile, Pixels image, Pixels empty, const TileGrid& grid)
{
    const TileRect rect = tileRect(tile, grid);
    // The tile's pixels in one run of rows: the runs of the code may then cross rows.
    std::uint32_t now[TilePixels];
    std::uint32_t was[TilePixels];
    for (int y = 0; y < rect.height; ++y) {
        std::memcpy(now + y * rect.width, pixelAt(image, rect.left, rect.top + y), rect.width * sizeof(std::uint32_t));
        std::memcpy(was + y * rect.width, pixelAt(empty, rect.left, rect.top + y), rect.width * sizeof(std::uint32_t));
    }
    const int pixels = rect.width * rect.height;
    bool grey = true;
    for (int p = 0; p < pixels && grey; ++p)
        grey = now[p] == was[p] || isOpaqueGrey(now[p]);

    to.tiles.push_back(tile);
    to.offsets.push_back(static_cast<std::uint32_t>(to.codes.size()));
    std::vector<std::uint8_t>& codes = to.codes;
    codes.push_back(grey ? GreyLiterals : FrameLiterals);
    for (int p = 0; p < pixels;) {
        int skip = 0;
        while (p + skip < pixels && now[p + skip] == was[p + skip])
            ++skip;
        if (p + skip == pixels)
            break; // the decode starts from the empty tile
        p += skip;
        for (; skip > LongestRun; skip -= LongestRun) {
            codes.push_back(LongestRun);
            codes.push_back(0);
        }
        int count = 0;
        while (p + count < pixels && count < LongestRun && now[p + count] != was[p + count])
            ++count;
        codes.push_back(static_cast<std::uint8_t>(skip));
        codes.push_back(static_cast<std::uint8_t>(count));
        for (int i = 0; i < count; ++i) {
            const std::uint32_t pixel = now[p + i];
            if (grey) {
                codes.push_back(static_cast<std::uint8_t>(pixel));
            } else {
                const std::size_t at = codes.size();
                codes.resize(at + sizeof pixel);
                std::memcpy(codes.data() + at, &pixel, sizeof pixel);
            }
        }
        p += count;
    }
}

void decodeTile(const CodedTiles& from, std::size_t index, Pixels image, Pixels empty, const TileGrid& grid)
{
    const std::int32_t tile = from.tiles[index];
    const TileRect rect = tileRect(tile, grid);
    copyTile(tile, empty, image, grid);
    const std::uint8_t* code = from.codes.data() + from.offsets[index];
    const std::uint8_t* const end =
        from.codes.data() + (index + 1 < from.offsets.size() ? from.offsets[index + 1] : from.codes.size());
    assert(code < end);
    const bool grey = *code++ == GreyLiterals;
    int place = 0; // pixels into the tile, in rows of rect.width
    while (code != end) {
        place += code[0];
        int count = code[1];
        code += 2;
        int y = place / rect.width;
        int x = place - y * rect.width;
        place += count;
        assert(place <= rect.width * rect.height);
        std::uint32_t* row = pixelAt(image, rect.left, rect.top + y);
        for (; count > 0; --count) {
            if (grey) {
                row[x] = greyPixel(*code++);
            } else {
                std::memcpy(row + x, code, sizeof(std::uint32_t));
                code += sizeof(std::uint32_t);
            }
            if (++x == rect.width) {
                x = 0;
                row += image.stride;
            }
        }
    }
}

void copyCodedTile(CodedTiles& to, const CodedTiles& from, std::size_t index)
{
    const std::uint8_t* const code = from.codes.data() + from.offsets[index];
    const std::uint8_t* const end =
        from.codes.data() + (index + 1 < from.offsets.size() ? from.offsets[index + 1] : from.codes.size());
    to.tiles.push_back(from.tiles[index]);
    to.offsets.push_back(static_cast<std::uint32_t>(to.codes.size()));
    to.codes.insert(to.codes.end(), code, end);
}

void copyTile(std::int32_t tile, Pixels from, Pixels to, const TileGrid& grid)
{
    const TileRect rect = tileRect(tile, grid);
    for (int y = rect.top; y < rect.top + rect.height; ++y)
        std::memcpy(pixelAt(to, rect.left, y), pixelAt(from, rect.left, y), rect.width * sizeof(std::uint32_t));
}

std::size_t codedBytes(const CodedTiles& coded)
{
    return coded.tiles.capacity() * sizeof(std::int32_t) + coded.offsets.capacity() * sizeof(std::uint32_t) +
           coded.codes.capacity();
}
