#include "ByteReader.h"

#include <algorithm>
#include <array>

namespace krellon {

ByteReader::ByteReader(const ByteSource& source, std::uint64_t position)
    : source_(source), position_(position) {
    if (position > source.size()) {
        fail();
    }
}

std::uint64_t ByteReader::remaining() const {
    const std::uint64_t size = source_.size();
    return position_ < size ? size - position_ : 0;
}

void ByteReader::fail() {
    ok_ = false;
}

void ByteReader::seek(std::uint64_t position) {
    if (!ok_) {
        return;
    }
    if (position > source_.size()) {
        fail();
        return;
    }
    position_ = position;
}

void ByteReader::skip(std::uint64_t count) {
    if (!ok_) {
        return;
    }
    if (count > remaining()) {
        fail();
        return;
    }
    position_ += count;
}

bool ByteReader::readInto(std::span<std::uint8_t> dst) {
    if (ok_ && dst.size() <= remaining() && source_.readAt(position_, dst) == dst.size()) {
        position_ += dst.size();
        return true;
    }
    fail();
    std::fill(dst.begin(), dst.end(), std::uint8_t{0});
    return false;
}

std::uint8_t ByteReader::readByte() {
    std::array<std::uint8_t, 1> b{};
    readInto(b);
    return b[0];
}

std::int32_t ByteReader::readInt32() {
    std::array<std::uint8_t, 4> b{};
    readInto(b);
    return DecodeInt32(b.data());
}

std::string ByteReader::readBytes(std::uint64_t count) {
    if (!ok_ || count > remaining()) {
        fail();
        return {};
    }
    std::string text(static_cast<std::size_t>(count), '\0');
    auto* data = reinterpret_cast<std::uint8_t*>(text.data());
    if (!readInto({data, text.size()})) {
        return {};
    }
    return text;
}

}  // namespace krellon
