// Draws the same toolpaths with the direct rasteriser and with the vector context's strokes
// it replaced, and with 1, 2 and 7 bands, and compares the frames pixel by pixel.
#include "model/interpreter.h"
#include "model/toolpath.h"
#include "platform/drawing.h"
#include "platform/toolkit.h"
#include "view/controls.h"
#include "view/hairline.h"
#include "view/colour_scheme.h"
#include "view/renderer.h"
#include "view/settings.h"
#include "view/view_commands.h"
#include "view/view_state.h"
#include "tests/support/failing_new.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

// Channels may differ by this much anywhere: the two draw the same model of a hairline,
// but Qt rounds ends to 1/64 pixel and steps in 16.16 fixed point, which moves a pixel's
// share by up to 4 levels each for the position across the line and along it, and blends
// with a rounding of its own.
constexpr int Tolerance = 8;     // levels of 255
constexpr double EndReach = 1.5; // pixels around a segment end where Qt's end rules rule

std::vector<std::uint32_t> frameCopy()
{
    int w = 0, h = 0, bpl = 0;
    const std::uint32_t* rows = imagePixelRows(FrameImageSlot, w, h, bpl);
    std::vector<std::uint32_t> copy;
    for (int y = 0; rows != nullptr && y < h; ++y) {
        const std::uint32_t* row = rows + static_cast<std::ptrdiff_t>(y) * (bpl / 4);
        copy.insert(copy.end(), row, row + w);
    }
    return copy;
}

std::vector<std::uint32_t> drawWith(MoveDrawing drawing, int threads)
{
    rendererOptions.moveDrawing = drawing;
    rendererOptions.threads = threads;
    redraw();
    return frameCopy();
}

int channelDifference(std::uint32_t a, std::uint32_t b)
{
    int most = 0;
    for (int shift = 0; shift < 24; shift += 8)
        most = std::max(most, std::abs(static_cast<int>((a >> shift) & 255) -
                                       static_cast<int>((b >> shift) & 255)));
    return most;
}

// What the test knows of the moves that can show, to explain a difference: the ends of
// every move, and for every pixel how many moves pass within reach of it.
struct MoveMap {
    std::vector<double> ends; // canvas x, y pairs
    std::vector<int> passes;  // per pixel
};

MoveMap mapMoves(int width, int height)
{
    MoveMap map;
    map.passes.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
    std::vector<int> stamp(map.passes.size(), -1);
    for (int i = 0; i < toolpath.moveCount; ++i) {
        const Move& m = toolpath.moves[i];
        if (m.travel && !settings.showTravel)
            continue;
        double x1, y1, x2, y2;
        machineToCanvas(m.x1, m.y1, x1, y1);
        machineToCanvas(m.x2, m.y2, x2, y2);
        if (clipSegment(x1, y1, x2, y2, -2, -2, width + 2, height + 2) == 0)
            continue;
        map.ends.insert(map.ends.end(), {x1, y1, x2, y2});
        // Samples a quarter pixel apart; each marks the pixels around it once per move.
        const int samples = 1 + static_cast<int>(std::hypot(x2 - x1, y2 - y1) * 4);
        for (int k = 0; k <= samples; ++k) {
            const double t = static_cast<double>(k) / samples;
            const int cx = static_cast<int>(std::floor(x1 + (x2 - x1) * t));
            const int cy = static_cast<int>(std::floor(y1 + (y2 - y1) * t));
            for (int y = std::max(cy - 1, 0); y <= std::min(cy + 1, height - 1); ++y)
                for (int x = std::max(cx - 1, 0); x <= std::min(cx + 1, width - 1); ++x) {
                    const std::size_t at =
                        static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                        static_cast<std::size_t>(x);
                    if (stamp[at] != i) {
                        stamp[at] = i;
                        ++map.passes[at];
                    }
                }
        }
    }
    return map;
}

struct Comparison {
    long long pixels = 0;      // compared
    long long beyond = 0;      // differing by more than Tolerance
    long long atEnds = 0;      // of those, at a segment end
    long long overdrawn = 0;   // of those, within Tolerance per move passing over them
    long long unexplained = 0; // the rest
    int worstUnexplained = 0;  // levels
};

