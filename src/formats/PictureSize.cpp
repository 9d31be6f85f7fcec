#include "PictureSize.h"

#include <cstring>

#include "ByteReader.h"

namespace krellon {

namespace {

std::int32_t BigEndian32(const std::uint8_t* p) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(p[0]) << 24 |
                                     static_cast<std::uint32_t>(p[1]) << 16 |
                                     static_cast<std::uint32_t>(p[2]) << 8 | p[3]);
}

}  // namespace

std::optional<std::pair<std::int32_t, std::int32_t>> PictureSize(
    std::span<const std::uint8_t> head) {
    static constexpr std::uint8_t kPng[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (head.size() >= 24 && std::memcmp(head.data(), kPng, sizeof kPng) == 0 &&
        std::memcmp(head.data() + 12, "IHDR", 4) == 0) {
        return std::make_pair(BigEndian32(head.data() + 16), BigEndian32(head.data() + 20));
    }
    if (head.size() >= 26 && head[0] == 'B' && head[1] == 'M') {
        return std::make_pair(DecodeInt32(head.data() + 18), DecodeInt32(head.data() + 22));
    }
    return std::nullopt;
}

}  // namespace krellon
