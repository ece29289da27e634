// Measures what a replay's cursor changes cost on large jobs (the generated 200 MB photo
// engraving and 50 MB vector job, or any given file), at the fit and at 8x zoom: steps
// both ways, a drag, jumps from end to start and back, playing at several speeds at 60
// frames a second, beside today's full redraw; the memory the kept frames cost; and whether
// every frame is, pixel for pixel, the frame a walk over every move draws. Prints every
// figure. Each job runs in a process of its own, so that its peak memory is its own.
#include "bench/generated_jobs.h"
#include "bench/load_figures.h"
#include "model/interpreter.h"
#include "model/job_pace.h"
#include "model/loading_progress.h"
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

#include <algorithm>
#include <cmath>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

namespace {

constexpr int CanvasWidth = 1536; // device pixels
constexpr int CanvasHeight = 864; // device pixels
constexpr double ZoomFactor = 8.0;
constexpr long long VectorJobBytes = 50LL * 1000 * 1000;
constexpr long long PhotoBytes = 200LL * 1000 * 1000;
constexpr double FrameSeconds = 1.0 / 60.0; // the playing clock's tick
constexpr int StepsPerFigure = 40;          // cursor changes timed per kind of step
constexpr int ComparedCursors = 12;         // frames checked pixel for pixel per view

double playSeconds = 3.0; // wall time each playing speed is timed for

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Resident memory now (VmRSS), bytes; -1 when unknown.
double residentBytes()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atof(line.c_str() + 6) * 1024.0;
    }
    return -1.0;
}

double megabytes(double bytes)
{
    return bytes / (1024.0 * 1024.0);
}

// The times of one kind of cursor change, in seconds.
struct Times {
    std::vector<double> all;
    double median() const
    {
        std::vector<double> sorted = all;
        std::sort(sorted.begin(), sorted.end());
        return sorted.empty() ? 0.0 : sorted[sorted.size() / 2];
    }
    double worst() const { return all.empty() ? 0.0 : *std::max_element(all.begin(), all.end()); }
};

// Draws the replay's frame at `cursor` and returns how long it took.
double frameAt(ReplayCursor cursor)
{
    replayDrawing.active = true;
    replayDrawing.cursor = cursor;
    const Clock::time_point start = Clock::now();
    redraw();
    return secondsSince(start);
}

std::vector<std::uint32_t> framePixels()
{
    int w = 0, h = 0, bpl = 0;
    const std::uint32_t* rows = imagePixelRows(FrameImageSlot, w, h, bpl);
    std::vector<std::uint32_t> copy;
    for (int y = 0; rows != nullptr && y < h; ++y)
        copy.insert(copy.end(), rows + static_cast<std::ptrdiff_t>(y) * (bpl / 4),
                    rows + static_cast<std::ptrdiff_t>(y) * (bpl / 4) + w);
    return copy;
}

void printTimes(const char* what, const Times& t)
{
    std::printf("    %-34s median %6.1f ms   worst %6.1f ms   (%zu changes)%s\n", what, t.median() * 1e3,
                t.worst() * 1e3, t.all.size(), t.median() <= 0.016 && t.worst() <= 0.050 ? "" : "   OVER 16/50 ms");
}

// A run of steps of `step` moves from a random place, each one frame.
Times steps(std::mt19937& random, int step)
{
    const std::int32_t count = toolpath.moveCount;
    std::int32_t at = std::uniform_int_distribution<std::int32_t>(0, count - 1)(random);
    frameAt(ReplayCursor{at, 0.0});
    Times t;
    for (int i = 0; i < StepsPerFigure; ++i) {
        at = std::clamp(at + step, 0, count - 1);
        t.all.push_back(frameAt(ReplayCursor{at, 0.0}));
    }
    return t;
}

// A drag along the timeline: the pointer moves a few pixels per event, each a jump of a
// few hundredths of the job, back and forth.
Times drag(std::mt19937& random)
{
    const std::int32_t count = toolpath.moveCount;
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    double place = unit(random);
    Times t;
    for (int i = 0; i < 3 * StepsPerFigure; ++i) {
        const double direction = i / StepsPerFigure % 2 == 0 ? 1.0 : -1.0;
        place = std::clamp(place + direction * (0.002 + 0.01 * unit(random)), 0.0, 1.0);
        const ReplayCursor cursor = cursorAtPace(paceSeconds() * place);
        t.all.push_back(frameAt(ReplayCursor{std::min(cursor.move, count - 1), cursor.fraction}));
    }
    return t;
}

Times endsJumps()
{
    Times t;
    for (int i = 0; i < 10; ++i) {
        t.all.push_back(frameAt(ReplayCursor{toolpath.moveCount - 1, 1.0}));
        t.all.push_back(frameAt(ReplayCursor{0, 0.0}));
    }
    return t;
}

