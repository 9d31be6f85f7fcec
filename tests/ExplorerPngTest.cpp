// The explorer's menu: the image shown to and from a palette PNG, and all images at once.
#include <QAction>
#include <QImage>
#include <QMenuBar>

#include <QSignalSpy>

#include "EditorFixture.h"
#include "explorer/Form2.h"
#include "formats/ImageTransfer.h"
#include "platform/Controls.h"
#include "platform/Dialogs.h"
#include "platform/PictureBox.h"
#include "storage/FileNames.h"
#include "storage/StatusNotices.h"

using namespace krellon;

namespace {

// The file of brick k among all images.
std::string AllName(int k) {
    return "00" + std::to_string(k) + "-brick " + std::to_string(k) + ".png";
}

class ExplorerPngTest : public EditorTest {
protected:
    void SetUp() override {
        WriteImages("bricks.img", TestBricks(3));
        WriteImages("backs.img",
                    {TestBackground("stone", 64, 64), TestBackground("sky.png", 32, 16, 4)});
        BoardSetContent set = TestSet();
        set.boards[0].cell(0, 0) = 2;
        WriteBoardSet("set.bds", set);
        Open();
        CatchMessages();
    }
};

}  // namespace

TEST_F(ExplorerPngTest, ExportAndImportKeepEveryIndexAndUpdateTheEditorAtOnce) {
    // A name that ends in ".png" already is the file name.
    Explore("backs.img", 2).ExportPngAction->trigger();
    EXPECT_TRUE(std::filesystem::exists("sky.png"));
    EXPECT_FALSE(std::filesystem::exists("sky.png.png"));
    // The indices and palette written are CliTest's to pin, the same writer for both.
    const auto before = folder.read("bricks.img");
    Form2& e = Explore("bricks.img", 2);
    QSignalSpy notes(&Notices(), &StatusNotices::message);
    e.ExportPngAction->trigger();
    e.ImportPngAction->trigger();
    EXPECT_EQ(folder.read("bricks.img"), before);
    ASSERT_EQ(notes.size(), 2);
    EXPECT_EQ(notes[0][0].toString(), "Exported brick 2.png");
    EXPECT_EQ(notes[1][0].toString(), "Imported brick 2.png into bricks.img");

    // New indices through a palette of 4 entries: the entries it has replace the brick's first
    // four colours, the rest stay.
    QImage png(30, 15, QImage::Format_Indexed8);
    png.setColorTable({qRgb(1, 2, 3), qRgb(250, 0, 0), qRgb(0, 250, 0), qRgb(0, 0, 250)});
    for (int y = 0; y < 15; ++y) {
        for (int x = 0; x < 30; ++x) {
            png.setPixel(x, y, (x + y) % 4);
        }
    }
    ASSERT_TRUE(png.save("brick 2.png"));
    e.ImportPngAction->trigger();
    EXPECT_TRUE(messages.isEmpty()) << messages.join("; ").toStdString();
    // The editor's palette and the board's cell with brick 2 show it at once.
    EXPECT_EQ(PixelAt(form->Picture2->image(), Form1::SlotLeft(2) + 1, Form1::SlotTop(2)),
              MakeColour(250, 0, 0));
    EXPECT_EQ(PixelAt(form->Picture1->image(), 1, 0), MakeColour(250, 0, 0));
}

TEST_F(ExplorerPngTest, AllImagesOutToAFolderAndBackInAtOnceIntoAFileWhoseNameIsNotUtf8) {
#ifdef _WIN32
    const std::string name =
        "Br\xe2\x98\xba"
        "cks.img";  // of no one code page
#else
    const std::string name =
        "Br\xe9"
        "cks.img";  // not UTF-8
#endif
    WriteImages(name, TestBricks(3));
    const auto before = folder.read(name);
    SetFileDialogHandlerForTesting([this](FileDialogKind kind, const QString&) {
        EXPECT_EQ(kind, FileDialogKind::Folder);
        return NameFromPath(folder / "all");
    });
    Form2& e = Explore(NameFromBytes(name), 2);
    e.ExportAllAction->trigger();
    for (int k = 1; k <= 3; ++k) {
        EXPECT_TRUE(std::filesystem::exists(folder / "all" / AllName(k))) << k;
    }

    // A red brick 2 and a brick 3 that does not fit: nothing is imported.
    const auto redBrick = [&](int k, int width) {
        QImage red(width, 15, QImage::Format_Indexed8);
        red.setColorTable({qRgb(200, 0, 0)});
        red.fill(0);
        ASSERT_TRUE(red.save(NameFromPath(folder / "all" / AllName(k))));
    };
    redBrick(2, 30);
    redBrick(3, 31);
    e.ImportAllAction->trigger();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith("Krellon IMG Explorer|Nothing was imported."))
        << messages[0].toStdString();
    EXPECT_TRUE(messages[0].endsWith("Wrong image width.")) << messages[0].toStdString();
    EXPECT_EQ(folder.read(name), before);
    // Without brick 3 the red brick goes into that very file.
    std::filesystem::remove(folder / "all" / AllName(3));
    e.ImportAllAction->trigger();
    EXPECT_EQ(messages.size(), 1);
    EXPECT_EQ(PixelAt(e.Picture1->image(), 0, 0), MakeColour(200, 0, 0));
    EXPECT_EQ(folder.snapshot().size(), 5u);  // the set's three files, the folder and this one
    // Undone as one step.
    e.MenuBar->findChild<QAction*>("undo")->trigger();
    EXPECT_EQ(folder.read(name), before);
}

