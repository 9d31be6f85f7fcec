// Export of the image shown to a bitmap, import back, the refusals, and the editor's update.
#include <QAction>
#include <QSignalSpy>
#include <functional>

#include "CliRun.h"
#include "EditorFixture.h"
#include "explorer/Form2.h"
#include "explorer/Module1.h"
#include "platform/Controls.h"
#include "platform/PictureBox.h"
#include "storage/StatusNotices.h"

using namespace krellon;

class TransferTest : public EditorTest {
protected:
    void SetUp() override {
        std::vector<ImageSpec> bricks = TestBricks(3);
        WriteImages("bricks.img", bricks);
        WriteImages("backs.img", {TestBackground("stone", 64, 64)});
        WriteImages("other.img", OtherImages(0));
        BoardSetContent set = TestSet();
        set.boards[0].cell(0, 0) = 1;
        set.boards[0].cell(5, 5) = 2;
        WriteBoardSet("set.bds", set);
        Open();
        CatchMessages();
    }

    // other.img: a brick of pixels from seed, an image without an own palette, a bad name.
    static std::vector<ImageSpec> OtherImages(int seed) {
        ImageSpec greyed = TestBackground("greyed", 5, 3);
        greyed.palette.clear();
        return {TestBrick("wall", seed), greyed, TestBackground("../escape", 4, 4)};
    }
};

