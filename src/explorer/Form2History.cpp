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
    // What was undone in this file cannot be redone over the new change.
    std::erase_if(redo_, [&](const HistoryStep& step) { return step.file == path; });
    UpdateHistoryActions();
}

void Form2::Undo() {
    PutBack(undo_, redo_, "Undid");
}

void Form2::Redo() {
    PutBack(redo_, undo_, "Redid");
}

std::vector<Form2::HistoryStep>::iterator Form2::LastStepOfShownFile(
    std::vector<HistoryStep>& steps) const {
    // Each file has its own history: Undo changes the file shown, never one out of sight.
    const auto path = FindFile(Shared().ExplorerFile);
    const auto last = std::find_if(steps.rbegin(), steps.rend(), [&](const HistoryStep& step) {
        return path && step.file == *path;
    });
    return last == steps.rend() ? steps.end() : std::prev(last.base());
}

void Form2::PutBack(std::vector<HistoryStep>& from, std::vector<HistoryStep>& to,
                    const QString& verb) {
    const auto found = LastStepOfShownFile(from);
    if (found == from.end()) {
        return;
    }
    const HistoryStep step = *found;
    const QString name = ShownFileName(NameFromPath(step.file.filename()));
    // A file another program changed since is not put back over: that change would be lost.
    if (!sys::SameVersion(sys::infoOf(step.file), step.after)) {
        std::erase_if(from, [&](const HistoryStep& s) { return s.file == step.file; });
        UpdateHistoryActions();
        Fail(name + " has changed on disk since; nothing was put back.", "Nothing changed");
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
    from.erase(found);
    // The file holds again what its step before left: that step goes on from the file as it
    // is now.
    const sys::FileInfo now = sys::infoOf(step.file);
    if (const auto before = LastStepOfShownFile(from); before != from.end()) {
        before->after = now;
    }
    if (const auto version = NewestVersion(step.file)) {
        to.push_back({step.file, *version, now, step.what, step.image});
    }
    Module1& m = Shared();
    m.CurrentImage = step.image;
    ReadImageFile();
    m.CurrentImage = std::clamp(m.CurrentImage, 1, std::max(m.ImageCount, 1));
    ShowImage();
    UpdateEditor();
    ShowStatus(verb + " " + step.what + " in " + name);
}

void Form2::UpdateHistoryActions() {
    const auto undo = LastStepOfShownFile(undo_);
    const auto redo = LastStepOfShownFile(redo_);
    UndoAction->setEnabled(undo != undo_.end());
    RedoAction->setEnabled(redo != redo_.end());
    UndoAction->setText(undo == undo_.end() ? QString("&Undo") : "&Undo " + undo->what);
    RedoAction->setText(redo == redo_.end() ? QString("&Redo") : "&Redo " + redo->what);
}

}  // namespace krellon
