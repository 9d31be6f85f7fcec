#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QTimer>
#include <map>

#include "storage/System.h"

namespace krellon {

class Form1;

// Keeps the editor in step with its brick set and background set files whoever changes them:
// the explorer, `krellon` or any other program. It watches the two files and the working
// folder (a replacement puts a new file under the name), and once the changes have settled,
// each file that is no longer the one last read is read again: its list and palette refilled,
// the board repainted; the open set itself is untouched.
class ImageFileWatcher : public QObject {
    Q_OBJECT

public:
    explicit ImageFileWatcher(Form1* editor, QObject* parent = nullptr);

    // Looks at the two files now rather than after the settling time.
    void check();

private:
    // Watches the working folder and the set's two files as they are now named.
    void watch();

    Form1* editor_;
    QFileSystemWatcher watcher_;
    QTimer settle_;
    // What each watched file was when last looked at, by its name.
    std::map<QString, sys::FileInfo> seen_;
};

}  // namespace krellon
