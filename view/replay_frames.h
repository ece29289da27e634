// Keeps a replay's moves drawn between frames, so that a cursor change draws only what it
// adds, or starts again from a nearby checkpoint, instead of walking every move.
#pragma once

#include <cstddef>
#include <cstdint>

struct ReplayFrameOptions {
    bool enabled = true;            // false: every replay frame walks all moves before the cursor
    std::int32_t firstInterval = 0; // moves between checkpoints before any are merged; 0: chosen
    std::size_t budgetBytes = 0;    // most the checkpoints may hold; 0: chosen from the job's size
};
extern ReplayFrameOptions replayFrameOptions;

// Draws the moves of replayDrawing (the whole ones before the cursor, then the part of the
// one at it) into the frame image of width x height pixels, which holds the background and
// grid unless replayFramesKept. false when the frame cannot be drawn so (travel moves shown,
// no memory, no frame), and the caller draws it by walking every move. The first frame after a change of the view,
// options or toolpath walks every move of the job once to take its checkpoints.
bool drawReplayMoves(int width, int height);

// Whether drawReplayMoves now draws the whole frame from what it keeps, its background and
// grid too, so that the frame need not be painted first.
bool replayFramesKept(int width, int height);

// Lets go of everything drawReplayMoves keeps: the replay has ended.
void releaseReplayFrames();

// What drawReplayMoves keeps now, in bytes (the moves drawn and the checkpoints).
std::size_t replayFramesBytes();
