// Draws 1-pixel anti-aliased line segments straight into frame pixels: each segment is
// walked along its major axis one pixel at a time, its centre line split between the two
// pixels it passes between, the end pixels weighted by how much of them the segment spans.
#include "view/hairline.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <limits>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Positions across the major axis in 32.32 fixed point: steps stay exact to 2^-32 pixel
// over any canvas, and the whole part (an arithmetic shift) is the floor.
using Fixed = std::int64_t;
constexpr int FixedShift = 32;
constexpr Fixed FixedOne = Fixed{1} << FixedShift;
constexpr Fixed FractionMask = FixedOne - 1;

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


#if defined(__SSE2__)
// x / 255 rounded to nearest in each 16-bit lane, as divide255 (each x at most 255 * 255).
inline __m128i divide255Lanes(__m128i x)
{
    const __m128i t = _mm_add_epi16(x, _mm_set1_epi16(128));
    return _mm_srli_epi16(_mm_add_epi16(t, _mm_srli_epi16(t, 8)), 8);
}

// An opaque pixel's four channels in 16-bit lanes, twice.
inline __m128i pixelLanes(std::uint32_t pixel)
{
    return _mm_unpacklo_epi8(_mm_set1_epi32(static_cast<int>(pixel)), _mm_setzero_si128());
}

// The coverages c0..c3 of the low four 16-bit lanes, each spread over the four lanes of one
// pixel: (c0, c1) for one pair of pixels, (c2, c3) for the other.
inline void spreadCoverages(__m128i cover, __m128i& first, __m128i& second)
{
    const __m128i doubled = _mm_unpacklo_epi16(cover, cover);
    first = _mm_unpacklo_epi32(doubled, doubled);
    second = _mm_unpackhi_epi32(doubled, doubled);
}

// The two pixels in the low 64 bits of `pixels` blended towards `src` by `cover`, in 16-bit
// lanes: the lane blend of blendLanes, whose alpha lanes give 255 again.
inline __m128i blendTwoLanes(__m128i pixels, __m128i src, __m128i cover)
{
    const __m128i dst = _mm_unpacklo_epi8(pixels, _mm_setzero_si128());
    const __m128i rest = _mm_xor_si128(cover, _mm_set1_epi16(static_cast<short>(FullCoverage))); // 255 - c
    return divide255Lanes(_mm_add_epi16(_mm_mullo_epi16(src, cover), _mm_mullo_epi16(dst, rest)));
}
#endif

// Four distinct pixels blended towards the opaque `pixel`: p and q share coverage a by the
// fraction `next` of the position between them (p gets 255 - next of it, q gets next), and
// r and s share b by `nextB`. The coverages are divide255 of those products.
[[gnu::always_inline]] inline void blendFour(std::uint32_t* p, std::uint32_t* q, std::uint32_t* r,
                                             std::uint32_t* s, std::uint32_t pixel, unsigned next,
                                             unsigned a, unsigned nextB, unsigned b)
{
#if defined(__SSE2__)
    // The four coverages in 16-bit lanes: (255 - next, next, 255 - nextB, nextB) x (a, a, b, b).
    const __m128i shares = _mm_xor_si128(
        _mm_shufflelo_epi16(_mm_cvtsi64_si128(static_cast<long long>(next | std::uint64_t{nextB} << 32)),
                            _MM_SHUFFLE(2, 2, 0, 0)),
        _mm_set_epi16(0, 0, 0, 0, 0, 255, 0, 255)); // 255 ^ n is 255 - n
    const __m128i along = _mm_shufflelo_epi16(
        _mm_cvtsi64_si128(static_cast<long long>(a | std::uint64_t{b} << 32)), _MM_SHUFFLE(2, 2, 0, 0));
    __m128i coverPQ, coverRS;
    spreadCoverages(divide255Lanes(_mm_mullo_epi16(shares, along)), coverPQ, coverRS);
    const __m128i src = pixelLanes(pixel);
    const auto two = [](std::uint32_t u, std::uint32_t v) {
        return _mm_unpacklo_epi32(_mm_cvtsi32_si128(static_cast<int>(u)), _mm_cvtsi32_si128(static_cast<int>(v)));
    };
    const __m128i packed =
        _mm_packus_epi16(blendTwoLanes(two(*p, *q), src, coverPQ), blendTwoLanes(two(*r, *s), src, coverRS));
    *p = static_cast<std::uint32_t>(_mm_cvtsi128_si32(packed));
    *q = static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_shuffle_epi32(packed, 1)));
    *r = static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_shuffle_epi32(packed, 2)));
    *s = static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_shuffle_epi32(packed, 3)));
