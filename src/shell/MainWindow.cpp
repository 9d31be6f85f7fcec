#include "MainWindow.h"

#include <QActionGroup>
#include <QClipboard>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QStatusBar>
#include <QUndoStack>

#include "BackupsDialog.h"
#include "BoardStrip.h"
#include "BoardTools.h"
#include "ExplorerLink.h"
#include "app/Version.h"
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
    setCentralWidget(editor_.get());
    LinkExplorer(editor_.get());
    setWindowTitle(editor_->windowTitle());
    CreateMenus();
    CreateStatusBar();
    // The board strip stands beside the client area, which keeps its size and its controls.
    strip_ = std::make_unique<BoardStrip>(editor_.get(), boardMenu_, this);
    addDockWidget(Qt::RightDockWidgetArea, strip_.get());
    BoardsAction = strip_->toggleViewAction();
    BoardsAction->setText("&Boards");
    viewMenu_->addSeparator();
    viewMenu_->addAction(BoardsAction);
    // The client area has the editor's fixed size; the window fits around it.
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    // The board and the palette take the keyboard focus, so that the editor's keys reach it;
    // the board has it at start.
    for (PictureBox* picture : {editor_->Picture1, editor_->Picture2}) {
        picture->setFocusPolicy(Qt::ClickFocus);
        picture->setMouseTracking(true);
        picture->installEventFilter(this);
    }
    editor_->Picture1->setFocus();

    // Every set shown tells the journal which set is open; the first was read already.
    connect(editor_.get(), &Form1::SetShown, this, [this] {
        session_->journal()->Opened(std::filesystem::current_path(), editor_->BoardSetFile);
    });
    session_->journal()->Opened(std::filesystem::current_path(), editor_->BoardSetFile);
}

MainWindow::~MainWindow() = default;

QAction* MainWindow::AddEntry(QMenu* menu, const QString& text, const QKeySequence& key,
                              std::function<void()> handler) {
    QAction* action = menu->addAction(text);
    if (!key.isEmpty()) {
        action->setShortcut(key);
    }
    connect(action, &QAction::triggered, this,
            [this, handler = std::move(handler)] { RunHandler(editor_.get(), handler); });
    return action;
}

