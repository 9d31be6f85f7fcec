// The main window's menus: each built by one function, every entry found by its id.
#include <QActionGroup>
#include <QApplication>
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
#include "MainWindow.h"
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

QAction* MainWindow::addEntry(QMenu* menu, const char* id, const QString& text,
                              const QKeySequence& key, std::function<void()> handler) {
    QAction* action = menu->addAction(text);
    action->setObjectName(id);
    if (!key.isEmpty()) {
        action->setShortcut(key);
    }
    connect(action, &QAction::triggered, this,
            [this, handler = std::move(handler)] { RunHandler(editor_.get(), handler); });
    return action;
}

QAction* MainWindow::action(const char* id) const {
    return findChild<QAction*>(id);
}

void MainWindow::createMenus() {
    createFileMenu();
    createEditMenu();
    createBoardMenu();
    createViewMenu();
    createToolsMenu();
    QMenu* help = menuBar()->addMenu("&Help");
    addEntry(help, "keysAndMouse", "&Keys and Mouse", QKeySequence::HelpContents,
             [this] { showKeys(); });
    addEntry(help, "about", "&About", {}, [this] { showAbout(); });
}

void MainWindow::createFileMenu() {
    QMenu* file = menuBar()->addMenu("&File");
    addEntry(file, "newBoardSet", "&New Board Set", QKeySequence(Qt::CTRL | Qt::Key_N),
             [this] { newBoardSet(); });
    addEntry(file, "openBoardSet", "&Open Board Set…", QKeySequence(Qt::CTRL | Qt::Key_O),
             [this] { openBoardSet(); });
    addEntry(file, "openFolder", "Open &Folder…", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O),
             [this] { openFolder(); });
    recentMenu_ = file->addMenu("Open &Recent");
    recentMenu_->setObjectName("openRecent");
    recentMenu_->menuAction()->setObjectName("openRecent");
    // The entries come before this separator each time the menu opens, when whether each
    // file is still there is asked again.
    recentEnd_ = recentMenu_->addSeparator();
    connect(recentMenu_, &QMenu::aboutToShow, this, &MainWindow::fillRecentMenu);
    QAction* clearMissing = recentMenu_->addAction("Clear &Missing");
    clearMissing->setObjectName("clearMissing");
    connect(clearMissing, &QAction::triggered, this, [this] {
        recent_.removeMissing();
        saveRecent();
    });
    QAction* clearRecent = recentMenu_->addAction("&Clear Recent");
    clearRecent->setObjectName("clearRecent");
    connect(clearRecent, &QAction::triggered, this, [this] {
        recent_.clear();
        saveRecent();
    });
    file->addSeparator();
    addEntry(file, "save", "&Save", QKeySequence(Qt::CTRL | Qt::Key_S), [this] { save(); });
    addEntry(file, "saveAs", "Save &As…", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S),
             [this] { saveAs(); });
    addEntry(file, "saveToKrelEdit", "Save to &KrelEdit.bds", {},
             [this] { editor_->Command4_Click(); });
    file->addSeparator();
    addEntry(file, "restoreUnsaved", "&Restore Unsaved Changes",
             QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R), [this] { restoreUnsaved(); })
        ->setEnabled(false);
    file->addSeparator();
    addEntry(file, "backups", "&Backups…", {}, [this] { showBackups(); });
    file->addSeparator();
    QAction* quit = file->addAction("&Quit");
    quit->setObjectName("quit");
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    // The explorer goes too: Quit ends the program, not one of its windows.
    connect(quit, &QAction::triggered, this, [this] {
        if (close()) {
            QApplication::closeAllWindows();
        }
    });
}

void MainWindow::createEditMenu() {
    QMenu* edit = menuBar()->addMenu("&Edit");
    QUndoStack* stack = document()->undoStack();
    QAction* undo = stack->createUndoAction(this, "Undo");
    undo->setObjectName("undo");
    undo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    QAction* redo = stack->createRedoAction(this, "Redo");
    redo->setObjectName("redo");
    redo->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    edit->addAction(undo);
    edit->addAction(redo);
    edit->addSeparator();
    // Inside a list's text field these keys keep their text meaning: the field takes them
    // before the window's shortcuts see them.
    addEntry(edit, "copyBoard", "&Copy Board", QKeySequence(Qt::CTRL | Qt::Key_C), [this] {
        QGuiApplication::clipboard()->setText(
            QString::fromUtf8(BoardEdits::copyBoard(*document(), editor_->CurrentBoard)));
    });
    addEntry(edit, "pasteBoard", "&Paste Board", QKeySequence(Qt::CTRL | Qt::Key_V),
             [this] { pasteBoard(false); });
    addEntry(edit, "pasteAsNewBoard", "Paste as &New Board",
             QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_V), [this] { pasteBoard(true); });
}