TEST_F(ExplorerPngTest, TrueColourPicturesTakeTheLowestIndexOfEachColourOrTheNearest) {
    // Entries 2j and 2j + 1 both grey 2j below 128; distinct colours above.
    std::vector<ColourValue> palette;
    for (int k = 0; k < 256; ++k) {
        palette.push_back(k < 128 ? MakeColour(k & ~1, k & ~1, k & ~1) : MakeColour(k, 0, 255 - k));
    }
    WriteImages("colours.img", {{"pic", 8, 2, palette, std::vector<std::uint8_t>(16, 5)}});
    Form2& e = Explore("colours.img", 1);
    const auto pixels = [&] {
        const auto bytes = folder.read("colours.img");
        const MemorySource file(bytes);
        return *ReadImagePixels(file, IndexImageFile(file)->records[0]);
    };
    const auto picture = [&](QImage::Format format, const std::vector<int>& indices) {
        QImage image(8, 2, format);
        for (int i = 0; i < 16; ++i) {
            const ColourValue c = palette[static_cast<std::size_t>(indices[i])];
            image.setPixel(i % 8, i / 8, qRgb(RedOf(c), GreenOf(c), BlueOf(c)));
        }
        return image;
    };
    const std::vector<int> greys = {1, 3, 6, 7, 126, 127, 0, 2, 9, 11, 40, 41, 5, 4, 99, 100};
    std::vector<int> colours = greys;
    std::transform(greys.begin(), greys.end(), colours.begin(), [](int k) { return k | 128; });
    QImage rgba = picture(QImage::Format_ARGB32, colours);
    rgba.setPixel(0, 0, qRgba(255, 255, 255, 0));  // fully transparent, of no palette colour
    const auto lowest = [](const std::vector<int>& indices) {
        std::vector<std::uint8_t> out;
        for (int k : indices) {
            out.push_back(static_cast<std::uint8_t>(k < 128 ? k & ~1 : k));
        }
        return out;
    };
    auto rgbaIndices = lowest(colours);
    rgbaIndices[0] = 0;
    for (const auto& [image, expected] :
         {std::pair{picture(QImage::Format_Grayscale8, greys), lowest(greys)},
          {picture(QImage::Format_RGB32, colours), lowest(colours)},
          {rgba, rgbaIndices}}) {
        ASSERT_TRUE(image.save("pic.png"));
        e.ImportPngAction->trigger();
        EXPECT_EQ(pixels(), expected) << image.format();
    }
    // The button takes 8-bit bitmaps alone, as it always has; the menu takes a 24-bit one.
    ASSERT_TRUE(picture(QImage::Format_RGB888, greys).save("pic.bmp"));
    const auto before = pixels();
    e.Command2->click();
    EXPECT_EQ(messages, QStringList({"Krellon IMG Explorer|Wrong image color bitrate."}));
    EXPECT_EQ(pixels(), before);
    messages.clear();
    e.ImportBmpAction->trigger();
    EXPECT_EQ(pixels(), lowest(greys));
    EXPECT_TRUE(messages.isEmpty()) << messages.join("; ").toStdString();

    // A colour off the palette is refused, or mapped to grey 126 by the menu entry.
    QImage off = picture(QImage::Format_RGB32, colours);
    off.setPixel(3, 1, qRgb(127, 127, 128));
    ASSERT_TRUE(off.save("pic.png"));
    e.ImportPngAction->trigger();
    EXPECT_EQ(messages,
              QStringList(
                  {"Krellon IMG Explorer|1 colour of the picture is not in the "
                   "image's palette, the first at pixel (3, 1); map them to the "
                   "nearest colours (a Map to Nearest Colours entry, or --nearest) to take it."}));
    e.ImportPngNearestAction->trigger();
    EXPECT_EQ(messages.size(), 1);
    EXPECT_EQ(pixels()[11], 126);

    // A picture of another size keeps the original's message, the bar tells both sizes; a
    // 16-bit PNG is refused.
    messages.clear();
    QSignalSpy notes(&Notices(), &StatusNotices::message);
    ASSERT_TRUE(QImage(9, 2, QImage::Format_RGB32).save("pic.png"));
    e.ImportPngAction->trigger();
    ASSERT_TRUE(QImage(8, 2, QImage::Format_Grayscale16).save("pic.png"));
    e.ImportPngNearestAction->trigger();
    EXPECT_EQ(messages, QStringList({"Krellon IMG Explorer|Wrong image width.",
                                     "Krellon IMG Explorer|PNG images of 16 bits a channel are not "
                                     "supported; save it with 8 bits a channel."}));
    ASSERT_GE(notes.size(), 1);
    EXPECT_EQ(notes[0][0].toString(),
              "Nothing imported: Wrong image width. The image is 8 × 2, the picture 9 × 2.");
}
