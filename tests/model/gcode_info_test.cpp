// Runs the gcode-info command on small files and checks its report, records and exit codes.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <sys/wait.h>

#include "gcode_test_support.h"

namespace {

struct RunResult {
    int status = -1;
    std::string output;
};

// Runs gcode-info with `arguments` (already quoted for the shell); standard error is dropped.
RunResult runGcodeInfo(const std::string& arguments)
{
    RunResult result;
    const std::string command = std::string("'") + GCODE_INFO_PATH + "' " + arguments + " 2>/dev/null";
    std::FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return result;
    char chunk[4096];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0)
        result.output.append(chunk, got);
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::string withoutBlanks(const std::string& text)
{
    std::string compact;
    for (char c : text)
        if (c != ' ' && c != '\n')
            compact += c;
    return compact;
}

TEST(GcodeInfo, ReportsTheSevenLineExample)
{
    TempFolder folder;
    const std::string path = folder.write(
        "seven.gcode", "G21 G90\nM3 S1000\nG0 X10 Y10\nG1 X20 F600\nG1 Y20 S500\nM5\nG0 X0 Y0\n");
    const RunResult run = runGcodeInfo("'" + path + "' --moves 2");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(withoutBlanks(run.output),
              "{\"loaded\":true,\"moveCount\":4,\"capacity\":100001,"
              "\"allBounds\":{\"valid\":true,\"minX\":0,\"minY\":0,\"maxX\":20,\"maxY\":20},"
              "\"cutBounds\":{\"valid\":true,\"minX\":10,\"minY\":10,\"maxX\":20,\"maxY\":20},"
              "\"maxPower\":1000,\"estimatedSeconds\":2,"
              "\"status_mm_en\":\"Estimatedtime:1min(0:00:02)Bounds:X10.00→20.00Y10.00→20.00"
              "Size:10.00×10.00mm\","
              "\"status_in_en\":\"Estimatedtime:1min(0:00:02)Bounds:X0.394→0.787Y0.394→0.787"
              "Size:0.394×0.394in\","
              "\"status_mm_es\":\"Tiempoestimado:1min(0:00:02)Límites:X10.00→20.00Y10.00→20.00"
              "Tamaño:10.00×10.00mm\","
              "\"status_in_es\":\"Tiempoestimado:1min(0:00:02)Límites:X0.394→0.787Y0.394→0.787"
              "Tamaño:0.394×0.394in\","
              "\"moves\":[{\"x1\":0,\"y1\":0,\"x2\":10,\"y2\":10,\"power\":1000,\"travel\":true},"
              "{\"x1\":10,\"y1\":10,\"x2\":20,\"y2\":10,\"power\":1000,\"travel\":false}]}");
}

TEST(GcodeInfo, NumbersReadBackExactly)
{
    TempFolder folder;
    // 0.1 mm is no float and no short double once multiplied: 0.1 x 25.4.
    const std::string path =
        folder.write("inch.gcode", "G20 G1 X0.1 S" + std::string(400, '9') + " F7\n");
    const RunResult run = runGcodeInfo("'" + path + "' --moves 1");
    EXPECT_EQ(run.status, 0);
    const std::string compact = withoutBlanks(run.output);
    EXPECT_NE(compact.find("\"maxX\":2.54"), std::string::npos) << compact; // 0.1 * 25.4 prints as 2.54
    EXPECT_NE(compact.find("\"maxPower\":\"+Infinity\""), std::string::npos) << compact;
    EXPECT_NE(compact.find("\"x2\":2.54,"), std::string::npos) << compact;
    // 2.54 mm at 7 inches (177.8 mm) a minute.
    EXPECT_NE(compact.find("\"estimatedSeconds\":0.8571428571428572"), std::string::npos) << compact;
}

TEST(GcodeInfo, WritesRawLittleEndianRecords)
{
    TempFolder folder;
    const std::string path = folder.write("two.gcode", "G1 X1.5 S300\nG0 Y-2\n");
    const std::string records = folder.path + "/moves.bin";
    const RunResult run = runGcodeInfo("'" + path + "' --moves-out '" + records + "'");
    EXPECT_EQ(run.status, 0);
    std::ifstream in(records, std::ios::binary);
    const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)),
                                           std::istreambuf_iterator<char>());
    const std::vector<unsigned char> expected = {
        0,    0,    0,    0,    0, 0,    0,    0,    0, 0,
        0xC0, 0x3F, 0,    0,    0, 0,    0x2C, 0x01, 0, 0, // (0,0)-(1.5,0) S300 cut
        0,    0,    0xC0, 0x3F, 0, 0,    0,    0,    0, 0,
        0xC0, 0x3F, 0,    0,    0, 0xC0, 0x2C, 0x01, 1, 0, // (1.5,0)-(1.5,-2) travel
    };
    EXPECT_EQ(bytes, expected);
}

TEST(GcodeInfo, ExitCodes)
{
    TempFolder folder;
    const std::string empty = folder.write("empty.gcode", "");
    struct Case {
        const char* name;
        std::string arguments;
        int status;
    };
    const std::vector<Case> cases = {
        {"loaded, no moves", "'" + empty + "'", 0},
        {"missing file", "'" + folder.path + "/missing.gcode'", 1},
        {"folder", "'" + folder.path + "'", 1},
        {"no file", "", 2},
        {"two files", "'" + empty + "' '" + empty + "'", 2},
        {"unknown option", "'" + empty + "' --fast", 2},
        {"count missing", "'" + empty + "' --moves", 2},
        {"count not a number", "'" + empty + "' --moves ten", 2},
        {"negative count", "'" + empty + "' --moves -1", 2},
        {"path missing", "'" + empty + "' --moves-out", 2},
        {"unwritable records", "'" + empty + "' --moves-out '" + folder.path + "/no/such/folder/x.bin'",
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(runGcodeInfo(c.arguments).status, c.status);
    }
}

} // namespace

TEST(GcodeInfo, StatusTextsAreEmptyWithoutMoves)
{
    TempFolder folder;
    const std::string path = folder.write("comments.gcode", "; only a comment\n(and another)\n");
    const RunResult run = runGcodeInfo("'" + path + "'");
    EXPECT_EQ(run.status, 0);
    const std::string compact = withoutBlanks(run.output);
    for (const char* key : {"status_mm_en", "status_in_en", "status_mm_es", "status_in_es"})
        EXPECT_NE(compact.find(std::string("\"") + key + "\":\"\""), std::string::npos) << key;
}
