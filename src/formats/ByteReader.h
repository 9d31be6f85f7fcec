#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "ByteSource.h"

namespace krellon {

// Sequential little-endian reader over a ByteSource with a sticky failure flag: once a read
// would pass the end of the source, it and every later read yield zeros and ok() turns false.
// Counts are checked against what the source holds before anything is allocated.
class ByteReader {
public:
    explicit ByteReader(const ByteSource& source, std::uint64_t position = 0);

    bool ok() const { return ok_; }
    std::uint64_t position() const { return position_; }
    // Bytes left between the position and the end of the source.
    std::uint64_t remaining() const;

    // Moves to an absolute position; a position past the end fails.
    void seek(std::uint64_t position);
    // Moves count bytes on; passing the end fails.
    void skip(std::uint64_t count);

    std::uint8_t readByte();
    std::int32_t readInt32();
    // Reads count bytes as they are (texts are held in their single-byte code page).
    std::string readBytes(std::uint64_t count);
    // Fills dst; on failure dst is zero-filled.
    bool readInto(std::span<std::uint8_t> dst);

private:
    void fail();

    const ByteSource& source_;
    std::uint64_t position_;
    bool ok_ = true;
};

// Decodes a 32-bit little-endian signed integer from four bytes.
inline std::int32_t DecodeInt32(const std::uint8_t* p) {
    const std::uint32_t v =
        static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
        (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
    return static_cast<std::int32_t>(v);
}

}  // namespace krellon
