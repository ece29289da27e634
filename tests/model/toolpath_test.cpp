// Checks the toolpath store: start-up state, records, power storage, bounds and growth.
#include "model/toolpath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include <sys/resource.h>

#include "gcode_test_support.h"
#include "model/interpreter.h"

namespace {

TEST(Toolpath, StartsEmptyWithZeroFilledStorage)
{
    ASSERT_TRUE(createToolpath());
    EXPECT_EQ(toolpath.capacity, InitialMoveCapacity);
    EXPECT_EQ(toolpath.moveCount, 0);
    EXPECT_FALSE(toolpath.allBounds.valid);
    EXPECT_FALSE(toolpath.cutBounds.valid);
    EXPECT_EQ(toolpath.maxPower, 1000.0);
    EXPECT_EQ(toolpath.estimatedSeconds, 0.0);
    const Move zero{};
    for (std::int32_t i = 0; i < toolpath.capacity; i += 997)
        ASSERT_TRUE(sameMove(toolpath.moves[i], zero)) << i;
    EXPECT_TRUE(sameMove(toolpath.moves[toolpath.capacity - 1], zero));
}

TEST(Toolpath, StoresPowerClampedAndRoundedHalfToEven)
{
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        const char* name;
        double power;
        int stored;
    };
    const std::vector<Case> cases = {
        {"above the range", 40000.0, 32767},
        {"half up to even", 127.5, 128},
        {"half down to even", 126.5, 126},
        {"negative", -5.0, 0},
        {"not a number", std::numeric_limits<double>::quiet_NaN(), 0},
        {"positive infinity", inf, 32767},
        {"negative infinity", -inf, 0},
        {"half to zero", 0.5, 0},
        {"just below the top", 32766.5, 32766},
        {"top", 32767.0, 32767},
        {"just above the top", 32767.4, 32767},
        {"ordinary fraction", 99.7, 100},
    };
    ASSERT_TRUE(createToolpath());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        clearToolpath();
        ASSERT_TRUE(appendMove(0, 0, 1, 2, c.power, false));
        EXPECT_EQ(toolpath.moves[0].power, c.stored);
    }
}

TEST(Toolpath, RecordsAndBounds)
{
    ASSERT_TRUE(createToolpath());
    clearToolpath();
    // Lopsided: an F shape off the origin, so a swapped axis or bound cannot pass.
    ASSERT_TRUE(appendMove(0, 0, 3, 1, 0, true));
    ASSERT_TRUE(appendMove(3, 1, 3, 9, 7, false));
    ASSERT_TRUE(appendMove(3, 9, 8, 9, 7, false));
    ASSERT_TRUE(appendMove(8, 9, 3, 5, 0, true));
    ASSERT_TRUE(appendMove(3, 5, 6, 5, 7, false));
    ASSERT_TRUE(appendMove(6, 5, -2, -4, 0, true));
    EXPECT_EQ(toolpath.moveCount, 6);
    EXPECT_TRUE(sameMove(toolpath.moves[1], expectedMove(3, 1, 3, 9, 7, false)));
    EXPECT_EQ(toolpath.moves[5].travel, 1);
    EXPECT_EQ(toolpath.moves[4].unused, 0);

    const Bounds& all = toolpath.allBounds;
    EXPECT_TRUE(all.valid);
    EXPECT_EQ(all.minX, -2.0);
    EXPECT_EQ(all.minY, -4.0);
    EXPECT_EQ(all.maxX, 8.0);
    EXPECT_EQ(all.maxY, 9.0);
    const Bounds& cut = toolpath.cutBounds;
    EXPECT_TRUE(cut.valid);
    EXPECT_EQ(cut.minX, 3.0);
    EXPECT_EQ(cut.minY, 1.0);
    EXPECT_EQ(cut.maxX, 8.0);
    EXPECT_EQ(cut.maxY, 9.0);
}

