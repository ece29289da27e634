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

TEST(Corpus, EveryFileLoadsIntoAConsistentToolpath)
{
    if (!std::filesystem::is_directory(TOLVAN_CORPUS_DIR))
        GTEST_SKIP() << "corpus folder " << TOLVAN_CORPUS_DIR << " is absent";
    const std::vector<std::filesystem::path> files = corpusFiles();
    ASSERT_FALSE(files.empty());
    int withMoves = 0;
    for (const auto& file : files) {
        SCOPED_TRACE(file.filename().string());
        ASSERT_TRUE(createToolpath());
        ASSERT_TRUE(loadGcodeFile(file.string()));
        EXPECT_LE(toolpath.moveCount, toolpath.capacity);
        EXPECT_GT(toolpath.maxPower, 0.0);
        if (toolpath.moveCount == 0)
            continue;
        ++withMoves;
        ASSERT_TRUE(toolpath.allBounds.valid);
        EXPECT_EQ(toolpath.moves[0].x1, 0.0f);
        EXPECT_EQ(toolpath.moves[0].y1, 0.0f);
        int cuts = 0;
        for (std::int32_t i = 0; i < toolpath.moveCount; ++i) {
            const Move& m = toolpath.moves[i];
            if (i > 0) {
                ASSERT_EQ(m.x1, toolpath.moves[i - 1].x2) << "chain broken at move " << i;
                ASSERT_EQ(m.y1, toolpath.moves[i - 1].y2) << "chain broken at move " << i;
            }
            ASSERT_TRUE(inside(m.x1, m.y1, toolpath.allBounds) &&
                        inside(m.x2, m.y2, toolpath.allBounds))
                << i;
            ASSERT_LE(m.travel, 1);
            ASSERT_EQ(m.unused, 0);
            ASSERT_GE(m.power, 0);
            if (m.travel == 0) {
                ++cuts;
                ASSERT_TRUE(toolpath.cutBounds.valid);
                ASSERT_TRUE(inside(m.x1, m.y1, toolpath.cutBounds) &&
                            inside(m.x2, m.y2, toolpath.cutBounds))
                    << i;
                ASSERT_GT(m.power, 0) << "a cutting move needs S above 0 at move " << i;
            }
        }
        EXPECT_EQ(toolpath.cutBounds.valid, cuts > 0);

        std::ifstream in(file, std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(differenceFromReference(referenceInterpret(text)), "");

        // Again a few bytes at a time: lines split between pieces, lines longer than one.
        const std::size_t pieceBytes = loadPieceBytes;
        loadPieceBytes = 61;
        ASSERT_TRUE(loadGcodeFile(file.string()));
        loadPieceBytes = pieceBytes;
        EXPECT_EQ(differenceFromReference(referenceInterpret(text)), "") << "read in pieces of 61 bytes";

        // On two threads, from a whole file in memory: blocks of lines handed over in turn.
        const std::size_t sharedBytes = loadSharedBytes;
        loadSharedBytes = 0;
        ASSERT_EQ(reloadGcodeFile(file.string()), ReloadResult::Loaded);
        loadSharedBytes = sharedBytes;
        EXPECT_EQ(differenceFromReference(referenceInterpret(text)), "") << "read on two threads";
    }
    EXPECT_GT(withMoves, 0);
}

} // namespace
