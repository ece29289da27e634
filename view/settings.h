// The user's display options and window geometry, kept by the shell and read by the view.
#pragma once

#include "platform/toolkit.h"

#include <cstdint>

struct Settings {
    std::int32_t greyByPower = 1;         // shade cutting moves by power
    std::int32_t showTravel = 0;          // draw travel moves
    std::int32_t showBed = 1;             // grid and rulers
    std::int32_t invertColours = 0;       // dark scheme
    std::int32_t inches = 0;              // lengths shown in inches
    std::int32_t arcs = 0;                // G2/G3 followed as arcs rather than drawn as chords
    std::int32_t windowX = UnsetPosition; // outer left of the last normal window, layout units
    std::int32_t windowY = UnsetPosition; // outer top, layout units
    std::int32_t windowWidth = 0;         // client width, layout units; 0 = unknown
    std::int32_t windowHeight = 0;        // client height, layout units; 0 = unknown
    std::int32_t maximized = 0;           // 1 when maximized at the last close
};

extern Settings settings;
