// Checks file loading: what loads, what is refused with the store untouched, and when the
// loading progress is reported.
#include "model/interpreter.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <limits>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "gcode_test_support.h"
#include "model/load_pipeline.h"
#include "model/loading_progress.h"
#include "model/toolpath.h"
#include "tests/support/failing_new.h"

namespace {

// A store holding a recognisable earlier load, to show that a refused file leaves it be.
ToolpathSnapshot loadSomethingFirst(const TempFolder& folder)
{
    EXPECT_TRUE(createToolpath());
    EXPECT_TRUE(loadGcodeFile(folder.write("first.gcode", "G1 F60 S7 X3 Y-2\nG0 X-1\n")));
    EXPECT_EQ(toolpath.moveCount, 2);
    return snapshotToolpath();
}

TEST(LoadGcodeFile, RefusedFilesLeaveTheToolpathUntouched)
{
    TempFolder folder;
    const std::string fifo = folder.path + "/pipe.gcode";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string sparse = folder.path + "/huge.gcode";
    {
        const int fd = open(sparse.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(ftruncate(fd, 2147483646), 0) << "a sparse file of 2147483646 bytes";
        close(fd);
    }
    struct Case {
        const char* name;
        std::string path;
    };
    const std::vector<Case> cases = {
        {"missing file", folder.path + "/missing.gcode"},
        {"empty path", ""},
        {"folder", folder.path},
        {"FIFO with no writer", fifo},
        {"device", "/dev/zero"},
        {"2147483646 bytes", sparse},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ToolpathSnapshot before = loadSomethingFirst(folder);
        EXPECT_FALSE(loadGcodeFile(c.path));
        EXPECT_TRUE(sameSnapshot(before, snapshotToolpath()));
    }
}

TEST(LoadGcodeFile, UnreadableFileIsRefused)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "running as root: every file is readable";
    TempFolder folder;
    const std::string path = folder.write("locked.gcode", "G1 X1\n");
    ASSERT_EQ(chmod(path.c_str(), 0), 0);
    const ToolpathSnapshot before = loadSomethingFirst(folder);
    EXPECT_FALSE(loadGcodeFile(path));
    EXPECT_TRUE(sameSnapshot(before, snapshotToolpath()));
}

TEST(LoadGcodeFile, ReadableFilesLoadWhateverTheyHold)
{
    struct Case {
        const char* name;
        std::string contents;
        int moveCount;
    };
    const std::vector<Case> cases = {
        {"empty file", "", 0},
        {"no moves", "G21\n(nothing)\n", 0},
        {"CR LF lines", "G1 X1\r\nY1\r\nX0\r\n", 3},
        {"last line without line feed", "G1 X1\nY1", 2},
        {"binary noise", std::string("\0\xff\x01G1 X2\x80\n", 11), 1},
    };
    TempFolder folder;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        loadSomethingFirst(folder);
        EXPECT_TRUE(loadGcodeFile(folder.write("case.gcode", c.contents)));
        EXPECT_EQ(toolpath.moveCount, c.moveCount);
        EXPECT_GT(toolpath.maxPower, 0.0);
        if (c.moveCount == 0) {
            EXPECT_FALSE(toolpath.allBounds.valid);
            EXPECT_EQ(toolpath.estimatedSeconds, 0.0);
        }
    }
}