// Plays at `speed` timeline seconds per wall second (0: the whole job in 5 s), a frame at
// each tick of a 60 Hz clock, for playSeconds; prints the frames shown per second.
void play(double speed, const char* name)
{
    const double whole = paceSeconds();
    if (speed <= 0.0)
        speed = whole / 5.0;
    const double startPlace = whole * 0.3;
    const Clock::time_point start = Clock::now();
    int frames = 0;
    Times t;
    // The estimated time the shown cursors went through, against the wall clock times the
    // speed: the untimed moves' shares of the timeline make it run at most 1 % slow.
    const double jobEstimate = elapsedAt(cursorAfterMove(toolpath.moveCount));
    double shownEstimate = 0.0, lastEstimate = elapsedAt(cursorAtPace(startPlace)), lastPlace = startPlace;
    double lastWall = 0.0;
    for (double elapsed = 0.0; elapsed < playSeconds; elapsed = secondsSince(start)) {
        const double place = std::fmod(startPlace + elapsed * speed, whole);
        const ReplayCursor cursor = cursorAtPace(place);
        const double estimate = elapsedAt(cursor);
        shownEstimate += place >= lastPlace ? estimate - lastEstimate : jobEstimate - lastEstimate + estimate;
        lastEstimate = estimate;
        lastPlace = place;
        lastWall = elapsed;
        t.all.push_back(frameAt(cursor));
        ++frames;
        // Waits for the next tick; a frame longer than a tick shows at the tick after it.
        const double next = std::ceil(secondsSince(start) / FrameSeconds) * FrameSeconds;
        std::this_thread::sleep_for(std::chrono::duration<double>(next - secondsSince(start)));
    }
    const double fps = frames / secondsSince(start);
    const double pace = lastWall > 0.0 ? shownEstimate / (lastWall * speed) : 1.0;
    std::printf("    play %-6s %8.1f frames/s   frame median %5.1f ms, worst %5.1f ms   clock %.2f %% of the "
                "estimate's pace%s\n",
                name, fps, t.median() * 1e3, t.worst() * 1e3, pace * 100.0,
                fps >= 30.0 && std::fabs(pace - 1.0) <= 0.01 ? "" : "   BELOW 30 frames/s OR OFF BY MORE THAN 1 %");
}

// Frames at a sample of cursors, kept and walked over every move, compared pixel for pixel.
void comparePixels(std::mt19937& random)
{
    const std::int32_t count = toolpath.moveCount;
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    int equal = 0;
    for (int i = 0; i < ComparedCursors; ++i) {
        const ReplayCursor cursor = i == 0   ? ReplayCursor{0, 0.3}
                                    : i == 1 ? ReplayCursor{count - 1, 1.0}
                                             : ReplayCursor{static_cast<std::int32_t>(unit(random) * count), unit(random)};
        frameAt(cursor);
        const std::vector<std::uint32_t> kept = framePixels();
        replayFrameOptions.enabled = false;
        frameAt(cursor);
        replayFrameOptions.enabled = true;
        if (framePixels() == kept)
            ++equal;
        else
            std::printf("    cursor %d + %.3f: the kept frame DIFFERS from the walk over every move\n", cursor.move,
                        cursor.fraction);
    }
    std::printf(" pixel for pixel: %d of %d frames equal to a walk over every move%s\n", equal,
                ComparedCursors, equal == ComparedCursors ? "" : "   MISMATCH");
}

double medianRedraw()
{
    Times t;
    for (int i = 0; i < 5; ++i) {
        const Clock::time_point start = Clock::now();
        redraw();
        t.all.push_back(secondsSince(start));
    }
    return t.median();
}

void reportView(const char* where)
{
    std::mt19937 random(22);
    replayDrawing = ReplayDrawing{};
    const double full = medianRedraw();
    replayFrameOptions.enabled = false;
    Times walked;
    for (int i = 0; i < 5; ++i)
        walked.all.push_back(frameAt(ReplayCursor{toolpath.moveCount / 2 + i, 0.5}));
    replayFrameOptions.enabled = true;
    releaseReplayFrames();
    const double first = frameAt(ReplayCursor{toolpath.moveCount / 2, 0.5});
    std::printf("  %s (scale %.4f px/mm)\n    today: full redraw %.1f ms; a replay frame walking every move "
                "before the cursor %.1f ms (median)\n    first replay frame after a change of view "
                "(takes the checkpoints) %.1f ms; kept: %.1f MB\n",
                where, viewState.scale, full * 1e3, walked.median() * 1e3, first * 1e3,
                megabytes(static_cast<double>(replayFramesBytes())));
    printTimes("step forward 1", steps(random, 1));
    printTimes("step backward 1", steps(random, -1));
    printTimes("step forward 10", steps(random, 10));
    printTimes("step backward 10", steps(random, -10));
    printTimes("step forward 1000", steps(random, 1000));
    printTimes("step backward 1000", steps(random, -1000));
    printTimes("drag (small jumps both ways)", drag(random));
    printTimes("jumps End, Home, End ...", endsJumps());
    for (const double speed : {1.0, 10.0, 100.0, 1000.0})
        play(speed, (std::to_string(static_cast<int>(speed)) + "x").c_str());
    play(0.0, "max");
    replayDrawing = ReplayDrawing{};
}

