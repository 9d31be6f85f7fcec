#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QTimer>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "formats/BoardSetFile.h"

namespace krellon {

class BoardSetDocument;
struct DocumentChange;

// Keeps the edit journal of the open set: every step, undo and redo is written to a small
// file under the user's data location before the handler that made it returns, so that a
// killed program loses no edit. The file holds a full copy of the set first; it is flushed to
// disk at most once a second, never on the edit itself, and emptied when the set is saved.
// When a set is opened whose journal holds unsaved work, nothing changes by itself: the work
// is put aside and offered, and RestoreUnsavedWork puts it back as one undoable step.
class EditJournalKeeper : public QObject {
    Q_OBJECT

public:
    explicit EditJournalKeeper(BoardSetDocument* document, QObject* parent = nullptr);
    ~EditJournalKeeper() override;

    // The open set is fileName (empty for a new set) in folder. Called after each set is
    // shown: read, read back after saving, or saved under another name.
    void Opened(const QString& folder, const QString& fileName);

    // True while unsaved work of the open set is on offer.
    bool HasUnsavedWork() const { return offer_.has_value(); }
    // Puts the offered work back as one undoable step; false when there is none.
    bool RestoreUnsavedWork();

    // The folder the journals are kept in.
    static std::filesystem::path Folder();
    // The journal files of a set: one per editor session that changed it and did not save.
    static std::vector<std::filesystem::path> Journals(const QString& folder,
                                                       const QString& fileName);

    // Writes what is written to disk now.
    void Flush();

signals:
    // Unsaved work of fileName, last changed at lastChange, can be restored.
    void unsavedWorkFound(const QString& fileName, const QDateTime& lastChange);
    // The offer ended: restored, or another set opened.
    void unsavedWorkGone();
    // The journal cannot be written: unsaved changes are not protected.
    void problem(const QString& text);

private:
    void Changed(const DocumentChange& change);
    void Saved();
    // Opens a new journal on base_ if none is open; false when it cannot be written.
    bool EnsureOpen();
    void Append(const std::vector<std::uint8_t>& bytes);
    // Closes the journal; removes its file when the set holds no unsaved work.
    void Close(bool removeFile);
    void Fail(const QString& reason);

    BoardSetDocument* document_;
    QString folder_;
    QString fileName_;
    std::string key_;             // the open set
    std::filesystem::path path_;  // this session's journal of it, once a step was made
    int fd_ = -1;                 // open while it is being written
    BoardSetContent base_;        // the set as the next journal starts from it
    bool modified_ = false;       // the set holds unsaved work
    bool reset_ = true;           // a set was read since the last Opened
    bool failed_ = false;         // the problem was told already
    QTimer syncTimer_;
    struct Offer {
        std::filesystem::path journal;  // a journal no running editor is writing
        BoardSetContent set;
    };
    std::optional<Offer> offer_;
};

}  // namespace krellon
