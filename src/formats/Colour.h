#pragma once

#include <array>
#include <cstdint>

namespace krellon {

// One colour as the game files give it: red + 256 * green + 65536 * blue.
using ColourValue = std::int32_t;

constexpr int kPaletteSize = 256;

// 256 colour values, entry p for pixel value p.
using Palette = std::array<ColourValue, kPaletteSize>;

constexpr ColourValue MakeColour(int red, int green, int blue) {
    return red + 256 * green + 65536 * blue;
}
constexpr int RedOf(ColourValue c) {
    return c & 0xFF;
}
constexpr int GreenOf(ColourValue c) {
    return (c >> 8) & 0xFF;
}
constexpr int BlueOf(ColourValue c) {
    return (c >> 16) & 0xFF;
}

}  // namespace krellon
