// The picture at a replay's cursor is the picture of a store holding only the moves before
// the cursor and the drawn part of the one at it, in the same view with the same shading.
#include "model/interpreter.h"
#include "model/job_pace.h"
#include "model/toolpath.h"
#include "platform/drawing.h"
#include "platform/toolkit.h"
#include "view/colour_scheme.h"
#include "view/controls.h"
#include "view/renderer.h"
#include "view/settings.h"
#include "view/view_state.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <random>
#include <vector>

namespace {

std::vector<std::uint32_t> drawnFrame()
{
    redraw();
    int w = 0, h = 0, bpl = 0;
    const std::uint32_t* rows = imagePixelRows(FrameImageSlot, w, h, bpl);
    std::vector<std::uint32_t> copy;
    for (int y = 0; rows != nullptr && y < h; ++y)
        copy.insert(copy.end(), rows + static_cast<std::ptrdiff_t>(y) * (bpl / 4),
                    rows + static_cast<std::ptrdiff_t>(y) * (bpl / 4) + w);
    return copy;
}

// Draws the loaded job at `cursor`, then a store of just the moves before it and the drawn
// part (shaded by the whole job's largest power), and compares. The whole job is loaded
// again afterwards. false when the two differ in a pixel.
bool sameAsPrefix(ReplayCursor cursor)
{
    const std::vector<Move> whole(toolpath.moves, toolpath.moves + toolpath.moveCount);
    const double maxPower = toolpath.maxPower;
    replayDrawing = ReplayDrawing{true, cursor, false};
    const std::vector<std::uint32_t> replayed = drawnFrame();
    replayDrawing = ReplayDrawing{};

    std::vector<Move> prefix(whole.begin(), whole.begin() + cursor.move);
    if (cursor.fraction > 0.0)
        prefix.push_back(movePart(whole[static_cast<std::size_t>(cursor.move)], cursor.fraction));
    const auto fill = [](const std::vector<Move>& moves, double power) {
        clearToolpath();
        for (const Move& m : moves)
            appendMove(m.x1, m.y1, m.x2, m.y2, m.power, m.travel != 0);
        toolpath.maxPower = power;
    };
    fill(prefix, maxPower);
    // A prefix of only travel moves says "nothing drawn" where the whole job has cuts: not
    // a picture of moves, so no comparison.
    const bool comparable = !prefix.empty() && (settings.showTravel || toolpath.cutBounds.valid);
    const std::vector<std::uint32_t> expected = comparable ? drawnFrame() : replayed;
    fill(whole, maxPower);
    return expected == replayed;
}

void startWorld(int width, int height)
{
    resizeControl(Canvas, 0, 0, width, height);
    settings = Settings{};
    settings.showBed = false; // the bed's outline is the whole job's
    viewState = ViewState{};
    canvasMessage.clear();
    clearToolpath();
    applyColourScheme();
    refreshCanvasMetrics();
}

TEST(Replay, RandomToolpathsAtRandomCursorsMatchTheirPrefix)
{
    std::mt19937 random(20261208);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const int width = 120, height = 90;
    int compared = 0;
    for (int round = 0; round < 400; ++round) {
        startWorld(width, height);
        settings.invertColours = round % 2;
        settings.greyByPower = (round / 2) % 2;
        settings.showTravel = (round / 4) % 2;
        rendererOptions.threads = round % 3 == 0 ? 3 : 1;
        applyColourScheme();
        // Polylines with far ends (clipped), short steps, travel; every 5th round a raster
        // of a few thousand moves, so that bands pass over chunks of moves.
        const int moves = round % 5 == 0 ? 3000 : 5 + static_cast<int>(unit(random) * 40);
        double x = width / 2.0, y = height / 2.0;
        for (int i = 0; i < moves; ++i) {
            double nx = width * (unit(random) * 1.4 - 0.2), ny = height * (unit(random) * 1.4 - 0.2);
            const double kind = unit(random);
            if (round % 5 == 0)
                nx = i % 2 ? width - 5.0 : 5.0, ny = (i * 0.03);
            else if (kind < 0.05)
                nx = (unit(random) < 0.5 ? -1 : 1) * 60000.0;
            else if (kind < 0.3)
                nx = x + (unit(random) - 0.5) * 2, ny = y + (unit(random) - 0.5) * 2;
            const bool travel = unit(random) < 0.15;
            ASSERT_TRUE(appendMove(x, y, nx, ny, travel ? 0 : 1 + unit(random) * 800, travel));
            x = nx;
            y = ny;
        }
        toolpath.maxPower = 1000.0; // above every move's: the prefix must not shade by its own
        viewState.scale = 1.0;
        viewState.centerX = width / 2.0;
        viewState.centerY = height / 2.0;
        for (int cursors = 0; cursors < 3; ++cursors) {
            const auto move = static_cast<std::int32_t>(unit(random) * toolpath.moveCount);
            const double fraction = cursors == 0 ? 1.0 : cursors == 1 ? 0.0 : unit(random);
            SCOPED_TRACE(testing::Message()
                         << "round " << round << " cursor " << move << "+" << fraction);
            EXPECT_TRUE(sameAsPrefix(ReplayCursor{move, fraction}));
            ++compared;
        }
    }
    rendererOptions.threads = 0;
    EXPECT_EQ(compared, 1200);
}

TEST(Replay, CorpusFilesAtSeveralCursorsMatchTheirPrefix)
{
    const std::filesystem::path folder = TOLVAN_CORPUS_DIR;
    if (!std::filesystem::is_directory(folder))
        GTEST_SKIP() << "no corpus folder at " << folder;
    int files = 0;
    for (const char* name : {"gsender__KB-362 test.gcode", "laserburn__lightbundimage.gcode",
                             "cncjs__tball-engrave-laser.gcode", "grbl__HSM_test.nc"}) {
        const std::filesystem::path path = folder / name;
        if (!std::filesystem::is_regular_file(path))
            continue;
        SCOPED_TRACE(name);
        startWorld(400, 300);
        settings.showTravel = files % 2;
        rendererOptions.threads = 4; // bands, so that whole chunks are passed over
        ASSERT_TRUE(loadGcodeFile(path.string()));
        ASSERT_GT(toolpath.moveCount, 0);
        fitView();
        for (const char* place : {"1", "10%", "50%", "0:00:01.5"}) {
            ReplayPlace where;
            ReplayCursor cursor;
            ASSERT_TRUE(readReplayPlace(place, where));
            if (!cursorAtPlace(where, cursor).empty())
                continue; // a job shorter than the time asked
            EXPECT_TRUE(sameAsPrefix(cursor)) << place;
        }
        ++files;
    }
    rendererOptions.threads = 0;
    EXPECT_GT(files, 0);
}

} // namespace
