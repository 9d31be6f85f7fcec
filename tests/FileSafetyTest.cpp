// Through the real windows: every file the program replaces can be got back, links and owners
// stay as they were, an import never writes into a file that changed under it, and no file
// size, name length or exception ends the program.
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QMessageBox>
#include <QScreen>
#include <QSignalSpy>
#include <QWheelEvent>

#include "EditorFixture.h"
#include "explorer/Form2.h"
#include "explorer/Module1.h"
#include "platform/ComboBox.h"
#include "platform/Controls.h"
#include "platform/Dialogs.h"
#include "platform/PictureBox.h"
#include "storage/FileSource.h"
#include "storage/FileWrites.h"
#include "storage/StatusNotices.h"

using namespace krellon;
namespace fs = std::filesystem;

class FileSafetyTest : public EditorTest {
protected:
    void SetUp() override {
        WriteImages("bricks.img", TestBricks(3));
        WriteImages("backs.img", {TestBackground("stone", 64, 64)});
        ImageSpec greyed = TestBackground("greyed", 5, 3);
        greyed.palette.clear();
        WriteImages("other.img", {TestBrick("wall"), greyed});
        BoardSetContent set = TestSet(2);
        set.boards[0].cell(0, 0) = 1;
        WriteBoardSet("set.bds", set);
        SetMessageHandlerForTesting(
            [this](const QString& text, const QString& title) { messages << title + "|" + text; });
    }
    void TearDown() override { SetMessageHandlerForTesting(nullptr); }

    // The kept version of name in the working folder, newest first.
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
        auto bytes = BackupStore::Read(entry);
        return bytes.ok() ? bytes.value() : std::vector<std::uint8_t>();
    }

    QStringList messages;
};

