// The painting tools on the real board picture: the cells each changes, with and without
// Mirror Painting, one step per stroke, and the pixels a fresh paint would give.
#include <QApplication>
#include <QFocusEvent>
#include <QLabel>
#include <QTest>
#include <QUndoStack>

#include "EditorFixture.h"
#include "document/BoardSetDocument.h"
#include "platform/ComboBox.h"
#include "platform/PictureBox.h"
#include "shell/BoardTools.h"
#include "shell/MainWindow.h"

using namespace krellon;

class BoardToolsTest : public EditorTest {
protected:
    void SetUp() override {
        WriteImages("bricks.img", TestBricks(4));
        WriteImages("backs.img", {TestBackground("a", 64, 64)});
        BoardSetContent set = TestSet(1);
        set.boards[0].cell(10, 10) = 2;
        WriteBoardSet("set.bds", set);
        window = std::make_unique<MainWindow>();
        window->show();
        Pick(window->editor()->Combo2, 2);  // brick 3
    }

    BoardTools& Tools() { return *window->tools(); }
    QUndoStack& Stack() { return *Editor().Document->undoStack(); }
    static QPoint Centre(int c, int r) { return QPoint(30 * c + 15, 15 * r + 7); }
    // Every cell whose code is not the one the set was read with.
    std::set<std::pair<int, int>> Changed() {
        std::set<std::pair<int, int>> cells;
        for (int c = 0; c < kBoardColumns; ++c) {
            for (int r = 0; r < kBoardRows; ++r) {
                const std::int32_t read = c == 10 && r == 10 ? 2 : 0;
                if (Editor().Document->board(1).cell(c, r) != read) {
                    cells.insert({c, r});
                }
            }
        }
        return cells;
    }
    // The board shows what a fresh paint shows.
    bool PaintedRight() {
        const QImage shown = Editor().Picture1->image().copy();
        Editor().PaintBoard();
        return shown == Editor().Picture1->image();
    }
};

TEST_F(BoardToolsTest, AFastBrushStrokeLeavesNoGapsAndIsOneStep) {
    window->action("toolBrush")->trigger();
    EXPECT_EQ(window->toolStatus->text(), "Tool: Brush");
    const QImage before = Editor().Picture1->image().copy();
    // Through the real events: a press, two far-apart moves with the button held, a release.
    QWidget* board = Editor().Picture1;
    QTest::mousePress(board, Qt::LeftButton, {}, Centre(0, 0));
    QTest::mouseMove(board, Centre(19, 0));
    QTest::mouseMove(board, Centre(19, 19));
    QTest::mouseRelease(board, Qt::LeftButton, {}, Centre(19, 19));
    std::set<std::pair<int, int>> expected;
    for (int i = 0; i < 20; ++i) {
        expected.insert({i, 0});
        expected.insert({19, i});
    }
    EXPECT_EQ(Changed(), expected);
    EXPECT_EQ(Editor().Document->board(1).cell(7, 0), 3);
    EXPECT_EQ(Stack().count(), 1);
    EXPECT_EQ(Stack().undoText(), "Brush Stroke");
    EXPECT_TRUE(PaintedRight());
    Stack().undo();
    EXPECT_TRUE(Changed().empty());
    EXPECT_TRUE(Editor().Picture1->image() == before);
}

TEST_F(BoardToolsTest, MirrorPaintingChangesTheMirrorCellsToo) {
    Tools().setTool(BoardTools::Tool::Brush);
    window->action("mirror")->trigger();
    Tools().press(1, Centre(0, 2));
    Tools().move(Centre(3, 2));
    Tools().release(Centre(3, 2));
    std::set<std::pair<int, int>> expected;
    for (int c : {0, 1, 2, 3, 16, 17, 18, 19}) {
        expected.insert({c, 2});
    }
    EXPECT_EQ(Changed(), expected);
    // A right stroke empties, mirrored as well.
    Tools().press(2, Centre(1, 2));
    Tools().release(Centre(1, 2));
    expected.erase({1, 2});
    expected.erase({18, 2});
    EXPECT_EQ(Changed(), expected);
    EXPECT_TRUE(PaintedRight());
}

