// Checks that the settings file is written byte for byte, read by every hand-editing rule,
// and replaced so that a failed save never damages the old file.
#include "app/settings_file.h"

#include "view/settings.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

// A fresh folder for one test, removed afterwards.
struct TempFolder {
    fs::path path;
    TempFolder()
    {
        std::string pattern = (fs::temp_directory_path() / "tolvan-settings-XXXXXX").string();
        path = mkdtemp(pattern.data());
    }
    ~TempFolder() { fs::remove_all(path); }
};

void writeBytes(const fs::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

std::string readBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

int entriesIn(const fs::path& folder)
{
    int count = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder))
        ++count;
    return count;
}

constexpr const char* ExampleFile = "\xEF\xBB\xBF\r\n"
                                    "[Opciones]\r\n"
                                    "Grises = 1\r\n"
                                    "Vacios = 0\r\n"
                                    "Mesa = 1\r\n"
                                    "Invertir = 0\r\n"
                                    "Pulgadas = 0\r\n"
                                    "[Ventana]\r\n"
                                    "X = 192\r\n"
                                    "Y = 108\r\n"
                                    "Ancho = 1536\r\n"
                                    "Alto = 864\r\n"
                                    "Maximizada = 0\r\n";

} // namespace

TEST(SettingsFile, SaveWithNoPriorFileWritesTheThirteenLines)
{
    TempFolder folder;
    const fs::path file = folder.path / "TolvanGcode" / "TolvanGcode.prefs";
    settings = Settings{};
    settings.windowX = 192;
    settings.windowY = 108;
    settings.windowWidth = 1536;
    settings.windowHeight = 864;

    // A fresh account: not even the configuration folder exists yet.
    const fs::path fresh = folder.path / "config" / "TolvanGcode" / "TolvanGcode.prefs";
    ASSERT_TRUE(saveSettingsTo(fresh.string(), false));
    EXPECT_TRUE(fs::is_regular_file(fresh));

    // The configuration folder exists but the program's own folder does not yet.
    ASSERT_TRUE(saveSettingsTo(file.string(), false));
    EXPECT_EQ(readBytes(file), ExampleFile);
    EXPECT_EQ(entriesIn(file.parent_path()), 1) << "no temporary file may be left behind";

    // Read back unchanged, and a maximized window with a negative position and an option
    // value from a hand edit is written as it stands.
    settings = Settings{};
    loadSettingsFrom(file.string());
    EXPECT_EQ(settings.windowX, 192);
    EXPECT_EQ(settings.windowHeight, 864);
    settings.greyByPower = 5;
    settings.windowX = -1200;
    ASSERT_TRUE(saveSettingsTo(file.string(), true));
    const std::string again = readBytes(file);
    EXPECT_NE(again.find("\r\nGrises = 5\r\n"), std::string::npos);
    EXPECT_NE(again.find("\r\nX = -1200\r\n"), std::string::npos);
    EXPECT_NE(again.find("\r\nMaximizada = 1\r\n"), std::string::npos);
}

TEST(SettingsFile, ArcsKeyIsWrittenOnlyWhileOn)
{
    TempFolder folder;
    const fs::path file = folder.path / "TolvanGcode.prefs";
    settings = Settings{};
    settings.windowX = 192;
    settings.windowY = 108;
    settings.windowWidth = 1536;
    settings.windowHeight = 864;
    settings.arcs = 1;
    ASSERT_TRUE(saveSettingsTo(file.string(), false));
    std::string expected = ExampleFile;
    expected.insert(expected.find("[Ventana]"), "Arcos = 1\r\n");
    EXPECT_EQ(readBytes(file), expected);
    settings = Settings{};
    loadSettingsFrom(file.string());
    EXPECT_EQ(settings.arcs, 1);

    // Off again: the very file of a user who never turned arcs on.
    settings.arcs = 0;
    ASSERT_TRUE(saveSettingsTo(file.string(), false));
    EXPECT_EQ(readBytes(file), ExampleFile);
    loadSettingsFrom(file.string());
    EXPECT_EQ(settings.arcs, 0);

    // A hand-edited value is kept as it stands.
    writeBytes(file, "[opciones]\narcos=7\n");
    loadSettingsFrom(file.string());
    EXPECT_EQ(settings.arcs, 7);
    ASSERT_TRUE(saveSettingsTo(file.string(), false));
    EXPECT_NE(readBytes(file).find("\r\nPulgadas = 0\r\nArcos = 7\r\n[Ventana]\r\n"),
              std::string::npos);
}

