// The board strip: thumbnails of the boards as the editor shows them, kept up to date by
// drawing only what changed; clicks, drags and the right-click menu.
#include <QDockWidget>
#include <QTest>
#include <QUndoStack>

#include "EditorFixture.h"
#include "document/BoardSetDocument.h"
#include "platform/ComboBox.h"
#include "platform/Controls.h"
#include "platform/PictureBox.h"
#include "render/BoardRenderer.h"
#include "shell/BoardStrip.h"
#include "shell/MainWindow.h"

using namespace krellon;

namespace {

class BoardStripTest : public EditorTest {
protected:
    void SetUp() override {
        auto bricks = TestBricks(4);
        bricks[3].name = "Hidden";
        WriteImages("bricks.img", bricks);
        WriteImages("backs.img", {TestBackground("a", 64, 64), TestBackground("b", 128, 128, 5)});
        BoardSetContent set = TestSet(5);
        for (int b = 0; b < 5; ++b) {
            Board& board = set.boards[static_cast<std::size_t>(b)];
            board.background = b % 3;  // 2 is past the set: the placeholder
            for (int c = 0; c < 20; ++c) {
                board.cell(c, b * 3) = (c + b) % 6;  // 4 is hidden, 5 is missing
            }
        }
        WriteBoardSet("set.bds", set);
        window = std::make_unique<MainWindow>();
        strip = window->strip();
        strip->refresh();
    }

    // Every thumbnail is the editor's picture of its board at a fifth of its size: the
    // current board as it is on screen, then each other one as showing it paints it.
    void ExpectThumbnailsAsShown() {
        Form1& f = Editor();
        const int current = f.CurrentBoard;
        QApplication::processEvents();
        std::vector<QImage> thumbnails;
        for (int b = 1; b <= f.BoardCount(); ++b) {
            thumbnails.push_back(strip->thumbnailOf(b));
        }
        for (int i = 0; i < f.BoardCount(); ++i) {
            const int b = (current - 1 + i) % f.BoardCount() + 1;
            f.ShowBoard(b);
            ASSERT_TRUE(thumbnails[static_cast<std::size_t>(b - 1)] ==
                        render::Thumbnail(f.Picture1->image()))
                << "board " << b;
        }
        f.ShowBoard(current);
    }
    BoardStrip* strip = nullptr;
};

}  // namespace

TEST_F(BoardStripTest, ThumbnailsAreTheBoardsAsShownAlsoWithStaleNamesInEveryLook) {
    EXPECT_EQ(strip->list->count(), 5);
    EXPECT_EQ(strip->list->item(2)->text(), "3");
    // A larger set names code 9 "Hidden"; the name stays when the set of four is picked.
    Form1& f = Editor();
    auto many = TestBricks(12);
    many[8].name = "Hidden";
    WriteImages("many.img", many);
    f.Combo5->AddItem("many.img");
    Pick(f.Combo5, f.Combo5->findText("many.img"));
    for (const int b : {1, 2}) {
        f.Document->setCells(b, {{2, 0, 9}, {3, 0, 11}}, "Place Brick");
    }
    Pick(f.Combo5, f.Combo5->findText("bricks.img"));
    ASSERT_EQ(f.BrickCount(), 4);
    for (const char* look : {"modeTextured", "modeHalfBright", "showHidden", "modeBlack"}) {
        window->action(look)->trigger();
        ExpectThumbnailsAsShown();
    }
}

TEST_F(BoardStripTest, OnlyTheBoardsAStepChangedAreDrawnAgain) {
    Form1& f = Editor();
    f.Document->setCells(2, {{1, 1, 3}}, "Place Brick");
    strip->refresh();
    EXPECT_EQ(strip->lastDrawn(), 1);
    // A move draws them all: thumbnails belong to board numbers.
    f.Document->moveBoard(1, 4, "Move Board");
    strip->refresh();
    EXPECT_EQ(strip->lastDrawn(), 5);
    f.Document->setBackground(5, 0);
    strip->refresh();
    EXPECT_EQ(strip->lastDrawn(), 1);
    ExpectThumbnailsAsShown();
    // A new look draws them all: those in view at once, the others once events are handled.
    strip->list->resize(strip->list->width(), 0);
    window->action("modeHalfBright")->trigger();
    strip->refreshVisible();
    EXPECT_EQ(strip->lastDrawn(), 2);  // the current board, 5, and the one before it
    EXPECT_FALSE(strip->list->item(0)->data(Qt::UserRole).isValid());
    QApplication::processEvents();
    EXPECT_TRUE(strip->list->item(0)->data(Qt::UserRole).isValid());
}

TEST_F(BoardStripTest, AClickShowsABoardAndTheCurrentOneIsHighlighted) {
    Form1& f = Editor();
    EXPECT_EQ(strip->list->currentRow(), 0);
    QListWidgetItem* item = strip->list->item(3);
    QTest::mouseClick(strip->list->viewport(), Qt::LeftButton, {},
                      strip->list->visualItemRect(item).center());
    EXPECT_EQ(f.CurrentBoard, 4);
    f.Command2_Click();
    EXPECT_EQ(strip->list->currentRow(), 4);
    window->action("newBoard")->trigger();
    strip->refresh();
    EXPECT_EQ(strip->list->count(), 6);
    EXPECT_EQ(strip->list->currentRow(), 5);
}

TEST_F(BoardStripTest, ADropMovesOneBoardAsOneStep) {
    using P = BoardStripList::DropAt;
    // Rows from 0 of 5: dropped above, below, on an item, and past the last one.
    EXPECT_EQ(BoardStripList::dropTarget(0, 3, P::Above, 5), 2);
    EXPECT_EQ(BoardStripList::dropTarget(0, 3, P::Below, 5), 3);
    EXPECT_EQ(BoardStripList::dropTarget(4, 1, P::Above, 5), 1);
    EXPECT_EQ(BoardStripList::dropTarget(4, 1, P::Below, 5), 2);
    EXPECT_EQ(BoardStripList::dropTarget(2, 2, P::On, 5), 2);
    EXPECT_EQ(BoardStripList::dropTarget(1, -1, P::Past, 5), 4);

    Form1& f = Editor();
    const BoardSetContent before = f.CurrentBoardSet();
    strip->list->setCurrentRow(0);
    emit strip->list->moveRequested(0, 3);
    BoardSetContent moved = before;
    std::rotate(moved.boards.begin(), moved.boards.begin() + 1, moved.boards.begin() + 4);
    EXPECT_TRUE(f.CurrentBoardSet() == moved);
    EXPECT_EQ(f.CurrentBoard, 4);
    EXPECT_EQ(f.Document->undoStack()->count(), 1);
    strip->refresh();
    ExpectThumbnailsAsShown();
    f.Document->undoStack()->undo();
    EXPECT_TRUE(f.CurrentBoardSet() == before);
}
