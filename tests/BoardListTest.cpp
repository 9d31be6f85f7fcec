// Boards as a list: new, duplicate, delete, move, and boards through the clipboard, each one
// undoable step that leaves the set as if it had been read so.
#include <QApplication>
#include <QClipboard>
#include <QStatusBar>
#include <QUndoStack>

#include "EditorFixture.h"
#include "document/BoardSetDocument.h"
#include "document/BoardSetJson.h"
#include "platform/Controls.h"
#include "platform/Label.h"
#include "platform/PictureBox.h"
#include "shell/MainWindow.h"

using namespace krellon;

namespace {

// Board b of the test set: background b - 1 (of two), brick b at column b, row b.
Board Numbered(int b) {
    Board board;
    board.background = (b - 1) % 2;
    board.cell(b % 20, b % 20) = b % 4 + 1;
    return board;
}

BoardSetContent NumberedSet(int count) {
    BoardSetContent set = TestSet(count);
    for (int b = 1; b <= count; ++b) {
        set.boards[static_cast<std::size_t>(b - 1)] = Numbered(b);
    }
    return set;
}

}  // namespace

class BoardListTest : public EditorTest {
protected:
    void SetUp() override {
        WriteImages("bricks.img", TestBricks(4));
        WriteImages("backs.img", {TestBackground("a", 64, 64), TestBackground("b", 64, 64, 5)});
        WriteBoardSet("set.bds", NumberedSet(3));
        window = std::make_unique<MainWindow>();
    }
    void TearDown() override { window.reset(); }
    Form1& Editor() { return *window->Editor(); }

    // The set, its captions and its board picture are what reading expected would show on
    // board `shown`.
    void ExpectShown(const BoardSetContent& expected, int shown) {
        Form1& f = Editor();
        ASSERT_TRUE(f.CurrentBoardSet() == expected);
        EXPECT_EQ(f.BoardCount(), static_cast<int>(expected.boards.size()));
        EXPECT_EQ(f.CurrentBoard, shown);
        EXPECT_EQ(f.Label5->Caption(), "Board " + QString::number(shown));
        const QImage board = f.Picture1->image().copy();
        const QString next = f.Command2->Caption();
        const QString previous = f.Command1->Caption();
        f.SetNavigationCaptions();
        EXPECT_EQ(next, f.Command2->Caption());
        EXPECT_EQ(previous, f.Command1->Caption());
        f.PaintBoard();
        EXPECT_TRUE(board == f.Picture1->image());
    }

    std::unique_ptr<MainWindow> window;
};

TEST_F(BoardListTest, EachBoardOperationLeavesTheSetAsIfReadSoAndUndoesExactly) {
    Form1& f = Editor();
    f.Command2_Click();  // board 2
    BoardSetContent expected = NumberedSet(3);
    QImage before = f.Picture1->image().copy();

    window->Action("newBoard")->trigger();
    Board empty;
    empty.background = Numbered(2).background;
    expected.boards.insert(expected.boards.begin() + 2, empty);
    ExpectShown(expected, 3);
    EXPECT_EQ(window->Action("undo")->text(), "Undo New Board");
    f.Document->undoStack()->undo();
    ExpectShown(NumberedSet(3), 2);
    EXPECT_TRUE(f.Picture1->image() == before);

    window->Action("duplicateBoard")->trigger();
    expected = NumberedSet(3);
    expected.boards.insert(expected.boards.begin() + 2, Numbered(2));
    ExpectShown(expected, 3);

    window->Action("moveBoardEarlier")->trigger();  // the copy to place 2, showing it
    ExpectShown(expected, 2);                       // the two are equal: the order reads the same
    window->Action("moveBoardLater")->trigger();
    window->Action("moveBoardLater")->trigger();  // board 3 (the copy) to place 4
    std::swap(expected.boards[2], expected.boards[3]);
    ExpectShown(expected, 4);

    window->Action("deleteBoard")->trigger();  // the last: the one before it shows
    expected.boards.pop_back();
    ExpectShown(expected, 3);
    f.Command1_Click();
    f.Command1_Click();                        // board 1
    window->Action("deleteBoard")->trigger();  // its place is taken by the next
    expected.boards.erase(expected.boards.begin());
    ExpectShown(expected, 1);

    // Saving writes the new number of boards in that order.
    f.Command4_Click();
    const auto saved = folder.read("KrelEdit.bds");
    EXPECT_EQ(saved, EncodeBoardSet(expected));
    EXPECT_EQ(Bytes().i32(2).data,
              std::vector<std::uint8_t>(saved.begin() + 8, saved.begin() + 12));

    // Every step undoes back to the set as it was read.
    while (f.Document->undoStack()->canUndo()) {
        f.Document->undoStack()->undo();
    }
    EXPECT_TRUE(f.CurrentBoardSet() == NumberedSet(3));
}