// Compares the direct frame with the stroked one under the current world. The rule for
// a pixel that differs by more than Tolerance: it is explained when it lies at a segment
// end (where Qt's rounding of the end to 1/64 pixel decides how much of the end pixel is
// covered) or when n moves pass over it and it differs by at most n x Tolerance: every
// blend shrinks an earlier difference by the new coverage, so the differences of n blends
// add up at most. Everything else counts as unexplained.
void compareDrawings(Comparison& total)
{
    const std::vector<std::uint32_t> stroked = drawWith(MoveDrawing::Painter, 1);
    const std::vector<std::uint32_t> direct = drawWith(MoveDrawing::Direct, 0);
    ASSERT_EQ(stroked.size(), direct.size());
    const int w = viewState.canvasWidth;
    MoveMap map;
    for (std::size_t i = 0; i < direct.size(); ++i) {
        ++total.pixels;
        const int d = channelDifference(stroked[i], direct[i]);
        if (d <= Tolerance)
            continue;
        ++total.beyond;
        if (map.passes.empty())
            map = mapMoves(w, viewState.canvasHeight);
        const double px = static_cast<double>(i % static_cast<std::size_t>(w)) + 0.5;
        const double py = static_cast<double>(i / static_cast<std::size_t>(w)) + 0.5;
        bool atEnd = false;
        for (std::size_t e = 0; e < map.ends.size() && !atEnd; e += 2)
            atEnd =
                std::fabs(map.ends[e] - px) <= EndReach && std::fabs(map.ends[e + 1] - py) <= EndReach;
        if (atEnd) {
            ++total.atEnds;
        } else if (d <= map.passes[i] * Tolerance) {
            ++total.overdrawn;
        } else {
            ++total.unexplained;
            total.worstUnexplained = std::max(total.worstUnexplained, d);
        }
    }
}

void addUp(Comparison& total, const Comparison& one)
{
    total.pixels += one.pixels;
    total.beyond += one.beyond;
    total.atEnds += one.atEnds;
    total.overdrawn += one.overdrawn;
    total.unexplained += one.unexplained;
    total.worstUnexplained = std::max(total.worstUnexplained, one.worstUnexplained);
}

void print(const char* what, const Comparison& c)
{
    std::printf("%s: %lld pixels, %lld differ by more than %d levels: %lld at ends, %lld overdrawn, "
                "%lld unexplained (worst %d levels)\n",
                what, c.pixels, c.beyond, Tolerance, c.atEnds, c.overdrawn, c.unexplained,
                c.worstUnexplained);
}

void startWorld(int width, int height)
{
    resizeControl(Canvas, 0, 0, width, height);
    settings = Settings{};
    viewState = ViewState{};
    canvasMessage.clear();
    clearToolpath();
    toolpath.maxPower = 1000.0;
    applyColourScheme();
    refreshCanvasMetrics();
}

// A small random toolpath: polylines that cross, power changes, travel, far ends that
// get clipped and moves wholly off the canvas that get culled.
void randomToolpath(std::mt19937& random, int width, int height)
{
    std::uniform_real_distribution<double> along(-0.2, 1.2);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::uniform_int_distribution<int> powers(0, 1000);
    double x = width * unit(random), y = height * unit(random);
    const int moves = 4 + static_cast<int>(unit(random) * 30);
    for (int i = 0; i < moves; ++i) {
        double nx = width * along(random), ny = height * along(random);
        const double kind = unit(random);
        if (kind < 0.05)
            nx = (unit(random) < 0.5 ? -1 : 1) * 60000.0; // far away: clipped
        else if (kind < 0.15)
            nx = x + (unit(random) - 0.5) * 3, ny = y + (unit(random) - 0.5) * 3; // short
        else if (kind < 0.2)
            ny = y; // horizontal
        const bool travel = unit(random) < 0.15;
        ASSERT_TRUE(appendMove(x, height - y, nx, height - ny, travel ? 0 : powers(random), travel));
        x = nx;
        y = ny;
    }
}

TEST(Equivalence, RandomToolpathsMatchTheStrokedDrawing)
{
    std::mt19937 random(20261207);
    Comparison total;
    const int width = 96, height = 72;
    for (int round = 0; round < 3000; ++round) {
        startWorld(width, height);
        settings.invertColours = round % 2;
        settings.greyByPower = (round / 2) % 2;
        settings.showTravel = (round / 4) % 2;
        settings.showBed = round % 7 == 0;
        applyColourScheme();
        randomToolpath(random, width, height);
        viewState.scale = 1.0;
        viewState.centerX = width / 2.0;
        viewState.centerY = height / 2.0;
        compareDrawings(total);
    }
    print("random toolpaths", total);
    EXPECT_LE(total.unexplained, total.pixels / 1000000) << "at most one pixel in a million";
    EXPECT_LE(total.beyond, total.pixels / 10000);
}

