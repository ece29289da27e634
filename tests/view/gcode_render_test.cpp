// Runs the gcode-render tool as a user or a file manager would: exit codes, image size and
// the status line on standard output.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <string>
#include <sys/wait.h>

namespace {

struct Outcome {
    int exitCode;
    std::string output;
};

Outcome run(const std::string& arguments)
{
    const std::string command = std::string(GCODE_RENDER) + " " + arguments + " 2>/dev/null";
    Outcome outcome{-1, ""};
    std::FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return outcome;
    std::array<char, 4096> chunk{};
    while (std::fgets(chunk.data(), static_cast<int>(chunk.size()), pipe) != nullptr)
        outcome.output += chunk.data();
    const int status = pclose(pipe);
    outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return outcome;
}

// Width and height from a PNG's header; 0 x 0 when it is no PNG.
std::pair<int, int> pngSize(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    unsigned char header[24] = {};
    if (!in.read(reinterpret_cast<char*>(header), sizeof header) || header[1] != 'P' ||
        header[2] != 'N')
        return {0, 0};
    auto big = [&](int at) {
        return (header[at] << 24) | (header[at + 1] << 16) | (header[at + 2] << 8) | header[at + 3];
    };
    return {big(16), big(20)};
}

std::string writeFile(const std::string& name, const std::string& text)
{
    const std::string path = ::testing::TempDir() + name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

TEST(GcodeRender, RendersAtTheAskedSizeAndPrintsTheStatusLine)
{
    const std::string input =
        writeFile("render_in.gcode", "G21 G90\nG0 X2 Y1\nM3 S500\nG1 X10 Y5 F600\n");
    struct Row {
        const char* name;
        std::string options;
        int width, height;
        const char* bounds;
    } rows[] = {
        {"defaults", "", 800, 600,
         "Bounds:  X 2.00 \u2192 10.00   Y 1.00 \u2192 5.00        Size: 8.00 \u00d7 4.00 mm\n"},
        {"thumbnail size, inches, dark", "--size 128x128 --inches --invert --travel", 128, 128,
         "Bounds:  X 0.079 \u2192 0.394   Y 0.039 \u2192 0.197        Size: 0.315 \u00d7 0.157 in\n"},
        {"scaled display", "--size 900x600 --scale 1.5 --no-bed --no-grey", 900, 600,
         "Bounds:  X 2.00 \u2192 10.00   Y 1.00 \u2192 5.00        Size: 8.00 \u00d7 4.00 mm\n"},
        {"a replay's cursor in a given view", "--upto 0:00:00.4 --view 6,3,40 --no-marker", 800, 600,
         "Bounds:  X 2.00 \u2192 10.00   Y 1.00 \u2192 5.00        Size: 8.00 \u00d7 4.00 mm\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string output = ::testing::TempDir() + "render_out.png";
        std::remove(output.c_str());
        const Outcome outcome = run(input + " " + output + " " + row.options);
        ASSERT_EQ(outcome.exitCode, 0);
        EXPECT_EQ(pngSize(output), std::make_pair(row.width, row.height));
        EXPECT_EQ(outcome.output.rfind("Estimated time: ", 0), 0u) << outcome.output;
        const std::size_t bounds = outcome.output.find("Bounds:");
        ASSERT_NE(bounds, std::string::npos);
        EXPECT_EQ(outcome.output.substr(bounds), row.bounds);
    }
}

TEST(GcodeRender, FailsClearlyOnBadInputOrArguments)
{
    const std::string input = writeFile("render_ok.gcode", "G1 X1 Y1 S10\n");
    const std::string output = ::testing::TempDir() + "render_fail.png";
    struct Row {
        const char* name;
        std::string arguments;
        int exitCode;
    } rows[] = {
        {"missing input", ::testing::TempDir() + "no_such_file.gcode " + output, 1},
        {"a folder as input", ::testing::TempDir() + " " + output, 1},
        {"unwritable output", input + " " + ::testing::TempDir() + "no_such_folder/x.png", 1},
        {"no output named", input, 2},
        {"unknown option", input + " " + output + " --sideways", 2},
        {"bad size", input + " " + output + " --size 0x10", 2},
        {"size without a cross", input + " " + output + " --size 100", 2},
        {"scale out of range", input + " " + output + " --scale 100", 2},
        {"upto without a place", input + " " + output + " --upto", 2},
        {"upto not a place", input + " " + output + " --upto 1:2:3:4", 2},
        {"upto beyond the moves", input + " " + output + " --upto 2", 2},
        {"upto beyond the time", input + " " + output + " --upto 0:00:01", 2},
        {"upto share above all", input + " " + output + " --upto 100.5%", 2},
        {"view with two numbers", input + " " + output + " --view 1,2", 2},
        {"view not numbers", input + " " + output + " --view 1,2,x", 2},
        {"view scale out of range", input + " " + output + " --view 1,2,0", 2},
        {"view in exponent form", input + " " + output + " --view 1e999,2,3", 2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(run(row.arguments).exitCode, row.exitCode);
    }
}

TEST(GcodeRender, FileWithoutMovesRendersTheMessageCanvas)
{
    const std::string input = writeFile("render_empty.gcode", "; only a comment\n");
    const std::string output = ::testing::TempDir() + "render_empty.png";
    const Outcome outcome = run(input + " " + output + " --size 300x200");
    ASSERT_EQ(outcome.exitCode, 0);
    EXPECT_EQ(pngSize(output), std::make_pair(300, 200));
    EXPECT_EQ(outcome.output, "\n") << "an empty status line";
}

} // namespace
