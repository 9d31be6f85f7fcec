#pragma once

#include <QString>
#include <filesystem>
#include <span>

#include "storage/AtomicFile.h"
#include "storage/BackupStore.h"

namespace krellon {

// The store of the earlier versions of every file the program replaces: "backups" under the
// user's data location, never in a working folder.
BackupStore Backups();

// Replaces the file at path with bytes, all or nothing (WriteFileAtomically), keeping what it
// held in Backups() as replaced by reason. A version that cannot be kept stops nothing; the
// status bar says so.
Status ReplaceFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes,
                   const QString& reason);

// The same for a patched copy of the file as it was opened (PatchFileAtomically).
Status PatchFile(const std::filesystem::path& path, FileSource& current,
                 std::span<const Patch> patches, const QString& reason);

// Many files replaced as ReplaceFile replaces one, flushed to disk once for all (AtomicBatch):
// nothing changes until commit.
class ReplaceBatch {
public:
    ReplaceBatch();
    ~ReplaceBatch();
    Status add(const std::filesystem::path& path, std::span<const std::uint8_t> bytes,
               const QString& reason);
    Status commit();

private:
    BackupStore store_;
    AtomicBatch batch_;
};

// Puts a kept version back in place of its file; what the file holds now is kept in turn.
Status RestoreBackup(const BackupEntry& entry);

// A failure's reason as the windows show it.
QString ReasonText(const Status& status);

}  // namespace krellon
