// The replay in the window: turns keys, timeline presses, double clicks and the playing
// clock into a cursor in the job's course, and keeps the timeline's readouts in step.
#include "app/replay.h"

#include "app/main_window.h"
#include "app/open_file.h"
#include "app/timers.h"
#include "model/job_lines.h"
#include "model/toolpath.h"
#include "platform/toolkit.h"
#include "view/controls.h"
#include "view/renderer.h"
#include "view/replay_timeline.h"
#include "view/view_commands.h"
#include "view/view_state.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::int32_t ShiftStep = 10;  // moves a Shift+arrow steps
constexpr std::int32_t CtrlStep = 1000; // moves a Ctrl+arrow steps
constexpr double PickRadius = 4.0;      // layout units from a move that a double click reaches

struct Replay {
    bool playing = false;
    int speed = 0;                   // index into ReplaySpeeds
    std::uint32_t speedRevision = 0; // of the toolpath the speed was chosen for
    bool speedChosen = false;
    // The playing clock: the timeline place at `playStart`, from which the wall clock times
    // the speed gives the place now. Slow frames then skip ahead rather than fall behind.
    Clock::time_point playStart;
    double playStartPace = 0.0;
    bool scrubbing = false; // the left button holds the timeline
    // The move whose line the timeline shows, and of which toolpath.
    std::int32_t lineMove = -1;
    std::uint32_t lineRevision = 0;
    // Where a reload of the same job in other moves is to put the cursor: how far through
    // the moves of a line of the file (or, with no record of the lines, through the whole).
    bool placePending = false;
    std::int64_t placeLine = 0; // 0: by the whole timeline
    double placeShare = 0.0;
};
Replay replay;

ReplayCursor endOfJob()
{
    return cursorAfterMove(toolpath.moveCount);
}

// The timeline span of the moves line `line` made: from the start of its first move to the
// start of the first move of a later line. The whole timeline for line 0, or when the load
// kept no record of the lines.
void lineSpan(std::int64_t line, double& from, double& to)
{
    from = 0.0;
    to = paceSeconds();
    const std::int32_t first = line > 0 ? firstMoveFromLine(line) : -1;
    if (first < 0)
        return;
    from = paceAt(cursorAfterMove(first));
    to = paceAt(cursorAfterMove(firstMoveFromLine(line + 1)));
}

// The cursor at the place keepReplayPlaceInJob noted, in the job loaded since.
ReplayCursor cursorAtPlace()
{
    double from = 0.0, to = 0.0;
    lineSpan(replay.placeLine, from, to);
    if (replay.placeShare >= 1.0 && to >= paceSeconds())
        return endOfJob();
    return cursorAtPace(from + replay.placeShare * (to - from));
}

bool atEnd(ReplayCursor cursor)
{
    return cursor.move >= toolpath.moveCount - 1 && cursor.fraction >= 1.0;
}

// The line the timeline shows follows the move at the cursor; the file is read only when
// that move changes.
void refreshLine()
{
    const std::int32_t move = std::clamp(replayDrawing.cursor.move, 0, toolpath.moveCount - 1);
    if (move == replay.lineMove && toolpath.revision == replay.lineRevision)
        return;
    const JobLine line = jobLineOf(lastFilePath, move);
    replayTimeline.lineNumber = line.number;
    replayTimeline.lineText = printableLine(line.text);
    replay.lineMove = move;
    replay.lineRevision = toolpath.revision;
}

void anchorClock()
{
    replay.playStart = Clock::now();
    replay.playStartPace = paceAt(replayDrawing.cursor);
}

void setPlaying(bool on)
{
    replay.playing = on;
    replayTimeline.playing = on;
    if (on) {
        anchorClock();
        startTimer(mainWindow, ReplayTimer, ReplayFrameMs);
    } else {
        stopTimer(mainWindow, ReplayTimer);
    }
}

