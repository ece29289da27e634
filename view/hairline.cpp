// Draws 1-pixel anti-aliased line segments straight into frame pixels. A segment's case
// (level, flat or steep) is chosen once from its ends; the segment is then walked along its
// major axis one pixel at a time, its centre line split between the two pixels it passes
// between, the end pixels weighted by how much of them the segment spans. Every case goes
// through the same three calls of its own small procedure (first cap, run of whole pixels,
// last cap), so the span and end-weight rule, the split and the blend each exist once.
//
// It stays one file of three sections (the rule, the walk, the batch) because they are one
// rule: the batch's four-lane path works out the very end pixels the walk's caps do and is
// held equal to it by test, and both run per segment of every redraw, so the rule's small
// steps must inline into each of them. Cut apart, they would either move into a header of
// inline code the rest of the view has no use for, or cost a call per pixel.
#include "view/hairline.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <limits>
#include <utility>

// The batch's short segments blend their four pixels at once with SSE2: the numbers of
// pairCoverage and blendCoverage, four lanes at a time. TOLVAN_PORTABLE_PIXELS builds the
// scalar form alone, as a machine without SSE2 does, so that a test runs it here too.
#if defined(__SSE2__) && !defined(TOLVAN_PORTABLE_PIXELS)
#define HAIRLINE_SSE2 1
#include <emmintrin.h>
#else
#define HAIRLINE_SSE2 0
#endif

namespace {

// Positions across the major axis in 32.32 fixed point: steps stay exact to 2^-32 pixel
// over any canvas, and the whole part (an arithmetic shift) is the floor.
using Fixed = std::int64_t;
constexpr int FixedShift = 32;
constexpr Fixed FixedOne = Fixed{1} << FixedShift;
constexpr Fixed FractionMask = FixedOne - 1;

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

// ---- the rule: which pixels a segment crosses and what each of them gets ----

// A segment's major pixels are the PixelSpan of its major coordinates; what each end pixel
// gets is the length of the segment inside it, in 255ths. (Worked out only where it is
// used: most short segments of a batch are planned or passed over before.)
[[gnu::always_inline]] inline unsigned firstAlong(const PixelSpan& s)
{
    return coverageOfShare(firstShare(s));
}

// 0 when the last pixel is the first: a segment inside one pixel has one end pixel.
// Without a branch: whether a short segment ends in its first pixel is a coin toss.
[[gnu::always_inline]] inline unsigned lastAlong(const PixelSpan& s)
{
    return coverageOfShare(lastShare(s)) * static_cast<unsigned>(s.last != s.first);
}

// The two minor pixels the centre line passes between at one major pixel, and what each
// gets of `along`: `next` (the fraction of the position, in 255ths) goes to the second.
struct PairCoverage {
    unsigned here;
    unsigned there;
};

[[gnu::always_inline]] inline PairCoverage pairCoverage(unsigned next, unsigned along)
{
    PairCoverage c{FullCoverage - next, next};
    if (along != FullCoverage) { // a constant in the runs: the division is for the end pixels
        c.here = divide255(c.here * along);
        c.there = divide255(c.there * along);
    }
    return c;
}

// The three cases of a segment. Each has its own procedure below, so that no inner loop
// branches on the direction.
enum class Case : unsigned char {
    Nothing, // no length: nothing to cover
    Level,   // dy = 0, the usual move of a raster engraving: both rows keep their shares
    Flat,    // |dx| >= |dy|: walked along x
    Steep,   // |dy| > |dx|: walked along y
};

// A segment as its case walks it: along the major axis (x, or y when Steep) over `span`,
// the minor position less half a pixel at the centre of major pixel span.first being
// `start` and moving by `step` (at most one pixel) from one major pixel to the next. The
// pixel pair the centre line passes between is the whole part of that position, the
// share of the second pixel its fraction.
struct Line {
    Case kind;
    PixelSpan span;
    Fixed start;
    Fixed step;
};

// The one choice of a segment's case from its extent, for the single segment and the
// batch alike.
[[gnu::always_inline]] inline Case caseOf(double dx, double dy)
{
    if (dy == 0.0) // first: most segments of a raster engraving are level
        return dx == 0.0 ? Case::Nothing : Case::Level;
    return std::fabs(dx) >= std::fabs(dy) ? Case::Flat : Case::Steep;
}

// The minor position less half a pixel at the centre of major pixel `first`, on the centre
// line through (a1, b1) that moves `slope` minor pixels per major pixel.
[[gnu::always_inline]] inline Fixed minorStart(double a1, double b1, double slope, int first)
{
    return toFixed(b1 + (first + 0.5 - a1) * slope - 0.5);
}

// The line of case `kind` along the major axis a (b the minor axis, |b2 - b1| <= |a2 - a1|).
[[gnu::always_inline]] inline Line measureLine(Case kind, double a1, double b1, double a2, double b2)
{
    if (a1 > a2) {
        std::swap(a1, a2);
        std::swap(b1, b2);
    }
    // A level line needs no division.
    const double slope = b2 == b1 ? 0.0 : (b2 - b1) / (a2 - a1);
    assert(std::fabs(slope) <= 1.0);
    Line line{kind, pixelSpanOf(a1, a2), 0, toFixed(slope)};
    line.start = minorStart(a1, b1, slope, line.span.first);
    return line;
}

[[gnu::always_inline]] inline Line lineOf(double x1, double y1, double x2, double y2)
{
    const Case kind = caseOf(x2 - x1, y2 - y1);
    if (kind == Case::Nothing)
        return Line{kind, {}, 0, 0};
    return kind == Case::Steep ? measureLine(kind, y1, x1, y2, x2) : measureLine(kind, x1, y1, x2, y2);
}

// ---- the walk: every case through first cap, run, last cap ----

// The pixels one segment may write, and its colour.
struct Blit {
    std::uint32_t* rows;
    std::ptrdiff_t stride;
    int width;
    int rowLo; // rows [rowLo, rowHi) of the band that lie on the frame
    int rowHi;
    std::uint32_t pixel;

