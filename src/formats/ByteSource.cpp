#include "ByteSource.h"

#include <algorithm>
#include <cstring>

namespace krellon {

std::size_t MemorySource::readAt(std::uint64_t offset, std::span<std::uint8_t> dst) const {
    if (offset >= bytes_.size()) {
        return 0;
    }
    const std::size_t count = std::min<std::uint64_t>(dst.size(), bytes_.size() - offset);
    if (count > 0) {
        std::memcpy(dst.data(), bytes_.data() + offset, count);
    }
    return count;
}

}  // namespace krellon
