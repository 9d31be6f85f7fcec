// The explorer's Edit menu: its changes undone and redone through the kept versions of the
// files it changed, many levels deep.
#include <QMenuBar>

#include "Form2.h"
#include "explorer/Module1.h"
#include "platform/Handlers.h"
#include "storage/BackupStore.h"
#include "storage/FileNames.h"
#include "storage/FileWrites.h"
#include "storage/Files.h"

namespace krellon {

namespace {

// The newest kept version of path: what it held before its last replacement.
std::optional<BackupEntry> NewestVersion(const std::filesystem::path& path) {
    for (const BackupEntry& entry : Backups().list(path.parent_path())) {
        if (entry.original.filename() == path.filename()) {
            return entry;
        }
    }
    return std::nullopt;
}

}  // namespace

void Form2::CreateEditMenu() {
    QMenu* menu = MenuBar->addMenu("&Edit");
    UndoAction = menu->addAction("&Undo");
    UndoAction->setObjectName("undo");
    UndoAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    RedoAction = menu->addAction("&Redo");
    RedoAction->setObjectName("redo");
    RedoAction->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    connect(UndoAction, &QAction::triggered, this,
            [this] { RunHandler(this, [this] { Undo(); }); });
    connect(RedoAction, &QAction::triggered, this,
            [this] { RunHandler(this, [this] { Redo(); }); });
    UpdateHistoryActions();
}

void Form2::RememberChange(const std::filesystem::path& path, const QString& what) {
    const auto version = NewestVersion(path);
    if (!version) {
        return;  // no version kept (a store that cannot be written): nothing to go back to
    }
    undo_.push_back({path, *version, sys::infoOf(path), what, Shared().CurrentImage});
    redo_.clear();
    UpdateHistoryActions();
}

void Form2::Undo() {
    PutBack(undo_, redo_, "Undid");
}

void Form2::Redo() {
    PutBack(redo_, undo_, "Redid");
}

void Form2::PutBack(std::vector<HistoryStep>& from, std::vector<HistoryStep>& to,
                    const QString& verb) {
    if (from.empty()) {
        return;
    }
    HistoryStep step = from.back();
    // A file another program changed since is not put back over: that change would be lost.
    if (!sys::SameVersion(sys::infoOf(step.file), step.after)) {
        from.clear();
        UpdateHistoryActions();
        Fail(ShownFileName(NameFromPath(step.file.filename())) +
                 " has changed on disk since; nothing was put back.",
             "Nothing changed");
        return;
    }
    const auto bytes = BackupStore::read(step.version);
    if (!bytes.ok()) {
        Fail("The kept version cannot be read: " + QString::fromStdString(bytes.error()),
             "Nothing changed");
        return;
    }
    const Status written = ReplaceFile(step.file, bytes.value(), verb + " " + step.what);
    if (!written.ok()) {
        Fail(ReasonText(written), "Nothing changed");
        return;
    }
    from.pop_back();
    // The file holds again what the step before left: that step goes on from the file as it
    // is now.
    const sys::FileInfo now = sys::infoOf(step.file);
    if (!from.empty() && from.back().file == step.file) {
        from.back().after = now;
    }
    if (const auto version = NewestVersion(step.file)) {
        to.push_back({step.file, *version, now, step.what, step.image});
    }
    UpdateHistoryActions();
    Module1& m = Shared();
    m.ExplorerFile = NameFromPath(step.file.filename());
    m.CurrentImage = step.image;
    ReadImageFile();
    m.CurrentImage = std::clamp(m.CurrentImage, 1, std::max(m.ImageCount, 1));
    ShowImage();
    UpdateEditor();
    ShowStatus(verb + " " + step.what);
}

void Form2::UpdateHistoryActions() {
    UndoAction->setEnabled(!undo_.empty());
    RedoAction->setEnabled(!redo_.empty());
    UndoAction->setText(undo_.empty() ? QString("&Undo") : "&Undo " + undo_.back().what);
    RedoAction->setText(redo_.empty() ? QString("&Redo") : "&Redo " + redo_.back().what);
}

}  // namespace krellon