// A reload replaces the store only with a file read whole; anything else leaves the last
// good toolpath in place, and says why.
TEST(ReloadGcodeFile, KeepsTheToolpathUnlessTheFileIsWhole)
{
    TempFolder folder;
    const std::string huge = folder.write("huge.gcode", "");
    ASSERT_EQ(truncate(huge.c_str(), 2147483646), 0) << "a sparse file of 2147483646 bytes";
    struct Case {
        const char* name;
        std::string path;
        ReloadResult result;
    };
    const std::vector<Case> cases = {
        {"gone", folder.path + "/gone.gcode", ReloadResult::Gone},
        {"too large", huge, ReloadResult::TooLarge},
        {"a folder on the way", folder.write("plain", "x") + "/job.gcode", ReloadResult::Gone},
        {"a folder", folder.path, ReloadResult::Unreadable},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ToolpathSnapshot before = loadSomethingFirst(folder);
        EXPECT_EQ(reloadGcodeFile(c.path), c.result);
        EXPECT_TRUE(sameSnapshot(before, snapshotToolpath()));
    }
    loadSomethingFirst(folder);
    EXPECT_EQ(reloadGcodeFile(folder.write("new.gcode", "G1 X1\nY1\nX0\n")), ReloadResult::Loaded);
    EXPECT_EQ(toolpath.moveCount, 3);
    // A file left empty is read whole: nothing in it, so nothing is drawn.
    EXPECT_EQ(reloadGcodeFile(folder.write("empty.gcode", "")), ReloadResult::Loaded);
    EXPECT_EQ(toolpath.moveCount, 0);
}

TEST(LoadGcodeFile, GivesTheSameToolpathAsTheBufferPath)
{
    TempFolder folder;
    const std::string text = "G20 G91\nM3 S300 G1 F50 X1 Y0.5\nX-0.25 (back)\nG90 G0 X0 Y0 ; home\n";
    ASSERT_TRUE(createToolpath());
    ASSERT_TRUE(loadGcodeFile(folder.write("job.gcode", text)));
    const ToolpathSnapshot fromFile = snapshotToolpath();
    interpretText(text);
    EXPECT_TRUE(sameSnapshot(fromFile, snapshotToolpath()));
    EXPECT_EQ(fromFile.moveCount, 3);
}

// Records every progress report of a load.
std::vector<std::pair<std::string, int>> progressReports;
void recordProgress(const std::string& name, int percent)
{
    progressReports.emplace_back(name, percent);
}

struct ProgressHookGuard {
    ProgressHookGuard()
    {
        progressReports.clear();
        loadingProgressHook = recordProgress;
    }
    ~ProgressHookGuard() { loadingProgressHook = nullptr; }
};

std::string repeatedLines(const std::string& line, int count)
{
    std::string text;
    text.reserve(line.size() * count);
    for (int i = 0; i < count; ++i)
        text += line;
    return text;
}

TEST(LoadingProgress, ReportedAtStartThenEvery20000thLineWhenThePercentageChanges)
{
    using Reports = std::vector<std::pair<std::string, int>>;
    struct Case {
        const char* name;
        std::string contents;
        Reports reports;
    };
    const std::vector<Case> cases = {
        {"empty file", "", {{"job.nc", 0}}},
        {"19999 lines", repeatedLines("G1 X1\n", 19998) + "G1 X2", {{"job.nc", 0}}},
        // 6-byte lines: line n starts at 6 (n - 1) of 600000 bytes.
        {"100000 lines",
         repeatedLines("G1 X1\n", 100000),
         {{"job.nc", 0},
          {"job.nc", 19},
          {"job.nc", 39},
          {"job.nc", 59},
          {"job.nc", 79},
          {"job.nc", 99}}},
        // The first check always reports (the start leaves no percentage); later ones only
        // when the percentage moves: line 40000 is still at 0 percent of this file.
        {"same percentage twice",
         repeatedLines("\n", 40000) + std::string(10'000'000, ' '),
         {{"job.nc", 0}, {"job.nc", 0}}},
        {"check on the empty line after the last line feed",
         repeatedLines("\n", 19999),
         {{"job.nc", 0}, {"job.nc", 100}}},
    };
    TempFolder folder;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = folder.write("job.nc", c.contents);
        ASSERT_TRUE(createToolpath());
        ProgressHookGuard guard;
        ASSERT_TRUE(loadGcodeFile(path));
        EXPECT_EQ(progressReports, c.reports);
    }
}

