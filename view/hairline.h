// Draws 1-pixel anti-aliased line segments straight into a band of 32-bit frame pixels,
// without a drawing library: the toolpath layer of every redraw goes through here.
#pragma once

#include "platform/colour.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// dst blended towards the opaque src by coverage/255, each channel rounded to nearest.
std::uint32_t blendCoverage(std::uint32_t dst, std::uint32_t src, unsigned coverage);

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

// The fixed-point and blending steps drawHairline and its inline short path share.
namespace hairline_detail {

// Positions across the major axis in 32.32 fixed point: steps stay exact to 2^-32 pixel
// over any canvas, and the whole part (an arithmetic shift) is the floor.
using Fixed = std::int64_t;
constexpr int FixedShift = 32;
constexpr Fixed FixedOne = Fixed{1} << FixedShift;
constexpr Fixed FractionMask = FixedOne - 1;
constexpr unsigned FullCoverage = 255;                // a pixel wholly covered
constexpr std::uint64_t LaneMask = 0x00ff00ff00ffULL; // blue, green, red in 16-bit lanes
constexpr std::uint64_t LaneHalf = 0x008000800080ULL; // 128 in every lane

// std::floor and std::ceil are library calls on the baseline x86-64 instruction set; these
// are exact for the magnitudes the rasteriser accepts.
inline int floorToInt(double v)
{
    const int i = static_cast<int>(v);
    return i - (v < i);
}

inline int ceilToInt(double v)
{
    const int i = static_cast<int>(v);
    return i + (v > i);
}

inline Fixed toFixed(double v)
{
    assert(std::fabs(v) < 1.0e9); // |v| * 2^32 stays far inside the int64 range
    const double scaled = v * static_cast<double>(FixedOne) + 0.5;
    const Fixed f = static_cast<Fixed>(scaled);
    return f - (scaled < static_cast<double>(f)); // the floor: rounded to nearest
}

inline int wholePart(Fixed f)
{
    return static_cast<int>(f >> FixedShift);
}

// The fraction of `f` in 255ths, rounded to nearest: the share of the next pixel.
inline unsigned fractionCoverage(Fixed f)
{
    return static_cast<unsigned>(((f & FractionMask) * FullCoverage + FixedOne / 2) >> FixedShift);
}

// x / 255 rounded to nearest, exact for 0 <= x <= 255 * 255.
inline unsigned divide255(unsigned x)
{
    const unsigned t = x + 128;
    return (t + (t >> 8)) >> 8;
}

// Coverage of a length (pixels, along the major axis) inside one pixel, in 255ths.
inline unsigned spanCoverage(double length)
{
    const double c = std::clamp(length, 0.0, 1.0) * FullCoverage + 0.5;
    return static_cast<unsigned>(c);
}

inline std::uint64_t spreadChannels(std::uint32_t p)
{
    return (p & 0xffu) | (static_cast<std::uint64_t>(p & 0xff00u) << 8) |
           (static_cast<std::uint64_t>(p & 0xff0000u) << 16);
}

inline std::uint32_t gatherChannels(std::uint64_t v)
{
    return static_cast<std::uint32_t>((v & 0xffu) | ((v >> 8) & 0xff00u) | ((v >> 16) & 0xff0000u));
}

// dst blended towards src by coverage / 255. All three channels at once, each in a 16-bit
// lane: src * a + dst * (255 - a) is at most 255 * 255 per lane, and the rounded division
// by 255 never carries into the next lane.
[[gnu::always_inline]] inline std::uint32_t blendLanes(std::uint32_t dst, std::uint32_t src,
                                                       unsigned coverage)
{
    std::uint64_t t = spreadChannels(src) * coverage + spreadChannels(dst) * (FullCoverage - coverage);
    t += LaneHalf;
    t = ((t + ((t >> 8) & LaneMask)) >> 8) & LaneMask;
    return 0xff000000u | gatherChannels(t);
}


// Four distinct pixels blended towards the opaque `pixel`: p and q share coverage a by the
// fraction `next` of the position between them (p gets 255 - next of it, q gets next), and
// r and s share b by `nextB`. The coverages are divide255 of those products.
[[gnu::always_inline]] inline void blendFour(std::uint32_t* p, std::uint32_t* q, std::uint32_t* r,
                                             std::uint32_t* s, std::uint32_t pixel, unsigned next,
                                             unsigned a, unsigned nextB, unsigned b)
{
#if defined(__SSE2__)
    // The four coverages in 16-bit lanes (255 - next, next, 255 - nextB, nextB) x (a, a, b, b),
    // each divided by 255 as divide255 does; then each spread over one pixel's four lanes.
    const __m128i shares = _mm_xor_si128(
        _mm_shufflelo_epi16(_mm_cvtsi64_si128(static_cast<long long>(next | std::uint64_t{nextB} << 32)),
                            _MM_SHUFFLE(2, 2, 0, 0)),
        _mm_set_epi16(0, 0, 0, 0, 0, 255, 0, 255)); // 255 ^ n is 255 - n
    const __m128i along = _mm_shufflelo_epi16(
        _mm_cvtsi64_si128(static_cast<long long>(a | std::uint64_t{b} << 32)), _MM_SHUFFLE(2, 2, 0, 0));
    __m128i cover = _mm_add_epi16(_mm_mullo_epi16(shares, along), _mm_set1_epi16(128));
    cover = _mm_srli_epi16(_mm_add_epi16(cover, _mm_srli_epi16(cover, 8)), 8);
    const __m128i doubled = _mm_unpacklo_epi16(cover, cover);
    const __m128i coverPQ = _mm_unpacklo_epi32(doubled, doubled);
    const __m128i coverRS = _mm_unpackhi_epi32(doubled, doubled);

    const __m128i zero = _mm_setzero_si128();
    const __m128i full = _mm_set1_epi16(static_cast<short>(FullCoverage));
    const __m128i half = _mm_set1_epi16(128);
    const __m128i src = _mm_unpacklo_epi8(_mm_set1_epi32(static_cast<int>(pixel)), zero);
    auto blend = [&](std::uint32_t u, std::uint32_t v, __m128i c) {
        const __m128i dst = _mm_unpacklo_epi8(
            _mm_unpacklo_epi32(_mm_cvtsi32_si128(static_cast<int>(u)), _mm_cvtsi32_si128(static_cast<int>(v))),
            zero);
        __m128i t = _mm_add_epi16(_mm_mullo_epi16(src, c), _mm_mullo_epi16(dst, _mm_xor_si128(c, full)));
        t = _mm_add_epi16(t, half);
        return _mm_srli_epi16(_mm_add_epi16(t, _mm_srli_epi16(t, 8)), 8);
    };
    const __m128i packed = _mm_packus_epi16(blend(*p, *q, coverPQ), blend(*r, *s, coverRS));
    *p = static_cast<std::uint32_t>(_mm_cvtsi128_si32(packed));
    *q = static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_shuffle_epi32(packed, 1)));
    *r = static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_shuffle_epi32(packed, 2)));
    *s = static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_shuffle_epi32(packed, 3)));
