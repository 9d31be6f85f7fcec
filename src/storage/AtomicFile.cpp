#include "AtomicFile.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <random>
#include <system_error>
#include <vector>

#include "FileSource.h"
#include "System.h"

namespace krellon {

namespace fs = std::filesystem;

namespace {

std::optional<std::uint64_t> g_failAfterBytes;

// Copies go through a buffer of this size: large enough for few system calls, small enough
// that no file size makes it grow.
constexpr std::size_t kCopyBlock = 1 << 20;

// A failure's text as a Status: empty for success.
Status AsStatus(const std::string& failure) {
    return failure.empty() ? Status::success() : Status::failure(failure);
}

// What a disk step that the test seam stops fails with.
std::string StepFailure() {
    return std::make_error_code(std::errc::io_error).message();
}

// A new, uniquely named file in dir, opened for writing; never reuses an existing name. The
// name is short, so that a target whose own name is as long as the system allows can still
// be replaced.
sys::File CreateTemporary(const fs::path& dir, sys::NewFileAccess access, fs::path& temp,
                          std::error_code& error) {
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
        sys::File file = sys::createNew(temp, access, error);
        if (file.isOpen() || error != std::errc::file_exists) {
            return file;
        }
    }
    return {};
}

bool WriteAll(const sys::File& file, std::span<const std::uint8_t> bytes, std::string& failure) {
    if (const std::error_code error = sys::writeAll(file, bytes)) {
        failure = error.message();
        return false;
    }
    return true;
}

// The new bytes as they are written, to a temporary file or a stream, with the failure seam
// applied.
class TemporaryWriter {
public:
    explicit TemporaryWriter(const sys::File& file) : file_(file) {}

    bool write(std::span<const std::uint8_t> bytes) {
        if (!failure.empty()) {
            return false;
        }
        std::size_t count = bytes.size();
        if (g_failAfterBytes && *g_failAfterBytes < written_ + count) {
            count = static_cast<std::size_t>(*g_failAfterBytes - written_);
            if (WriteAll(file_, bytes.first(count), failure)) {
                failure = "No space left on device";
            }
            return false;
        }
        if (!WriteAll(file_, bytes, failure)) {
            return false;
        }
        written_ += count;
        return true;
    }