// Loads one file and reports it at the fit and at 8x zoom.
int benchFile(const std::string& path)
{
    loadingProgressHook = nullptr;
    const Clock::time_point start = Clock::now();
    if (!loadGcodeFile(path) || toolpath.moveCount == 0) {
        std::printf("cannot load %s, or it holds no moves\n", path.c_str());
        return 1;
    }
    std::printf("%s: %d moves loaded in %.2f s, timeline %.0f s\n", path.c_str(), toolpath.moveCount,
                secondsSince(start), paceSeconds());
    fitView();
    redraw();
    const double peakToday = peakResidentBytes();
    const double residentToday = residentBytes();
    reportView("at the fit");
    zoomAt(CanvasWidth / 2.0, CanvasHeight / 2.0, ZoomFactor);
    reportView("at 8x zoom");
    // The kept frames of the zoomed view, the last ones taken, stand for the cost of a replay.
    frameAt(ReplayCursor{toolpath.moveCount / 3, 0.0});
    const double kept = static_cast<double>(replayFramesBytes());
    const double peakReplay = peakResidentBytes();
    std::printf("  memory: peak %.0f MB without replay (resident %.0f MB), %.0f MB after replaying "
                "(+%.1f %%, budget 15 %%); kept frames %.1f MB\n",
                megabytes(peakToday), megabytes(residentToday), megabytes(peakReplay),
                100.0 * (peakReplay / peakToday - 1.0), megabytes(kept));
    // Last, since the comparison's own copies of the frame would count in the peak above.
    std::mt19937 random(2026);
    std::printf("  at 8x zoom,");
    comparePixels(random);
    fitView();
    std::printf("  at the fit,");
    comparePixels(random);
    return 0;
}

// Reuses a generated job in /tmp when it is there, else writes it; "" when it cannot.
std::string generatedJob(const char* name, bool (*write)(const std::string&, long long), long long bytes)
{
    const std::string path = std::string("/tmp/tolvan_replay_bench_") + name + ".gcode";
    if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
        std::fclose(file);
        return path;
    }
    std::printf("writing %s (%lld MB)...\n", path.c_str(), bytes / 1000000);
    std::fflush(stdout);
    if (!write(path, bytes)) {
        std::remove(path.c_str());
        return "";
    }
    return path;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> files;
    bool one = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--file") == 0 && i + 1 < argc) {
            files.emplace_back(argv[++i]);
        } else if (std::strcmp(argv[i], "--one") == 0 && i + 1 < argc) {
            files.emplace_back(argv[++i]);
            one = true;
        } else if (std::strcmp(argv[i], "--play-seconds") == 0 && i + 1 < argc) {
            playSeconds = std::atof(argv[++i]);
        } else {
            std::fprintf(stderr, "usage: replay_bench [--file PATH]... [--play-seconds S]\n"
                                 "  --file PATH  this G-code file instead of the generated jobs\n"
                                 "  (the generated jobs are kept in /tmp/tolvan_replay_bench_*.gcode)\n");
            return 2;
        }
    }
    if (!one) {
        // Each job in a process of its own: its peak memory is then its own.
        if (files.empty()) {
            const std::string vector = generatedJob("vector", writeVectorJob, VectorJobBytes);
            const std::string photo = generatedJob("photo", writePhotoRaster, PhotoBytes);
            for (const std::string& path : {vector, photo}) {
                if (path.empty())
                    std::printf("cannot write a generated job\n");
                else
                    files.push_back(path);
            }
        }
        std::string command = argv[0];
        for (int i = 1; i < argc; ++i)
            command += std::string(" ") + argv[i];
        std::printf("%s\nreplay_bench: canvas %dx%d, %u hardware threads, bed on, grey by power on\n", command.c_str(),
                    CanvasWidth, CanvasHeight, std::thread::hardware_concurrency());
        std::fflush(stdout);
        int failures = 0;
        for (const std::string& file : files) {
            const std::string command = std::string("'") + argv[0] + "' --play-seconds " + std::to_string(playSeconds) +
                                        " --one '" + file + "'";
            failures += std::system(command.c_str()) != 0;
        }
        return failures == 0 ? 0 : 1;
    }

    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static char name[] = "replay_bench";
    static char* toolkitArgv[] = {name, nullptr};
    static int toolkitArgc = 1;
    if (!initToolkit(toolkitArgc, toolkitArgv) || openWindow(0, 0, CanvasWidth, CanvasHeight, "bench", 0) == 0 ||
        !createCanvas(Canvas, 0, 0, CanvasWidth, CanvasHeight, false) || !createToolpath()) {
        std::fprintf(stderr, "replay_bench: no offscreen canvas\n");
        return 1;
    }
    loadFont(0, "Segoe UI", 9);
    applyColourScheme();
    const int result = benchFile(files.front());
    std::fflush(stdout);
    shutdownToolkit();
    return result;
}
