// The arithmetic of every anti-aliased pixel the program blends by hand: how much of a pixel
// a shape covers, in 255ths, and the blend of a colour over a pixel by that coverage. The
// toolpath's hairlines and the grid's thin dashes both go through it, so a pixel that both
// cover alike looks alike.
#pragma once

#include <algorithm>
#include <cassert>
#include <cstdint>

constexpr unsigned FullCoverage = 255; // a pixel wholly covered

// x / 255 rounded to nearest, exact for 0 <= x <= 255 * 255 (no x there lies half way).
constexpr unsigned divide255(unsigned x)
{
    const unsigned t = x + 128;
    return (t + (t >> 8)) >> 8;
}

// The rounding every blend here uses is the plain rounded division, for every value it takes.
static_assert([] {
    for (unsigned x = 0; x <= 255 * 255; ++x)
        if (divide255(x) != (x + 127) / 255)
            return false;
    return true;
}());

// std::floor and std::ceil are library calls on the baseline x86-64 instruction set; these
// are exact for |v| < 2^31.
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

// A stretch [lo, hi) along one axis of the pixel grid (lo < hi): the pixels first..last it
// touches. Those between first and last lie wholly inside it; the two end pixels hold only
// the part of it that lies in them (firstShare, lastShare).
struct PixelSpan {
    double lo;
    double hi;
    int first;
    int last;
};

inline PixelSpan pixelSpanOf(double lo, double hi)
{
    assert(lo < hi);
    return PixelSpan{lo, hi, floorToInt(lo), ceilToInt(hi) - 1};
}

// The length of the span inside pixel `first`: the whole span when it lies in one pixel.
inline double firstShare(const PixelSpan& s)
{
    return std::min(s.hi, s.first + 1.0) - s.lo;
}

// The length of the span inside pixel `last`, when that is not `first`.
inline double lastShare(const PixelSpan& s)
{
    return s.hi - s.last;
}

// The length of the span inside pixel i, first <= i <= last.
inline double shareOfPixel(const PixelSpan& s, int i)
{
    assert(i >= s.first && i <= s.last);
    return i == s.first ? firstShare(s) : i == s.last ? lastShare(s) : 1.0;
}

// A share of one pixel (a length along it, or an area) in 255ths, rounded to nearest.
inline unsigned coverageOfShare(double share)
{
    return static_cast<unsigned>(std::clamp(share, 0.0, 1.0) * FullCoverage + 0.5);
}

namespace pixel_coverage_detail {

constexpr std::uint64_t LaneMask = 0x00ff00ff00ffULL; // blue, green, red in 16-bit lanes
constexpr std::uint64_t LaneHalf = 0x008000800080ULL; // 128 in every lane

constexpr std::uint64_t spreadChannels(std::uint32_t p)
{
    return (p & 0xffu) | (static_cast<std::uint64_t>(p & 0xff00u) << 8) |
           (static_cast<std::uint64_t>(p & 0xff0000u) << 16);
}

constexpr std::uint32_t gatherChannels(std::uint64_t v)
{
    return static_cast<std::uint32_t>((v & 0xffu) | ((v >> 8) & 0xff00u) | ((v >> 16) & 0xff0000u));
}

} // namespace pixel_coverage_detail

// The opaque pixel dst (0xffRRGGBB, its alpha byte ignored) blended towards src by
// coverage / 255 (coverage at most 255), each channel rounded to nearest as divide255
// rounds. All three channels at once, each in a 16-bit lane: src * c + dst * (255 - c) is
// at most 255 * 255 per lane, and the rounded division never carries into the next lane.
[[gnu::always_inline]] inline std::uint32_t blendCoverage(std::uint32_t dst, std::uint32_t src,
                                                          unsigned coverage)
{
    using namespace pixel_coverage_detail;
    assert(coverage <= FullCoverage);
    std::uint64_t t = spreadChannels(src) * coverage + spreadChannels(dst) * (FullCoverage - coverage);
    t += LaneHalf;
    t = ((t + ((t >> 8) & LaneMask)) >> 8) & LaneMask;
    return 0xff000000u | gatherChannels(t);
}
