// Shades a cutting move by its laser power: darker for stronger burns on the light scheme,
// brighter on the dark one, or one grey for every cut without shading.
#include "view/power_colours.h"

#include "model/toolpath.h"
#include "view/settings.h"

namespace {

constexpr double MaxGrey = 255.0;            // grey of full power on the dark scheme ...
constexpr double DarkZeroPowerGrey = 60.0;   // ... rising from this at zero power
constexpr double LightZeroPowerGrey = 210.0; // light scheme: zero power, falling to black
constexpr unsigned DarkUniformGrey = 235;    // every cut on the dark scheme without shading
constexpr unsigned LightUniformGrey = 0;     // every cut on the light scheme without shading
constexpr unsigned Opaque = 255;             // alpha

} // namespace

ColourValue powerToColour(double power)
{
    unsigned grey = 0;
    if (!settings.greyByPower) {
        grey = settings.invertColours ? DarkUniformGrey : LightUniformGrey;
    } else {
        double t = power / toolpath.maxPower;
        if (!(t >= 0.0)) // also a NaN
            t = 0.0;
        if (t > 1.0)
            t = 1.0;
        const double shade = settings.invertColours
                                 ? t * (MaxGrey - DarkZeroPowerGrey) + DarkZeroPowerGrey
                                 : (1.0 - t) * LightZeroPowerGrey;
        grey = static_cast<unsigned>(shade); // 0..255, truncated
    }
    return makeRgba(grey, grey, grey, Opaque);
}