TEST_F(TransferTest, ExportWritesTheBitmapLayoutAsTheCommandLineAndImportGivesBackTheFile) {
    folder.write("wall.bmp", std::vector<std::uint8_t>(5000, 0xAB));  // an older file
    const auto before = folder.read("other.img");
    const ImageSpec brick = TestBrick("wall");
    for (int image : {1, 2}) {
        Form2& e = Explore("other.img", image);
        e.Command1->click();
        const std::string bitmap = Shared().BitmapFile().toStdString();
        if (image == 1) {
            EXPECT_EQ(folder.read(bitmap), BitmapOf(30, 15, brick.palette, brick.pixels).data);
        }
        const QString n = QString::number(image);
        ASSERT_EQ(Krellon({"export", "other.img", "--image", n, "-o", "cli.bmp"}), 0);
        EXPECT_EQ(folder.read("cli.bmp"), folder.read(bitmap)) << image;
        e.Command2->click();
        EXPECT_EQ(folder.read("other.img"), before) << image;
    }
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(TransferTest, ImportWritesPaletteAndPixelsInPlaceOrTheFilePalette) {
    Form2& e = Explore("other.img", 1);
    std::vector<std::uint8_t> pixels(450);
    for (int i = 0; i < 450; ++i) {
        pixels[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(255 - i % 256);
    }
    std::vector<ColourValue> palette(256, MakeColour(1, 2, 3));
    folder.write("wall.bmp", BitmapOf(30, 15, palette, pixels).data);
    const auto before = folder.read("other.img");
    e.Command2->click();
    const auto after = folder.read("other.img");
    ASSERT_EQ(after.size(), before.size());
    const std::size_t record = 1040;
    const std::size_t paletteAt = record + 24 + 5;  // name "wall" has L = 5
    const std::size_t pixelsAt = paletteAt + 1024;
    for (std::size_t i = 0; i < after.size(); ++i) {
        if (i >= paletteAt && i < pixelsAt) {
            const std::size_t b = (i - paletteAt) % 4;
            ASSERT_EQ(after[i], b == 3 ? before[i] : std::uint8_t(b + 1)) << i;  // byte 3 untouched
        } else if (i >= pixelsAt && i < pixelsAt + 450) {
            ASSERT_EQ(after[i], pixels[i - pixelsAt]) << i;
        } else {
            ASSERT_EQ(after[i], before[i]) << i;
        }
    }
    EXPECT_EQ(PixelAt(e.Picture1->image(), 0, 0), MakeColour(1, 2, 3));

    // An image without a palette of its own: the file palette changes, its fourth bytes stay.
    Explore("other.img", 2);
    for (int k = 0; k < 256; ++k) {
        palette[static_cast<std::size_t>(k)] = MakeColour(255 - k, 0, k);
    }
    folder.write("greyed.bmp", BitmapOf(5, 3, palette, std::vector<std::uint8_t>(15, 9)).data);
    e.Command2->click();
    const auto greyed = folder.read("other.img");
    EXPECT_EQ(greyed[16 + 4 * 9], 255 - 9);
    EXPECT_EQ(greyed[16 + 4 * 9 + 2], 9);
    EXPECT_EQ(greyed[16 + 4 * 9 + 3], before[16 + 4 * 9 + 3]);
    EXPECT_EQ(PixelAt(e.Picture2->image(), 16 * 9 + 1, 1), MakeColour(255 - 9, 0, 9));
}

TEST_F(TransferTest, EveryRefusalSaysWhyAndLeavesTheImageFileAsItWas) {
    Form2& e = Explore("other.img", 1);
    const auto before = folder.read("other.img");
    const ImageSpec brick = TestBrick("wall");
    const auto good = BitmapOf(30, 15, brick.palette, brick.pixels).data;
    auto patched = [&](std::size_t at, std::uint8_t value) {
        auto copy = good;
        copy[at] = value;
        return copy;
    };
    const std::vector<std::pair<std::vector<std::uint8_t>, QString>> cases = {
        {{'B'}, "File not found."},
        {patched(1, 'X'), "File is not BMP."},
        {patched(18, 31), "Wrong image width."},
        {patched(22, 14), "Wrong image height."},
        {patched(28, 16), "Wrong image color bitrate."},
        {patched(28, 4), "Wrong image color bitrate."},  // the button takes 8-bit ones alone
        {std::vector<std::uint8_t>(good.begin(), good.end() - 1), "File is too short."},
        {patched(30, 2), "Compressed bitmaps are not supported."},
        {patched(14, 12), "Unsupported bitmap header."},
    };
    for (const auto& [bitmap, message] : cases) {
        folder.write("wall.bmp", bitmap);
        messages.clear();
        e.Command2->click();
        EXPECT_EQ(messages, QStringList({"Krellon IMG Explorer|" + message}));
        EXPECT_EQ(folder.read("other.img"), before);
    }
    // A missing bitmap is not created by the attempt.
    std::filesystem::remove(folder / "wall.bmp");
    messages.clear();
    e.Command2->click();
    EXPECT_EQ(messages, QStringList({"Krellon IMG Explorer|File not found."}));
    EXPECT_FALSE(std::filesystem::exists(folder / "wall.bmp"));
    // A name that is no bare file name is refused both ways, and nothing is written outside.
    messages.clear();
    Explore("other.img", 3);
    EXPECT_EQ(Shared().BitmapFile(), "../escape.bmp");
    e.Command1->click();
    e.Command2->click();
    EXPECT_EQ(messages,
              QStringList(2, "Krellon IMG Explorer|Image name is not a valid file name."));
    EXPECT_FALSE(std::filesystem::exists(folder.path().parent_path() / "escape.bmp"));
}

TEST_F(TransferTest, ADamagedOrUnwritableFileIsReported) {
    Form2& e = Explore("other.img", 1);
    e.Command1->click();
    const auto bytes = folder.read("other.img");
    folder.write("other.img", std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 1500));
    // The export reads the pixels where they were; the import finds the record gone.
    e.Command1->click();
    e.Command2->click();
    EXPECT_EQ(messages.join("\n").toStdString(),
              "Krellon IMG Explorer|Image file is damaged.\n"
              "Krellon IMG Explorer|other.img has changed on disk since it was shown, so "
              "nothing was imported. It has been read again.");
    EXPECT_EQ(folder.read("other.img").size(), 1500u);
    messages.clear();
    folder.write("other.img", bytes);
    e.Form_Activate();
    std::filesystem::remove(folder / "wall.bmp");
    std::filesystem::create_directory(folder / "wall.bmp");
    e.Command1->click();
    EXPECT_EQ(messages.join("\n").toStdString(),
              "Krellon IMG Explorer|Could not write wall.bmp: a folder of that name is in the way");
}

TEST_F(TransferTest, ImportIntoTheEditorsSetsUpdatesTheEditor) {
    // Brick 1 at (0, 0) and brick 2 at (5, 5); everything else shows the background. A new
    // brick is FileSafetyTest's.
    Form1& f = *form;
    Form2& e = Explore("backs.img", 1);
    std::vector<ColourValue> red(256, MakeColour(200, 0, 0));
    folder.write("stone.bmp", BitmapOf(64, 64, red, std::vector<std::uint8_t>(64 * 64, 1)).data);
    const QImage brickCell = f.Picture1->image().copy(0, 0, 30, 15);
    e.Command2->click();
    EXPECT_EQ(PixelAt(f.Picture1->image(), 100, 100), MakeColour(200, 0, 0));
    EXPECT_EQ(f.Picture1->image().copy(0, 0, 30, 15), brickCell);  // bricks stay
    // Another file leaves the editor alone.
    const QImage board = f.Picture1->image().copy();
    Explore("other.img", 1);
    e.Command1->click();
    e.Command2->click();
    EXPECT_EQ(f.Picture1->image(), board);
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(TransferTest, AFileReplacedSinceItWasShownIsReadAgainAndNotWritten) {
    AnswerDialogs(folder / "all");
    const auto replacement = BuildImageFile(OtherImages(9), GreyPalette());
    // A sync tool renames a copy of the same layout over the file; a script rewrites it in
    // place and puts its time back.
    const auto byRename = [&] {
        folder.write("other.img.sync", replacement);
        std::filesystem::rename(folder / "other.img.sync", folder / "other.img");
    };
    const auto inPlace = [&] {
        const auto time = std::filesystem::last_write_time(folder / "other.img");
        folder.write("other.img", replacement);
        std::filesystem::last_write_time(folder / "other.img", time);
    };
    const std::vector<std::pair<std::function<void(Form2&)>, std::function<void()>>> cases = {
        {[](Form2& e) { e.Command2->click(); }, byRename},
        {[](Form2& e) { e.ImportPngAction->trigger(); }, byRename},
        {[](Form2& e) { e.ImportAllAction->trigger(); }, byRename},
        {[](Form2& e) { e.Command2->click(); }, inPlace},
    };
    const ImageSpec wall = OtherImages(9)[0];
    for (std::size_t i = 0; i < cases.size(); ++i) {
        WriteImages("other.img", OtherImages(0));
        Form2& e = Explore("other.img", 1);
        e.Command1->click();
        e.ExportPngAction->trigger();
        e.ExportAllAction->trigger();
        messages.clear();
        cases[i].second();
        cases[i].first(e);
        EXPECT_EQ(folder.read("other.img"), replacement) << i;
        // The file as it is now is shown, and imports.
        EXPECT_EQ(PixelAt(e.Picture1->image(), 0, 0), wall.palette[wall.pixels[0]]) << i;
        cases[i].first(e);
        EXPECT_NE(folder.read("other.img"), replacement) << i;
        EXPECT_EQ(messages, QStringList({"Krellon IMG Explorer|other.img has changed on disk "
                                         "since it was shown, so nothing was imported. It has "
                                         "been read again."}))
            << i;
    }
}

TEST_F(TransferTest, EachOutcomeReplacesTheLastStatusMessage) {
    QSignalSpy notes(&Notices(), &StatusNotices::message);
    const auto last = [&] { return notes.isEmpty() ? QString("-") : notes.last()[0].toString(); };
    Form2& e = Explore("other.img", 1);
    e.Command1->click();
    EXPECT_EQ(last(), "Exported wall.bmp");
    e.Command2->click();
    EXPECT_EQ(last(), "Imported wall.bmp into other.img");
    folder.write("wall.bmp", {'B'});
    e.Command2->click();
    EXPECT_EQ(last(), "Nothing imported: File not found.");
    e.Command1->click();
    WriteImages("other.img", OtherImages(1));
    e.Command2->click();
    EXPECT_TRUE(last().startsWith("other.img has changed on disk since it was shown, so nothing"));
    // Another image clears the explorer's message, never another window's.
    e.Command4->click();
    EXPECT_EQ(last(), "");
    e.Command4->click();
    e.Command1->click();
    EXPECT_EQ(last(), "Nothing exported: Image name is not a valid file name.");
    ShowStatus("Pasted over board 1");
    const auto count = notes.size();
    e.Command4->click();
    EXPECT_EQ(notes.size(), count);
}
