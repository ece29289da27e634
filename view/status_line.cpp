// Writes the one-line summary under the canvas: estimated time, job bounds and job size.
#include "view/status_line.h"

#include "model/toolpath.h"
#include "platform/numtext.h"
#include "platform/toolkit.h"
#include "view/controls.h"
#include "view/language.h"
#include "view/settings.h"

#include <cstdint>

namespace {

constexpr double SecondsPerMinute = 60.0;
constexpr std::int64_t SecondsPerHour = 3600;
constexpr std::int64_t SecondsPerClockMinute = 60;
constexpr double MmPerInch = 25.4;
constexpr int MmDecimals = 2;
constexpr int InchDecimals = 3;

struct StatusTexts {
    const char* time;
    const char* bounds;
    const char* size;
};
constexpr StatusTexts SpanishTexts{"Tiempo estimado: ", "L\u00edmites:", "Tama\u00f1o: "};
constexpr StatusTexts EnglishTexts{"Estimated time: ", "Bounds:", "Size: "};

constexpr const char* Arrow = " \u2192 ";  // between a minimum and a maximum
constexpr const char* Times = " \u00d7 ";  // between width and height
constexpr const char* PartGap = "        "; // eight blanks between the three parts

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
    const std::int64_t seconds = truncate(total + 0.5);
    std::string text = texts.time + minutes + " min (" + clockText(seconds) + ")" + PartGap;

    const Bounds& b = toolpath.cutBounds.valid ? toolpath.cutBounds : toolpath.allBounds;
    const double unit = inches ? MmPerInch : 1.0;
    const int decimals = inches ? InchDecimals : MmDecimals;
    auto length = [&](double mm) { return formatFixed(mm / unit, decimals); };
    text += texts.bounds;
    text += "  X " + length(b.minX) + Arrow + length(b.maxX);
    text += "   Y " + length(b.minY) + Arrow + length(b.maxY) + PartGap;
    text += texts.size + length(b.maxX - b.minX) + Times + length(b.maxY - b.minY);
    text += inches ? " in" : " mm";
    return text;
}

void updateStatusLine()
{
    setControlText(StatusText, composeStatusLine(uiSpanish, settings.inches != 0));
}
