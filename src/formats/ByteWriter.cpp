#include "ByteWriter.h"

#include <bit>

namespace krellon {

void ByteWriter::writeInt16(std::int16_t value) {
    const auto v = static_cast<std::uint16_t>(value);
    bytes_.push_back(static_cast<std::uint8_t>(v));
    bytes_.push_back(static_cast<std::uint8_t>(v >> 8));
}

void ByteWriter::writeInt32(std::int32_t value) {
    std::uint8_t b[4];
    EncodeInt32(value, b);
    bytes_.insert(bytes_.end(), b, b + 4);
}

void ByteWriter::writeInt32s(std::span<const std::int32_t> values) {
    if constexpr (std::endian::native == std::endian::little) {
        const auto* p = reinterpret_cast<const std::uint8_t*>(values.data());
        bytes_.insert(bytes_.end(), p, p + values.size_bytes());
    } else {
        for (const std::int32_t value : values) {
            writeInt32(value);
        }
    }
}

void ByteWriter::writeBytes(std::string_view bytes) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.data());
    bytes_.insert(bytes_.end(), p, p + bytes.size());
}

void ByteWriter::writeBytes(const std::uint8_t* data, std::size_t size) {
    bytes_.insert(bytes_.end(), data, data + size);
}

}  // namespace krellon