void MainWindow::CreateMenus() {
    Form1& f = *editor_;
    QMenu* file = menuBar()->addMenu("&File");
    OpenBoardSetAction = AddEntry(file, "&Open Board Set…", QKeySequence(Qt::CTRL | Qt::Key_O),
                                  [this] { OpenBoardSet(); });
    OpenFolderAction =
        AddEntry(file, "Open &Folder…", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O),
                 [this] { OpenFolder(); });
    file->addSeparator();
    SaveAction = AddEntry(file, "&Save to KrelEdit.bds", QKeySequence(Qt::CTRL | Qt::Key_S),
                          [&f] { f.Command4_Click(); });
    SaveAsAction = AddEntry(file, "Save &As…", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S),
                            [this] { SaveAs(); });
    file->addSeparator();
    RestoreUnsavedAction =
        AddEntry(file, "&Restore Unsaved Changes", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R),
                 [this] { session_->journal()->RestoreUnsavedWork(); });
    RestoreUnsavedAction->setEnabled(false);
    file->addSeparator();
    BackupsAction = AddEntry(file, "&Backups…", {}, [this] { ShowBackups(); });
    file->addSeparator();
    QuitAction = file->addAction("&Quit");
    QuitAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(QuitAction, &QAction::triggered, this, &QWidget::close);

    QMenu* edit = menuBar()->addMenu("&Edit");
    QUndoStack* stack = f.Document->undoStack();
    UndoAction = stack->createUndoAction(this, "Undo");
    UndoAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    RedoAction = stack->createRedoAction(this, "Redo");
    RedoAction->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    edit->addAction(UndoAction);
    edit->addAction(RedoAction);
    edit->addSeparator();
    // Inside a list's text field these keys keep their text meaning: the field takes them
    // before the window's shortcuts see them.
    CopyBoardAction = AddEntry(edit, "&Copy Board", QKeySequence(Qt::CTRL | Qt::Key_C), [&f] {
        QGuiApplication::clipboard()->setText(
            QString::fromUtf8(BoardToJson(f.Document->board(f.CurrentBoard))));
    });
    PasteBoardAction = AddEntry(edit, "&Paste Board", QKeySequence(Qt::CTRL | Qt::Key_V),
                                [this] { PasteBoard(false); });
    PasteAsNewBoardAction =
        AddEntry(edit, "Paste as &New Board", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_V),
                 [this] { PasteBoard(true); });

    QMenu* board = menuBar()->addMenu("&Board");
    boardMenu_ = board;
    NextBoardAction = AddEntry(board, "&Next Board", QKeySequence(Qt::Key_PageDown),
                               [&f] { f.Command2_Click(); });
    PreviousBoardAction = AddEntry(board, "&Previous Board", QKeySequence(Qt::Key_PageUp),
                                   [&f] { f.Command1_Click(); });
    board->addSeparator();
    NewBoardAction = AddEntry(board, "Ne&w Board", QKeySequence(Qt::CTRL | Qt::Key_M), [&f] {
        Board empty;
        empty.background = f.Document->board(f.CurrentBoard).background;
        f.Document->insertBoard(f.CurrentBoard + 1, empty, "New Board");
    });
    DuplicateBoardAction =
        AddEntry(board, "&Duplicate Board", QKeySequence(Qt::CTRL | Qt::Key_D), [&f] {
            f.Document->insertBoard(f.CurrentBoard + 1, f.Document->board(f.CurrentBoard),
                                    "Duplicate Board");
        });
    DeleteBoardAction = AddEntry(board, "De&lete Board", QKeySequence(Qt::CTRL | Qt::Key_Delete),
                                 [&f] { f.Document->removeBoard(f.CurrentBoard); });
    MoveEarlierAction = AddEntry(
        board, "Move Board &Earlier", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_PageUp),
        [&f] { f.Document->moveBoard(f.CurrentBoard, f.CurrentBoard - 1, "Move Board Earlier"); });
    MoveLaterAction = AddEntry(
        board, "Move Board &Later", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_PageDown),
        [&f] { f.Document->moveBoard(f.CurrentBoard, f.CurrentBoard + 1, "Move Board Later"); });
    board->addSeparator();
    ClearBoardAction = AddEntry(board, "&Clear Board", {}, [&f] { f.Command3_Click(); });
    board->addSeparator();
    RenameSetAction = AddEntry(board, "Rename &Set…", {}, [&f] { f.Label1_Click(); });
    RenameAuthorAction = AddEntry(board, "Rename &Author…", {}, [&f] { f.Label2_Click(); });

    // The view entries click the editor's own controls, so that both always agree.
    QMenu* view = menuBar()->addMenu("&View");
    viewMenu_ = view;
    auto* modes = new QActionGroup(this);
    const char* names[3] = {"&Textured", "&Half-bright", "&Black"};
    for (int i = 0; i < 3; ++i) {
        QAction* action = view->addAction(names[i]);
        action->setCheckable(true);
        action->setActionGroup(modes);
        ModeActions[i] = action;
        QRadioButton* button = f.Option1->Button(i);
        action->setChecked(button->isChecked());
        connect(action, &QAction::triggered, this, [button] {
            if (!button->isChecked()) {
                button->click();
            }
        });
        connect(button, &QRadioButton::toggled, action, &QAction::setChecked);
    }
    view->addSeparator();
    ShowHiddenAction = view->addAction("Show &Hidden Bricks");
    ShowHiddenAction->setCheckable(true);
    ShowHiddenAction->setChecked(f.Check1->isChecked());
    connect(ShowHiddenAction, &QAction::triggered, this, [&f](bool checked) {
        if (f.Check1->isChecked() != checked) {
            f.Check1->click();
        }
    });
    connect(f.Check1, &QCheckBox::toggled, ShowHiddenAction, &QAction::setChecked);

    QMenu* tools = menuBar()->addMenu("&Tools");
    // Plain letters: inside a list's text field they are typed, not taken.
    auto* toolGroup = new QActionGroup(this);
    const std::pair<BoardTools::Tool, Qt::Key> toolKeys[4] = {
        {BoardTools::Tool::Press, Qt::Key_P},
        {BoardTools::Tool::Brush, Qt::Key_B},
        {BoardTools::Tool::Rectangle, Qt::Key_R},
        {BoardTools::Tool::Fill, Qt::Key_F}};
    for (int i = 0; i < 4; ++i) {
        const BoardTools::Tool tool = toolKeys[i].first;
        QAction* action = AddEntry(tools, BoardTools::Name(tool), QKeySequence(toolKeys[i].second),
                                   [this, tool] { tools_->SetTool(tool); });
        action->setCheckable(true);
        action->setActionGroup(toolGroup);
        ToolActions[i] = action;
    }
    ToolActions[0]->setChecked(true);
    connect(tools_.get(), &BoardTools::toolChanged, this, [this](BoardTools::Tool tool) {
        ToolActions[static_cast<int>(tool)]->setChecked(true);
        ToolStatus->setText("Tool: " + BoardTools::Name(tool));
    });
    MirrorAction = tools->addAction("&Mirror Painting");
    MirrorAction->setShortcut(QKeySequence(Qt::Key_M));
    MirrorAction->setCheckable(true);
    connect(MirrorAction, &QAction::toggled, this, [this](bool on) { tools_->Mirror = on; });
    FlipLeftRightAction = AddEntry(tools, "Flip &Left-Right", QKeySequence(Qt::Key_X),
                                   [this] { tools_->FlipLeftRight(); });
    FlipTopBottomAction = AddEntry(tools, "Flip &Top-Bottom", QKeySequence(Qt::Key_Y),
                                   [this] { tools_->FlipTopBottom(); });
    tools->addSeparator();
    ExplorerAction = AddEntry(tools, "&Image Explorer", {}, [&f] { f.Picture4_Click(); });

    QMenu* help = menuBar()->addMenu("&Help");
    AboutAction = AddEntry(help, "&About", {}, [this] { ShowAbout(); });
}