TEST(LoadingProgress, NoHookNoReport)
{
    ASSERT_EQ(loadingProgressHook, nullptr);
    interpretText(repeatedLines("G1 X1\n", 20000)); // must not call through a null hook
    EXPECT_EQ(toolpath.moveCount, 1);
}

// A reload whose moves do not fit in memory leaves the shown toolpath whole and says why;
// a first load keeps the moves read so far and says that it stopped short.
TEST(ReloadGcodeFile, KeepsTheShownToolpathWithoutMemoryOrDescriptorsAndSaysSo)
{
    TempFolder folder;
    const std::string big =
        folder.write("big.gcode", repeatedLines("G1 X1\nX2\n", InitialMoveCapacity / 2 + 1));
    for (const bool twoThreads : {false, true}) {
        SCOPED_TRACE(twoThreads ? "two threads" : "one thread");
        const std::size_t sharedBytes = loadSharedBytes;
        loadSharedBytes = twoThreads ? 0 : std::numeric_limits<std::size_t>::max();
        largestMoveCapacity = InitialMoveCapacity; // one move short of the file
        const ToolpathSnapshot before = loadSomethingFirst(folder);
        EXPECT_EQ(reloadGcodeFile(big), ReloadResult::OutOfMemory);
        EXPECT_TRUE(sameSnapshot(before, snapshotToolpath()));
        EXPECT_TRUE(loadGcodeFile(big));
        EXPECT_TRUE(loadCutShort);
        EXPECT_EQ(toolpath.moveCount, InitialMoveCapacity);
        largestMoveCapacity = std::numeric_limits<std::int32_t>::max();
        EXPECT_EQ(reloadGcodeFile(big), ReloadResult::Loaded);
        EXPECT_EQ(toolpath.moveCount, InitialMoveCapacity + 1);
        EXPECT_TRUE(loadGcodeFile(big));
        EXPECT_FALSE(loadCutShort);
        loadSharedBytes = sharedBytes;
    }
    // With no descriptor to be had, that is the reason given, not an unreadable file.
    const ToolpathSnapshot before = loadSomethingFirst(folder);
    rlimit limit{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limit), 0);
    const rlimit saved = limit;
    limit.rlim_cur = 0;
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &limit), 0);
    const ReloadResult result = reloadGcodeFile(big);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &saved), 0);
    EXPECT_EQ(result, ReloadResult::TooManyFiles);
    EXPECT_TRUE(sameSnapshot(before, snapshotToolpath()));
}

