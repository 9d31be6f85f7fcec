// Through the real windows: every file the program replaces can be got back, links stay as
// they were, an import never writes into a file that changed under it, and no file size, name
// length or exception ends the program.
#include <QApplication>
#include <QMessageBox>
#include <QScreen>
#include <QSignalSpy>
#include <QWheelEvent>
#include <fstream>
#include <numeric>

#include "EditorFixture.h"
#include "explorer/Form2.h"
#include "explorer/Module1.h"
#include "platform/ComboBox.h"
#include "platform/Controls.h"
#include "platform/Dialogs.h"
#include "platform/PictureBox.h"
#include "storage/FileWrites.h"
#include "storage/StatusNotices.h"

using namespace krellon;
namespace fs = std::filesystem;

class FileSafetyTest : public EditorTest {
protected:
    void SetUp() override {
        WriteImages("bricks.img", TestBricks(3));
        WriteImages("backs.img", {TestBackground("stone", 64, 64)});
        WriteOther("wall");
        BoardSetContent set = TestSet(2);
        set.boards[0].cell(0, 0) = 1;
        WriteBoardSet("set.bds", set);
        CatchMessages();
    }

    // other.img: a brick named first, then a 5 x 3 image without a palette of its own.
    void WriteOther(const std::string& first) {
        ImageSpec greyed = TestBackground("greyed", 5, 3);
        greyed.palette.clear();
        WriteImages("other.img", {TestBrick(first), greyed});
    }

    // The kept versions of name in the working folder, newest first.
    std::vector<BackupEntry> Kept(const std::string& name) {
        std::vector<BackupEntry> kept;
        for (BackupEntry& entry : Backups().list(folder.path())) {
            if (entry.original.filename() == name) {
                kept.push_back(std::move(entry));
            }
        }
        return kept;
    }

    static std::vector<std::uint8_t> Stored(const BackupEntry& entry) {
        auto bytes = BackupStore::read(entry);
        return bytes.ok() ? bytes.value() : std::vector<std::uint8_t>();
    }
};

TEST_F(FileSafetyTest, ExportAndImportKeepWhatTheyReplacedEvenUnderNamesAsLongAsAFileName) {
    // (The save's kept version, and restoring one, are MainWindowTest's.)
    const std::string name(245, 'n');
    WriteImages("long.img", {TestBrick(name)});
    const std::vector<std::uint8_t> olderBitmap(5000, 0xAB);
    folder.write(name + ".bmp", olderBitmap);
    Open();
    Form2& e = Explore("long.img", 1);
    EXPECT_EQ(Shared().BitmapFile().size(), 249);
    e.Command1->click();
    const auto olderImages = folder.read("long.img");
    std::vector<std::uint8_t> pixels(450, 7);
    folder.write(name + ".bmp", BitmapOf(30, 15, std::vector<ColourValue>(256, 99), pixels).data);
    e.Command2->click();
    ASSERT_TRUE(messages.isEmpty()) << messages.join("\n").toStdString();
    ASSERT_NE(folder.read("long.img"), olderImages);

    const auto bitmap = Kept(name + ".bmp");
    const auto images = Kept("long.img");
    ASSERT_EQ(bitmap.size(), 1u);
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(Stored(bitmap[0]), olderBitmap);
    EXPECT_EQ(bitmap[0].reason, "Export of image 1 of long.img");
    EXPECT_EQ(Stored(images[0]), olderImages);
    EXPECT_EQ(images[0].reason, "Import from " + name + ".bmp");
    EXPECT_EQ(images[0].size, olderImages.size());
    // The working folder holds nothing but the user's files.
    EXPECT_EQ(folder.snapshot().size(), 6u);
}

TEST_F(FileSafetyTest, ABackupThatCannotBeWrittenStopsNothingAndTheStatusBarSaysSo) {
    folder.write("KrelEdit.bds", {'o', 'l', 'd'});
    // A file where the store's folder would go.
    fs::create_directories(data.path() / "krellon_window_tests");
    data.write("krellon_window_tests/backups", {'x'});
    QSignalSpy notes(&Notices(), &StatusNotices::message);
    Form1& f = Open();
    f.Command4->click();
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(f.BoardSetFile, "KrelEdit.bds");
    EXPECT_EQ(folder.read("KrelEdit.bds"), folder.read("set.bds"));
    ASSERT_EQ(notes.size(), 1);
    EXPECT_TRUE(notes[0][0].toString().startsWith("No backup of KrelEdit.bds could be kept: "))
        << notes[0][0].toString().toStdString();
}

