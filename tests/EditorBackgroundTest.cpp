// Backgrounds: the preview in its three modes, the tiling of the board, the placeholder and
// the handlers that choose a background, a background set and a mode.
#include "EditorFixture.h"
#include "platform/ComboBox.h"
#include "platform/Controls.h"
#include "platform/PictureBox.h"

using namespace krellon;

namespace {

constexpr ColourValue kWhiteColour = MakeColour(255, 255, 255);
constexpr ColourValue kRedColour = MakeColour(255, 0, 0);
constexpr QRect kBoard(0, 0, 600, 300);

}  // namespace

class BackgroundTest : public EditorTest {
protected:
    void SetUpSet(int size, std::vector<ImageSpec> extra = {}) {
        std::vector<ImageSpec> backs = {TestBackground("first", size, size, 0),
                                        TestBackground("second", size, size, 40)};
        backs.insert(backs.end(), extra.begin(), extra.end());
        WriteImages("backs.img", backs);
        WriteImages("bricks.img", TestBricks(20));
        WriteBoardSet("set.bds", TestSet(2));
    }
};

TEST_F(BackgroundTest, ThePreviewHoldsTheFilePixelsAndEverySizeIsPlacedAndTilesTheBoard) {
    SetUpSet(64, {TestBackground("tiny", 7, 5), TestBackground("tall", 64, 128),
                  TestBackground("wide", 128, 64), TestBackground("large", 128, 128, 3)});
    Form1& f = Open();
    EXPECT_EQ(f.Picture3->geometry(), QRect(648, 200, 64, 64));
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            ASSERT_EQ(PixelAt(f.Picture3->image(), x, y), TestColour(BackgroundIndex(x, y)))
                << x << "," << y;
        }
    }
    EXPECT_TRUE(ShowsBackground(f, kBoard, {64, 64}));
    // Each side is placed on its own.
    for (const auto& [index, place] : {std::pair{2, QRect(616, 168, 7, 5)},
                                       {3, QRect(648, 168, 64, 128)},
                                       {4, QRect(616, 200, 128, 64)},
                                       {5, QRect(616, 168, 128, 128)}}) {
        Pick(f.Combo1, index);
        EXPECT_EQ(f.Picture3->geometry(), place) << index;
        EXPECT_TRUE(ShowsBackground(f, kBoard, place.size())) << index;
    }
}

TEST_F(BackgroundTest, OneClearBrickAtATileCornerMatchesAFullRepaint) {
    SetUpSet(64);
    Form1& f = Open();
    const QImage full = f.Picture1->image().copy();
    // Cover the board, then clear the cell that straddles the tile corner (60, 60).
    f.Picture1->FillBox(0, 0, 599, 299, kRedColour);
    f.ClearBrick(2, 4);
    for (int y = 60; y < 75; ++y) {
        for (int x = 60; x < 90; ++x) {
            ASSERT_EQ(f.Picture1->image().pixel(x, y), full.pixel(x, y)) << x << "," << y;
        }
    }
    EXPECT_EQ(PixelAt(f.Picture1->image(), 59, 60), kRedColour);
    EXPECT_EQ(PixelAt(f.Picture1->image(), 90, 60), kRedColour);
    EXPECT_EQ(PixelAt(f.Picture1->image(), 60, 75), kRedColour);
}

TEST_F(BackgroundTest, HalfBrightHalvesEachComponentAndBlackIsBlack) {
    ImageSpec spots{"spots", 64, 64, std::vector<ColourValue>(256, 0),
                    std::vector<std::uint8_t>(64 * 64, 0)};
    spots.palette[1] = MakeColour(255, 255, 255);
    spots.palette[2] = MakeColour(64, 128, 255);
    spots.palette[3] = MakeColour(1, 1, 1);
    spots.pixels[0] = 1;
    spots.pixels[1] = 2;
    spots.pixels[2] = 3;
    WriteImages("backs.img", {spots});
    WriteBoardSet("set.bds", TestSet());
    Form1& f = Open();
    f.Option1->Button(1)->click();
    EXPECT_EQ(PixelAt(f.Picture3->image(), 0, 0), MakeColour(127, 127, 127));
    EXPECT_EQ(PixelAt(f.Picture3->image(), 1, 0), MakeColour(32, 64, 127));
    EXPECT_EQ(PixelAt(f.Picture3->image(), 2, 0), MakeColour(0, 0, 0));
    EXPECT_EQ(PixelAt(f.Picture1->image(), 64, 0), MakeColour(127, 127, 127));
    f.Option1->Button(2)->click();
    EXPECT_EQ(f.Picture3->geometry(), QRect(648, 200, 64, 64));
    QImage black(64, 64, QImage::Format_RGB32);
    black.fill(Qt::black);
    EXPECT_EQ(f.Picture3->image(), black);
    EXPECT_EQ(PixelAt(f.Picture1->image(), 300, 150), 0);
}

