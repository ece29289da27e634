// Paints the toolpath into the off-screen frame and shows it on the canvas.
#pragma once

#include "model/job_pace.h"
#include "platform/colour.h"
#include "view/power_colours.h" // powerToColour, which the rest of the view shades by too
#include "view/segment_clip.h"  // clipSegment, which the rest of the view clips by too

#include <cstdint>
#include <string>

constexpr int FrameImageSlot = 0; // image slot of frameImage

// Text drawn on the empty canvas (drop hint or why the last file shows nothing).
extern std::string canvasMessage;

// Greys computed by the cutting passes since start: a redraw computes each power's shade
// once (the first band's count when bands draw at once), and this shows how often that was.
extern std::uint64_t greyEvaluations;

// Segments the last redraw's passes handed on to be drawn (after culling and merging),
// summed over the bands: a segment that reaches two bands counts in each.
extern std::uint64_t segmentsWalked;

// How redraw draws the travel and cutting moves: straight into the frame's pixels (what
// the program does), as strokes of the vector context (the drawing that came before, kept
// for comparisons), or not at all (what the walk over the moves costs on its own).
enum class MoveDrawing { Direct, Painter, WalkOnly };

struct RendererOptions {
    MoveDrawing moveDrawing = MoveDrawing::Direct;
    int threads = 0; // bands drawn at once; 0: one per core (one alone for small jobs)
};
extern RendererOptions rendererOptions;

// Moves a band passes over at once when all of them lie beyond it: the chunks of
// consecutive moves that start at multiples of this.
constexpr std::int32_t BandChunkMoves = 512;

// What a replay shows: the moves before the cursor drawn as ever (shaded by the whole job's
// largest power), the move at the cursor up to the tool's place, none after it, and a mark
// at the tool's place.
struct ReplayDrawing {
    bool active = false; // false: the whole job
    ReplayCursor cursor;
    bool marker = true;
};
extern ReplayDrawing replayDrawing;

// Repaints the frame from the toolpath and view, then presents it.
void redraw();

// Shows the last frame with its top-left corner at (dx, dy) device pixels, and the pointer
// readout over it.
void presentShifted(int dx, int dy);

// Shows the last frame again where it was last shown: the pointer readout has changed.
void presentAgain();