TEST(Equivalence, CorpusFilesMatchTheStrokedDrawing)
{
    const std::filesystem::path folder = TOLVAN_CORPUS_DIR;
    if (!std::filesystem::is_directory(folder))
        GTEST_SKIP() << "no corpus folder at " << folder;
    Comparison total;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (!entry.is_regular_file() || entry.path().extension() == ".md")
            continue;
        startWorld(640, 400);
        settings.showTravel = 1;
        ASSERT_TRUE(loadGcodeFile(entry.path().string()));
        if (toolpath.moveCount == 0)
            continue;
        fitView();
        Comparison one;
        compareDrawings(one);
        if (one.unexplained > 0)
            print(entry.path().filename().c_str(), one);
        addUp(total, one);
    }
    print("corpus", total);
    EXPECT_LE(total.unexplained, total.pixels / 1000000) << "at most one pixel in a million";
    EXPECT_LE(total.beyond, total.pixels / 1000);
}

TEST(Equivalence, OneTwoAndSevenBandsGiveTheSamePicture)
{
    std::mt19937 random(7);
    // Light and dark with moves beyond the canvas (bands of equal height), and a job wholly
    // on the canvas (bands sharing out the rows the job covers).
    for (int variant = 0; variant < 3; ++variant) {
        SCOPED_TRACE(variant);
        const int width = 301, height = 203; // no band boundary on a round row
        startWorld(width, height);
        settings.invertColours = variant == 1;
        settings.showTravel = 1;
        applyColourScheme();
        for (int i = 0; variant < 2 && i < 300; ++i)
            randomToolpath(random, width, height);
        for (int row = 0; row < height - 10; row += 7) // lines along and near the band boundaries
            ASSERT_TRUE(
                appendMove(0, height - row - 0.5 * (row % 3), width, height - row, row * 5, false));
        for (int i = 0; i < 40; ++i)
            ASSERT_TRUE(appendMove(i * 7, 20, width - i * 5, 180 + i % 3, i * 20, false));
        // A segment; a move beyond the canvas, or on it far from the segment's band; and the
        // segment again a twentieth of a pixel along, on the same half pixels: skipped after
        // the move beyond the canvas, drawn after the other, whichever band walks it.
        for (int i = 0; i < 20; ++i) {
            const double x = 10.1 + i * 13, y = 15.1 + i * 9, far = i % 2 ? -50.0 : height - 3.0;
            ASSERT_TRUE(appendMove(x, y, x + 0.2, y + 0.1, 300, false));
            ASSERT_TRUE(appendMove(x, far, x + 1, far + 1, 300, false));
            ASSERT_TRUE(appendMove(x + 0.05, y, x + 0.25, y + 0.1, 300, false));
        }
        viewState.scale = 1.0;
        viewState.centerX = width / 2.0;
        viewState.centerY = height / 2.0;
        const std::vector<std::uint32_t> one = drawWith(MoveDrawing::Direct, 1);
        EXPECT_TRUE(one == drawWith(MoveDrawing::Direct, 2));
        EXPECT_TRUE(one == drawWith(MoveDrawing::Direct, 7));
        std::vector<std::uint32_t> background = one;
        std::fill(background.begin(), background.end(), framePixelOf(colourScheme.background));
        EXPECT_FALSE(one == background) << "the moves are drawn";
    }
}

