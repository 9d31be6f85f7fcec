#include "FileSource.h"

namespace krellon {

// One open, one status call and one positioned read per block: the start-up scan opens
// every image file of the folder, so each system call counts.
bool FileSource::open(const std::filesystem::path& path) {
    close();
    // Opened without waiting, so that a named pipe called like a data file cannot stall it.
    std::error_code error;
    sys::File file = sys::openForReading(path, error);
    if (error) {
        return false;
    }
    const sys::FileInfo info = sys::infoOf(file);
    if (info.kind != sys::FileKind::Regular) {
        return false;
    }
    file_ = std::move(file);
    size_ = info.size;
    return true;
}

void FileSource::close() {
    file_.close();
    size_ = 0;
}

std::size_t FileSource::readAt(std::uint64_t offset, std::span<std::uint8_t> dst) const {
    if (offset >= size_ || dst.empty()) {
        return 0;
    }
    return sys::readAt(file_, offset, dst);
}

std::size_t ReadFileAt(const std::filesystem::path& path, std::uint64_t offset,
                       std::span<std::uint8_t> dst) {
    std::error_code error;
    const sys::File file = sys::openForReading(path, error);
    return error ? 0 : sys::readAt(file, offset, dst);
}

bool ReadAll(const ByteSource& source, std::vector<std::uint8_t>& bytes) {
    bytes.resize(static_cast<std::size_t>(source.size()));
    if (source.readAt(0, bytes) != bytes.size()) {
        bytes.clear();
        return false;
    }
    return true;
}

}  // namespace krellon