#else
    *p = blendCoverage(*p, pixel, divide255((FullCoverage - next) * a));
    *q = blendCoverage(*q, pixel, divide255(next * a));
    *r = blendCoverage(*r, pixel, divide255((FullCoverage - nextB) * b));
    *s = blendCoverage(*s, pixel, divide255(nextB * b));
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

// The four pixels of a short segment and what each gets, worked out before the blend.
struct ShortSegment {
    std::uint32_t* p0; // pixel (first, m0); p0 + toNext is its minor neighbour
    std::uint32_t* p1; // pixel (first + 1, m1)
    std::ptrdiff_t toNext;
    unsigned next0, along0, next1, along1;
};

// A segment along its major axis a (x when Steep is false, y when true; b is the minor
// axis, |slope| <= 1, a1 != a2) that crosses at most two major pixels: its plan, when all
// four pixels it may touch lie on the band and the frame; false otherwise. The centre line
// crosses each major pixel between the minor pixels floor(b - 0.5) and the next, shared by
// the fraction of that position; the end pixels hold only the part of the pixel the segment
// spans. A second major pixel the segment does not reach gets coverage 0, which leaves it
// as it is, so the blend never branches on the segment's position. The values are those
// of the general walk below, so a band that takes either way draws the same picture.
template <bool Steep>
[[gnu::always_inline]] inline bool planShortSegment(const PixelBand& band, double a1, double b1, double a2,
                                                    double b2, ShortSegment& plan)
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
    const unsigned firstAlong = coverageOfShare(std::min(a2, first + 1.0) - a1);
    const unsigned lastAlong = coverageOfShare(a2 - last) * static_cast<unsigned>(last != first);
    plan.toNext = Steep ? 1 : band.stride;
    plan.p0 = Steep ? band.rows + static_cast<std::ptrdiff_t>(first) * band.stride + m0
                    : band.rows + static_cast<std::ptrdiff_t>(m0) * band.stride + first;
    plan.p1 = Steep ? band.rows + static_cast<std::ptrdiff_t>(first + 1) * band.stride + m1
                    : band.rows + static_cast<std::ptrdiff_t>(m1) * band.stride + first + 1;
    plan.next0 = fractionCoverage(start);
    plan.along0 = firstAlong;
    plan.next1 = fractionCoverage(second);
    plan.along1 = lastAlong;
    return true;
}

// A level segment (y1 == y2) that crosses at most two pixel columns: the plan
// planShortSegment makes for it, worked out with a level line's fewer steps (one row pair
// and one share for both columns). p0 is pixel (first, m); next0 serves both columns.
// The row pair of the last level segment planned: consecutive moves of a raster line lie
// on the same y, so its rows and share are worked out once per line.
struct LevelRow {
    double y = std::numeric_limits<double>::quiet_NaN(); // equal to no y
    std::uint32_t* upper = nullptr; // row m at x = 0; null when rows m, m + 1 are not the band's
    unsigned next = 0;
};

[[gnu::always_inline]] inline bool planLevelSegment(const PixelBand& band, double a1, double a2, double b,
                                                    ShortSegment& plan, LevelRow& row)
{
    if (b != row.y) {
        const Fixed start = toFixed(b - 0.5);
        const int m = wholePart(start);
        const bool onBand = m >= bandRowLo(band) && m + 1 < bandRowHi(band);
        row.y = b;
        row.upper = onBand ? band.rows + static_cast<std::ptrdiff_t>(m) * band.stride : nullptr;
        row.next = fractionCoverage(start);
    }
    if (a1 > a2)
        std::swap(a1, a2);
    const int first = floorToInt(a1);
    const int last = ceilToInt(a2) - 1;
    if (row.upper == nullptr || last - first > 1 || first < 0 || first + 1 >= band.width)
        return false;
    plan.p0 = row.upper + first;
    plan.toNext = band.stride;
    plan.next0 = row.next;
    plan.along0 = coverageOfShare(std::min(a2, first + 1.0) - a1);
    plan.along1 = coverageOfShare(a2 - last) * static_cast<unsigned>(last != first);
    return true;
}

