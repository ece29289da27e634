// The replay's timeline along the canvas's foot: where the cursor stands in the job's course,
// the G-code line that made the move at it, the tool's place, feed, power and times; and,
// while no replay is on, the small hint that tells how to start one. Both are painted over
// the presented frame, never into it.
#pragma once

#include "model/job_pace.h"

#include <cstdint>
#include <string>

// What the timeline shows beside the cursor; the replay's controller writes it.
struct ReplayTimeline {
    bool shown = false;          // a replay is on
    bool playing = false;        // the cursor runs with the clock
    double speed = 1.0;          // times the machine's pace
    std::int64_t lineNumber = 0; // of the move at the cursor; 0 when not known
    std::string lineText;        // that line as the file holds it
};
extern ReplayTimeline replayTimeline;

// A rectangle of canvas device pixels: columns left to right - 1, rows top to bottom - 1.
struct PixelBox {
    int left = 0, top = 0, right = 0, bottom = 0;
};

// Where the timeline stands: the strip and the bar inside it.
struct TimelineBox {
    PixelBox strip;
    PixelBox bar;
};

// The timeline on a canvas of `width` x `height` pixels whose ruler bands take `leftBand`
// and `bottomBand` pixels (0 without the bed), texts `textHeight` pixels high, at `r`
// pixels per layout unit: two rows of text over the bar, right of the left band and
// standing on the bottom band.
TimelineBox timelineBox(int width, int height, int leftBand, int bottomBand, int textHeight, double r);
// The same for the canvas as last drawn (needs no drawing context).
TimelineBox currentTimelineBox();

// The start hint's box on the canvas as last drawn: right of the left band, standing on the
// bottom band.
PixelBox currentHintBox();

bool pixelBoxHolds(const PixelBox& box, int x, int y);

// The share (0 to 1) of the timeline at canvas column x: the bar's ends and beyond clamp.
double timelineShareAt(const TimelineBox& box, int x);

// The lowest row that other texts at the canvas's foot may reach: above the timeline while
// a replay is on, above the start hint when `belowHint`, else above the bottom ruler band.
// For the raster context open on the canvas.
int canvasFootTop(bool belowHint);

// The readouts at a cursor of the loaded job, in the interface language and the unit the
// options say.
struct ReplayTexts {
    std::string line;  // "Line 12: G1 X10 Y5"
    std::string keys;  // state, speed and the keys that change them
    std::string place; // "Move 3 of 40   X ...   Y ... mm   F 600 mm/min   S 255"
    std::string times; // "elapsed 0:00:12   remaining 0:01:40   10.7 %"
};
ReplayTexts composeReplayTexts(ReplayCursor cursor);

// A G-code line as it may be shown: control characters as blanks, bytes that are no UTF-8
// as "?".
std::string printableLine(const std::string& text);

// `text` cut at a character so that it fits `maxWidth` pixels of the raster font, with "…"
// where it was cut; "" when not even that fits. Into an open raster context.
std::string fitText(const std::string& text, int maxWidth);

// The drawn move nearest to canvas point (x, y) within `radius` pixels, -1 for none. Drawn
// are the cutting moves, the travel moves when shown, and in a replay only those the cursor
// has reached (the one at it as far as the tool is). Of moves as near, the one drawn last:
// it lies on top.
std::int32_t nearestDrawnMove(double x, double y, double radius);

// The hint or the timeline into the raster context open on the canvas; nothing without moves.
void paintReplayOverlay();