    std::uint32_t* at(int x, int y) const { return rows + static_cast<std::ptrdiff_t>(y) * stride + x; }

    // A pixel wholly covered takes the colour as it is; one not covered is left alone.
    [[gnu::always_inline]] inline void blend(std::uint32_t* p, unsigned coverage) const
    {
        if (coverage != 0)
            *p = coverage == FullCoverage ? pixel : blendCoverage(*p, pixel, coverage);
    }

    // The walk keeps the major coordinate inside the band and the frame; only the minor
    // one (y for a flat segment, x for a steep one) is checked here.
    template <bool Steep> [[gnu::always_inline]] inline void plot(int x, int y, unsigned coverage) const
    {
        assert(Steep ? (y >= rowLo && y < rowHi) : (x >= 0 && x < width));
        if (Steep ? (x >= 0 && x < width) : (y >= rowLo && y < rowHi))
            blend(at(x, y), coverage);
    }
};

// Drives a case's procedure over the major pixels lo..hi of a span that lie on the band
// (first <= lo <= hi <= last): the first end pixel, the wholly spanned ones, the last.
// Every pixel's minor position is the start's plus a whole number of steps, exact in
// integers, so a walk that begins further along (another band) finds the very same values.
template <typename Procedure>
[[gnu::always_inline]] inline void walkSpan(const Procedure& procedure, const Line& line, int lo,
                                            int hi)
{
    const PixelSpan& s = line.span;
    assert(s.first <= lo && lo <= hi && hi <= s.last);
    int i = lo;
    Fixed minor = line.start + static_cast<Fixed>(lo - s.first) * line.step;
    if (i == s.first) {
        procedure.cap(i, minor, firstAlong(s));
        ++i;
        minor += line.step;
    }
    const int runEnd = std::min(hi, s.last - 1);
    if (i <= runEnd) {
        minor = procedure.run(i, runEnd, minor, line.step);
        i = runEnd + 1;
    }
    if (i == s.last && s.last <= hi && s.last != s.first)
        procedure.cap(i, minor, lastAlong(s));
}

// A level segment: the two rows it lies between keep the same shares all along, so a run
// is one span of constant coverage in each row, with neither a division nor a step.
struct LevelProcedure {
    const Blit& blit;
    std::uint32_t* row[2]; // rows m and m + 1 at x = 0; null when not the band's
    unsigned next;         // the second row's share

