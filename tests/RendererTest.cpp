// The command line renders every board with exactly the pixels of the editor's board picture.
#include <QImage>

#include "CliRun.h"
#include "DemoData.h"
#include "EditorFixture.h"
#include "document/BoardSetDocument.h"
#include "platform/Controls.h"
#include "platform/PictureBox.h"
#include "render/BoardLook.h"

using namespace krellon;

namespace {

class RendererTest : public EditorTest {
protected:
    // Every board of set in every display mode, hidden bricks shown and not: the editor's
    // picture and the command line's PNG.
    void ExpectEveryBoardRendersAsShown(const QString& set) {
        Form1& f = form ? *form : Open();
        f.Rescan(set);
        ASSERT_EQ(f.BoardSetFile, set);
        const char* modes[] = {"textured", "half-bright", "black"};
        for (int b = 1; b <= f.BoardCount(); ++b) {
            if (b > 1) {
                f.Command2_Click();
            }
            ASSERT_EQ(f.CurrentBoard, b);
            for (int m = 0; m < 3; ++m) {
                f.Option1->Button(m)->click();
                for (const bool showHidden : {true, false}) {
                    if (f.Check1->Checked() != showHidden) {
                        f.Check1->click();
                    }
                    SCOPED_TRACE(set.toStdString() + " board " + std::to_string(b) + " " +
                                 modes[m] + (showHidden ? " shown" : " hidden"));
                    QStringList arguments{"render", set,      "--board", QString::number(b),
                                          "--mode", modes[m], "-o",      "out.png"};
                    if (!showHidden) {
                        arguments << "--hide-hidden";
                    }
                    QString err;
                    ASSERT_EQ(Krellon(arguments, nullptr, &err), 0) << err.toStdString();
                    const QImage rendered = QImage("out.png").convertToFormat(QImage::Format_RGB32);
                    ASSERT_EQ(rendered.size(), QSize(600, 300));
                    ASSERT_TRUE(rendered == f.Picture1->image());
                    ASSERT_TRUE(look->thumbnail(f.Document->board(b)) ==
                                render::Thumbnail(f.Picture1->image()));
                }
            }
        }
    }
};

}  // namespace

TEST_F(RendererTest, DemoSetsRenderAsTheEditorShowsThem) {
    WriteDemoFolder(folder.path());
    ExpectEveryBoardRendersAsShown("Demo.bds");
    ExpectEveryBoardRendersAsShown("Second.bds");
}

TEST_F(RendererTest, HiddenMissingAndPlaceholderCellsOnEveryTileFromFilesOfAnyLetterCase) {
    auto bricks = TestBricks(6);
    bricks[2].name = "Hidden";
    bricks[4].name = "Hidden";
    // The set names "bricks.img" and "backs.img": found in its folder whatever their case.
    WriteImages("BRICKS.IMG", bricks);
    WriteImages("Backs.Img", {TestBackground("small", 64, 64), TestBackground("large", 128, 128, 3),
                              TestBackground("odd", 45, 23, 5), TestBackground("wide", 700, 9)});
    BoardSetContent set = TestSet(6);
    for (int b = 0; b < 6; ++b) {
        Board& board = set.boards[static_cast<std::size_t>(b)];
        // 0 to 2 the first three tiles, 3 past the set (the placeholder), 4 negative, 5 a tile
        // wider than the board.
        board.background = b < 3 ? b : (b == 3 ? 40 : (b == 4 ? -1 : 3));
        for (int c = 0; c < kBoardColumns; ++c) {
            for (int r = 0; r < kBoardRows; r += 2) {
                // Empty, every brick, hidden ones, codes past the set and below 1.
                board.cell(c, r) = (c + r + b) % 10 - 1;
            }
        }
    }
    WriteBoardSet("made.bds", set);
    ExpectEveryBoardRendersAsShown("made.bds");
    EXPECT_EQ(form->BrickCount(), 6);
    EXPECT_EQ(form->BackgroundCount(), 4);
    // From another folder, the set's own folder is where its image files are found.
    form->Option1->Button(0)->click();
    form->Check1->click();
    ASSERT_TRUE(form->Check1->Checked());
    form->ShowBoard(1);
    std::filesystem::create_directory("elsewhere");
    std::filesystem::current_path("elsewhere");
    ASSERT_EQ(Krellon({"render", "../made.bds", "-o", "out.png"}), 0);
    EXPECT_TRUE(QImage("out.png").convertToFormat(QImage::Format_RGB32) == form->Picture1->image());
    // A look read from the set's folder, with no window, draws the board as the editor shows it.
    render::BoardLook look;
    look.readBricks("bricks.img", folder.path());
    look.readBackgrounds("backs.img", folder.path());
    EXPECT_TRUE(look.renderBoard(form->Document->board(1)) == form->Picture1->image());
}

TEST(Thumbnail, EachPixelIsTheMeanOfAFiveByFiveBlock) {
    // Blocks whose means are whole: one colour, and one row of 250 over four nearly black rows.
    QImage picture(600, 300, QImage::Format_RGB32);
    picture.fill(qRgb(10, 20, 30));
    for (int y = 0; y < 5; ++y) {
        for (int x = 5; x < 10; ++x) {
            picture.setPixel(x, y, y == 0 ? qRgb(250, 125, 0) : qRgb(0, 0, 5));
        }
    }
    const QImage thumbnail = render::Thumbnail(picture);
    ASSERT_EQ(thumbnail.size(), QSize(120, 60));
    EXPECT_EQ(thumbnail.pixel(0, 0), qRgb(10, 20, 30));
    EXPECT_EQ(thumbnail.pixel(1, 0), qRgb(50, 25, 4));
    EXPECT_EQ(thumbnail.pixel(2, 0), qRgb(10, 20, 30));
    EXPECT_EQ(thumbnail.pixel(119, 59), qRgb(10, 20, 30));
}
