// Malformed files in the working folder, driven through both windows as a user would. Which
// records a damaged file yields is the format tests' business; here nothing may crash, the
// windows' lists, counts and surfaces must agree, and no file may change but by a write.

#include <climits>
#include <map>

#include "EditorFixture.h"
#include "explorer/Form2.h"
#include "explorer/Module1.h"
#include "platform/ComboBox.h"
#include "platform/Controls.h"
#include "platform/Dialogs.h"
#include "platform/Label.h"
#include "platform/PictureBox.h"

using namespace krellon;

namespace {

using Snapshot = std::map<std::string, std::vector<std::uint8_t>>;

std::vector<std::uint8_t> Patched(std::vector<std::uint8_t> bytes, std::size_t at, std::int32_t v) {
    for (std::size_t i = 0; i < 4; ++i) {
        bytes[at + i] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(v) >> (8 * i));
    }
    return bytes;
}

bool Within(std::int64_t value, std::int64_t low, std::int64_t high) {
    return low <= value && value <= high;
}

// A small image file: a file palette of 4 entries, a 30 x 15 brick named "Hidden" with its own
// palette of 3 entries, one without, and an 8 x 8 background. About 1,100 bytes.
std::vector<std::uint8_t> SmallImageFile() {
    ImageSpec hidden = TestBrick("Hidden", 1);
    hidden.palette.resize(3);
    ImageSpec plain = TestBrick("b", 2);
    plain.palette.clear();
    ImageSpec back = TestBackground("bg", 8, 8);
    back.palette.clear();
    return BuildImageFile({hidden, plain, back}, {MakeColour(9, 9, 9), MakeColour(1, 2, 3),
                                                  MakeColour(200, 0, 0), MakeColour(0, 0, 200)});
}
// Where the fields of SmallImageFile's records lie.
constexpr std::size_t kImageCountAt = 8;
constexpr std::size_t kFilePaletteCountAt = 12;
constexpr std::size_t kFirstRecordAt = 16 + 4 * 4;
constexpr std::size_t kFirstWidthAt = kFirstRecordAt + 4 + 7;
constexpr std::size_t kFirstHeightAt = kFirstWidthAt + 4;
constexpr std::size_t kFirstPaletteCountAt = kFirstHeightAt + 12;

std::vector<std::uint8_t> ManyImages(int count, int w, int h) {
    std::vector<ImageSpec> images;
    for (int i = 0; i < count; ++i) {
        // Appended, not "i" + ...: GCC 12 warns falsely on that (-Wrestrict).
        ImageSpec image = TestBackground(std::string("i").append(std::to_string(i)), w, h);
        image.palette.clear();
        images.push_back(image);
    }
    return BuildImageFile(images, GreyPalette());
}

// A one-board set over image file name, with bricks, hidden bricks and missing codes.
BoardSetContent SetOver(const std::string& name) {
    BoardSetContent set = TestSet(2);
    set.brickSetFile = name;
    set.backgroundSetFile = name;
    set.boards[0].background = 2;
    for (int c = 0; c < kBoardColumns; ++c) {
        set.boards[0].cell(c, 3) = c % 4;  // 0 empty, 1 hidden, 2 a brick, 3 past the set
        set.boards[0].cell(c, 7) = 100 + c;
    }
    set.boards[1].background = -5;
    set.boards[1].cell(0, 0) = -1;
    set.boards[1].cell(1, 0) = INT_MAX;
    return set;
}

}  // namespace

class HostileFilesTest : public EditorTest {
protected:
    void SetUp() override {
        WriteImages("bricks.img", TestBricks(5));
        WriteImages("backs.img", {TestBackground("stone", 64, 64)});
        WriteBoardSet("good.bds", TestSet(3));
        CatchMessages();
    }

