// Compares the interpreter with a slow, obvious reading of the same rules on generated
// G-code fragments full of the awkward cases: codes, signs, points, comments, line ends.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "compare_support.h"
#include "gcode_test_support.h"
#include "model/interpreter.h"
#include "reference_interpreter.h"

namespace {

class FragmentMaker {
public:
    explicit FragmentMaker(unsigned seed) : random_(seed) { }

    std::string fragment()
    {
        std::string text;
        const int lines = pick(1, 12);
        for (int i = 0; i < lines; ++i) {
            const int words = pick(0, 6);
            for (int w = 0; w < words; ++w)
                text += piece();
            text += oneOf({"\n", "\n", "\n", "\r\n", "\r", ""});
        }
        return text;
    }

private:
    int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }

    std::string oneOf(std::initializer_list<const char*> choices)
    {
        const int index = pick(0, static_cast<int>(choices.size()) - 1);
        return *(choices.begin() + index);
    }

    std::string digits(int count)
    {
        std::string text;
        for (int i = 0; i < count; ++i)
            text += static_cast<char>('0' + pick(0, 9));
        return text;
    }

    std::string number()
    {
        std::string text = oneOf({"", "", "", "-", "+", " ", "\t", "- ", " -"});
        text += digits(pick(0, 4));
        if (pick(0, 2) > 0)
            text += "." + digits(pick(0, 4));
        text += oneOf({"", "", "", "", ".5", "e3", "E-2"});
        return text;
    }

    std::string piece()
    {
        switch (pick(0, 14)) {
        case 0:
        case 1:
            return oneOf({"G", "g"}) +
                   oneOf({"0",  "1",    "2",    "3",   "01",   "20", "21", "90",
                          "91", "91.1", "-0.5", "1.5", "4",    "",   "17", "92",
                          "02", "03",   "2",    "3",   "90.1", "18", "19", "91.2"}) +
                   " ";
        case 2: return oneOf({"M", "m"}) + oneOf({"3", "4", "5", "5.9", "2", "05", "-3"}) + " ";
        case 3:
        case 4:
        case 5: return oneOf({"X", "x"}) + number() + oneOf({" ", "", ""});
        case 6:
        case 7:
        case 8: return oneOf({"Y", "y"}) + number() + oneOf({" ", "", ""});
        case 9: return oneOf({"S", "s"}) + number() + " ";
        case 10: return oneOf({"F", "f"}) + number() + " ";
        case 11:
            return oneOf({"Z", "I", "J", "N", "E", "R", "P", "T", "I", "J", "R", "i"}) + number() + " ";
        case 12: return oneOf({"(X9)", "(Y1 ", "; X3", ")", "(a (b) X7)", "(;)"});
        case 13: return oneOf({"%", "/", "*", "\xC3\xA9", "\x80", "\xFF", " ", "\t"});
        default: return std::string(1, '\0');
        }
    }

    std::mt19937 random_;
};

TEST(RandomisedComparison, InterpreterAgreesWithTheObviousReading)
{
    FragmentMaker maker(20260101);
    const TempFolder folder;
    int compared = 0, withMoves = 0;
    for (int round = 0; round < 20000; ++round) {
        const std::string text = maker.fragment();
        // Odd rounds follow arcs, whose points the two readings compute differently.
        const bool arcs = round % 2 == 1;
        loadArcs = arcs;
        interpretText(text);
        const std::string difference = differenceFromReference(referenceInterpret(text, arcs), arcs);
        ASSERT_EQ(difference, "") << "fragment: " << ::testing::PrintToString(text)
                                  << (arcs ? " with arcs" : "");
        if (round % 50 < 2) { // read from a file in pieces of 16 bytes on two threads: the same reading
            const ToolpathSnapshot whole = snapshotToolpath();
            const std::size_t pieceBytes = loadPieceBytes, sharedBytes = loadSharedBytes;
            loadPieceBytes = 16;
            loadSharedBytes = 0;
            ASSERT_TRUE(loadGcodeFile(folder.write("fragment.gcode", text)));
            loadPieceBytes = pieceBytes;
            loadSharedBytes = sharedBytes;
            ASSERT_TRUE(sameSnapshot(snapshotToolpath(), whole))
                << "in pieces: " << ::testing::PrintToString(text) << (arcs ? " with arcs" : "");
        }
        loadArcs = false;
        ++compared;
        withMoves += toolpath.moveCount > 0 ? 1 : 0;
    }
    // The generator must really exercise moves, not only empty fragments.
    EXPECT_GT(withMoves, compared / 2);
}

} // namespace
