#include "AtomicFile.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <random>
#include <system_error>
#include <vector>

#include "FileSource.h"

namespace krellon {

namespace fs = std::filesystem;

namespace {

std::optional<std::uint64_t> g_failAfterBytes;

// Copies go through a buffer of this size: large enough for few system calls, small enough
// that no file size makes it grow.
constexpr std::size_t kCopyBlock = 1 << 20;

std::string ErrnoText(int error) {
    return std::strerror(error);
}

// A new, uniquely named file in dir, opened for writing; never reuses an existing name. The
// name is short, so that a target whose own name is as long as the system allows can still
// be replaced.
int CreateTemporary(const fs::path& dir, mode_t mode, fs::path& temp, int& error) {
    static std::atomic<unsigned> counter{0};
    static const char* digits = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::random_device random;
    for (int attempt = 0; attempt < 16; ++attempt) {
        std::string name = ".krl-";
        unsigned value = random() ^ (counter++ * 2654435761u);
        for (int i = 0; i < 6; ++i, value /= 36) {
            name += digits[value % 36];
        }
        temp = dir / (name + ".tmp");
        const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0) {
            return fd;
        }
        error = errno;
        if (error != EEXIST) {
            return -1;
        }
    }
    return -1;
}

bool WriteAll(int fd, const std::uint8_t* data, std::size_t size, std::string& failure) {
    while (size > 0) {
        const ssize_t done = ::write(fd, data, size);
        if (done < 0 && errno == EINTR) {
            continue;
        }
        if (done <= 0) {
            failure = ErrnoText(done < 0 ? errno : ENOSPC);
            return false;
        }
        data += done;
        size -= static_cast<std::size_t>(done);
    }
    return true;
}

// The new bytes as they are written, to a temporary file or a stream, with the failure seam
// applied.
class TemporaryWriter {
public:
    explicit TemporaryWriter(int fd) : fd_(fd) {}

    bool write(std::span<const std::uint8_t> bytes) {
        if (!failure.empty()) {
            return false;
        }
        std::size_t count = bytes.size();
        if (g_failAfterBytes && *g_failAfterBytes < written_ + count) {
            count = static_cast<std::size_t>(*g_failAfterBytes - written_);
            if (WriteAll(fd_, bytes.data(), count, failure)) {
                failure = "No space left on device";
            }
            return false;
        }
        if (!WriteAll(fd_, bytes.data(), count, failure)) {
            return false;
        }
        written_ += count;
        return true;
    }

