// Checks the path helpers: name parts, file sizes and folder creation.
#include "platform/paths.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

TEST(Paths, FolderAndFileParts)
{
    struct Case {
        const char* name;
        const char* path;
        const char* folder;
        const char* file;
    };
    const std::vector<Case> cases = {
        {"unix path", "/home/ana/jobs/part.gcode", "/home/ana/jobs/", "part.gcode"},
        {"bare name", "part.gcode", "", "part.gcode"},
        {"empty", "", "", ""},
        // Only "/" separates: quotes, backslashes and bars are bytes of the names.
        {"quote in the name", "/tmp/my\"job.gc", "/tmp/", "my\"job.gc"},
        {"backslash in the name", "/tmp/a\\b.gc", "/tmp/", "a\\b.gc"},
        {"bar in a folder", "/tmp/x|y/d.gc", "/tmp/x|y/", "d.gc"},
        {"leading quote", "\"/tmp/a.gc\"", "\"/tmp/", "a.gc\""},
        {"trailing separator", "/tmp/jobs/", "/tmp/jobs/", ""},
        {"root file", "/x.gcode", "/", "x.gcode"},
        {"multi-byte name", "/tmp/pañuelo€.gcode", "/tmp/", "pañuelo€.gcode"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(folderPart(c.path), c.folder);
        EXPECT_EQ(filePart(c.path), c.file);
    }
}

struct Scratch {
    Scratch()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "tolvan-paths-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr)
            std::abort();
        path = pattern;
    }
    ~Scratch()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::string path;
};

TEST(Paths, FileSize)
{
    Scratch scratch;
    const std::string empty = scratch.path + "/empty.gcode";
    const std::string five = scratch.path + "/five.gcode";
    std::ofstream(empty).close();
    std::ofstream(five) << "G1 X1";
    EXPECT_EQ(fileSize(empty), 0);
    EXPECT_EQ(fileSize(five), 5);
    EXPECT_EQ(fileSize(scratch.path), -2);
    EXPECT_EQ(fileSize(scratch.path + "/"), -2);
    EXPECT_EQ(fileSize(scratch.path + "/missing"), -1);
    EXPECT_EQ(fileSize(five + "/below-a-file"), -1);
    EXPECT_EQ(fileSize(""), -1);
}

TEST(Paths, CreateFolder)
{
    Scratch scratch;
    struct Case {
        const char* name;
        std::string given;
        std::string created;
    };
    const std::vector<Case> cases = {
        {"plain", scratch.path + "/plain", scratch.path + "/plain"},
        {"trailing slash", scratch.path + "/slash/", scratch.path + "/slash"},
        {"trailing blanks and slashes", scratch.path + "/back/ /  ", scratch.path + "/back"},
        {"backslash is part of the name", scratch.path + "/back\\", scratch.path + "/back\\"},
        {"already there", scratch.path + "/plain", scratch.path + "/plain"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        createFolder(c.given);
        EXPECT_TRUE(std::filesystem::is_directory(c.created));
    }
    // One level only, and silent when it cannot be made.
    createFolder(scratch.path + "/missing/child");
    EXPECT_FALSE(std::filesystem::exists(scratch.path + "/missing"));
    createFolder("");
    createFolder("  //");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(scratch.path), {}), 4);
}

} // namespace
