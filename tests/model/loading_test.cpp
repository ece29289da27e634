// Checks file loading: what loads, what is refused with the store untouched, and when the
// loading progress is reported.
#include "model/interpreter.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "gcode_test_support.h"
#include "model/loading_progress.h"
#include "model/toolpath.h"

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
    struct Case {
        const char* name;
        std::string path;
        ReloadResult result;
    };
    const std::vector<Case> cases = {
        {"gone", folder.path + "/gone.gcode", ReloadResult::Gone},
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

} // namespace
