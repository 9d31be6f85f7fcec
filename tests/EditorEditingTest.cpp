// Editing: stepping through the boards, renaming, clearing, saving, and the mouse on the board
// and the palette.
#include <QMouseEvent>
#include <QUndoStack>
#include <QtTest/QTest>

#include "EditorFixture.h"
#include "document/BoardSetDocument.h"
#include "platform/ComboBox.h"
#include "platform/Controls.h"
#include "platform/Dialogs.h"
#include "platform/Label.h"
#include "platform/PictureBox.h"

using namespace krellon;

namespace {

// A press at a position with a fraction, as the toolkit can deliver it.
void Press(QWidget* widget, Qt::MouseButton button, QPointF at) {
    QMouseEvent press(QEvent::MouseButtonPress, at, widget->mapToGlobal(at), button, button,
                      Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
}

}  // namespace

class EditingTest : public EditorTest {
protected:
    Form1& OpenSet(const BoardSetContent& set) {
        std::vector<ImageSpec> images = TestBricks(20);
        images[3].name = "Hidden";  // code 4
        WriteImages("bricks.img", images);
        WriteImages("backs.img", {TestBackground("a", 64, 64), TestBackground("b", 128, 128, 3)});
        WriteBoardSet("set.bds", set);
        return Open();
    }