TEST(Toolpath, BoundsCases)
{
    struct Case {
        const char* name;
        std::vector<Move> moves; // as doubles they are the same values
        Bounds all, cut;
    };
    const std::vector<Case> cases = {
        {"single move down and right",
         {expectedMove(0, 0, 10, -5, 9, false)},
         {0, -5, 10, 0, true},
         {0, -5, 10, 0, true}},
        {"travel only",
         {expectedMove(0, 0, 4, 3, 9, true), expectedMove(4, 3, -1, 2, 9, true)},
         {-1, 0, 4, 3, true},
         {0, 0, 0, 0, false}},
        {"cut starts where travel ended",
         {expectedMove(0, 0, 4, 3, 0, true), expectedMove(4, 3, 6, 1, 9, false)},
         {0, 0, 6, 3, true},
         {4, 1, 6, 3, true}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(createToolpath());
        clearToolpath();
        for (const Move& m : c.moves)
            ASSERT_TRUE(appendMove(m.x1, m.y1, m.x2, m.y2, m.power, m.travel != 0));
        for (const auto& [got, want] :
             {std::pair{toolpath.allBounds, c.all}, std::pair{toolpath.cutBounds, c.cut}}) {
            EXPECT_EQ(got.valid, want.valid);
            if (want.valid) {
                EXPECT_EQ(got.minX, want.minX);
                EXPECT_EQ(got.minY, want.minY);
                EXPECT_EQ(got.maxX, want.maxX);
                EXPECT_EQ(got.maxY, want.maxY);
            }
        }
    }
}

TEST(Toolpath, BoundsUseTheDoublesBeforeNarrowing)
{
    ASSERT_TRUE(createToolpath());
    clearToolpath();
    const double x = 0.1; // not a float
    ASSERT_TRUE(appendMove(0, 0, x, 1e-300, 0, false));
    EXPECT_EQ(toolpath.allBounds.maxX, x);
    EXPECT_EQ(toolpath.cutBounds.maxY, 1e-300);
    EXPECT_EQ(toolpath.moves[0].x2, 0.1f);
    EXPECT_EQ(toolpath.moves[0].y2, 0.0f);
}

TEST(Toolpath, GrowsAtTheMoveAfterCapacityKeepingRecords)
{
    ASSERT_TRUE(createToolpath());
    clearToolpath();
    for (int i = 0; i < InitialMoveCapacity; ++i)
        ASSERT_TRUE(appendMove(i, -i * 0.5, i + 1, -(i + 1) * 0.5, i % 300, i % 3 == 0));
    EXPECT_EQ(toolpath.capacity, InitialMoveCapacity);
    const std::vector<Move> before = storedMoves();

    ASSERT_TRUE(appendMove(1, 2, 3, 4, 5, false)); // the 100002nd move
    EXPECT_EQ(toolpath.capacity, 2 * InitialMoveCapacity - 1);
    EXPECT_EQ(toolpath.moveCount, InitialMoveCapacity + 1);
    for (int i = 0; i < InitialMoveCapacity; ++i)
        ASSERT_TRUE(sameMove(toolpath.moves[i], before[i])) << i;
    EXPECT_TRUE(sameMove(toolpath.moves[InitialMoveCapacity], expectedMove(1, 2, 3, 4, 5, false)));
    const Move zero{};
    for (std::int32_t i = InitialMoveCapacity + 1; i < toolpath.capacity; i += 101)
        ASSERT_TRUE(sameMove(toolpath.moves[i], zero)) << i;
    EXPECT_TRUE(sameMove(toolpath.moves[toolpath.capacity - 1], zero));
}

TEST(Toolpath, SmallerLoadKeepsTheLargerStorage)
{
    ASSERT_TRUE(createToolpath());
    std::string big = "G1 S1\n";
    for (int i = 1; i <= InitialMoveCapacity + 10; ++i)
        big += "X" + std::to_string(i % 2) + " Y" + std::to_string(i) + "\n";
    std::vector<unsigned char> buffer(big.begin(), big.end());
    buffer.resize(big.size() + 2);
    interpretGcodeBuffer(buffer.data(), big.size(), "big.gcode");
    EXPECT_EQ(toolpath.moveCount, InitialMoveCapacity + 10);
    EXPECT_EQ(toolpath.capacity, 2 * InitialMoveCapacity - 1);

    const std::string small = "G1 X5 Y6\n";
    std::vector<unsigned char> smallBuffer(small.begin(), small.end());
    smallBuffer.resize(small.size() + 2);
    interpretGcodeBuffer(smallBuffer.data(), small.size(), "small.gcode");
    EXPECT_EQ(toolpath.capacity, 2 * InitialMoveCapacity - 1);
    ASSERT_EQ(toolpath.moveCount, 1);
    EXPECT_TRUE(sameMove(toolpath.moves[0], expectedMove(0, 0, 5, 6, 0, true)));
    EXPECT_EQ(toolpath.allBounds.maxY, 6.0);
}

TEST(Toolpath, GrowthBeyondA32BitCountFails)
{
    // A store at a capacity whose double would not fit the 32-bit count: growth must fail
    // before anything is written (the storage behind it is far smaller than the count says).
    ASSERT_TRUE(createToolpath());
    Move* const storage = toolpath.moves;
    const std::int32_t capacity = toolpath.capacity;
    toolpath.capacity = 1'100'000'000;
    toolpath.moveCount = 1'100'000'000;
    const bool appended = appendMove(0, 0, 1, 1, 1, false);
    const std::int32_t countAfter = toolpath.moveCount;
    const Move* storageAfter = toolpath.moves;
    const std::int32_t capacityAfter = toolpath.capacity;
    toolpath.capacity = capacity;
    toolpath.moveCount = 0;
    EXPECT_FALSE(appended);
    EXPECT_EQ(countAfter, 1'100'000'000);
    EXPECT_EQ(capacityAfter, 1'100'000'000);
    EXPECT_EQ(storageAfter, storage);
}

// The sanitizers reserve terabytes of address space for their shadow memory, so a limit on
// it means nothing under them.
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
// In a child with little address space: growing fails, the load stops with the moves
// stored so far and reports success, and nothing is written past the storage. On two
// threads the headroom also holds the helper's stack and blocks of lines.
void loadWhileMemoryRunsOut(bool twoThreads)
{
    loadSharedBytes = twoThreads ? 0 : std::numeric_limits<std::size_t>::max();
    // Two threads need room for the helper's stack (8 MB) and its blocks of lines (4.5 MB),
    // but not for the 4 MB of a grown store as well.
    const unsigned long headroom = (twoThreads ? 14 : 1) * 1024 * 1024;
    if (!createToolpath())
        std::_Exit(10);
    std::string text = "G1 S1\n";
    // More lines after the failure than the helper reads ahead: it must be told to stop.
    for (int i = 1; i <= 2 * InitialMoveCapacity; ++i)
        text += "Y" + std::to_string(i) + "\n";
    std::vector<unsigned char> buffer(text.begin(), text.end());
    buffer.resize(text.size() + 2);
    // Room for a little more than what is in use now, not for 4 MB more storage.
    rlimit limit{};
    std::FILE* statm = std::fopen("/proc/self/statm", "r");
    unsigned long pages = 0;
    if (statm == nullptr || std::fscanf(statm, "%lu", &pages) != 1)
        std::_Exit(11);
    std::fclose(statm);
    limit.rlim_cur = limit.rlim_max = pages * 4096 + headroom;
    if (setrlimit(RLIMIT_AS, &limit) != 0)
        std::_Exit(12);
    interpretGcodeBuffer(buffer.data(), text.size(), "big.gcode");
    if (toolpath.capacity != InitialMoveCapacity)
        std::_Exit(13);
    if (toolpath.moveCount != InitialMoveCapacity)
        std::_Exit(14);
    const Move& last = toolpath.moves[InitialMoveCapacity - 1];
    if (last.y2 != static_cast<float>(InitialMoveCapacity) || toolpath.maxPower != 1.0)
        std::_Exit(15);
    std::_Exit(0);
}

TEST(ToolpathDeathTest, FailedGrowthStopsTheLoadKeepingTheMoves)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(loadWhileMemoryRunsOut(false), testing::ExitedWithCode(0), "");
    EXPECT_EXIT(loadWhileMemoryRunsOut(true), testing::ExitedWithCode(0), "");
}
#endif

} // namespace
