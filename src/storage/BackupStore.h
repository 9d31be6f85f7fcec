#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "formats/Result.h"
#include "storage/System.h"

namespace krellon {

// One kept earlier version of a file.
struct BackupEntry {
    std::filesystem::path original;  // the file whose content this was
    std::filesystem::path stored;    // the file in the store that holds them
    std::uint64_t offset = 0;        // where in stored they begin
    std::int64_t timeNs = 0;         // when it was replaced, nanoseconds since 1970 (UTC)
    std::uint64_t size = 0;
    std::string reason;  // what replaced it ("Save", "Import from stone.bmp", ...)
};

// The earlier versions of the files the program replaces, kept in a folder of their own
// outside any working folder: one sub-folder per original file, one file a version (a few
// lines describing it, then its bytes). Versions appear whole or not at all, so two
// programs may keep versions in the same store at once.
class BackupStore {
public:
    struct Limits {
        std::size_t versionsPerFile = 20;                 // the newest this many are kept
        std::uint64_t totalBytes = 200ull * 1024 * 1024;  // beyond this the oldest go first
        // A store is measured against totalBytes at most this often in a process, as measuring
        // it means asking the size of every version; a version larger than a sixteenth of the
        // cap is always measured at once.
        std::chrono::milliseconds totalCheckInterval{60000};
    };

    explicit BackupStore(std::filesystem::path root) : root_(std::move(root)) {}
    BackupStore(std::filesystem::path root, Limits limits)
        : root_(std::move(root)), limits_(limits) {}

    const std::filesystem::path& root() const { return root_; }

    // One version being written: its bytes arrive in order through append, and it becomes
    // part of the store only when commit succeeds. Dropped unfinished, it leaves nothing.
    class Writer {
    public:
        Writer() = default;
        Writer(Writer&& other) noexcept;
        Writer& operator=(Writer&& other) noexcept;
        ~Writer();

        // False once anything failed; the reason is then kept for commit.
        bool append(std::span<const std::uint8_t> bytes);
        // Closes the version's file, its bytes flushed to disk when flush is set, still under
        // a name the store does not list.
        Status finish(bool flush);
        // Makes the version part of the store and drops what the limits no longer allow. With
        // flush, its bytes and then its name are on disk when it returns; without, the caller
        // flushes the store's file system itself (after finish, and again after commit).
        Status commit(bool flush = true);
        bool active() const { return file_.isOpen() || finished_ || !error_.empty(); }
        // Drops what was written; commit then gives reason.
        void fail(std::string reason);
        // The folder the version is written in.
        const std::filesystem::path& folder() const { return dir_; }

    private:
        friend class BackupStore;
        void abandon();

        BackupStore* store_ = nullptr;
        sys::File file_;
        bool finished_ = false;  // closed under its temporary name
        std::filesystem::path dir_;
        std::string stamp_;
        std::uint64_t size_ = 0;
        std::string error_;
    };

    // Starts a version of original (a path as the user named it, link or not), replaced by
    // reason. A store that cannot be written gives a writer whose commit says why.
    Writer begin(const std::filesystem::path& original, std::string_view reason);

    // The versions kept of the files of folder (every file when folder is empty), newest first.
    std::vector<BackupEntry> list(const std::filesystem::path& folder = {}) const;

    // The kept bytes of entry; a failure when they can no longer be read.
    static Result<std::vector<std::uint8_t>> read(const BackupEntry& entry);

    // The form in which original is known to the store: its folder with every link resolved,
    // and its own name as given.
    static std::filesystem::path key(const std::filesystem::path& original);

private:
    // Drops what the limits no longer allow, after a version of newestSize bytes was added
    // to dir.
    void prune(const std::filesystem::path& dir, std::uint64_t newestSize) const;

    std::filesystem::path root_;
    Limits limits_;
};

// Test seam: while set, hook is asked before every flush to disk and every rename that a
// replacement or a kept version makes, with its name: "flush file", "flush files", "flush
// backup", "flush backups", "rename backup", "flush backup folder", "rename file". A false
// answer makes the step fail as a failing disk would (EIO).
void SetDiskStepHookForTesting(std::function<bool(std::string_view step)> hook);

// Whether a disk step goes ahead: always, unless the test seam says no.
bool DiskStepGoesAhead(std::string_view step);

}  // namespace krellon
