// Checks where the main window opens and where its controls go, as pure arithmetic over a
// list of desktops, and the interface-language choice.
#include "app/main_window.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

namespace {

Settings savedGeometry(int x, int y, int width, int height, int maximized = 0)
{
    Settings s;
    s.windowX = x;
    s.windowY = y;
    s.windowWidth = width;
    s.windowHeight = height;
    s.maximized = maximized;
    return s;
}

constexpr int Unset = -65535;

} // namespace

TEST(MainWindowGeometry, OpeningSizeAndPlace)
{
    struct Row {
        const char* name;
        Settings saved;
        std::vector<DesktopArea> desktops;
        WindowPlan expected;
    };
    const std::vector<DesktopArea> fullHd = {{0, 0, 1920, 1080}};
    // Primary 1920 x 1080 with a second monitor to its left.
    const std::vector<DesktopArea> twoScreens = {{0, 0, 1920, 1080}, {-1280, 0, 1280, 1024}};
    const Row rows[] = {
        {"first start on 1920 x 1080: 80 %, centred",
         Settings{},
         fullHd,
         {0, 0, 1536, 864, true, false}},
        {"first start on 1280 x 720", Settings{}, {{0, 0, 1280, 720}}, {0, 0, 1024, 576, true, false}},
        {"first start on 1024 x 600: the width floor wins",
         Settings{},
         {{0, 0, 1024, 600}},
         {0, 0, 980, 480, true, false}},
        {"tiny desktop: both floors", Settings{}, {{0, 0, 800, 480}}, {0, 0, 980, 450, true, false}},
        {"saved width 2000 on 1920 is cut to 90 %",
         savedGeometry(10, 20, 2000, 700),
         fullHd,
         {10, 20, 1728, 700, false, false}},
        {"saved height too tall is cut on its own axis",
         savedGeometry(10, 20, 1200, 1100),
         fullHd,
         {10, 20, 1200, 972, false, false}},
        {"saved size only in one axis counts as unknown",
         savedGeometry(Unset, Unset, 1200, 0),
         fullHd,
         {0, 0, 1536, 864, true, false}},
        {"negative saved size counts as unknown",
         savedGeometry(Unset, Unset, -5, 700),
         fullHd,
         {0, 0, 1536, 864, true, false}},
        {"saved position on a removed second monitor: centred, saved size",
         savedGeometry(-1200, 100, 1000, 600),
         fullHd,
         {0, 0, 1000, 600, true, false}},
        {"saved position on the second monitor that is still there",
         savedGeometry(-1200, 100, 1000, 600),
         twoScreens,
         {-1200, 100, 1000, 600, false, false}},
        {"left edge off-screen, title-bar middle on the primary",
         savedGeometry(-400, 50, 1000, 600),
         fullHd,
         {-400, 50, 1000, 600, false, false}},
        {"title-bar middle just left of the primary",
         savedGeometry(-501, 50, 1000, 600),
         fullHd,
         {0, 0, 1000, 600, true, false}},
        {"top edge too high for the probe 10 below it",
         savedGeometry(100, -11, 1000, 600),
         fullHd,
         {0, 0, 1000, 600, true, false}},
        {"only X known", savedGeometry(100, Unset, 1000, 600), fullHd, {0, 0, 1000, 600, true, false}},
        {"position at the integer limit is off every desktop",
         savedGeometry(INT_MAX, INT_MAX, 1000, 600),
         fullHd,
         {0, 0, 1000, 600, true, false}},
        {"maximized flag is kept",
         savedGeometry(Unset, Unset, 0, 0, 1),
         fullHd,
         {0, 0, 1536, 864, true, true}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const WindowPlan plan = planMainWindow(row.saved, row.desktops);
        EXPECT_EQ(plan.width, row.expected.width);
        EXPECT_EQ(plan.height, row.expected.height);
        EXPECT_EQ(plan.centred, row.expected.centred);
        EXPECT_EQ(plan.maximized, row.expected.maximized);
        if (!row.expected.centred) {
            EXPECT_EQ(plan.x, row.expected.x);
            EXPECT_EQ(plan.y, row.expected.y);
        }
    }
}

TEST(MainWindowGeometry, ControlsFollowTheClientSize)
{
    struct Row {
        const char* name;
        int width, height;
        ControlBox canvas, status, donate;
    };
    const Row rows[] = {
        {"1536 x 864", 1536, 864, {0, 34, 1536, 804}, {6, 843, 1524, 20}, {1450, 4, 80, 26}},
        {"smallest the user can size to",
         980,
         360,
         {0, 34, 980, 300},
         {6, 339, 968, 20},
         {894, 4, 80, 26}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const ControlBox canvas = canvasBox(row.width, row.height);
        const ControlBox status = statusBox(row.width, row.height);
        const ControlBox donate = donateBox(row.width);
        for (const auto& [got, want] : {std::pair{canvas, row.canvas}, std::pair{status, row.status},
                                        std::pair{donate, row.donate}}) {
            EXPECT_EQ(got.x, want.x);
            EXPECT_EQ(got.y, want.y);
            EXPECT_EQ(got.width, want.width);
            EXPECT_EQ(got.height, want.height);
        }
    }
}

TEST(MainWindowGeometry, MaximizedStartRecordsTheRestoredGeometry)
{
    const DesktopArea primary{0, 0, 1920, 1080};
    const std::vector<DesktopArea> desktops = {primary};

    // No usable position: the centred place on the primary desktop is recorded.
    Settings s = savedGeometry(Unset, Unset, 0, 0, 1);
    recordMaximizedStart(s, planMainWindow(s, desktops), primary);
    EXPECT_EQ(s.windowX, (1920 - 1536) / 2);
    EXPECT_EQ(s.windowY, (1080 - 864) / 2);
    EXPECT_EQ(s.windowWidth, 1536);
    EXPECT_EQ(s.windowHeight, 864);

    // A usable saved position stays; the size becomes the one the window was planned with.
    s = savedGeometry(300, 200, 1100, 700, 1);
    recordMaximizedStart(s, planMainWindow(s, desktops), primary);
    EXPECT_EQ(s.windowX, 300);
    EXPECT_EQ(s.windowY, 200);
    EXPECT_EQ(s.windowWidth, 1100);

    // Narrower than the width floor: the offset is negative and truncates toward zero.
    const DesktopArea narrow{0, 0, 800, 600};
    const std::vector<DesktopArea> narrowList = {narrow};
    s = savedGeometry(Unset, Unset, 0, 0, 1);
    recordMaximizedStart(s, planMainWindow(s, narrowList), narrow);
    EXPECT_EQ(s.windowX, -90);
    EXPECT_EQ(s.windowY, (600 - 480) / 2);
}

TEST(MainWindowLanguage, SpanishForEverySpanishRegionOnly)
{
    struct Row {
        const char* name;
        int id;
        bool spanish;
    };
    const Row rows[] = {
        {"Spanish, Spain", 0x0C0A, true},   {"Spanish, Mexico", 0x080A, true},
        {"Spanish, neutral", 0x000A, true}, {"Catalan", 0x0403, false},
        {"English, US", 0x0409, false},     {"Basque", 0x042D, false},
        {"Galician", 0x0456, false},        {"Portuguese, Brazil", 0x0416, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(isSpanishLanguage(row.id), row.spanish);
    }
}
