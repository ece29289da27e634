// Draws 1-pixel anti-aliased line segments straight into a band of 32-bit frame pixels,
// without a drawing library: the toolpath layer of every redraw goes through here.
#pragma once

#include "platform/colour.h"
#include "platform/pixel_coverage.h" // blendCoverage, the blend of every hairline pixel

#include <cstddef>
#include <cstdint>

// The rows of a frame image one thread may write: pixels are 0xffRRGGBB words (the
// layout of the platform's 32-bit frame image), row y starts at rows + y * stride.
struct PixelBand {
    std::uint32_t* rows = nullptr; // pixel (0, 0)
    std::ptrdiff_t stride = 0;     // pixels from one row to the next
    int width = 0;                 // pixels of the whole frame
    int height = 0;
    int top = 0;    // first row of the band
    int bottom = 0; // one past its last row
};

// The frame pixel of an opaque colour value (its alpha byte is ignored).
constexpr std::uint32_t framePixelOf(ColourValue c)
{
    return 0xff000000u | (redOf(c) << 16) | (greenOf(c) << 8) | blueOf(c);
}

// Draws the segment from (x1, y1) to (x2, y2) (pixel units, Y down, pixel (i, j) centred
// on (i + 0.5, j + 0.5)) in `pixel`, writing only the band's rows. A pixel's value depends
// on the whole segment, never on the band, so bands drawn one by one give the picture a
// single band gives. Non-finite ends, and ends beyond HairlineCoordinateLimit, draw nothing.
void drawHairline(const PixelBand& band, double x1, double y1, double x2, double y2,
                  std::uint32_t pixel);

constexpr double HairlineCoordinateLimit = 1.0e7; // pixels; callers clip far below this

// Whether a segment with ends at rows y1 and y2 lies wholly above or below the band (its
// pixels reach one row beyond the line at most): a cheap test before drawHairline.
inline bool hairlineMissesBand(const PixelBand& band, double y1, double y2)
{
    return (y1 < band.top - 1.0 && y2 < band.top - 1.0) ||
           (y1 > band.bottom + 1.0 && y2 > band.bottom + 1.0);
}

// One segment of a batch: its ends in pixel units and its frame pixel.
struct HairlineSegment {
    double x1, y1, x2, y2;
    std::uint32_t pixel;
};

constexpr int HairlineBatch = 64; // segments drawHairlines takes at a time, at most

// Draws `count` segments (at most HairlineBatch) in order, as drawHairline draws each, ends
// finite and within HairlineCoordinateLimit. The short segments that are most of a dense
// job at low zoom are worked out all together before their pixels are blended in order:
// their arithmetic then overlaps instead of waiting one segment at a time.
void drawHairlines(const PixelBand& band, const HairlineSegment* segments, int count);
