// A slow, obvious second reading of the G-code rules, to compare the interpreter against.
#pragma once

#include <string>
#include <vector>

#include "model/toolpath.h"

struct ReferenceResult {
    std::vector<Move> moves;
    Bounds allBounds, cutBounds;
    double maxPower = 0.0;
    double estimatedSeconds = 0.0;
    int straightArcs = 0;
};

// What a load of a file holding `text` should leave in the store, with G2/G3 followed as
// arcs or (`arcs` false) drawn as their chords.
ReferenceResult referenceInterpret(const std::string& text, bool arcs = false);