    LevelProcedure(const Blit& b, Fixed start)
        : blit(b), row{nullptr, nullptr}, next(fractionCoverage(start))
    {
        const int m = wholePart(start);
        for (int k = 0; k < 2; ++k)
            if (m + k >= blit.rowLo && m + k < blit.rowHi)
                row[k] = blit.at(0, m + k);
    }

    [[gnu::always_inline]] inline void cap(int i, Fixed, unsigned along) const
    {
        const PairCoverage c = pairCoverage(next, along);
        if (row[0] != nullptr)
            blit.blend(row[0] + i, c.here);
        if (row[1] != nullptr)
            blit.blend(row[1] + i, c.there);
    }

    Fixed run(int from, int to, Fixed minor, Fixed) const
    {
        assert(from >= 0 && to < blit.width); // a run inside its rows
        const PairCoverage c = pairCoverage(next, FullCoverage);
        const unsigned shares[2] = {c.here, c.there};
        for (int k = 0; k < 2; ++k) {
            std::uint32_t* const line = row[k];
            const unsigned coverage = shares[k];
            if (line == nullptr || coverage == 0)
                continue;
            if (coverage == FullCoverage) {
                std::fill(line + from, line + to + 1, blit.pixel);
            } else {
                for (int x = from; x <= to; ++x)
                    line[x] = blendCoverage(line[x], blit.pixel, coverage);
            }
        }
        return minor;
    }
};

// A sloped segment along its major axis (x when Steep is false, y when true): at each major
// pixel, its pair of minor pixels.
template <bool Steep> struct SlopedProcedure {
    const Blit& blit;

    [[gnu::always_inline]] inline void cap(int i, Fixed minor, unsigned along) const
    {
        const int m = wholePart(minor);
        const PairCoverage c = pairCoverage(fractionCoverage(minor), along);
        if (Steep) {
            blit.plot<true>(m, i, c.here);
            blit.plot<true>(m + 1, i, c.there);
        } else {
            blit.plot<false>(i, m, c.here);
            blit.plot<false>(i, m + 1, c.there);
        }
    }

    Fixed run(int from, int to, Fixed minor, Fixed step) const
    {
        for (int i = from; i <= to; ++i, minor += step)
            cap(i, minor, FullCoverage);
        return minor;
    }
};

constexpr int ShortWalk = 8; // pixels; shorter flat walks skip the band search

void drawLevel(const Blit& blit, const Line& line)
{
    const int lo = std::max(line.span.first, 0);
    const int hi = std::min(line.span.last, blit.width - 1);
    if (lo <= hi)
        walkSpan(LevelProcedure(blit, line.start), line, lo, hi);
}

template <bool Steep> void drawSloped(const Blit& blit, const Line& line)
{
    const int first = line.span.first;
    const int majorLo = Steep ? blit.rowLo : 0;
    const int majorHi = Steep ? blit.rowHi : blit.width;
    int lo = std::max(first, majorLo);
    int hi = std::min(line.span.last, majorHi - 1);
    if (lo > hi)
        return;
    const Fixed start = line.start;
    const Fixed step = line.step;
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
    walkSpan(SlopedProcedure<Steep>{blit}, line, lo, hi);
}

void drawLine(const Blit& blit, const Line& line)
{
    switch (line.kind) {
    case Case::Nothing: break;
    case Case::Level: drawLevel(blit, line); break;
    case Case::Flat: drawSloped<false>(blit, line); break;
    case Case::Steep: drawSloped<true>(blit, line); break;
    }
}

// The band's rows as the walk sees them; false when it has no pixel to write.
bool blitOf(const PixelBand& band, std::uint32_t pixel, Blit& blit)
{
    blit = Blit{
        band.rows, band.stride, band.width, std::max(band.top, 0), std::min(band.bottom, band.height),
        pixel};
    return blit.rowLo < blit.rowHi && blit.width > 0 && blit.rows != nullptr;
}

// ---- the batch: the end pixels of short segments worked out before any is blended ----

// The two end pixels of a segment that crosses at most two major pixels, and what each of
// their pixel pairs gets: the walk's two caps, with a second major pixel the segment does
// not reach given along1 = 0, which leaves its pair as it is.
struct ShortSegment {
    std::uint32_t* p0; // pixel (first, m0); p0 + toNext is its minor neighbour
    std::uint32_t* p1; // pixel (first + 1, m1)
    std::ptrdiff_t toNext;
    unsigned next0, along0, next1, along1;
};

// The row pair of the last level line planned: consecutive moves of a raster line lie on
// the same y, so its rows and share are worked out once per line.
struct LevelRow {
    double y = std::numeric_limits<double>::quiet_NaN(); // equal to no y
    Fixed start = 0;
    std::uint32_t* upper = nullptr; // row m at x = 0; null when rows m, m + 1 are not the band's
    unsigned next = 0;
};

// Brings `row` to the row pair of a level line at y.
[[gnu::always_inline]] inline void lookUpRow(const Blit& blit, double y, LevelRow& row)
{
    if (y != row.y) {
        row.y = y;
        row.start = minorStart(0.0, y, 0.0, 0); // the same at every pixel of the row
        const int m = wholePart(row.start);
        row.upper = m >= blit.rowLo && m + 1 < blit.rowHi ? blit.at(0, m) : nullptr;
        row.next = fractionCoverage(row.start);
    }
}

// planShort<false>'s plan for a level line over `span`, from the rows `row` has looked up.
[[gnu::always_inline]] inline bool planLevel(const Blit& blit, const PixelSpan& span,
                                             const LevelRow& row, ShortSegment& plan)
{
    const int first = span.first;
    if (row.upper == nullptr || span.last - first > 1 || first < 0 || first + 1 >= blit.width)
        return false;
    plan.p0 = row.upper + first;
    plan.p1 = plan.p0 + 1;
    plan.toNext = blit.stride;
    plan.next0 = row.next;
    plan.along0 = firstAlong(span);
    plan.next1 = row.next;
    plan.along1 = lastAlong(span);
    return true;
}

// The caps of a short line (Steep: along y) when all four pixels they may touch lie on
// the band and the frame; false otherwise, and the line is walked.
template <bool Steep>
[[gnu::always_inline]] inline bool planShort(const Blit& blit, const Line& line, ShortSegment& plan)
{
    const int first = line.span.first;
    const int majorLo = Steep ? blit.rowLo : 0;
    const int majorHi = Steep ? blit.rowHi : blit.width;
    if (line.span.last - first > 1 || first < majorLo || first + 1 >= majorHi)
        return false;
    const Fixed second = line.start + line.step;
    const int m0 = wholePart(line.start);
    const int m1 = wholePart(second);
    const int minorLo = Steep ? 0 : blit.rowLo;
    const int minorHi = Steep ? blit.width : blit.rowHi;
    if (std::min(m0, m1) < minorLo || std::max(m0, m1) + 1 >= minorHi)
        return false;
    plan.toNext = Steep ? 1 : blit.stride;
    plan.p0 = Steep ? blit.at(m0, first) : blit.at(first, m0);
    plan.p1 = Steep ? blit.at(m1, first + 1) : blit.at(first + 1, m1);
    plan.next0 = fractionCoverage(line.start);
    plan.along0 = firstAlong(line.span);
    plan.next1 = fractionCoverage(second);
    plan.along1 = lastAlong(line.span);
    return true;
}

#if HAIRLINE_SSE2
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
// lanes: the lane form of blendCoverage, whose alpha lanes give 255 again.
inline __m128i blendTwoLanes(__m128i pixels, __m128i src, __m128i cover)
{
    const __m128i dst = _mm_unpacklo_epi8(pixels, _mm_setzero_si128());
    const __m128i rest =
        _mm_xor_si128(cover, _mm_set1_epi16(static_cast<short>(FullCoverage))); // 255 - c
    return divide255Lanes(_mm_add_epi16(_mm_mullo_epi16(src, cover), _mm_mullo_epi16(dst, rest)));
}
#endif

// A short segment's two caps: the pixel pair at p0 shares along0 by next0, the pair at p1
// shares along1 by next1, as pairCoverage shares them. The four pixels are distinct.
[[gnu::always_inline]] inline void blendCaps(const ShortSegment& plan, std::uint32_t pixel)
{
    std::uint32_t* const p = plan.p0;
    std::uint32_t* const q = plan.p0 + plan.toNext;
    std::uint32_t* const r = plan.p1;
    std::uint32_t* const s = plan.p1 + plan.toNext;
#if HAIRLINE_SSE2
    // The four coverages in 16-bit lanes: (255 - next0, next0, 255 - next1, next1) times
    // (along0, along0, along1, along1), each divided by 255 (by 255 is no change).
    const __m128i shares = _mm_xor_si128(
        _mm_shufflelo_epi16(
            _mm_cvtsi64_si128(static_cast<long long>(plan.next0 | std::uint64_t{plan.next1} << 32)),
            _MM_SHUFFLE(2, 2, 0, 0)),
        _mm_set_epi16(0, 0, 0, 0, 0, 255, 0, 255)); // 255 ^ n is 255 - n
    const __m128i along = _mm_shufflelo_epi16(
        _mm_cvtsi64_si128(static_cast<long long>(plan.along0 | std::uint64_t{plan.along1} << 32)),
        _MM_SHUFFLE(2, 2, 0, 0));
    __m128i coverPQ, coverRS;
    spreadCoverages(divide255Lanes(_mm_mullo_epi16(shares, along)), coverPQ, coverRS);
    const __m128i src = pixelLanes(pixel);
    const auto two = [](std::uint32_t u, std::uint32_t v) {
        return _mm_unpacklo_epi32(_mm_cvtsi32_si128(static_cast<int>(u)),
                                  _mm_cvtsi32_si128(static_cast<int>(v)));
    };
    const __m128i packed = _mm_packus_epi16(blendTwoLanes(two(*p, *q), src, coverPQ),
                                            blendTwoLanes(two(*r, *s), src, coverRS));
    *p = static_cast<std::uint32_t>(_mm_cvtsi128_si32(packed));
    *q = static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_shuffle_epi32(packed, 1)));
    *r = static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_shuffle_epi32(packed, 2)));
    *s = static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_shuffle_epi32(packed, 3)));
