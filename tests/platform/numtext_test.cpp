// Checks the number-to-text conversions and the character-counting text operations.
#include "platform/numtext.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include <locale.h>

namespace {

const double Inf = std::numeric_limits<double>::infinity();
const double NaN = std::numeric_limits<double>::quiet_NaN();

TEST(FormatInteger, WholeRange)
{
    struct Case {
        const char* name;
        std::int64_t value;
        const char* text;
    };
    const std::vector<Case> cases = {
        {"zero", 0, "0"},
        {"negative", -5, "-5"},
        {"positive", 1234567890123, "1234567890123"},
        {"32-bit minimum", -2147483648LL, "-2147483648"},
        {"64-bit maximum", std::numeric_limits<std::int64_t>::max(), "9223372036854775807"},
        {"64-bit minimum", std::numeric_limits<std::int64_t>::min(), "-9223372036854775808"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(formatInteger(c.value), c.text);
    }
}

TEST(FormatFixed, RoundsTheExactBinaryValueTiesToEven)
{
    struct Case {
        const char* name;
        double value;
        int decimals;
        std::string text;
    };
    const std::vector<Case> cases = {
        {"exact tie down to even", 0.125, 2, "0.12"},
        {"exact tie up to even", 0.375, 2, "0.38"},
        {"stored below the half", 2.675, 2, "2.67"},
        {"stored above the half", 0.005, 2, "0.01"},
        {"negative rounding to zero keeps the sign", -0.004, 2, "-0.00"},
        {"negative zero is positive", -0.0, 2, "0.00"},
        {"positive zero", 0.0, 3, "0.000"},
        {"zero with no decimals", -0.0, 0, "0"},
        {"large value shows every digit", 1e20, 2, "100000000000000000000.00"},
        {"tiny value has no exponent", 1e-9, 3, "0.000"},
        {"no decimals, tie to even up", 1.5, 0, "2"},
        {"no decimals, tie to even down", 0.5, 0, "0"},
        {"no decimals, 2.5", 2.5, 0, "2"},
        {"leading zero kept", 0.5, 2, "0.50"},
        {"negative", -12.345, 1, "-12.3"},
        {"negative tie", -0.125, 2, "-0.12"},
        {"trailing zeros kept", 7.0, 3, "7.000"},
        {"negative decimals count as 0", 3.7, -4, "4"},
        {"positive infinity", Inf, 2, "+Infinity"},
        {"negative infinity", -Inf, 0, "-Infinity"},
        {"not a number", NaN, 2, "NaN"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(formatFixed(c.value, c.decimals), c.text);
    }
}

TEST(FormatFixed, ExtremeValuesAndDecimalCounts)
{
    const std::string largest = formatFixed(std::numeric_limits<double>::max(), 512);
    EXPECT_EQ(largest.size(), 309u + 1u + 512u);
    EXPECT_EQ(largest.substr(0, 6), "179769");
    EXPECT_EQ(largest.substr(309), "." + std::string(512, '0'));

    const std::string lowest = formatFixed(-std::numeric_limits<double>::max(), 1000); // counts as 512
    EXPECT_EQ(lowest.size(), 1u + 309u + 1u + 512u);
    EXPECT_EQ(lowest[0], '-');

    // The smallest subnormal, 4.94e-324: its first digit is the 324th decimal.
    const double tiny = std::numeric_limits<double>::denorm_min();
    EXPECT_EQ(formatFixed(tiny, 323), "0." + std::string(323, '0'));
    EXPECT_EQ(formatFixed(tiny, 324), "0." + std::string(323, '0') + "5");
    const std::string allDigits = formatFixed(tiny, 512);
    EXPECT_EQ(allDigits.size(), 2u + 512u);
    EXPECT_EQ(allDigits.substr(0, 2 + 323 + 17), "0." + std::string(323, '0') + "49406564584124654");
    EXPECT_EQ(formatFixed(-tiny, 3), "-0.000");
    // 2^-20 is exact in 20 decimals: every digit shows.
    EXPECT_EQ(formatFixed(std::ldexp(1.0, -20), 20), "0.00000095367431640625");
}

TEST(ParseNumber, BehavesLikeStrtodInTheCLocale)
{
    struct Case {
        const char* name;
        std::string text;
        double value;
    };
    const std::vector<Case> cases = {
        {"empty", "", 0.0},
        {"fraction", "0.25", 0.25},
        {"integer", "1000", 1000.0},
        {"no number", "abc", 0.0},
        {"trailing text ignored", "12abc", 12.0},
        {"leading blanks", "  \t-3.5", -3.5},
        {"exponent", "1e3", 1000.0},
        {"negative exponent", "25E-2", 0.25},
        {"comma is not a point", "1,5", 1.0},
        {"correctly rounded", "0.15", 0.15},
        {"plus sign", "+7", 7.0},
        {"overflow", "1e999", Inf},
        {"infinity word", "+Infinity", Inf},
        {"negative infinity word, any case", "-INFINITY", -Inf},
        {"strtod's own infinity spelling", "inf", Inf},
        {"list field", "50,100", 50.0},
        {"text cut before a later number",
         std::string("5\0"
                     "7",
                     3),
         5.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(parseNumber(c.text), c.value);
    }
    for (const char* text : {"NaN", "nan", "nAn"}) {
        SCOPED_TRACE(text);
        EXPECT_TRUE(std::isnan(parseNumber(text)));
    }
    // A view into a longer text must not read past its end.
    const std::string longer = "12345";
    EXPECT_EQ(parseNumber(std::string_view(longer).substr(0, 2)), 12.0);
}

bool canMakeLocale(const char* name)
{
    const locale_t locale = newlocale(LC_ALL_MASK, name, static_cast<locale_t>(0));
    if (locale == static_cast<locale_t>(0))
        return false;
    freelocale(locale);
    return true;
}

// A locale whose decimal point is a comma: an installed one, or one built with localedef
// into a temporary folder (removed at the end) when none is installed.
struct CommaLocale {
    CommaLocale()
    {
        for (const char* candidate : {"de_DE.UTF-8", "fr_FR.UTF-8", "es_ES.UTF-8"}) {
            if (canMakeLocale(candidate)) {
                name = candidate;
                return;
            }
        }
        char pattern[] = "/tmp/tolvan-locale-XXXXXX";
        if (mkdtemp(pattern) == nullptr)
            return;
        folder = pattern;
        const std::string command =
            "localedef -i de_DE -f UTF-8 " + folder + "/de_DE.UTF-8 >/dev/null 2>&1";
        if (std::system(command.c_str()) != 0)
            return;
        setenv("LOCPATH", folder.c_str(), 1);
        if (canMakeLocale("de_DE.UTF-8"))
            name = "de_DE.UTF-8";
    }
    ~CommaLocale()
    {
        if (!folder.empty()) {
            unsetenv("LOCPATH");
            std::error_code ignored;
            std::filesystem::remove_all(folder, ignored);
        }
    }
    const char* name = nullptr;
    std::string folder;
};

TEST(NumberText, IgnoresAProcessLocaleWithADecimalComma)
{
    const CommaLocale commaLocale;
    const char* name = commaLocale.name;
    if (name == nullptr)
        GTEST_SKIP() << "no locale with a decimal comma can be had on this machine";

    // The locale of this thread only.
    const locale_t comma = newlocale(LC_ALL_MASK, name, static_cast<locale_t>(0));
    ASSERT_NE(comma, static_cast<locale_t>(0));
    const locale_t previous = uselocale(comma);
    ASSERT_EQ(std::string(std::localeconv()->decimal_point), ",");
    EXPECT_EQ(parseNumber("0.25"), 0.25);
    EXPECT_EQ(parseNumber("2,5"), 2.0);
    EXPECT_EQ(formatFixed(1234.5, 2), "1234.50");
    uselocale(previous);
    freelocale(comma);

    // The locale of the whole process.
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    ASSERT_NE(std::setlocale(LC_ALL, name), nullptr);
    ASSERT_EQ(std::string(std::localeconv()->decimal_point), ",");
    EXPECT_EQ(parseNumber("0.25"), 0.25);
    EXPECT_EQ(parseNumber("-1.5e1"), -15.0);
    EXPECT_EQ(formatFixed(-0.004, 2), "-0.00");
    EXPECT_EQ(formatFixed(2.675, 2), "2.67");
    std::setlocale(LC_ALL, saved.c_str());
}

TEST(TextOperations, CountCharactersNotBytes)
{
    // "ñ" and "é" are two bytes each, "€" three.
    EXPECT_EQ(padLeft("7", 2, "0"), "07");
    EXPECT_EQ(padLeft("42", 2, "0"), "42");
    EXPECT_EQ(padLeft("12345", 3, "0"), "123");
    EXPECT_EQ(padLeft("ab", -3, "0"), "");
    EXPECT_EQ(padLeft("ab", 4, ""), "");
    EXPECT_EQ(padLeft("ñé", 3, "·x"), "·ñé");
    EXPECT_EQ(padLeft("ñéü", 2, " "), "ñé");
    EXPECT_EQ(padLeft("€", 3, "€"), "€€€");

    EXPECT_EQ(trimTrailing("10.50", "0"), "10.5");
    EXPECT_EQ(trimTrailing("0.00", "0"), "0.");
    EXPECT_EQ(trimTrailing("000", "0"), "");
    EXPECT_EQ(trimTrailing("12", "0"), "12");
    EXPECT_EQ(trimTrailing("ab  ", ""), "ab");
    EXPECT_EQ(trimTrailing("año€€", "€x"), "año");
    EXPECT_EQ(trimTrailing("a\xC3\xB1", "\xC3\xA9"), "a\xC3\xB1"); // ñ does not end in é's bytes

    EXPECT_EQ(findText("señor mm", "mm"), 7);
    EXPECT_EQ(findText("abc", "c"), 3);
    EXPECT_EQ(findText("abc", "d"), 0);
    EXPECT_EQ(findText("", "a"), 0);
    EXPECT_EQ(findText("abc", ""), 0);
    EXPECT_EQ(findText("€€x", "x"), 3);

    EXPECT_EQ(countOccurrences("1,5,10,50,100,500", ","), 5);
    EXPECT_EQ(countOccurrences("aaaa", "aa"), 2);
    EXPECT_EQ(countOccurrences("aaa", "aa"), 1);
    EXPECT_EQ(countOccurrences("", ","), 0);
    EXPECT_EQ(countOccurrences("a,b", ""), 0);
    EXPECT_EQ(countOccurrences("ñ·ñ·ñ", "·"), 2);
}

TEST(TextOperations, FieldAt)
{
    struct Case {
        const char* name;
        const char* text;
        int index;
        const char* separator;
        const char* field;
    };
    const std::vector<Case> cases = {
        {"second", "1,5,10,50,100,500", 2, ",", "5"},
        {"last", "1,5,10,50,100,500", 6, ",", "500"},
        {"beyond the last", "1,5,10,50,100,500", 7, ",", ""},
        {"index zero", "1,5", 0, ",", ""},
        {"negative index", "1,5", -1, ",", ""},
        {"no separator in text", "abc", 1, ",", "abc"},
        {"empty piece", "a,,b", 2, ",", ""},
        {"after empty piece", "a,,b", 3, ",", "b"},
        {"long separator", "a::b::c", 3, "::", "c"},
        {"multi-byte text", "ñ;é;ü", 2, ";", "é"},
        {"multi-byte separator", "1€2€3", 3, "€", "3"},
        {"trailing separator", "a,", 2, ",", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(fieldAt(c.text, c.index, c.separator), c.field);
    }
}

TEST(Rounding, RoundingAndTruncation)
{
    struct Case {
        const char* name;
        double x, down, up, nearest;
    };
    const std::vector<Case> cases = {
        {"positive half", 2.5, 2, 3, 3},
        {"negative half", -2.5, -3, -2, -3},
        {"negative below half", -2.4, -3, -2, -2},
        {"positive below half", 2.4, 2, 3, 2},
        {"whole", 4.0, 4, 4, 4},
        {"zero", 0.0, 0, 0, 0},
        // x + 0.5 rounds before the floor here; the nearest whole number must not.
        {"largest below one half", 0.49999999999999994, 0, 1, 0},
        {"negative largest below one half", -0.49999999999999994, -1, -0.0, -0.0},
        {"odd whole number above 2^52", 4503599627370497.0, 4503599627370497.0, 4503599627370497.0,
         4503599627370497.0},
        {"negative odd whole number above 2^52", -4553244143717069.0, -4553244143717069.0,
         -4553244143717069.0, -4553244143717069.0},
        {"half above 2^51", 2251799813685248.5, 2251799813685248.0, 2251799813685249.0,
         2251799813685249.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(roundDown(c.x), c.down);
        EXPECT_EQ(roundUp(c.x), c.up);
        EXPECT_EQ(roundNearest(c.x), c.nearest);
    }

    struct TruncateCase {
        const char* name;
        double x;
        std::int32_t value;
    };
    const std::vector<TruncateCase> truncations = {
        {"positive", 3.99, 3},
        {"negative", -3.99, -3},
        {"largest", 2147483647.9, 2147483647},
        {"smallest", -2147483648.9, -2147483647 - 1},
        {"above the range saturates", 1e10, 2147483647},
        {"below the range saturates", -1e10, -2147483647 - 1},
        {"just above the range", 2147483648.0, 2147483647},
        {"positive infinity", Inf, 2147483647},
        {"negative infinity", -Inf, -2147483647 - 1},
        {"not a number", NaN, 0},
    };
    for (const TruncateCase& c : truncations) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(truncate(c.x), c.value);
    }
}

} // namespace