    std::string failure;

private:
    const sys::File& file_;
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
    const Status kept = backup.commit(flush);
    if (!kept.ok() && keep.notKept) {
        keep.notKept(kept.error());
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

// A named pipe or a character device: written as a stream, never replaced.
bool IsStream(sys::FileKind kind) {
    return kind == sys::FileKind::Pipe || kind == sys::FileKind::CharDevice;
}

// Why something other than a regular file at an output's name is not written.
std::string InTheWay(sys::FileKind kind) {
    const char* what = kind == sys::FileKind::Folder        ? "a folder"
                       : kind == sys::FileKind::Socket      ? "a socket"
                       : kind == sys::FileKind::BlockDevice ? "a block device"
                                                            : "something other than a file";
    return std::string(what) + " of that name is in the way";
}

// Writes content to the named pipe or character device at path as a stream: it cannot be
// replaced, and is neither renamed over nor kept. Opening a pipe waits for its reader.
Status WriteStream(const fs::path& path, const NewContent& content) {
    std::error_code error;
    sys::File file = sys::openStream(path, error);
    if (error) {
        return Status::failure(error.message());
    }
    // A regular file put there meanwhile would be overwritten in place, not replaced.
    if (!IsStream(sys::infoOf(file).kind)) {
        return Status::failure("the output changed while it was opened");
    }
    TemporaryWriter out(file);
    {
        const sys::BrokenPipeHeldBack held;
        if (content.source != nullptr) {
            CopyWithPatches(*content.source, content.patches, out, nullptr);
        } else {
            out.write(content.bytes);
        }
    }
    std::string failure = out.failure;
    if (const std::error_code closed = file.close(); closed && failure.empty()) {
        failure = closed.message();
    }
    return AsStatus(failure);
}

// Reads the file at target, about to be replaced, into its backup. The bytes are read only to
// be kept: a file gone meanwhile is no failure of the replacement, and one cut short meanwhile
// is not kept as if it were whole.
void KeepReplaced(const fs::path& target, BackupStore::Writer& backup) {
    FileSource current;
    const bool whole = current.open(target) &&
                       ForEachBlock(current, [&](std::uint64_t, std::span<std::uint8_t> part) {
                           return backup.append(part);
                       });
    if (!whole) {
        backup.fail("the replaced file could not be read");
    }
}

// Gives the written temporary file the access of the file it replaces (if any), flushes it to
// disk when flush is set, and closes it; the first failure of the writing or of these steps.
std::string Close(sys::File& file, const TemporaryWriter& out, const sys::FileInfo* replaced,
                  bool flush) {
    std::string failure = out.failure;
    if (failure.empty() && replaced != nullptr) {
        sys::copyAccess(file, *replaced);
    }
    if (failure.empty() && flush) {
        if (!DiskStepGoesAhead("flush file")) {
            failure = StepFailure();
        } else if (const std::error_code flushed = sys::flushToDisk(file)) {
            failure = flushed.message();
        }
    }
    if (const std::error_code closed = file.close(); closed && failure.empty()) {
        failure = closed.message();
    }
    return failure;
}

// Writes the new content beside the file that path finally names, flushed to disk when flush
// is set; on success pending holds what Place needs. A pipe or device at path is only noted
// in pending, to be written as a stream.
Status Write(const fs::path& path, const NewContent& content, const KeepPrevious& keep, bool flush,
             Pending& pending) {
    // What the name leads to as the system follows it: /dev/stdout and its like reach a pipe
    // or a terminal through links that only the system can follow.
    const sys::FileInfo given = sys::infoOf(path);
    if (given.kind != sys::FileKind::Missing && given.kind != sys::FileKind::Regular) {
        if (!IsStream(given.kind)) {
            return Status::failure(InTheWay(given.kind));
        }
        pending.stream = true;
        pending.target = path;
        return Status::success();
    }
    const auto target = FinalTarget(path);
    if (!target) {
        return Status::failure(
            std::make_error_code(std::errc::too_many_symbolic_link_levels).message());
    }
    const sys::FileInfo existing = sys::infoOf(*target);
    const bool exists = existing.kind != sys::FileKind::Missing;
    // Only a regular file is ever renamed over.
    if (exists && existing.kind != sys::FileKind::Regular) {
        return Status::failure(InTheWay(existing.kind));
    }
    // A file marked read-only is kept, even where the folder would allow replacing it.
    if (exists && existing.readOnly) {
        return Status::failure("the file is read-only");
    }

    const fs::path dir = target->has_parent_path() ? target->parent_path() : fs::path(".");
    fs::path temp;
    std::error_code error;
    // A new file gets the usual mode; a replacing one stays private until it has the mode and
    // owner of the file it replaces.
    sys::File file = CreateTemporary(
        dir, exists ? sys::NewFileAccess::Private : sys::NewFileAccess::Usual, temp, error);
    if (!file.isOpen()) {
        return Status::failure(error.message());
    }

    BackupStore::Writer backup;
    if (keep.store != nullptr && exists) {
        backup = keep.store->begin(path, keep.reason);
    }
    TemporaryWriter out(file);
    if (content.source != nullptr) {
        CopyWithPatches(*content.source, content.patches, out,
                        content.sourceIsCurrent ? &backup : nullptr);
    } else {
        out.write(content.bytes);
    }
    if (backup.active() && !content.sourceIsCurrent && out.failure.empty()) {
        KeepReplaced(*target, backup);
    }
    const std::string failure = Close(file, out, exists ? &existing : nullptr, flush);
    if (!failure.empty()) {
        std::error_code ec;
        fs::remove(temp, ec);
        return Status::failure(failure);
    }
    pending.temp = std::move(temp);
    pending.target = *target;
    pending.backup = std::move(backup);
    pending.keep = keep;
    return Status::success();
}

// Puts a written replacement in its place, its kept version flushed to disk first when
// flushBackup is set (a batch has flushed its versions already).
Status Place(Pending& pending, bool flushBackup) {
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
    const std::error_code renamed = DiskStepGoesAhead("rename file")
                                        ? sys::renameOver(pending.temp, pending.target)
                                        : std::make_error_code(std::errc::io_error);
    if (renamed) {
        std::error_code ec;
        fs::remove(pending.temp, ec);
        return Status::failure(renamed.message());
    }
    pending.temp.clear();
    return Status::success();
}

// letGo, the replaced file as it was opened, is closed once copied: Windows replaces no file
// that is open.
Status Replace(const fs::path& path, const NewContent& content, const KeepPrevious& keep,
               FileSource* letGo = nullptr) {
    Pending pending;
    Status written = Write(path, content, keep, true, pending);
    if (letGo != nullptr && !pending.stream) {
        letGo->close();
    }
    if (!written.ok()) {
        return written;
    }
    return pending.stream ? WriteStream(pending.target, content) : Place(pending, true);
}

// Flushes the whole file system that folder lies on.
Status FlushFileSystem(const fs::path& folder, std::string_view step) {
    if (!DiskStepGoesAhead(step)) {
        return Status::failure(StepFailure());
    }
    const std::error_code flushed = sys::flushFileSystem(folder);
    return flushed ? Status::failure(flushed.message()) : Status::success();
}

}  // namespace

void SetWriteFailureAfterBytesForTesting(std::optional<std::uint64_t> bytes) {
    g_failAfterBytes = bytes;
}

std::optional<fs::path> FinalTarget(const fs::path& path) {
    fs::path current = path;
    for (int hop = 0; hop < 40; ++hop) {
        const std::optional<fs::path> target = sys::linkTarget(current);
        if (!target) {
            return current;
        }
        const fs::path& link = *target;
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
    // Flushed together at the commit where the system can flush a whole file system, else
    // each now.
    const bool flushNow = !sys::flushesFileSystems();
    if (Status written = Write(path, content, keep, flushNow, entry.pending); !written.ok()) {
        return written;
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
        if (!outputs && !pending.temp.empty() && sys::flushesFileSystems()) {
            outputs = pending.temp.has_parent_path() ? pending.temp.parent_path() : fs::path(".");
        }
        if (pending.backup.active() && pending.backup.finish(!sys::flushesFileSystems()).ok() &&
            !store && sys::flushesFileSystems()) {
            store = pending.backup.folder();
        }
    }
    if (outputs) {
        if (Status flushed = FlushFileSystem(*outputs, "flush files"); !flushed.ok()) {
            return flushed;
        }
    }
    // A version that cannot be flushed is not kept, and stops nothing.
    const Status unflushed = store ? FlushFileSystem(*store, "flush backups") : Status::success();
    for (Entry& entry : entries_) {
        if (!unflushed.ok() && entry.pending.backup.active()) {
            entry.pending.backup.fail(unflushed.error());
        }
        Report(entry.pending.keep, entry.pending.backup, false);
    }
    if (store && unflushed.ok()) {
        if (Status flushed = FlushFileSystem(*store, "flush backups"); !flushed.ok()) {
            return flushed;
        }
    }
    for (Entry& entry : entries_) {
        if (Status placed = Place(entry.pending, false); !placed.ok()) {
            return placed;
        }
    }
    entries_.clear();
    return Status::success();
}

Status WriteFileAtomically(const fs::path& path, std::span<const std::uint8_t> bytes,
                           const KeepPrevious& keep) {
    NewContent content;
    content.bytes = bytes;
    return Replace(path, content, keep);
}

Status PatchFileAtomically(const fs::path& path, FileSource& current,
                           std::span<const Patch> patches, const KeepPrevious& keep) {
    NewContent content;
    content.source = &current;
    content.patches = patches;
    content.sourceIsCurrent = true;
    return Replace(path, content, keep, &current);
}

Status CopyFileAtomically(const fs::path& path, const ByteSource& source,
                          const KeepPrevious& keep) {
    NewContent content;
    content.source = &source;
    return Replace(path, content, keep);
}

}  // namespace krellon
