// The renderer's walk over the cutting moves, for one band of rows, taken up again where it
// stopped: what lets a replay draw only the moves a cursor change adds.
#pragma once

#include "platform/colour.h"
#include "view/hairline.h"

#include <cstdint>

struct Move;

// A frame's tiles, to note which ones a walk drew into: a tile is DirtyTileWidth x
// DirtyTileRows pixels, tile (column, row) at byte row x columns + column.
constexpr int DirtyTileWidth = 64; // pixels
constexpr int DirtyTileRows = 16;  // pixels

struct TileMarks {
    std::uint8_t* marks = nullptr; // nullptr: note nothing
    int columns = 0;
};

// Where a band's walk stands between two moves: the colour in force and the half-pixel key
// of the last segment drawn. Both decide whether the next move draws.
struct BandWalkState {
    ColourValue colour = 1; // alpha 0: no move colour takes it
    int key0 = -999999;     // half pixels; a key no segment produces
    int key1 = 0;
    int key2 = 0;
    int key3 = 0;
};

inline bool operator==(const BandWalkState& a, const BandWalkState& b)
{
    return a.colour == b.colour && a.key0 == b.key0 && a.key1 == b.key1 && a.key2 == b.key2 &&
           a.key3 == b.key3;
}

// Draws the cutting moves [first, last) and then `part` (when not nullptr) into the band's
// rows of the frame at the current view, as the walk over every move from the first one
// draws them when it stands at `state` before move `first`; leaves `state` where that walk
// stands after them and sets every tile it draws into to 1 in `marks`. `banded` is false
// when the band is the whole frame. The band's rows go on as if each move had been drawn in
// turn, so stretches walked one after another give the picture of one walk over them all.
void walkBandStretch(const PixelBand& band, bool banded, std::int32_t first, std::int32_t last,
                     const Move* part, BandWalkState& state, TileMarks marks);

// Walks the cutting moves [first, last) for the band as walkBandStretch does, drawing
// nothing: only `state` goes on.
void walkBandState(const PixelBand& band, bool banded, std::int32_t first, std::int32_t last,
                   BandWalkState& state);

// Sets to 1 every tile of the band's rows that a cutting move of [first, last) could draw
// into from any state of the walk.
void markMoveTiles(const PixelBand& band, std::int32_t first, std::int32_t last, TileMarks marks);

// The state of the walk for the band's rows before move `at`, found from the last cutting
// move before it that is not culled, within a few thousand moves back: such a move sets
// the walk's colour and key whatever stood before it, or makes it forget the key when it
// lies wholly beyond the band's rows (a forgotten key draws the next segment in any colour,
// so any colour will then do). false when no such move settles it.
bool bandWalkStateBefore(const PixelBand& band, bool banded, std::int32_t at, BandWalkState& state);

// The bands a redraw of this height splits into, and the moves' chunk extents a banded walk
// needs; false when their memory cannot be had (then walk as one band).
int moveBandCount(int height);
bool prepareBandWalks(int bands);