void MainWindow::CreateStatusBar() {
    statusBar()->setSizeGripEnabled(false);
    FileStatus = new QLabel(this);
    ModifiedStatus = new QLabel(this);
    PointerStatus = new QLabel(this);
    ToolStatus = new QLabel("Tool: Press", this);
    UnsavedStatus = new QLabel(this);
    RestoreButton = new QPushButton("Restore", this);
    RestoreButton->setAutoDefault(false);
    RestoreButton->setFocusPolicy(Qt::NoFocus);
    statusBar()->addWidget(UnsavedStatus);
    statusBar()->addWidget(RestoreButton);
    UnsavedStatus->hide();
    RestoreButton->hide();
    connect(RestoreButton, &QPushButton::clicked, RestoreUnsavedAction, &QAction::trigger);
    // Unsaved work found for the open set, with its button, while there is any.
    connect(session_->journal(), &EditJournalKeeper::offerChanged, this, [this] {
        const QString text = session_->journal()->OfferText();
        UnsavedStatus->setText(text);
        UnsavedStatus->setVisible(!text.isEmpty());
        RestoreButton->setVisible(!text.isEmpty());
        RestoreUnsavedAction->setEnabled(!text.isEmpty());
    });
    // Whether unsaved work is protected stands in the bar for as long as it is true.
    ProtectionStatus = new QLabel(this);
    ProtectionStatus->hide();
    statusBar()->addPermanentWidget(ProtectionStatus);
    connect(session_->journal(), &EditJournalKeeper::protectionChanged, this,
            [this](bool isProtected, const QString& text) {
                ProtectionStatus->setText(isProtected ? QString() : text);
                ProtectionStatus->setVisible(!isProtected);
                if (isProtected && !text.isEmpty()) {
                    statusBar()->showMessage(text, 10000);
                }
            });
    connect(session_->journal(), &EditJournalKeeper::notice, this,
            [this](const QString& text) { statusBar()->showMessage(text); });
    statusBar()->addPermanentWidget(PointerStatus);
    statusBar()->addPermanentWidget(ToolStatus);
    statusBar()->addPermanentWidget(FileStatus);
    statusBar()->addPermanentWidget(ModifiedStatus);
    connect(&Notices(), &StatusNotices::message, this,
            [this](const QString& text) { statusBar()->showMessage(text); });
    QUndoStack* stack = editor_->Document->undoStack();
    connect(stack, &QUndoStack::cleanChanged, this, &MainWindow::UpdateStatus);
    connect(editor_->Document, &BoardSetDocument::changed, this, &MainWindow::UpdateStatus);
    connect(editor_.get(), &Form1::SetShown, this, &MainWindow::UpdateStatus);
    UpdateStatus();
}

