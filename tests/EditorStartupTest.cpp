// Start-up: the scans of the working folder, the first board set, and picking board sets.
#include <QImage>

#include "EditorFixture.h"
#include "platform/ComboBox.h"
#include "platform/Controls.h"
#include "platform/Label.h"
#include "platform/PictureBox.h"

using namespace krellon;

TEST_F(EditorTest, ImageFilesAreSortedByTheirFirstImageOnly) {
    WriteImages("bricks.img", {TestBrick("a"), TestBackground("big", 64, 64)});
    WriteImages("BACKS.IMG", {TestBackground("b", 64, 64)});
    WriteImages("large.Img", {TestBackground("c", 128, 128), TestBrick("x")});
    WriteImages("tall.img", {TestBackground("d", 64, 128)});
    WriteImages("title.img", {TestBackground("e", 320, 200)});
    // First images with long names.
    WriteImages("long.img", {TestBrick(std::string(120, 'n'))});
    WriteImages("longer.img", {TestBackground(std::string(300, 'm'), 128, 128)});
    folder.write("short.img", std::vector<std::uint8_t>(1050, 0));
    folder.write("notes.txt", {1, 2, 3});
    std::filesystem::create_directory(folder / "folder.img");
    WriteBoardSet("set.BDS", TestSet());
    Open();
    EXPECT_EQ(Entries(form->Combo5), QStringList({"bricks.img", "long.img"}));
    EXPECT_EQ(Entries(form->Combo4), QStringList({"BACKS.IMG", "large.Img", "longer.img"}));
    EXPECT_EQ(Entries(form->Combo3), QStringList({"set.BDS"}));
}

TEST_F(EditorTest, StartUpOpensTheFirstBoardSetOrWithoutOneANewSet) {
    WriteImages("bricks.img", TestBricks(20));
    WriteImages("backs.img", {TestBackground("one", 64, 64)});
    folder.write("broken.bds", {'B', 'D', 'S', 'T', 2, 0, 0, 0});
    Open();  // no set that reads: one empty board over the image files listed
    EXPECT_EQ(form->BoardSetFile, "");
    EXPECT_EQ(form->BoardCount(), 1);
    EXPECT_EQ(form->BoardBackground(1), 0);
    EXPECT_EQ(form->BrickSetFile(), "bricks.img");
    EXPECT_EQ(form->BackgroundSetFile(), "backs.img");
    EXPECT_EQ(form->BrickCount(), 20);
    EXPECT_EQ(form->Label1->Caption(), "");
    EXPECT_EQ(form->Command2->Caption(), "Board 1 >");
    EXPECT_EQ(form->Combo3->ListCount(), 1);  // the broken file stays listed

    BoardSetContent set = TestSet(3);
    set.boards[0].cell(2, 3) = 5;
    WriteBoardSet("only.bds", set);
    Form1& f = Open();
    EXPECT_EQ(f.windowTitle(), "Krellon Boards Editor");
    EXPECT_EQ(f.BoardSetFile, "only.bds");
    EXPECT_EQ(f.Combo3->Text(), "only.bds");
    EXPECT_EQ(f.SelectedBrick, 1);
    EXPECT_EQ(f.BoardCount(), 3);
    EXPECT_EQ(f.CurrentBoard, 1);
    EXPECT_EQ(f.BrickGrid(1, 2, 3), 5);
    EXPECT_TRUE(f.Check1->Checked());
    EXPECT_EQ(f.Option1->Selected(), 0);
    EXPECT_EQ(f.Combo5->Text(), "bricks.img");
    EXPECT_EQ(f.Combo4->Text(), "backs.img");
    EXPECT_EQ(f.Combo2->ListIndex(), 0);
    EXPECT_EQ(f.Combo1->ListIndex(), 0);
}

