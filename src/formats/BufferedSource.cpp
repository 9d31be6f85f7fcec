#include "BufferedSource.h"

#include <algorithm>
#include <cstring>

namespace krellon {

BufferedSource::BufferedSource(const ByteSource& inner, std::size_t blockSize)
    : inner_(inner), block_(std::max<std::size_t>(blockSize, 1)) {}

std::size_t BufferedSource::readAt(std::uint64_t offset, std::span<std::uint8_t> dst) const {
    if (dst.empty() || offset >= inner_.size()) {
        return 0;
    }
    if (dst.size() >= block_.size()) {
        return inner_.readAt(offset, dst);
    }
    const bool inBlock = offset >= blockStart_ && offset - blockStart_ < blockLength_ &&
                         dst.size() <= blockLength_ - (offset - blockStart_);
    if (!inBlock) {
        blockStart_ = offset;
        blockLength_ = inner_.readAt(offset, block_);
    }
    const std::size_t from = static_cast<std::size_t>(offset - blockStart_);
    const std::size_t count = std::min(dst.size(), blockLength_ - std::min(from, blockLength_));
    if (count > 0) {
        std::memcpy(dst.data(), block_.data() + from, count);
    }
    return count;
}

}  // namespace krellon
