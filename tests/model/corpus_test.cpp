// Loads every third-party G-code file of the corpus and checks the store's invariants and
// agreement with the reference reading.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "compare_support.h"
#include "gcode_test_support.h"
#include "model/interpreter.h"
#include "model/toolpath.h"
#include "reference_interpreter.h"

namespace {

std::vector<std::filesystem::path> corpusFiles()
{
    std::vector<std::filesystem::path> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(TOLVAN_CORPUS_DIR, error))
        if (entry.is_regular_file())
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

// A stored point lies inside the bounds once both are narrowed the same way.
bool inside(float x, float y, const Bounds& b)
{
    return static_cast<float>(b.minX) <= x && x <= static_cast<float>(b.maxX) &&
           static_cast<float>(b.minY) <= y && y <= static_cast<float>(b.maxY);
}

// Loads the file with arcs followed or not and checks the store against the reference
// reading, whole, in pieces and on two threads. Returns the number of moves.
std::int32_t checkFile(const std::filesystem::path& file, bool arcs)
{
    SCOPED_TRACE(file.filename().string() + (arcs ? " with arcs" : " with chords"));
    loadArcs = arcs;
    EXPECT_TRUE(createToolpath());
    EXPECT_TRUE(loadGcodeFile(file.string()));
    EXPECT_LE(toolpath.moveCount, toolpath.capacity);
    EXPECT_GT(toolpath.maxPower, 0.0);
    if (toolpath.moveCount == 0)
        return 0;
    EXPECT_TRUE(toolpath.allBounds.valid);
    EXPECT_EQ(toolpath.moves[0].x1, 0.0f);
    EXPECT_EQ(toolpath.moves[0].y1, 0.0f);
    int cuts = 0;
    for (std::int32_t i = 0; i < toolpath.moveCount; ++i) {
        const Move& m = toolpath.moves[i];
        if (i > 0) {
            EXPECT_EQ(m.x1, toolpath.moves[i - 1].x2) << "chain broken at move " << i;
            EXPECT_EQ(m.y1, toolpath.moves[i - 1].y2) << "chain broken at move " << i;
        }
        EXPECT_TRUE(inside(m.x1, m.y1, toolpath.allBounds) && inside(m.x2, m.y2, toolpath.allBounds))
            << i;
        EXPECT_LE(m.travel, 1);
        EXPECT_EQ(m.unused, 0);
        EXPECT_GE(m.power, 0);
        if (m.travel == 0) {
            ++cuts;
            EXPECT_TRUE(toolpath.cutBounds.valid);
            EXPECT_TRUE(inside(m.x1, m.y1, toolpath.cutBounds) &&
                        inside(m.x2, m.y2, toolpath.cutBounds))
                << i;
            EXPECT_GT(m.power, 0) << "a cutting move needs S above 0 at move " << i;
        }
        if (::testing::Test::HasFailure())
            return 0; // one broken move says enough
    }
    EXPECT_EQ(toolpath.cutBounds.valid, cuts > 0);

    std::ifstream in(file, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(differenceFromReference(referenceInterpret(text, arcs), arcs), "");
    const ToolpathSnapshot whole = snapshotToolpath();

    // Again a few bytes at a time: lines split between pieces, lines longer than one.
    const std::size_t pieceBytes = loadPieceBytes;
    loadPieceBytes = 61;
    EXPECT_TRUE(loadGcodeFile(file.string()));
    loadPieceBytes = pieceBytes;
    EXPECT_TRUE(sameSnapshot(snapshotToolpath(), whole)) << "read in pieces of 61 bytes";

    // On two threads, from a whole file in memory: blocks of lines handed over in turn.
    const std::size_t sharedBytes = loadSharedBytes;
    loadSharedBytes = 0;
    EXPECT_EQ(reloadGcodeFile(file.string()), ReloadResult::Loaded);
    loadSharedBytes = sharedBytes;
    EXPECT_TRUE(sameSnapshot(snapshotToolpath(), whole)) << "read on two threads";
    return whole.moveCount;
}

TEST(Corpus, EveryFileLoadsIntoAConsistentToolpath)
{
    if (!std::filesystem::is_directory(TOLVAN_CORPUS_DIR))
        GTEST_SKIP() << "corpus folder " << TOLVAN_CORPUS_DIR << " is absent";
    const std::vector<std::filesystem::path> files = corpusFiles();
    ASSERT_FALSE(files.empty());
    int withMoves = 0, withArcs = 0;
    for (const auto& file : files) {
        const std::int32_t chords = checkFile(file, false);
        const std::int32_t arcs = checkFile(file, true);
        loadArcs = false;
        withMoves += chords > 0 ? 1 : 0;
        withArcs += arcs > chords ? 1 : 0;
    }
    EXPECT_GT(withMoves, 0);
    EXPECT_GT(withArcs, 0) << "no file's arcs were followed";
}

} // namespace