#else
    const PairCoverage first = pairCoverage(plan.next0, plan.along0);
    const PairCoverage second = pairCoverage(plan.next1, plan.along1);
    *p = blendCoverage(*p, pixel, first.here);
    *q = blendCoverage(*q, pixel, first.there);
    *r = blendCoverage(*r, pixel, second.here);
    *s = blendCoverage(*s, pixel, second.there);
#endif
}

// blendCaps for a level segment, whose caps lie side by side in the same two rows with the
// same shares (p1 = p0 + 1, next1 = next0).
[[gnu::always_inline]] inline void blendLevelCaps(const ShortSegment& plan, std::uint32_t pixel)
{
    assert(plan.p1 == plan.p0 + 1 && plan.next1 == plan.next0);
#if HAIRLINE_SSE2
    // As blendCaps, with each row's two pixels read and written as one 64-bit word.
    std::uint32_t* const p = plan.p0;
    std::uint32_t* const q = plan.p0 + plan.toNext;
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
    const __m128i packed = _mm_packus_epi16(
        blendTwoLanes(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)), src, coverUpper),
        blendTwoLanes(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(q)), src, coverLower));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p), packed);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(q), _mm_unpackhi_epi64(packed, packed));
#else
    blendCaps(plan, pixel);
#endif
}

} // namespace

