// Writes that fail: the disk stops after N bytes (for every N of the file), or the file cannot
// be replaced. Save and import then leave every file as it was, say why, and the program goes
// on working.
#include <functional>

#include "EditorFixture.h"
#include "explorer/Form2.h"
#include "explorer/Module1.h"
#include "platform/ComboBox.h"
#include "platform/Controls.h"
#include "platform/Dialogs.h"
#include "platform/PictureBox.h"
#include "storage/AtomicFile.h"

using namespace krellon;

class FailingDiskTest : public EditorTest {
protected:
    void SetUp() override {
        WriteImages("bricks.img", TestBricks(2));
        WriteImages("backs.img", {TestBackground("stone", 16, 16)});
        BoardSetContent set = TestSet(2);
        set.boards[0].cell(3, 4) = 2;
        WriteBoardSet("set.bds", set);
        CatchMessages();
    }
    void TearDown() override { SetWriteFailureAfterBytesForTesting(std::nullopt); }

    // Clicks button with the disk stopping after n bytes, for every n below size: each time
    // one message that starts with said, the folder as it was, and unchanged() holds. Then the
    // disk comes back, and the same click goes through.
    void FailAfterEveryByte(QAbstractButton* button, std::uint64_t size, const QString& said,
                            const std::function<bool()>& unchanged) {
        const auto files = folder.snapshot();
        for (std::uint64_t n = 0; n < size; ++n) {
            messages.clear();
            SetWriteFailureAfterBytesForTesting(n);
            button->click();
            ASSERT_EQ(messages.size(), 1) << n;
            ASSERT_TRUE(messages[0].startsWith(said)) << messages[0].toStdString();
            ASSERT_TRUE(folder.snapshot() == files) << "after " << n << " bytes";
            ASSERT_TRUE(unchanged()) << "after " << n << " bytes";
        }
        SetWriteFailureAfterBytesForTesting(std::nullopt);
        messages.clear();
        button->click();
        EXPECT_TRUE(messages.isEmpty()) << messages.join("\n").toStdString();
    }
};

TEST_F(FailingDiskTest, ASaveCutOffAtAnyByteLeavesTheOldFileAndTheEditorAsTheyWere) {
    Form1& f = Open();
    // A first save that fails leaves no file behind.
    const auto none = folder.snapshot();
    for (std::uint64_t n : {0u, 1u, 500u, 1700u}) {
        SetWriteFailureAfterBytesForTesting(n);
        f.Command4->click();
        ASSERT_TRUE(folder.snapshot() == none) << n;
    }
    folder.write("KrelEdit.bds", {'o', 'l', 'd'});
    f.Command2->click();
    f.Picture1_MouseDown(1, 45, 20);  // brick 1 at column 1, row 1 of board 2
    const BoardSetContent edited = f.CurrentBoardSet();
    const auto expected = EncodeBoardSet(edited);
    const QImage board = f.Picture1->image().copy();
    ASSERT_NO_FATAL_FAILURE(FailAfterEveryByte(
        f.Command4, expected.size(), "Krellon Boards Editor|Could not save KrelEdit.bds: ", [&] {
            return f.BoardSetFile == "set.bds" && f.CurrentBoard == 2 &&
                   f.CurrentBoardSet() == edited && f.Picture1->image() == board;
        }));
    EXPECT_EQ(folder.read("KrelEdit.bds"), expected);
    EXPECT_EQ(f.BoardSetFile, "KrelEdit.bds");
    EXPECT_TRUE(f.CurrentBoardSet() == edited);
}

TEST_F(FailingDiskTest, AReadOnlyFileIsNeitherSavedOverNorImportedInto) {
    folder.write("KrelEdit.bds", {1, 2, 3});
    std::filesystem::permissions(folder / "KrelEdit.bds", std::filesystem::perms::owner_read);
    std::filesystem::permissions(folder / "bricks.img", std::filesystem::perms::owner_read);
    const auto files = folder.snapshot();
    Form1& f = Open();
    f.Command4->click();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0],
              "Krellon Boards Editor|Could not save KrelEdit.bds: the file is read-only");

    Form2& e = Explore("bricks.img", 1);
    e.Command1->click();  // the export writes only the bitmap
    std::vector<std::uint8_t> bitmap = folder.read("brick 1.bmp");
    bitmap.back() ^= 0xFF;  // a changed pixel to import
    folder.write("brick 1.bmp", bitmap);
    e.Command2->click();
    ASSERT_EQ(messages.size(), 2);
    EXPECT_EQ(messages[1],
              "Krellon IMG Explorer|Could not write bricks.img: the file is read-only");
    auto after = folder.snapshot();
    after.erase("brick 1.bmp");
    EXPECT_TRUE(after == files);
}

TEST_F(FailingDiskTest, AnImportCutOffAtAnyByteLeavesTheImageFileAndTheWindowsAsTheyWere) {
    Form1& f = Open();
    Form2& e = Explore("bricks.img", 2);
    e.Command1->click();
    // The bitmap gets other pixels and colours.
    const ImageSpec other = TestBrick("other", 9);
    const auto bitmap = BitmapOf(30, 15, other.palette, other.pixels).data;
    folder.write("brick 2.bmp", bitmap);
    const auto imageFile = folder.read("bricks.img");
    const QImage board = f.Picture1->image().copy();
    const QImage palette = f.Picture2->image().copy();
    const QImage shown = e.Picture1->image().copy();
    ASSERT_NO_FATAL_FAILURE(FailAfterEveryByte(
        e.Command2, imageFile.size(), "Krellon IMG Explorer|Could not write bricks.img: ", [&] {
            return f.Picture1->image() == board && f.Picture2->image() == palette &&
                   e.Picture1->image() == shown;
        }));
    EXPECT_NE(folder.read("bricks.img"), imageFile);
    EXPECT_FALSE(f.Picture1->image() == board);  // the board shows brick 2 as imported
    // Exporting again gives back exactly the bitmap imported.
    std::filesystem::remove(folder / "brick 2.bmp");
    e.Command1->click();
    EXPECT_EQ(folder.read("brick 2.bmp"), bitmap);
}