    std::string failure;

private:
    int fd_;
    std::uint64_t written_ = 0;
};

// Reads source block by block, handing each block and its offset to use; stops when use
// returns false. False when a block cannot be read whole.
template <typename Use>
bool ForEachBlock(const ByteSource& source, Use use) {
    std::vector<std::uint8_t> block(
        static_cast<std::size_t>(std::min<std::uint64_t>(source.size(), kCopyBlock)));
    for (std::uint64_t offset = 0; offset < source.size(); offset += block.size()) {
        const std::size_t want =
            static_cast<std::size_t>(std::min<std::uint64_t>(block.size(), source.size() - offset));
        const std::span<std::uint8_t> part(block.data(), want);
        if (source.readAt(offset, part) != want) {
            return false;
        }
        if (!use(offset, part)) {
            return true;
        }
    }
    return true;
}

// Writes content's bytes, with patches over them, to out; each block read also goes to the
// backup when one is being kept of content.
bool CopyWithPatches(const ByteSource& content, std::span<const Patch> patches,
                     TemporaryWriter& out, BackupStore::Writer* backup) {
    const bool read =
        ForEachBlock(content, [&](std::uint64_t offset, std::span<std::uint8_t> part) {
            const std::size_t want = part.size();
            if (backup != nullptr && backup->active()) {
                backup->append(part);
            }
            for (const Patch& patch : patches) {
                const std::uint64_t begin = std::max(patch.offset, offset);
                const std::uint64_t end =
                    std::min(patch.offset + patch.bytes.size(), offset + want);
                if (begin < end) {
                    std::memcpy(part.data() + (begin - offset),
                                patch.bytes.data() + (begin - patch.offset),
                                static_cast<std::size_t>(end - begin));
                }
            }
            return out.write(part);
        });
    if (!read) {
        out.failure = "the file could not be read";
    }
    return read && out.failure.empty();
}

void Report(const KeepPrevious& keep, BackupStore::Writer& backup, bool flush) {
    if (!backup.active()) {
        return;
    }
    const std::string problem = backup.commit(flush);
    if (!problem.empty() && keep.problem != nullptr) {
        *keep.problem = problem;
    }
}

// What a replacement writes: bytes from memory, or a source's bytes with patches over them.
struct NewContent {
    std::span<const std::uint8_t> bytes;
    const ByteSource* source = nullptr;
    std::span<const Patch> patches;
    bool sourceIsCurrent = false;  // the source is the replaced file itself
};

// A replacement written beside its target and waiting to take its place, or the bytes for a
// pipe or device, which is written as a stream instead.
struct Pending {
    fs::path temp;
    fs::path target;
    BackupStore::Writer backup;
    KeepPrevious keep;
    bool stream = false;
    std::vector<std::uint8_t> streamBytes;  // what a batch writes to a stream when it commits
};

// Why something other than a regular file at an output's name is not written.
std::string InTheWay(mode_t mode) {
    const char* what = S_ISDIR(mode)    ? "a folder"
                       : S_ISSOCK(mode) ? "a socket"
                       : S_ISBLK(mode)  ? "a block device"
                                        : "something other than a file";
    return std::string(what) + " of that name is in the way";
}

// While it lives, a pipe whose reader went away makes a write fail with EPIPE instead of
// ending the program: the signal is held back, and one that the writes raised is taken away.
class SigpipeHeldBack {
public:
    SigpipeHeldBack() {
        sigemptyset(&pipe_);
        sigaddset(&pipe_, SIGPIPE);
        sigset_t pending;
        sigpending(&pending);
        pendingBefore_ = sigismember(&pending, SIGPIPE) == 1;
        pthread_sigmask(SIG_BLOCK, &pipe_, &previous_);
    }
    ~SigpipeHeldBack() {
        sigset_t pending;
        sigpending(&pending);
        if (!pendingBefore_ && sigismember(&pending, SIGPIPE) == 1) {
            const timespec now{};
            sigtimedwait(&pipe_, nullptr, &now);
        }
        pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
    }
    SigpipeHeldBack(const SigpipeHeldBack&) = delete;
    SigpipeHeldBack& operator=(const SigpipeHeldBack&) = delete;

private:
    sigset_t pipe_;
    sigset_t previous_;
    bool pendingBefore_ = false;
};

// Writes content to the named pipe or character device at path as a stream: it cannot be
// replaced, and is neither renamed over nor kept. Opening a pipe waits for its reader.
std::string WriteStream(const fs::path& path, const NewContent& content) {
    int fd = -1;
    do {
        fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        return ErrnoText(errno);
    }
    // A regular file put there meanwhile would be overwritten in place, not replaced.
    struct stat opened {};
    if (::fstat(fd, &opened) != 0 || !(S_ISFIFO(opened.st_mode) || S_ISCHR(opened.st_mode))) {
        ::close(fd);
        return "the output changed while it was opened";
    }
    TemporaryWriter out(fd);
    {
        const SigpipeHeldBack held;
        if (content.source != nullptr) {
            CopyWithPatches(*content.source, content.patches, out, nullptr);
        } else {
            out.write(content.bytes);
        }
    }
    std::string failure = out.failure;
    if (::close(fd) != 0 && failure.empty()) {
        failure = ErrnoText(errno);
    }
    return failure;
}

// Writes the new content beside the file that path finally names, flushed to disk when flush
// is set; on success pending holds what Place needs. A pipe or device at path is only noted
// in pending, to be written as a stream.
std::string Write(const fs::path& path, const NewContent& content, const KeepPrevious& keep,
                  bool flush, Pending& pending) {
    if (keep.problem != nullptr) {
        keep.problem->clear();
    }
    // What the name leads to as the system follows it: /dev/stdout and its like reach a pipe
    // or a terminal through links that only the system can follow.
    struct stat given {};
    if (::stat(path.c_str(), &given) == 0 && !S_ISREG(given.st_mode)) {
        if (!S_ISFIFO(given.st_mode) && !S_ISCHR(given.st_mode)) {
            return InTheWay(given.st_mode);
        }
        pending.stream = true;
        pending.target = path;
        return {};
    }
    const auto target = FinalTarget(path);
    if (!target) {
        return ErrnoText(ELOOP);
    }
    struct stat existing {};
    const bool exists = ::stat(target->c_str(), &existing) == 0;
    // Only a regular file is ever renamed over.
    if (exists && !S_ISREG(existing.st_mode)) {
        return InTheWay(existing.st_mode);
    }
    // A file marked read-only is kept, even where the folder would allow replacing it.
    if (exists && (existing.st_mode & S_IWUSR) == 0) {
        return "the file is read-only";
    }

    const fs::path dir = target->has_parent_path() ? target->parent_path() : fs::path(".");
    fs::path temp;
    int error = 0;
    // A new file gets the usual mode; a replacing one stays private until it has the mode and
    // owner of the file it replaces.
    const int fd = CreateTemporary(dir, exists ? 0600 : 0666, temp, error);
    if (fd < 0) {
        return ErrnoText(error);
    }

    BackupStore::Writer backup;
    if (keep.store != nullptr && exists) {
        backup = keep.store->begin(path, keep.reason);
    }
    TemporaryWriter out(fd);
    if (content.source != nullptr) {
        CopyWithPatches(*content.source, content.patches, out,
                        content.sourceIsCurrent ? &backup : nullptr);
    } else {
        out.write(content.bytes);
    }
    if (backup.active() && !content.sourceIsCurrent && out.failure.empty()) {
        // The replaced file's bytes are read only to be kept; a file gone meanwhile is no
        // failure of the replacement.
        // A file cut short meanwhile is not kept as if it were whole.
        FileSource current;
        const bool whole = current.open(*target) &&
                           ForEachBlock(current, [&](std::uint64_t, std::span<std::uint8_t> part) {
                               return backup.append(part);
                           });
        if (!whole) {
            backup.Fail("the replaced file could not be read");
        }
    }
    std::string failure = out.failure;
    if (failure.empty() && exists) {
        // Owner and group where the system allows it (the group alone for a member of it),
        // then the mode, which a change of owner may have cut.
        if (::fchown(fd, existing.st_uid, existing.st_gid) != 0) {
            [[maybe_unused]] const int ignored =
                ::fchown(fd, static_cast<uid_t>(-1), existing.st_gid);
        }
        ::fchmod(fd, existing.st_mode & 07777);
    }
    if (failure.empty() && flush && (!DiskStepGoesAhead("flush file") || ::fsync(fd) != 0)) {
        failure = ErrnoText(errno);
    }
    if (::close(fd) != 0 && failure.empty()) {
        failure = ErrnoText(errno);
    }
    if (!failure.empty()) {
        std::error_code ec;
        fs::remove(temp, ec);
        return failure;
    }
    pending.temp = std::move(temp);
    pending.target = *target;
    pending.backup = std::move(backup);
    pending.keep = keep;
    return {};
}

// Puts a written replacement in its place, its kept version flushed to disk first when
// flushBackup is set (a batch has flushed its versions already).
std::string Place(Pending& pending, bool flushBackup) {
    if (pending.stream) {
        NewContent content;
        content.bytes = pending.streamBytes;
        return WriteStream(pending.target, content);
    }
    // Kept, and on disk, before the old file goes: a crash in between leaves one version too
    // many, never one too few.
    Report(pending.keep, pending.backup, flushBackup);
    // The folder is not flushed after the rename: a crash before the system writes it out
    // leaves the previous file, whole, which is no loss; the new bytes were flushed first.
    if (!DiskStepGoesAhead("rename file") ||
        ::rename(pending.temp.c_str(), pending.target.c_str()) != 0) {
        const std::string failure = ErrnoText(errno);
        std::error_code ec;
        fs::remove(pending.temp, ec);
        return failure;
    }
    pending.temp.clear();
    return {};
}

std::string Replace(const fs::path& path, const NewContent& content, const KeepPrevious& keep) {
    Pending pending;
    const std::string failure = Write(path, content, keep, true, pending);
    if (!failure.empty()) {
        return failure;
    }
    return pending.stream ? WriteStream(pending.target, content) : Place(pending, true);
}

// Flushes the whole file system that folder lies on.
std::string FlushFileSystem(const fs::path& folder, std::string_view step) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return ErrnoText(errno);
    }
    const int flushed = DiskStepGoesAhead(step) ? ::syncfs(fd) : -1;
    const int error = errno;
    ::close(fd);
    return flushed == 0 ? std::string() : ErrnoText(error);
}

