#include "FileSource.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <limits>

namespace krellon {

// One descriptor, one status call and one positioned read per block: the start-up scan opens
// every image file of the folder, so each system call counts.
bool FileSource::open(const char* path) {
    close();
    // Non-blocking, so that a named pipe called like a data file cannot stall the open.
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return false;
    }
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || status.st_size < 0) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    size_ = static_cast<std::uint64_t>(status.st_size);
    return true;
}

void FileSource::close() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
    fd_ = -1;
    size_ = 0;
}

std::size_t FileSource::readAt(std::uint64_t offset, std::span<std::uint8_t> dst) const {
    if (fd_ < 0 || offset >= size_ || dst.empty() ||
        offset > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) {
        return 0;
    }
    std::size_t done = 0;
    while (done < dst.size()) {
        const ssize_t got =
            ::pread(fd_, dst.data() + done, dst.size() - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    return done;
}

std::size_t ReadFileAt(const char* path, std::uint64_t offset, std::span<std::uint8_t> dst) {
    if (offset > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) {
        return 0;
    }
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return 0;
    }
    ssize_t got = 0;
    do {
        got = ::pread(fd, dst.data(), dst.size(), static_cast<off_t>(offset));
    } while (got < 0 && errno == EINTR);
    ::close(fd);
    return got > 0 ? static_cast<std::size_t>(got) : 0;
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
