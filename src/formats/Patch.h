#pragma once

#include <cstdint>
#include <span>

namespace krellon {

// Bytes that a patched copy writes over the copied ones, at an offset of the file.
struct Patch {
    std::uint64_t offset = 0;
    std::span<const std::uint8_t> bytes;
};

}  // namespace krellon
