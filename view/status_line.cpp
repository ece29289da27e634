// Writes the one-line summary under the canvas: estimated time, job bounds and job size.
#include "view/status_line.h"

#include "model/toolpath.h"
#include "model/units.h"
#include "platform/numtext.h"
#include "platform/toolkit.h"
#include "view/canvas_texts.h"
#include "view/controls.h"
#include "view/language.h"
#include "view/settings.h"
#include "view/view_mapping.h"
#include "view/view_state.h"

#include <cstdint>

namespace {

constexpr double SecondsPerMinute = 60.0;
constexpr std::int64_t SecondsPerHour = 3600;
constexpr std::int64_t SecondsPerClockMinute = 60;
constexpr int MmDecimals = 2;
constexpr int InchDecimals = 3;

struct StatusTexts {
    const char* time;
    const char* bounds;
    const char* size;
};
constexpr StatusTexts SpanishTexts{"Tiempo estimado: ", "L\u00edmites:", "Tama\u00f1o: "};
constexpr StatusTexts EnglishTexts{"Estimated time: ", "Bounds:", "Size: "};

constexpr const char* Arrow = " \u2192 ";   // between a minimum and a maximum
constexpr const char* Times = " \u00d7 ";   // between width and height
constexpr const char* PartGap = "        "; // eight blanks between the three parts

// How lengths are shown: millimetres with two decimals or inches with three.
struct LengthUnit {
    double mmPerUnit;
    int decimals;
    const char* suffix;
};
constexpr LengthUnit Millimetres{1.0, MmDecimals, " mm"};
constexpr LengthUnit Inches{MillimetresPerInch, InchDecimals, " in"};

std::string lengthText(double mm, const LengthUnit& unit)
{
    return formatFixed(mm / unit.mmPerUnit, unit.decimals);
}

// Hours without leading zeros, then minutes and seconds as two digits each.
std::string clockText(std::int64_t seconds)
{
    const std::int64_t hours = seconds / SecondsPerHour;
    const std::int64_t minutes = (seconds % SecondsPerHour) / SecondsPerClockMinute;
    const std::int64_t rest = seconds % SecondsPerClockMinute;
    return formatInteger(hours) + ":" + padLeft(formatInteger(minutes), 2, "0") + ":" +
           padLeft(formatInteger(rest), 2, "0");
}

} // namespace

std::string composeStatusLine(bool spanish, bool inches)
{
    if (toolpath.moveCount <= 0)
        return "";
    const StatusTexts& texts = spanish ? SpanishTexts : EnglishTexts;

    const double total = toolpath.estimatedSeconds;
    // Minutes rounded up are written from the double itself, so no time, however long or
    // even infinite, meets an integer conversion it cannot fit; the seconds saturate at the
    // 32-bit limit, some 68 years.
    const std::string minutes = formatFixed(roundUp(total / SecondsPerMinute), 0);
    std::string text = texts.time + minutes + " min (" + estimateClockText(total) + ")" + PartGap;

    const Bounds& b = jobBounds();
    const LengthUnit& unit = inches ? Inches : Millimetres;
    auto length = [&unit](double mm) { return lengthText(mm, unit); };
    text += texts.bounds;
    text += "  X " + length(b.minX) + Arrow + length(b.maxX);
    text += "   Y " + length(b.minY) + Arrow + length(b.maxY) + PartGap;
    text += texts.size + length(b.maxX - b.minX) + Times + length(b.maxY - b.minY);
    text += unit.suffix;
    return text;
}

std::string estimateClockText(double seconds)
{
    return clockText(truncate(seconds + 0.5));
}

void updateStatusLine()
{
    setControlText(StatusText, composeStatusLine(uiSpanish, settings.inches != 0));
}

std::string composePointerText(double x, double y, bool inches)
{
    const LengthUnit& unit = inches ? Inches : Millimetres;
    return "X " + lengthText(x, unit) + "   Y " + lengthText(y, unit) + unit.suffix;
}

bool updatePointerText(bool inside, int px, int py)
{
    std::string text;
    if (inside && toolpath.moveCount > 0) {
        const ViewMapping view = viewMapping();
        text = composePointerText(view.machineX(px), view.machineY(py), settings.inches != 0);
    }
    if (text == pointerReadout)
        return false;
    pointerReadout = text;
    return true;
}
