// Checks what the interpreter makes of G-code text: words, numbers, comments, modes, power.
#include "model/interpreter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "gcode_test_support.h"
#include "model/toolpath.h"

namespace {

constexpr bool Travel = true;
constexpr bool Cut = false;

struct MovesCase {
    const char* name;
    std::string gcode;
    std::vector<Move> moves;
};

void expectMoves(const std::vector<MovesCase>& cases)
{
    for (const MovesCase& c : cases) {
        SCOPED_TRACE(c.name);
        interpretText(c.gcode);
        const std::vector<Move> got = storedMoves();
        ASSERT_EQ(got.size(), c.moves.size());
        for (std::size_t i = 0; i < got.size(); ++i)
            EXPECT_TRUE(sameMove(got[i], c.moves[i])) << "move " << i << ": got " << describe(got[i])
                                                      << ", expected " << describe(c.moves[i]);
    }
}

// d / 10^k added digit by digit, as the reader must do it (not strtod's correct rounding).
double digitByDigit(double whole, std::initializer_list<int> fraction)
{
    double value = whole, denominator = 1.0;
    for (int d : fraction) {
        denominator *= 10.0;
        value = value + d / denominator;
    }
    return value;
}

TEST(ReadWordNumber, ReadsTheNumberAfterALetterAndStopsWhereItEnds)
{
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        const char* name;
        std::string text;
        std::size_t limit; // bytes the reader may look at
        double value;
        std::size_t consumed;
    };
    const std::vector<Case> cases = {
        {"digits", "123 ", 4, 123.0, 3},
        {"blanks and tabs first", " \t 42;", 6, 42.0, 5},
        {"negative fraction", "-1.5X", 5, -1.5, 4},
        {"plus sign", "+2", 2, 2.0, 2},
        {"blank after sign ends it", "- 7", 3, -0.0, 1},
        {"second point ends it", "1.2.3", 5, digitByDigit(1, {2}), 3},
        {"leading point", ".5", 2, 0.5, 2},
        {"trailing point", "5.", 2, 5.0, 2},
        {"no exponent", "1e3", 3, 1.0, 1},
        {"no digits", "X", 1, 0.0, 0},
        {"sign only", "-", 1, -0.0, 1},
        {"line feed never skipped", "\n5", 2, 0.0, 0},
        {"fraction added digit by digit", "0.15", 4, digitByDigit(0, {1, 5}), 4},
        {"long fraction", "99.99", 5, digitByDigit(99, {9, 9}), 5},
        {"too large becomes infinity", std::string(400, '9'), 400, inf, 400},
        {"stops at the end inside digits", "12345", 3, 123.0, 3},
        {"stops at the end inside blanks", "   7", 2, 0.0, 2},
        {"stops at the end after the sign", "-7", 1, -0.0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto* start = reinterpret_cast<const unsigned char*>(c.text.data());
        const unsigned char* cursor = start;
        const double value = readWordNumber(cursor, start + c.limit);
        EXPECT_EQ(value, c.value);
        EXPECT_EQ(std::signbit(value), std::signbit(c.value));
        EXPECT_EQ(static_cast<std::size_t>(cursor - start), c.consumed);
    }
    // The digit-by-digit sums really differ from a correctly rounded conversion.
    EXPECT_NE(digitByDigit(0, {1, 5}), 0.15);
}

// Long fractions, through the standalone reader and through a load, against the digit-by-digit
// sum: the first two dozen digits take a faster route than the rest, and both must give
// the same bits as the plain sum at every length.
TEST(ReadWordNumber, LongNumbersGiveTheDigitByDigitSum)
{
    std::uint32_t state = 12345;
    const auto nextDigit = [&] {
        state = state * 1664525u + 1013904223u;
        return static_cast<int>((state >> 24) % 10);
    };
    for (int length = 1; length <= 40; ++length) {
        for (int round = 0; round < 25; ++round) {
            SCOPED_TRACE(length);
            // Every third number is tiny (0.000...ddddd), so that even its last digits
            // count; the last digit is never 0, so the line always moves.
            const bool tiny = round % 3 == 1;
            const int whole = tiny ? 0 : nextDigit() * 37;
            std::string text = std::to_string(whole);
            double expected = whole, denominator = 1.0;
            if (round % 4 == 3) { // a long whole part too, each digit a step in doubles
                text.clear();
                expected = 0.0;
                for (int k = 0; k < length; ++k) {
                    const int d = nextDigit();
                    text += static_cast<char>('0' + d);
                    expected = expected * 10.0 + d;
                }
            }
            text += ".";
            for (int k = 0; k < length; ++k) {
                int d = round == 0 ? 9 : nextDigit();
                if (tiny && k < length - 5)
                    d = 0;
                if (k == length - 1 && d == 0)
                    d = 1;
                text += static_cast<char>('0' + d);
                denominator *= 10.0;
                expected = expected + d / denominator;
            }
            const auto* start = reinterpret_cast<const unsigned char*>(text.data());
            const unsigned char* cursor = start;
            ASSERT_EQ(readWordNumber(cursor, start + text.size()), expected) << text;
            ASSERT_EQ(static_cast<std::size_t>(cursor - start), text.size());

            interpretText("G1 X" + text + " Y-" + text + "\n");
            ASSERT_EQ(toolpath.moveCount, 1) << text;
            ASSERT_EQ(toolpath.allBounds.maxX, expected) << text;
            ASSERT_EQ(toolpath.allBounds.minY, -expected) << text;
        }
    }
}

TEST(Interpreter, WordsAndNumbers)
{
    expectMoves({
        {"lower case letters", "g1 x5 s100", {expectedMove(0, 0, 5, 0, 100, Cut)}},
        {"leading zero in code", "G01 X-1.5 S1", {expectedMove(0, 0, -1.5, 0, 1, Cut)}},
        {"blank after letter", "G1 X 7", {expectedMove(0, 0, 7, 0, 0, Travel)}},
        {"blank after sign reads negative zero",
         "G1 X5\nX- 7",
         {expectedMove(0, 0, 5, 0, 0, Travel), expectedMove(5, 0, -0.0, 0, 0, Travel)}},
        {"second point", "G1 X1.2.3 S9", {expectedMove(0, 0, 1.2, 0, 9, Cut)}},
        {"leading and trailing point", "G1 X.5 Y5.", {expectedMove(0, 0, 0.5, 5, 0, Travel)}},
        {"exponent is an E word", "G1 X1e3 Y2", {expectedMove(0, 0, 1, 2, 0, Travel)}},
        {"lone G is G0",
         "G1 X5 S10\nG X7",
         {expectedMove(0, 0, 5, 0, 10, Cut), expectedMove(5, 0, 7, 0, 10, Travel)}},
        {"lone X is X0",
         "G1 X5 Y3\nX",
         {expectedMove(0, 0, 5, 3, 0, Travel), expectedMove(5, 3, 0, 3, 0, Travel)}},
        {"other letters read past",
         "N10 G1 X3 Z-2 I5 J6 E7 P1 T2 Y4",
         {expectedMove(0, 0, 3, 4, 0, Travel)}},
        {"bytes above 127 are noise", "G1 X3 \xC3\xA9Y4 \xFF", {expectedMove(0, 0, 3, 4, 0, Travel)}},
        {"zero bytes are noise", std::string("G1 X3\0Y4", 8), {expectedMove(0, 0, 3, 4, 0, Travel)}},
        {"no final line feed",
         "G1 X1\nY2",
         {expectedMove(0, 0, 1, 0, 0, Travel), expectedMove(1, 0, 1, 2, 0, Travel)}},
        {"huge G code has no effect",
         "G1 X1\nG" + std::string(400, '9') + " X2",
         {expectedMove(0, 0, 1, 0, 0, Travel), expectedMove(1, 0, 2, 0, 0, Travel)}},
        {"huge M code has no effect",
         "M5\nM" + std::string(30, '9') + " G1 X2 S5",
         {expectedMove(0, 0, 2, 0, 5, Travel)}},
        {"huge negative G code has no effect",
         "G1 X1\nG-" + std::string(20, '9') + " X2",
         {expectedMove(0, 0, 1, 0, 0, Travel), expectedMove(1, 0, 2, 0, 0, Travel)}},
        {"infinite coordinate",
         "G1 X" + std::string(400, '9'),
         {expectedMove(0, 0, std::numeric_limits<double>::infinity(), 0, 0, Travel)}},
    });
}

TEST(Interpreter, Comments)
{
    expectMoves({
        {"parenthesis hides words", "G1 X5 (X9) Y2", {expectedMove(0, 0, 5, 2, 0, Travel)}},
        {"unclosed parenthesis ends at the line end",
         "G1 X5 (X9 Y2\nY3",
         {expectedMove(0, 0, 5, 0, 0, Travel), expectedMove(5, 0, 5, 3, 0, Travel)}},
        {"semicolon to line end",
         "G1 X5 ; Y2\nY6",
         {expectedMove(0, 0, 5, 0, 0, Travel), expectedMove(5, 0, 5, 6, 0, Travel)}},
        {"parentheses do not nest", "G1 (a (b) X7) Y1", {expectedMove(0, 0, 7, 1, 0, Travel)}},
        {"stray closing parenthesis", "G1 X5 ) Y2", {expectedMove(0, 0, 5, 2, 0, Travel)}},
        {"semicolon inside parentheses", "G1 (;) X4", {expectedMove(0, 0, 4, 0, 0, Travel)}},
        {"parenthesis inside semicolon comment",
         "G1 X1 ; (\nX2",
         {expectedMove(0, 0, 1, 0, 0, Travel), expectedMove(1, 0, 2, 0, 0, Travel)}},
        {"comment on the last line without line feed",
         "G1 X1 (end",
         {expectedMove(0, 0, 1, 0, 0, Travel)}},
        {"CR LF line ends",
         "G1 X1\r\nX2\r\n",
         {expectedMove(0, 0, 1, 0, 0, Travel), expectedMove(1, 0, 2, 0, 0, Travel)}},
        {"CR alone is one line, last words win",
         "G1 X1\rX2\rY3",
         {expectedMove(0, 0, 2, 3, 0, Travel)}},
    });
}

TEST(Interpreter, UnitsAndModes)
{
    expectMoves({
        {"inches", "G20 G1 X1", {expectedMove(0, 0, 25.4, 0, 0, Travel)}},
        {"inches after the coordinate", "G1 X1 G20", {expectedMove(0, 0, 25.4, 0, 0, Travel)}},
        {"last unit of the line wins", "G20 X1 G21 G1", {expectedMove(0, 0, 1, 0, 0, Travel)}},
        {"inches persist, millimetres return",
         "G20\nG1 X1\nG21 X1",
         {expectedMove(0, 0, 25.4, 0, 0, Travel), expectedMove(25.4, 0, 1, 0, 0, Travel)}},
        {"relative",
         "G91\nG1 X5\nX5",
         {expectedMove(0, 0, 5, 0, 0, Travel), expectedMove(5, 0, 10, 0, 0, Travel)}},
        {"relative inches",
         "G20 G91\nG1 X1 Y-0.5\nX1",
         {expectedMove(0, 0, 25.4, -12.7, 0, Travel),
          expectedMove(25.4, -12.7, 50.8, -12.7, 0, Travel)}},
        {"absolute after relative on the same line",
         "G1 X4\nG91 X1 G90",
         {expectedMove(0, 0, 4, 0, 0, Travel), expectedMove(4, 0, 1, 0, 0, Travel)}},
        {"G91.1 leaves X and Y absolute",
         "G1 X2\nG91.1\nX5",
         {expectedMove(0, 0, 2, 0, 0, Travel), expectedMove(2, 0, 5, 0, 0, Travel)}},
        {"G91.1 after G91 on its line leaves it relative",
         "G1 G91 G91.1 X1\nX1",
         {expectedMove(0, 0, 1, 0, 0, Travel), expectedMove(1, 0, 2, 0, 0, Travel)}},
        {"G90.1 before G91 on its line leaves it relative",
         "G1 G90.1 G91 X1\nX1",
         {expectedMove(0, 0, 1, 0, 0, Travel), expectedMove(1, 0, 2, 0, 0, Travel)}},
        {"G90.1 after G90 on its line leaves it absolute",
         "G1 G91 X1\nG90 G90.1 X3",
         {expectedMove(0, 0, 1, 0, 0, Travel), expectedMove(1, 0, 3, 0, 0, Travel)}},
        {"G91.1 before G90 on its line leaves it absolute",
         "G1 G91 X1\nG91.1 G90 X3",
         {expectedMove(0, 0, 1, 0, 0, Travel), expectedMove(1, 0, 3, 0, 0, Travel)}},
        {"G91.0995 is G91.1 within a thousandth",
         "G1 X2\nG91.0995 X5",
         {expectedMove(0, 0, 2, 0, 0, Travel), expectedMove(2, 0, 5, 0, 0, Travel)}},
        {"G91.2 is G91",
         "G1 X2\nG91.2 X5",
         {expectedMove(0, 0, 2, 0, 0, Travel), expectedMove(2, 0, 7, 0, 0, Travel)}},
        {"no motion mode: coordinates ignored", "X10 Y10", {}},
        {"coordinates before the first motion word",
         "X10 Y10\nG1 X20",
         {expectedMove(0, 0, 20, 0, 0, Travel)}},
        {"relative before the first motion word",
         "G91\nX10\nG1 Y3",
         {expectedMove(0, 0, 0, 3, 0, Travel)}},
        {"same end point emits nothing", "G1 X10\nX10", {expectedMove(0, 0, 10, 0, 0, Travel)}},
        {"zero relative step emits nothing", "G91 G1 X0 Y0", {}},
        {"last motion word wins", "S5\nG0 G1 X5", {expectedMove(0, 0, 5, 0, 5, Cut)}},
        {"motion word alone sets the mode", "S5\nG1\nX3", {expectedMove(0, 0, 3, 0, 5, Cut)}},
        {"arc is its chord",
         "S5\nG2 X10 Y0 I5 J0\nG3 X0 Y0 R5",
         {expectedMove(0, 0, 10, 0, 5, Cut), expectedMove(10, 0, 0, 0, 5, Cut)}},
        {"Z alone is no move", "G1 Z-1", {}},
        {"G-0.5 is G0",
         "S5\nG1 X1\nG-0.5 X3",
         {expectedMove(0, 0, 1, 0, 5, Cut), expectedMove(1, 0, 3, 0, 5, Travel)}},
        {"G1.5 is G1", "S5\nG1.5 X4", {expectedMove(0, 0, 4, 0, 5, Cut)}},
        {"unknown G code is no motion", "G4 P1 X3", {}},
        {"Y only keeps X",
         "G1 X7\nY2",
         {expectedMove(0, 0, 7, 0, 0, Travel), expectedMove(7, 0, 7, 2, 0, Travel)}},
    });
}

TEST(Interpreter, MotionAndPower)
{
    expectMoves({
        {"S0 is travel", "G1 X10 S0", {expectedMove(0, 0, 10, 0, 0, Travel)}},
        {"M5 switches off", "M5\nG1 X10 S500", {expectedMove(0, 0, 10, 0, 500, Travel)}},
        {"power starts on", "G1 X10 S500", {expectedMove(0, 0, 10, 0, 500, Cut)}},
        {"G0 never cuts", "G0 X10 S500", {expectedMove(0, 0, 10, 0, 500, Travel)}},
        {"M3 and M4 switch on again",
         "M5\nG1 X1 S5\nM3 X2\nM5\nM4 X3",
         {expectedMove(0, 0, 1, 0, 5, Travel), expectedMove(1, 0, 2, 0, 5, Cut),
          expectedMove(2, 0, 3, 0, 5, Cut)}},
        {"M5.9 is M5", "M5.9 G1 X1 S5", {expectedMove(0, 0, 1, 0, 5, Travel)}},
        {"negative S is travel and stores 0", "G1 X1 S-3", {expectedMove(0, 0, 1, 0, 0, Travel)}},
        {"S persists",
         "G1 X1 S7\nX2",
         {expectedMove(0, 0, 1, 0, 7, Cut), expectedMove(1, 0, 2, 0, 7, Cut)}},
        {"S is stored clamped", "G1 X1 S50000", {expectedMove(0, 0, 1, 0, 32767, Cut)}},
        {"S rounded half to even",
         "G1 X1 S2.5\nX2 S3.5",
         {expectedMove(0, 0, 1, 0, 2, Cut), expectedMove(1, 0, 2, 0, 4, Cut)}},
        {"infinite S is clamped",
         "G1 X1 S" + std::string(400, '9'),
         {expectedMove(0, 0, 1, 0, 32767, Cut)}},
        {"S after the coordinate on the line counts", "G1 X1 S8", {expectedMove(0, 0, 1, 0, 8, Cut)}},
    });
}

TEST(Interpreter, SevenLineExample)
{
    interpretText("G21 G90\nM3 S1000\nG0 X10 Y10\nG1 X20 F600\nG1 Y20 S500\nM5\nG0 X0 Y0\n");
    const std::vector<Move> expected = {
        expectedMove(0, 0, 10, 10, 1000, Travel),
        expectedMove(10, 10, 20, 10, 1000, Cut),
        expectedMove(20, 10, 20, 20, 500, Cut),
        expectedMove(20, 20, 0, 0, 500, Travel),
    };
    ASSERT_EQ(toolpath.moveCount, 4);
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_TRUE(sameMove(toolpath.moves[i], expected[i]))
            << i << ": " << describe(toolpath.moves[i]);
    EXPECT_EQ(toolpath.maxPower, 1000.0);
    EXPECT_EQ(toolpath.estimatedSeconds, 2.0);
    EXPECT_TRUE(toolpath.allBounds.valid);
    EXPECT_EQ(toolpath.allBounds.minX, 0.0);
    EXPECT_EQ(toolpath.allBounds.minY, 0.0);
    EXPECT_EQ(toolpath.allBounds.maxX, 20.0);
    EXPECT_EQ(toolpath.allBounds.maxY, 20.0);
    EXPECT_TRUE(toolpath.cutBounds.valid);
    EXPECT_EQ(toolpath.cutBounds.minX, 10.0);
    EXPECT_EQ(toolpath.cutBounds.minY, 10.0);
    EXPECT_EQ(toolpath.cutBounds.maxX, 20.0);
    EXPECT_EQ(toolpath.cutBounds.maxY, 20.0);
}

TEST(Interpreter, NothingCarriesOverBetweenLoads)
{
    interpretText("G20 G91 M5 S9 F100\nG1 X1\n");
    interpretText("X1\n");
    EXPECT_EQ(toolpath.moveCount, 0); // no motion mode in the new load
    interpretText("G1 X1 S2\n");
    ASSERT_EQ(toolpath.moveCount, 1);
    EXPECT_TRUE(sameMove(toolpath.moves[0], expectedMove(0, 0, 1, 0, 2, Cut)));
    EXPECT_EQ(toolpath.estimatedSeconds, 0.0);
}

TEST(Interpreter, EmptyInputLoadsNothing)
{
    for (const char* text : {"", "\n", "%\n(only a comment)\n; another\n"}) {
        SCOPED_TRACE(text);
        interpretText(text);
        EXPECT_EQ(toolpath.moveCount, 0);
        EXPECT_FALSE(toolpath.allBounds.valid);
        EXPECT_FALSE(toolpath.cutBounds.valid);
        EXPECT_EQ(toolpath.maxPower, 1000.0);
        EXPECT_EQ(toolpath.estimatedSeconds, 0.0);
    }
}

} // namespace