TEST_F(EditorTest, WindowHoldsEveryControlWhereItBelongs) {
    Form1& f = Open();
    EXPECT_EQ(f.size(), QSize(754, 575));
    EXPECT_EQ(f.Picture1->geometry(), QRect(0, 56, 600, 300));
    EXPECT_EQ(f.Picture2->geometry(), QRect(24, 400, 561, 167));
    EXPECT_EQ(f.Picture4->geometry(), QRect(632, 420, 90, 45));
    EXPECT_EQ(f.Combo3->geometry().topLeft(), QPoint(8, 24));
    EXPECT_EQ(f.Command4->Caption(), "Save to  KrelEdit.bds");
    EXPECT_EQ(f.Command3->Caption(), "Clear Board");
    EXPECT_EQ(f.Check1->text(), "Show hidden bricks");
    EXPECT_EQ(f.Option1->Button(1)->text(), "Half-bright");
    EXPECT_EQ(f.Option1->Button(2)->geometry(), QRect(640, 152, 81, 16));
    EXPECT_TRUE(f.Label5->font().bold());
    // Every control lies inside the client area.
    for (QWidget* child : f.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child != f.Picture3) {
            EXPECT_TRUE(f.rect().contains(child->geometry())) << child->metaObject()->className();
        }
    }
}

TEST_F(EditorTest, AnUnreadableSetIsPassedOverAndRefusedAndOnlyAnotherSetReadDropsTheEdits) {
    WriteImages("bricks.img", TestBricks(3));
    WriteImages("backs.img", {TestBackground("one", 64, 64)});
    folder.write("a-broken.bds", {1, 2, 3});
    WriteBoardSet("a.bds", TestSet(1));
    WriteBoardSet("b.bds", TestSet(4));
    Form1& f = Open();
    const QString first = f.BoardSetFile;  // in the folder's order, but never the broken one
    ASSERT_TRUE(first == "a.bds" || first == "b.bds") << first.toStdString();
    f.Combo2->SetListIndex(1);
    f.Picture1_MouseDown(1, 5, 5);  // an unsaved edit: brick 2 at (0, 0)
    CatchMessages();
    Pick(f.Combo3, f.Combo3->findText("a-broken.bds"));
    EXPECT_EQ(messages,
              QStringList({"Krellon Boards Editor|a-broken.bds is not a valid board set file: "
                           "the file ends before the board count."}));
    EXPECT_EQ(f.BoardSetFile, first);
    EXPECT_EQ(f.Combo3->Text(), first);
    EXPECT_EQ(f.BrickGrid(1, 0, 0), 2);
    Pick(f.Combo3, f.Combo3->findText(first));  // the open set: nothing is read again
    EXPECT_EQ(f.BrickGrid(1, 0, 0), 2);
    const QString other = first == "a.bds" ? "b.bds" : "a.bds";
    Pick(f.Combo3, f.Combo3->findText(other));
    EXPECT_EQ(f.BoardSetFile, other);
    EXPECT_EQ(f.BoardCount(), other == "a.bds" ? 1 : 4);
    EXPECT_EQ(f.BrickGrid(1, 0, 0), 0);
}

TEST_F(EditorTest, TextsFromFilesAreShownInTheirCodePage) {
    WriteImages("bricks.img", {TestBrick("Br\xE9que \x80")});
    BoardSetContent set = TestSet();
    set.boardSetName =
        "\xDC"
        "ber";
    set.authorName = "\x93quoted\x94";
    WriteBoardSet("set.bds", set);
    Form1& f = Open();
    EXPECT_EQ(f.Label1->Caption(), QString::fromUtf8("Über"));
    EXPECT_EQ(f.Label2->Caption(), QString::fromUtf8("“quoted”"));
    EXPECT_EQ(f.Combo2->List(0), QString::fromUtf8("Bréque €"));
    EXPECT_EQ(f.CurrentBoardSet().authorName, "\x93quoted\x94");
}

TEST(ComboBoxLists, AListIsRebuiltOnlyWhenItsEntriesChange) {
    ComboBox combo(nullptr);
    combo.AddItems({"a", "b"});
    combo.setCurrentIndex(1);
    combo.SetItems({"a", "b"});
    EXPECT_EQ(combo.ListIndex(), 1);
    combo.SetItems({"a", "c"});
    EXPECT_EQ(Entries(&combo), QStringList({"a", "c"}));
    combo.SetItems({});
    EXPECT_EQ(combo.ListCount(), 0);
    EXPECT_EQ(combo.Text(), "");
}
