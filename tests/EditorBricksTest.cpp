// The brick set: palette slots, bricks on the board, the missing-brick mark, hidden bricks and
// the selected brick.
#include "EditorFixture.h"
#include "platform/ComboBox.h"
#include "platform/Controls.h"
#include "platform/PictureBox.h"

using namespace krellon;

namespace {

constexpr ColourValue kWhiteColour = MakeColour(255, 255, 255);
constexpr ColourValue kRedColour = MakeColour(255, 0, 0);

// The colour of pixel (x, y) of TestBrick(name, seed).
ColourValue BrickColour(int seed, int x, int y) {
    return TestColour(((x + 30 * y + seed) % 256 + seed) % 256);
}

// True when the 30 x 15 rectangle of image at (left, top) shows brick k of TestBricks.
::testing::AssertionResult ShowsBrick(const QImage& image, int left, int top, int k) {
    for (int y = 0; y < 15; ++y) {
        for (int x = 0; x < 30; ++x) {
            if (PixelAt(image, left + x, top + y) != BrickColour(k, x, y)) {
                return ::testing::AssertionFailure()
                       << "pixel " << x << ", " << y << " of brick " << k;
            }
        }
    }
    return ::testing::AssertionSuccess();
}

}  // namespace

class BrickTest : public EditorTest {
protected:
    Form1& OpenWith(std::vector<ImageSpec> bricks, const BoardSetContent& set) {
        WriteImages("bricks.img", bricks);
        WriteImages("backs.img", {TestBackground("back", 64, 64)});
        WriteBoardSet("set.bds", set);
        return Open();
    }
};

TEST_F(BrickTest, EveryBrickLiesInItsPaletteSlotAndTakesExactly450PixelBytes) {
    std::vector<ImageSpec> bricks = TestBricks(119);
    bricks[0].width = 10;
    bricks[0].height = 10;  // states 100 pixels, holds 450
    Form1& f = OpenWith(bricks, TestSet());
    EXPECT_EQ(f.BrickCount(), 119);
    EXPECT_EQ(f.Combo2->ListCount(), 119);
    EXPECT_EQ(f.BrickNames()[119], "brick 119");
    EXPECT_TRUE(ShowsBrick(f.Picture2->image(), 2, 2, 1));
    EXPECT_TRUE(ShowsBrick(f.Picture2->image(), 527, 2, 16));
    EXPECT_TRUE(ShowsBrick(f.Picture2->image(), 2, 22, 17));
    EXPECT_TRUE(ShowsBrick(f.Picture2->image(), 212, 142, 119));
    for (int k = 1; k <= 119; ++k) {
        ASSERT_TRUE(ShowsBrick(f.Picture2->image(), Form1::SlotLeft(k), Form1::SlotTop(k), k));
    }
}

TEST_F(BrickTest, BoardShowsBricksMarksAndBackground) {
    BoardSetContent set = TestSet();
    set.boards[0].cell(0, 0) = 3;
    set.boards[0].cell(19, 19) = 20;
    set.boards[0].cell(5, 5) = 21;    // one above the count
    set.boards[0].cell(6, 5) = -4;    // below 0
    set.boards[0].cell(7, 5) = 5000;  // above 119
    Form1& f = OpenWith(TestBricks(20), set);
    const QImage& board = f.Picture1->image();
    EXPECT_TRUE(ShowsBrick(board, 0, 0, 3));
    EXPECT_TRUE(ShowsBrick(board, 570, 285, 20));
    for (int c : {5, 6, 7}) {
        const int x0 = 30 * c;
        const int y0 = 75;
        EXPECT_EQ(PixelAt(board, x0 + 10, y0 + 2), kWhiteColour) << c;  // inside, off the cross
        EXPECT_EQ(PixelAt(board, x0 + 29, y0 + 7), kRedColour);         // the frame
        EXPECT_EQ(PixelAt(board, x0 + 15, y0), kRedColour);
        EXPECT_EQ(PixelAt(board, x0, y0), kRedColour);  // the cross
        EXPECT_EQ(PixelAt(board, x0 + 29, y0 + 14), kRedColour);
        EXPECT_EQ(PixelAt(board, x0 + 14, y0 + 7), kRedColour);
    }
    EXPECT_TRUE(ShowsBackground(f, CellArea(1, 0)));
}

