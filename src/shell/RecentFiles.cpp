#include "RecentFiles.h"

#include <QSettings>

#include "storage/FileNames.h"
#include "storage/System.h"

namespace krellon {

namespace {

#ifdef _WIN32
constexpr Qt::CaseSensitivity kPathCase = Qt::CaseInsensitive;
#else
constexpr Qt::CaseSensitivity kPathCase = Qt::CaseSensitive;
#endif

const QString kKey = "recentFiles";

}  // namespace

void RecentFiles::add(const QString& path) {
    paths_.removeIf([&](const QString& p) { return p.compare(path, kPathCase) == 0; });
    paths_.prepend(path);
    while (paths_.size() > kLimit) {
        paths_.removeLast();
    }
}

void RecentFiles::removeMissing() {
    paths_.removeIf([](const QString& p) { return !exists(p); });
}

bool RecentFiles::exists(const QString& path) {
    return sys::infoOf(PathFromName(path)).kind == sys::FileKind::Regular;
}

QString RecentFiles::entryText(const QString& path) {
    const std::filesystem::path p = PathFromName(path);
    return ShownFileName(NameFromPath(p.filename())) + " \u2014 " +
           ShownFileName(NameFromPath(p.parent_path()));
}

void RecentFiles::load(QSettings& settings) {
    paths_.clear();
    const int count = settings.beginReadArray(kKey);
    for (int i = 0; i < count; ++i) {
        settings.setArrayIndex(i);
        const QByteArray bytes = settings.value("path").toByteArray();
        if (!bytes.isEmpty() && paths_.size() < kLimit) {
            paths_ << NameFromBytes(bytes.toStdString());
        }
    }
    settings.endArray();
}

void RecentFiles::save(QSettings& settings) const {
    settings.remove(kKey);
    settings.beginWriteArray(kKey, static_cast<int>(paths_.size()));
    for (int i = 0; i < paths_.size(); ++i) {
        settings.setArrayIndex(i);
        settings.setValue("path", QByteArray::fromStdString(BytesFromName(paths_[i])));
    }
    settings.endArray();
}

}  // namespace krellon
