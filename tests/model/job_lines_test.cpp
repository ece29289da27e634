// Checks that each move tells the line of the file that made it, and that line's text, however
// the file was read (one thread or two, small pieces) and whatever lies between the moves.
#include "model/job_lines.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gcode_test_support.h"
#include "model/interpreter.h"
#include "model/toolpath.h"

namespace {

struct ExpectedLine {
    std::int64_t number;
    std::string text;
};

TEST(JobLines, EachMoveTellsItsLineAndText)
{
    // Lines without moves of every kind, CR LF endings, a gap of more than 255 lines, more
    // than one chunk of moves and a last line without a line feed.
    std::string file;
    std::vector<ExpectedLine> expected;
    std::int64_t number = 0;
    const auto line = [&](const std::string& text, bool move, const std::string& ending = "\n") {
        file += text + ending;
        ++number;
        if (move)
            expected.push_back({number, text});
    };
    line("; header", false);
    line("G21 G90", false, "\r\n");
    line("G1 F600 S100 X10", true, "\r\n");
    line("", false);
    line("(comment) M3", false);
    line("G1 Y5 ; a comment", true);
    line("G1 Y5", false); // to where the tool is: no move
    for (int i = 0; i < 300; ++i)
        line("; padding", false);
    line("G0 X0 Y0", true);
    for (int i = 1; i <= 600; ++i)
        line("G1 X" + std::to_string(i % 10) + " Y" + std::to_string(i), true);
    file += "G1 X99 Y99";
    expected.push_back({number + 1, "G1 X99 Y99"});

    TempFolder folder;
    const std::string path = folder.write("lines.gcode", file);
    ASSERT_TRUE(createToolpath());
    const std::size_t pieceBytes = loadPieceBytes;
    const std::size_t sharedBytes = loadSharedBytes;
    for (const bool shared : {false, true}) {
        SCOPED_TRACE(shared ? "two threads, small pieces" : "one thread");
        loadPieceBytes = shared ? 61 : pieceBytes;
        loadSharedBytes = shared ? 0 : std::size_t{1} << 40;
        ASSERT_TRUE(loadGcodeFile(path));
        ASSERT_EQ(toolpath.moveCount, static_cast<std::int32_t>(expected.size()));
        for (std::size_t m = 0; m < expected.size(); ++m) {
            const JobLine got = jobLineOf(path, static_cast<std::int32_t>(m));
            ASSERT_EQ(got.number, expected[m].number) << "move " << m;
            ASSERT_EQ(got.text, expected[m].text) << "move " << m;
        }
    }
    loadPieceBytes = pieceBytes;
    loadSharedBytes = sharedBytes;

    EXPECT_EQ(jobLineOf(path, -1).number, 0);
    EXPECT_EQ(jobLineOf(path, toolpath.moveCount).number, 0);
    // The file gone: the number is still told, the text is not.
    const JobLine gone = jobLineOf(folder.path + "/none.gcode", 2);
    EXPECT_EQ(gone.number, expected[2].number);
    EXPECT_EQ(gone.text, "");
}

TEST(JobLines, EveryMoveOfAnArcTellsTheArcsLine)
{
    // Two circles of about 700 moves each, so that the moves' chunks begin inside arcs.
    TempFolder folder;
    const std::string path =
        folder.write("arc.gcode", "G21\nG1 F600 X10\nG2 X10 Y0 I200 J0\nG3 X10 Y0 I200 J0\nG1 X0\n");
    ASSERT_TRUE(createToolpath());
    loadArcs = true;
    const bool loaded = loadGcodeFile(path);
    loadArcs = false;
    ASSERT_TRUE(loaded);
    ASSERT_GT(toolpath.moveCount, 2 * PaceChunkMoves);
    const std::int32_t circle = (toolpath.moveCount - 2) / 2;
    EXPECT_EQ(jobLineOf(path, 0).number, 2);
    for (std::int32_t m = 1; m + 1 < toolpath.moveCount; ++m) {
        const JobLine line = jobLineOf(path, m);
        ASSERT_EQ(line.number, m <= circle ? 3 : 4) << "move " << m;
        ASSERT_EQ(line.text, m <= circle ? "G2 X10 Y0 I200 J0" : "G3 X10 Y0 I200 J0") << "move " << m;
    }
    EXPECT_EQ(jobLineOf(path, toolpath.moveCount - 1).number, 5);
}

TEST(JobLines, FeedOfEachMoveAsTheEstimateTimesIt)
{
    interpretText("G1 F600 S100 X20\nG0 X0 Y10\nG20 G1 F10 X1\nF0\nG1 X2\n");
    ASSERT_EQ(toolpath.moveCount, 4);
    EXPECT_DOUBLE_EQ(feedOfMove(0), 600.0);
    EXPECT_EQ(feedOfMove(1), 0.0) << "a rapid is not timed";
    EXPECT_DOUBLE_EQ(feedOfMove(2), 254.0) << "10 inches a minute";
    EXPECT_EQ(feedOfMove(3), 0.0) << "no positive feed";
    EXPECT_EQ(feedOfMove(4), 0.0);
}

} // namespace