void drawHairline(const PixelBand& band, double x1, double y1, double x2, double y2,
                  std::uint32_t pixel)
{
    // The comparison is written so that a NaN fails it too.
    constexpr double L = HairlineCoordinateLimit;
    if (!(std::fabs(x1) <= L && std::fabs(y1) <= L && std::fabs(x2) <= L && std::fabs(y2) <= L))
        return;
    Blit blit;
    if (!blitOf(band, pixel, blit) || hairlineMissesBand(band, y1, y2))
        return;
    drawLine(blit, lineOf(x1, y1, x2, y2));
}

void drawHairlines(const PixelBand& band, const HairlineSegment* segments, int count)
{
    assert(count >= 0 && count <= HairlineBatch);
    Blit blit;
    if (!blitOf(band, 0, blit))
        return;
    enum Kind : unsigned char { Missed, LevelCaps, Caps, Walk };
    Kind kinds[HairlineBatch];
    Line lines[HairlineBatch]; // of the segments to walk
    ShortSegment plans[HairlineBatch];
    LevelRow row;
    // First what every segment needs, with no pixel read: the segments do not wait on
    // each other here.
    for (int i = 0; i < count; ++i) {
        const HairlineSegment& s = segments[i];
        assert(std::fabs(s.x1) <= HairlineCoordinateLimit && std::fabs(s.y1) <= HairlineCoordinateLimit &&
               std::fabs(s.x2) <= HairlineCoordinateLimit && std::fabs(s.y2) <= HairlineCoordinateLimit);
        Kind kind = Missed;
        if (!hairlineMissesBand(band, s.y1, s.y2)) {
            const Case c = caseOf(s.x2 - s.x1, s.y2 - s.y1);
            if (c == Case::Level) {
                const PixelSpan span = pixelSpanOf(std::min(s.x1, s.x2), std::max(s.x1, s.x2));
                lookUpRow(blit, s.y1, row);
                kind = planLevel(blit, span, row, plans[i]) ? LevelCaps : Walk;
                if (kind == Walk)
                    lines[i] = Line{Case::Level, span, row.start, 0};
            } else if (c != Case::Nothing) {
                const bool steep = c == Case::Steep;
                const Line line = steep ? measureLine(c, s.y1, s.x1, s.y2, s.x2)
                                        : measureLine(c, s.x1, s.y1, s.x2, s.y2);
                kind = (steep ? planShort<true>(blit, line, plans[i])
                              : planShort<false>(blit, line, plans[i]))
                           ? Caps
                           : Walk;
                if (kind == Walk)
                    lines[i] = line;
            }
        }
        kinds[i] = kind;
    }
    // Then the pixels, in the segments' order.
    for (int i = 0; i < count; ++i) {
        const std::uint32_t pixel = segments[i].pixel;
        if (kinds[i] == LevelCaps) {
            blendLevelCaps(plans[i], pixel);
        } else if (kinds[i] == Caps) {
            blendCaps(plans[i], pixel);
        } else if (kinds[i] == Walk) {
            blit.pixel = pixel;
            drawLine(blit, lines[i]);
        }
    }
}
