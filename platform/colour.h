// Packed 32-bit colours shared by every drawing call: red in the low byte, alpha in the high byte.
#pragma once

#include <cstdint>

using ColourValue = std::uint32_t;

// Red, green and blue with an alpha byte of 0: the raster form, where alpha is ignored.
constexpr ColourValue makeRgb(unsigned r, unsigned g, unsigned b)
{
    return (r & 255u) + (g & 255u) * 256u + (b & 255u) * 65536u;
}

// Red, green, blue and straight (not premultiplied) alpha, 255 = opaque.
constexpr ColourValue makeRgba(unsigned r, unsigned g, unsigned b, unsigned a)
{
    return makeRgb(r, g, b) + (a & 255u) * 16777216u;
}

constexpr unsigned redOf(ColourValue c)
{
    return c & 255u;
}
constexpr unsigned greenOf(ColourValue c)
{
    return (c >> 8) & 255u;
}
constexpr unsigned blueOf(ColourValue c)
{
    return (c >> 16) & 255u;
}
constexpr unsigned alphaOf(ColourValue c)
{
    return (c >> 24) & 255u;
}
