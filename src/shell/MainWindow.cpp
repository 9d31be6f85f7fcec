#include "MainWindow.h"

#include <QActionGroup>
#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollArea>
#include <QStatusBar>
#include <QUndoStack>

#include "BackupsDialog.h"
#include "BoardKeyboard.h"
#include "BoardStrip.h"
#include "BoardTools.h"
#include "ExplorerLink.h"
#include "WindowSettings.h"
#include "app/Version.h"
#include "document/BoardEdits.h"
#include "document/BoardSetDocument.h"
#include "document/BoardSetJson.h"
#include "document/EditJournalKeeper.h"
#include "editor/Form1.h"
#include "platform/ComboBox.h"
#include "platform/Controls.h"
#include "platform/Dialogs.h"
#include "platform/Handlers.h"
#include "platform/PictureBox.h"
#include "storage/FileNames.h"
#include "storage/Files.h"
#include "storage/StatusNotices.h"

namespace krellon {

namespace {

const QString kCaption = "Krellon Boards Editor";

}  // namespace

MainWindow::MainWindow(QWidget* parent, const QString& startSet)
    : QMainWindow(parent), session_(std::make_unique<EditorSession>()) {
    editor_ = std::make_unique<Form1>(session_->document(), session_->look(), this, startSet);
    tools_ = std::make_unique<BoardTools>(editor_.get());
    keyboard_ = std::make_unique<BoardKeyboard>(editor_.get(), tools_.get());
    watcher_ = std::make_unique<ImageFileWatcher>(editor_.get());
    // The client area keeps its size and its controls' places; where the window is smaller
    // than it (a zoomed board, say) it scrolls.
    scroll_ = new QScrollArea(this);
    scroll_->setObjectName("clientArea");
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setFocusPolicy(Qt::NoFocus);  // no Tab stop of its own
    scroll_->setWidget(editor_.get());
    scroll_->viewport()->installEventFilter(this);
    setCentralWidget(scroll_);
    LinkExplorer(editor_.get());
    setWindowTitle(editor_->windowTitle());
    createMenus();
    createStatusBar();
    // The board strip stands beside the client area, which keeps its size and its controls.
    strip_ = std::make_unique<BoardStrip>(editor_.get(), boardMenu_, this);
    addDockWidget(Qt::RightDockWidgetArea, strip_.get());
    QAction* boards = strip_->toggleViewAction();
    boards->setObjectName("boards");
    boards->setText("&Boards");
    viewMenu_->addSeparator();
    viewMenu_->addAction(boards);
    createToolBar();
    // The window opens with the whole client area in sight; it can then be made any size.
    scroll_->setMinimumSize(editor_->size());
    layout()->activate();
    resize(sizeHint().expandedTo(minimumSizeHint()));
    scroll_->setMinimumSize(0, 0);
    // The window's own minimum follows at once, or a restored smaller size would be refused.
    layout()->activate();

    // Tab reaches the board and the palette, and so do presses; the board has the keyboard at
    // start.
    for (PictureBox* picture : {editor_->Picture1, editor_->Picture2}) {
        picture->setFocusPolicy(Qt::StrongFocus);
        picture->setMouseTracking(true);
        picture->installEventFilter(this);
    }
    editor_->Picture1->setFocus();
    for (ComboBox* list :
         {editor_->Combo1, editor_->Combo2, editor_->Combo3, editor_->Combo4, editor_->Combo5}) {
        returnKeyboardAfterPick(list);
    }
    // The pointer's text follows a press at once, and every change under it.
    connect(editor_->Picture1, &PictureBox::mouseDown, this, [this](int, float x, float y) {
        boardPointer_ = QPointF(x, y).toPoint();
        pointerStatus->setText(editor_->BoardToolTip(boardPointer_->x(), boardPointer_->y()));
    });
    connect(document(), &BoardSetDocument::changed, this, [this] {
        if (boardPointer_) {
            pointerStatus->setText(editor_->BoardToolTip(boardPointer_->x(), boardPointer_->y()));
        }
    });
    connect(editor_->Picture2, &PictureBox::mouseDown, editor_->Picture2,
            qOverload<>(&QWidget::update));

    // Every set shown tells the journal which set is open and goes first in the recent list;
    // the first was read already.
    connect(editor_.get(), &Form1::SetShown, this, [this] {
        session_->journal()->opened(std::filesystem::current_path(), editor_->BoardSetFile);
        recordShownSet();
    });
    session_->journal()->opened(std::filesystem::current_path(), editor_->BoardSetFile);
    recordShownSet();
}

MainWindow::~MainWindow() {
    // The editor goes before the window: what its widgets tell while they go is no news.
    destroying_ = true;
}

void MainWindow::createStatusBar() {
    statusBar()->setSizeGripEnabled(false);
    fileStatus = new QLabel(this);
    modifiedStatus = new QLabel(this);
    pointerStatus = new QLabel(this);
    toolStatus = new QLabel("Tool: Press", this);
    mirrorStatus = new QLabel("Mirror", this);
    mirrorStatus->hide();
    unsavedStatus = new QLabel(this);
    restoreButton = new QPushButton("Restore", this);
    restoreButton->setAutoDefault(false);
    restoreButton->setFocusPolicy(Qt::NoFocus);
    statusBar()->addWidget(unsavedStatus);
    statusBar()->addWidget(restoreButton);
    unsavedStatus->hide();
    restoreButton->hide();
    connect(restoreButton, &QPushButton::clicked, action("restoreUnsaved"), &QAction::trigger);
    // Unsaved work found for the open set, with its button, while there is any.
    connect(session_->journal(), &EditJournalKeeper::offerChanged, this, [this] {
        const QString text = session_->journal()->offerText();
        unsavedStatus->setText(text);
        unsavedStatus->setVisible(!text.isEmpty());
        restoreButton->setVisible(!text.isEmpty());
        action("restoreUnsaved")->setEnabled(!text.isEmpty());
    });
    // Whether unsaved work is protected stands in the bar for as long as it is true.
    protectionStatus = new QLabel(this);
    protectionStatus->hide();
    statusBar()->addPermanentWidget(protectionStatus);
    connect(session_->journal(), &EditJournalKeeper::protectionChanged, this,
            [this](bool isProtected, const QString& text) {
                protectionStatus->setText(isProtected ? QString() : text);
                protectionStatus->setVisible(!isProtected);
                if (isProtected && !text.isEmpty()) {
                    statusBar()->showMessage(text, 10000);
                }
            });
    connect(session_->journal(), &EditJournalKeeper::notice, this,
            [this](const QString& text) { statusBar()->showMessage(text); });
    statusBar()->addPermanentWidget(pointerStatus);
    statusBar()->addPermanentWidget(toolStatus);
    statusBar()->addPermanentWidget(mirrorStatus);
    statusBar()->addPermanentWidget(fileStatus);
    statusBar()->addPermanentWidget(modifiedStatus);
    connect(&Notices(), &StatusNotices::message, this,
            [this](const QString& text) { statusBar()->showMessage(text); });
    QUndoStack* stack = editor_->Document->undoStack();
    connect(stack, &QUndoStack::cleanChanged, this, &MainWindow::updateStatus);
    connect(editor_->Document, &BoardSetDocument::changed, this, &MainWindow::updateStatus);
    connect(editor_.get(), &Form1::SetShown, this, &MainWindow::updateStatus);
    updateStatus();
}

void MainWindow::updateStatus() {
    const QString& file = editor_->BoardSetFile;
    fileStatus->setText(file.isEmpty() ? QString("new set") : ShownFileName(file));
    modifiedStatus->setText(editor_->Document->isModified() ? QString("modified") : QString());
    // A set holds 1 to 100 boards.
    const int count = editor_->Document->boardCount();
    for (const char* id : {"newBoard", "duplicateBoard", "pasteAsNewBoard"}) {
        action(id)->setEnabled(count < kMaxBoards);
    }
    action("deleteBoard")->setEnabled(count > 1);
}

void MainWindow::pasteBoard(bool asNew) {
    const Result<int> pasted = BoardEdits::pasteBoard(
        *document(), editor_->CurrentBoard, QGuiApplication::clipboard()->text().toUtf8(), asNew);
    // The outcome replaces whatever the bar said last, a refused paste among it.
    if (!pasted.ok()) {
        statusBar()->showMessage("Nothing pasted: " + QString::fromStdString(pasted.error()));
        return;
    }
    statusBar()->showMessage(
        QString(asNew ? "Pasted as new board %1" : "Pasted over board %1").arg(pasted.value()));
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (destroying_) {
        return false;
    }
    // What lies under the pointer on the board or the palette, as the tooltips tell it.
    if (event->type() == QEvent::MouseMove) {
        const QPoint p = static_cast<QMouseEvent*>(event)->position().toPoint();
        if (watched == editor_->Picture1) {
            // In board pixels, whatever the zoom.
            const int k = editor_->Picture1->Scale();
            boardPointer_ = QPoint(p.x() < 0 ? (p.x() - k + 1) / k : p.x() / k,
                                   p.y() < 0 ? (p.y() - k + 1) / k : p.y() / k);
            pointerStatus->setText(editor_->BoardToolTip(boardPointer_->x(), boardPointer_->y()));
        } else if (watched == editor_->Picture2) {
            pointerStatus->setText(editor_->PaletteToolTip(p.x(), p.y()));
        }
    } else if (event->type() == QEvent::Leave) {
        pointerStatus->clear();
        if (watched == editor_->Picture1) {
            boardPointer_.reset();
        }
    } else if (event->type() == QEvent::MouseButtonRelease || event->type() == QEvent::KeyPress) {
        if (auto* list = watched->property("pickList").value<QObject*>()) {
            list->setProperty("pickedWithMouse", event->type() == QEvent::MouseButtonRelease);
        }
    } else if (event->type() == QEvent::Wheel && watched == scroll_->viewport() &&
               zoomByWheel(static_cast<QWheelEvent*>(event))) {
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::returnKeyboardAfterPick(ComboBox* list) {
    // A release over the open list is a pick with the mouse (the filter sees it before the
    // list does); a pick with the keys, or typing in the text field, keeps the keyboard there.
    list->view()->viewport()->installEventFilter(this);
    list->view()->viewport()->setProperty("pickList", QVariant::fromValue<QObject*>(list));
    connect(list, qOverload<int>(&QComboBox::activated), this, [this, list] {
        if (list->property("pickedWithMouse").toBool()) {
            list->setProperty("pickedWithMouse", false);
            editor_->Picture1->setFocus(Qt::OtherFocusReason);
        }
    });
}

void MainWindow::restoreUnsaved() {
    const BoardSetContent before = document()->content();
    if (!session_->journal()->restoreUnsavedWork()) {
        return;
    }
    // The first board the restore changed is shown.
    const BoardSetContent& after = document()->content();
    for (int b = 1; b <= document()->boardCount(); ++b) {
        if (b > static_cast<int>(before.boards.size()) ||
            !(before.boards[static_cast<std::size_t>(b - 1)] ==
              after.boards[static_cast<std::size_t>(b - 1)])) {
            editor_->ShowBoard(b);
            statusBar()->showMessage(QString("Restored unsaved changes; board %1 shown").arg(b));
            return;
        }
    }
    statusBar()->showMessage("Restored unsaved changes");
}

void MainWindow::showAbout() {
    MsgBox(this,
           QString("Krellon Boards Editor %1\n\nEdits the board sets (.bds) of the Krellon "
                   "brick-breaking game and moves its palette images (.img) in and out.")
               .arg(KRELLON_VERSION),
           kCaption);
}

bool MainWindow::switchFolder(const QString& folder, const QString& set) {
    if (!QDir::setCurrent(folder)) {
        MsgBox(this, "Could not work in " + folder + ".", kCaption);
        return false;
    }
    editor_->Rescan(set);
    return true;
}

void MainWindow::openFolder() {
    const QString folder =
        FileDialog(this, FileDialogKind::Folder, "Open Folder", QDir::currentPath());
    if (!folder.isEmpty()) {
        switchFolder(folder);
    }
}

void MainWindow::openBoardSet() {
    const QString path = FileDialog(this, FileDialogKind::Open, "Open Board Set",
                                    QDir::currentPath(), "Board sets (*.bds *.BDS)");
    if (path.isEmpty()) {
        return;
    }
    const QFileInfo file(path);
    switchFolder(file.absolutePath(), NameFromPath(PathFromName(file.fileName())));
}

void MainWindow::openRecent(const QString& path) {
    const std::filesystem::path file = PathFromName(path);
    switchFolder(NameFromPath(file.parent_path()), NameFromPath(file.filename()));
}

void MainWindow::recordShownSet() {
    // A new set has no file to open again.
    if (editor_->BoardSetFile.isEmpty()) {
        return;
    }
    recent_.add(
        NameFromPath(std::filesystem::current_path() / PathFromName(editor_->BoardSetFile)));
    saveRecent();
}

void MainWindow::fillRecentMenu() {
    // The last showing's entries go later: one of them may be what runs now.
    for (QAction* entry : recentMenu_->actions()) {
        if (entry == recentEnd_) {
            break;
        }
        recentMenu_->removeAction(entry);
        entry->deleteLater();
    }
    const QStringList& paths = recent_.paths();
    for (int i = 0; i < paths.size(); ++i) {
        const QString& path = paths[i];
        // "&1 " to "1&0 ": a digit picks the entry; an & of a name is shown, not a key.
        const QString number = i < 9 ? QString("&%1 ").arg(i + 1) : QString("1&0 ");
        auto* entry =
            new QAction(number + RecentFiles::entryText(path).replace("&", "&&"), recentMenu_);
        entry->setEnabled(RecentFiles::exists(path));
        connect(entry, &QAction::triggered, this,
                [this, path] { RunHandler(editor_.get(), [this, path] { openRecent(path); }); });
        recentMenu_->insertAction(recentEnd_, entry);
    }
    action("clearMissing")->setEnabled(!paths.isEmpty());
    action("clearRecent")->setEnabled(!paths.isEmpty());
}

void MainWindow::saveRecent() {
    if (keepsSettings_) {
        recent_.save(*WindowSettings::open());
    }
}

void MainWindow::keepSettings() {
    setZoom(WindowSettings::restore(*this));
    // The sets shown before (the start set) go in front of the kept list.
    const QStringList shown = recent_.paths();
    recent_.load(*WindowSettings::open());
    for (auto path = shown.rbegin(); path != shown.rend(); ++path) {
        recent_.add(*path);
    }
    keepsSettings_ = true;
    saveRecent();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (keepsSettings_) {
        WindowSettings::save(*this, zoom());
    }
    QMainWindow::closeEvent(event);
}

void MainWindow::showImageFile(const QString& file) {
    OpenExplorer(editor_.get(), file, 1);
}

void MainWindow::save() {
    const QString file = editor_->BoardSetFile;
    if (file.isEmpty()) {
        saveAs();
        return;
    }
    // In place: the board shown, the history and the tool stay; a failure says why and
    // leaves the set modified.
    if (editor_->SaveAs(file)) {
        statusBar()->showMessage("Saved " + ShownFileName(file));
    }
}

void MainWindow::newBoardSet() {
    tools_->endStroke();
    editor_->NewBoardSet();
    statusBar()->showMessage("New board set");
}

void MainWindow::saveAs() {
    // The open file's name is proposed.
    const QString& open = editor_->BoardSetFile;
    QString path = FileDialog(this, FileDialogKind::Save, "Save As",
                              open.isEmpty() ? QDir::currentPath() : QDir::current().filePath(open),
                              "Board sets (*.bds)");
    if (path.isEmpty()) {
        return;
    }
    if (!path.endsWith(".bds", Qt::CaseInsensitive)) {
        path += ".bds";
    }
    // A board set names its image files by bare name: they are found in the set's folder.
    const QFileInfo file(path);
    if (QFileInfo(file.absolutePath()).canonicalFilePath() !=
        QFileInfo(QDir::currentPath()).canonicalFilePath()) {
        MsgBox(this,
               "A board set names its image files without a folder, so it can only be saved in "
               "the working folder, " +
                   QDir::currentPath() + ". Use Open Folder to work in another folder.",
               kCaption);
        return;
    }
    if (editor_->SaveAs(file.fileName())) {
        statusBar()->showMessage("Saved " + ShownFileName(file.fileName()));
    }
}

void MainWindow::showBackups() {
    BackupsDialog dialog(this);
    connect(&dialog, &BackupsDialog::restored, this, &MainWindow::fileRestored);
    dialog.exec();
}

void MainWindow::fileRestored(const QString& fileName) {
    Form1& f = *editor_;
    // A restored image file in use shows at once, as after an import; a restored board set
    // file appears in the list and is read when it is picked.
    f.ImageFileChanged(fileName);
    const QString open = f.Combo3->Text();
    f.Combo3->SetItems(Dir("*.bds"));
    f.Combo3->SetText(open);
}

}  // namespace krellon