    // The editor's lists, counts and surfaces agree with what it holds; the board shown is
    // exactly what a full repaint draws.
    void ExpectEditorConsistent(const std::string& what) {
        Form1& f = *form;
        SCOPED_TRACE(what);
        EXPECT_PRED3(Within, f.BoardCount(), 1, 100);
        EXPECT_PRED3(Within, f.CurrentBoard, 1, f.BoardCount());
        EXPECT_PRED3(Within, f.BrickCount(), 0, 119);
        EXPECT_EQ(f.Combo2->ListCount(), f.BrickCount());
        EXPECT_PRED3(Within, f.BackgroundCount(), 0, 69);
        EXPECT_EQ(f.Combo1->ListCount(), f.BackgroundCount());
        EXPECT_PRED3(Within, f.SelectedBrick, 0, std::max(f.BrickCount(), 1));
        EXPECT_EQ(f.Combo5->Text(), f.BrickSetFile());
        EXPECT_EQ(f.Combo4->Text(), f.BackgroundSetFile());
        EXPECT_EQ(f.Label5->Caption(), "Board " + QString::number(f.CurrentBoard));
        EXPECT_EQ(f.Picture1->image().size(), QSize(600, 300));
        EXPECT_EQ(f.Picture2->image().size(), QSize(561, 167));
        const QImage shown = f.Picture1->image().copy();
        f.PaintBoard();
        for (int c = 0; c < kBoardColumns; ++c) {
            for (int r = 0; r < kBoardRows; ++r) {
                // A code past the set whose name an earlier, larger set left as "Hidden" is
                // the one cell that the toggle draws unlike a full repaint.
                const std::int32_t k = f.BrickGrid(f.CurrentBoard, c, r);
                if (k > f.BrickCount() && k <= 119 && f.BrickNames()[k] == "Hidden") {
                    continue;
                }
                const QRect cell(c * 30, r * 15, 30, 15);
                ASSERT_TRUE(shown.copy(cell) == f.Picture1->image().copy(cell))
                    << "cell " << c << ", " << r << " differs from a full repaint";
            }
        }
    }

    void ExpectExplorerConsistent(const Form2& e, const std::string& what) {
        const Module1& m = Shared();
        SCOPED_TRACE(what);
        EXPECT_PRED3(Within, m.ImageCount, 0, 119);
        EXPECT_EQ(e.Combo2->ListCount(), m.ImageCount);
        if (e.Command4->isEnabled()) {
            ASSERT_PRED3(Within, m.CurrentImage, 1, m.ImageCount);
            EXPECT_EQ(e.windowTitle(), "Krellon IMG Explorer  - image " +
                                           QString::number(m.CurrentImage) + " of " +
                                           QString::number(m.ImageCount));
            const auto& slot = m.ImageTable[static_cast<std::size_t>(m.CurrentImage)];
            const std::int64_t w = slot.Width;
            const std::int64_t h = slot.Height;
            const bool drawn = w > 0 && h > 0 && w * h <= 4096 * 4096;
            EXPECT_EQ(e.Picture1->image().size(),
                      drawn ? QSize(int(w) * e.Scale, int(h) * e.Scale) : QSize(0, 0));
            EXPECT_EQ(e.Command1->isEnabled(), w > 0 && h > 0);
        } else {
            EXPECT_EQ(e.windowTitle(), "Krellon IMG Explorer");
            EXPECT_FALSE(e.Command1->isEnabled());
            EXPECT_FALSE(e.Command2->isEnabled());
        }
    }

    // Opens the editor on the folder as it is, picks board set bds in Combo3 if it is listed,
    // then drives every control that reads files.
    void DriveEditor(const std::string& bds, const std::string& what) {
        Open();
        ExpectEditorConsistent(what + ", start-up");
        const int index = form->Combo3->findText(QString::fromStdString(bds));
        if (index >= 0) {
            const QString before = form->BoardSetFile;
            Pick(form->Combo3, index);
            EXPECT_TRUE(form->BoardSetFile == QString::fromStdString(bds) ||
                        form->BoardSetFile == before);
        }
        ExpectEditorConsistent(what + ", picked");
        for (int i = 0; i < form->BoardCount(); ++i) {
            form->Command2->click();
        }
        for (int mode : {1, 2, 0}) {
            form->Option1->Button(mode)->click();
        }
        form->Check1->click();
        ExpectEditorConsistent(what + ", hidden bricks off");
        form->Check1->click();
        for (int i = 0; i < form->Combo1->ListCount(); ++i) {
            Pick(form->Combo1, i);
        }
        ExpectEditorConsistent(what + ", every background");
        // Where the start-up scan sorted the file into a list, the user can pick it there.
        for (ComboBox* list : {form->Combo5, form->Combo4}) {
            const int listed = list->findText("hostile.img");
            if (listed >= 0) {
                Pick(list, list->findText("bricks.img") >= 0 ? list->findText("bricks.img")
                                                             : list->findText("backs.img"));
                Pick(list, listed);
                ExpectEditorConsistent(what + ", picked in its list");
            }
        }
    }

