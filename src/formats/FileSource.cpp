#include "FileSource.h"

#include <limits>
#include <system_error>

namespace krellon {

bool FileSource::open(const std::filesystem::path& path) {
    close();
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        return false;
    }
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) {
        return false;
    }
    // Reads go straight to the caller's buffer in one call each; stdio's buffer would only add
    // a copy, and every read seeks anyway.
    std::setvbuf(f, nullptr, _IONBF, 0);
    file_.reset(f);
    if (std::fseek(f, 0, SEEK_END) != 0) {
        close();
        return false;
    }
    const long end = std::ftell(f);
    if (end < 0) {
        close();
        return false;
    }
    size_ = static_cast<std::uint64_t>(end);
    return true;
}

void FileSource::close() {
    file_.reset();
    size_ = 0;
}

std::size_t FileSource::readAt(std::uint64_t offset, std::span<std::uint8_t> dst) const {
    if (!file_ || offset >= size_ || dst.empty() ||
        offset > static_cast<std::uint64_t>(std::numeric_limits<long>::max())) {
        return 0;
    }
    if (std::fseek(file_.get(), static_cast<long>(offset), SEEK_SET) != 0) {
        return 0;
    }
    return std::fread(dst.data(), 1, dst.size(), file_.get());
}

bool ReadWholeFile(const std::filesystem::path& path, std::vector<std::uint8_t>& bytes) {
    FileSource source;
    if (!source.open(path)) {
        return false;
    }
    bytes.resize(source.size());
    return source.readAt(0, bytes) == bytes.size();
}

}  // namespace krellon