TEST_F(BoardListTest, ASetKeepsOneToAHundredBoards) {
    Form1& f = Editor();
    window->Action("deleteBoard")->trigger();
    window->Action("deleteBoard")->trigger();
    EXPECT_EQ(f.BoardCount(), 1);
    EXPECT_FALSE(window->Action("deleteBoard")->isEnabled());
    window->Action("deleteBoard")->trigger();
    f.Document->removeBoard(1);
    EXPECT_EQ(f.BoardCount(), 1);

    WriteBoardSet("full.bds", NumberedSet(100));
    window = std::make_unique<MainWindow>(nullptr, "full.bds");
    Form1& g = Editor();
    EXPECT_EQ(g.BoardCount(), 100);
    EXPECT_FALSE(window->Action("newBoard")->isEnabled());
    EXPECT_FALSE(window->Action("duplicateBoard")->isEnabled());
    EXPECT_FALSE(window->Action("pasteAsNewBoard")->isEnabled());
    g.Document->insertBoard(2, Board{}, "New Board");
    EXPECT_EQ(g.BoardCount(), 100);
    EXPECT_EQ(g.Document->undoStack()->count(), 0);
}

TEST_F(BoardListTest, BoardsGoThroughTheClipboardAsJsonAndBadTextChangesNothing) {
    Form1& f = Editor();
    f.Command2_Click();
    window->Action("copyBoard")->trigger();
    const QString text = QApplication::clipboard()->text();
    EXPECT_TRUE(text.startsWith("{\"background\": 1, \"rows\": ["));
    const auto parsed = BoardFromJson(text.toUtf8());
    ASSERT_TRUE(parsed.ok());
    EXPECT_TRUE(parsed.value() == Numbered(2));

    f.Command2_Click();  // board 3
    window->Action("pasteBoard")->trigger();
    EXPECT_TRUE(f.Document->board(3) == Numbered(2));
    EXPECT_EQ(window->Action("undo")->text(), "Undo Paste Board");
    window->Action("pasteAsNewBoard")->trigger();
    EXPECT_EQ(f.BoardCount(), 4);
    EXPECT_EQ(f.CurrentBoard, 4);
    EXPECT_TRUE(f.Document->board(4) == Numbered(2));

    const BoardSetContent before = f.CurrentBoardSet();
    const int steps = f.Document->undoStack()->count();
    for (const QString& bad :
         {QString("hello"), QString("{\"background\": 1.5, \"rows\": []}"),
          QString("{\"background\": 0, \"rows\": [[1]]}"),
          QString("{\"background\": 4294967296, \"rows\": []}"), QString(100000, '['),
          QString("{\"background\": 0, \"rows\": " + QString("[") + "]}")}) {
        QApplication::clipboard()->setText(bad);
        window->Action("pasteBoard")->trigger();
        window->Action("pasteAsNewBoard")->trigger();
        EXPECT_TRUE(window->statusBar()->currentMessage().startsWith("Nothing pasted: "))
            << bad.left(40).toStdString();
    }
    EXPECT_TRUE(f.CurrentBoardSet() == before);
    EXPECT_EQ(f.Document->undoStack()->count(), steps);
    QApplication::clipboard()->setText(QString::fromUtf8(BoardToJson(Numbered(1))));
    window->Action("pasteBoard")->trigger();
    EXPECT_EQ(window->statusBar()->currentMessage(), "Pasted over board 4");
    // A code no brick set holds is still a code a board set file stores.
    Board odd = Numbered(1);
    odd.cell(0, 0) = -7;
    odd.cell(19, 19) = 2147483647;
    EXPECT_TRUE(BoardFromJson(BoardToJson(odd)).value() == odd);
}
