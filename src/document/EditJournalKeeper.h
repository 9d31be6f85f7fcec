#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "storage/System.h"

#include "formats/BoardSetFile.h"
#include "formats/EditJournal.h"
#include "formats/Result.h"

namespace krellon {

class BoardSetDocument;
struct DocumentChange;

// Keeps the edit journal of the open set: every step, undo and redo is written to a small
// file under the user's data location before the handler that made it returns, so that a
// killed program loses no edit. The file holds a full copy of the set first; it is flushed to
// disk at most once a second, never on the edit itself, and emptied when the set is saved.
// While the journal cannot be written (a full disk), it tries again on every step and on a
// timer, and once it can, starts afresh from a full copy of the set as it is then.
// When a set is opened whose journals hold unsaved work, nothing changes by itself: the work
// is offered, newest first, and RestoreUnsavedWork puts it back as one undoable step. A
// journal is removed only when what it holds is safe elsewhere; one that cannot be read whole
// is moved aside, never deleted.
class EditJournalKeeper : public QObject {
    Q_OBJECT

public:
    explicit EditJournalKeeper(BoardSetDocument* document, QObject* parent = nullptr);
    ~EditJournalKeeper() override;

    // The open set is fileName (empty for a new set) in folder. Called after each set is
    // shown: read, read back after saving, or saved under another name.
    void opened(const std::filesystem::path& folder, const QString& fileName);

    // True while unsaved work of the open set is on offer.
    bool hasUnsavedWork() const { return !offers_.empty(); }
    // What is on offer, as the status bar tells it; empty when nothing is.
    QString offerText() const;
    // Puts the newest offered work back as one undoable step, once it is safe in this
    // session's journal; the next offer, if any, follows. False, changing nothing, when there
    // is none or the journal cannot be written (told through notice).
    bool restoreUnsavedWork();

    // True unless the set holds unsaved work that the journal could not take.
    bool isProtected() const { return !failed_ || !modified_; }

    // The journal files of a set: one per editor session that changed it and did not save.
    static std::vector<std::filesystem::path> journals(const std::filesystem::path& folder,
                                                       const QString& fileName);

    // Writes what is written to disk now.
    void flush();

signals:
    // What is on offer changed (OfferText).
    void offerChanged();
    // The unsaved work stopped being protected (text says why) or is protected again (text
    // says so, or is empty when there is simply nothing unsaved any more).
    void protectionChanged(bool isProtected, const QString& text);
    // Something to tell once: a journal moved aside, a restore that could not be made.
    void notice(const QString& text);

private:
    struct Offer {
        std::filesystem::path journal;  // a journal no running editor is writing
        BoardSetContent set;
        std::int64_t lastNs = 0;
        std::size_t steps = 0;
        std::size_t unreadable = 0;
        bool fileChanged = false;  // the file is not what the journal began from
    };

    void documentChanged(const DocumentChange& change);
    void documentSaved();
    // Writes record, numbered, to the journal, opening one on base_ first when none is open;
    // after a failed write, starts afresh from after, the set as the record leaves it.
    Status write(JournalRecord record, const BoardSetContent& after);
    // Opens a new journal file holding base_ as its start.
    Status start();
    Status append(const std::vector<std::uint8_t>& bytes);
    // Closes the journal; removes its file when removeFile is set.
    void close(bool removeFile);
    void fail(const std::string& reason);
    // Tells the status bar when IsProtected changed.
    void updateProtection(const QString& resumedText = {});
    // Tries the journal again while it cannot be written.
    void retry();
    void moveAside(const std::filesystem::path& journal, const QString& why);

    BoardSetDocument* document_;
    std::filesystem::path folder_;
    QString fileName_;
    std::string key_;              // the open set
    std::filesystem::path path_;   // this session's journal of it, once a step was made
    sys::File file_;               // open while it is being written
    std::uint32_t number_ = 0;     // the last record's number in it
    BoardSetContent base_;         // the set as the next journal starts from it
    std::uint32_t fileCheck_ = 0;  // the set as its file held it
    bool modified_ = false;        // the set holds unsaved work
    bool reset_ = true;            // a set was read since the last Opened
    bool failed_ = false;          // the last write failed: the journal lags the set
    bool wasProtected_ = true;     // what the status bar was last told
    bool restoring_ = false;       // the step being made is in the journal already
    std::string failure_;          // why the journal cannot be written
    QTimer syncTimer_;
    QTimer retryTimer_;
    std::vector<Offer> offers_;  // the newest first
};

}  // namespace krellon