TEST(SettingsFile, ReadsHandEditedFiles)
{
    struct Row {
        const char* name;
        std::string text;
        Settings expected;
    };
    const Settings d{};
    auto with = [&](auto change) {
        Settings s = d;
        change(s);
        return s;
    };
    const Row rows[] = {
        {"empty file keeps defaults", "", d},
        {"byte order mark only", "\xEF\xBB\xBF", d},
        {"lower case names without blanks", "[opciones]\nmesa=0\ngrises=0\n[ventana]\nx=5\n",
         with([](Settings& s) { s.showBed = 0, s.greyByPower = 0, s.windowX = 5; })},
        {"no byte order mark, CR LF", "[Opciones]\r\nMesa = 0\r\n[Ventana]\r\nAncho = 1000\r\n",
         with([](Settings& s) { s.showBed = 0, s.windowWidth = 1000; })},
        {"leading blanks, blank lines and bare CR", "\r\r\n\n  \t[Opciones]\r\t Vacios\t=\t 1\r",
         with([](Settings& s) { s.showTravel = 1; })},
        {"comments are never keys or headers",
         "; Mesa = 0\n[Opciones]\n;Mesa=0\n; [Ventana]\n  ; Grises = 0\nInvertir = 1\n",
         with([](Settings& s) { s.invertColours = 1; })},
        {"only the first of two groups of one name is seen",
         "[Opciones]\nMesa = 0\n[Opciones]\nMesa = 1\nVacios = 1\n",
         with([](Settings& s) { s.showBed = 0; })},
        {"first key of a name wins", "[Opciones]\nMesa = 0\nMESA = 1\n",
         with([](Settings& s) { s.showBed = 0; })},
        {"12abc reads as 12, +700 as 700", "[Ventana]\nX = 12abc\nAlto = +700\n",
         with([](Settings& s) { s.windowX = 12, s.windowHeight = 700; })},
        {"a value without digits reads as 0, not the default", "[Opciones]\nMesa = yes\nGrises =\n",
         with([](Settings& s) { s.showBed = 0, s.greyByPower = 0; })},
        {"a key without equals sign reads as 0", "[Opciones]\nMesa\n",
         with([](Settings& s) { s.showBed = 0; })},
        {"any non-zero option stays as read", "[Opciones]\nGrises = 5\nPulgadas = -3\n",
         with([](Settings& s) { s.greyByPower = 5, s.inches = -3; })},
        {"a key in the wrong group is not found", "[Opciones]\nAncho = 1500\n[Ventana]\nAlto = 700\n",
         with([](Settings& s) { s.windowHeight = 700; })},
        {"keys before the first header belong to no group", "Mesa = 0\nX = 40\n[Opciones]\n", d},
        {"text after the closing bracket is ignored", "[Ventana] old\nY = -20 px\n",
         with([](Settings& s) { s.windowY = -20; })},
        {"a header without closing bracket runs to the line end", "[Ventana\nY = 30\n",
         with([](Settings& s) { s.windowY = 30; })},
        {"inner blanks of a group name count", "[ Ventana ]\nY = 30\n", d},
        {"values beyond 32 bits saturate",
         "[Ventana]\nX = 99999999999\nY = -99999999999999999999999\nAncho = 2147483648\n"
         "Alto = -2147483648\nMaximizada = 2147483647\n",
         with([](Settings& s) {
             s.windowX = INT_MAX, s.windowY = INT_MIN, s.windowWidth = INT_MAX,
             s.windowHeight = INT_MIN, s.maximized = INT_MAX;
         })},
        {"Latin-1 file without byte order mark", "; Configuraci\xF3n a mano\n[Opciones]\nMesa = 0\n",
         with([](Settings& s) { s.showBed = 0; })},
    };
    TempFolder folder;
    const fs::path file = folder.path / "TolvanGcode.prefs";
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        writeBytes(file, row.text);
        settings = Settings{};
        loadSettingsFrom(file.string());
        EXPECT_EQ(settings.greyByPower, row.expected.greyByPower);
        EXPECT_EQ(settings.showTravel, row.expected.showTravel);
        EXPECT_EQ(settings.showBed, row.expected.showBed);
        EXPECT_EQ(settings.invertColours, row.expected.invertColours);
        EXPECT_EQ(settings.inches, row.expected.inches);
        EXPECT_EQ(settings.windowX, row.expected.windowX);
        EXPECT_EQ(settings.windowY, row.expected.windowY);
        EXPECT_EQ(settings.windowWidth, row.expected.windowWidth);
        EXPECT_EQ(settings.windowHeight, row.expected.windowHeight);
        EXPECT_EQ(settings.maximized, row.expected.maximized);
    }
}