    // Opens the explorer on the editor's brick set and steps through every image both ways;
    // with transfer, exports and imports the image it opens on and the last, which must give
    // back the image file byte for byte.
    void DriveExplorer(const std::string& what, bool transfer = false) {
        form->Picture4_Click();
        Form2* e = Shared().Explorer;
        ASSERT_NE(e, nullptr);
        ExpectExplorerConsistent(*e, what + ", opened");
        const int steps = Shared().ImageCount + 1;
        for (int i = 0; i < steps; ++i) {
            if (transfer && (i == 0 || i == steps - 2) && e->Command1->isEnabled()) {
                const auto file = std::filesystem::path(Shared().ExplorerFile.toStdString());
                const auto before = folder.read(file.string());
                e->Command1->click();
                e->Command2->click();
                EXPECT_EQ(folder.read(file.string()), before) << what << ", image " << i;
            }
            if (e->Command4->isEnabled()) {
                e->Command4->click();
            }
            ExpectExplorerConsistent(*e, what + ", next");
        }
        for (int i = 0; i < steps && e->Command3->isEnabled(); ++i) {
            e->Command3->click();
        }
        ExpectExplorerConsistent(*e, what + ", previous");
    }

    // The whole round for image file bytes: a set over it, the editor, the explorer opened
    // from the editor and picked in its own list; then no file but the exported bitmaps
    // differs from before.
    void DriveImageFile(const std::vector<std::uint8_t>& bytes, const std::string& what) {
        folder.write("hostile.img", bytes);
        WriteBoardSet("hostile.bds", SetOver("hostile.img"));
        const auto withoutBitmaps = [this] {
            Snapshot files = folder.snapshot();
            std::erase_if(files, [](const auto& file) { return file.first.ends_with(".bmp"); });
            return files;
        };
        const Snapshot before = withoutBitmaps();
        DriveEditor("hostile.bds", what);
        DriveExplorer(what);
        ComboBox* list = Explore("bricks.img", 1).Combo1;
        Pick(list, list->findText("hostile.img"));
        EXPECT_EQ(Shared().ExplorerFile, "hostile.img");
        DriveExplorer(what + ", from the explorer's list", true);
        EXPECT_TRUE(withoutBitmaps() == before) << what << ": a file changed";
    }

    void DriveBoardSet(const std::vector<std::uint8_t>& bytes, const std::string& what) {
        folder.write("hostile.bds", bytes);
        const Snapshot before = folder.snapshot();
        DriveEditor("hostile.bds", what);
        EXPECT_TRUE(folder.snapshot() == before) << what << ": a file changed";
    }
};

TEST_F(HostileFilesTest, BoardSetsCutShortOrWithNumbersOutOfRange) {
    // Listed before good.bds, a cut file is passed over at start-up without a word, refused
    // with its reason when picked, and the set open stays.
    const auto valid = EncodeBoardSet(SetOver("bricks.img"));
    folder.write("cut.bds", {valid.begin(), valid.end() - 1});
    const Snapshot files = folder.snapshot();
    DriveEditor("cut.bds", "a set cut short");
    EXPECT_EQ(
        messages,
        QStringList(
            "Krellon Boards Editor|cut.bds is not a valid board set file: the file ends inside "
            "board 2 of 2."));
    EXPECT_EQ(form->BoardSetFile, "good.bds");
    EXPECT_TRUE(folder.snapshot() == files);
    // Numbers no editor writes are shown safely and kept.
    BoardSetContent set = SetOver("bricks.img");
    set.boards[0].background = INT_MAX;
    set.boards[1].background = INT_MIN;
    set.boards[1].cell(2, 2) = INT_MIN;
    set.boards[1].cell(19, 19) = 120;
    DriveBoardSet(EncodeBoardSet(set), "numbers out of range");
    Open();
    Pick(form->Combo3, form->Combo3->findText("hostile.bds"));
    ASSERT_EQ(form->BoardSetFile, "hostile.bds");
    EXPECT_TRUE(form->CurrentBoardSet() == set);
}

