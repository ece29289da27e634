// Draws 1-pixel anti-aliased line segments straight into frame pixels: each segment is
// walked along its major axis one pixel at a time, its centre line split between the two
// pixels it passes between, the end pixels weighted by how much of them the segment spans.
#include "view/hairline.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <utility>

using namespace hairline_detail;

namespace {

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
        *p = coverage == FullCoverage ? pixel : blendLanes(*p, pixel, coverage);
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
    const unsigned firstAlong = spanCoverage(std::min(a2, first + 1.0) - a1);
    const unsigned lastAlong = last == first ? 0 : spanCoverage(a2 - last);

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
    const unsigned firstAlong = spanCoverage(std::min(x2, first + 1.0) - x1);
    const unsigned lastAlong = last == first ? 0 : spanCoverage(x2 - last);
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
                line[x] = blendLanes(line[x], blit.pixel, coverage);
        }
        i = std::max(i, innerEnd + 1);
        if (i == last && last <= hi && last != first)
            blit.plot<false>(i, y, divide255(coverage * lastAlong));
    }
}

} // namespace

std::uint32_t blendCoverage(std::uint32_t dst, std::uint32_t src, unsigned coverage)
{
    assert(coverage <= FullCoverage);
    return blendLanes(dst, src, coverage);
}

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
