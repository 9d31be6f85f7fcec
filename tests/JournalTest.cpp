// No edit lost: the journal keeps every step of a set that was not saved, across closing the
// window, picking another set, and restores it as one step when asked.
#include <signal.h>

#include <QCoreApplication>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QStatusBar>
#include <QUndoStack>

#include "EditorFixture.h"
#include "JournalSteps.h"
#include "document/BoardSetDocument.h"
#include "document/EditJournalKeeper.h"
#include "platform/ComboBox.h"
#include "platform/Controls.h"
#include "platform/Dialogs.h"
#include "shell/MainWindow.h"

using namespace krellon;

class JournalTest : public EditorTest {
protected:
    void SetUp() override {
        WriteImages("bricks.img", TestBricks(3));
        WriteImages("backs.img", {TestBackground("a", 64, 64), TestBackground("b", 64, 64, 2)});
        WriteBoardSet("set.bds", TestSet(2));
        window = std::make_unique<MainWindow>();
    }
    void TearDown() override {
        window.reset();
        SetInputHandlerForTesting(nullptr);
    }
    Form1& Editor() { return *window->Editor(); }
    // Some edits of every kind.
    void Edit() {
        Form1& f = Editor();
        f.Picture1_MouseDown(1, 5, 5);
        f.Command2_Click();
        Pick(f.Combo2, 2);
        f.Picture1_MouseDown(1, 65, 35);
        Pick(f.Combo1, 1);
        SetInputHandlerForTesting([](auto&&...) { return QString("Renamed"); });
        f.Label1_Click();
        f.Command1_Click();
        f.Picture1_MouseDown(2, 5, 5);  // undone by hand
        f.Picture1_MouseDown(1, 35, 5);
        f.Document->undoStack()->undo();  // undo is journalled too
    }
    // How many journals of name the data location holds.
    std::size_t Journals(const QString& name = "set.bds") {
        return EditJournalKeeper::Journals(folder.path(), name).size();
    }

    std::unique_ptr<MainWindow> window;
};

TEST_F(JournalTest, WorkLeftByAClosedWindowIsOfferedAndRestoredAsOneStep) {
    ASSERT_EQ(Editor().BoardSetFile, "set.bds");
    Edit();
    const BoardSetContent edited = Editor().CurrentBoardSet();
    ASSERT_FALSE(edited == TestSet(2));
    EXPECT_EQ(Journals(), 1u);
    window.reset();  // closed: nothing asked, nothing saved
    EXPECT_EQ(folder.read("set.bds"), EncodeBoardSet(TestSet(2)));

    window = std::make_unique<MainWindow>();
    Form1& f = Editor();
    // Nothing changes by itself; the work is offered.
    EXPECT_TRUE(f.CurrentBoardSet() == TestSet(2));
    EXPECT_FALSE(f.Document->isModified());
    EXPECT_FALSE(window->UnsavedStatus->isHidden());
    EXPECT_TRUE(window->UnsavedStatus->text().startsWith("Unsaved changes of set.bds from "));
    EXPECT_TRUE(window->UnsavedStatus->text().endsWith(" can be restored"));
    EXPECT_TRUE(window->RestoreUnsavedAction->isEnabled());

    window->RestoreButton->click();
    EXPECT_TRUE(f.CurrentBoardSet() == edited);
    EXPECT_EQ(f.BoardSetName, "Renamed");
    EXPECT_TRUE(f.Document->isModified());
    EXPECT_EQ(f.Document->undoStack()->undoText(), "Restore Unsaved Changes");
    EXPECT_TRUE(window->UnsavedStatus->isHidden());
    EXPECT_FALSE(window->RestoreUnsavedAction->isEnabled());
    f.Document->undoStack()->undo();
    EXPECT_TRUE(f.CurrentBoardSet() == TestSet(2));
}

TEST_F(JournalTest, SavingEmptiesTheJournalAndPickingAnotherSetKeepsIt) {
    WriteBoardSet("other.bds", TestSet(1));
    window = std::make_unique<MainWindow>(nullptr, "set.bds");
    Form1& f = Editor();
    f.Picture1_MouseDown(1, 5, 5);
    EXPECT_EQ(Journals(), 1u);
    f.Command4->click();
    EXPECT_EQ(Journals(), 0u);
    // The saved set goes on as KrelEdit.bds; its next step starts a journal of its own.
    f.Picture1_MouseDown(1, 35, 5);
    EXPECT_EQ(Journals("KrelEdit.bds"), 1u);
    const BoardSetContent edited = f.CurrentBoardSet();

    Pick(f.Combo3, f.Combo3->findText("other.bds"));  // at once, no question
    EXPECT_EQ(Journals("KrelEdit.bds"), 1u) << "after other";
    EXPECT_EQ(f.BoardSetFile, "other.bds");
    EXPECT_TRUE(window->UnsavedStatus->isHidden());
    Pick(f.Combo3, f.Combo3->findText("KrelEdit.bds"));
    EXPECT_FALSE(window->UnsavedStatus->isHidden());
    window->RestoreUnsavedAction->trigger();
    EXPECT_TRUE(f.CurrentBoardSet() == edited);
}

