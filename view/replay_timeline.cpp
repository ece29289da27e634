// Paints the replay's timeline (or the hint that starts a replay) over the presented frame
// and composes what it tells about the cursor.
#include "view/replay_timeline.h"

#include "model/toolpath.h"
#include "model/units.h"
#include "platform/drawing.h"
#include "platform/numtext.h"
#include "view/colour_scheme.h"
#include "view/language.h"
#include "view/renderer.h"
#include "view/rulers.h"
#include "view/settings.h"
#include "view/status_line.h"
#include "view/view_state.h"

#include <algorithm>
#include <cmath>

ReplayTimeline replayTimeline;

namespace {

constexpr double Padding = 4.0;     // layout units around the strip's rows
constexpr double RowGap = 1.0;      // layout units between two rows of text
constexpr double BarHeight = 8.0;   // layout units
constexpr double ThumbWidth = 3.0;  // layout units of the cursor's mark on the bar
constexpr double ThumbReach = 3.0;  // layout units the mark stands out above and below the bar
constexpr double TextGap = 24.0;    // layout units at least between a row's left and right texts
constexpr double HintPadding = 6.0; // layout units between the hint's box and its words
constexpr ColourValue ThumbColour = makeRgb(224, 80, 32); // the marker's orange-red
constexpr const char* Ellipsis = "\u2026";

int scaled(double layoutUnits)
{
    return static_cast<int>(std::lround(layoutUnits * viewState.uiScale));
}

int leftBandPixels()
{
    return settings.showBed ? static_cast<int>(std::ceil(RulerBandWidth * viewState.uiScale)) : 0;
}

int bottomBandPixels()
{
    return settings.showBed ? static_cast<int>(std::ceil(RulerBandHeight * viewState.uiScale)) : 0;
}

std::string hintText()
{
    return tr("\u25b6 Espacio: reproducir", "\u25b6 Space: replay");
}

// The speed as a short number: "20", "0.5" never occurs, so whole numbers do.
std::string speedText(double speed)
{
    return formatFixed(speed, 0) + "\u00d7";
}

// Lengths and feeds in the options' unit.
double unitFactor()
{
    return settings.inches ? MillimetresPerInch : 1.0;
}

std::string feedText(std::int32_t move)
{
    const double feed = feedOfMove(move);
    if (!(feed > 0.0))
        return tr("F r\u00e1pido o sin avance", "F rapid or none");
    const int decimals = settings.inches ? 2 : 0;
    return "F " + formatFixed(feed / unitFactor(), decimals) +
           (settings.inches ? " in/min" : " mm/min");
}

// Where the tool is at the cursor, machine millimetres.
void toolPlace(ReplayCursor cursor, double& x, double& y)
{
    const Move& move = toolpath.moves[cursor.move];
    const Move part = movePart(move, cursor.fraction);
    x = cursor.fraction > 0.0 ? part.x2 : move.x1;
    y = cursor.fraction > 0.0 ? part.y2 : move.y1;
}

// `left` at the row's start and `right` at its end, each cut to what the row leaves it; the
// left text has the first claim on the room.
void paintRow(const std::string& left, const std::string& right, const PixelBox& row,
              ColourValue colour)
{
    const int width = row.right - row.left;
    const std::string rightShown = fitText(right, width / 2);
    const int rightWidth = rasterTextWidth(rightShown);
    const int leftRoom = width - (rightShown.empty() ? 0 : rightWidth + scaled(TextGap));
    const std::string leftShown = fitText(left, leftRoom);
    rasterText(row.left, row.top, leftShown, colour);
    const int leftWidth = rasterTextWidth(leftShown);
    // The right text moves left over room the left one does not take.
    const int spare = std::max(0, leftRoom - leftWidth);
    const std::string rightWide = fitText(right, width / 2 + spare);
    rasterText(row.right - rasterTextWidth(rightWide), row.top, rightWide, colour);
}

void framedBox(const PixelBox& box)
{
    rasterMode(RasterFilled);
    rasterBox(box.left, box.top, box.right - box.left, box.bottom - box.top, colourScheme.rulerBack);
    rasterMode(RasterOutline);
    rasterBox(box.left, box.top, box.right - box.left, box.bottom - box.top, colourScheme.hintText);
}

// The timeline and the hint on a canvas of this size (the one shown, or the raster
// context's while a resize has not settled yet).
TimelineBox timelineOn(int width, int height)
{
    return timelineBox(width, height, leftBandPixels(), bottomBandPixels(), rasterTextHeight(""),
                       viewState.uiScale);
}

PixelBox hintOn(int height)
{
    PixelBox box;
    box.left = leftBandPixels();
    box.bottom = height - bottomBandPixels();
    box.right = box.left + rasterTextWidth(hintText()) + 2 * scaled(HintPadding);
    box.top = box.bottom - rasterTextHeight("") - scaled(Padding);
    return box;
}

void paintHint()
{
    const PixelBox box = hintOn(rasterHeight());
    framedBox(box);
    rasterMode(RasterTransparentText);
    rasterText(box.left + scaled(HintPadding), box.top + scaled(Padding / 2), hintText(),
               colourScheme.rulerText);
}

void paintTimeline()
{
    const TimelineBox box = timelineOn(rasterWidth(), rasterHeight());
    framedBox(box.strip);
    const PixelBox& bar = box.bar;
    const double total = paceSeconds();
    const double share = total > 0.0 ? std::clamp(paceAt(replayDrawing.cursor) / total, 0.0, 1.0) : 0.0;
    const int done = static_cast<int>(std::lround(share * (bar.right - bar.left)));
    rasterMode(RasterFilled);
    rasterBox(bar.left, bar.top, done, bar.bottom - bar.top, colourScheme.progressBar);
    rasterMode(RasterOutline);
    rasterBox(bar.left, bar.top, bar.right - bar.left, bar.bottom - bar.top, colourScheme.hintText);
    rasterMode(RasterFilled);
    const int thumb = std::max(1, scaled(ThumbWidth));
    const int reach = scaled(ThumbReach);
    rasterBox(bar.left + done - thumb / 2, bar.top - reach, thumb, bar.bottom - bar.top + 2 * reach,
              ThumbColour);

    const ReplayTexts texts = composeReplayTexts(replayDrawing.cursor);
    const int pad = scaled(Padding);
    const int lineHeight = rasterTextHeight("");
    PixelBox row{box.strip.left + pad, box.strip.top + pad, box.strip.right - pad, 0};
    rasterMode(RasterTransparentText);
    paintRow(texts.line, texts.keys, row, colourScheme.rulerText);
    row.top += lineHeight + scaled(RowGap);
    paintRow(texts.place, texts.times, row, colourScheme.rulerText);
}

// The length of the UTF-8 sequence that `lead` starts; 0 when it starts none.
int sequenceLength(unsigned char lead)
{
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        return 2;
    if (lead >= 0xE0 && lead <= 0xEF)
        return 3;
    if (lead >= 0xF0 && lead <= 0xF4)
        return 4;
    return 0;
}

} // namespace