TEST_F(BrickTest, HiddenBricksFollowTheCheckBoxAlsoByANameALargerSetLeft) {
    std::vector<ImageSpec> bricks = TestBricks(10);
    bricks[1].name = "Hidden";
    bricks[2].name = "hidden";  // another name: an ordinary brick
    bricks[7].name = "Hidden";  // code 8, which the smaller set lacks
    WriteImages("small.img", TestBricks(4));
    BoardSetContent set = TestSet();
    set.boards[0].cell(1, 1) = 2;
    set.boards[0].cell(2, 1) = 3;
    set.boards[0].cell(3, 1) = 11;  // missing
    set.boards[0].cell(0, 0) = 8;
    Form1& f = OpenWith(bricks, set);
    EXPECT_TRUE(ShowsBrick(f.Picture1->image(), 30, 15, 2));

    f.Check1->click();  // off
    EXPECT_FALSE(f.Check1->Checked());
    EXPECT_TRUE(ShowsBackground(f, CellArea(1, 1)));
    EXPECT_TRUE(ShowsBrick(f.Picture1->image(), 60, 15, 3));
    EXPECT_EQ(PixelAt(f.Picture1->image(), 90, 15), kRedColour);
    f.PaintBoard();  // a full repaint agrees
    EXPECT_TRUE(ShowsBackground(f, CellArea(1, 1)));
    f.Check1->click();  // on again
    EXPECT_TRUE(ShowsBrick(f.Picture1->image(), 30, 15, 2));
    EXPECT_EQ(PixelAt(f.Picture1->image(), 90, 15), kRedColour);

    // The set of four keeps the name of code 8.
    Pick(f.Combo5, f.Combo5->findText("small.img"));
    EXPECT_EQ(f.BrickCount(), 4);
    EXPECT_EQ(f.BrickNames()[8], "Hidden");
    EXPECT_EQ(PixelAt(f.Picture1->image(), 10, 2), kWhiteColour);  // the mark after PaintBoard
    f.Check1->click();  // off: the cell shows its background
    EXPECT_TRUE(ShowsBackground(f, CellArea(0, 0)));
    f.Check1->click();  // on: the blank slot of code 8 is copied in
    EXPECT_EQ(f.Picture1->image().copy(0, 0, 30, 15),
              f.Picture2->image().copy(Form1::SlotLeft(8), Form1::SlotTop(8), 30, 15));
}

TEST_F(BrickTest, ASmallerSetLowersTheSelectedBrickAndOneWithoutBricksLeavesNone) {
    WriteImages("ten.img", TestBricks(10));
    WriteImages("none.img", {});
    BoardSetContent set = TestSet();
    set.boards[0].cell(0, 0) = 1;
    Form1& f = OpenWith(TestBricks(40), set);
    Pick(f.Combo2, 24);
    EXPECT_EQ(f.SelectedBrick, 25);
    Pick(f.Combo5, f.Combo5->findText("ten.img"));
    EXPECT_EQ(f.SelectedBrick, 10);
    EXPECT_EQ(f.Combo2->ListIndex(), 9);
    // Picture4 shows brick 10 three times enlarged.
    for (int y = 0; y < 45; ++y) {
        for (int x = 0; x < 90; ++x) {
            ASSERT_EQ(PixelAt(f.Picture4->image(), x, y), BrickColour(10, x / 3, y / 3))
                << x << "," << y;
        }
    }
    // No brick at all: every code is missing and the preview is blank. The list and presses
    // with no brick selected are EditingTest's.
    f.Combo5->AddItem("none.img");
    Pick(f.Combo5, f.Combo5->findText("none.img"));
    EXPECT_EQ(f.BrickCount(), 0);
    EXPECT_EQ(f.SelectedBrick, 0);
    EXPECT_EQ(PixelAt(f.Picture1->image(), 10, 2), kWhiteColour);
    EXPECT_EQ(f.Picture4->image().pixel(45, 22), f.Picture4->image().pixel(0, 0));
}

TEST_F(BrickTest, ChoosingTheSameBrickOrSetDoesNothing) {
    Form1& f = OpenWith(TestBricks(5), TestSet());
    folder.write("bricks.img", std::vector<std::uint8_t>(3, 0));
    const QImage palette = f.Picture2->image().copy();
    Pick(f.Combo5, f.Combo5->findText("bricks.img"));
    EXPECT_EQ(f.BrickCount(), 5);
    EXPECT_EQ(f.Picture2->image(), palette);
    f.Picture4->Cls();
    Pick(f.Combo2, 0);  // brick 1 is already selected: nothing is redrawn
    EXPECT_EQ(f.Picture4->image().pixel(0, 0), f.Picture4->image().pixel(89, 44));
    Pick(f.Combo2, 2);
    EXPECT_EQ(f.SelectedBrick, 3);
    EXPECT_EQ(PixelAt(f.Picture4->image(), 0, 0), BrickColour(3, 0, 0));
}