Status AsStatus(const std::string& failure) {
    return failure.empty() ? Status::success() : Status::failure(failure);
}

}  // namespace

void SetWriteFailureAfterBytesForTesting(std::optional<std::uint64_t> bytes) {
    g_failAfterBytes = bytes;
}

std::optional<fs::path> FinalTarget(const fs::path& path) {
    fs::path current = path;
    for (int hop = 0; hop < 40; ++hop) {
        struct stat status {};
        if (::lstat(current.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) {
            return current;
        }
        std::error_code ec;
        const fs::path link = fs::read_symlink(current, ec);
        if (ec) {
            return current;
        }
        current = link.is_absolute() ? link : current.parent_path() / link;
    }
    return std::nullopt;
}

struct AtomicBatch::Entry {
    Pending pending;
};

AtomicBatch::AtomicBatch() = default;

AtomicBatch::~AtomicBatch() {
    for (Entry& entry : entries_) {
        if (!entry.pending.temp.empty()) {
            std::error_code ec;
            fs::remove(entry.pending.temp, ec);
        }
    }
}

Status AtomicBatch::add(const fs::path& path, std::span<const std::uint8_t> bytes,
                        const KeepPrevious& keep) {
    NewContent content;
    content.bytes = bytes;
    Entry entry;
    const std::string failure = Write(path, content, keep, false, entry.pending);
    if (!failure.empty()) {
        return Status::failure(failure);
    }
    if (entry.pending.stream) {
        entry.pending.streamBytes.assign(bytes.begin(), bytes.end());
    }
    entries_.push_back(std::move(entry));
    return Status::success();
}

Status AtomicBatch::commit() {
    // The files written, and then every kept version, are flushed to disk once each, before
    // any kept version takes its name; the names of the versions are flushed before any file
    // takes its place.
    std::optional<fs::path> outputs;
    std::optional<fs::path> store;
    for (Entry& entry : entries_) {
        Pending& pending = entry.pending;
        if (!outputs && !pending.temp.empty()) {
            outputs = pending.temp.has_parent_path() ? pending.temp.parent_path() : fs::path(".");
        }
        if (pending.backup.active() && pending.backup.finish(false).empty() && !store) {
            store = pending.backup.folder();
        }
    }
    if (outputs) {
        if (const std::string failure = FlushFileSystem(*outputs, "flush files");
            !failure.empty()) {
            return Status::failure(failure);
        }
    }
    // A version that cannot be flushed is not kept, and stops nothing.
    const std::string unflushed = store ? FlushFileSystem(*store, "flush backups") : "";
    for (Entry& entry : entries_) {
        if (!unflushed.empty() && entry.pending.backup.active()) {
            entry.pending.backup.Fail(unflushed);
        }
        Report(entry.pending.keep, entry.pending.backup, false);
    }
    if (store && unflushed.empty()) {
        if (const std::string failure = FlushFileSystem(*store, "flush backups");
            !failure.empty()) {
            return Status::failure(failure);
        }
    }
    for (Entry& entry : entries_) {
        const std::string failure = Place(entry.pending, false);
        if (!failure.empty()) {
            return Status::failure(failure);
        }
    }
    entries_.clear();
    return Status::success();
}

Status WriteFileAtomically(const fs::path& path, std::span<const std::uint8_t> bytes,
                           const KeepPrevious& keep) {
    NewContent content;
    content.bytes = bytes;
    return AsStatus(Replace(path, content, keep));
}

Status PatchFileAtomically(const fs::path& path, const ByteSource& current,
                           std::span<const Patch> patches, const KeepPrevious& keep) {
    NewContent content;
    content.source = &current;
    content.patches = patches;
    content.sourceIsCurrent = true;
    return AsStatus(Replace(path, content, keep));
}

Status CopyFileAtomically(const fs::path& path, const ByteSource& source,
                          const KeepPrevious& keep) {
    NewContent content;
    content.source = &source;
    return AsStatus(Replace(path, content, keep));
}

}  // namespace krellon
