#pragma once

#include <QObject>
#include <QString>

namespace krellon {

// Short notes for the status bar from anywhere in the program ("the backup could not be
// written"); the main window shows them, tests listen to them.
class StatusNotices : public QObject {
    Q_OBJECT

signals:
    void message(const QString& text);
};

// The program's one channel.
StatusNotices& Notices();

// Puts text on the status bar.
void ShowStatus(const QString& text);

}  // namespace krellon
