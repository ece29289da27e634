// Codes the changes of a frame's tiles as runs of unchanged pixels and literal changed ones,
// applies them, and joins two changes of a tile into one.
#include "view/frame_tiles.h"

#include "view/band_walk.h"

#include <algorithm>
#include <cassert>
#include <cstring>

static_assert(MostTilePixels == std::size_t{DirtyTileWidth} * DirtyTileRows,
              "a packed tile holds a whole tile");

namespace {

// A run of unchanged pixels and the changed ones after it: one byte, the first count in its
// high and the second in its low four bits, when they fit (most runs along a line do); or,
// for the run from one row of a line to the next, the changed ones' count in the high four
// bits and the unchanged ones' in a byte after it; else LongRuns and a byte for each.
constexpr int LongestRun = 255;      // pixels one count byte holds
constexpr int LongestShortRun = 15;  // pixels four bits hold
constexpr std::uint8_t LongRuns = 0; // no changed pixel: a short run never says so
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
    return TileRect{left, top, std::min(DirtyTileWidth, grid.width - left),
                    std::min(DirtyTileRows, grid.height - top)};
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

struct Code {
    const std::uint8_t* begin;
    const std::uint8_t* end;
};

Code codeOf(const CodedTiles& from, std::size_t index)
{
    const std::uint8_t* const codes = from.codes.data();
    return Code{codes + from.offsets[index],
                codes +
                    (index + 1 < from.offsets.size() ? from.offsets[index + 1] : from.codes.size())};
}

// Adds the code of the `pixels` pixels of `now` whose `changed` is not 0.
void addCode(CodedTiles& to, std::int32_t tile, const std::uint32_t* now, const std::uint8_t* changed,
             int pixels)
{
    assert(to.tiles.empty() || to.tiles.back() < tile);
    bool grey = true;
    for (int p = 0; p < pixels && grey; ++p)
        grey = changed[p] == 0 || isOpaqueGrey(now[p]);
    to.tiles.push_back(tile);
    to.offsets.push_back(static_cast<std::uint32_t>(to.codes.size()));
    std::vector<std::uint8_t>& codes = to.codes;
    codes.push_back(grey ? GreyLiterals : FrameLiterals);
    for (int p = 0; p < pixels;) {
        int skip = 0;
        while (p + skip < pixels && changed[p + skip] == 0)
            ++skip;
        if (p + skip == pixels)
            break; // the rest is unchanged
        p += skip;
        for (; skip > LongestRun; skip -= LongestRun) {
            codes.push_back(LongRuns);
            codes.push_back(LongestRun);
            codes.push_back(0);
        }
        int count = 0;
        while (p + count < pixels && count < LongestRun && changed[p + count] != 0)
            ++count;
        if (skip <= LongestShortRun && count <= LongestShortRun) {
            codes.push_back(static_cast<std::uint8_t>(skip << 4 | count));
        } else if (count <= LongestShortRun) {
            codes.push_back(static_cast<std::uint8_t>(count << 4));
            codes.push_back(static_cast<std::uint8_t>(skip));
        } else {
            codes.push_back(LongRuns);
            codes.push_back(static_cast<std::uint8_t>(skip));
            codes.push_back(static_cast<std::uint8_t>(count));
        }
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

// Writes a code's changed pixels into a tile `width` pixels across whose first pixel is at
// `at`, rows `stride` apart; sets their `changed` (packed, when not nullptr) to 1.
void applyCode(Code code, std::uint32_t* at, std::ptrdiff_t stride, int width, std::uint8_t* changed)
{
    assert(code.begin < code.end);
    const std::uint8_t* c = code.begin;
    const bool grey = *c++ == GreyLiterals;
    int place = 0; // pixels into the tile, in rows of `width`
    while (c != code.end) {
        int count = *c & LongestShortRun;
        if (count != 0) {
            place += *c++ >> 4;
        } else if (*c != LongRuns) {
            count = *c >> 4;
            place += c[1];
            c += 2;
        } else {
            place += c[1];
            count = c[2];
            c += 3;
        }
        int y = place / width;
        int x = place - y * width;
        if (changed != nullptr)
            std::fill(changed + place, changed + place + count, std::uint8_t{1});
        place += count;
        std::uint32_t* row = at + y * stride;
        while (count > 0) { // the part of the run in this row, then the rest in the next
            const int n = std::min(count, width - x);
            if (grey) {
                for (int i = 0; i < n; ++i)
                    row[x + i] = greyPixel(c[i]);
                c += n;
            } else {
                std::memcpy(row + x, c, n * sizeof(std::uint32_t));
                c += n * sizeof(std::uint32_t);
            }
            count -= n;
            x = 0;
            row += stride;
        }
    }
}

} // namespace

void codeTileChange(CodedTiles& to, std::int32_t tile, Pixels image, const PackedTile& before,
                    const TileGrid& grid)
{
    const TileRect rect = tileRect(tile, grid);
    PackedTile now;
    std::uint8_t changed[MostTilePixels];
    for (int y = 0; y < rect.height; ++y)
        std::memcpy(now.pixels + y * rect.width, pixelAt(image, rect.left, rect.top + y),
                    rect.width * sizeof(std::uint32_t));
    const int pixels = rect.width * rect.height;
    for (int p = 0; p < pixels; ++p)
        changed[p] = now.pixels[p] != before.pixels[p];
    addCode(to, tile, now.pixels, changed, pixels);
}

void applyTileChange(const CodedTiles& from, std::size_t index, Pixels image, const TileGrid& grid)
{
    const TileRect rect = tileRect(from.tiles[index], grid);
    applyCode(codeOf(from, index), pixelAt(image, rect.left, rect.top), image.stride, rect.width,
              nullptr);
}

void applyTileChange(const CodedTiles& from, std::size_t index, PackedTile& packed,
                     const TileGrid& grid)
{
    const TileRect rect = tileRect(from.tiles[index], grid);
    applyCode(codeOf(from, index), packed.pixels, rect.width, rect.width, nullptr);
}

void addJoinedChanges(CodedTiles& to, const CodedTiles& earlier, std::size_t i, const CodedTiles& later,
                      std::size_t j, const TileGrid& grid)
{
    assert(earlier.tiles[i] == later.tiles[j]);
    const TileRect rect = tileRect(later.tiles[j], grid);
    PackedTile now;
    std::uint8_t changed[MostTilePixels] = {};
    applyCode(codeOf(earlier, i), now.pixels, rect.width, rect.width, changed);
    applyCode(codeOf(later, j), now.pixels, rect.width, rect.width, changed);
    addCode(to, later.tiles[j], now.pixels, changed, rect.width * rect.height);
}

void copyCodedTile(CodedTiles& to, const CodedTiles& from, std::size_t index)
{
    assert(to.tiles.empty() || to.tiles.back() < from.tiles[index]);
    const Code code = codeOf(from, index);
    to.tiles.push_back(from.tiles[index]);
    to.offsets.push_back(static_cast<std::uint32_t>(to.codes.size()));
    to.codes.insert(to.codes.end(), code.begin, code.end);
}

void copyTile(std::int32_t tile, Pixels from, Pixels to, const TileGrid& grid)
{
    const TileRect rect = tileRect(tile, grid);
    for (int y = rect.top; y < rect.top + rect.height; ++y)
        std::memcpy(pixelAt(to, rect.left, y), pixelAt(from, rect.left, y),
                    rect.width * sizeof(std::uint32_t));
}

void fillTile(std::int32_t tile, std::uint32_t pixel, Pixels to, const TileGrid& grid)
{
    const TileRect rect = tileRect(tile, grid);
    for (int y = rect.top; y < rect.top + rect.height; ++y)
        std::fill_n(pixelAt(to, rect.left, y), rect.width, pixel);
}

void fillTile(std::uint32_t pixel, PackedTile& packed)
{
    std::fill_n(packed.pixels, MostTilePixels, pixel);
}

void packTile(std::int32_t tile, Pixels from, PackedTile& packed, const TileGrid& grid)
{
    const TileRect rect = tileRect(tile, grid);
    for (int y = 0; y < rect.height; ++y)
        std::memcpy(packed.pixels + y * rect.width, pixelAt(from, rect.left, rect.top + y),
                    rect.width * sizeof(std::uint32_t));
}

std::size_t codedBytes(const CodedTiles& coded)
{
    return coded.tiles.capacity() * sizeof(std::int32_t) +
           coded.offsets.capacity() * sizeof(std::uint32_t) + coded.codes.capacity();
}
