#include "MainWindow.h"

#include <QLayout>
#include <QMenuBar>
#include <QStatusBar>

#include "BackupsDialog.h"
#include "editor/Form1.h"
#include "platform/ComboBox.h"
#include "platform/Files.h"
#include "platform/Handlers.h"
#include "platform/StatusNotices.h"

namespace krellon {

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
    editor_ = new Form1(this);
    setCentralWidget(editor_);
    setWindowTitle(editor_->windowTitle());

    QMenu* file = menuBar()->addMenu("&File");
    BackupsAction = file->addAction("&Backups…");
    file->addSeparator();
    QuitAction = file->addAction("&Quit");
    QuitAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(BackupsAction, &QAction::triggered, this,
            [this] { RunHandler(editor_, [this] { ShowBackups(); }); });
    connect(QuitAction, &QAction::triggered, this, &QWidget::close);

    statusBar()->setSizeGripEnabled(false);
    connect(&Notices(), &StatusNotices::message, this,
            [this](const QString& text) { statusBar()->showMessage(text); });
    // The client area has the editor's fixed size; the window fits around it.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

void MainWindow::ShowBackups() {
    BackupsDialog dialog(this);
    connect(&dialog, &BackupsDialog::restored, this, &MainWindow::FileRestored);
    dialog.exec();
}

void MainWindow::FileRestored(const QString& fileName) {
    Form1& f = *editor_;
    // A restored image file in use shows at once, as after an import; a restored board set
    // file appears in the list and is read when it is picked.
    if (SameFileInFolder(fileName, f.BackgroundSetFile)) {
        f.ReadBackgr();
        f.LoadBackgr();
        f.RefreshBackgroundCells();
    }
    if (SameFileInFolder(fileName, f.BrickSetFile)) {
        f.LoadBricks();
        f.PaintBoard();
    }
    const QString open = f.Combo3->Text();
    f.Combo3->SetItems(Dir("*.bds"));
    f.Combo3->SetText(open);
}

}  // namespace krellon
