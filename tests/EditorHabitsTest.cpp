// The habits of a desktop editor in the main window: Save in place, a new set, the keyboard
// painting, zoom, picking a brick from the board, lists and the strip giving the keyboard back.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QScrollArea>
#include <QStatusBar>
#include <QTest>
#include <QUndoStack>

#include "EditorFixture.h"
#include "document/BoardSetDocument.h"
#include "platform/ComboBox.h"
#include "platform/PictureBox.h"
#include "shell/BoardKeyboard.h"
#include "shell/BoardStrip.h"
#include "shell/BoardTools.h"
#include "shell/KeysDialog.h"
#include "shell/MainWindow.h"
#include "storage/BackupStore.h"
#include "storage/FileWrites.h"

using namespace krellon;

class EditorHabitsTest : public EditorTest {
protected:
    void SetUp() override {
        WriteImages("bricks.img", TestBricks(20));
        WriteImages("backs.img", {TestBackground("stone", 64, 64)});
        BoardSetContent set = TestSet(3);
        set.boards[0].cell(2, 2) = 5;
        WriteBoardSet("set.bds", set);
        CatchMessages();
        window = std::make_unique<MainWindow>();
        window->show();
        QApplication::setActiveWindow(window.get());
        QApplication::processEvents();
    }

    void key(int keyCode, Qt::KeyboardModifiers modifiers = {}) {
        QWidget* target = QApplication::focusWidget();
        QTest::keyClick(target ? target : window.get(), static_cast<Qt::Key>(keyCode), modifiers);
    }
    // The centre of cell (c, r) on the board view at the zoom shown.
    QPoint CellCentre(int c, int r) {
        const int k = Editor().Zoom;
        return QPoint(c * 30 + 15, r * 15 + 7) * k;
    }
};

TEST_F(EditorHabitsTest, SaveWritesTheOpenFileInPlaceAndANewSetAsksForAName) {
    Form1& f = Editor();
    f.ShowBoard(2);
    QTest::mouseClick(f.Picture1, Qt::LeftButton, {}, CellCentre(4, 4));
    const int steps = f.Document->undoStack()->count();
    const auto before = folder.read("set.bds");
    window->action("save")->trigger();
    EXPECT_EQ(folder.read("set.bds"), EncodeBoardSet(f.CurrentBoardSet()));
    EXPECT_FALSE(std::filesystem::exists(folder / "KrelEdit.bds"));
    EXPECT_EQ(f.BoardSetFile, "set.bds");
    EXPECT_EQ(f.CurrentBoard, 2);
    EXPECT_EQ(f.Document->undoStack()->count(), steps);
    EXPECT_FALSE(f.Document->isModified());
    EXPECT_EQ(window->statusBar()->currentMessage(), "Saved set.bds");
    const auto kept = Backups().list();
    ASSERT_FALSE(kept.empty());
    EXPECT_EQ(BackupStore::read(kept.front()).value(), before);

    // A file that cannot be written: the reason shown, the set still modified, nothing changed.
    QTest::mouseClick(f.Picture1, Qt::LeftButton, {}, CellCentre(5, 4));
    const auto saved = folder.read("set.bds");
    std::filesystem::remove(folder / "set.bds");
    std::filesystem::create_directory(folder / "set.bds");
    window->action("save")->trigger();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains("Could not save set.bds: ")) << messages[0].toStdString();
    EXPECT_TRUE(f.Document->isModified());
    std::filesystem::remove(folder / "set.bds");
    messages.clear();

    // A new set: one empty board, no file, a history of its own; Save asks for a name.
    const auto& lists = f.Combo5;
    window->action("newBoardSet")->trigger();
    EXPECT_TRUE(f.BoardSetFile.isEmpty());
    EXPECT_EQ(f.BoardCount(), 1);
    EXPECT_EQ(f.BrickSetFile(), lists->List(0));
    EXPECT_TRUE(f.BoardSetName().isEmpty());
    EXPECT_EQ(f.Document->undoStack()->count(), 0);
    EXPECT_EQ(window->fileStatus->text(), "new set");
    AnswerDialogs(folder / "fresh.bds");
    window->action("save")->trigger();
    EXPECT_EQ(f.BoardSetFile, "fresh.bds");
    EXPECT_EQ(folder.read("fresh.bds"), EncodeBoardSet(f.CurrentBoardSet()));
    EXPECT_TRUE(messages.isEmpty()) << messages.join("\n").toStdString();
}

