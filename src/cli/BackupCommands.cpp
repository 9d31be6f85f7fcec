// krellon backups and krellon restore: the kept earlier versions of the files the programs
// replace.
#include <QDateTime>
#include <map>

#include "Commands.h"
#include "storage/FileNames.h"
#include "storage/FileWrites.h"

namespace krellon::cli {

namespace {

QString WhenText(std::int64_t timeNs) {
    return QDateTime::fromMSecsSinceEpoch(timeNs / 1000000).toString("yyyy-MM-dd HH:mm:ss");
}

// The versions of folder's files, newest first.
std::vector<BackupEntry> VersionsIn(const std::filesystem::path& folder) {
    std::error_code ec;
    const auto absolute = std::filesystem::absolute(folder, ec);
    return Backups().list(ec ? folder : absolute);
}

}  // namespace

int ListBackups(const QStringList& arguments, Streams& io) {
    Command command("backups",
                    "Lists the kept earlier versions of the files of a folder (default: the "
                    "current folder), newest first: file, version number, date and time, size "
                    "and what replaced it.",
                    "[FOLDER]");
    if (const auto status = command.parse(arguments, io)) {
        return *status;
    }
    const QStringList files = command.files();
    if (files.size() > 1) {
        return command.usage(io, "give at most one folder");
    }
    const QString folder = files.isEmpty() ? QString(".") : files.front();
    std::error_code ec;
    if (!std::filesystem::is_directory(PathOf(folder), ec)) {
        return Fail(io, folder, "no such folder");
    }
    std::map<std::filesystem::path, int> numbers;
    for (const BackupEntry& entry : VersionsIn(PathOf(folder))) {
        const int version = ++numbers[entry.original];
        io.out << ShownFileName(NameFromPath(entry.original.filename())) << "\t" << version << "\t"
               << WhenText(entry.timeNs) << "\t" << entry.size << " bytes\t"
               << QString::fromStdString(entry.reason) << "\n";
    }
    return 0;
}

int Restore(const QStringList& arguments, Streams& io) {
    Command command("restore",
                    "Puts a kept earlier version of a file back (1, the newest, by default), "
                    "keeping its current content as a version too.",
                    "FILE");
    const QCommandLineOption versionOption("version", "The version to put back (default 1).", "N",
                                           "1");
    command.parser.addOption(versionOption);
    if (const auto status = command.parse(arguments, io)) {
        return *status;
    }
    const QStringList files = command.files();
    if (files.size() != 1) {
        return command.usage(io, "give one file");
    }
    const auto version = NumberArgument(command.parser.value(versionOption), 1, 1 << 30);
    if (!version) {
        return command.usage(io, "the version is a number from 1");
    }
    const QString file = files.front();
    const std::filesystem::path path = PathOf(file);
    std::filesystem::path folder = path.parent_path();
    if (folder.empty()) {
        folder = ".";
    }
    std::vector<BackupEntry> versions;
    for (BackupEntry& entry : VersionsIn(folder)) {
        if (entry.original.filename() == path.filename()) {
            versions.push_back(std::move(entry));
        }
    }
    if (versions.empty()) {
        return Fail(io, file, "no earlier version is kept");
    }
    if (*version > static_cast<int>(versions.size())) {
        return Fail(
            io, file,
            QString("there is no version %1; %2 are kept").arg(*version).arg(versions.size()));
    }
    const BackupEntry& entry = versions[static_cast<std::size_t>(*version - 1)];
    const Status restored = RestoreBackup(entry);
    if (!restored.ok()) {
        return Fail(io, file, QString::fromStdString(restored.error()));
    }
    io.out << "Restored " << ShownFileName(file) << " as it was on " << WhenText(entry.timeNs)
           << "\n";
    return 0;
}

}  // namespace krellon::cli
