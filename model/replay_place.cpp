// Reads a place in the job as a user writes it (a move number, a share of the time or a
// time) and finds the replay's cursor there.
#include "model/replay_place.h"

#include "model/toolpath.h"

#include <algorithm>
#include <cmath>

namespace {

// Digits with at most one '.' inside or at the end, nothing else; false for anything else.
// Spelled out rather than left to the C library, which would take signs, exponents,
// "inf" and the locale's decimal point.
bool parsePlain(std::string_view text, double& value, bool allowFraction)
{
    if (text.empty() || text.size() > 24 || text.front() == '.')
        return false;
    double whole = 0.0, scale = 1.0;
    bool point = false;
    for (const char c : text) {
        if (c == '.' && allowFraction && !point) {
            point = true;
        } else if (c >= '0' && c <= '9') {
            if (point)
                whole += (c - '0') * (scale /= 10.0);
            else
                whole = whole * 10.0 + (c - '0');
        } else {
            return false;
        }
    }
    value = whole;
    return true;
}

constexpr double SecondsPerMinute = 60.0;
constexpr double SecondsPerHour = 3600.0;

} // namespace

bool readReplayPlace(std::string_view text, ReplayPlace& place)
{
    double value = 0.0;
    if (!text.empty() && text.back() == '%') {
        if (!parsePlain(text.substr(0, text.size() - 1), value, true) || value > 100.0)
            return false;
        place = ReplayPlace{ReplayPlace::Share, value};
        return true;
    }
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos) {
        if (!parsePlain(text, value, false))
            return false;
        place = ReplayPlace{ReplayPlace::MoveNumber, value};
        return true;
    }
    // [hours:]minutes:seconds, the seconds with a fraction if wanted; minutes and seconds
    // below 60 after a larger field.
    const std::size_t second = text.find(':', colon + 1);
    const bool withHours = second != std::string_view::npos;
    const std::string_view first = text.substr(0, colon);
    const std::string_view middle =
        withHours ? text.substr(colon + 1, second - colon - 1) : std::string_view{};
    const std::string_view last = text.substr(withHours ? second + 1 : colon + 1);
    double hours = 0.0, minutes = 0.0, seconds = 0.0;
    const bool read = withHours
                          ? parsePlain(first, hours, false) && parsePlain(middle, minutes, false) &&
                                middle.size() <= 2 && minutes < 60.0
                          : parsePlain(first, minutes, false);
    if (!read || !parsePlain(last, seconds, true) || seconds >= 60.0)
        return false; // a third colon leaves a ':' in the seconds, which parsePlain refuses
    place =
        ReplayPlace{ReplayPlace::Time, hours * SecondsPerHour + minutes * SecondsPerMinute + seconds};
    return true;
}

std::string cursorAtPlace(const ReplayPlace& place, ReplayCursor& cursor)
{
    const std::int32_t count = toolpath.moveCount;
    if (count <= 0)
        return "the job has no moves";
    const double estimate = std::isfinite(toolpath.estimatedSeconds) ? toolpath.estimatedSeconds : 0.0;
    switch (place.kind) {
    case ReplayPlace::MoveNumber:
        if (place.value > count)
            return "the job has only " + std::to_string(count) + " moves";
        cursor = cursorAfterMove(static_cast<std::int32_t>(place.value));
        return "";
    case ReplayPlace::Share:
        if (place.value >= 100.0)
            cursor = cursorAfterMove(count);
        else if (estimate > 0.0)
            cursor = cursorAtElapsed(estimate * place.value / 100.0);
        else
            cursor = cursorAtPace(paceSeconds() * place.value / 100.0);
        return "";
    case ReplayPlace::Time:
        if (place.value > estimate)
            return "the job's estimated time is shorter";
        cursor = !(place.value > 0.0)      ? ReplayCursor{}
                 : place.value >= estimate ? cursorAfterMove(count)
                                           : cursorAtElapsed(place.value);
        return "";
    }
    return "";
}
