// krellon journals, recover and discard: the unsaved work the editor keeps in its edit
// journals, wherever its set has gone since (a folder renamed or moved is never offered by the
// editor, which looks journals up by the set's folder).
#include <QDateTime>
#include <QDir>
#include <algorithm>

#include "Commands.h"
#include "storage/FileNames.h"
#include "storage/JournalFiles.h"

namespace krellon::cli {

namespace {

// One journal as listed: what it holds, or why its start cannot be read.
struct Listed {
    std::filesystem::path path;
    Result<JournalContent> content;
};

QString StepsText(const JournalContent& content) {
    QString text = QString("%1 steps").arg(content.steps());
    if (content.damaged()) {
        text += QString(" (%1 could not be read)").arg(content.unreadable);
    }
    return text;
}

QString SetText(const JournalContent& content) {
    const auto [folder, name] = SplitJournalKey(content.key);
    // Joined as the system joins names ("\\" on Windows); the key itself keeps its "/".
    return ShownFileName(folder) + QDir::separator() +
           (name.empty() ? QString("(new set)") : ShownFileName(name));
}

}  // namespace

int ListJournals(const QStringList& arguments, Streams& io) {
    Command command("journals",
                    "Lists every edit journal kept of unsaved work, newest first: the journal "
                    "file, the date and time of its last step, its steps, the board set it is of "
                    "and whether that set's folder still exists (\"folder gone\" after a rename "
                    "or move). Journals moved aside as damaged are listed too; recover writes "
                    "what one holds, discard deletes it.",
                    "");
    if (const auto status = command.parse(arguments, io)) {
        return *status;
    }
    if (!command.files().isEmpty()) {
        return command.usage(io, "journals takes no arguments");
    }
    std::vector<Listed> listed;
    std::vector<std::filesystem::path> paths = AllJournalFiles();
    std::error_code ec;
    for (std::filesystem::directory_iterator it(DamagedJournalFolder(), ec), end; !ec && it != end;
         it.increment(ec)) {
        paths.push_back(it->path());
    }
    for (const auto& path : paths) {
        listed.push_back({path, ReadJournalFile(path)});
    }
    std::stable_sort(listed.begin(), listed.end(), [](const Listed& a, const Listed& b) {
        return (a.content.ok() ? a.content.value().lastNs : 0) >
               (b.content.ok() ? b.content.value().lastNs : 0);
    });
    for (const Listed& journal : listed) {
        io.out << ShownFileName(NameFromPath(journal.path)) << "\t";
        if (!journal.content.ok()) {
            io.out << "cannot be read\n";
            continue;
        }
        const JournalContent& content = journal.content.value();
        const bool there = std::filesystem::is_directory(SplitJournalKey(content.key).first, ec);
        io.out << QDateTime::fromMSecsSinceEpoch(content.lastNs / 1000000)
                      .toString("yyyy-MM-dd HH:mm:ss")
               << "\t" << StepsText(content) << "\t" << SetText(content) << "\t"
               << (there ? "folder exists" : "folder gone")
               << (JournalInUse(journal.path) ? "\tin use by a running editor" : "") << "\n";
    }
    return 0;
}

int Recover(const QStringList& arguments, Streams& io) {
    Command command("recover",
                    "Writes the board set an edit journal holds, its start with every step that "
                    "can be read, to a board set file; the journal stays until discarded.",
                    "JOURNAL");
    QString file;
    QString out;
    if (const auto status =
            command.parseInputAndOutput(arguments, "one journal file", io, file, out)) {
        return *status;
    }
    const auto read = ReadJournalFile(PathOf(file));
    if (!read.ok()) {
        return Fail(io, file, QString::fromStdString(read.error()));
    }
    const JournalContent& content = read.value();
    const Status written =
        WriteOutput(out, EncodeBoardSet(content.set), "Recover from " + ShownFileName(file));
    if (!written.ok()) {
        return Fail(io, out, QString::fromStdString(written.error()));
    }
    if (content.damaged()) {
        io.err << "krellon: " << ShownFileName(file) << ": " << content.unreadable << " of "
               << content.steps() << " steps could not be read\n";
    }
    if (out != kStandardOutput) {
        io.out << "Recovered " << SetText(content) << " (" << StepsText(content) << ") into "
               << ShownFileName(out) << "\n";
    }
    return 0;
}

int Discard(const QStringList& arguments, Streams& io) {
    Command command("discard",
                    "Deletes edit journals, and the unsaved work they hold, for good; a journal "
                    "a running editor is writing is left alone.",
                    "JOURNAL...");
    if (const auto status = command.parse(arguments, io)) {
        return *status;
    }
    const QStringList files = command.files();
    if (files.isEmpty()) {
        return command.usage(io, "give one or more journal files");
    }
    int status = 0;
    for (const QString& file : files) {
        const std::filesystem::path path = PathOf(file);
        if (!ReadJournalFile(path).ok() && path.extension() != ".krj") {
            status = Fail(io, file, "not an edit journal");
        } else if (JournalInUse(path)) {
            status = Fail(io, file, "a running editor is writing it");
        } else if (std::error_code ec; !std::filesystem::remove(path, ec)) {
            status = Fail(io, file, QString::fromStdString(ec ? ec.message() : "no such file"));
        }
    }
    return status;
}

}  // namespace krellon::cli
