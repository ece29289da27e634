// Checks the loading picture: bar geometry, message, fill and the event drain.
#include "model/loading_progress.h"
#include "platform/drawing.h"
#include "tests/view/view_world.h"
#include "view/loading_picture.h"

namespace {

struct Box {
    int x, y, w, h;
    int mode;
    ColourValue colour;
    bool operator==(const Box&) const = default;
};

std::vector<Box> boxes()
{
    std::vector<Box> found;
    for (const Call& call : callsOf(Op::RasterBox))
        found.push_back({static_cast<int>(call.a), static_cast<int>(call.b), static_cast<int>(call.c),
                         static_cast<int>(call.d), std::stoi(call.text), call.colour});
    return found;
}

TEST(LoadingPicture, BarGeometry)
{
    const ColourValue back = makeRgb(255, 255, 255), hint = makeRgb(120, 120, 120),
                      bar = makeRgb(70, 130, 210);
    struct Row {
        const char* name;
        int width, height;
        double uiScale;
        int percent;
        std::vector<Box> expected;
    } rows[] = {
        {"0 percent: an empty outline",
         1000,
         600,
         1.0,
         0,
         {{0, 0, 1000, 600, RasterFilled, back}, {300, 300, 400, 18, RasterOutline, hint}}},
        {"1 percent: a strip of 396 / 100 pixels",
         1000,
         600,
         1.0,
         1,
         {{0, 0, 1000, 600, RasterFilled, back},
          {300, 300, 400, 18, RasterOutline, hint},
          {302, 302, 3, 14, RasterFilled, bar}}},
        {"99 percent",
         1000,
         601,
         1.0,
         99,
         {{0, 0, 1000, 601, RasterFilled, back},
          {300, 300, 400, 18, RasterOutline, hint},
          {302, 302, 392, 14, RasterFilled, bar}}},
        {"height 22.5 rounds to even 22",
         1001,
         600,
         1.25,
         0,
         {{0, 0, 1001, 600, RasterFilled, back}, {300, 300, 400, 22, RasterOutline, hint}}},
        {"height 31.5 rounds to even 32",
         999,
         600,
         1.75,
         0,
         {{0, 0, 999, 600, RasterFilled, back}, {299, 300, 400, 32, RasterOutline, hint}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        resetWorld(row.width, row.height);
        viewState.uiScale = row.uiScale;
        showLoadingProgress("part.gcode", row.percent);
        EXPECT_EQ(boxes(), row.expected);
    }
}

TEST(LoadingPicture, MessageAboveTheBar)
{
    struct Row {
        bool spanish;
        const char* text;
    } rows[] = {{false, "Loading part.gcode   42%"}, {true, "Cargando part.gcode   42%"}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        resetWorld(1000, 600);
        uiSpanish = row.spanish;
        showLoadingProgress("part.gcode", 42);
        const std::vector<Call> texts = callsOf(Op::RasterText);
        ASSERT_EQ(texts.size(), 1u);
        EXPECT_EQ(texts[0].text, row.text);
        const int width = static_cast<int>(std::string(row.text).size()) * 6;
        EXPECT_EQ(texts[0].a, (1000 - width) / 2);
        EXPECT_EQ(texts[0].b, 300 - 13 - 8);
        EXPECT_EQ(texts[0].colour, makeRgb(120, 120, 120));
    }
}

TEST(LoadingPicture, DrainsEveryPendingEventEvenWithoutACanvas)
{
    struct Row {
        const char* name;
        int width;
        std::size_t boxes;
    } rows[] = {{"with a canvas", 800, 2}, {"without a canvas", 0, 0}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        resetWorld(row.width, row.width);
        surface.pendingEvents = 5;
        showLoadingProgress("a.gc", 0);
        EXPECT_EQ(surface.pendingEvents, 0);
        EXPECT_EQ(surface.pollCalls, 6);
        EXPECT_EQ(countOf(Op::RasterBox), row.boxes);
    }
}

TEST(LoadingPicture, EnableConnectsTheLoaderHook)
{
    resetWorld(1000, 600);
    loadingProgressHook = nullptr;
    enableLoadingProgress();
    ASSERT_NE(loadingProgressHook, nullptr);
    loadingProgressHook("x.gc", 50);
    EXPECT_EQ(callsOf(Op::RasterText).at(0).text, "Loading x.gc   50%");
    loadingProgressHook = nullptr;
}

} // namespace
