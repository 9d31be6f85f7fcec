#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace krellon {

// Appends little-endian numbers and raw bytes to a buffer in memory; the mirror of ByteReader.
class ByteWriter {
public:
    void reserve(std::size_t size) { bytes_.reserve(size); }

    void writeByte(std::uint8_t value) { bytes_.push_back(value); }
    void writeInt16(std::int16_t value);
    void writeInt32(std::int32_t value);
    // A run of numbers, each little-endian: one copy where the machine is little-endian too.
    void writeInt32s(std::span<const std::int32_t> values);
    void writeBytes(std::string_view bytes);
    void writeBytes(const std::uint8_t* data, std::size_t size);
    void writeZeros(std::size_t count) { bytes_.insert(bytes_.end(), count, 0); }

    std::size_t size() const { return bytes_.size(); }
    const std::vector<std::uint8_t>& bytes() const { return bytes_; }
    std::vector<std::uint8_t> take() { return std::move(bytes_); }

private:
    std::vector<std::uint8_t> bytes_;
};

// Encodes a 32-bit signed integer little-endian into four bytes.
inline void EncodeInt32(std::int32_t value, std::uint8_t* p) {
    const auto v = static_cast<std::uint32_t>(value);
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}

}  // namespace krellon
