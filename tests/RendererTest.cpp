// The command line renders every board with exactly the pixels of the editor's board picture.
#include <QImage>

#include "CliRun.h"
#include "DemoData.h"
#include "EditorFixture.h"
#include "document/BoardSetDocument.h"
#include "explorer/Module1.h"
#include "platform/ComboBox.h"
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

TEST_F(RendererTest, HiddenMissingAndPlaceholderCellsOn64And128Tiles) {
    auto bricks = TestBricks(6);
    bricks[2].name = "Hidden";
    bricks[4].name = "Hidden";
    WriteImages("bricks.img", bricks);
    WriteImages("backs.img", {TestBackground("small", 64, 64), TestBackground("large", 128, 128, 3),
                              TestBackground("odd", 45, 23, 5)});
    BoardSetContent set = TestSet(5);
    for (int b = 0; b < 5; ++b) {
        Board& board = set.boards[static_cast<std::size_t>(b)];
        // 0 to 2 the three tiles, 3 past the set (the placeholder), 4 negative.
        board.background = b < 3 ? b : (b == 3 ? 40 : -1);
        for (int c = 0; c < kBoardColumns; ++c) {
            for (int r = 0; r < kBoardRows; r += 2) {
                // Empty, every brick, hidden ones, codes past the set and below 1.
                board.cell(c, r) = (c + r + b) % 10 - 1;
            }
        }
    }
    WriteBoardSet("made.bds", set);
    ExpectEveryBoardRendersAsShown("made.bds");
}

TEST_F(RendererTest, ImageFilesFoundInTheSetsFolderWhateverTheirCase) {
    WriteImages("BRICKS.IMG", TestBricks(3));
    WriteImages("Backs.Img", {TestBackground("stone", 64, 64), TestBackground("wide", 700, 9)});
    BoardSetContent set = TestSet(1);
    set.boards[0].cell(3, 3) = 2;
    WriteBoardSet("case.bds", set);
    ExpectEveryBoardRendersAsShown("case.bds");
    EXPECT_EQ(form->BrickCount(), 3);
    EXPECT_EQ(form->BackgroundCount(), 2);
    EXPECT_EQ(form->BrickSetFile(), "bricks.img");  // kept as the set names it
    // From another folder, the set's own folder is where its image files are found.
    form->Option1->Button(0)->click();
    form->Check1->click();
    ASSERT_TRUE(form->Check1->Checked());
    std::filesystem::create_directory("elsewhere");
    std::filesystem::current_path("elsewhere");
    ASSERT_EQ(Krellon({"render", "../case.bds", "-o", "out.png"}), 0);
    EXPECT_TRUE(QImage("out.png").convertToFormat(QImage::Format_RGB32) == form->Picture1->image());
    // A look read from the set's folder, with no window, draws the board as the editor shows it.
    render::BoardLook look;
    look.readBricks("bricks.img", folder.path());
    look.readBackgrounds("backs.img", folder.path());
    Board board = form->Document->board(1);
    EXPECT_TRUE(look.renderBoard(board) == form->Picture1->image());
    board.background = 1;  // wider than the board
    EXPECT_TRUE(look.thumbnail(board) == render::Thumbnail(look.renderBoard(board)));
}

TEST(Thumbnail, EachPixelIsTheMeanOfAFiveByFiveBlock) {
    // Blocks whose means are whole: one colour, and one row of 250 over four black rows.
    QImage picture(600, 300, QImage::Format_RGB32);
    picture.fill(qRgb(10, 20, 30));
    for (int x = 5; x < 10; ++x) {
        picture.setPixel(x, 0, qRgb(250, 125, 0));
    }
    for (int y = 1; y < 5; ++y) {
        for (int x = 5; x < 10; ++x) {
            picture.setPixel(x, y, qRgb(0, 0, 5));
        }
    }
    const QImage thumbnail = render::Thumbnail(picture);
    ASSERT_EQ(thumbnail.size(), QSize(120, 60));
    EXPECT_EQ(thumbnail.pixel(0, 0), qRgb(10, 20, 30));
    EXPECT_EQ(thumbnail.pixel(1, 0), qRgb(50, 25, 4));
    EXPECT_EQ(thumbnail.pixel(2, 0), qRgb(10, 20, 30));
    EXPECT_EQ(thumbnail.pixel(119, 59), qRgb(10, 20, 30));
}

TEST_F(RendererTest, CommandLineExportIsTheExplorersByteForByte) {
    WriteDemoFolder(folder.path());
    Open();
    for (const int image : {1, 5}) {
        Form2& e = Explore("Backs64.img", image);
        e.Command1_Click();
        const std::string name = Shared().BitmapFile().toStdString();
        ASSERT_TRUE(std::filesystem::exists(name));
        ASSERT_EQ(
            Krellon({"export", "Backs64.img", "--image", QString::number(image), "-o", "cli.bmp"}),
            0);
        EXPECT_EQ(folder.read("cli.bmp"), folder.read(name));
    }
}
