#include "EditJournalKeeper.h"

#include <algorithm>
#include <chrono>

#include "BoardSetDocument.h"
#include "formats/EditJournal.h"
#include "storage/FileNames.h"
#include "storage/FileSource.h"
#include "storage/JournalFiles.h"
#include "storage/System.h"

namespace krellon {

namespace fs = std::filesystem;

namespace {

std::int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

const char* const kTooLarge = "the set is too large for the journal";

// The record of what a change left in the set, in the change's scope: the board it was on,
// the texts, or the whole set.
JournalRecord RecordOf(const DocumentChange& change, const BoardSetContent& set) {
    using Kind = DocumentChange::Kind;
    JournalRecord record;
    record.timeNs = NowNs();
    switch (change.kind) {
        case Kind::Cells:
        case Kind::Background:
            record.kind = JournalRecord::Kind::Board;
            record.board = change.board;
            record.boardIs = set.boards[static_cast<std::size_t>(change.board - 1)];
            break;
        case Kind::BoardSetName:
        case Kind::AuthorName:
        case Kind::BrickSetFile:
        case Kind::BackgroundSetFile:
            record.kind = JournalRecord::Kind::Texts;
            record.texts = {set.boardSetName, set.authorName, set.brickSetFile,
                            set.backgroundSetFile};
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

void Remove(const fs::path& path) {
    std::error_code ec;
    if (!path.empty()) {
        fs::remove(path, ec);
    }
}

}  // namespace

EditJournalKeeper::EditJournalKeeper(BoardSetDocument* document, QObject* parent)
    : QObject(parent), document_(document) {
    base_ = document_->content();
    fileCheck_ = JournalFileCheck(base_);
    modified_ = document_->isModified();
    connect(document_, &BoardSetDocument::changed, this, &EditJournalKeeper::documentChanged);
    connect(document_, &BoardSetDocument::saved, this, &EditJournalKeeper::documentSaved);
    // Whether the set holds unsaved work is known once a step has moved the history: while a
    // step is being done or undone, the history has not moved yet.
    connect(document_->undoStack(), &QUndoStack::cleanChanged, this, [this](bool clean) {
        modified_ = !clean;
        updateProtection();
    });
    // Another set: this one's journal stays only while it holds unsaved work.
    // The next set shown is looked up for unsaved work.
    connect(document_, &BoardSetDocument::aboutToReset, this, [this] {
        close(!modified_);
        path_.clear();
        reset_ = true;
    });
    // At most one flush to disk a second, after the edits, never on an edit.
    syncTimer_.setSingleShot(true);
    syncTimer_.setInterval(1000);
    connect(&syncTimer_, &QTimer::timeout, this, &EditJournalKeeper::flush);
    retryTimer_.setInterval(2000);
    connect(&retryTimer_, &QTimer::timeout, this, &EditJournalKeeper::retry);
}

EditJournalKeeper::~EditJournalKeeper() {
    close(!modified_);
}

std::vector<fs::path> EditJournalKeeper::journals(const fs::path& folder, const QString& fileName) {
    return JournalFilesOf(JournalKey(folder, fileName));
}

void EditJournalKeeper::opened(const fs::path& folder, const QString& fileName) {
    const std::string key = JournalKey(folder, fileName);
    folder_ = folder;
    fileName_ = fileName;
    if (key != key_ && file_.isOpen() && !modified_) {
        // Saved under another name: the next step starts the new name's journal.
        close(true);
    }
    key_ = key;
    if (!reset_) {
        return;
    }
    reset_ = false;
    offers_.clear();
    // Work left by an earlier run (closed, crashed or killed) is offered, the newest first;
    // journals another running editor is writing are left to it.
    const BoardSetContent& shown = document_->content();
    const std::uint32_t shownCheck = JournalFileCheck(shown);
    for (const fs::path& journal : JournalFilesOf(key)) {
        FileSource file;
        if (JournalInUse(journal) || !file.open(journal)) {
            continue;
        }
        auto content = ReadJournal(file);
        file.close();
        if (!content) {
            moveAside(journal, "could not be read");
            continue;
        }
        if (content->key != key) {
            continue;  // another set whose key shares the name
        }
        if (content->set == shown) {
            // Nothing unsaved in what could be read; what could not stays aside.
            if (content->damaged()) {
                moveAside(journal, "could not be read whole");
            } else {
                Remove(journal);
            }
            continue;
        }
        Offer offer;
        offer.journal = journal;
        offer.lastNs = content->lastNs;
        offer.steps = content->steps();
        offer.unreadable = content->unreadable;
        offer.fileChanged =
            content->fileCheck ? *content->fileCheck != shownCheck : !(content->start == shown);
        offer.set = std::move(content->set);
        offers_.push_back(std::move(offer));
    }
    std::stable_sort(offers_.begin(), offers_.end(),
                     [](const Offer& a, const Offer& b) { return a.lastNs > b.lastNs; });
    emit offerChanged();
}

QString EditJournalKeeper::offerText() const {
    if (offers_.empty()) {
        return {};
    }
    const Offer& offer = offers_.front();
    QString text = QString("Unsaved changes of %1 from %2")
                       .arg(fileName_.isEmpty() ? QString("the new set") : ShownFileName(fileName_),
                            QDateTime::fromMSecsSinceEpoch(offer.lastNs / 1000000)
                                .toString("yyyy-MM-dd HH:mm:ss"));
    if (offers_.size() > 1) {
        text += QString(" (and %1 more)").arg(offers_.size() - 1);
    }
    text += " can be restored";
    if (offer.unreadable > 0) {
        text +=
            QString("; %1 of %2 steps could not be read").arg(offer.unreadable).arg(offer.steps);
    }
    if (offer.fileChanged) {
        text += "; the file has changed on disk since";
    }
    return text;
}

bool EditJournalKeeper::restoreUnsavedWork() {
    if (offers_.empty()) {
        return false;
    }
    const Offer offer = offers_.front();
    // The old journal goes only once the work is safe on disk in this session's journal.
    JournalRecord record;
    record.kind = JournalRecord::Kind::Whole;
    record.timeNs = NowNs();
    record.whole = offer.set;
    Status safe = write(record, offer.set);
    if (const std::error_code flushed = safe.ok() ? sys::flushToDisk(file_) : std::error_code()) {
        safe = Status::failure(flushed.message());
        close(false);
        fail(safe.error());
    }
    if (!safe.ok()) {
        updateProtection();
        emit notice("Nothing restored: the edit journal cannot be written (" +
                    QString::fromLocal8Bit(safe.error().c_str()) +
                    "); the unsaved changes stay where they are");
        return false;
    }
    restoring_ = true;
    document_->setWhole(offer.set, "Restore Unsaved Changes");
    restoring_ = false;
    if (offer.unreadable > 0) {
        moveAside(offer.journal, "could not be read whole");
    } else {
        Remove(offer.journal);
    }
    std::erase_if(offers_, [&](const Offer& o) { return o.journal == offer.journal; });
    emit offerChanged();
    return true;
}

void EditJournalKeeper::documentChanged(const DocumentChange& change) {
    if (change.kind == DocumentChange::Kind::Reset) {
        // Another set, with nothing unsaved yet: whatever failed before was about the last.
        base_ = document_->content();
        fileCheck_ = JournalFileCheck(base_);
        modified_ = false;
        failed_ = false;
        retryTimer_.stop();
        updateProtection();
        return;
    }
    if (restoring_) {
        return;
    }
    const bool lagged = failed_;
    if (write(RecordOf(change, document_->content()), document_->content()).ok() && lagged) {
        updateProtection("Unsaved changes are protected again");
    }
}

void EditJournalKeeper::documentSaved() {
    // The file holds the set now: its journal is emptied, and the next step starts anew.
    close(true);
    base_ = document_->content();
    fileCheck_ = JournalFileCheck(base_);
    modified_ = false;
    failed_ = false;
    retryTimer_.stop();
    updateProtection();
}

Status EditJournalKeeper::write(JournalRecord record, const BoardSetContent& after) {
    if (failed_) {
        // The journal lags the set: a new one starts from the set as it is after this step,
        // and the lagging one goes once the new one is on disk.
        const fs::path lagging = path_;
        path_.clear();
        base_ = after;
        Status started = start();
        if (const std::error_code flushed =
                started.ok() ? sys::flushToDisk(file_) : std::error_code()) {
            started = Status::failure(flushed.message());
        }
        if (!started.ok()) {
            close(true);
            path_ = lagging;
            fail(started.error());
            return started;
        }
        Remove(lagging);
        failed_ = false;
        retryTimer_.stop();
        return Status::success();
    }
    if (!file_.isOpen()) {
        if (Status started = start(); !started.ok()) {
            fail(started.error());
            return started;
        }
    }
    record.number = ++number_;
    const auto bytes = EncodeJournalRecord(record);
    Status written = bytes.empty() ? Status::failure(kTooLarge) : append(bytes);
    if (!written.ok()) {
        close(false);
        fail(written.error());
    }
    return written;
}

Status EditJournalKeeper::start() {
    // A journal of this session's own, locked while it is written, so that another editor on
    // the same set neither overwrites it nor offers it.
    const std::string key = key_.empty() ? JournalKey(fs::current_path(), fileName_) : key_;
    path_ = NewJournalPath(key);
    std::error_code ec;
    fs::create_directories(path_.parent_path(), ec);
    if (!ec) {
        file_ = sys::createNew(path_, sys::NewFileAccess::Private, ec);
    }
    if (ec) {
        path_.clear();
        return Status::failure(ec.message());
    }
    sys::tryLockExclusive(file_);
    number_ = 0;
    const auto head = EncodeJournalStart(NowNs(), key, fileCheck_, base_);
    Status written = head.empty() ? Status::failure(kTooLarge) : append(head);
    if (!written.ok()) {
        close(true);
    }
    return written;
}

Status EditJournalKeeper::append(const std::vector<std::uint8_t>& bytes) {
    // One write a record: once it returns, the bytes survive the process being killed.
    if (const std::error_code written = sys::writeAll(file_, bytes)) {
        return Status::failure(written.message());
    }
    if (!syncTimer_.isActive()) {
        syncTimer_.start();
    }
    return Status::success();
}

void EditJournalKeeper::flush() {
    if (file_.isOpen()) {
        sys::flushToDisk(file_);
    }
}

void EditJournalKeeper::close(bool removeFile) {
    syncTimer_.stop();
    if (file_.isOpen()) {
        sys::flushToDisk(file_);
        file_.close();
    }
    if (removeFile) {
        Remove(path_);
        path_.clear();
    }
}

void EditJournalKeeper::fail(const std::string& reason) {
    failed_ = true;
    failure_ = reason;
    if (!retryTimer_.isActive()) {
        retryTimer_.start();
    }
    updateProtection();
}

void EditJournalKeeper::updateProtection(const QString& resumedText) {
    const bool now = isProtected();
    if (now == wasProtected_) {
        return;
    }
    wasProtected_ = now;
    emit protectionChanged(
        now, now ? resumedText
                 : "Unsaved changes are not protected: the edit journal cannot be written (" +
                       QString::fromLocal8Bit(failure_.c_str()) + ")");
}

void EditJournalKeeper::retry() {
    if (!failed_) {
        retryTimer_.stop();
        return;
    }
    if (!modified_) {
        return;  // nothing to protect until the next step
    }
    if (write({}, document_->content()).ok()) {
        updateProtection("Unsaved changes are protected again");
    }
}

void EditJournalKeeper::moveAside(const fs::path& journal, const QString& why) {
    const auto moved = MoveJournalAside(journal);
    const QString name = fileName_.isEmpty() ? QString("the new set") : ShownFileName(fileName_);
    emit notice(moved.ok() ? QString("An edit journal of %1 %2; it was moved aside to %3")
                                 .arg(name, why, ShownFileName(NameFromPath(moved.value())))
                           : QString("An edit journal of %1 %2 and cannot be moved aside (%3)")
                                 .arg(name, why, QString::fromLocal8Bit(moved.error().c_str())));
}

}  // namespace krellon
