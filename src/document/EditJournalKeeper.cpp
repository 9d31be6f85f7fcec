#include "EditJournalKeeper.h"

#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "BoardSetDocument.h"
#include "formats/EditJournal.h"
#include "formats/FileSource.h"

namespace krellon {

namespace fs = std::filesystem;

namespace {

std::int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// The set a journal is of: its folder's absolute path and its file name; a new set, with no
// file yet, has a name no file can have.
std::string Key(const QString& folder, const QString& fileName) {
    const std::string name =
        fileName.isEmpty() ? std::string("\n(new set)") : QFile::encodeName(fileName).toStdString();
    return QFile::encodeName(QDir(folder).absolutePath()).toStdString() + "/" + name;
}

fs::path PendingPath(const fs::path& journal) {
    return fs::path(journal).replace_extension(".pending");
}

// The record of what a change left in the set.
JournalRecord RecordOf(const DocumentChange& change, const BoardSetContent& set) {
    using Kind = DocumentChange::Kind;
    JournalRecord record;
    record.timeNs = NowNs();
    record.board = change.board;
    switch (change.kind) {
        case Kind::Cells: {
            record.kind = JournalRecord::Kind::Cells;
            const Board& board = set.boards[static_cast<std::size_t>(change.board - 1)];
            for (const int index : change.cells) {
                record.cells.emplace_back(static_cast<std::uint16_t>(index),
                                          board.cells[static_cast<std::size_t>(index)]);
            }
            break;
        }
        case Kind::Background:
            record.kind = JournalRecord::Kind::Background;
            record.value = set.boards[static_cast<std::size_t>(change.board - 1)].background;
            break;
        case Kind::BoardSetName:
            record.kind = JournalRecord::Kind::BoardSetName;
            record.text = set.boardSetName;
            break;
        case Kind::AuthorName:
            record.kind = JournalRecord::Kind::AuthorName;
            record.text = set.authorName;
            break;
        case Kind::BrickSetFile:
            record.kind = JournalRecord::Kind::BrickSetFile;
            record.text = set.brickSetFile;
            break;
        case Kind::BackgroundSetFile:
            record.kind = JournalRecord::Kind::BackgroundSetFile;
            record.text = set.backgroundSetFile;
            break;
        case Kind::Whole:
        case Kind::Boards:
        case Kind::Reset:
            record.kind = JournalRecord::Kind::Whole;
            record.whole = set;
            break;
    }
    return record;
}

}  // namespace

EditJournalKeeper::EditJournalKeeper(BoardSetDocument* document, QObject* parent)
    : QObject(parent), document_(document) {
    base_ = document_->content();
    modified_ = document_->isModified();
    connect(document_, &BoardSetDocument::changed, this, &EditJournalKeeper::Changed);
    connect(document_, &BoardSetDocument::saved, this, &EditJournalKeeper::Saved);
    // Whether the set holds unsaved work is known once a step has moved the history: while a
    // step is being done or undone, the history has not moved yet.
    connect(document_->undoStack(), &QUndoStack::cleanChanged, this,
            [this](bool clean) { modified_ = !clean; });
    // Another set: this one's journal stays only while it holds unsaved work.
    connect(document_, &BoardSetDocument::aboutToReset, this, [this] { Close(!modified_); });
    // At most one flush to disk a second, after the edits, never on an edit.
    syncTimer_.setSingleShot(true);
    syncTimer_.setInterval(1000);
    connect(&syncTimer_, &QTimer::timeout, this, &EditJournalKeeper::Flush);
}

EditJournalKeeper::~EditJournalKeeper() {
    Close(!modified_);
}

fs::path EditJournalKeeper::Folder() {
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    return fs::path(QFile::encodeName(data).toStdString()) / "journal";
}

fs::path EditJournalKeeper::JournalPath(const QString& folder, const QString& fileName) {
    const std::string key = Key(folder, fileName);
    std::uint64_t hash = 1469598103934665603ull;
    for (unsigned char c : key) {
        hash = (hash ^ c) * 1099511628211ull;
    }
    char name[32];
    std::snprintf(name, sizeof name, "%016llx.krj", static_cast<unsigned long long>(hash));
    return Folder() / name;
}

void EditJournalKeeper::Opened(const QString& folder, const QString& fileName) {
    const fs::path path = JournalPath(folder, fileName);
    const bool sameSet = path == path_;
    folder_ = folder;
    fileName_ = fileName;
    if (!reset_ && !sameSet && fd_ >= 0) {
        // Saved under another name: the journal goes on under the set's new name.
        Close(true);
    }
    path_ = path;
    if (!reset_) {
        return;
    }
    reset_ = false;
    if (offer_) {
        offer_.reset();
        emit unsavedWorkGone();
    }
    // Work left by an earlier run (closed, crashed or killed) is put aside and offered.
    FileSource file;
    std::error_code ec;
    if (!file.open(path_)) {
        return;
    }
    const auto content = ReadJournal(file);
    file.close();
    if (!content || content->set == document_->content()) {
        fs::remove(path_, ec);
        return;
    }
    const fs::path pending = PendingPath(path_);
    fs::rename(path_, pending, ec);
    if (ec) {
        return;
    }
    offer_ = Offer{pending, content->set};
    emit unsavedWorkFound(fileName, QDateTime::fromMSecsSinceEpoch(content->lastNs / 1000000));
}

bool EditJournalKeeper::RestoreUnsavedWork() {
    if (!offer_) {
        return false;
    }
    const Offer offer = *offer_;
    offer_.reset();
    document_->setWhole(offer.set, "Restore Unsaved Changes");
    std::error_code ec;
    fs::remove(offer.pending, ec);
    emit unsavedWorkGone();
    return true;
}

void EditJournalKeeper::Changed(const DocumentChange& change) {
    if (change.kind == DocumentChange::Kind::Reset) {
        base_ = document_->content();
        modified_ = false;
        reset_ = true;
        return;
    }
    if (!EnsureOpen()) {
        return;
    }
    Append(EncodeJournalRecord(RecordOf(change, document_->content())));
}

void EditJournalKeeper::Saved() {
    // The file holds the set now: its journal is emptied, and the next step starts anew.
    Close(true);
    base_ = document_->content();
    modified_ = false;
}

bool EditJournalKeeper::EnsureOpen() {
    if (fd_ >= 0) {
        return true;
    }
    if (path_.empty()) {
        path_ = JournalPath(folder_.isEmpty() ? QDir::currentPath() : folder_, fileName_);
    }
    std::error_code ec;
    fs::create_directories(path_.parent_path(), ec);
    fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd_ < 0) {
        Fail(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    Append(EncodeJournalStart(NowNs(), Key(folder_, fileName_), base_));
    return fd_ >= 0;
}

void EditJournalKeeper::Append(const std::vector<std::uint8_t>& bytes) {
    // One write a record: once it returns, the bytes survive the process being killed.
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            Fail(QString::fromLocal8Bit(std::strerror(n < 0 ? errno : ENOSPC)));
            Close(false);
            return;
        }
        done += static_cast<std::size_t>(n);
    }
    if (!syncTimer_.isActive()) {
        syncTimer_.start();
    }
}

void EditJournalKeeper::Flush() {
    if (fd_ >= 0) {
        ::fdatasync(fd_);
    }
}

void EditJournalKeeper::Close(bool removeFile) {
    syncTimer_.stop();
    if (fd_ >= 0) {
        ::fdatasync(fd_);
        ::close(fd_);
        fd_ = -1;
    }
    if (removeFile && !path_.empty()) {
        std::error_code ec;
        fs::remove(path_, ec);
    }
}

void EditJournalKeeper::Fail(const QString& reason) {
    if (!failed_) {
        failed_ = true;
        emit problem("Unsaved changes are not protected: the edit journal cannot be written (" +
                     reason + ")");
    }
}

}  // namespace krellon
