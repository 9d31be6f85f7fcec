#include "EditJournalKeeper.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "BoardSetDocument.h"
#include "formats/EditJournal.h"
#include "formats/FileSource.h"
#include "formats/NameHash.h"

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

// True while another running editor writes the journal at path: it holds a lock on it.
bool InUse(const fs::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool locked = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
    ::close(fd);  // drops the lock taken to look
    return locked;
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

std::vector<fs::path> EditJournalKeeper::Journals(const QString& folder, const QString& fileName) {
    const std::string stem = NameHash(Key(folder, fileName)) + "-";
    std::vector<fs::path> journals;
    std::error_code ec;
    for (fs::directory_iterator it(Folder(), ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.starts_with(stem) && name.ends_with(".krj")) {
            journals.push_back(it->path());
        }
    }
    std::sort(journals.begin(), journals.end());
    return journals;
}

void EditJournalKeeper::Opened(const QString& folder, const QString& fileName) {
    const std::string key = Key(folder, fileName);
    folder_ = folder;
    fileName_ = fileName;
    if (key != key_ && fd_ >= 0) {
        // Saved under another name: the next step starts the new name's journal.
        Close(true);
    }
    key_ = key;
    if (!reset_) {
        return;
    }
    reset_ = false;
    if (offer_) {
        offer_.reset();
        emit unsavedWorkGone();
    }
    // Work left by an earlier run (closed, crashed or killed) is offered, the newest first;
    // journals another running editor is writing are left to it.
    std::optional<JournalContent> newest;
    fs::path newestPath;
    std::error_code ec;
    for (const fs::path& journal : Journals(folder, fileName)) {
        if (InUse(journal)) {
            continue;
        }
        FileSource file;
        if (!file.open(journal)) {
            continue;
        }
        auto content = ReadJournal(file);
        file.close();
        if (!content || content->set == document_->content()) {
            fs::remove(journal, ec);  // nothing unsaved in it
            continue;
        }
        if (!newest || content->lastNs > newest->lastNs) {
            newest = std::move(content);
            newestPath = journal;
        }
    }
    if (newest) {
        offer_ = Offer{newestPath, newest->set};
        emit unsavedWorkFound(fileName, QDateTime::fromMSecsSinceEpoch(newest->lastNs / 1000000));
    }
}

bool EditJournalKeeper::RestoreUnsavedWork() {
    if (!offer_) {
        return false;
    }
    const Offer offer = *offer_;
    offer_.reset();
    // The work goes on in this session's journal; the old one is done with.
    document_->setWhole(offer.set, "Restore Unsaved Changes");
    std::error_code ec;
    fs::remove(offer.journal, ec);
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
    // A journal of this session's own, locked while it is written, so that another editor on
    // the same set neither overwrites it nor offers it.
    static std::atomic<unsigned> sessions{0};
    const std::string key = key_.empty() ? Key(QDir::currentPath(), fileName_) : key_;
    path_ = Folder() / (NameHash(key) + "-" + std::to_string(::getpid()) + "-" +
                        std::to_string(NowNs()) + "-" + std::to_string(sessions++) + ".krj");
    std::error_code ec;
    fs::create_directories(path_.parent_path(), ec);
    fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd_ < 0) {
        Fail(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    ::flock(fd_, LOCK_EX | LOCK_NB);
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
    path_.clear();
}

void EditJournalKeeper::Fail(const QString& reason) {
    if (!failed_) {
        failed_ = true;
        emit problem("Unsaved changes are not protected: the edit journal cannot be written (" +
                     reason + ")");
    }
}

}  // namespace krellon
