// The job totals gathered while moves are emitted: estimated time and largest power.
#pragma once

// Before a move is stored: a cutting move with a larger S raises maxPower.
void powerStep(double power, bool travel);

// After a move is stored: G1/G2/G3 moves with a positive feed add their length / F minutes.
void timeStep(int motionMode, double feed, double x1, double y1, double x2, double y2);

// Once at the end of a load: maxPower becomes 1000 when nothing cut.
void endOfLoadStep();
