#pragma once

#include <QDialog>
#include <filesystem>
#include <vector>

#include "storage/BackupStore.h"

class QPushButton;
class QTreeWidget;

namespace krellon {

// File > Backups…: the kept earlier versions of the working folder's files, newest first
// (file, date and time, size, what replaced it), and a way to put one back.
class BackupsDialog : public QDialog {
    Q_OBJECT

public:
    explicit BackupsDialog(QWidget* parent = nullptr);

    // Lists the versions kept for the working folder as it is now.
    void reload();
    // Puts the version of row (0-based) back in place of its file; false, with the reason
    // shown, when it cannot.
    bool restoreRow(int row);

    QTreeWidget* List = nullptr;
    QPushButton* Restore = nullptr;

signals:
    // A file of the working folder has been given an earlier content.
    void restored(const QString& fileName);

private:
    std::vector<BackupEntry> entries_;
};

}  // namespace krellon