TEST_F(FileSafetyTest, SaveImportAndExportKeepWhatTheyReplacedAndEachCanBeRestored) {
    // An older "KrelEdit.bds" that is not the set now open, and an older bitmap.
    const std::vector<std::uint8_t> olderSet{'a', 'n', ' ', 'h', 'o', 'u', 'r', ' ', 'a', 'g', 'o'};
    const std::vector<std::uint8_t> olderBitmap(5000, 0xAB);
    folder.write("KrelEdit.bds", olderSet);
    folder.write("wall.bmp", olderBitmap);
    Form1& f = Open();
    ASSERT_EQ(f.BoardSetFile, "set.bds");
    f.Command4->click();
    const auto savedSet = folder.read("KrelEdit.bds");

    Form2& e = Explore("other.img", 1);
    e.Command1->click();
    const auto exported = folder.read("wall.bmp");
    const auto olderImages = folder.read("other.img");
    std::vector<std::uint8_t> pixels(450, 7);
    folder.write("wall.bmp", BitmapOf(30, 15, std::vector<ColourValue>(256, 99), pixels).data);
    const auto edited = folder.read("wall.bmp");
    e.Command2->click();
    ASSERT_TRUE(messages.isEmpty()) << messages.join("\n").toStdString();
    const auto imported = folder.read("other.img");
    ASSERT_NE(imported, olderImages);

    auto set = Kept("KrelEdit.bds");
    auto bitmap = Kept("wall.bmp");
    auto images = Kept("other.img");
    ASSERT_EQ(set.size(), 1u);
    ASSERT_EQ(bitmap.size(), 1u);
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(Stored(set[0]), olderSet);
    EXPECT_EQ(set[0].reason, "Save of set.bds");
    EXPECT_EQ(Stored(bitmap[0]), olderBitmap);
    EXPECT_EQ(bitmap[0].reason, "Export of image 1 of other.img");
    EXPECT_EQ(Stored(images[0]), olderImages);
    EXPECT_EQ(images[0].reason, "Import from wall.bmp");
    EXPECT_EQ(images[0].size, olderImages.size());

    // Each comes back, and what it replaced is kept in turn.
    for (const BackupEntry& entry : {set[0], bitmap[0], images[0]}) {
        ASSERT_TRUE(RestoreBackup(entry).ok());
    }
    EXPECT_EQ(folder.read("KrelEdit.bds"), olderSet);
    EXPECT_EQ(folder.read("wall.bmp"), olderBitmap);
    EXPECT_EQ(folder.read("other.img"), olderImages);
    EXPECT_EQ(Stored(Kept("KrelEdit.bds").front()), savedSet);
    EXPECT_EQ(Stored(Kept("wall.bmp").front()), edited);
    EXPECT_EQ(Stored(Kept("other.img").front()), imported);
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

TEST_F(FileSafetyTest, SavingThroughASymbolicLinkUpdatesTheFileItNames) {
    TempFolder elsewhere;
    elsewhere.write("real.bds", {'o', 'l', 'd'});
    fs::create_symlink(elsewhere / "real.bds", folder / "KrelEdit.bds");
    Form1& f = Open();
    f.Picture1_MouseDown(1, 45, 20);
    f.Command4->click();
    EXPECT_TRUE(messages.isEmpty()) << messages.join("\n").toStdString();
    EXPECT_TRUE(fs::is_symlink(folder / "KrelEdit.bds"));
    EXPECT_EQ(elsewhere.read("real.bds"), EncodeBoardSet(f.CurrentBoardSet()));
    EXPECT_EQ(f.BoardSetFile, "KrelEdit.bds");
    EXPECT_EQ(f.BrickGrid(1, 1, 1), 1);
    EXPECT_EQ(elsewhere.snapshot().size(), 1u);
}

TEST_F(FileSafetyTest, ExportAndImportGoThroughLinkedBitmapsAndImageFiles) {
    TempFolder elsewhere;
    fs::rename(folder / "other.img", elsewhere / "real.img");
    fs::create_symlink(elsewhere / "real.img", folder / "other.img");
    elsewhere.write("real.bmp", {'o', 'l', 'd'});
    fs::create_symlink(elsewhere / "real.bmp", folder / "wall.bmp");
    Open();
    Form2& e = Explore("other.img", 1);
    e.Command1->click();
    const auto exported = elsewhere.read("real.bmp");
    EXPECT_EQ(exported.size(), 1558u);
    std::vector<std::uint8_t> pixels(450, 5);
    elsewhere.write("real.bmp", BitmapOf(30, 15, TestPalette(1), pixels).data);
    e.Command2->click();
    EXPECT_TRUE(messages.isEmpty()) << messages.join("\n").toStdString();
    EXPECT_TRUE(fs::is_symlink(folder / "other.img"));
    EXPECT_TRUE(fs::is_symlink(folder / "wall.bmp"));
    const auto after = elsewhere.read("real.img");
    EXPECT_EQ(after[Shared().ImageTable[1].PixelOffset], 5);
    EXPECT_EQ(elsewhere.snapshot().size(), 2u);
}

TEST_F(FileSafetyTest, SavingAndImportingKeepOwnerGroupAndMode) {
    folder.write("KrelEdit.bds", {'o', 'l', 'd'});
    for (const char* name : {"KrelEdit.bds", "other.img"}) {
        fs::permissions(folder / name, fs::perms(0660));
        if (::geteuid() == 0) {
            ASSERT_EQ(::chown((folder / name).c_str(), 1234, 100), 0);
        }
    }
    Form1& f = Open();
    f.Command4->click();
    Form2& e = Explore("other.img", 1);
    e.Command1->click();
    e.Command2->click();
    EXPECT_TRUE(messages.isEmpty()) << messages.join("\n").toStdString();
    for (const char* name : {"KrelEdit.bds", "other.img"}) {
        struct stat status {};
        ASSERT_EQ(::stat((folder / name).c_str(), &status), 0);
        EXPECT_EQ(status.st_mode & 07777, 0660u) << name;
        if (::geteuid() == 0) {
            EXPECT_EQ(status.st_uid, 1234u) << name;
            EXPECT_EQ(status.st_gid, 100u) << name;
        }
    }
}

TEST_F(FileSafetyTest, AnImportIntoAFileReplacedSinceItWasShownWritesNothing) {
    Open();
    Form2& e = Explore("other.img", 2);
    e.Command1->click();  // greyed.bmp, 5 x 3
    // A sync tool replaces the file: a longer first name moves every record after it.
    ImageSpec greyed = TestBackground("greyed", 5, 3);
    greyed.palette.clear();
    WriteImages("other.img", {TestBrick("a much longer wall name"), greyed});
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

TEST_F(FileSafetyTest, ASparseTerabyteBitmapImportsWithoutReadingItWhole) {
    Open();
    Form2& e = Explore("other.img", 1);
    std::vector<std::uint8_t> pixels(450);
    for (int i = 0; i < 450; ++i) {
        pixels[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
    }
    folder.write("wall.bmp", BitmapOf(30, 15, TestPalette(3), pixels).data);
    fs::resize_file(folder / "wall.bmp", std::uintmax_t{1} << 40);
    e.Command2->click();
    EXPECT_TRUE(messages.isEmpty()) << messages.join("\n").toStdString();
    const auto after = folder.read("other.img");
    const std::uint64_t offset = Shared().ImageTable[1].PixelOffset;
    EXPECT_TRUE(std::equal(pixels.begin(), pixels.end(),
                           after.begin() + static_cast<std::ptrdiff_t>(offset)));
    fs::remove(folder / "wall.bmp");

    // Rows said to start far into a sparse file: only the head and the rows are read.
    Bytes far = BitmapOf(30, 15, TestPalette(4), pixels);
    const std::uint32_t rowsAt = 0x7FFF0000;
    for (int i = 0; i < 4; ++i) {
        far.data[10 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(rowsAt >> (8 * i));
    }
    const std::vector<std::uint8_t> rows(far.data.begin() + 1078, far.data.end());
    far.data.resize(1078);
    folder.write("wall.bmp", far.data);
    fs::resize_file(folder / "wall.bmp", rowsAt);
    {
        std::FILE* out = std::fopen((folder / "wall.bmp").c_str(), "ab");
        std::fwrite(rows.data(), 1, rows.size(), out);
        std::fclose(out);
    }
    std::reverse(pixels.begin(), pixels.end());
    e.Command2->click();
    EXPECT_TRUE(messages.isEmpty()) << messages.join("\n").toStdString();
    const auto again = folder.read("other.img");
    EXPECT_FALSE(std::equal(pixels.begin(), pixels.end(),
                            again.begin() + static_cast<std::ptrdiff_t>(offset)));
}

TEST_F(FileSafetyTest, ImagesWithNamesAsLongAsAFileNameCanBeExportedAndImported) {
    const std::string name(245, 'n');
    WriteImages("long.img", {TestBrick(name)});
    Open();
    Form2& e = Explore("long.img", 1);
    EXPECT_EQ(Shared().BitmapFile().size(), 249);
    e.Command1->click();
    e.Command1->click();  // over the first export
    e.Command2->click();
    EXPECT_TRUE(messages.isEmpty()) << messages.join("\n").toStdString();
    EXPECT_TRUE(fs::exists(folder / (name + ".bmp")));
    EXPECT_EQ(folder.snapshot().size(), 6u);
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

TEST_F(FileSafetyTest, TheExplorerOnAnImageTheFileNoLongerHoldsShowsTheLastOne) {
    Open();
    std::vector<ImageSpec> twelve;
    for (int i = 0; i < 12; ++i) {
        twelve.push_back(TestBrick("brick " + std::to_string(i + 1), i));
    }
    WriteImages("many.img", twelve);
    Form2& e = Explore("many.img", 10);
    twelve.resize(5);
    WriteImages("many.img", twelve);
    e.Form_Activate();
    EXPECT_EQ(Shared().CurrentImage, 5);
    EXPECT_EQ(e.windowTitle(), "Krellon IMG Explorer  - image 5 of 5");
    EXPECT_TRUE(e.Command1->isEnabled());
    EXPECT_EQ(e.Combo2->Text(), "brick 5");
}

TEST_F(FileSafetyTest, WithNoBrickSelectedTheBrickListShowsNone) {
    BoardSetContent set = TestSet(1);
    set.brickSetFile = "missing.img";
    WriteBoardSet("set.bds", set);
    Form1& f = Open();
    EXPECT_EQ(f.SelectedBrick, 0);
    Pick(f.Combo5, f.Combo5->findText("bricks.img"));
    EXPECT_EQ(f.BrickCount(), 3);
    EXPECT_EQ(f.SelectedBrick, 0);
    EXPECT_EQ(f.Combo2->ListIndex(), -1);
    EXPECT_EQ(f.Combo2->Text(), "");
    // What the list shows is what a press does: it empties the cell.
    f.Picture1_MouseDown(1, 5, 5);
    EXPECT_EQ(f.BrickGrid(1, 0, 0), 0);
}

TEST_F(FileSafetyTest, AnImportUpdatesTheEditorWhateverLetterCaseNamesItsFile) {
    BoardSetContent set = TestSet(1);
    set.brickSetFile = "BRICKS.IMG";
    set.boards[0].cell(0, 0) = 1;
    WriteBoardSet("set.bds", set);
    Form1& f = Open();
    ASSERT_EQ(f.BrickCount(), 3);
    Form2& e = Explore("bricks.img", 1);
    folder.write("brick 1.bmp",
                 BitmapOf(30, 15, std::vector<ColourValue>(256, MakeColour(200, 10, 20)),
                          std::vector<std::uint8_t>(450, 9))
                     .data);
    e.Command2->click();
    EXPECT_TRUE(messages.isEmpty()) << messages.join("\n").toStdString();
    // The board and the palette show the new brick at once.
    EXPECT_EQ(PixelAt(f.Picture1->image(), 10, 7), MakeColour(200, 10, 20));
    EXPECT_EQ(PixelAt(f.Picture2->image(), Form1::SlotLeft(1) + 3, Form1::SlotTop(1) + 3),
              MakeColour(200, 10, 20));
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
    const QString name = QString(245, 'n') + ".bmp";
    auto box = MakeMessageBox(&f, "Could not write " + name + ": No space left on device",
                              "Krellon IMG Explorer");
    box->show();
    const QRect screen = f.screen()->availableGeometry();
    EXPECT_LE(box->width(), screen.width());
    EXPECT_LE(box->height(), screen.height());
    // Every character is there, only with places to break.
    QString shown = box->text();
    shown.remove(QChar(0x200B));
    EXPECT_EQ(shown, "Could not write " + name + ": No space left on device");
}