// The four pixels of a level plan: p[0] and p[1] on one row, the two below them on the next.
[[gnu::always_inline]] inline void blendLevel(const ShortSegment& plan, std::uint32_t pixel)
{
    std::uint32_t* const p = plan.p0;
    std::uint32_t* const q = plan.p0 + plan.toNext;
#if defined(__SSE2__)
    // As blendFour, with each row's two pixels read and written as one 64-bit word.
    const unsigned n = plan.next0;
    const __m128i shares = _mm_shufflelo_epi16(
        _mm_xor_si128(_mm_set1_epi64x(static_cast<long long>(n * 0x0000000100000001ULL)),
                      _mm_set_epi16(0, 0, 0, 0, 0, 0, 0, 255)), // lanes 255 - n, 0, n, 0
        _MM_SHUFFLE(2, 2, 0, 0));                               // 255 - n, 255 - n, n, n
    const __m128i along = _mm_shufflelo_epi16(
        _mm_cvtsi64_si128(static_cast<long long>(plan.along0 | std::uint64_t{plan.along1} << 16)),
        _MM_SHUFFLE(1, 0, 1, 0)); // along0, along1, along0, along1
    __m128i coverUpper, coverLower;
    spreadCoverages(divide255Lanes(_mm_mullo_epi16(shares, along)), coverUpper, coverLower);
    const __m128i src = pixelLanes(pixel);
    const __m128i packed =
        _mm_packus_epi16(blendTwoLanes(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)), src, coverUpper),
                         blendTwoLanes(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(q)), src, coverLower));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p), packed);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(q), _mm_unpackhi_epi64(packed, packed));
#else
    blendFour(p, q, p + 1, q + 1, pixel, plan.next0, plan.along0, plan.next0, plan.along1);
#endif
}

constexpr int ShortWalk = 8; // pixels; shorter walks skip the band search

// The pixels one segment may write, and its colour: the small blit interface of the walk.
struct Blit {
    std::uint32_t* rows;
    std::ptrdiff_t stride;
    int width;
    int rowLo; // rows [rowLo, rowHi) of the band that lie on the frame
    int rowHi;
    std::uint32_t pixel;

    // The walk keeps the major coordinate inside the band and the frame; only the minor
    // one (y for a flat segment, x for a steep one) is checked here.
    template <bool Steep> [[gnu::always_inline]] inline void plot(int x, int y, unsigned coverage) const
    {
        assert(Steep ? (y >= rowLo && y < rowHi) : (x >= 0 && x < width));
        if (coverage == 0 || (Steep ? (x < 0 || x >= width) : (y < rowLo || y >= rowHi)))
            return;
        std::uint32_t* p = rows + static_cast<std::ptrdiff_t>(y) * stride + x;
        *p = coverage == FullCoverage ? pixel : blendCoverage(*p, pixel, coverage);
    }
};

// The two minor pixels at major pixel i, sharing the coverage `along` by the fraction of
// the minor position.
template <bool Steep>
[[gnu::always_inline]] inline void plotPair(const Blit& blit, int i, Fixed minor, unsigned along)
{
    const int m = wholePart(minor);
    const unsigned next = fractionCoverage(minor);
    unsigned here = FullCoverage - next;
    unsigned there = next;
    if (along != FullCoverage) {
        here = divide255(here * along);
        there = divide255(there * along);
    }
    if (Steep) {
        blit.plot<true>(m, i, here);
        blit.plot<true>(m + 1, i, there);
    } else {
        blit.plot<false>(i, m, here);
        blit.plot<false>(i, m + 1, there);
    }
}

