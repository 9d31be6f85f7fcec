// The POSIX side of System.h.
#include "System.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <limits>
#include <utility>

namespace krellon::sys {

namespace fs = std::filesystem;

namespace {

std::error_code LastError() {
    return {errno, std::system_category()};
}

int Fd(const File& file) {
    return static_cast<int>(file.handle());
}

// Opens path with flags, again when a signal cuts the call short.
File Open(const fs::path& path, int flags, mode_t mode, std::error_code& error) {
    int fd = -1;
    do {
        fd = ::open(path.c_str(), flags | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    error = fd < 0 ? LastError() : std::error_code();
    return File(fd);
}

FileKind KindOf(mode_t mode) {
    return S_ISREG(mode)    ? FileKind::Regular
           : S_ISDIR(mode)  ? FileKind::Folder
           : S_ISFIFO(mode) ? FileKind::Pipe
           : S_ISCHR(mode)  ? FileKind::CharDevice
           : S_ISBLK(mode)  ? FileKind::BlockDevice
           : S_ISSOCK(mode) ? FileKind::Socket
                            : FileKind::Other;
}

FileInfo InfoFrom(const struct stat& status) {
    FileInfo info;
    info.kind = KindOf(status.st_mode);
    info.id = {static_cast<std::uint64_t>(status.st_dev),
               static_cast<std::uint64_t>(status.st_ino)};
    info.size = status.st_size < 0 ? 0 : static_cast<std::uint64_t>(status.st_size);
    info.modifiedSeconds = static_cast<std::int64_t>(status.st_mtim.tv_sec);
    info.modifiedNanoseconds = static_cast<std::int64_t>(status.st_mtim.tv_nsec);
    info.readOnly = (status.st_mode & S_IWUSR) == 0;
    info.mode = status.st_mode & 07777;
    info.owner = status.st_uid;
    info.group = status.st_gid;
    return info;
}

// Opens folder itself, to flush it or the file system it lies on.
File OpenFolder(const fs::path& folder, std::error_code& error) {
    return Open(folder, O_RDONLY | O_DIRECTORY, 0, error);
}

}  // namespace

std::error_code File::close() {
    if (handle_ == -1) {
        return {};
    }
    const int fd = static_cast<int>(std::exchange(handle_, -1));
    return ::close(fd) != 0 ? LastError() : std::error_code();
}

File openForReading(const fs::path& path, std::error_code& error) {
    return Open(path, O_RDONLY | O_NONBLOCK, 0, error);
}

File createNew(const fs::path& path, NewFileAccess access, std::error_code& error) {
    const mode_t mode = access == NewFileAccess::Private ? 0600 : 0666;
    // One attempt: a name taken is for the caller to change, not a call to repeat.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    error = fd < 0 ? LastError() : std::error_code();
    return File(fd);
}

File openStream(const fs::path& path, std::error_code& error) {
    return Open(path, O_WRONLY | O_NOCTTY, 0, error);
}

FileInfo infoOf(const fs::path& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 ? InfoFrom(status) : FileInfo{};
}

FileInfo infoOf(const File& file) {
    struct stat status {};
    return file.isOpen() && ::fstat(Fd(file), &status) == 0 ? InfoFrom(status) : FileInfo{};
}

std::size_t readAt(const File& file, std::uint64_t offset, std::span<std::uint8_t> dst) {
    if (!file.isOpen() || offset > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) {
        return 0;
    }
    std::size_t done = 0;
    while (done < dst.size()) {
        const ssize_t got = ::pread(Fd(file), dst.data() + done, dst.size() - done,
                                    static_cast<off_t>(offset + done));
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

namespace {

std::error_code WriteAll(int fd, std::span<const std::uint8_t> bytes) {
    const std::uint8_t* data = bytes.data();
    std::size_t size = bytes.size();
    while (size > 0) {
        const ssize_t done = ::write(fd, data, size);
        if (done < 0 && errno == EINTR) {
            continue;
        }
        if (done <= 0) {
            // A write that takes nothing has found no room.
            return done < 0 ? LastError() : std::error_code(ENOSPC, std::system_category());
        }
        data += done;
        size -= static_cast<std::size_t>(done);
    }
    return {};
}

}  // namespace

std::error_code writeAll(const File& file, std::span<const std::uint8_t> bytes) {
    return WriteAll(Fd(file), bytes);
}

std::error_code writeStandardOutput(std::span<const std::uint8_t> bytes) {
    return WriteAll(STDOUT_FILENO, bytes);
}

std::error_code flushToDisk(const File& file) {
    return ::fsync(Fd(file)) != 0 ? LastError() : std::error_code();
}

std::error_code flushFolder(const fs::path& folder) {
    std::error_code error;
    const File dir = OpenFolder(folder, error);
    if (error) {
        return error;
    }
    return flushToDisk(dir);
}

std::error_code flushFileSystem(const fs::path& folder) {
    std::error_code error;
    const File dir = OpenFolder(folder, error);
    if (error) {
        return error;
    }
    return ::syncfs(Fd(dir)) != 0 ? LastError() : std::error_code();
}

bool flushesFileSystems() {
    return true;
}

std::error_code renameOver(const fs::path& from, const fs::path& to) {
    return ::rename(from.c_str(), to.c_str()) != 0 ? LastError() : std::error_code();
}

void copyAccess(const File& file, const FileInfo& like) {
    // Owner and group where the system allows it (the group alone for a member of it), then
    // the mode, which a change of owner may have cut.
    if (::fchown(Fd(file), like.owner, like.group) != 0) {
        [[maybe_unused]] const int ignored = ::fchown(Fd(file), static_cast<uid_t>(-1), like.group);
    }
    ::fchmod(Fd(file), like.mode);
}

void restrictToOwner(const fs::path& folder) {
    ::chmod(folder.c_str(), 0700);
}

bool tryLockExclusive(const File& file) {
    return ::flock(Fd(file), LOCK_EX | LOCK_NB) == 0;
}

std::optional<fs::path> linkTarget(const fs::path& path) {
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(path, ec))) {
        return std::nullopt;
    }
    fs::path target = fs::read_symlink(path, ec);
    return ec ? std::nullopt : std::optional<fs::path>(std::move(target));
}

std::uint64_t processId() {
    return static_cast<std::uint64_t>(::getpid());
}

std::vector<fs::path> programArguments(int argc, char** argv) {
    std::vector<fs::path> arguments;
    for (int i = 0; i < argc; ++i) {
        arguments.emplace_back(argv[i]);
    }
    return arguments;
}

void useBinaryStandardStreams() {}

// SIGPIPE is held back for the thread, and one that the writes raised is taken away.
struct BrokenPipeHeldBack::State {
    sigset_t pipe;
    sigset_t previous;
    bool pendingBefore = false;
};

BrokenPipeHeldBack::BrokenPipeHeldBack() : state_(std::make_unique<State>()) {
    sigemptyset(&state_->pipe);
    sigaddset(&state_->pipe, SIGPIPE);
    sigset_t pending;
    sigpending(&pending);
    state_->pendingBefore = sigismember(&pending, SIGPIPE) == 1;
    pthread_sigmask(SIG_BLOCK, &state_->pipe, &state_->previous);
}

BrokenPipeHeldBack::~BrokenPipeHeldBack() {
    sigset_t pending;
    sigpending(&pending);
    if (!state_->pendingBefore && sigismember(&pending, SIGPIPE) == 1) {
        const timespec now{};
        sigtimedwait(&state_->pipe, nullptr, &now);
    }
    pthread_sigmask(SIG_SETMASK, &state_->previous, nullptr);
}

}  // namespace krellon::sys
