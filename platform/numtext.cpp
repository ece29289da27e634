// Turns numbers into the exact texts the user sees and back, whatever the process locale.
#include "platform/numtext.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

#include <locale.h>
#include <stdlib.h>

namespace {

constexpr int MaxDecimals = 512;
// Sign, 309 integer digits of the largest double, point, 512 decimals, with room to spare.
constexpr std::size_t FixedBufferSize = 1024;

// UTF-8 continuation bytes (10xxxxxx) never start a character.
inline bool startsCharacter(unsigned char byte)
{
    return (byte & 0xC0) != 0x80;
}

// Byte offset just past the first `count` characters of `text` (its size if shorter).
std::size_t characterEnd(std::string_view text, std::int64_t count)
{
    std::size_t offset = 0;
    while (offset < text.size() && count > 0) {
        ++offset;
        while (offset < text.size() && !startsCharacter(static_cast<unsigned char>(text[offset])))
            ++offset;
        --count;
    }
    return offset;
}

std::int64_t characterCount(std::string_view text)
{
    std::int64_t count = 0;
    for (unsigned char byte : text)
        count += startsCharacter(byte) ? 1 : 0;
    // A text that opens with a stray continuation byte still has that byte as a character.
    if (!text.empty() && !startsCharacter(static_cast<unsigned char>(text[0])))
        ++count;
    return count;
}

// The first character of `text` (all its bytes), empty for an empty text.
std::string_view firstCharacter(std::string_view text)
{
    return text.substr(0, characterEnd(text, 1));
}

// Byte offset of the first match of `pattern` at or after `from` that starts a character.
std::size_t findAt(std::string_view text, std::string_view pattern, std::size_t from)
{
    for (std::size_t at = text.find(pattern, from); at != std::string_view::npos;
         at = text.find(pattern, at + 1)) {
        if (at == 0 || startsCharacter(static_cast<unsigned char>(text[at])))
            return at;
    }
    return std::string_view::npos;
}

bool equalsIgnoringCase(std::string_view text, std::string_view word)
{
    if (text.size() != word.size())
        return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char a = text[i], b = word[i];
        if (a >= 'A' && a <= 'Z')
            a = static_cast<char>(a - 'A' + 'a');
        if (b >= 'A' && b <= 'Z')
            b = static_cast<char>(b - 'A' + 'a');
        if (a != b)
            return false;
    }
    return true;
}

// The C locale, made once; strtod_l with it ignores whatever setlocale has chosen.
locale_t cLocale()
{
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return locale;
}

} // namespace

std::string formatInteger(std::int64_t value)
{
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    return std::string(digits, result.ptr);
}

std::string formatFixed(double value, int decimals)
{
    if (std::isnan(value))
        return "NaN";
    if (std::isinf(value))
        return value > 0 ? "+Infinity" : "-Infinity";
    decimals = std::clamp(decimals, 0, MaxDecimals);
    if (value == 0.0)
        value = 0.0; // negative zero shows as positive zero
    // to_chars rounds the exact binary value, ties to even, and knows no locale; it writes
    // "-" for every negative value, even when the digits round to zero.
    char text[FixedBufferSize];
    const auto result =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    return std::string(text, result.ptr);
}

std::string padLeft(std::string_view text, int width, std::string_view fill)
{
    if (fill.empty())
        return std::string();
    const std::int64_t wanted = std::max(width, 0);
    const std::size_t keptBytes = characterEnd(text, wanted);
    const std::int64_t missing = wanted - characterCount(text.substr(0, keptBytes));
    const std::string_view fillCharacter = firstCharacter(fill);
    std::string padded;
    padded.reserve(static_cast<std::size_t>(missing) * fillCharacter.size() + keptBytes);
    for (std::int64_t i = 0; i < missing; ++i)
        padded += fillCharacter;
    padded += text.substr(0, keptBytes);
    return padded;
}

std::string trimTrailing(std::string_view text, std::string_view trimmed)
{
    const std::string_view character =
        trimmed.empty() ? std::string_view(" ") : firstCharacter(trimmed);
    while (text.size() >= character.size() && text.substr(text.size() - character.size()) == character)
        text.remove_suffix(character.size());
    return std::string(text);
}

int findText(std::string_view text, std::string_view pattern)
{
    if (text.empty() || pattern.empty())
        return 0;
    const std::size_t at = findAt(text, pattern, 0);
    if (at == std::string_view::npos)
        return 0;
    return static_cast<int>(characterCount(text.substr(0, at)) + 1);
}

int countOccurrences(std::string_view text, std::string_view pattern)
{
    if (text.empty() || pattern.empty())
        return 0;
    int count = 0;
    for (std::size_t at = findAt(text, pattern, 0); at != std::string_view::npos;
         at = findAt(text, pattern, at + pattern.size()))
        ++count;
    return count;
}

std::string fieldAt(std::string_view text, int index, std::string_view separator)
{
    if (index <= 0)
        return std::string();
    if (separator.empty())
        return index == 1 ? std::string(text) : std::string();
    std::size_t start = 0;
    for (int piece = 1;; ++piece) {
        const std::size_t at = findAt(text, separator, start);
        const std::size_t stop = at == std::string_view::npos ? text.size() : at;
        if (piece == index)
            return std::string(text.substr(start, stop - start));
        if (at == std::string_view::npos)
            return std::string();
        start = at + separator.size();
    }
}

double parseNumber(std::string_view text)
{
    if (text.empty())
        return 0.0;
    if (equalsIgnoringCase(text, "+Infinity"))
        return std::numeric_limits<double>::infinity();
    if (equalsIgnoringCase(text, "-Infinity"))
        return -std::numeric_limits<double>::infinity();
    if (equalsIgnoringCase(text, "NaN"))
        return std::numeric_limits<double>::quiet_NaN();
    const std::string terminated(text); // strtod needs a terminated text
    const locale_t locale = cLocale();
    if (locale == static_cast<locale_t>(0))
        return std::strtod(terminated.c_str(), nullptr); // only if the C locale cannot be made
    return strtod_l(terminated.c_str(), nullptr, locale);
}

double roundDown(double x)
{
    return std::floor(x);
}

double roundUp(double x)
{
    return std::ceil(x);
}

// Halves away from zero. Not floor(x + 0.5): that sum is itself rounded, which takes
// 0.49999999999999994 up to 1 and every odd whole number from 2^52 on up to the next one.
double roundNearest(double x)
{
    return std::round(x);
}

std::int32_t truncate(double x)
{
    if (std::isnan(x))
        return 0;
    if (x >= 2147483648.0)
        return std::numeric_limits<std::int32_t>::max();
    if (x <= -2147483649.0)
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(x);
}