TEST_F(EditorHabitsTest, TheKeyboardPaintsWithEveryToolAndTheMirror) {
    Form1& f = Editor();
    f.Picture1->setFocus();
    // The cursor starts at the cell last pressed and shows once a key moves it.
    QTest::mouseClick(f.Picture1, Qt::RightButton, {}, CellCentre(6, 3));
    BoardKeyboard* keys = window->keyboard();
    EXPECT_FALSE(keys->cursorShown());
    const QImage picture = f.Picture1->image();
    key(Qt::Key_Right);
    EXPECT_TRUE(keys->cursorShown());
    EXPECT_EQ(keys->cell(), QPoint(7, 3));
    EXPECT_EQ(f.Picture1->image(), picture);  // drawn over the view, never into the picture
    EXPECT_NE(f.Picture1->grab().toImage().pixel(7 * 30, 3 * 15 + 7),
              picture.pixel(7 * 30, 3 * 15 + 7));
    f.SelectBrick(3);
    key(Qt::Key_Space);
    EXPECT_EQ(f.BrickGrid(1, 7, 3), 3);
    EXPECT_EQ(window->action("undo")->text(), "Undo Place Brick");
    key(Qt::Key_Delete);
    EXPECT_EQ(f.BrickGrid(1, 7, 3), 0);
    // Mirror Painting applies to the keys and to the mouse's Press alike, and shows.
    window->action("mirror")->trigger();
    EXPECT_TRUE(window->mirrorStatus->isVisibleTo(window.get()));
    key(Qt::Key_Space);
    EXPECT_EQ(f.BrickGrid(1, 7, 3), 3);
    EXPECT_EQ(f.BrickGrid(1, 12, 3), 3);
    QTest::mouseClick(f.Picture1, Qt::LeftButton, {}, CellCentre(0, 19));
    EXPECT_EQ(f.BrickGrid(1, 19, 19), 3);
    EXPECT_EQ(f.BrickGrid(1, 0, 19), 3);
    window->action("mirror")->trigger();
    EXPECT_FALSE(window->mirrorStatus->isVisibleTo(window.get()));
    // Shift with the arrows spans a rectangle that Space fills, as one step, whatever the tool.
    QTest::mouseClick(f.Picture1, Qt::RightButton, {}, CellCentre(7, 2));
    window->tools()->setTool(BoardTools::Tool::Brush);
    const int steps = f.Document->undoStack()->count();
    key(Qt::Key_Down, Qt::ShiftModifier);
    key(Qt::Key_Down, Qt::ShiftModifier);
    key(Qt::Key_Left, Qt::ShiftModifier);
    EXPECT_EQ(keys->cells(), QRect(QPoint(6, 2), QPoint(7, 4)));
    key(Qt::Key_Space);
    EXPECT_EQ(f.Document->undoStack()->count(), steps + 1);
    for (int c = 6; c <= 7; ++c) {
        for (int r = 2; r <= 4; ++r) {
            EXPECT_EQ(f.BrickGrid(1, c, r), 3) << c << "," << r;
        }
    }
    key(Qt::Key_Backspace);
    EXPECT_EQ(f.BrickGrid(1, 6, 4), 0);
    // Fill from the cursor's cell: the empty region around it.
    key(Qt::Key_Escape);
    window->tools()->setTool(BoardTools::Tool::Fill);
    f.SelectBrick(4);
    key(Qt::Key_Space);
    EXPECT_EQ(f.BrickGrid(1, 0, 0), 4);
    EXPECT_EQ(f.BrickGrid(1, 2, 2), 5);  // another brick bounds it
    // A press hides the cursor.
    QTest::mouseClick(f.Picture1, Qt::RightButton, {}, CellCentre(1, 1));
    EXPECT_FALSE(keys->cursorShown());

    // Tab reaches the palette, where the arrows choose the brick.
    f.Picture2->setFocus();
    key(Qt::Key_Right);
    EXPECT_EQ(f.SelectedBrick, 5);
    key(Qt::Key_Down);
    EXPECT_EQ(f.SelectedBrick, 5);  // no brick 21
    key(Qt::Key_Left);
    key(Qt::Key_Down);
    EXPECT_EQ(f.SelectedBrick, 20);
    EXPECT_EQ(f.Combo2->ListIndex(), 19);
    EXPECT_EQ(f.Picture1->focusPolicy() & Qt::TabFocus, Qt::TabFocus);
    EXPECT_EQ(f.Picture2->focusPolicy() & Qt::TabFocus, Qt::TabFocus);
}