    // True when cell (c, r) shows brick k's palette slot.
    ::testing::AssertionResult CellShowsBrick(int c, int r, int k) {
        if (form->Picture1->image().copy(CellArea(c, r)) ==
            form->Picture2->image().copy(Form1::SlotLeft(k), Form1::SlotTop(k), 30, 15)) {
            return ::testing::AssertionSuccess();
        }
        return ::testing::AssertionFailure()
               << "cell " << c << ", " << r << " does not show brick " << k;
    }
};

TEST_F(EditingTest, CaptionsFollowTheRingOfBoards) {
    for (const int boards : {1, 3, 100}) {
        SCOPED_TRACE(boards);
        BoardSetContent set = TestSet(boards);
        set.boards.back().background = 1;
        set.boards.back().cell(0, 0) = 5;
        Form1& f = OpenSet(set);
        for (int round = 0; round < 2; ++round) {
            for (int b = 1; b <= boards; ++b) {
                EXPECT_EQ(f.CurrentBoard, b);
                EXPECT_EQ(f.Label5->Caption(), "Board " + QString::number(b));
                EXPECT_EQ(f.Command2->Caption(), QString("Board %1 >").arg(b % boards + 1));
                EXPECT_EQ(f.Command1->Caption(),
                          QString("< Board %1").arg((b + boards - 2) % boards + 1));
                QTest::mouseClick(f.Command2, Qt::LeftButton);
            }
        }
        QTest::mouseClick(f.Command1, Qt::LeftButton);  // back to the last board
        EXPECT_EQ(f.CurrentBoard, boards);
        EXPECT_TRUE(CellShowsBrick(0, 0, 5));
        EXPECT_EQ(f.Picture3->image().width(), 128);
        EXPECT_EQ(f.BoardCount(), boards);
    }
}

TEST_F(EditingTest, RenamingTakesTheAnswerAsTypedAndKeepsTheNameOnCancel) {
    Form1& f = OpenSet(TestSet());
    QStringList asked;
    QString answer;
    SetInputHandlerForTesting(
        [&](const QString& prompt, const QString& title, const QString& preset) {
            asked << prompt + "|" + title + "|" + preset;
            return answer;
        });
    answer = "New Name";
    QTest::mouseClick(f.Label1, Qt::LeftButton);
    EXPECT_EQ(f.BoardSetName(), "New Name");
    EXPECT_EQ(f.Label1->Caption(), "New Name");
    answer = "";  // cancelled or emptied
    QTest::mouseClick(f.Label1, Qt::LeftButton);
    EXPECT_EQ(f.BoardSetName(), "New Name");
    EXPECT_EQ(f.Label1->Caption(), "New Name");
    answer = "   ";
    QTest::mouseClick(f.Label2, Qt::LeftButton);
    EXPECT_EQ(f.AuthorName(), "   ");
    answer = QString::fromUtf8("Zoë ☃ €");
    QTest::mouseClick(f.Label2, Qt::LeftButton);
    EXPECT_EQ(f.AuthorName(), QString::fromUtf8("Zoë ? €"));
    EXPECT_EQ(f.CurrentBoardSet().authorName, "Zo\xEB ? \x80");
    EXPECT_EQ(asked, QStringList({"Enter new board set name:|Krellon Boards Editor|Test Set",
                                  "Enter new board set name:|Krellon Boards Editor|New Name",
                                  "Enter new author name:|Krellon Boards Editor|Tester",
                                  "Enter new author name:|Krellon Boards Editor|   "}));
}

TEST_F(EditingTest, SaveWritesTheExactBytesAndReadsThemBack) {
    BoardSetContent set = TestSet(5);
    set.boards[4].cell(1, 2) = 9;
    Form1& f = OpenSet(set);
    const auto original = folder.read("set.bds");
    for (int i = 0; i < 4; ++i) {
        f.Command2->click();
    }
    ASSERT_EQ(f.CurrentBoard, 5);
    Press(f.Picture1, Qt::LeftButton, {35, 20});  // cell (1, 1) of board 5 gets brick 1
    QTest::mouseClick(f.Command4, Qt::LeftButton);

    Bytes expected;
    expected.raw("BDST").i32(2).i32(5).text("X:\\Krellon\\Boards\\bricks.img");
    expected.text("X:\\Krellon\\Boards\\backs.img").text("Test Set").text("Tester").text("");
    for (int b = 1; b <= 5; ++b) {
        expected.i32(0);
        for (int c = 0; c < 20; ++c) {
            for (int r = 0; r < 20; ++r) {
                expected.i32(b == 5 && c == 1 && r == 2 ? 9 : b == 5 && c == 1 && r == 1 ? 1 : 0);
            }
        }
    }
    EXPECT_EQ(folder.read("KrelEdit.bds"), expected.data);
    EXPECT_EQ(folder.read("set.bds"), original);
    EXPECT_EQ(f.BoardSetFile, "KrelEdit.bds");
    EXPECT_EQ(f.Combo3->Text(), "KrelEdit.bds");
    EXPECT_EQ(Entries(f.Combo3), QStringList({"KrelEdit.bds", "set.bds"}));
    EXPECT_EQ(f.CurrentBoard, 1);
    EXPECT_EQ(f.Label5->Caption(), "Board 1");
    EXPECT_EQ(f.BrickGrid(5, 1, 1), 1);

    QTest::mouseClick(f.Command4, Qt::LeftButton);  // twice gives the same bytes
    EXPECT_EQ(folder.read("KrelEdit.bds"), expected.data);
    EXPECT_EQ(Entries(f.Combo3), QStringList({"KrelEdit.bds", "set.bds"}));
}

TEST_F(EditingTest, ASaveOntoAFolderChangesNothingAndSaysWhy) {
    // A failing disk at every byte is FailingDiskTest's; here a folder where the file goes.
    Form1& f = OpenSet(TestSet(3));
    std::filesystem::create_directory(folder / "KrelEdit.bds");
    f.Command2->click();
    f.Combo2->SetListIndex(2);
    f.Picture1_MouseDown(1, 5, 5);  // brick 3 at (0, 0) of board 2
    CatchMessages();
    f.Command4->click();
    EXPECT_EQ(messages, QStringList({"Krellon Boards Editor|Could not save KrelEdit.bds: a folder "
                                     "of that name is in the way"}));
    EXPECT_TRUE(std::filesystem::is_directory(folder / "KrelEdit.bds"));
    EXPECT_EQ(f.BoardSetFile, "set.bds");
    EXPECT_EQ(f.CurrentBoard, 2);
    EXPECT_EQ(f.BrickGrid(2, 0, 0), 3);
    EXPECT_EQ(Entries(f.Combo3), QStringList({"set.bds"}));  // listed at start, not the folder
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 4);
}

