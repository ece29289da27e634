// The replay in the window: a cursor that runs through the job in the machine's order, moved
// by keys, by the timeline at the canvas's foot and by double clicks on the drawing, and
// played with the clock at a chosen multiple of the machine's pace.
#pragma once

#include "model/job_pace.h"

#include <cstdint>

constexpr int ReplayFrameMs = 16; // milliseconds between two frames while playing

// The speeds the keys step through, times the machine's pace by the estimate.
constexpr double ReplaySpeeds[] = {1,   2,    5,    10,   20,    50,    100,   200,
                                   500, 1000, 2000, 5000, 10000, 20000, 50000, 100000};
constexpr int ReplaySpeedCount = sizeof ReplaySpeeds / sizeof ReplaySpeeds[0];
constexpr double TypicalPlaySeconds = 20.0; // a job plays in about this long at its first speed

// The speed a replay of a timeline this many seconds long starts at: the one nearest (by
// ratio) to playing it in TypicalPlaySeconds.
int firstSpeedIndex(double paceSeconds);

// The cursor `moves` move ends after (or, negative, before) `cursor` in a job of `count`
// moves, clamped to its start and end. From inside a move, one step back is that move's start.
ReplayCursor steppedCursor(ReplayCursor cursor, std::int32_t moves, std::int32_t count);

// A key on the canvas: Space, Esc, the arrows, Home and End.
void onReplayKey();
// The playing clock's frame.
void onReplayTimer();
// A left press on the canvas at (x, y): true when the timeline or the start hint took it.
bool onReplayPress(int x, int y);
// The pointer moves with the left button held; true while it scrubs the timeline.
bool onReplayDrag(int x, int y);
// The left button goes up; true when it ended a scrub.
bool onReplayRelease();
// A left double click on the canvas: the cursor goes to the end of the drawn move under it.
void onReplayDoubleClick(int x, int y);

// Another file is opened: the replay ends without a redraw (the open draws).
void endReplayForOpen();
// The followed file was loaded again: the cursor stays at the same move when the job still
// has it, else at the job's end; a job without moves ends the replay. After
// keepReplayPlaceInJob it goes to the place noted there instead.
void keepReplayAfterReload();
// The next reload loads the same job into other moves (arcs followed, or drawn as chords),
// where the move number would point elsewhere: the cursor is to stay at the same line of the
// file, as far through that line's part of the timeline. Holds until the next
// keepReplayAfterReload or forgetReplayPlaceInJob.
void keepReplayPlaceInJob();
void forgetReplayPlaceInJob();