TEST_F(EditorHabitsTest, ZoomMapsEveryPressAndLeavesTheClientAreaAsItWasAt1x) {
    Form1& f = Editor();
    const QImage client = f.grab().toImage();
    const QRect palette = f.Picture2->geometry();
    EXPECT_FALSE(window->action("zoomOut")->isEnabled());
    for (const int k : {2, 4}) {
        window->setZoom(k);
        EXPECT_EQ(f.Picture1->size(), QSize(600 * k, 300 * k));
        EXPECT_EQ(f.Picture2->geometry(), palette.translated(0, 300 * (k - 1)));
        EXPECT_FALSE(f.Picture1->geometry().intersects(f.Combo4->geometry()));
        // Every board pixel a k x k block.
        const QImage view = f.Picture1->grab().toImage();
        for (const QPoint p : {QPoint(65, 35), QPoint(599, 299), QPoint(0, 0)}) {
            for (const QPoint d : {QPoint(0, 0), QPoint(k - 1, k - 1)}) {
                EXPECT_EQ(view.pixel(p * k + d), f.Picture1->image().pixel(p));
            }
        }
        // The corner cells, and the tooltip's cell, under the pointer at any zoom.
        for (const QPoint cell : {QPoint(0, 0), QPoint(19, 0), QPoint(0, 19), QPoint(19, 19)}) {
            // The outermost board pixel's block, at its far corner.
            const QPoint corner =
                QPoint(cell.x() * 30 + cell.x() / 19 * 29, cell.y() * 15 + cell.y() / 19 * 14) * k +
                QPoint(k - 1, k - 1);
            QTest::mouseClick(f.Picture1, Qt::LeftButton, {}, corner);
            EXPECT_EQ(f.BrickGrid(1, cell.x(), cell.y()), 1) << k << " " << cell.x();
            // Sent straight to the board: much of a zoomed board lies outside the small window.
            QMouseEvent move(QEvent::MouseMove, corner, f.Picture1->mapToGlobal(corner),
                             Qt::NoButton, Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(f.Picture1, &move);
            EXPECT_TRUE(window->pointerStatus->text().startsWith(
                QString("Column %1, row %2:").arg(cell.x() + 1).arg(cell.y() + 1)))
                << window->pointerStatus->text().toStdString() << " at " << k;
        }
        f.Document->undoStack()->setIndex(0);
    }
    EXPECT_FALSE(window->action("zoomIn")->isEnabled());
    window->action("zoomIn")->trigger();  // at the limit: nothing
    EXPECT_EQ(f.Zoom, 4);
    // The grid shows over the view only.
    const QImage picture = f.Picture1->image();
    window->action("grid")->trigger();
    EXPECT_EQ(f.Picture1->image(), picture);
    window->action("grid")->trigger();
    window->resize(100, 100);
    QApplication::processEvents();
    window->action("actualSize")->trigger();
    EXPECT_EQ(f.Zoom, 1);
    EXPECT_EQ(f.grab().toImage(), client);
}

TEST_F(EditorHabitsTest, AMiddleOrAltPressPicksTheCellsBrickAndPlacesNothing) {
    Form1& f = Editor();
    const auto set = f.CurrentBoardSet();
    QTest::mouseClick(f.Picture1, Qt::MiddleButton, {}, CellCentre(2, 2));
    EXPECT_EQ(f.SelectedBrick, 5);
    EXPECT_EQ(f.Combo2->ListIndex(), 4);
    EXPECT_EQ(window->statusBar()->currentMessage(), "Picked brick 5, brick 5");
    f.SelectBrick(1);
    window->tools()->setTool(BoardTools::Tool::Brush);
    QTest::mouseClick(f.Picture1, Qt::LeftButton, Qt::AltModifier, CellCentre(2, 2));
    EXPECT_EQ(f.SelectedBrick, 5);
    QTest::mouseClick(f.Picture1, Qt::MiddleButton, {}, CellCentre(9, 9));
    EXPECT_EQ(f.SelectedBrick, 5);  // an empty cell picks nothing
    EXPECT_TRUE(f.CurrentBoardSet() == set);
}

TEST_F(EditorHabitsTest, ListPicksGiveTheKeyboardBackAndTheStripShowsItsCurrentBoard) {
    Form1& f = Editor();
    // A pick with the mouse from the open list: the keys go to the board again.
    f.Combo2->showPopup();
    QAbstractItemView* view = f.Combo2->view();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                      view->visualRect(view->model()->index(2, 0)).center());
    EXPECT_EQ(f.SelectedBrick, 3);
    EXPECT_TRUE(f.Picture1->hasFocus());
    key(Qt::Key_Y);  // a shortcut, not a letter typed into the list
    EXPECT_EQ(f.Combo2->lineEdit()->text(), "brick 3");
    // Clicked into, the text field takes the letters.
    f.Combo2->lineEdit()->setFocus();
    key(Qt::Key_Y);
    EXPECT_EQ(f.Combo2->lineEdit()->text(), "brick 3y");

    // The strip's current row is the board shown, both ways.
    QListWidget* strip = window->strip()->list;
    strip->setFocus();
    key(Qt::Key_Down);
    EXPECT_EQ(f.CurrentBoard, 2);
    key(Qt::Key_End);
    EXPECT_EQ(f.CurrentBoard, 3);
    key(Qt::Key_Home);
    EXPECT_EQ(f.CurrentBoard, 1);
    window->action("nextBoard")->trigger();
    EXPECT_EQ(strip->currentRow(), 1);
}

