#include "ImageFileWatcher.h"

#include <QDir>
#include <algorithm>

#include "editor/Form1.h"
#include "storage/FileNames.h"
#include "storage/Files.h"

namespace krellon {

namespace {

// The file a name of the working folder finds now, as the system tells it.
sys::FileInfo InfoOf(const QString& name) {
    const auto path = FindFile(name);
    return path ? sys::infoOf(*path) : sys::FileInfo{};
}

}  // namespace

ImageFileWatcher::ImageFileWatcher(Form1* editor, QObject* parent)
    : QObject(parent), editor_(editor) {
    // A replacement is a burst of events (a temporary file, a rename); the files are read
    // once it is over.
    settle_.setSingleShot(true);
    settle_.setInterval(150);
    connect(&settle_, &QTimer::timeout, this, &ImageFileWatcher::check);
    connect(&watcher_, &QFileSystemWatcher::fileChanged, &settle_, qOverload<>(&QTimer::start));
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, &settle_,
            qOverload<>(&QTimer::start));
    // Another set, or other files named by it: what was read is what is watched.
    connect(editor_, &Form1::SetShown, this, &ImageFileWatcher::watch);
    connect(editor_, &Form1::BoardPainted, this, &ImageFileWatcher::watch);
    watch();
}

void ImageFileWatcher::watch() {
    const QString folder = QDir::currentPath();
    if (!watcher_.directories().contains(folder)) {
        if (!watcher_.directories().isEmpty()) {
            watcher_.removePaths(watcher_.directories());
        }
        watcher_.addPath(folder);
    }
    std::map<QString, sys::FileInfo> seen;
    for (const QString& name : {editor_->BrickSetFile(), editor_->BackgroundSetFile()}) {
        if (name.isEmpty()) {
            continue;
        }
        const auto known = seen_.find(name);
        seen[name] = known != seen_.end() ? known->second : InfoOf(name);
    }
    seen_ = std::move(seen);
    // Every board shown asks again; the watches change only when the files do.
    QStringList files;
    for (const auto& [name, info] : seen_) {
        if (const auto path = FindFile(name)) {
            files << NameFromPath(*path);
        }
    }
    QStringList watched = watcher_.files();
    std::sort(files.begin(), files.end());
    std::sort(watched.begin(), watched.end());
    if (files != watched) {
        if (!watched.isEmpty()) {
            watcher_.removePaths(watched);
        }
        if (!files.isEmpty()) {
            watcher_.addPaths(files);
        }
    }
}

void ImageFileWatcher::check() {
    // Read again: each file that is another than the one last read. The editor's own reading
    // of it may then name other files, which watch() takes up.
    std::vector<QString> changed;
    for (auto& [name, info] : seen_) {
        const sys::FileInfo now = InfoOf(name);
        if (!sys::SameVersion(now, info)) {
            info = now;
            changed.push_back(name);
        }
    }
    for (const QString& name : changed) {
        editor_->ImageFileChanged(name);
    }
    watch();
}

}  // namespace krellon
