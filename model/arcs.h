// Turns a G2/G3 arc in the XY plane into the short straight moves that follow it.
#pragma once

#include <cstdint>

constexpr double ArcTolerance = 0.002;     // mm a stored move may stray from its arc, as machines allow
constexpr double ArcEndSlack = 0.005;      // mm an end may lie off the start's circle...
constexpr double ArcEndSlackShare = 0.001; // ...or this share of the radius, whichever is larger
constexpr double RadiusSlack = 0.001;      // mm R may fall short of half the chord (rounded numbers)
constexpr double FullCircleAngle = 5e-7;   // radians: an I/J arc that turns less goes all the way round
constexpr std::int32_t MostArcSegments = 4096; // moves per arc at most, whatever its radius

// An arc that a machine would run: where it turns, how far, and in how many moves.
struct ArcPlan {
    double centreX = 0.0, centreY = 0.0; // mm
    double startRadius = 0.0;            // mm from the centre to the start
    double endRadius = 0.0;              // mm to the end; within the slack of startRadius
    double sweep = 0.0;                  // radians, negative clockwise; at most a full turn
    std::int32_t segments = 1; // moves that follow it within ArcTolerance (1..MostArcSegments)
};

// The arc from (x1, y1) to (x2, y2) about the centre (cx, cy), all in mm; an end equal to
// the start is a full circle. false when no machine would run it: a zero or non-finite
// radius, or an end off the start's circle by more than both slacks.
bool planCentreArc(double x1, double y1, double x2, double y2, double cx, double cy, bool clockwise,
                   ArcPlan& plan);

// The arc from (x1, y1) to (x2, y2) of radius `radius` mm: the shorter one for a positive
// radius, the longer for a negative one. false when no machine would run it: ends that
// coincide, a zero or non-finite radius, or one shorter than half the chord beyond RadiusSlack.
bool planRadiusArc(double x1, double y1, double x2, double y2, double radius, bool clockwise,
                   ArcPlan& plan);

// The length of the path in mm (the sweep at the mean radius).
double arcLength(const ArcPlan& plan);

// Stores the moves along the planned arc from (x1, y1), the last one ending exactly at
// (x2, y2); a move that would go nowhere is left out. false when the store is full and
// cannot grow (the moves stored so far stay).
bool appendArcMoves(const ArcPlan& plan, double x1, double y1, double x2, double y2, double power,
                    bool travel);
