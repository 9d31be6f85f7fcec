// File names as folders hold them: names no board set can store, and names that are not
// UTF-8 or hold line breaks, through the real windows.
#include "EditorFixture.h"
#include "explorer/Form2.h"
#include "explorer/Module1.h"
#include "platform/ComboBox.h"
#include "platform/Dialogs.h"
#include "storage/FileNames.h"

using namespace krellon;

class FileNamesTest : public EditorTest {
protected:
    void SetUp() override { CatchMessages(); }

    static int Find(ComboBox* list, const std::string& bytes) {
        for (int i = 0; i < list->ListCount(); ++i) {
            if (BytesFromName(list->List(i)) == bytes) {
                return i;
            }
        }
        return -1;
    }
};

TEST_F(FileNamesTest, FilesABoardSetCannotNameAreRefusedAndPassedOverByANewSet) {
    const std::string cyrillicBricks = "кирпичи.img";
    const std::string cyrillicBacks = "фоны.img";
    WriteImages(cyrillicBricks, TestBricks(2));
    WriteImages(cyrillicBacks, {TestBackground("one", 64, 64)});
    WriteImages("bricks.img", TestBricks(3));
    WriteImages("backs.img", {TestBackground("two", 64, 64)});
    Form1& f = Open();
    // No set in the folder: the new set names the files it can store, whatever the order.
    EXPECT_EQ(f.BrickSetFile(), "bricks.img");
    EXPECT_EQ(f.BackgroundSetFile(), "backs.img");
    EXPECT_EQ(f.BrickCount(), 3);

    Pick(f.Combo5, Find(f.Combo5, cyrillicBricks));
    Pick(f.Combo4, Find(f.Combo4, cyrillicBacks));
    ASSERT_EQ(messages.size(), 2);
    EXPECT_EQ(messages[0].toStdString(),
              "Krellon Boards Editor|" + cyrillicBricks +
                  " cannot be used: a board set file can only name files whose names are "
                  "written in the Windows-1252 character set. Rename the file to use it.");
    EXPECT_EQ(f.BrickSetFile(), "bricks.img");
    EXPECT_EQ(f.Combo5->Text(), "bricks.img");
    EXPECT_EQ(f.BackgroundSetFile(), "backs.img");
    EXPECT_EQ(f.Combo4->Text(), "backs.img");
    EXPECT_EQ(f.BrickCount(), 3);
}

TEST_F(FileNamesTest, NamesThatAreNotUtf8OrHoldLineBreaksAreListedShownAndOpened) {
#ifdef _WIN32
    // Windows names are UTF-16 and take no line break: characters of no one code page, and
    // the longest name a list row holds.
    const std::string badImages = "bad\xce\xa9.img", badSet = "bad\xe2\x98\xba.bds";
    const std::string linesSet = std::string(240, 'n') + ".bds";
    const QString shownBad = QString::fromUtf8("bad\u263A.bds");
    const QString shownLines = QString::fromStdString(linesSet);
#else
    const std::string badImages = "bad\xfe.img", badSet = "bad\xff.bds";
    const std::string linesSet = "new\nline.bds";
    const QString shownBad = QString::fromUtf8("bad\uFFFD.bds");
    const QString shownLines = QString::fromUtf8("new\u23CEline.bds");
#endif
    WriteImages("bricks.img", TestBricks(3));
    WriteImages(badImages, TestBricks(5));
    WriteImages("backs.img", {TestBackground("one", 64, 64)});
    WriteBoardSet("a.bds", TestSet(1));
    WriteBoardSet(badSet, TestSet(2));
    WriteBoardSet(linesSet, TestSet(3));
    Form1& f = Open();
    ASSERT_EQ(f.Combo3->ListCount(), 3);
    ASSERT_EQ(f.Combo5->ListCount(), 2);
    const int bad = Find(f.Combo3, badSet);
    const int lines = Find(f.Combo3, linesSet);
    ASSERT_GE(bad, 0);
    ASSERT_GE(lines, 0);
    // Shown readably, one row each.
    EXPECT_EQ(f.Combo3->itemText(bad), shownBad);
    EXPECT_EQ(f.Combo3->itemText(lines), shownLines);

    Pick(f.Combo3, bad);
    EXPECT_TRUE(messages.isEmpty()) << messages.join("\n").toStdString();
    EXPECT_EQ(BytesFromName(f.BoardSetFile), badSet);
    EXPECT_EQ(f.BoardCount(), 2);
    Pick(f.Combo3, lines);
    EXPECT_EQ(f.BoardCount(), 3);
    EXPECT_EQ(f.Combo3->Text(), f.BoardSetFile);

    // The brick set list holds the odd name, and the explorer opens it.
    Shared().ExplorerFile = "bricks.img";
    Shared().CurrentImage = 1;
    Form2& e = *Form2::ShowExplorer();
    Pick(e.Combo1, Find(e.Combo1, badImages));
    EXPECT_EQ(Shared().ImageCount, 5);
    EXPECT_EQ(BytesFromName(Shared().ExplorerFile), badImages);
}