TEST_F(BoardToolsTest, ARectangleFillsOnReleaseAndEscapeCancelsIt) {
    Tools().setTool(BoardTools::Tool::Rectangle);
    const QImage before = Editor().Picture1->image().copy();
    Tools().press(1, Centre(2, 2));
    Tools().move(Centre(5, 4));
    EXPECT_TRUE(Changed().empty());  // only outlined while dragging
    EXPECT_FALSE(Editor().Picture1->image() == before);
    Tools().cancel();
    Tools().release(Centre(5, 4));
    EXPECT_TRUE(Changed().empty());
    EXPECT_TRUE(Editor().Picture1->image() == before);
    EXPECT_EQ(Stack().count(), 0);

    Tools().press(1, Centre(5, 4));
    Tools().move(Centre(40, 2));  // past the board's edge: its last column
    Tools().move(Centre(2, 2));
    Tools().release(Centre(2, 2));
    std::set<std::pair<int, int>> expected;
    for (int c = 2; c <= 5; ++c) {
        for (int r = 2; r <= 4; ++r) {
            expected.insert({c, r});
        }
    }
    EXPECT_EQ(Changed(), expected);
    EXPECT_EQ(Stack().undoText(), "Rectangle");
    EXPECT_TRUE(PaintedRight());
}

TEST_F(BoardToolsTest, FillTakesLikeCellsFlipsMoveThemAndThePressStaysTheOriginalOne) {
    Tools().setTool(BoardTools::Tool::Fill);
    Tools().press(1, Centre(0, 0));  // every empty cell: all but (10, 10)
    EXPECT_EQ(Changed().size(), 399u);
    Tools().press(2, Centre(10, 10));  // the lone brick 2 emptied
    EXPECT_EQ(Stack().count(), 2);
    EXPECT_TRUE(PaintedRight());
    Stack().undo();
    Stack().undo();
    EXPECT_TRUE(Changed().empty());
    // The flips, whose cells BoardEditsTest pins: the undo text and the pixels.
    window->action("flipLeftRight")->trigger();
    window->action("flipTopBottom")->trigger();
    EXPECT_EQ(Editor().Document->board(1).cell(9, 9), 2);
    EXPECT_EQ(Stack().undoText(), "Flip Top-Bottom");
    EXPECT_TRUE(PaintedRight());
    // Press, the default: one cell a press; moving with the button held does nothing.
    window->action("toolPress")->trigger();
    QTest::mousePress(Editor().Picture1, Qt::LeftButton, {}, Centre(0, 0));
    QTest::mouseMove(Editor().Picture1, Centre(5, 0));
    QTest::mouseRelease(Editor().Picture1, Qt::LeftButton, {}, Centre(5, 0));
    EXPECT_EQ(Editor().Document->board(1).cell(0, 0), 3);
    EXPECT_EQ(Editor().Document->board(1).cell(1, 0), 0);
}

TEST_F(BoardToolsTest, AStrokeCutShortByLostFocusAStepOrAnUndoEndsWhereItStands) {
    Tools().setTool(BoardTools::Tool::Brush);
    Tools().press(1, Centre(0, 5));
    Tools().move(Centre(4, 5));
    // A dialog takes the focus mid-stroke: the stroke ends as it stands.
    QFocusEvent out(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
    QApplication::sendEvent(Editor().Picture1, &out);
    Tools().move(Centre(9, 5));  // the button is no longer down as far as the tools know
    EXPECT_EQ(Changed().size(), 5u);
    EXPECT_EQ(Stack().count(), 1);
    EXPECT_TRUE(Stack().canUndo());
    Stack().undo();
    EXPECT_TRUE(Changed().empty());
    // A rectangle cut short the same way is dropped, its outline with it.
    Tools().setTool(BoardTools::Tool::Rectangle);
    const QImage before = Editor().Picture1->image().copy();
    Tools().press(1, Centre(1, 1));
    Tools().move(Centre(3, 3));
    QApplication::sendEvent(Editor().Picture1, &out);
    Tools().release(Centre(3, 3));
    EXPECT_TRUE(Changed().empty());
    EXPECT_TRUE(Editor().Picture1->image() == before);

    // A step mid-drag comes after the stroke so far.
    Tools().setTool(BoardTools::Tool::Brush);
    Tools().press(1, Centre(0, 5));
    Tools().move(Centre(4, 5));
    window->action("newBoard")->trigger();  // Ctrl+M mid-drag: a step of its own
    EXPECT_EQ(Stack().count(), 2);
    EXPECT_EQ(Stack().undoText(), "New Board");
    Stack().undo();
    EXPECT_EQ(Changed().size(), 5u);
    EXPECT_EQ(Stack().undoText(), "Brush Stroke");
    Stack().undo();
    EXPECT_TRUE(Changed().empty());
    // Ctrl+Z mid-drag undoes the stroke so far, and the drag paints no more.
    Tools().press(1, Centre(0, 7));
    Tools().move(Centre(3, 7));
    window->action("undo")->trigger();
    Tools().move(Centre(9, 7));
    Tools().release(Centre(9, 7));
    EXPECT_TRUE(Changed().empty());
    EXPECT_FALSE(Stack().canUndo());
}
