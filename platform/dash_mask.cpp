// Thin patterned strokes of axis-parallel figures, drawn through a coverage mask and
// blended once.
#include "platform/dash_mask.h"

#include "platform/drawing_state.h"
#include "platform/pixel_coverage.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

bool axisParallel(const Figure& f)
{
    const int segments = f.closed ? f.count : f.count - 1;
    for (int i = 0; i < segments; ++i) {
        const QPointF a = vec.points[static_cast<size_t>(f.first + i)];
        const QPointF b = vec.points[static_cast<size_t>(f.first + (i + 1) % f.count)];
        if (a.x() != b.x() && a.y() != b.y())
            return false;
    }
    return true;
}

// Raises the mask to the coverage of the rectangle [left, right) x [top, bottom) where it
// is lower: overlapping dashes of one stroke are covered once, not twice.
void coverRect(const QImage& image, double left, double top, double right, double bottom)
{
    const int w = image.width();
    const int h = image.height();
    left = std::max(left, 0.0);
    top = std::max(top, 0.0);
    right = std::min(right, static_cast<double>(w));
    bottom = std::min(bottom, static_cast<double>(h));
    if (!(left < right) || !(top < bottom))
        return;
    // A pixel's coverage is the product of the rectangle's shares of its column and its row.
    const PixelSpan across = pixelSpanOf(left, right);
    const PixelSpan down = pixelSpanOf(top, bottom);
    vec.strokeMaskUsed |=
        QRect(across.first, down.first, across.last - across.first + 1, down.last - down.first + 1);
    for (int j = down.first; j <= down.last; ++j) {
        const double cy = shareOfPixel(down, j);
        std::uint8_t* row = vec.strokeMask.data() + static_cast<size_t>(j) * static_cast<size_t>(w);
        for (int i = across.first; i <= across.last; ++i) {
            const auto c = static_cast<std::uint8_t>(coverageOfShare(shareOfPixel(across, i) * cy));
            row[i] = std::max(row[i], c);
        }
    }
}

// Adds the dashes of one axis-parallel figure of width `width` to the mask; with
// `endExtension` its ends are pushed out by that much, a closed figure drawn back to its
// start. The pattern runs on across the figure's corners.
void coverDashes(const QImage& image, const Figure& f, double width, const DashPattern& dash,
                 double endExtension)
{
    const int segments = f.closed ? f.count : f.count - 1;
    const double half = width / 2;
    double walked = 0; // figure distance at the current segment's start
    for (int s = 0; s < segments; ++s) {
        const QPointF a = vec.points[static_cast<size_t>(f.first + s)];
        const QPointF b = vec.points[static_cast<size_t>(f.first + (s + 1) % f.count)];
        const double length = std::abs(b.x() - a.x()) + std::abs(b.y() - a.y()); // one is 0
        if (!(length > 0))
            continue;
        const double ux = (b.x() - a.x()) / length, uy = (b.y() - a.y()) / length;
        // The stretch of figure distance this segment draws, ends pushed out at the figure's ends.
        const double from = walked - (s == 0 ? endExtension : 0);
        const double to = walked + length + (s == segments - 1 ? endExtension : 0);
        // Only the part of the segment over the image is walked.
        const double along0 = ux != 0 ? a.x() : a.y();
        const double u = ux != 0 ? ux : uy;
        const double limit = ux != 0 ? image.width() : image.height();
        const double inA = walked + (u > 0 ? (-half - along0) : (along0 - limit - half));
        const double inB = walked + (u > 0 ? (limit + half - along0) : (along0 + half));
        const double lo = std::max(from, inA), hi = std::min(to, inB);
        if (lo < hi) {
            // The count bounds the walk even where huge distances leave no room for the
            // fraction (a far first segment): the pattern then merely loses its phase.
            const double first = std::floor((lo - dash.start - dash.on) / dash.period);
            const double count = std::ceil((hi - lo) / dash.period) + 2;
            for (double n = 0; n < count; n += 1) {
                const double dashStart = dash.start + (first + n) * dash.period;
                if (dashStart >= hi)
                    break;
                const double on0 = std::max(dashStart, lo);
                const double on1 = std::min(dashStart + dash.on, hi);
                if (!(on0 < on1))
                    continue;
                const QPointF p0(a.x() + ux * (on0 - walked), a.y() + uy * (on0 - walked));
                const QPointF p1(a.x() + ux * (on1 - walked), a.y() + uy * (on1 - walked));
                coverRect(image, std::min(p0.x(), p1.x()) - (ux == 0 ? half : 0),
                          std::min(p0.y(), p1.y()) - (uy == 0 ? half : 0),
                          std::max(p0.x(), p1.x()) + (ux == 0 ? half : 0),
                          std::max(p0.y(), p1.y()) + (uy == 0 ? half : 0));
            }
        }
        walked += length;
    }
}

// Blends the paint colour over the image through the mask, source over, and clears it: a
// pixel gets the mask's coverage scaled by the colour's alpha, blended as a hairline is.
void blendMask(QImage& image)
{
    const unsigned alpha = static_cast<unsigned>(vec.colour.alpha());
    const std::uint32_t src = qRgb(vec.colour.red(), vec.colour.green(), vec.colour.blue());
    const int w = image.width();
    const QRect used = vec.strokeMaskUsed & image.rect();
    vec.strokeMaskUsed = QRect();
    for (int j = used.top(); j <= used.bottom(); ++j) {
        std::uint8_t* cover = vec.strokeMask.data() + static_cast<size_t>(j) * static_cast<size_t>(w);
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(j));
        for (int i = used.left(); i <= used.right(); ++i) {
            // Most of a grid's pixels have nothing to blend: skip them eight at a time.
            std::uint64_t eight = 0;
            while (i + 8 <= used.right() + 1 && (std::memcpy(&eight, cover + i, 8), eight == 0))
                i += 8;
            if (i > used.right() || cover[i] == 0)
                continue;
            row[i] = blendCoverage(row[i], src, divide255(alpha * cover[i]));
            cover[i] = 0;
        }
    }
}

} // namespace

bool strokeAxisPattern(double width, const DashPattern& dash, double endExtension)
{
    QImage* image = vectorTarget();
    if (image == nullptr || image->format() != QImage::Format_RGB32 || !(dash.period > 0))
        return false;
    for (const Figure& f : vec.figures)
        if (f.count >= 2 && !axisParallel(f))
            return false;
    const size_t pixels = static_cast<size_t>(image->width()) * static_cast<size_t>(image->height());
    if (vec.strokeMask.size() != pixels) {
        vec.strokeMask.assign(pixels, 0);
        vec.strokeMaskUsed = QRect();
    }
    for (const Figure& f : vec.figures)
        if (f.count >= 2)
            coverDashes(*image, f, width, dash, endExtension);
    blendMask(*image);
    resetPath();
    return true;
}
