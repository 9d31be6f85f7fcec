// Any folder, any board set file: the command line, Open Folder…, Open Board Set… and
// Save As….
#include <QDir>

#include "EditorFixture.h"
#include "document/BoardSetDocument.h"
#include "explorer/Form2.h"
#include "explorer/Module1.h"
#include "platform/ComboBox.h"
#include "shell/CommandLine.h"
#include "shell/MainWindow.h"
#include "storage/FileNames.h"
#include "storage/PathBytes.h"

using namespace krellon;

class OpenAndSaveAsTest : public EditorTest {
protected:
    void SetUp() override {
        WriteImages("bricks.img", TestBricks(3));
        WriteImages("backs.img", {TestBackground("a", 64, 64)});
        WriteBoardSet("a.bds", TestSet(1));
        WriteBoardSet("b.bds", TestSet(2));
        CatchMessages();
    }
};

TEST_F(OpenAndSaveAsTest, TheCommandLineNamesAFolderOrASetAndRefusesMissingPaths) {
    const QString dir = NameFromPath(folder.path());
#ifdef _WIN32
    const std::string odd = "S\xc3\xa9t\xce\xa9.bds";  // of no one code page: kept whole
#else
    const std::string odd = "S\xe9t.bds";  // not UTF-8: keeps its bytes
#endif
    folder.write(odd, EncodeBoardSet(TestSet(1)));
    for (const auto& [argument, startSet] :
         {std::pair{dir, QString()},
          {dir + "/b.bds", QString("b.bds")},
          {NameFromPath(folder / odd), NameFromPath(PathOfBytes(odd))}}) {
        const EditorStart start = ReadEditorCommandLine({"krellon-editor", argument});
        EXPECT_FALSE(start.exitStatus);
        EXPECT_EQ(start.folder, folder.path());
        EXPECT_EQ(start.startSet, startSet);
    }
    EditorStart start = ReadEditorCommandLine({"krellon-editor", dir + "/missing.bds"});
    EXPECT_EQ(start.exitStatus, 2);
    EXPECT_EQ(start.error, dir + "/missing.bds: no such file or folder");
    start = ReadEditorCommandLine({"krellon-editor", "--version"});
    EXPECT_EQ(start.exitStatus, 0);
    EXPECT_TRUE(start.output.startsWith("krellon-editor "));
    start = ReadEditorCommandLine({"krellon-editor", "--help"});
    EXPECT_EQ(start.exitStatus, 0);
    EXPECT_TRUE(start.output.contains("[FOLDER | FILE.bds | FILE.img]"));
    EXPECT_FALSE(ReadEditorCommandLine({"krellon-editor"}).exitStatus);

    // Qt's own options, in each form Qt programs take, go to QApplication as it reads them and
    // are no paths; --help-all lists them.
    start = ReadEditorCommandLine({"krellon-editor", "-style", "Fusion", "--platform=offscreen",
                                   "-reverse", "-stylesheet=a b.qss", "--qwindowtitle", "-t",
                                   dir + "/b.bds"});
    EXPECT_FALSE(start.exitStatus);
    EXPECT_EQ(start.startSet, "b.bds");
    EXPECT_EQ(start.qtArguments,
              QStringList({"-style", "Fusion", "-platform", "offscreen", "-reverse", "-stylesheet",
                           "a b.qss", "-qwindowtitle", "-t"}));
    EXPECT_EQ(ReadEditorCommandLine({"krellon-editor", "-platform"}).error,
              "Missing value after '-platform'.");
    EXPECT_EQ(ReadEditorCommandLine({"krellon-editor", "--reverse=1"}).exitStatus, 2);
    EXPECT_EQ(ReadEditorCommandLine({"krellon-editor", "--", "-reverse"}).error,
              "-reverse: no such file or folder");
    start = ReadEditorCommandLine({"krellon-editor", "--help-all"});
    EXPECT_EQ(start.exitStatus, 0);
    EXPECT_TRUE(start.output.startsWith("Usage: krellon-editor [options] [FOLDER"));
    EXPECT_TRUE(start.output.contains("--stylesheet <stylesheet>"));

    // An image file (a double-click on one) is shown in the explorer over the folder's editor.
    start = ReadEditorCommandLine({"krellon-editor", dir + "/backs.img"});
    EXPECT_TRUE(start.startSet.isEmpty());
    EXPECT_EQ(start.startImages, "backs.img");
    EXPECT_EQ(start.folder, folder.path());
    window = std::make_unique<MainWindow>(nullptr, start.startSet);
    window->showImageFile(start.startImages);
    EXPECT_TRUE(Shared().Explorer->isVisible());
    EXPECT_EQ(Shared().ImageCount, 1);
    EXPECT_EQ(Shared().CurrentImage, 1);
}

