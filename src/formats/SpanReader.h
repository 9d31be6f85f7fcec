#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "ByteReader.h"

namespace krellon {

// ByteReader's reads over bytes already in memory, inline and without copies: the same sticky
// failure (a read past the end yields zeros and turns ok() false), for walks whose source is
// one buffer.
class SpanReader {
public:
    explicit SpanReader(std::span<const std::uint8_t> bytes, std::uint64_t position = 0)
        : bytes_(bytes), position_(position), ok_(position <= bytes.size()) {}

    bool ok() const { return ok_; }
    std::uint64_t position() const { return position_; }
    std::uint64_t remaining() const {
        return position_ < bytes_.size() ? bytes_.size() - position_ : 0;
    }

    void skip(std::uint64_t count) {
        if (ok_ && count <= remaining()) {
            position_ += count;
        } else {
            ok_ = false;
        }
    }
    std::uint8_t readByte() {
        const std::uint8_t* p = take(1);
        return p ? *p : 0;
    }
    std::int32_t readInt32() {
        const std::uint8_t* p = take(4);
        return p ? DecodeInt32(p) : 0;
    }
    std::string readBytes(std::uint64_t count) {
        const std::uint8_t* p = take(count);
        return p ? std::string(reinterpret_cast<const char*>(p), static_cast<std::size_t>(count))
                 : std::string();
    }
    // The next count bytes where they lie, moving past them; nothing past the end.
    const std::uint8_t* take(std::uint64_t count) {
        if (!ok_ || count > remaining()) {
            ok_ = false;
            return nullptr;
        }
        const std::uint8_t* p = bytes_.data() + position_;
        position_ += count;
        return p;
    }

private:
    std::span<const std::uint8_t> bytes_;
    std::uint64_t position_;
    bool ok_;
};

}  // namespace krellon
