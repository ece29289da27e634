// The motion modes a G-code line can set, as their G numbers: the reader keeps the one in
// force, and the job totals time the feed moves (G1 to G3).
#pragma once

constexpr int NoMotion = -1;           // no G0..G3 seen yet (file) or on this line
constexpr int RapidMotion = 0;         // G0: travel at machine speed
constexpr int LinearMotion = 1;        // G1: straight move at the feed rate
constexpr int ClockwiseArc = 2;        // G2: clockwise arc, its chord unless arcs are followed
constexpr int CounterClockwiseArc = 3; // G3: counter-clockwise arc, likewise