TimelineBox timelineBox(int width, int height, int leftBand, int bottomBand, int textHeight, double r)
{
    const auto px = [r](double units) { return static_cast<int>(std::lround(units * r)); };
    TimelineBox box;
    box.strip.left = std::clamp(leftBand, 0, width);
    box.strip.right = width;
    box.strip.bottom = std::clamp(height - bottomBand, 0, height);
    const int stripHeight = 2 * textHeight + px(RowGap) + px(BarHeight) + 4 * px(Padding);
    box.strip.top = box.strip.bottom - stripHeight;
    box.bar.left = box.strip.left + px(Padding) + px(ThumbWidth);
    box.bar.right = std::max(box.bar.left + 1, box.strip.right - px(Padding) - px(ThumbWidth));
    box.bar.bottom = box.strip.bottom - px(Padding) - px(ThumbReach) / 2;
    box.bar.top = box.bar.bottom - px(BarHeight);
    return box;
}

TimelineBox currentTimelineBox()
{
    return timelineOn(viewState.canvasWidth, viewState.canvasHeight);
}

PixelBox currentHintBox()
{
    return hintOn(viewState.canvasHeight);
}

bool pixelBoxHolds(const PixelBox& box, int x, int y)
{
    return x >= box.left && x < box.right && y >= box.top && y < box.bottom;
}

double timelineShareAt(const TimelineBox& box, int x)
{
    const double length = box.bar.right - box.bar.left;
    return std::clamp((x - box.bar.left) / length, 0.0, 1.0);
}

int canvasFootTop(bool belowHint)
{
    if (replayTimeline.shown)
        return timelineOn(rasterWidth(), rasterHeight()).strip.top;
    if (belowHint && toolpath.moveCount > 0)
        return hintOn(rasterHeight()).top;
    return rasterHeight() - bottomBandPixels();
}

ReplayTexts composeReplayTexts(ReplayCursor cursor)
{
    ReplayTexts texts;
    const std::int32_t count = toolpath.moveCount;
    if (count <= 0)
        return texts;
    cursor.move = std::clamp(cursor.move, 0, count - 1);
    cursor.fraction = std::clamp(cursor.fraction, 0.0, 1.0);

    if (replayTimeline.lineNumber > 0)
        texts.line = tr("L\u00ednea ", "Line ") + formatInteger(replayTimeline.lineNumber) + ":  " +
                     replayTimeline.lineText;
    texts.keys = (replayTimeline.playing ? "\u25b6 " : "\u275a\u275a ") +
                 speedText(replayTimeline.speed) + "    " +
                 (replayTimeline.playing ? tr("Espacio: pausa", "Space: pause")
                                         : tr("Espacio: seguir", "Space: play")) +
                 tr("   \u2191\u2193: velocidad   Esc: salir", "   \u2191\u2193: speed   Esc: end");

    double x = 0.0, y = 0.0;
    toolPlace(cursor, x, y);
    const Move& move = toolpath.moves[cursor.move];
    texts.place = tr("Movimiento ", "Move ") + formatInteger(cursor.move + 1) + tr(" de ", " of ") +
                  formatInteger(count) + "     " + composePointerText(x, y, settings.inches != 0) +
                  "     " + feedText(cursor.move) + "     S " + formatInteger(move.power);

    const double estimate = std::isfinite(toolpath.estimatedSeconds) ? toolpath.estimatedSeconds : 0.0;
    const double elapsed = std::clamp(elapsedAt(cursor), 0.0, estimate);
    // A job without an estimate tells how far along its timeline the cursor is instead.
    const double total = paceSeconds();
    const double share = estimate > 0.0 ? elapsed / estimate
                         : total > 0.0  ? paceAt(cursor) / total
                                        : 0.0;
    texts.times = tr("transcurrido ", "elapsed ") + estimateClockText(elapsed) + "   " +
                  tr("restante ", "remaining ") + estimateClockText(estimate - elapsed) + "   " +
                  // Rounded down: "100.0 %" only once the job is done.
                  formatFixed(roundDown(std::clamp(share, 0.0, 1.0) * 1000.0) / 10.0, 1) + " %";
    return texts;
}