TEST_F(JournalTest, UndoingBackToTheFileLeavesNothingToOffer) {
    Form1& f = Editor();
    f.Picture1_MouseDown(1, 5, 5);
    f.Document->undoStack()->undo();
    window.reset();
    window = std::make_unique<MainWindow>();
    EXPECT_TRUE(window->UnsavedStatus->isHidden());
    EXPECT_EQ(Journals(), 0u);
}

TEST_F(JournalTest, AJournalThatCannotBeWrittenNeverBlocksEditing) {
    window.reset();
    data.write("krellon_window_tests", {'x'});  // a file where the data folder would go
    window = std::make_unique<MainWindow>();
    Form1& f = Editor();
    f.Picture1_MouseDown(1, 5, 5);
    f.Picture1_MouseDown(1, 35, 5);
    EXPECT_EQ(f.BrickGrid[1][1][0], 1);
    EXPECT_TRUE(window->ProtectionStatus->text().startsWith(
        "Unsaved changes are not protected: the edit journal cannot be written (Not a "));
    EXPECT_FALSE(window->ProtectionStatus->isHidden());
    f.Command4->click();
    EXPECT_EQ(folder.read("KrelEdit.bds"), EncodeBoardSet(f.CurrentBoardSet()));
    EXPECT_TRUE(window->ProtectionStatus->isHidden());  // nothing unsaved any more
}

TEST_F(JournalTest, AKilledEditorLosesNoStep) {
    window.reset();
    for (int n : {1, 5, 17, 40}) {
        // The child works on a folder of its own, keyed apart from this test's.
        TempFolder childFolder;
        for (const char* name : {"bricks.img", "backs.img", "set.bds"}) {
            childFolder.write(name, folder.read(name));
        }
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_DATA_HOME", QString::fromStdString(data.path().string()));
        child.setProcessEnvironment(environment);
        child.start(KRELLON_JOURNAL_CHILD,
                    {QString::fromStdString(childFolder.path().string()), QString::number(n)});
        ASSERT_TRUE(child.waitForStarted(10000));
        ASSERT_TRUE(child.waitForReadyRead(30000)) << n;
        ASSERT_EQ(child.readAllStandardOutput(), "ready\n");
        ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
        ASSERT_TRUE(child.waitForFinished(10000));
        EXPECT_EQ(child.exitStatus(), QProcess::CrashExit);

        // The same steps here, for what the set must be.
        {
            MainWindow expected;
            DoJournalSteps(*expected.Editor(), n);
            const BoardSetContent afterSteps = expected.Editor()->CurrentBoardSet();
            expected.Editor()->Document->undoStack()->clear();  // leaves no work behind
            // The child's data location: its name under the same data folder.
            std::filesystem::current_path(childFolder.path());
            const QString name = QCoreApplication::applicationName();
            QCoreApplication::setApplicationName("krellon-journal-child");
            MainWindow restored;
            ASSERT_FALSE(restored.UnsavedStatus->isHidden()) << n;
            restored.RestoreUnsavedAction->trigger();
            EXPECT_TRUE(restored.Editor()->CurrentBoardSet() == afterSteps) << n;
            restored.Editor()->Command4_Click();  // saved: nothing left to offer
            QCoreApplication::setApplicationName(name);
        }
        std::filesystem::current_path(folder.path());
    }
}

TEST_F(JournalTest, TwoEditorsOnOneSetKeepAJournalEachAndLeaveTheOthersAlone) {
    Editor().Picture1_MouseDown(1, 5, 5);  // A's work
    const BoardSetContent workOfA = Editor().CurrentBoardSet();
    auto second = std::make_unique<MainWindow>();
    // A is still writing its journal: B neither offers nor overwrites it.
    EXPECT_TRUE(second->UnsavedStatus->isHidden());
    second->Editor()->Picture1_MouseDown(1, 35, 5);  // B's work
    EXPECT_EQ(Journals(), 2u);
    window.reset();  // A closes with its work unsaved
    auto third = std::make_unique<MainWindow>();
    EXPECT_FALSE(third->UnsavedStatus->isHidden());
    third->RestoreUnsavedAction->trigger();
    EXPECT_TRUE(third->Editor()->CurrentBoardSet() == workOfA);
    EXPECT_EQ(Journals(), 2u);  // B's, still open, and the third's with the restored work
}
