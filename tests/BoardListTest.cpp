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

    // The set, its captions and its board picture are what reading expected would show on
    // board `shown`.
    void ExpectShown(const BoardSetContent& expected, int shown) {
        Form1& f = Editor();
        ASSERT_TRUE(f.CurrentBoardSet() == expected);
        const int n = static_cast<int>(expected.boards.size());
        EXPECT_EQ(f.CurrentBoard, shown);
        EXPECT_EQ(f.Label5->Caption(), "Board " + QString::number(shown));
        EXPECT_EQ(f.Command2->Caption(), QString("Board %1 >").arg(shown % n + 1));
        EXPECT_EQ(f.Command1->Caption(), QString("< Board %1").arg((shown + n - 2) % n + 1));
        const QImage board = f.Picture1->image().copy();
        f.PaintBoard();
        EXPECT_TRUE(board == f.Picture1->image());
    }
};

TEST_F(BoardListTest, EachBoardOperationLeavesTheSetAsIfReadSoAndUndoesExactly) {
    Form1& f = Editor();
    f.Command2_Click();  // board 2
    BoardSetContent expected = NumberedSet(3);
    QImage before = f.Picture1->image().copy();

    window->action("newBoard")->trigger();
    Board empty;
    empty.background = Numbered(2).background;
    expected.boards.insert(expected.boards.begin() + 2, empty);
    ExpectShown(expected, 3);
    EXPECT_EQ(window->action("undo")->text(), "Undo New Board");
    f.Document->undoStack()->undo();
    ExpectShown(NumberedSet(3), 2);
    EXPECT_TRUE(f.Picture1->image() == before);

    window->action("duplicateBoard")->trigger();
    expected = NumberedSet(3);
    expected.boards.insert(expected.boards.begin() + 2, Numbered(2));
    ExpectShown(expected, 3);

    window->action("moveBoardEarlier")->trigger();  // the copy to place 2, showing it
    ExpectShown(expected, 2);                       // the two are equal: the order reads the same
    window->action("moveBoardLater")->trigger();
    window->action("moveBoardLater")->trigger();  // board 3 (the copy) to place 4
    std::swap(expected.boards[2], expected.boards[3]);
    ExpectShown(expected, 4);

    window->action("deleteBoard")->trigger();  // the last: the one before it shows
    expected.boards.pop_back();
    ExpectShown(expected, 3);
    f.Command1_Click();
    f.Command1_Click();                        // board 1
    window->action("deleteBoard")->trigger();  // its place is taken by the next
    expected.boards.erase(expected.boards.begin());
    ExpectShown(expected, 1);

    // Saving writes the new number of boards in that order.
    f.Command4_Click();
    EXPECT_EQ(folder.read("KrelEdit.bds"), EncodeBoardSet(expected));

    // Every step undoes back to the set as it was read.
    while (f.Document->undoStack()->canUndo()) {
        f.Document->undoStack()->undo();
    }
    EXPECT_TRUE(f.CurrentBoardSet() == NumberedSet(3));
}

TEST_F(BoardListTest, ASetKeepsOneToAHundredBoards) {
    Form1& f = Editor();
    window->action("deleteBoard")->trigger();
    window->action("deleteBoard")->trigger();
    EXPECT_EQ(f.BoardCount(), 1);
    EXPECT_FALSE(window->action("deleteBoard")->isEnabled());

    WriteBoardSet("full.bds", NumberedSet(100));
    window = std::make_unique<MainWindow>(nullptr, "full.bds");
    Form1& g = Editor();
    EXPECT_EQ(g.BoardCount(), 100);
    EXPECT_FALSE(window->action("newBoard")->isEnabled());
    EXPECT_FALSE(window->action("duplicateBoard")->isEnabled());
    EXPECT_FALSE(window->action("pasteAsNewBoard")->isEnabled());
}

TEST_F(BoardListTest, TheClipboardEntriesEditTheBoardShownAndSayWhatTheyDid) {
    Form1& f = Editor();
    f.Command2_Click();
    window->action("copyBoard")->trigger();
    EXPECT_TRUE(BoardFromJson(QApplication::clipboard()->text().toUtf8()).value() == Numbered(2));
    f.Command2_Click();  // board 3
    window->action("pasteBoard")->trigger();
    EXPECT_EQ(window->statusBar()->currentMessage(), "Pasted over board 3");
    window->action("pasteAsNewBoard")->trigger();
    EXPECT_EQ(window->statusBar()->currentMessage(), "Pasted as new board 4");
    BoardSetContent expected = NumberedSet(3);
    expected.boards[2] = Numbered(2);
    expected.boards.push_back(Numbered(2));
    ExpectShown(expected, 4);
    QApplication::clipboard()->setText("hello");
    window->action("pasteBoard")->trigger();
    EXPECT_EQ(window->statusBar()->currentMessage(),
              "Nothing pasted: the clipboard holds no board");
    EXPECT_TRUE(f.CurrentBoardSet() == expected);
}