std::size_t openDescriptors()
{
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

// From the start of a load on, small allocations fail on the loading thread: the helper
// thread cannot be started, and the load goes on without it.
void failSmallAllocationsFromTheStart(const std::string&, int percent)
{
    if (percent == 0)
        failAllocationsBelow = 4096;
}

TEST(LoadGcodeFile, AHelperThatCannotStartLeavesTheLoadToTheCallingThread)
{
    TempFolder folder;
    const std::string text = repeatedLines("G1 S500 X1 Y2\nX3\n", 500);
    const std::string path = folder.write("job.gcode", text);
    interpretText(text);
    const ToolpathSnapshot expected = snapshotToolpath();
    const std::size_t sharedBytes = loadSharedBytes;
    loadSharedBytes = 0;
    const std::size_t descriptors = openDescriptors();
    loadingProgressHook = failSmallAllocationsFromTheStart;
    const bool loaded = loadGcodeFile(path);
    failAllocationsBelow = 0;
    loadingProgressHook = nullptr;
    loadSharedBytes = sharedBytes;
    EXPECT_TRUE(loaded);
    EXPECT_TRUE(sameSnapshot(expected, snapshotToolpath()));
    EXPECT_EQ(openDescriptors(), descriptors);
}

// The helper hands its last block over full while every room of the ring is taken, and
// tells the applying thread it is done, while that thread empties the rooms: a slow
// applying thread and each count of lines on a step of 512 bring that about in some of
// the loads. Run under ThreadSanitizer, the handing over must show no race; everywhere,
// the toolpath must be that of one thread.
void slowProgress(const std::string&, int)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

TEST(LoadGcodeFile, TwoThreadsHandOverTheirLastBlockWhateverItsFill)
{
    TempFolder folder;
    ASSERT_TRUE(createToolpath());
    const std::size_t sharedBytes = loadSharedBytes;
    for (int lines = 6 * 16384; lines <= 7 * 16384; lines += 512) {
        SCOPED_TRACE(lines);
        const std::string text = repeatedLines("G1 X1.5\nG1 X2.5\n", lines / 2); // 8-byte lines
        const std::string path = folder.write("job.gcode", text);
        loadSharedBytes = std::numeric_limits<std::size_t>::max();
        ASSERT_TRUE(loadGcodeFile(path));
        const ToolpathSnapshot expected = snapshotToolpath();
        loadSharedBytes = 0;
        loadingProgressHook = slowProgress;
        const bool loaded = loadGcodeFile(path);
        loadingProgressHook = nullptr;
        EXPECT_TRUE(loaded);
        EXPECT_FALSE(loadCutShort);
        EXPECT_TRUE(sameSnapshot(expected, snapshotToolpath()));
    }
    loadSharedBytes = sharedBytes;
}

// Rings so small that a few hundred lines wrap them again and again, with one room, with no
// text passed on, and with lines longer than the text a block may pass on; then a store that
// cannot grow stops the load with the ring full. The toolpath is always that of one thread.
TEST(LoadGcodeFile, TwoThreadsWrapASmallRingAndStopWhereOneThreadStops)
{
    TempFolder folder;
    ASSERT_TRUE(createToolpath());
    const std::size_t sharedBytes = loadSharedBytes;
    const LoadRingSizes defaultSizes = loadRingSizes;
    const auto loadBothWays = [&](const std::string& path, const LoadRingSizes& sizes) {
        loadSharedBytes = std::numeric_limits<std::size_t>::max();
        EXPECT_TRUE(loadGcodeFile(path));
        const ToolpathSnapshot expected = snapshotToolpath();
        const bool cutShort = loadCutShort;
        loadSharedBytes = 0;
        loadRingSizes = sizes;
        EXPECT_TRUE(loadGcodeFile(path));
        loadRingSizes = defaultSizes;
        EXPECT_EQ(loadCutShort, cutShort);
        EXPECT_TRUE(sameSnapshot(expected, snapshotToolpath()));
        return cutShort;
    };
    const std::string varied = folder.write(
        "varied.gcode", repeatedLines("G1 X1.5 S100 F600\n(a comment)\nG0 X2.5 Y-1\n"
                                      "; a comment longer than the text a block passes on\n"
                                      "G2 X4 Y0 I1 J0\r\nG91 G1 X0.25\nG90\n",
                                      300));
    const LoadRingSizes small[] = {{3, 2, 8, 4}, {1, 1, 0, 4}, {5, 3, 12, 4}, {2, 16, 64, 16}};
    for (const LoadRingSizes& sizes : small) {
        SCOPED_TRACE(sizes.linesPerBlock * 100 + static_cast<std::size_t>(sizes.blocks));
        EXPECT_FALSE(loadBothWays(varied, sizes));
    }
    largestMoveCapacity = InitialMoveCapacity;
    const std::string big =
        folder.write("big.gcode", repeatedLines("G1 X1.5\nG1 X2.5\n", InitialMoveCapacity / 2 + 50));
    EXPECT_TRUE(loadBothWays(big, {64, 2, 32, 8}));
    EXPECT_TRUE(loadBothWays(big, {7, 1, 0, 4}));
    EXPECT_EQ(toolpath.moveCount, InitialMoveCapacity);
    largestMoveCapacity = std::numeric_limits<std::int32_t>::max();
    loadSharedBytes = sharedBytes;
}

} // namespace
