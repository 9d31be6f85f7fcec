#pragma once

#include <QString>
#include <QStringList>

class QSettings;

namespace krellon {

// File > Open Recent's list: the board sets opened last, most recent first, as absolute paths
// held as NameFromPath holds them. A path is listed once (letter case ignored on Windows, whose
// file names ignore it); the list keeps the last ten.
class RecentFiles {
public:
    static constexpr int kLimit = 10;

    const QStringList& paths() const { return paths_; }
    // Puts path first, dropping its earlier entry and whatever falls past the limit.
    void add(const QString& path);
    void clear() { paths_.clear(); }
    // Drops the entries whose file is no longer there.
    void removeMissing();

    // True when path names a file now (asked each time the menu shows).
    static bool exists(const QString& path);
    // The menu's text for path: the file name, then its folder, as ShownFileName shows names.
    static QString entryText(const QString& path);

    // The list kept in settings, each path as its bytes so that every name comes back whole.
    void load(QSettings& settings);
    void save(QSettings& settings) const;

private:
    QStringList paths_;
};

}  // namespace krellon