void MainWindow::UpdateStatus() {
    const QString& file = editor_->BoardSetFile;
    FileStatus->setText(file.isEmpty() ? QString("new set") : ShownFileName(file));
    ModifiedStatus->setText(editor_->Document->isModified() ? QString("modified") : QString());
    // A set holds 1 to 100 boards.
    const int count = editor_->Document->boardCount();
    NewBoardAction->setEnabled(count < kMaxBoards);
    DuplicateBoardAction->setEnabled(count < kMaxBoards);
    PasteAsNewBoardAction->setEnabled(count < kMaxBoards);
    DeleteBoardAction->setEnabled(count > 1);
}

void MainWindow::PasteBoard(bool asNew) {
    Form1& f = *editor_;
    QString why;
    const auto board = BoardFromJson(QGuiApplication::clipboard()->text().toUtf8(), &why);
    if (!board) {
        statusBar()->showMessage("Nothing pasted: " + why);
        return;
    }
    // The outcome replaces whatever the bar said last, a refused paste among it.
    if (asNew) {
        f.Document->insertBoard(f.CurrentBoard + 1, *board, "Paste as New Board");
        statusBar()->showMessage(QString("Pasted as new board %1").arg(f.CurrentBoard));
    } else {
        f.Document->replaceBoard(f.CurrentBoard, *board, "Paste Board");
        statusBar()->showMessage(QString("Pasted over board %1").arg(f.CurrentBoard));
    }
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    // What lies under the pointer on the board or the palette, as the tooltips tell it.
    if (event->type() == QEvent::MouseMove) {
        const QPoint p = static_cast<QMouseEvent*>(event)->position().toPoint();
        if (watched == editor_->Picture1) {
            PointerStatus->setText(editor_->BoardToolTip(p.x(), p.y()));
        } else if (watched == editor_->Picture2) {
            PointerStatus->setText(editor_->PaletteToolTip(p.x(), p.y()));
        }
    } else if (event->type() == QEvent::Leave) {
        PointerStatus->clear();
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::ShowAbout() {
    MsgBox(this,
           QString("Krellon Boards Editor %1\n\nEdits the board sets (.bds) of the Krellon "
                   "brick-breaking game and moves its palette images (.img) in and out.")
               .arg(KRELLON_VERSION),
           kCaption);
}

bool MainWindow::SwitchFolder(const QString& folder, const QString& set) {
    if (!QDir::setCurrent(folder)) {
        MsgBox(this, "Could not work in " + folder + ".", kCaption);
        return false;
    }
    editor_->Rescan(set);
    return true;
}

void MainWindow::OpenFolder() {
    const QString folder =
        FileDialog(this, FileDialogKind::Folder, "Open Folder", QDir::currentPath());
    if (!folder.isEmpty()) {
        SwitchFolder(folder);
    }
}

void MainWindow::OpenBoardSet() {
    const QString path = FileDialog(this, FileDialogKind::Open, "Open Board Set",
                                    QDir::currentPath(), "Board sets (*.bds *.BDS)");
    if (path.isEmpty()) {
        return;
    }
    const QFileInfo file(path);
    SwitchFolder(file.absolutePath(),
                 NameFromBytes(QFile::encodeName(file.fileName()).toStdString()));
}

void MainWindow::SaveAs() {
    QString path = FileDialog(this, FileDialogKind::Save, "Save As", QDir::currentPath(),
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
    editor_->SaveAs(file.fileName());
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
    f.ImageFileChanged(fileName);
    const QString open = f.Combo3->Text();
    f.Combo3->SetItems(Dir("*.bds"));
    f.Combo3->SetText(open);
}

}  // namespace krellon
