// Writes the texts that stand on the canvas rather than in a control: the empty-canvas
// message, the hint of an empty bed, the notice of a stale drawing, the foot note and the
// pointer readout.
#include "view/canvas_texts.h"

#include "model/toolpath.h"
#include "platform/drawing.h"
#include "platform/numtext.h"
#include "view/colour_scheme.h"
#include "view/language.h"
#include "view/renderer.h"
#include "view/replay_timeline.h"
#include "view/rulers.h"
#include "view/settings.h"
#include "view/view_state.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

std::string canvasNotice;
std::string pointerReadout;
std::string canvasFootNote;

namespace {

constexpr double TextMargin = 6.0;    // layout units between a text box and the canvas edges
constexpr double BoxPaddingX = 6.0;   // layout units between a box's sides and its text
constexpr double BoxPaddingY = 3.0;   // layout units between a box's top or bottom and its text
constexpr int SmallestWrapWidth = 40; // device pixels; a narrower canvas still gets some words

int scaled(double layoutUnits)
{
    return static_cast<int>(std::lround(layoutUnits * viewState.uiScale));
}

// Lines centred one under the other, the first at `top`, in the hint's colour.
void centredLines(const std::vector<std::string>& lines, int left, int right, int top)
{
    const int lineHeight = rasterTextHeight("");
    for (const std::string& line : lines) {
        rasterText(left + (right - left - rasterTextWidth(line)) / 2, top, line, colourScheme.hintText);
        top += lineHeight;
    }
}

// The width a canvas of `width` pixels leaves for a line between its margins.
int wrapWidth(int width)
{
    return std::max(width - 2 * scaled(TextMargin), SmallestWrapWidth);
}

// A box filled with `fill` and framed in the hint's colour, then the text mode for the words
// in it: the box keeps them legible over any drawing, and the drawing around stays as it was.
void framedBox(int left, int top, int width, int height, ColourValue fill)
{
    rasterMode(RasterFilled);
    rasterBox(left, top, width, height, fill);
    rasterMode(RasterOutline);
    rasterBox(left, top, width, height, colourScheme.hintText);
    rasterMode(RasterTransparentText);
}

enum class Edge { Top, Bottom }; // which edge of a box stands at the row given

// `text` wrapped into a framed box centred between `left` and `right`, with its top or its
// bottom edge at row `y`. Into the raster context open.
void framedText(const std::string& text, int left, int right, int y, Edge edge)
{
    const int padX = scaled(BoxPaddingX);
    const int padY = scaled(BoxPaddingY);
    const std::vector<std::string> lines = wrapText(text, wrapWidth(right - left) - 2 * padX);
    int widest = 0;
    for (const std::string& line : lines)
        widest = std::max(widest, rasterTextWidth(line));
    const int boxWidth = std::min(widest + 2 * padX, right - left);
    const int boxHeight = static_cast<int>(lines.size()) * rasterTextHeight("") + 2 * padY;
    const int boxLeft = left + (right - left - boxWidth) / 2;
    const int boxTop = edge == Edge::Top ? y : y - boxHeight;
    framedBox(boxLeft, boxTop, boxWidth, boxHeight, colourScheme.background);
    centredLines(lines, boxLeft, boxLeft + boxWidth, boxTop + padY);
}

} // namespace

std::vector<std::string> wrapText(const std::string& text, int maxWidth)
{
    std::vector<std::string> lines(1);
    std::size_t start = 0;
    while (true) {
        const std::size_t blank = text.find(' ', start);
        const std::size_t end = blank == std::string::npos ? text.size() : blank;
        const std::string word = text.substr(start, end - start);
        std::string& line = lines.back();
        if (start == 0)
            line = word;
        else if (line.empty() || rasterTextWidth(line + " " + word) <= maxWidth)
            line += " " + word;
        else
            lines.push_back(word);
        if (blank == std::string::npos)
            return lines;
        start = blank + 1;
    }
}

void paintCanvasMessage(int width, int height)
{
    if (!beginImageRaster(FrameImageSlot))
        return;
    rasterBox(0, 0, width, height, colourScheme.background);
    rasterMode(RasterTransparentText);
    const int textWidth = rasterTextWidth(canvasMessage);
    const int textHeight = rasterTextHeight(canvasMessage);
    rasterText((width - textWidth) / 2, (height - textHeight) / 2, canvasMessage,
               colourScheme.hintText);
    endRaster();
}

// Two lines, each broken again where the bed is narrower, so that even the Spanish text
// stays whole on the narrowest window and on a thumbnail.
void paintNothingDrawnHint(int width, int height, int leftBand, int bottomBand)
{
    const int left = std::clamp(leftBand, 0, width);
    const int bottom = std::clamp(height - bottomBand, 0, height);
    const std::int64_t count = toolpath.moveCount;
    const std::string moves =
        formatInteger(count) + (count == 1 ? tr(" movimiento", " move") : tr(" movimientos", " moves"));
    const std::string texts[] = {
        tr("Este fichero solo tiene movimientos en vac\u00edo (movimientos sin potencia): ",
           "This file has only travel moves (moves without power): ") +
            moves + ".",
        tr("Marca \"Movimientos en vac\u00edo\" para verlos.", "Tick \"Travel moves\" to show them."),
    };
    if (!beginImageRaster(FrameImageSlot))
        return;
    std::vector<std::string> lines;
    for (const std::string& text : texts)
        for (std::string& line : wrapText(text, wrapWidth(width - left)))
            lines.push_back(std::move(line));
    rasterMode(RasterTransparentText);
    const int lineHeight = rasterTextHeight(lines[0]);
    centredLines(lines, left, width, (bottom - static_cast<int>(lines.size()) * lineHeight) / 2);
    endRaster();
}

void paintCanvasNotice(int width, int height, int leftBand)
{
    if (canvasNotice.empty() || height < 1)
        return;
    if (!beginImageRaster(FrameImageSlot))
        return;
    framedText(canvasNotice, std::clamp(leftBand, 0, width), width, scaled(TextMargin), Edge::Top);
    endRaster();
}

void paintPointerReadout()
{
    if (pointerReadout.empty())
        return;
    const int width = rasterWidth();
    const int bottom = canvasFootTop(false);
    const int boxWidth = rasterTextWidth(pointerReadout) + 2 * scaled(BoxPaddingX);
    const int boxHeight = rasterTextHeight(pointerReadout) + 2 * scaled(BoxPaddingY);
    // Flush with the right edge and standing on the bottom band, it reads as part of the
    // rulers and covers as little of the drawing as it can.
    const int boxLeft = width - boxWidth;
    const int boxTop = bottom - boxHeight;
    framedBox(boxLeft, boxTop, boxWidth, boxHeight, colourScheme.rulerBack);
    rasterText(boxLeft + scaled(BoxPaddingX), boxTop + scaled(BoxPaddingY), pointerReadout,
               colourScheme.rulerText);
}

void paintFootNote()
{
    if (canvasFootNote.empty())
        return;
    const int bottom = canvasFootTop(true) - scaled(TextMargin);
    framedText(canvasFootNote, 0, rasterWidth(), bottom, Edge::Bottom);
}
