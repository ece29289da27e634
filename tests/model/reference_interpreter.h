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
};

// What a load of a file holding `text` should leave in the store.
ReferenceResult referenceInterpret(const std::string& text);
