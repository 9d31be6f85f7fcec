#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "BackupStore.h"
#include "FileSource.h"
#include "formats/ByteSource.h"
#include "formats/Patch.h"
#include "formats/Result.h"

namespace krellon {

// Where the content of a file goes before the file is replaced. Without a store nothing is
// kept. A backup that cannot be written never stops the replacement: notKept, when given, is
// told why.
struct KeepPrevious {
    BackupStore* store = nullptr;
    std::string reason;
    std::function<void(const std::string& why)> notKept = nullptr;
};

// Replaces the file at path with exactly these bytes, all or nothing: the bytes go to a new
// file beside the file that path finally names (symbolic links are followed, and stay links),
// which is flushed to disk and then renamed over it. The replaced file's mode, and its owner
// and group as far as the system allows, carry over. A failure comes back with its reason;
// the target is then as it was, and no temporary file remains. Only a regular file (or a link
// to one) is ever replaced or kept: a named pipe or a character device at path (a terminal,
// /dev/stdout) is written as a stream, and anything else there (a folder, a socket, a block
// device) is refused.
Status WriteFileAtomically(const std::filesystem::path& path, std::span<const std::uint8_t> bytes,
                           const KeepPrevious& keep = {});

// The same replacement, with the new file made of current's bytes (the file at path as it was
// opened and read) with patches written over them. current is copied block by block, so no
// buffer grows with the file, and its bytes are what a backup keeps. current is closed once
// copied (Windows replaces no open file).
Status PatchFileAtomically(const std::filesystem::path& path, FileSource& current,
                           std::span<const Patch> patches, const KeepPrevious& keep = {});

// The same replacement, with content's bytes (a kept version being restored, say).
Status CopyFileAtomically(const std::filesystem::path& path, const ByteSource& content,
                          const KeepPrevious& keep = {});

// Many files replaced as WriteFileAtomically replaces one, with one flush to disk for all:
// each file is written beside its target as it is added, and commit flushes the file system
// once and puts them in place (a pipe or device gets its bytes then). What was not committed
// leaves nothing behind. The files of a batch lie on one file system.
class AtomicBatch {
public:
    AtomicBatch();
    ~AtomicBatch();
    AtomicBatch(const AtomicBatch&) = delete;
    AtomicBatch& operator=(const AtomicBatch&) = delete;

    // Writes the new content of path beside it; on failure nothing of it remains.
    Status add(const std::filesystem::path& path, std::span<const std::uint8_t> bytes,
               const KeepPrevious& keep = {});
    // Flushes every file added and puts each in its place, in the order added.
    Status commit();

private:
    struct Entry;
    std::vector<Entry> entries_;
};

// The file that path finally names once every symbolic link on the way is followed; path
// itself when it is no link or does not exist. Nothing when the links go round in a circle.
std::optional<std::filesystem::path> FinalTarget(const std::filesystem::path& path);

// Test seam: while set, every atomic write stops with a failure after this many bytes have
// reached the temporary file, as a full or failing disk would.
void SetWriteFailureAfterBytesForTesting(std::optional<std::uint64_t> bytes);

}  // namespace krellon