TEST_F(BackgroundTest, APlaceholderStandsInForABackgroundTheSetLacks) {
    SetUpSet(128);
    BoardSetContent set = TestSet(2);
    set.boards[0].background = 2;  // the set has two
    set.boards[1].background = -3;
    WriteBoardSet("set.bds", set);
    Form1& f = Open();
    EXPECT_EQ(f.Combo1->Text(), "Select from list...");
    EXPECT_EQ(f.Combo1->ListIndex(), -1);
    EXPECT_EQ(f.BoardBackground(1), 2);
    EXPECT_EQ(f.Picture3->geometry(), QRect(648, 200, 64, 64));
    const QImage& sign = f.Picture3->image();
    EXPECT_EQ(PixelAt(sign, 0, 0), kWhiteColour);
    EXPECT_EQ(PixelAt(sign, 63, 63), kWhiteColour);
    EXPECT_EQ(PixelAt(sign, 24, 21), kRedColour);  // base of the triangle, left end
    EXPECT_EQ(PixelAt(sign, 40, 22), kRedColour);  // base, right end
    EXPECT_EQ(PixelAt(sign, 23, 21), kWhiteColour);
    EXPECT_EQ(PixelAt(sign, 32, 5), kRedColour);  // the tip
    EXPECT_EQ(PixelAt(sign, 32, 4), kWhiteColour);
    EXPECT_EQ(PixelAt(sign, 28, 18), kWhiteColour);  // the hollow
    EXPECT_EQ(PixelAt(sign, 32, 13), 0);             // the exclamation mark
    EXPECT_EQ(PixelAt(sign, 32, 17), 0);
    EXPECT_EQ(PixelAt(sign, 32, 18), kWhiteColour);
    EXPECT_EQ(PixelAt(sign, 32, 19), 0);
    EXPECT_TRUE(ShowsBackground(f, kBoard, {64, 64}));

    // A negative number shows the placeholder too and stays stored as it is.
    f.CurrentBoard = 2;
    f.PaintBoard();
    EXPECT_EQ(f.BoardBackground(2), -3);
    EXPECT_EQ(f.Combo1->Text(), "Select from list...");
    EXPECT_TRUE(ShowsBackground(f, kBoard, {64, 64}));

    // Choosing a background stores it and renders it.
    Pick(f.Combo1, 1);
    EXPECT_EQ(f.BoardBackground(2), 1);
    EXPECT_EQ(f.Picture3->geometry(), QRect(616, 168, 128, 128));
    EXPECT_TRUE(ShowsBackground(f, kBoard, {128, 128}));
}

TEST_F(BackgroundTest, APickRepaintsOnlyBackgroundCellsAndTheSameBackgroundOrSetDoesNothing) {
    SetUpSet(64);
    WriteImages("other.img", {TestBackground("o", 64, 64, 9), TestBackground("p", 128, 128, 9)});
    BoardSetContent set = TestSet();
    set.boards[0].cell(3, 3) = 4;
    set.boards[0].cell(4, 4) = 99;  // a missing brick
    WriteBoardSet("set.bds", set);
    Form1& f = Open();
    const QRgb brick = f.Picture1->image().pixel(95, 50);
    const QRgb mark = f.Picture1->image().pixel(125, 65);
    Pick(f.Combo1, 1);
    EXPECT_EQ(f.Picture1->image().pixel(95, 50), brick);
    EXPECT_EQ(f.Picture1->image().pixel(125, 65), mark);
    EXPECT_EQ(PixelAt(f.Picture1->image(), 0, 0), TestColour((BackgroundIndex(0, 0) + 40) % 256));

    // Damage the file on disk: a handler that reads it again would show the damage.
    folder.write("backs.img", std::vector<std::uint8_t>(10, 0));
    const QImage before = f.Picture3->image().copy();
    Pick(f.Combo1, 1);
    EXPECT_EQ(f.Picture3->image(), before);
    Pick(f.Combo4, f.Combo4->findText("backs.img"));
    EXPECT_EQ(f.BackgroundCount(), 2);
    EXPECT_EQ(f.Picture3->image(), before);
    // Another set keeps every board's number and renders from the new file.
    Pick(f.Combo4, f.Combo4->findText("other.img"));
    EXPECT_EQ(f.BackgroundSetFile(), "other.img");
    EXPECT_EQ(f.BoardBackground(1), 1);
    EXPECT_TRUE(ShowsBackground(f, QRect(0, 90, 600, 210), {128, 128}));  // below the bricks
}

TEST_F(BackgroundTest, AMissingOrZeroSizedBackgroundShowsThePlaceholder) {
    WriteImages("bricks.img", TestBricks(2));
    BoardSetContent set = TestSet();
    set.backgroundSetFile = "gone.img";
    WriteBoardSet("set.bds", set);
    Form1& f = Open();
    EXPECT_EQ(f.BackgroundCount(), 0);
    EXPECT_EQ(f.Combo1->ListCount(), 0);
    EXPECT_EQ(f.Combo4->Text(), "gone.img");
    EXPECT_TRUE(ShowsBackground(f, kBoard, {64, 64}));

    // A zero-sized one is not drawn. Cut files are ImageFileHostile's.
    WriteImages("zero.img", {ImageSpec{"empty", 0, 64, {}, {}}});
    f.Combo4->AddItem("zero.img");
    Pick(f.Combo4, f.Combo4->findText("zero.img"));
    EXPECT_EQ(f.Combo1->Text(), "Select from list...");
    EXPECT_TRUE(ShowsBackground(f, kBoard, {64, 64}));
}
