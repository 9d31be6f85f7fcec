#pragma once

#include <cstdint>

namespace krellon {

class PictureBox;

// The raster operation that copies source pixels unchanged; the only one the program uses.
constexpr std::uint32_t SRCCOPY = 0xCC0020;

// Copies a width x height rectangle of source at (sx, sy) to destination at (x, y), one
// scanline run at a time, clipped to both surfaces. Returns false for any other operation.
bool BitBlt(PictureBox& destination, int x, int y, int width, int height, const PictureBox& source,
            int sx, int sy, std::uint32_t rop);

}  // namespace krellon