// Walks one segment along its major axis `a` (x when Steep is false, y when true); b is the
// minor axis. |slope| <= 1, so the centre line crosses each major pixel between two minor
// pixels: the one at floor(b - 0.5) and the next, shared by the fraction of that position.
template <bool Steep> void walkMajor(const Blit& blit, double a1, double b1, double a2, double b2)
{
    if (a1 > a2) {
        std::swap(a1, a2);
        std::swap(b1, b2);
    }
    assert(a2 > a1);
    const double slope = (b2 - b1) / (a2 - a1);
    assert(std::fabs(slope) <= 1.0);

    const int first = floorToInt(a1); // major pixels first..last
    const int last = ceilToInt(a2) - 1;
    const int majorLo = Steep ? blit.rowLo : 0;
    const int majorHi = Steep ? blit.rowHi : blit.width;
    int lo = std::max(first, majorLo);
    int hi = std::min(last, majorHi - 1);
    if (lo > hi)
        return;

    // Minor position less half a pixel at the centre of major pixel `first`; every other
    // pixel's position is first's plus a whole number of steps, exact in integers, so a
    // walk that starts further along (another band) finds the very same values.
    const Fixed start = toFixed(b1 + (first + 0.5 - a1) * slope - 0.5);
    const Fixed step = toFixed(slope);
    assert(step >= -FixedOne && step <= FixedOne);

    if (!Steep && hi - lo > ShortWalk) {
        // Only the major pixels whose two minor pixels can touch the band's rows.
        const int minorLo = blit.rowLo - 1;
        const int minorHi = blit.rowHi;
        if (step == 0) {
            const int m = wholePart(start);
            if (m < minorLo || m >= minorHi)
                return;
        } else {
            const double t0 =
                (static_cast<double>(minorLo) * FixedOne - static_cast<double>(start)) / step;
            const double t1 =
                (static_cast<double>(minorHi) * FixedOne - static_cast<double>(start)) / step;
            const double from = std::max(std::min(t0, t1) - 1.0, static_cast<double>(lo - first));
            const double to = std::min(std::max(t0, t1) + 1.0, static_cast<double>(hi - first));
            if (from > to)
                return;
            lo = first + floorToInt(from);
            hi = first + ceilToInt(to);
        }
    }

    // The end pixels hold only the part of the pixel the segment spans along the axis.
    const unsigned firstAlong = coverageOfShare(std::min(a2, first + 1.0) - a1);
    const unsigned lastAlong = last == first ? 0 : coverageOfShare(a2 - last);

    int i = lo;
    Fixed minor = start + static_cast<Fixed>(lo - first) * step;
    if (i == first) {
        plotPair<Steep>(blit, i, minor, firstAlong);
        ++i;
        minor += step;
    }
    const int innerEnd = std::min(hi, last - 1); // the inner pixels are wholly spanned
    for (; i <= innerEnd; ++i, minor += step)
        plotPair<Steep>(blit, i, minor, FullCoverage);
    if (i == last && last <= hi && last != first)
        plotPair<Steep>(blit, i, minor, lastAlong);
}

// A horizontal segment, the usual move of a raster engraving: the two rows it lies between
// keep the same shares all along, so each is one span of constant coverage (only the end
// pixels less), without a division or a step. It gives what walkMajor gives for dy = 0.
void drawHorizontal(const Blit& blit, double x1, double x2, double y)
{
    if (x1 > x2)
        std::swap(x1, x2);
    const int first = floorToInt(x1);
    const int last = ceilToInt(x2) - 1;
    const int lo = std::max(first, 0);
    const int hi = std::min(last, blit.width - 1);
    if (lo > hi)
        return;
    const unsigned firstAlong = coverageOfShare(std::min(x2, first + 1.0) - x1);
    const unsigned lastAlong = last == first ? 0 : coverageOfShare(x2 - last);
    const Fixed minor = toFixed(y - 0.5);
    const int row = wholePart(minor);
    const unsigned next = fractionCoverage(minor);
    const unsigned shares[2] = {FullCoverage - next, next};
    for (int k = 0; k < 2; ++k) {
        const int y = row + k;
        const unsigned coverage = shares[k];
        if (coverage == 0 || y < blit.rowLo || y >= blit.rowHi)
            continue;
        std::uint32_t* const line = blit.rows + static_cast<std::ptrdiff_t>(y) * blit.stride;
        int i = lo;
        if (i == first) {
            blit.plot<false>(i, y, divide255(coverage * firstAlong));
            ++i;
        }
        const int innerEnd = std::min(hi, last - 1);
        if (coverage == FullCoverage) {
            if (i <= innerEnd)
                std::fill(line + i, line + innerEnd + 1, blit.pixel);
        } else {
            for (int x = i; x <= innerEnd; ++x)
                line[x] = blendCoverage(line[x], blit.pixel, coverage);
        }
        i = std::max(i, innerEnd + 1);
        if (i == last && last <= hi && last != first)
            blit.plot<false>(i, y, divide255(coverage * lastAlong));
    }
}

} // namespace