// Symbolic links as POSIX has them, made by anyone.
#ifndef _WIN32
TEST_F(FileSafetyTest, SaveExportAndImportWriteThroughLinks) {
    // Every write goes through the one writer, whose keeping of modes and owners through a
    // link is AtomicFileTest's.
    TempFolder elsewhere;
    elsewhere.write("real.bds", {'o', 'l', 'd'});
    fs::rename(folder / "other.img", elsewhere / "real.img");
    elsewhere.write("real.bmp", {'o', 'l', 'd'});
    for (const auto& [link, real] : {std::pair{"KrelEdit.bds", "real.bds"},
                                     {"other.img", "real.img"},
                                     {"wall.bmp", "real.bmp"}}) {
        fs::create_symlink(elsewhere / real, folder / link);
    }
    Form1& f = Open();
    f.Picture1_MouseDown(1, 45, 20);
    f.Command4->click();
    EXPECT_EQ(elsewhere.read("real.bds"), EncodeBoardSet(f.CurrentBoardSet()));
    EXPECT_EQ(f.BoardSetFile, "KrelEdit.bds");
    Form2& e = Explore("other.img", 1);
    e.Command1->click();
    EXPECT_EQ(elsewhere.read("real.bmp").size(), 1558u);
    elsewhere.write("real.bmp",
                    BitmapOf(30, 15, TestPalette(1), std::vector<std::uint8_t>(450, 5)).data);
    e.Command2->click();
    EXPECT_TRUE(messages.isEmpty()) << messages.join("\n").toStdString();
    EXPECT_EQ(elsewhere.read("real.img")[Shared().ImageTable[1].PixelOffset], 5);
    EXPECT_EQ(elsewhere.snapshot().size(), 3u);
    for (const char* name : {"KrelEdit.bds", "other.img", "wall.bmp"}) {
        EXPECT_TRUE(fs::is_symlink(folder / name)) << name;
    }
}

#endif

TEST_F(FileSafetyTest, AnImportIntoAFileReplacedSinceItWasShownWritesNothing) {
    Open();
    Form2& e = Explore("other.img", 2);
    e.Command1->click();  // greyed.bmp, 5 x 3
    // A sync tool replaces the file: a longer first name moves every record after it.
    WriteOther("a much longer wall name");
    const auto replaced = folder.read("other.img");
    e.Command2->click();
    EXPECT_EQ(messages.join("\n").toStdString(),
              "Krellon IMG Explorer|other.img has changed on disk since it was shown, so "
              "nothing was imported. It has been read again.");
    EXPECT_EQ(folder.read("other.img"), replaced);
    // What is shown now is the file as it is: the import goes through.
    EXPECT_EQ(Shared().ImageNames[1], "a much longer wall name");
    EXPECT_EQ(Shared().ImageTable[2].PixelOffset, replaced.size() - 15);
    messages.clear();
    e.Command2->click();
    EXPECT_TRUE(messages.isEmpty()) << messages.join("\n").toStdString();
}

