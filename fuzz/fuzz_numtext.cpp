// Fuzzes the number-to-text conversions against slow, exact references built on big
// decimal integers, and the rounding helpers against their defining properties.
#include "platform/numtext.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>

#include "big_decimal.h"

#if TOLVAN_FUZZ_TICK_LABELS
#include "view/rulers.h"
#endif

namespace {

constexpr int LargestDecimals = 512;      // formatFixed's own ceiling
constexpr std::size_t LongestText = 1200; // bytes of a text handed to parseNumber
constexpr int ExponentCeiling = 1000000;  // an exponent this large decides the result alone

// Prints what disagreed and stops the run; libFuzzer saves the input.
[[noreturn]] void fail(const char* what, const std::string& detail)
{
    std::fprintf(stderr, "\n%s\n%s\n", what, detail.c_str());
    std::fflush(stderr);
    __builtin_trap();
}

std::string describe(double value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.17g (%a)", value, value);
    return text;
}

bool sameDouble(double a, double b)
{
    if (std::isnan(a) || std::isnan(b))
        return std::isnan(a) && std::isnan(b);
    return a == b && std::signbit(a) == std::signbit(b);
}

double doubleFromBits(std::uint64_t bits)
{
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// |value| = mantissa * 2^exponent exactly, with the mantissa as small as the format
// allows: subnormals keep exponent -1074 and a mantissa below 2^52.
void splitDouble(double value, std::uint64_t& mantissa, int& exponent)
{
    int binaryExponent = 0;
    const double fraction = std::frexp(std::fabs(value), &binaryExponent);
    mantissa = static_cast<std::uint64_t>(std::ldexp(fraction, 53)); // below 2^53: exact
    exponent = binaryExponent - 53;
    while (exponent < -1074) {
        mantissa >>= 1; // only zero bits leave: a subnormal has them at the bottom
        ++exponent;
    }
    if (mantissa == 0)
        exponent = 0;
}

// Fixed point done the long way: every decimal digit of the binary value, then rounded
// by looking at the digits that are cut off.
std::string referenceFixed(double value, int decimals)
{
    if (std::isnan(value))
        return "NaN";
    if (std::isinf(value))
        return value > 0 ? "+Infinity" : "-Infinity";
    if (decimals < 0)
        decimals = 0;
    if (decimals > LargestDecimals)
        decimals = LargestDecimals;
    const bool negative = value < 0.0; // -0.0 is not below zero

    std::uint64_t mantissa = 0;
    int exponent = 0;
    splitDouble(value, mantissa, exponent);
    // m * 2^-k = m * 5^k / 10^k: the digits of m * 5^k with the point k places from the right.
    BigDecimal scaled = bigFromInteger(mantissa);
    std::size_t fractionDigits = 0;
    if (exponent >= 0) {
        bigMultiplyPower(scaled, 2, exponent);
    } else {
        bigMultiplyPower(scaled, 5, -exponent);
        fractionDigits = static_cast<std::size_t>(-exponent);
    }
    std::string digits = bigDigits(scaled);
    if (digits.size() <= fractionDigits)
        digits.insert(0, fractionDigits + 1 - digits.size(), '0');
    std::string whole = digits.substr(0, digits.size() - fractionDigits);
    std::string fraction = digits.substr(digits.size() - fractionDigits);

    const std::size_t wanted = static_cast<std::size_t>(decimals);
    if (fraction.size() <= wanted) {
        fraction.append(wanted - fraction.size(), '0');
    } else {
        const std::string dropped = fraction.substr(wanted);
        fraction.resize(wanted);
        bool up = false;
        if (dropped[0] != '5') {
            up = dropped[0] > '5';
        } else if (dropped.find_first_not_of('0', 1) != std::string::npos) {
            up = true; // above the half
        } else {
            const char last = wanted > 0 ? fraction.back() : whole.back();
            up = (last - '0') % 2 == 1; // an exact half goes to the even digit
        }
        if (up) {
            std::string number = whole + fraction;
            std::size_t i = number.size();
            while (i > 0 && number[i - 1] == '9')
                number[--i] = '0';
            if (i == 0)
                number.insert(0, 1, '1');
            else
                ++number[i - 1];
            whole = number.substr(0, number.size() - wanted);
            fraction = number.substr(number.size() - wanted);
        }
    }
    const std::size_t firstNonZero = whole.find_first_not_of('0');
    whole = firstNonZero == std::string::npos ? "0" : whole.substr(firstNonZero);
    return (negative ? "-" : "") + whole + (wanted > 0 ? "." + fraction : "");
}

void checkFixed(double value, int decimals)
{
    const std::string got = formatFixed(value, decimals);
    const std::string expected = referenceFixed(value, decimals);
    if (got != expected)
        fail("formatFixed differs from the exact expansion",
             describe(value) + " decimals " + std::to_string(decimals) + "\n got      " + got +
                 "\n expected " + expected);
}

// value * 10^tenPower compared with scaled * 2^twoPower, all exact.
int compareScaled(const BigDecimal& value, int tenPower, std::uint64_t scaled, int twoPower)
{
    BigDecimal left = value;
    BigDecimal right = bigFromInteger(scaled);
    if (tenPower >= 0)
        bigMultiplyPower(left, 10, tenPower);
    else
        bigMultiplyPower(right, 10, -tenPower);
    if (twoPower >= 0)
        bigMultiplyPower(right, 2, twoPower);
    else
        bigMultiplyPower(left, 2, -twoPower);
    return bigCompare(left, right);
}

bool isCSpace(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}
bool isDigitChar(char c)
{
    return c >= '0' && c <= '9';
}
bool isLetterChar(char c, char lower)
{
    return c == lower || c == lower - 'a' + 'A';
}

// Checks `parsed` against the decimal number at the start of `text` (after blanks), when
// that number is written in plain decimal: it must be the nearest double, ties to even.
void checkParsedDecimal(std::string_view text, double parsed)
{
    std::size_t i = 0;
    while (i < text.size() && isCSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    if (i + 1 < text.size() && text[i] == '0' && isLetterChar(text[i + 1], 'x'))
        return; // hexadecimal: not what this reference reads
    if (i < text.size() && (isLetterChar(text[i], 'i') || isLetterChar(text[i], 'n')))
        return; // infinity and NaN spellings
    std::string digits;
    std::int64_t tenPower = 0;
    bool anyDigit = false;
    while (i < text.size() && isDigitChar(text[i])) {
        digits += text[i++];
        anyDigit = true;
    }
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && isDigitChar(text[i])) {
            digits += text[i++];
            --tenPower;
            anyDigit = true;
        }
    }
    if (!anyDigit) {
        if (!sameDouble(parsed, 0.0))
            fail("parseNumber of a text without a number is not 0",
                 std::string(text) + " -> " + describe(parsed));
        return;
    }
    if (i < text.size() && isLetterChar(text[i], 'e')) {
        std::size_t j = i + 1;
        bool exponentNegative = false;
        if (j < text.size() && (text[j] == '+' || text[j] == '-'))
            exponentNegative = text[j++] == '-';
        if (j < text.size() && isDigitChar(text[j])) {
            std::int64_t exponent = 0;
            for (; j < text.size() && isDigitChar(text[j]); ++j)
                exponent = std::min<std::int64_t>(exponent * 10 + (text[j] - '0'), ExponentCeiling);
            tenPower += exponentNegative ? -exponent : exponent;
        }
    }
    // Leading zeros say nothing; trailing zeros move into the power of ten.
    const std::size_t first = digits.find_first_not_of('0');
    if (first == std::string::npos) {
        if (!sameDouble(parsed, negative ? -0.0 : 0.0))
            fail("parseNumber of a written zero", std::string(text) + " -> " + describe(parsed));
        return;
    }
    digits.erase(0, first);
    const std::size_t last = digits.find_last_not_of('0');
    tenPower += static_cast<std::int64_t>(digits.size() - 1 - last);
    digits.resize(last + 1);

    if (std::signbit(parsed) != negative)
        fail("parseNumber gives the wrong sign", std::string(text) + " -> " + describe(parsed));
    const std::int64_t leadingPower = static_cast<std::int64_t>(digits.size()) - 1 + tenPower;
    if (leadingPower > 309) { // at least 1e310
        if (!std::isinf(parsed))
            fail("parseNumber of a huge number is not infinite",
                 std::string(text) + " -> " + describe(parsed));
        return;
    }
    if (leadingPower < -325) { // below 1e-325, under half the smallest subnormal
        if (parsed != 0.0)
            fail("parseNumber of a tiny number is not zero",
                 std::string(text) + " -> " + describe(parsed));
        return;
    }
    const BigDecimal value = bigFromDigits(digits);
    const int power = static_cast<int>(tenPower);
    if (std::isnan(parsed))
        fail("parseNumber of a decimal number is NaN", std::string(text));
    if (std::isinf(parsed)) {
        // Rounding to nearest overflows from (2^54 - 1) * 2^970 up, halfway past the largest double.
        if (compareScaled(value, power, (std::uint64_t{1} << 54) - 1, 970) < 0)
            fail("parseNumber overflows too early", std::string(text) + " -> " + describe(parsed));
        return;
    }
    std::uint64_t mantissa = 0;
    int exponent = 0;
    splitDouble(parsed, mantissa, exponent);
    if (mantissa == 0)
        exponent = -1074;
    // The halfway points to the neighbours; below a power of two the gap is half as wide.
    const int above = compareScaled(value, power, 2 * mantissa + 1, exponent - 1);
    if (above > 0 || (above == 0 && mantissa % 2 == 1))
        fail("parseNumber is below the nearest double", std::string(text) + " -> " + describe(parsed));
    if (mantissa == 0)
        return;
    const bool narrowBelow = mantissa == (std::uint64_t{1} << 52) && exponent > -1074;
    const int below = narrowBelow ? compareScaled(value, power, 4 * mantissa - 1, exponent - 2)
                                  : compareScaled(value, power, 2 * mantissa - 1, exponent - 1);
    if (below < 0 || (below == 0 && mantissa % 2 == 1))
        fail("parseNumber is above the nearest double", std::string(text) + " -> " + describe(parsed));
}

void checkParse(const std::string& text)
{
    const double parsed = parseNumber(text);
    // The C library in the C locale, which this process never leaves.
    const double expected = std::strtod(text.c_str(), nullptr);
    if (!sameDouble(parsed, expected))
        fail("parseNumber differs from strtod in the C locale",
             "\"" + text + "\" -> " + describe(parsed) + " expected " + describe(expected));
    checkParsedDecimal(text, parsed);
}

// A finite value written with 17 decimals and read back lands within that rounding; from
// 1/16 up the cut (at most 5e-18) is below half the gap to the next double, so the value
// comes back whole.
void checkRoundTrip(double value)
{
    if (!std::isfinite(value))
        return;
    const std::string text = formatFixed(value, 17);
    const double back = parseNumber(text);
    const bool exact = std::fabs(value) >= 0.0625;
    if (exact ? back != value : !(std::fabs(back - value) <= 1e-17))
        fail("formatFixed(17) then parseNumber does not come back",
             describe(value) + " " + text + " -> " + describe(back));
}

void checkRounding(double x)
{
    const double nearest = roundNearest(x);
    const double down = roundDown(x);
    const double up = roundUp(x);
    if (std::isnan(x)) {
        if (!std::isnan(nearest) || !std::isnan(down) || !std::isnan(up))
            fail("rounding NaN gives a number", describe(x));
    } else if (std::isinf(x)) {
        if (nearest != x || down != x || up != x)
            fail("rounding an infinity changes it", describe(x));
    } else {
        // The whole part and the rest are both exact in double arithmetic.
        const double whole = std::trunc(x);
        const double rest = x - whole;
        const double expected = std::fabs(rest) >= 0.5 ? whole + std::copysign(1.0, x) : whole;
        if (nearest != expected)
            fail("roundNearest is not the nearest whole number, halves away from zero",
                 describe(x) + " -> " + describe(nearest) + " expected " + describe(expected));
        if (down != std::trunc(down) || down > x || !(std::fabs(down) >= 0x1p53 || down + 1.0 > x))
            fail("roundDown is not the largest whole number at or below",
                 describe(x) + " -> " + describe(down));
        if (up != std::trunc(up) || up < x || !(std::fabs(up) >= 0x1p53 || up - 1.0 < x))
            fail("roundUp is not the smallest whole number at or above",
                 describe(x) + " -> " + describe(up));
    }

    const std::int32_t truncated = truncate(x);
    std::int64_t expectedTruncated = 0;
    if (std::isnan(x))
        expectedTruncated = 0;
    else if (x >= 2147483648.0)
        expectedTruncated = std::numeric_limits<std::int32_t>::max();
    else if (x <= -2147483649.0)
        expectedTruncated = std::numeric_limits<std::int32_t>::min();
    else
        expectedTruncated = static_cast<std::int64_t>(std::trunc(x)); // within (-2^31 - 1, 2^31)
    if (truncated != expectedTruncated)
        fail("truncate is not the whole part toward zero, saturated",
             describe(x) + " -> " + std::to_string(truncated));
}

void checkInteger(std::int64_t value)
{
    char expected[32];
    std::snprintf(expected, sizeof expected, "%lld", static_cast<long long>(value));
    if (formatInteger(value) != expected)
        fail("formatInteger differs from printf", expected);
}

#if TOLVAN_FUZZ_TICK_LABELS
// A tick label as the rulers promise it: whole numbers for steps from 1 up, else at most
// two decimals without trailing zeros, and never "-0".
std::string referenceTickLabel(double value, double step)
{
    if (step >= 1.0) {
        const double whole = std::trunc(value);
        const double nearest =
            std::fabs(value - whole) >= 0.5 ? whole + std::copysign(1.0, value) : whole;
        return std::to_string(static_cast<long long>(nearest)); // callers pass |value| < 2^31
    }
    std::string text = referenceFixed(value, 2);
    if (text.find('.') != std::string::npos) {
        while (!text.empty() && text.back() == '0')
            text.pop_back();
        if (!text.empty() && text.back() == '.')
            text.pop_back();
    }
    return text == "-0" ? "0" : text;
}

void checkTickLabel(double value, double step)
{
    const std::string got = formatTickLabel(value, step);
    const bool comparable =
        std::isfinite(value) && (step < 1.0 ? true : std::fabs(value) < 2147483647.0);
    if (!comparable || std::isnan(step))
        return; // only the absence of crashes and undefined behaviour is promised here
    const std::string expected = referenceTickLabel(value, step);
    if (got != expected)
        fail("formatTickLabel differs", describe(value) + " step " + describe(step) + "\n got      " +
                                            got + "\n expected " + expected);
}
#endif

// Values with few significant bits: exact halves and quarters, which random bit patterns
// almost never are.
double shortValue(FuzzedDataProvider& input)
{
    const auto numerator = input.ConsumeIntegral<std::int32_t>();
    const int shift = input.ConsumeIntegralInRange<int>(-70, 70);
    return std::ldexp(static_cast<double>(numerator), shift);
}

double anyValue(FuzzedDataProvider& input)
{
    return input.ConsumeBool() ? shortValue(input)
                               : doubleFromBits(input.ConsumeIntegral<std::uint64_t>());
}

int anyDecimals(FuzzedDataProvider& input)
{
    const auto choice = input.ConsumeIntegral<std::uint8_t>();
    if (choice < 232)
        return choice % 21; // what the program asks for, and a margin
    return input.ConsumeIntegralInRange<int>(-3, 600);
}

// Bytes mapped onto the characters numbers are made of, so most texts are numbers.
std::string numberText(FuzzedDataProvider& input, bool raw)
{
    static constexpr char Alphabet[] = "0123456789012345678901234567890123456789..eE+- \tx";
    std::string text = input.ConsumeRandomLengthString(LongestText);
    if (!raw) {
        for (char& c : text)
            c = Alphabet[static_cast<unsigned char>(c) % (sizeof Alphabet - 1)];
    }
    return text;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    std::setlocale(LC_ALL, "C");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    switch (input.ConsumeIntegral<std::uint8_t>() % 6) {
    case 0: {
        const double value = anyValue(input);
        checkFixed(value, anyDecimals(input));
        break;
    }
    case 1: checkParse(numberText(input, false)); break;
    case 2: checkParse(numberText(input, true)); break;
    case 3: {
        const double value = anyValue(input);
        checkRoundTrip(value);
        checkRounding(value);
        checkInteger(input.ConsumeIntegral<std::int64_t>());
        break;
    }
    case 4: {
        // A decimal text, its nearest double, and that double printed back out.
        const std::string text = numberText(input, false);
        checkParse(text);
        checkFixed(parseNumber(text), anyDecimals(input));
        break;
    }
    default: {
#if TOLVAN_FUZZ_TICK_LABELS
        static constexpr double Steps[] = {0.1, 0.25, 0.5, 1,   2,    5,    10,  20,
                                           50,  100,  200, 500, 1000, 2000, 5000};
        const double value = anyValue(input);
        const double step = input.ConsumeBool()
                                ? Steps[input.ConsumeIntegralInRange<std::size_t>(0, 14)]
                                : anyValue(input);
        checkTickLabel(value, step);
#else
        checkRounding(anyValue(input));
#endif
        break;
    }
    }
    return 0;
}