#else
    *p = blendLanes(*p, pixel, divide255((FullCoverage - next) * a));
    *q = blendLanes(*q, pixel, divide255(next * a));
    *r = blendLanes(*r, pixel, divide255((FullCoverage - nextB) * b));
    *s = blendLanes(*s, pixel, divide255(nextB * b));
#endif
}

// The rows [rowLo, rowHi) of a band that lie on the frame.
inline int bandRowLo(const PixelBand& band)
{
    return std::max(band.top, 0);
}

inline int bandRowHi(const PixelBand& band)
{
    return std::min(band.bottom, band.height);
}

// A segment along its major axis a (x when Steep is false, y when true; b is the minor
// axis, |slope| <= 1, a1 != a2) that crosses at most two major pixels, drawn when all four
// pixels it may touch lie on the band and the frame; false, with nothing drawn, otherwise.
// The centre line crosses each major pixel between the minor pixels floor(b - 0.5) and the
// next, shared by the fraction of that position; the end pixels hold only the part of the
// pixel the segment spans. Nothing here branches on the segment's position: a blend with
// coverage 0 leaves a pixel as it is. The values are those of drawHairline's general walk.
template <bool Steep>
[[gnu::always_inline]] inline bool drawShortSegment(const PixelBand& band, double a1, double b1, double a2,
                                                    double b2, std::uint32_t pixel)
{
    if (a1 > a2) {
        std::swap(a1, a2);
        std::swap(b1, b2);
    }
    const int first = floorToInt(a1);
    const int last = ceilToInt(a2) - 1;
    const int majorLo = Steep ? bandRowLo(band) : 0;
    const int majorHi = Steep ? bandRowHi(band) : band.width;
    if (last - first > 1 || first < majorLo || first + 1 >= majorHi)
        return false;
    // Most segments of a raster engraving are level: no division for them.
    const double slope = b2 == b1 ? 0.0 : (b2 - b1) / (a2 - a1);
    const Fixed start = toFixed(b1 + (first + 0.5 - a1) * slope - 0.5);
    const Fixed second = start + toFixed(slope);
    const int m0 = wholePart(start);
    const int m1 = wholePart(second);
    const int minorLo = Steep ? 0 : bandRowLo(band);
    const int minorHi = Steep ? band.width : bandRowHi(band);
    if (std::min(m0, m1) < minorLo || std::max(m0, m1) + 1 >= minorHi)
        return false;
    // A second major pixel the segment does not reach gets coverage 0.
    const unsigned firstAlong = spanCoverage(std::min(a2, first + 1.0) - a1);
    const unsigned lastAlong = spanCoverage(a2 - last) * static_cast<unsigned>(last != first);
    const std::ptrdiff_t toNext = Steep ? 1 : band.stride;
    std::uint32_t* p0 = Steep ? band.rows + static_cast<std::ptrdiff_t>(first) * band.stride + m0
                              : band.rows + static_cast<std::ptrdiff_t>(m0) * band.stride + first;
    std::uint32_t* p1 = Steep ? band.rows + static_cast<std::ptrdiff_t>(first + 1) * band.stride + m1
                              : band.rows + static_cast<std::ptrdiff_t>(m1) * band.stride + first + 1;
    blendFour(p0, p0 + toNext, p1, p1 + toNext, pixel, fractionCoverage(start), firstAlong,
              fractionCoverage(second), lastAlong);
    return true;
}

} // namespace hairline_detail

// drawHairline for the short segments that are most of a dense job at low zoom, inline in
// the caller's loop; the rest go to drawHairline. Ends must be finite and within
// HairlineCoordinateLimit (the renderer clips far below it).
[[gnu::always_inline]] inline void drawHairlineInline(const PixelBand& band, double x1, double y1,
                                                      double x2, double y2, std::uint32_t pixel)
{
    using namespace hairline_detail;
    assert(std::fabs(x1) <= HairlineCoordinateLimit && std::fabs(y1) <= HairlineCoordinateLimit &&
           std::fabs(x2) <= HairlineCoordinateLimit && std::fabs(y2) <= HairlineCoordinateLimit);
    if (hairlineMissesBand(band, y1, y2))
        return;
    const double dx = x2 - x1;
    const double dy = y2 - y1;
    const bool drawn = std::fabs(dx) >= std::fabs(dy)
                           ? dx != 0.0 && drawShortSegment<false>(band, x1, y1, x2, y2, pixel)
                           : drawShortSegment<true>(band, y1, x1, y2, x2, pixel);
    if (!drawn)
        drawHairline(band, x1, y1, x2, y2, pixel);
}