TEST_F(EditingTest, PressesOnTheBoardAndThePaletteRoundTiesToEvenAndFindTheirCellOrSlot) {
    Form1& f = OpenSet(TestSet());
    Pick(f.Combo2, 4);                              // brick 5
    Press(f.Picture1, Qt::LeftButton, {29.5f, 0});  // rounds to 30: column 1
    EXPECT_EQ(f.BrickGrid(1, 1, 0), 5);
    Press(f.Picture1, Qt::LeftButton, {28.5f, 14.5f});  // 28 and 14: column 0, row 0
    EXPECT_EQ(f.BrickGrid(1, 0, 0), 5);
    Press(f.Picture1, Qt::LeftButton, {0, 15});
    EXPECT_EQ(f.BrickGrid(1, 0, 1), 5);
    Press(f.Picture1, Qt::LeftButton, {599, 299});
    EXPECT_EQ(f.BrickGrid(1, 19, 19), 5);
    EXPECT_TRUE(CellShowsBrick(19, 19, 5));
    // Positions on the last pixel that round outside the grid change nothing.
    const BoardSetContent before = f.Document->content();
    const QImage board = f.Picture1->image().copy();
    Press(f.Picture1, Qt::LeftButton, {599.5f, 10});
    Press(f.Picture1, Qt::LeftButton, {10, 299.5f});
    EXPECT_TRUE(f.Document->content() == before);
    EXPECT_EQ(f.Picture1->image(), board);

    // On the palette, any button selects the brick of the slot.
    Press(f.Picture2, Qt::RightButton, {105, 20});  // slot 3 of row 1: brick 20
    EXPECT_EQ(f.SelectedBrick, 20);
    EXPECT_EQ(f.Combo2->ListIndex(), 19);
    EXPECT_EQ(f.Picture4->image().pixel(0, 0),
              f.Picture2->image().pixel(Form1::SlotLeft(20), Form1::SlotTop(20)));
    Press(f.Picture2, Qt::LeftButton, {34, 19});  // the gap right of and below brick 1
    EXPECT_EQ(f.SelectedBrick, 1);
    const QImage preview = f.Picture4->image().copy();
    Press(f.Picture2, Qt::LeftButton, {140, 20});    // code 21: past the last brick
    Press(f.Picture2, Qt::LeftButton, {560, 5});     // the extra pixel column
    Press(f.Picture2, Qt::LeftButton, {559.5f, 5});  // rounds to 560
    EXPECT_EQ(f.SelectedBrick, 1);
    EXPECT_EQ(f.Combo2->ListIndex(), 0);
    EXPECT_EQ(f.Picture4->image(), preview);
    Press(f.Picture2, Qt::LeftButton, {559.4f, 5});  // brick 16
    EXPECT_EQ(f.SelectedBrick, 16);
}

TEST_F(EditingTest,
       LeftPlacesRightRemovesOthersDoNothingHiddenBricksNoBrickEmptiesAndClearShowsTheBackground) {
    BoardSetContent set = TestSet();
    set.boards[0].cell(2, 2) = 7;
    set.boards[0].cell(3, 3) = 50;  // missing brick
    Form1& f = OpenSet(set);
    Pick(f.Combo2, 4);
    Press(f.Picture1, Qt::LeftButton, {65, 35});  // replaces 7
    EXPECT_EQ(f.BrickGrid(1, 2, 2), 5);
    EXPECT_TRUE(CellShowsBrick(2, 2, 5));
    Press(f.Picture1, Qt::RightButton, {95, 50});  // removes the mark
    EXPECT_EQ(f.BrickGrid(1, 3, 3), 0);
    EXPECT_TRUE(ShowsBackground(f, CellArea(3, 3)));
    Press(f.Picture1, Qt::RightButton, {5, 5});  // an empty cell stays empty
    EXPECT_TRUE(ShowsBackground(f, CellArea(0, 0)));
    Press(f.Picture1, Qt::MiddleButton, {65, 35});
    EXPECT_EQ(f.BrickGrid(1, 2, 2), 5);

    // A hidden brick is stored, drawn as background while hidden bricks are not shown.
    f.Check1->click();
    Pick(f.Combo2, 3);  // brick 4, "Hidden"
    Press(f.Picture1, Qt::LeftButton, {45, 20});
    EXPECT_EQ(f.BrickGrid(1, 1, 1), 4);
    EXPECT_TRUE(ShowsBackground(f, CellArea(1, 1)));
    f.Check1->click();
    EXPECT_TRUE(CellShowsBrick(1, 1, 4));

    // With no brick selected the list shows none, and a press empties the cell, also once a
    // brick set is picked again.
    WriteImages("none.img", {});
    f.Combo5->AddItem("none.img");
    for (const char* bricks : {"none.img", "bricks.img"}) {
        Pick(f.Combo5, f.Combo5->findText(bricks));
        EXPECT_EQ(f.SelectedBrick, 0);
        EXPECT_EQ(f.Combo2->ListIndex(), -1);
        EXPECT_EQ(f.Combo2->Text(), "");
        Press(f.Picture1, Qt::LeftButton, {65, 35});
        EXPECT_EQ(f.BrickGrid(1, 2, 2), 0);
        EXPECT_TRUE(ShowsBackground(f, CellArea(2, 2)));
        f.Document->undoStack()->undo();
    }

    // Clear Board (the set's side is BoardEditsTest's): the board shows its background alone.
    QTest::mouseClick(f.Command3, Qt::LeftButton);
    EXPECT_TRUE(ShowsBackground(f));
}
