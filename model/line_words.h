// Reads one line of G-code into what it says: its words, each noted but none applied yet,
// so that a line can be read on one thread and applied later on another. Inline: these
// run once per byte and once per word of every file.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

#include "model/motion.h"

namespace gcode_lines {

constexpr unsigned char LineFeed = 10;
constexpr int NoCode = -1;               // a G or M value that matches no code we act on
constexpr double TenthCodeSlack = 0.001; // G90.1 and G91.1 within a thousandth

// The plane arcs turn in, as the G code that selects it.
constexpr std::int8_t PlaneXY = 17;
constexpr std::int8_t PlaneXZ = 18;
constexpr std::int8_t PlaneYZ = 19;

// What one line says. Every word of a line acts only once the line has been read (the
// unit, distance and power switches govern the whole line, whatever the order of its
// words), and of several words of a kind the last wins, so a line comes down to these
// values. They do not depend on the lines before, so a line can be read on another
// thread and applied later.
constexpr std::uint8_t SeenX = 1, SeenY = 2, SeenS = 4, SeenF = 8, SeenI = 16, SeenJ = 32, SeenR = 64;

// The mode switches a line can throw, as bits of its `said`; `on` holds how each was thrown.
constexpr std::uint8_t SaysInches = 1;          // on G20, off G21
constexpr std::uint8_t SaysRelative = 2;        // on G91, off G90
constexpr std::uint8_t SaysLaser = 4;           // on M3 or M4, off M5
constexpr std::uint8_t SaysRelativeCentres = 8; // on G91.1, off G90.1
constexpr std::uint8_t SaysPlane = 16;          // `plane` holds the line's last G17..G19

struct LineWords {
    double x, y, power, feed; // as written, where `seen` says so
    double i, j;              // an arc's I and J (or R, kept in `i`), as written, where `seen` says so
    std::uint32_t start;      // where the line starts, from its block's first line
    std::uint8_t seen;        // SeenX | SeenY | SeenS | SeenF | SeenI | SeenJ | SeenR
    std::int8_t motionCode;   // NoMotion, or the line's last G0..G3
    std::uint8_t said;        // the switches the line throws (Says...)
    std::uint8_t on;          // of those, the ones thrown on
    std::int8_t plane;        // with SaysPlane: G17, G18 or G19
};

// The start of a line: nothing said yet.
constexpr LineWords NoWords = {0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0, 0, NoMotion, 0, 0, 0};

// Notes a switch; the last of a kind on a line wins.
inline void say(LineWords& line, std::uint8_t which, bool on)
{
    line.said |= which;
    line.on = static_cast<std::uint8_t>(on ? line.on | which : line.on & ~which);
}

inline bool isDigit(unsigned char c)
{
    return static_cast<unsigned char>(c - '0') < 10;
}

// ASCII letters only; bytes above 127 are never letters.
inline bool isLetter(unsigned char c)
{
    return static_cast<unsigned char>((c | 0x20) - 'a') < 26;
}

inline unsigned char upperCase(unsigned char letter)
{
    return letter & 0xDF;
}

// The value truncated toward zero, as a code we know, without converting a huge,
// infinite or NaN value to an integer: every code we act on is below 100.
inline int wordCode(double value)
{
    if (!(value > -1000.0 && value < 1000.0))
        return NoCode;
    return static_cast<int>(value);
}

// G90.1 or G91.1 rather than plain G90 or G91: the code `code` (90 or 91) plus a tenth.
inline bool isTenthCode(double value, int code)
{
    return std::fabs(value - code - 0.1) <= TenthCodeSlack;
}

// The number reader. Inside a load the buffer's final line feed stops every loop below,
// so the scan leaves out the end checks (a tenth of the load time); the public
// readWordNumber keeps them for any other caller.
constexpr bool WithEndChecks = true;
constexpr bool UpToLineFeed = false;

// The fraction digits' terms d / 10^k, made at compile time by the same steps the reader
// defines (the power of ten multiplied up, then one division), so a lookup gives the very
// bits the division would without paying for a division per digit.
constexpr int TabledFractionDigits = 24;
constexpr int ExactWholeDigits = 15; // 10^15 - 1 < 2^53: every whole-part step is exact

struct FractionTerms {
    double term[TabledFractionDigits + 1][10];
    double denominator[TabledFractionDigits + 1];
};

constexpr FractionTerms makeFractionTerms()
{
    FractionTerms terms{};
    double denominator = 1.0;
    for (int k = 1; k <= TabledFractionDigits; ++k) {
        denominator *= 10.0;
        terms.denominator[k] = denominator;
        for (int d = 0; d < 10; ++d)
            terms.term[k][d] = d / denominator;
    }
    return terms;
}

inline constexpr FractionTerms fractionTerms = makeFractionTerms();
static_assert(fractionTerms.term[1][1] == 0.1 && fractionTerms.term[3][7] == 7 / 1000.0);

template <bool CheckEnd>
inline double readNumber(const unsigned char*& cursor, const unsigned char* end)
{
    const auto more = [&] { return !CheckEnd || cursor < end; };
    double value = 0.0;
    bool negative = false;
    while (more() && (*cursor == ' ' || *cursor == '\t'))
        ++cursor;
    if (more() && *cursor == '-') {
        negative = true;
        ++cursor;
    } else if (more() && *cursor == '+') {
        ++cursor;
    }
    // The whole part is value * 10 + d per digit in doubles. Up to 15 digits every step is
    // exact (below 2^53), so an integer gives the same bits without a floating-point
    // multiply and add in series per digit; longer runs go on in doubles from there.
    std::int64_t whole = 0;
    for (int left = ExactWholeDigits; left > 0 && more(); --left) {
        const unsigned digit = static_cast<unsigned>(*cursor) - '0'; // a byte below '0' wraps past 9
        if (digit > 9)
            break;
        whole = whole * 10 + digit;
        ++cursor;
    }
    value = static_cast<double>(whole);
    while (more() && isDigit(*cursor)) {
        value = value * 10.0 + (*cursor - '0');
        ++cursor;
    }
    if (more() && *cursor == '.') {
        ++cursor;
        // Each fraction digit adds d / 10^k, rounded at every step: no library conversion.
        int k = 0;
        while (more() && isDigit(*cursor)) {
            if (++k > TabledFractionDigits)
                break;
            value = value + fractionTerms.term[k][*cursor - '0'];
            ++cursor;
        }
        if (k > TabledFractionDigits) {
            double denominator = fractionTerms.denominator[TabledFractionDigits];
            while (more() && isDigit(*cursor)) {
                denominator *= 10.0;
                value = value + (*cursor - '0') / denominator;
                ++cursor;
            }
        }
    }
    return negative ? -value : value;
}

inline void noteWord(unsigned char letter, double value, LineWords& line)
{
    const auto note = [&](double& field, std::uint8_t seen) {
        line.seen |= seen;
        field = value;
    };
    switch (letter) {
    case 'G': {
        const int code = wordCode(value);
        switch (code) {
        case RapidMotion:
        case LinearMotion:
        case ClockwiseArc:
        case CounterClockwiseArc: line.motionCode = static_cast<std::int8_t>(code); break;
        case 17:
        case 18:
        case 19:
            line.said |= SaysPlane;
            line.plane = static_cast<std::int8_t>(code);
            break;
        case 20:
        case 21: say(line, SaysInches, code == 20); break;
        case 90:
        case 91:
            // G90.1 and G91.1 say how I and J are read; X and Y keep their distance mode.
            say(line, isTenthCode(value, code) ? SaysRelativeCentres : SaysRelative, code == 91);
            break;
        default: break;
        }
        break;
    }
    case 'M':
        switch (wordCode(value)) {
        case 3:
        case 4: say(line, SaysLaser, true); break;
        case 5: say(line, SaysLaser, false); break;
        default: break;
        }
        break;
    case 'X': note(line.x, SeenX); break;
    case 'Y': note(line.y, SeenY); break;
    case 'S': note(line.power, SeenS); break;
    case 'F': note(line.feed, SeenF); break;
    case 'I': note(line.i, SeenI); break;
    case 'J': note(line.j, SeenJ); break;
    case 'R': note(line.i, SeenR); break; // with I or J too, no arc is made of either
    default: break;                       // N, Z, K, P, T, E ...: read past
    }
}

// Reads the line at `cursor` into `line` and returns where its line feed is. The buffer
// always ends in a line feed before `end`, so every skip below stops at a line feed at the
// latest. The cursor is a value of its own: written through a reference, it would go to
// memory at every byte, as the stores into `line` might change it.
inline const unsigned char* scanLine(const unsigned char* cursor, const unsigned char* end,
                                     LineWords& line)
{
    for (;;) {
        const unsigned char c = *cursor;
        if (isLetter(c)) {
            ++cursor;
            const double value = readNumber<UpToLineFeed>(cursor, end);
            noteWord(upperCase(c), value, line);
        } else if (c == LineFeed) {
            return cursor;
        } else if (c == ';') {
            return static_cast<const unsigned char*>(std::memchr(cursor, LineFeed, end - cursor));
        } else if (c == '(') {
            ++cursor;
            while (*cursor != ')' && *cursor != LineFeed)
                ++cursor;
            if (*cursor == ')')
                ++cursor;
        } else {
            ++cursor; // digits, blanks, CR, '%', '/', a stray ')' ...
        }
    }
}

} // namespace gcode_lines
