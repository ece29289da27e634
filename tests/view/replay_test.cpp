// The picture at a replay's cursor is the picture of a store holding only the moves before
// the cursor and the drawn part of the one at it, in the same view with the same shading,
// also when it is drawn from what the frames before it kept.
#include "model/interpreter.h"
#include "model/job_pace.h"
#include "model/replay_place.h"
#include "model/toolpath.h"
#include "platform/drawing.h"
#include "platform/toolkit.h"
#include "view/colour_scheme.h"
#include "view/controls.h"
#include "view/renderer.h"
#include "view/replay_frames.h"
#include "view/settings.h"
#include "view/view_commands.h"
#include "view/view_state.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
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


// The replay's frame at each of a walk of cursors (steps both ways, jumps, a drag), drawn
// from what the frames before kept, against the same cursor drawn by a walk over every move.
// Returns the cursors whose frames differ.
int framesDifferingFromFullWalks(const std::vector<ReplayCursor>& cursors)
{
    int differing = 0;
    for (const ReplayCursor& cursor : cursors) {
        replayFrameOptions.enabled = true;
        replayDrawing = ReplayDrawing{true, cursor, true};
        const std::vector<std::uint32_t> kept = drawnFrame();
        replayFrameOptions.enabled = false;
        const std::vector<std::uint32_t> walked = drawnFrame();
        replayFrameOptions.enabled = true;
        if (kept != walked) {
            ADD_FAILURE() << "cursor " << cursor.move << "+" << cursor.fraction;
            ++differing;
        }
    }
    replayDrawing = ReplayDrawing{};
    return differing;
}

// Forward and backward steps of 1, 10 and 1000 moves, jumps to both ends, a drag of small jumps.
std::vector<ReplayCursor> cursorWalk(std::mt19937& random, std::int32_t count)
{
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<ReplayCursor> cursors;
    std::int32_t at = static_cast<std::int32_t>(unit(random) * count);
    const auto go = [&](std::int32_t move) {
        at = std::clamp(move, 0, count - 1);
        cursors.push_back(ReplayCursor{at, unit(random) < 0.5 ? 0.0 : unit(random)});
    };
    for (const int step : {1, 10, 1000, -1, -10, -1000})
        for (int i = 0; i < 3; ++i)
            go(at + step);
    go(count - 1);
    go(0);
    go(count - 1);
    for (int i = 0; i < 12; ++i)
        go(at - static_cast<std::int32_t>(unit(random) * count / 8));
    for (int i = 0; i < 6; ++i)
        go(static_cast<std::int32_t>(unit(random) * count));
    return cursors;
}

TEST(ReplayFrames, EveryCursorChangeDrawsWhatAWalkOverEveryMoveDraws)
{
    std::mt19937 random(22);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const int width = 150, height = 100;
    for (int round = 0; round < 24; ++round) {
        SCOPED_TRACE(testing::Message() << "round " << round);
        startWorld(width, height);
        settings.showBed = round % 2;
        settings.invertColours = (round / 2) % 2;
        settings.showTravel = round % 6 == 5; // drawn by the walk over every move
        rendererOptions.threads = round % 3 == 0 ? 1 : 1 + round % 5;
        // Small checkpoints, and budgets that merge them down to none.
        replayFrameOptions.firstInterval = 3 + round;
        replayFrameOptions.budgetBytes = round % 4 == 3 ? 1 : std::size_t{1} << (14 + round % 8);
        applyColourScheme();
        // Rows crossing the bands back and forth at changing power, polylines, far ends the
        // clip cuts, a few NaN ends.
        double x = 10.0, y = 10.0;
        for (int i = 0; i < 4000; ++i) {
            double nx = width * unit(random), ny = height * unit(random);
            const double kind = unit(random);
            if (i < 2500)
                nx = i % 2 ? width - 8.0 : 8.0, ny = 5.0 + i * 0.035;
            else if (kind < 0.03)
                nx = (unit(random) < 0.5 ? -1 : 1) * 90000.0;
            else if (kind < 0.04)
                nx = std::nan("");
            else if (kind < 0.6)
                nx = x + (unit(random) - 0.5) * 4, ny = y + (unit(random) - 0.5) * 4;
            const bool travel = unit(random) < 0.1;
            ASSERT_TRUE(appendMove(x, y, nx, ny, travel ? 0 : 1 + (i / 7 % 9) * 100, travel));
            x = std::isnan(nx) ? 20.0 : nx;
            y = ny;
        }
        toolpath.maxPower = 1000.0;
        fitView();
        if (round % 4 == 1)
            zoomAt(width * 0.3, height * 0.6, 8.0);
        EXPECT_EQ(framesDifferingFromFullWalks(cursorWalk(random, toolpath.moveCount)), 0);
    }
    replayFrameOptions = ReplayFrameOptions{};
    rendererOptions.threads = 0;
}

TEST(ReplayFrames, CorpusFilesStepAndJumpAsAWalkOverEveryMoveDraws)
{
    const std::filesystem::path folder = TOLVAN_CORPUS_DIR;
    if (!std::filesystem::is_directory(folder))
        GTEST_SKIP() << "no corpus folder at " << folder;
    std::mt19937 random(2022);
    int files = 0;
    for (const char* name : {"laserburn__lightbundimage.gcode", "cncjs__tball-engrave-laser.gcode"}) {
        const std::filesystem::path path = folder / name;
        if (!std::filesystem::is_regular_file(path))
            continue;
        SCOPED_TRACE(name);
        startWorld(400, 300);
        settings.showBed = 1;
        rendererOptions.threads = files % 2 == 0 ? 3 : 1;
        replayFrameOptions.firstInterval = 500;
        ASSERT_TRUE(loadGcodeFile(path.string()));
        ASSERT_GT(toolpath.moveCount, 0);
        fitView();
        EXPECT_EQ(framesDifferingFromFullWalks(cursorWalk(random, toolpath.moveCount)), 0);
        ++files;
    }
    replayFrameOptions = ReplayFrameOptions{};
    rendererOptions.threads = 0;
    EXPECT_GT(files, 0);
}

} // namespace