void drawHairline(const PixelBand& band, double x1, double y1, double x2, double y2,
                  std::uint32_t pixel)
{
    // The comparison is written so that a NaN fails it too.
    constexpr double L = HairlineCoordinateLimit;
    if (!(std::fabs(x1) <= L && std::fabs(y1) <= L && std::fabs(x2) <= L && std::fabs(y2) <= L))
        return;
    const Blit blit{
        band.rows, band.stride, band.width, std::max(band.top, 0), std::min(band.bottom, band.height),
        pixel};
    if (blit.rowLo >= blit.rowHi || blit.width <= 0 || blit.rows == nullptr)
        return;
    if (hairlineMissesBand(band, y1, y2))
        return;
    const double dx = x2 - x1;
    const double dy = y2 - y1;
    if (std::fabs(dx) >= std::fabs(dy)) {
        if (dx == 0.0)
            return; // no length: nothing to cover
        if (dy == 0.0)
            drawHorizontal(blit, x1, x2, y1);
        else
            walkMajor<false>(blit, x1, y1, x2, y2);
    } else {
        walkMajor<true>(blit, y1, x1, y2, x2);
    }
}

void drawHairlines(const PixelBand& band, const HairlineSegment* segments, int count)
{
    assert(count >= 0 && count <= HairlineBatch);
    enum Kind : unsigned char { Missed, Level, Short, Other };
    LevelRow row;
    Kind kinds[HairlineBatch];
    ShortSegment plans[HairlineBatch];
    // First what every segment needs, with no pixel read: the segments do not wait on
    // each other here.
    for (int i = 0; i < count; ++i) {
        const HairlineSegment& s = segments[i];
        assert(std::fabs(s.x1) <= HairlineCoordinateLimit && std::fabs(s.y1) <= HairlineCoordinateLimit &&
               std::fabs(s.x2) <= HairlineCoordinateLimit && std::fabs(s.y2) <= HairlineCoordinateLimit);
        Kind kind = Missed;
        if (!hairlineMissesBand(band, s.y1, s.y2)) {
            const double dx = s.x2 - s.x1;
            const double dy = s.y2 - s.y1;
            if (dy == 0.0) // the usual move of a raster engraving
                kind = dx != 0.0 && planLevelSegment(band, s.x1, s.x2, s.y1, plans[i], row) ? Level : Other;
            else if (std::fabs(dx) >= std::fabs(dy))
                kind = planShortSegment<false>(band, s.x1, s.y1, s.x2, s.y2, plans[i]) ? Short : Other;
            else
                kind = planShortSegment<true>(band, s.y1, s.x1, s.y2, s.x2, plans[i]) ? Short : Other;
        }
        kinds[i] = kind;
    }
    // Then the pixels, in the segments' order.
    for (int i = 0; i < count; ++i) {
        const ShortSegment& plan = plans[i];
        if (kinds[i] == Level)
            blendLevel(plan, segments[i].pixel);
        else if (kinds[i] == Short)
            blendFour(plan.p0, plan.p0 + plan.toNext, plan.p1, plan.p1 + plan.toNext, segments[i].pixel,
                      plan.next0, plan.along0, plan.next1, plan.along1);
        else if (kinds[i] == Other)
            drawHairline(band, segments[i].x1, segments[i].y1, segments[i].x2, segments[i].y2,
                         segments[i].pixel);
    }
}