void setSpeed(int index)
{
    replay.speed = std::clamp(index, 0, ReplaySpeedCount - 1);
    replayTimeline.speed = ReplaySpeeds[replay.speed];
    if (replay.playing)
        anchorClock(); // the new speed counts from here
}

// Every cursor change ends in a redraw of the frame.
void moveCursor(ReplayCursor cursor)
{
    replayDrawing.cursor = cursor;
    refreshLine();
    redraw();
}

void startReplay(ReplayCursor cursor, bool play)
{
    // The speed a user chose stays for the next replay of the same job.
    if (!replay.speedChosen || replay.speedRevision != toolpath.revision)
        setSpeed(firstSpeedIndex(paceSeconds()));
    replay.speedChosen = true;
    replay.speedRevision = toolpath.revision;
    replayDrawing.active = true;
    replayDrawing.marker = true;
    replayTimeline.shown = true;
    replay.lineMove = -1;
    replayDrawing.cursor = cursor;
    refreshLine();
    // A fitted job is fitted again above the timeline, so that none of it lies under it.
    if (viewState.autoFit)
        fitView();
    else
        redraw();
    setPlaying(play);
    presentAgain();
}

void endReplay()
{
    setPlaying(false);
    replay.scrubbing = false;
    replayDrawing.active = false;
    replayTimeline.shown = false;
}

// A replay starts where the whole job is shown: at its end, paused.
void ensureReplay()
{
    if (!replayDrawing.active)
        startReplay(endOfJob(), false);
}

void onSpace()
{
    if (!replayDrawing.active) {
        startReplay(ReplayCursor{}, true);
        return;
    }
    if (!replay.playing && atEnd(replayDrawing.cursor))
        moveCursor(ReplayCursor{}); // playing again from the start
    setPlaying(!replay.playing);
    presentAgain();
}

void onStep(int direction, int modifiers)
{
    ensureReplay();
    setPlaying(false); // a step is for looking closely
    const std::int32_t moves = (modifiers & CtrlModifier)    ? CtrlStep
                               : (modifiers & ShiftModifier) ? ShiftStep
                                                             : 1;
    moveCursor(steppedCursor(replayDrawing.cursor, direction * moves, toolpath.moveCount));
}

void jumpTo(ReplayCursor cursor)
{
    ensureReplay();
    moveCursor(cursor);
    if (replay.playing)
        anchorClock();
}

void onSpeedKey(int direction)
{
    if (!replayDrawing.active)
        return;
    setSpeed(replay.speed + direction);
    presentAgain();
}

void scrubTo(int x)
{
    const double share = timelineShareAt(currentTimelineBox(), x);
    moveCursor(cursorAtPace(share * paceSeconds()));
}

} // namespace

int firstSpeedIndex(double paceSeconds)
{
    const double wanted = paceSeconds / TypicalPlaySeconds;
    if (!(wanted > ReplaySpeeds[0])) // also a NaN
        return 0;
    int best = 0;
    for (int i = 1; i < ReplaySpeedCount; ++i)
        if (std::abs(std::log(ReplaySpeeds[i] / wanted)) <
            std::abs(std::log(ReplaySpeeds[best] / wanted)))
            best = i;
    return best;
}

ReplayCursor steppedCursor(ReplayCursor cursor, std::int32_t moves, std::int32_t count)
{
    if (count <= 0)
        return ReplayCursor{};
    // Move ends done: the moves wholly before the cursor.
    const std::int64_t done =
        std::clamp<std::int64_t>(cursor.move, 0, count) + (cursor.fraction >= 1.0 ? 1 : 0);
    const bool inside = cursor.fraction > 0.0 && cursor.fraction < 1.0;
    std::int64_t target = done + moves;
    if (moves < 0 && inside)
        ++target; // the first step back reaches the start of the move the tool is on
    target = std::clamp<std::int64_t>(target, 0, count);
    return target == 0 ? ReplayCursor{} : ReplayCursor{static_cast<std::int32_t>(target - 1), 1.0};
}

