#pragma once

#include <vector>

#include "ImageFileBuilder.h"

namespace krellon {

// The pictures of the demo data: bevelled bricks and seamless background patterns, each image
// with a palette of its own.

// 84 bricks of 30 x 15: 16 colours in five styles, then "Hidden", "Steel", "Gold", "Silver".
std::vector<ImageSpec> DemoBricks();

// Seamless backgrounds of size x size (64 or 128).
std::vector<ImageSpec> DemoBackgrounds(int size);

// Images that fit neither list: a 320 x 200 title picture first, then a few others, one of
// them without a palette of its own.
std::vector<ImageSpec> DemoTitleImages();

}  // namespace krellon