TEST(SettingsFile, ConvertsEightBitTextAndKeepsUtf8)
{
    SettingsStore store;
    parseSettingsText(store, "; caf\xE9\n");
    ASSERT_EQ(store.entries.size(), 1u);
    EXPECT_EQ(store.entries[0].name, "caf\xC3\xA9");
    parseSettingsText(store, "; caf\xC3\xA9\n");
    EXPECT_EQ(store.entries[0].name, "caf\xC3\xA9");
}

TEST(SettingsFile, UnreadableThingsAtThePathKeepTheDefaults)
{
    TempFolder folder;
    struct Row {
        const char* name;
        fs::path path;
    };
    const fs::path fifo = folder.path / "fifo.prefs";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const fs::path huge = folder.path / "huge.prefs";
    writeBytes(huge, "[Opciones]\nMesa = 0\n");
    fs::resize_file(huge, LargestSettingsFile + 1);
    const Row rows[] = {
        {"missing file", folder.path / "missing.prefs"},
        {"a folder", folder.path},
        {"a pipe nobody writes to (must not hang)", fifo},
        {"a file larger than any settings file", huge},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        settings = Settings{};
        settings.showBed = 7;
        loadSettingsFrom(row.path.string());
        EXPECT_EQ(settings.showBed, 7);
        EXPECT_EQ(settings.windowX, -65535);
    }
}

TEST(SettingsFile, RandomBytesNeverCrash)
{
    std::mt19937 random(20261207);
    const std::string alphabet = "[]=;; \t\r\n+-0123456789aAxXyYOpcionesVntMsG\xEF\xBB\xBF\xC3\xFF";
    for (int round = 0; round < 3000; ++round) {
        std::string bytes(random() % 300, '\0');
        for (char& c : bytes)
            c = round % 2 ? static_cast<char>(random()) : alphabet[random() % alphabet.size()];
        SettingsStore store;
        parseSettingsText(store, bytes);
        store.open = true;
        selectSettingsGroup(store, "Opciones");
        const int value = readSettingsInteger(store, "Mesa", 1);
        selectSettingsGroup(store, "ventana");
        EXPECT_GE(readSettingsInteger(store, "x", value), INT_MIN);
    }
}

TEST(SettingsFile, SaveReplacesTheOldFileWhole)
{
    TempFolder folder;
    const fs::path file = folder.path / "TolvanGcode.prefs";
    // A longer hand-made file: nothing of it may survive after the new, shorter text.
    const std::string old = std::string(ExampleFile) + "; " + std::string(5000, '~') + "\r\n";
    writeBytes(file, old);
    settings = Settings{};
    ASSERT_TRUE(saveSettingsTo(file.string(), false));
    const std::string written = readBytes(file);
    EXPECT_EQ(written.find('~'), std::string::npos);
    EXPECT_EQ(written.size(), 3 + 2 +
                                  std::string("[Opciones]\r\nGrises = 1\r\nVacios = 0\r\nMesa = 1\r\n"
                                              "Invertir = 0\r\nPulgadas = 0\r\n[Ventana]\r\n"
                                              "X = -65535\r\nY = -65535\r\nAncho = 0\r\n"
                                              "Alto = 0\r\nMaximizada = 0\r\n")
                                      .size());
    EXPECT_EQ(entriesIn(folder.path), 1);
}

