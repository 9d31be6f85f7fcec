#pragma once

#include <QMainWindow>

class QAction;

namespace krellon {

class Form1;

// The editor as a desktop program: the board editor window as the client area, with a menu
// bar above it and a status bar below. Form1's controls keep their places relative to the
// client area's top-left corner.
class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit MainWindow(QWidget* parent = nullptr);

    Form1* Editor() const { return editor_; }

    // File > Backups…: the kept earlier versions of the working folder's files.
    void ShowBackups();

    QAction* BackupsAction = nullptr;
    QAction* QuitAction = nullptr;

private:
    // Brings the editor up to date after a file of the working folder was restored.
    void FileRestored(const QString& fileName);

    Form1* editor_ = nullptr;
};

}  // namespace krellon
