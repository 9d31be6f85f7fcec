#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "ByteSource.h"

namespace krellon {

// Reads another source through a block buffer, so that a walk over many small fields (an
// image file's record headers and palettes) costs one read per block instead of one per
// field. Reads of a block or more go straight through. The inner source must outlive it.
class BufferedSource final : public ByteSource {
public:
    explicit BufferedSource(const ByteSource& inner, std::size_t blockSize = 8192);

    std::uint64_t size() const override { return inner_.size(); }
    std::size_t readAt(std::uint64_t offset, std::span<std::uint8_t> dst) const override;

private:
    const ByteSource& inner_;
    mutable std::vector<std::uint8_t> block_;
    mutable std::uint64_t blockStart_ = 0;
    mutable std::size_t blockLength_ = 0;
};

}  // namespace krellon