void MainWindow::createBoardMenu() {
    QMenu* board = menuBar()->addMenu("&Board");
    boardMenu_ = board;
    Form1* f = editor_.get();
    BoardSetDocument* d = document();
    addEntry(board, "nextBoard", "&Next Board", QKeySequence(Qt::Key_PageDown),
             [f] { f->Command2_Click(); });
    addEntry(board, "previousBoard", "&Previous Board", QKeySequence(Qt::Key_PageUp),
             [f] { f->Command1_Click(); });
    board->addSeparator();
    // Each entry edits the board shown.
    const auto onShown = [f, d](void (*edit)(BoardSetDocument&, int)) {
        return [f, d, edit] { edit(*d, f->CurrentBoard); };
    };
    addEntry(board, "newBoard", "Ne&w Board", QKeySequence(Qt::CTRL | Qt::Key_M),
             onShown(BoardEdits::newBoard));
    addEntry(board, "duplicateBoard", "&Duplicate Board", QKeySequence(Qt::CTRL | Qt::Key_D),
             onShown(BoardEdits::duplicateBoard));
    addEntry(board, "deleteBoard", "De&lete Board", QKeySequence(Qt::CTRL | Qt::Key_Delete),
             onShown(BoardEdits::deleteBoard));
    addEntry(board, "moveBoardEarlier", "Move Board &Earlier",
             QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_PageUp),
             onShown(BoardEdits::moveBoardEarlier));
    addEntry(board, "moveBoardLater", "Move Board &Later",
             QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_PageDown),
             onShown(BoardEdits::moveBoardLater));
    board->addSeparator();
    addEntry(board, "clearBoard", "&Clear Board", {}, [f] { f->Command3_Click(); });
    board->addSeparator();
    addEntry(board, "renameSet", "Rename &Set…", {}, [f] { f->Label1_Click(); });
    addEntry(board, "renameAuthor", "Rename &Author…", {}, [f] { f->Label2_Click(); });
}

void MainWindow::createViewMenu() {
    // The view entries click the editor's own controls, so that both always agree.
    QMenu* view = menuBar()->addMenu("&View");
    viewMenu_ = view;
    auto* modes = new QActionGroup(this);
    const std::array<std::pair<const char*, const char*>, 3> names = {
        {{"modeTextured", "&Textured"},
         {"modeHalfBright", "&Half-bright"},
         {"modeBlack", "&Black"}}};
    for (int i = 0; i < 3; ++i) {
        QAction* action = view->addAction(names[static_cast<std::size_t>(i)].second);
        action->setObjectName(names[static_cast<std::size_t>(i)].first);
        action->setCheckable(true);
        action->setActionGroup(modes);
        QRadioButton* button = editor_->Option1->Button(i);
        action->setChecked(button->isChecked());
        connect(action, &QAction::triggered, this, [button] {
            if (!button->isChecked()) {
                button->click();
            }
        });
        connect(button, &QRadioButton::toggled, action, &QAction::setChecked);
    }
    view->addSeparator();
    QAction* showHidden = view->addAction("Show &Hidden Bricks");
    showHidden->setObjectName("showHidden");
    showHidden->setCheckable(true);
    CheckBox* check = editor_->Check1;
    showHidden->setChecked(check->isChecked());
    connect(showHidden, &QAction::triggered, this, [check](bool checked) {
        if (check->isChecked() != checked) {
            check->click();
        }
    });
    connect(check, &QCheckBox::toggled, showHidden, &QAction::setChecked);
    createZoomEntries(view);
}

void MainWindow::createToolsMenu() {
    QMenu* tools = menuBar()->addMenu("&Tools");
    // Plain letters: inside a list's text field they are typed, not taken.
    auto* toolGroup = new QActionGroup(this);
    const std::array<std::tuple<BoardTools::Tool, Qt::Key, const char*>, 4> toolKeys = {
        {{BoardTools::Tool::Press, Qt::Key_P, "toolPress"},
         {BoardTools::Tool::Brush, Qt::Key_B, "toolBrush"},
         {BoardTools::Tool::Rectangle, Qt::Key_R, "toolRectangle"},
         {BoardTools::Tool::Fill, Qt::Key_F, "toolFill"}}};
    std::array<QAction*, 4> toolActions{};
    for (std::size_t i = 0; i < toolKeys.size(); ++i) {
        const auto [tool, key, id] = toolKeys[i];
        QAction* action = addEntry(tools, id, BoardTools::name(tool), QKeySequence(key),
                                   [this, tool] { tools_->setTool(tool); });
        action->setCheckable(true);
        action->setActionGroup(toolGroup);
        toolActions[i] = action;
    }
    toolActions[0]->setChecked(true);
    connect(tools_.get(), &BoardTools::toolChanged, this,
            [this, toolActions](BoardTools::Tool tool) {
                toolActions[static_cast<std::size_t>(tool)]->setChecked(true);
                toolStatus->setText("Tool: " + BoardTools::name(tool));
            });
    QAction* mirror = tools->addAction("&Mirror Painting");
    mirror->setObjectName("mirror");
    mirror->setShortcut(QKeySequence(Qt::Key_M));
    mirror->setCheckable(true);
    connect(mirror, &QAction::toggled, this, [this](bool on) {
        tools_->mirror = on;
        mirrorStatus->setVisible(on);
    });
    addEntry(tools, "flipLeftRight", "Flip &Left-Right", QKeySequence(Qt::Key_X),
             [this] { BoardEdits::flipLeftRight(*document(), editor_->CurrentBoard); });
    addEntry(tools, "flipTopBottom", "Flip &Top-Bottom", QKeySequence(Qt::Key_Y),
             [this] { BoardEdits::flipTopBottom(*document(), editor_->CurrentBoard); });
    tools->addSeparator();
    addEntry(tools, "imageExplorer", "&Image Explorer", {}, [this] { editor_->Picture4_Click(); });
}

}  // namespace krellon