void onReplayKey()
{
    if (toolpath.moveCount <= 0)
        return;
    const int modifiers = eventModifiers(Canvas);
    switch (eventKeyCode(Canvas)) {
    case KeySpace: onSpace(); break;
    case KeyEscape:
        if (replayDrawing.active) {
            endReplay();
            if (viewState.autoFit)
                fitView(); // back to the fit of the whole canvas
            else
                redraw();
        }
        break;
    case KeyArrowRight: onStep(1, modifiers); break;
    case KeyArrowLeft: onStep(-1, modifiers); break;
    case KeyHome: jumpTo(ReplayCursor{}); break;
    case KeyEnd: jumpTo(endOfJob()); break;
    case KeyArrowUp: onSpeedKey(1); break;
    case KeyArrowDown: onSpeedKey(-1); break;
    default: break;
    }
}

void onReplayTimer()
{
    if (!replayDrawing.active || !replay.playing || toolpath.moveCount <= 0) {
        setPlaying(false);
        return;
    }
    if (replay.scrubbing)
        return;
    const std::chrono::duration<double> wall = Clock::now() - replay.playStart;
    const double place = replay.playStartPace + wall.count() * ReplaySpeeds[replay.speed];
    if (place >= paceSeconds()) {
        setPlaying(false);
        moveCursor(endOfJob());
        return;
    }
    moveCursor(cursorAtPace(place));
}

bool onReplayPress(int x, int y)
{
    if (toolpath.moveCount <= 0)
        return false;
    if (!replayDrawing.active) {
        if (!pixelBoxHolds(currentHintBox(), x, y))
            return false;
        startReplay(ReplayCursor{}, true);
        return true;
    }
    if (!pixelBoxHolds(currentTimelineBox().strip, x, y))
        return false;
    replay.scrubbing = true;
    scrubTo(x);
    return true;
}

bool onReplayDrag(int x, int)
{
    if (!replay.scrubbing)
        return false;
    scrubTo(x);
    return true;
}

bool onReplayRelease()
{
    if (!replay.scrubbing)
        return false;
    replay.scrubbing = false;
    if (replay.playing)
        anchorClock();
    return true;
}

void onReplayDoubleClick(int x, int y)
{
    if (toolpath.moveCount <= 0)
        return;
    if (replayDrawing.active && pixelBoxHolds(currentTimelineBox().strip, x, y))
        return; // the press before it has jumped already
    const std::int32_t move = nearestDrawnMove(x, y, PickRadius * viewState.uiScale);
    if (move < 0)
        return;
    if (!replayDrawing.active) {
        startReplay(cursorAfterMove(move + 1), false);
        return;
    }
    setPlaying(false);
    moveCursor(cursorAfterMove(move + 1));
}

void endReplayForOpen()
{
    endReplay();
    replay.speedChosen = false;
}

void keepReplayAfterReload()
{
    if (!replayDrawing.active)
        return;
    if (toolpath.moveCount <= 0) {
        endReplay();
        return;
    }
    if (replay.placePending)
        replayDrawing.cursor = cursorAtPlace();
    else if (replayDrawing.cursor.move >= toolpath.moveCount)
        replayDrawing.cursor = endOfJob();
    replay.placePending = false;
    replay.speedRevision = toolpath.revision; // the user's speed stays
    refreshLine();
    if (replay.playing)
        anchorClock();
}

void keepReplayPlaceInJob()
{
    replay.placePending = false;
    if (!replayDrawing.active || toolpath.moveCount <= 0)
        return;
    const ReplayCursor cursor = replayDrawing.cursor;
    const double at = paceAt(cursor);
    double from = 0.0, to = 0.0;
    replay.placeLine = lineOfMove(std::clamp(cursor.move, 0, toolpath.moveCount - 1));
    lineSpan(replay.placeLine, from, to);
    replay.placeShare = to > from ? std::clamp((at - from) / (to - from), 0.0, 1.0) : 1.0;
    replay.placePending = true;
}

void forgetReplayPlaceInJob()
{
    replay.placePending = false;
}