TEST_F(HostileFilesTest, ImageFilesCutShortOrWithCountsAndSizesPastTheirLimits) {
    [[maybe_unused]] const long before = PeakMemoryKiB();  // unused under the sanitizer
    const auto valid = SmallImageFile();
    ASSERT_EQ(valid.size(), 1092u);  // the lengths below fall where they say
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> files;
    // Cut in the header, the file palette, the first name, palette and pixels, between and in
    // the later records, and about where the brick loader reads the first brick (1040).
    for (const std::size_t length : {0, 10, 20, 40, 65, 300, 525, 800, 1040, 1050, 1091}) {
        files.emplace_back("cut to " + std::to_string(length),
                           std::vector(valid.begin(), valid.begin() + static_cast<long>(length)));
    }
    // The last image's height states more rows than the file holds.
    const std::size_t lastHeightAt = valid.size() - 64 - 12;
    const std::pair<std::size_t, std::int32_t> patches[] = {
        {kImageCountAt, 0},         {kImageCountAt, INT_MAX},  {kFilePaletteCountAt, 257},
        {kFirstPaletteCountAt, -1}, {kFirstWidthAt, 0},        {kFirstWidthAt, -30},
        {kFirstWidthAt, 65536},     {kFirstHeightAt, INT_MIN}, {lastHeightAt, 9},
        {kFirstRecordAt, INT_MAX},  // the first name's count
    };
    for (const auto& [at, value] : patches) {
        files.emplace_back(std::to_string(value) + " at " + std::to_string(at),
                           Patched(valid, at, value));
    }
    files.emplace_back("a terapixel image",
                       Patched(Patched(valid, kFirstWidthAt, 1 << 20), kFirstHeightAt, 1 << 20));
    files.emplace_back("120 bricks", ManyImages(120, 30, 15));
    files.emplace_back("70 backgrounds", ManyImages(70, 64, 64));
    DriveBoardSet(Patched(EncodeBoardSet(SetOver("x.img")), 12, INT_MAX), "a text count");
    for (const auto& [what, bytes] : files) {
        DriveImageFile(bytes, what);
    }
    // Counts past every limit allocate nothing the file cannot back.
#if !defined(__SANITIZE_ADDRESS__)  // the sanitizer's own memory hides the program's
    EXPECT_LT(PeakMemoryKiB() - before, 32 * 1024) << "kB more at peak";
#endif
    // 120 bricks: 119 loaded and browsed; as backgrounds, 69 listed.
    folder.write("hostile.img", ManyImages(120, 30, 15));
    Open();
    Pick(form->Combo3, form->Combo3->findText("hostile.bds"));
    EXPECT_EQ(form->BrickCount(), 119);
    EXPECT_EQ(form->BackgroundCount(), 69);
    form->SelectedBrick = 119;
    form->Picture4_Click();
    EXPECT_EQ(Shared().ImageCount, 119);
    EXPECT_EQ(Shared().Explorer->Combo2->ListCount(), 119);
}

TEST_F(HostileFilesTest, DirectoriesAndPipesNamedLikeDataFiles) {
    std::filesystem::create_directory(folder / "adir.bds");
    std::filesystem::create_directory(folder / "adir.img");
#ifdef _WIN32
    // The console's input would stall a program that reads it as a file, as a pipe would.
    const std::string pipe = "CON.img";
#else
    // A named pipe that nobody writes to would stall a program that opens it to read.
    const std::string pipe = "pipe.img";
    ASSERT_EQ(mkfifo((folder / "pipe.img").c_str(), 0600), 0);
    ASSERT_EQ(mkfifo((folder / "pipe.bds").c_str(), 0600), 0);
#endif
    WriteBoardSet("uses-pipe.bds", SetOver(pipe));
    DriveEditor("uses-pipe.bds", "a pipe as image file");
    EXPECT_EQ(form->BrickCount(), 0);
    Shared().ExplorerFile = QString::fromStdString(pipe);
    Form2::ShowExplorer();
    EXPECT_EQ(Shared().ImageCount, 0);
    WriteBoardSet("uses-dir.bds", SetOver("adir.img"));
    const Snapshot before = folder.snapshot();
    messages.clear();
    DriveEditor("adir.bds", "a folder as board set");
    EXPECT_TRUE(
        messages.empty() ||
        messages[0].startsWith("Krellon Boards Editor|adir.bds is not a valid board set file: "));
    EXPECT_NE(form->BoardSetFile, "adir.bds");
    DriveEditor("uses-dir.bds", "a folder as image file");
    EXPECT_EQ(form->BrickCount(), 0);
    DriveExplorer("a folder in the explorer");
    EXPECT_TRUE(folder.snapshot() == before);
}
