#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "formats/Colour.h"

namespace krellon {

// One image to put into an image file.
struct ImageSpec {
    std::string name;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<ColourValue> palette;  // the record's own palette; empty for none
    std::vector<std::uint8_t> pixels;  // width x height, top row first
};

// The bytes of an image file holding images after a file palette, the way the game lays
// them out. The editor needs a 256-entry file palette; other counts serve tests.
std::vector<std::uint8_t> BuildImageFile(const std::vector<ImageSpec>& images,
                                         const std::vector<ColourValue>& filePalette);

// A file palette of 256 entries: a grey ramp.
std::vector<ColourValue> GreyPalette();

}  // namespace krellon
