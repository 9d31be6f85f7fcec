#include "FileWrites.h"

#include <QDateTime>

#include "DataFolder.h"
#include "FileNames.h"
#include "StatusNotices.h"
#include "storage/FileSource.h"

namespace krellon {

namespace {

std::filesystem::path StoreRoot() {
    return DataFolder() / "backups";
}

// What a replacement of path keeps, with a version that cannot be kept told on the status bar.
KeepPrevious KeepIn(BackupStore& store, const std::filesystem::path& path, const QString& reason) {
    return KeepPrevious{&store, reason.toStdString(), [path](const std::string& problem) {
                            ShowStatus(QString("No backup of %1 could be kept: %2")
                                           .arg(ShownFileName(NameFromPath(path.filename())),
                                                QString::fromLocal8Bit(problem.c_str())));
                        }};
}

}  // namespace

BackupStore Backups() {
    return BackupStore(StoreRoot());
}

namespace {

// Runs write, which replaces the file at path, with what it replaces kept as replaced by
// reason; a version that could not be kept is told on the status bar.
template <typename Write>
Status KeepingPrevious(const std::filesystem::path& path, const QString& reason, Write write) {
    BackupStore store = Backups();
    return write(KeepIn(store, path, reason));
}

}  // namespace

Status ReplaceFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes,
                   const QString& reason) {
    return KeepingPrevious(path, reason, [&](const KeepPrevious& keep) {
        return WriteFileAtomically(path, bytes, keep);
    });
}

Status PatchFile(const std::filesystem::path& path, FileSource& current,
                 std::span<const Patch> patches, const QString& reason) {
    return KeepingPrevious(path, reason, [&](const KeepPrevious& keep) {
        return PatchFileAtomically(path, current, patches, keep);
    });
}

ReplaceBatch::ReplaceBatch() : store_(Backups()) {}

ReplaceBatch::~ReplaceBatch() = default;

Status ReplaceBatch::add(const std::filesystem::path& path, std::span<const std::uint8_t> bytes,
                         const QString& reason) {
    return batch_.add(path, bytes, KeepIn(store_, path, reason));
}

Status ReplaceBatch::commit() {
    return batch_.commit();
}

Status RestoreBackup(const BackupEntry& entry) {
    FileSource source;
    if (!source.open(entry.stored)) {
        return Status::failure("the kept version can no longer be read");
    }
    const SliceSource kept(source, entry.offset, entry.size);
    const QString when =
        QDateTime::fromMSecsSinceEpoch(entry.timeNs / 1000000).toString("yyyy-MM-dd HH:mm:ss");
    return KeepingPrevious(
        entry.original, "Restore of the version of " + when,
        [&](const KeepPrevious& keep) { return CopyFileAtomically(entry.original, kept, keep); });
}

QString ReasonText(const Status& status) {
    return QString::fromLocal8Bit(status.error().c_str());
}

}  // namespace krellon
