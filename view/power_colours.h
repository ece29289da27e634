// The grey of a cutting move's power, and the table a walk keeps so that each power's grey
// is worked out once.
#pragma once

#include "platform/colour.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

// Opaque grey of a cutting move of this power under the current options.
ColourValue powerToColour(double power);

// The colour of each stored power, computed the first time a redraw meets that power: on a
// photo engraving the power changes at nearly every move, over a few hundred values.
// Without the memory for the table, each change of power computes its colour again: the
// same colours, only slower.
struct PowerColours {
    static constexpr std::size_t Powers = std::size_t{1} << 16;
    std::unique_ptr<ColourValue[]> table{new (std::nothrow) ColourValue[Powers]()}; // 0: not yet
    std::int16_t lastPower = 0;
    ColourValue lastColour = 0;

    ColourValue of(std::int16_t power, std::uint64_t& greys)
    {
        if (power == lastPower && lastColour != 0)
            return lastColour;
        ColourValue computed = 0;
        ColourValue& entry = table ? table[static_cast<std::uint16_t>(power)] : computed;
        if (entry == 0) { // no colour is 0: each is opaque
            entry = powerToColour(power);
            ++greys;
        }
        lastPower = power;
        lastColour = entry;
        return entry;
    }
};