// Bands pass over chunks of moves that lie wholly beyond them. Such a chunk forgets the
// key only where one of its moves is on the canvas, as the move-by-move walk does: a
// segment on the same half pixels as the one before the chunks is skipped after chunks
// culled beside the canvas, and drawn after chunks on it, whichever bands draw them.
TEST(Equivalence, BandsPassOverFarChunksOfMovesKeepingTheKey)
{
    const int width = 301, height = 203;
    startWorld(width, height);
    settings.showTravel = 1;
    applyColourScheme();
    viewState.scale = 1.0;
    viewState.centerX = width / 2.0;
    viewState.centerY = height / 2.0;
    const auto segment = [](double x, double y) { // canvas y = height - y
        ASSERT_TRUE(appendMove(x, y, x + 6.2, y + 0.1, 300, false));
    };
    const auto endChunkWith = [&](double x, double y) { // after moves culled beside the canvas
        while (toolpath.moveCount % BandChunkMoves != BandChunkMoves - 1)
            ASSERT_TRUE(appendMove(-60, y, -59, y + 0.3, 500, false));
        segment(x, y);
    };
    const auto twoChunks = [](double x, double y) {
        for (int i = 0; i < 2 * BandChunkMoves; ++i)
            ASSERT_TRUE(appendMove(x + i % 7, y + i % 5 * 0.5, x + i % 7 + 1, y + 0.3, 500, false));
    };
    // A top band's chunks below it, then a bottom band's above it; clear of the rulers.
    // Then the same count of moves again, the other way up: the chunks' heights are
    // those of the new moves.
    for (const double top : {height - 60.1, 40.1}) {
        clearToolpath();
        for (const double near : {top, height - top}) {
            const double far = height - near;
            endChunkWith(60.1, near);
            twoChunks(-60, far); // culled
            segment(60.15, near);
            endChunkWith(160.1, near);
            twoChunks(160, far); // on the canvas
            segment(160.15, near);
        }
        const std::vector<std::uint32_t> one = drawWith(MoveDrawing::Direct, 1);
        EXPECT_TRUE(one == drawWith(MoveDrawing::Direct, 2));
        EXPECT_TRUE(one == drawWith(MoveDrawing::Direct, 7));
    }
}

// Between two segments on the same half pixels, a move with an end that is not finite or
// one the clip rejects leaves the key as it was: the second segment is not drawn over the
// first. A band beyond whose rows such a move lies, alone or in a chunk it passes over,
// must keep the key too, or it blends the segment twice.
TEST(Equivalence, MovesTheWalkRejectsKeepTheKeyInEveryBand)
{
    const int width = 301, height = 203;
    startWorld(width, height);
    applyColourScheme();
    viewState.scale = 1.0;
    viewState.centerX = width / 2.0;
    viewState.centerY = height / 2.0;
    constexpr double infinity = std::numeric_limits<double>::infinity();
    // Canvas y = height - y. The segment in the lowest band; the others near the top.
    const auto segment = [](double shift) {
        ASSERT_TRUE(appendMove(100.1 + shift, 53.1, 106.3 + shift, 53.2, 300, false));
    };
    const auto notFinite = [] {
        ASSERT_TRUE(appendMove(50, height - 20, infinity, height - 20, 300, false));
    };
    const auto rejected = [] { // across the region beyond the canvas's top left corner
        ASSERT_TRUE(appendMove(-30000, height - 20, 20, height + 30000, 300, false));
    };
    segment(0);
    notFinite();
    segment(0.05);
    rejected();
    segment(0.1);
    // The same in a chunk of its own, the rest of it culled beside the canvas.
    while (toolpath.moveCount % BandChunkMoves != BandChunkMoves - 1)
        ASSERT_TRUE(appendMove(-60, height - 20, -59, height - 21, 300, false));
    segment(0.15);
    notFinite();
    rejected();
    while (toolpath.moveCount % BandChunkMoves != 0)
        ASSERT_TRUE(appendMove(-60, height - 20, -59, height - 21, 300, false));
    segment(0.18); // still on the same half pixels
    const std::vector<std::uint32_t> one = drawWith(MoveDrawing::Direct, 1);
    EXPECT_TRUE(one == drawWith(MoveDrawing::Direct, 2));
    EXPECT_TRUE(one == drawWith(MoveDrawing::Direct, 7));
}

// A band whose colour table cannot be had computes each colour as the power changes: the
// same picture, on every thread.
TEST(Equivalence, BandsWithoutMemoryForTheirColourTablesDrawTheSamePicture)
{
    const int width = 301, height = 203;
    startWorld(width, height);
    settings.greyByPower = 1;
    settings.showTravel = 1;
    applyColourScheme();
    std::mt19937 random(11);
    for (int i = 0; i < 300; ++i)
        randomToolpath(random, width, height);
    viewState.scale = 1.0;
    viewState.centerX = width / 2.0;
    viewState.centerY = height / 2.0;
    const std::vector<std::uint32_t> one = drawWith(MoveDrawing::Direct, 1);
    for (const int bands : {2, 7}) {
        rendererOptions.threads = bands;
        failAllocationsFrom = 128 * 1024; // a table is 256 KB
        redraw();
        failAllocationsFrom = 0;
        EXPECT_TRUE(one == frameCopy()) << bands << " bands";
    }
}

} // namespace