TEST_F(FileSafetyTest, SparseBitmapsImportWithoutBeingReadWhole) {
    Open();
    Form2& e = Explore("other.img", 1);
    const std::uint64_t offset = Shared().ImageTable[1].PixelOffset;
    const auto imported = [&] {
        const auto bytes = folder.read("other.img");
        return std::vector(bytes.begin() + long(offset), bytes.begin() + long(offset) + 450);
    };
    // A terabyte, all but its head a hole.
    std::vector<std::uint8_t> pixels(450);
    std::iota(pixels.begin(), pixels.end(), std::uint8_t{0});
    folder.write("wall.bmp", BitmapOf(30, 15, TestPalette(3), pixels).data);
    ResizeSparse(folder / "wall.bmp", std::uint64_t{1} << 40);
    e.Command2->click();
    EXPECT_TRUE(messages.isEmpty()) << messages.join("\n").toStdString();
    EXPECT_EQ(imported(), pixels);

    // Rows said to start far into a sparse file: only the head and the rows are read.
    std::reverse(pixels.begin(), pixels.end());
    Bytes far = BitmapOf(30, 15, TestPalette(4), pixels);
    const std::uint32_t rowsAt = 0x7FFF0000;
    for (int i = 0; i < 4; ++i) {
        far.data[10 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(rowsAt >> (8 * i));
    }
    const std::vector<std::uint8_t> rows(far.data.begin() + 1078, far.data.end());
    far.data.resize(1078);
    folder.write("wall.bmp", far.data);
    ResizeSparse(folder / "wall.bmp", rowsAt);
    std::ofstream(folder / "wall.bmp", std::ios::binary | std::ios::app)
        .write(reinterpret_cast<const char*>(rows.data()), std::streamsize(rows.size()));
    e.Command2->click();
    EXPECT_TRUE(messages.isEmpty()) << messages.join("\n").toStdString();
    EXPECT_EQ(imported(), pixels);
}

TEST_F(FileSafetyTest, AnExceptionInAHandlerBecomesAMessageAndTheProgramGoesOn) {
    Form1& f = Open();
    const auto before = f.CurrentBoardSet();
    f.Command3->Click = [] { throw std::bad_alloc(); };
    f.Command3->click();
    f.Command1->Click = [] { throw std::runtime_error("disk on fire"); };
    f.Command1->click();
    EXPECT_EQ(messages.join("\n").toStdString(),
              "Krellon Boards Editor|There is not enough memory for this action. It was "
              "stopped.\n"
              "Krellon Boards Editor|This action was stopped: disk on fire");
    EXPECT_TRUE(f.CurrentBoardSet() == before);
    f.Command2->click();
    EXPECT_EQ(f.CurrentBoard, 2);
}

TEST_F(FileSafetyTest, AnImportUpdatesTheEditorWhateverLetterCaseNamesItsFile) {
    BoardSetContent set = TestSet(1);
    set.brickSetFile = "BRICKS.IMG";
    set.backgroundSetFile = "Backs.Img";
    set.boards[0].cell(0, 0) = 1;
    WriteBoardSet("set.bds", set);
    Form1& f = Open();
    ASSERT_EQ(f.BrickCount(), 3);  // found, and kept as the set names it
    EXPECT_EQ(f.BrickSetFile(), "BRICKS.IMG");
    EXPECT_EQ(f.BackgroundCount(), 1);
    Form2& e = Explore("bricks.img", 1);
    const ColourValue red = MakeColour(200, 10, 20);
    folder.write("brick 1.bmp", BitmapOf(30, 15, std::vector<ColourValue>(256, red),
                                         std::vector<std::uint8_t>(450, 9))
                                    .data);
    e.Command2->click();
    EXPECT_TRUE(messages.isEmpty()) << messages.join("\n").toStdString();
    // The board and the palette show the new brick at once.
    EXPECT_EQ(PixelAt(f.Picture1->image(), 10, 7), red);
    EXPECT_EQ(PixelAt(f.Picture2->image(), Form1::SlotLeft(1) + 3, Form1::SlotTop(1) + 3), red);
}

TEST_F(FileSafetyTest, TheWheelOverAListWithoutTheFocusPicksNothing) {
    WriteBoardSet("other.bds", TestSet(4));
    Form1& f = Open();
    f.show();
    f.Picture1->setFocus();
    const QString open = f.BoardSetFile;
    const QPointF at(10, 10);
    for (int delta : {-120, 120, -120}) {
        QWheelEvent wheel(at, f.Combo3->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(f.Combo3, &wheel);
    }
    EXPECT_EQ(f.BoardSetFile, open);
    EXPECT_EQ(f.Combo3->Text(), open);
}

TEST_F(FileSafetyTest, AMessageWithALongNameWrapsInsideTheScreen) {
    Form1& f = Open();
    f.show();
    const QString text = "Could not write " + QString(245, 'n') + ".bmp: No space left on device";
    auto box = MakeMessageBox(&f, text, "Krellon IMG Explorer");
    box->show();
    const QRect screen = f.screen()->availableGeometry();
    EXPECT_LE(box->width(), screen.width());
    EXPECT_LE(box->height(), screen.height());
    // Every character is there, only with places to break.
    EXPECT_EQ(box->text().remove(QChar(0x200B)), text);
}