std::string printableLine(const std::string& text)
{
    std::string shown;
    shown.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const int length = sequenceLength(c);
        bool valid = length > 0 && i + static_cast<std::size_t>(length) <= text.size();
        for (int k = 1; valid && k < length; ++k)
            valid = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
        if (!valid) {
            shown += '?';
            ++i;
        } else if (length == 1) {
            shown += c < 32 || c == 127 ? ' ' : static_cast<char>(c);
            ++i;
        } else {
            shown.append(text, i, static_cast<std::size_t>(length));
            i += static_cast<std::size_t>(length);
        }
    }
    return shown;
}

std::string fitText(const std::string& text, int maxWidth)
{
    if (rasterTextWidth(text) <= maxWidth)
        return text;
    // The longest start of whole characters that fits with the ellipsis: found by halving.
    std::size_t low = 0, high = text.size();
    const auto boundary = [&text](std::size_t at) {
        while (at > 0 && at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80)
            --at;
        return at;
    };
    while (low < high) {
        const std::size_t middle = boundary((low + high + 1) / 2);
        if (middle > low && rasterTextWidth(text.substr(0, middle) + Ellipsis) <= maxWidth)
            low = middle;
        else
            high = (low + high + 1) / 2 - 1;
    }
    low = boundary(low);
    if (low == 0)
        return rasterTextWidth(Ellipsis) <= maxWidth ? Ellipsis : "";
    return text.substr(0, low) + Ellipsis;
}

std::int32_t nearestDrawnMove(double x, double y, double radius)
{
    std::int32_t end = toolpath.moveCount;
    Move part{};
    bool partial = false;
    if (replayDrawing.active) {
        const ReplayCursor cursor = replayDrawing.cursor;
        end = std::clamp(cursor.move, 0, toolpath.moveCount);
        if (end < toolpath.moveCount && cursor.fraction > 0.0) {
            part = movePart(toolpath.moves[end], cursor.fraction);
            partial = true;
        }
    }
    // Machine millimetres of the point and the radius: one transform instead of one a move.
    double mx = 0.0, my = 0.0;
    canvasToMachine(x, y, mx, my);
    const double reach = radius / viewState.scale;
    const double reach2 = reach * reach;
    const bool travelShown = settings.showTravel != 0;
    std::int32_t best = -1;
    double bestDistance = reach2;
    int bestRank = -1; // a cutting move lies over a travel move
    const auto consider = [&](const Move& m, std::int32_t index) {
        if (m.travel && !travelShown)
            return;
        const double x1 = m.x1, y1 = m.y1, x2 = m.x2, y2 = m.y2;
        // Far from the move's box: no distance to work out.
        if (mx < std::min(x1, x2) - reach || mx > std::max(x1, x2) + reach ||
            my < std::min(y1, y2) - reach || my > std::max(y1, y2) + reach)
            return;
        const double dx = x2 - x1, dy = y2 - y1;
        const double length2 = dx * dx + dy * dy;
        double t = length2 > 0.0 ? ((mx - x1) * dx + (my - y1) * dy) / length2 : 0.0;
        t = std::clamp(t, 0.0, 1.0);
        const double ex = x1 + t * dx - mx, ey = y1 + t * dy - my;
        const double distance = ex * ex + ey * ey;
        const int rank = m.travel ? 0 : 1;
        if (distance > reach2)
            return;
        // Nearer wins; as near (within a hundredth of a pixel), the one drawn later.
        const double tie = 1e-4 * reach2;
        if (distance < bestDistance - tie || (distance <= bestDistance + tie && rank >= bestRank)) {
            best = index;
            bestDistance = std::min(distance, bestDistance);
            bestRank = rank;
        }
    };
    for (std::int32_t i = 0; i < end; ++i)
        consider(toolpath.moves[i], i);
    if (partial)
        consider(part, end);
    return best;
}

void paintReplayOverlay()
{
    if (toolpath.moveCount <= 0)
        return;
    if (replayTimeline.shown)
        paintTimeline();
    else
        paintHint();
}