TEST_F(OpenAndSaveAsTest, OpenFolderAndOpenBoardSetWorkInTheirFolder) {
    TempFolder other;
    other.write("set one.bds", EncodeBoardSet(TestSet(3)));
    other.write("set two.bds", EncodeBoardSet(TestSet(4)));
    window = std::make_unique<MainWindow>();
    Form1& f = Editor();
    AnswerDialogs(other.path());
    window->action("openFolder")->trigger();
    EXPECT_EQ(QDir::current(), QDir(QString::fromStdString(other.path().string())));
    EXPECT_EQ(f.Combo3->ListCount(), 2);
    EXPECT_EQ(f.Combo4->ListCount(), 0);  // no image files there
    EXPECT_TRUE(f.BoardSetFile == "set one.bds" || f.BoardSetFile == "set two.bds");

    AnswerDialogs(folder / "b.bds");
    window->action("openBoardSet")->trigger();
    EXPECT_EQ(QDir::current(), QDir(QString::fromStdString(folder.path().string())));
    EXPECT_EQ(f.BoardSetFile, "b.bds");
    EXPECT_EQ(f.BoardCount(), 2);
    EXPECT_EQ(f.Combo3->ListCount(), 2);
    EXPECT_EQ(f.Combo5->ListCount(), 1);
    EXPECT_EQ(f.BrickCount(), 3);
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(OpenAndSaveAsTest, AStartSetOpensAndSaveAsWritesInTheWorkingFolderAndRefusesOthers) {
    window = std::make_unique<MainWindow>(nullptr, "b.bds");  // not the first listed
    Form1& f = Editor();
    EXPECT_EQ(f.BoardCount(), 2);
    EXPECT_EQ(f.Combo3->Text(), "b.bds");
    f.Command2_Click();
    f.Picture1_MouseDown(1, 5, 5);
    AnswerDialogs(folder / "mine");
    window->action("saveAs")->trigger();
    EXPECT_TRUE(messages.isEmpty()) << messages.join("\n").toStdString();
    EXPECT_EQ(folder.read("mine.bds"), EncodeBoardSet(f.CurrentBoardSet()));
    EXPECT_EQ(f.BoardSetFile, "mine.bds");
    EXPECT_EQ(f.Combo3->Text(), "mine.bds");
    EXPECT_GE(f.Combo3->findText("mine.bds"), 0);
    EXPECT_FALSE(f.Document->isModified());
    EXPECT_EQ(f.CurrentBoard, 2);  // the view stays where it was
    EXPECT_EQ(folder.read("b.bds"), EncodeBoardSet(TestSet(2)));

    TempFolder other;
    AnswerDialogs(other / "elsewhere.bds");
    window->action("saveAs")->trigger();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith(
        "Krellon Boards Editor|A board set names its image files without a folder"));
    EXPECT_FALSE(std::filesystem::exists(other / "elsewhere.bds"));
    EXPECT_EQ(f.BoardSetFile, "mine.bds");

    // Save to KrelEdit.bds goes on writing KrelEdit.bds.
    window->action("saveToKrelEdit")->trigger();
    EXPECT_EQ(f.BoardSetFile, "KrelEdit.bds");
    EXPECT_EQ(folder.read("KrelEdit.bds"), folder.read("mine.bds"));
}