TEST(SettingsFile, FailedSaveLeavesTheOldFileIntact)
{
    TempFolder folder;
    const fs::path file = folder.path / "TolvanGcode.prefs";
    writeBytes(file, ExampleFile);
    settings = Settings{};
    settings.showBed = 0;

    // A disk that fills up after a few bytes: the write stops half-way.
    struct rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit tiny = saved;
    tiny.rlim_cur = 20;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tiny), 0);
    const bool saved_ok = saveSettingsTo(file.string(), false);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(saved_ok);
    EXPECT_EQ(readBytes(file), ExampleFile);
    EXPECT_EQ(entriesIn(folder.path), 1) << "the half-written temporary file must be removed";

    // A folder that cannot be created (a file stands in its way): nothing is written.
    EXPECT_FALSE(saveSettingsTo((file / "TolvanGcode" / "x.prefs").string(), false));
    EXPECT_EQ(readBytes(file), ExampleFile);
    // A folder standing at the settings path is not replaced.
    fs::create_directory(folder.path / "sub");
    EXPECT_FALSE(saveSettingsTo((folder.path / "sub").string(), false));
    EXPECT_TRUE(fs::is_directory(folder.path / "sub"));
}

TEST(SettingsFile, SaveThroughSymbolicLinks)
{
    TempFolder folder;
    fs::create_directory(folder.path / "real");
    const fs::path target = folder.path / "real" / "mine.prefs";
    const fs::path link = folder.path / "TolvanGcode.prefs";
    writeBytes(target, ExampleFile);
    fs::create_symlink(target, link);
    settings = Settings{};
    settings.inches = 1;
    ASSERT_TRUE(saveSettingsTo(link.string(), false));
    EXPECT_TRUE(fs::is_symlink(link)) << "the user's link must stay a link";
    EXPECT_NE(readBytes(target).find("Pulgadas = 1\r\n"), std::string::npos);
    EXPECT_EQ(entriesIn(folder.path / "real"), 1);

    // A dangling link is left alone rather than replaced by a plain file.
    const fs::path dangling = folder.path / "dangling.prefs";
    fs::create_symlink(folder.path / "gone" / "x.prefs", dangling);
    EXPECT_FALSE(saveSettingsTo(dangling.string(), false));
    EXPECT_TRUE(fs::is_symlink(dangling));
}

TEST(SettingsFile, PathIsInTheConfigurationFolder)
{
    struct Row {
        const char* name;
        const char* configHome;
        const char* home;
        std::string expected;
    };
    const Row rows[] = {
        {"XDG configuration folder", "/tmp/cfg", "/home/ana", "/tmp/cfg/TolvanGcode/TolvanGcode.prefs"},
        {"no XDG folder: ~/.config", nullptr, "/home/ana",
         "/home/ana/.config/TolvanGcode/TolvanGcode.prefs"},
        {"no folder at all: relative to the current folder", nullptr, nullptr,
         "TolvanGcode/TolvanGcode.prefs"},
    };
    const std::string savedConfig = getenv("XDG_CONFIG_HOME") ? getenv("XDG_CONFIG_HOME") : "";
    const std::string savedHome = getenv("HOME") ? getenv("HOME") : "";
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        row.configHome ? setenv("XDG_CONFIG_HOME", row.configHome, 1) : unsetenv("XDG_CONFIG_HOME");
        row.home ? setenv("HOME", row.home, 1) : unsetenv("HOME");
        EXPECT_EQ(settingsPath(), row.expected);
    }
    savedConfig.empty() ? unsetenv("XDG_CONFIG_HOME")
                        : setenv("XDG_CONFIG_HOME", savedConfig.c_str(), 1);
    savedHome.empty() ? unsetenv("HOME") : setenv("HOME", savedHome.c_str(), 1);
}
