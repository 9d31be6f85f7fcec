#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <utility>

namespace krellon {

// Bytes of a picture's start that PictureSize reads.
inline constexpr std::size_t kPictureSizeBytes = 26;

// The width and height a BMP (at offsets 18 and 22) or a PNG (its header chunk) states, from
// the picture's first bytes; nothing when they are neither. The decoders then check the rest
// against this size.
std::optional<std::pair<std::int32_t, std::int32_t>> PictureSize(
    std::span<const std::uint8_t> head);

}  // namespace krellon