TEST_F(EditorHabitsTest, KeysAndMouseTellsEveryShortcutOfTheMenus) {
    QStringList table;
    for (const KeysDialog::Entry& entry : KeysDialog::table()) {
        table << entry.keys;
    }
    ASSERT_FALSE(table.isEmpty());
    const QString all = table.join(", ");
    for (QAction* action : window->findChildren<QAction*>()) {
        for (const QKeySequence& sequence : action->shortcuts()) {
            const QString text = sequence.toString(QKeySequence::PortableText)
                                     .replace("PgUp", "Page Up")
                                     .replace("PgDown", "Page Down")
                                     .replace("Del", "Delete")
                                     .replace("Deleteete", "Delete");
            EXPECT_TRUE(all.contains(text))
                << action->objectName().toStdString() << " " << text.toStdString();
        }
    }
}

TEST_F(EditorHabitsTest, ANewSetDuringAStrokeAndKeysInAnEmptyFolderLoseNothing) {
    Form1& f = Editor();
    window->tools()->setTool(BoardTools::Tool::Brush);
    QTest::mousePress(f.Picture1, Qt::LeftButton, {}, CellCentre(1, 1));
    QTest::mouseMove(f.Picture1, CellCentre(4, 1));
    const BoardSetContent painted = f.CurrentBoardSet();
    window->action("newBoardSet")->trigger();
    QTest::mouseMove(f.Picture1, CellCentre(8, 1));
    QTest::mouseRelease(f.Picture1, Qt::LeftButton, {}, CellCentre(8, 1));
    EXPECT_EQ(f.BrickGrid(1, 8, 1), 0);  // the stroke ended with the set it was on
    EXPECT_EQ(f.Document->undoStack()->count(), 0);
    EXPECT_EQ(painted.boards[0].cell(4, 1), 1);

    // A folder with no files at all: a new set of no bricks; the keys change what they can.
    for (const char* name : {"set.bds", "bricks.img", "backs.img"}) {
        std::filesystem::remove(folder / name);
    }
    window->switchFolder(QString::fromStdWString(folder.path().wstring()));
    f.Picture1->setFocus();
    for (const int k : {Qt::Key_Right, Qt::Key_Space, Qt::Key_Delete, Qt::Key_Tab, Qt::Key_Left}) {
        key(k);
    }
    window->setZoom(4);
    EXPECT_EQ(f.BrickCount(), 0);
    EXPECT_EQ(f.BoardCount(), 1);
}

TEST_F(EditorHabitsTest, ImageFilesChangedOnDiskAreReadAgainAndTheSetIsUntouched) {
    Form1& f = Editor();
    const BoardSetContent set = f.CurrentBoardSet();
    ASSERT_EQ(f.BrickCount(), 20);
    // Replaced under its name by another program, as `krellon` and the explorer replace files.
    WriteImages("new.img", TestBricks(4));
    std::filesystem::rename(folder / "new.img", folder / "bricks.img");
    for (int i = 0; i < 300 && f.BrickCount() != 4; ++i) {
        QTest::qWait(10);
    }
    EXPECT_EQ(f.BrickCount(), 4);
    EXPECT_EQ(f.Combo2->ListCount(), 4);
    // Brick 5 has no image now: the missing-brick mark, not its old picture.
    EXPECT_NE(f.Picture1->image().copy(CellArea(2, 2)),
              f.Picture2->image().copy(Form1::SlotLeft(5), Form1::SlotTop(5), 30, 15));
    // Written over in place, the background file is read again too.
    WriteImages("backs.img", {TestBackground("stone", 64, 64), TestBackground("moss", 64, 64)});
    for (int i = 0; i < 300 && f.BackgroundCount() != 2; ++i) {
        QTest::qWait(10);
    }
    EXPECT_EQ(f.BackgroundCount(), 2);
    EXPECT_TRUE(f.CurrentBoardSet() == set);
    EXPECT_EQ(f.Document->undoStack()->count(), 0);
}
