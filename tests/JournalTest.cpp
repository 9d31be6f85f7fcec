// No edit lost: the journal keeps every step of a set that was not saved, across closing the
// window, picking another set, and restores it as one step when asked.
#ifndef _WIN32
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>
#endif

#include <fstream>

#include <QCoreApplication>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTest>
#include <QUndoStack>

#include "CliRun.h"
#include "EditorFixture.h"
#include "JournalSteps.h"
#include "document/BoardSetDocument.h"
#include "document/EditJournalKeeper.h"
#include "formats/NameHash.h"
#include "platform/ComboBox.h"
#include "platform/Controls.h"
#include "platform/Dialogs.h"
#include "shell/MainWindow.h"
#include "storage/DataFolder.h"
#include "storage/FileNames.h"
#include "storage/FileSource.h"
#include "storage/JournalFiles.h"

using namespace krellon;

class JournalTest : public EditorTest {
protected:
    void SetUp() override {
        WriteImages("bricks.img", TestBricks(3));
        WriteImages("backs.img", {TestBackground("a", 64, 64), TestBackground("b", 64, 64, 2)});
        WriteBoardSet("set.bds", TestSet(2));
        window = std::make_unique<MainWindow>();
    }
    // The window goes before a file system mounted for the test does.
    void TearDown() override { window.reset(); }
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
        return EditJournalKeeper::journals(folder.path(), name).size();
    }
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
    EXPECT_FALSE(window->unsavedStatus->isHidden());
    EXPECT_TRUE(window->unsavedStatus->text().startsWith("Unsaved changes of set.bds from "));
    EXPECT_TRUE(window->unsavedStatus->text().endsWith(" can be restored"));
    EXPECT_TRUE(window->action("restoreUnsaved")->isEnabled());

    window->restoreButton->click();
    EXPECT_TRUE(f.CurrentBoardSet() == edited);
    EXPECT_EQ(f.BoardSetName(), "Renamed");
    EXPECT_TRUE(f.Document->isModified());
    EXPECT_EQ(f.Document->undoStack()->undoText(), "Restore Unsaved Changes");
    EXPECT_TRUE(window->unsavedStatus->isHidden());
    EXPECT_FALSE(window->action("restoreUnsaved")->isEnabled());
    f.Document->undoStack()->undo();
    EXPECT_TRUE(f.CurrentBoardSet() == TestSet(2));
}

TEST_F(JournalTest, SavingOrUndoingEmptiesTheJournalAndPickingAnotherSetKeepsIt) {
    // Undoing back to the file leaves nothing to offer.
    Editor().Picture1_MouseDown(1, 5, 5);
    Editor().Document->undoStack()->undo();
    window.reset();
    EXPECT_EQ(Journals(), 0u);
    WriteBoardSet("other.bds", TestSet(1));
    window = std::make_unique<MainWindow>(nullptr, "set.bds");
    EXPECT_TRUE(window->unsavedStatus->isHidden());
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
    EXPECT_TRUE(window->unsavedStatus->isHidden());
    Pick(f.Combo3, f.Combo3->findText("KrelEdit.bds"));
    EXPECT_FALSE(window->unsavedStatus->isHidden());
    window->action("restoreUnsaved")->trigger();
    EXPECT_TRUE(f.CurrentBoardSet() == edited);
}

TEST_F(JournalTest, AJournalThatCannotBeWrittenNeverBlocksEditing) {
    window.reset();
    data.write("krellon_window_tests", {'x'});  // a file where the data folder would go
    window = std::make_unique<MainWindow>();
    Form1& f = Editor();
    f.Picture1_MouseDown(1, 5, 5);
    f.Picture1_MouseDown(1, 35, 5);
    EXPECT_EQ(f.BrickGrid(1, 1, 0), 1);
    EXPECT_TRUE(window->protectionStatus->text().startsWith(
        "Unsaved changes are not protected: the edit journal cannot be written (Not a "));
    EXPECT_FALSE(window->protectionStatus->isHidden());
    f.Command4->click();
    EXPECT_EQ(folder.read("KrelEdit.bds"), EncodeBoardSet(f.CurrentBoardSet()));
    EXPECT_TRUE(window->protectionStatus->isHidden());  // nothing unsaved any more
}

TEST_F(JournalTest, AKilledEditorLosesNoStep) {
    window.reset();
    for (int n : {1, 5, 17, 40}) {
        // The child works on a folder of its own, keyed apart from this test's.
        TempFolder childFolder;
        for (const char* name : {"bricks.img", "backs.img", "set.bds"}) {
            childFolder.write(name, folder.read(name));
        }
        QProcess child;  // with this test's data location in its environment
        child.start(KRELLON_JOURNAL_CHILD, {NameFromPath(childFolder.path()), QString::number(n)});
        ASSERT_TRUE(child.waitForStarted(10000));
        ASSERT_TRUE(child.waitForReadyRead(30000)) << n;
        ASSERT_EQ(child.readAllStandardOutput(), "ready\n");
        const QString name = QCoreApplication::applicationName();
        QCoreApplication::setApplicationName("krellon-journal-child");  // its data location
        if (n == 1) {
            // The running editor's lock (flock, LockFileEx) keeps its journal from another
            // process: listed as in use, never discarded under it.
            QString listing;
            ASSERT_EQ(Krellon({"journals"}, &listing), 0);
            ASSERT_TRUE(listing.endsWith("\tin use by a running editor\n"))
                << listing.toStdString();
            const QString journal = listing.section('\t', 0, 0);
            QString err;
            EXPECT_EQ(Krellon({"discard", journal}, nullptr, &err), 1);
            EXPECT_TRUE(err.endsWith(": a running editor is writing it\n")) << err.toStdString();
        }
        QCoreApplication::setApplicationName(name);
        child.kill();  // SIGKILL, or TerminateProcess: no chance to save anything
        ASSERT_TRUE(child.waitForFinished(10000));
        EXPECT_EQ(child.exitStatus(), QProcess::CrashExit);

        // The same steps here, for what the set must be.
        {
            MainWindow expected;
            DoJournalSteps(*expected.editor(), n);
            const BoardSetContent afterSteps = expected.editor()->CurrentBoardSet();
            expected.editor()->Document->undoStack()->clear();  // leaves no work behind
            // The child's data location: its name under the same data folder.
            std::filesystem::current_path(childFolder.path());
            const QString name = QCoreApplication::applicationName();
            QCoreApplication::setApplicationName("krellon-journal-child");
            MainWindow restored;
            ASSERT_FALSE(restored.unsavedStatus->isHidden()) << n;
            restored.action("restoreUnsaved")->trigger();
            EXPECT_TRUE(restored.editor()->CurrentBoardSet() == afterSteps) << n;
            restored.editor()->Command4_Click();  // saved: nothing left to offer
            QCoreApplication::setApplicationName(name);
        }
        std::filesystem::current_path(folder.path());
    }
}

// The journal's data location on a small tmpfs of its own, mounted before the editor starts,
// and filled and freed at will: the full disk under the journal.
class JournalOnASmallDiskTest : public JournalTest {
protected:
    void SetUp() override {
        JournalTest::SetUp();
        window.reset();
        std::filesystem::create_directories(at);
#ifdef _WIN32
        GTEST_SKIP() << "a small file system of its own for the data folder needs a mount, "
                        "which Windows (and Wine) do not offer a test";
#else
        if (::mount("tmpfs", at.c_str(), "tmpfs", 0, "size=256k") != 0) {
            GTEST_SKIP() << "mounting a small tmpfs as the data location needs root";
        }
        mounted = true;
        window = std::make_unique<MainWindow>();
#endif
    }
    void TearDown() override {
        JournalTest::TearDown();
#ifndef _WIN32
        if (mounted) {
            ::umount2(at.c_str(), MNT_DETACH);
        }
#endif
    }
    void Fill() {  // takes every free block
        std::ofstream filler(at / "filler", std::ios::binary | std::ios::app);
        const std::vector<char> block(4096);
        while (filler.write(block.data(), block.size())) {
            filler.flush();
        }
    }
    void Free() {
        std::filesystem::remove(at / "filler");
    }

    const std::filesystem::path at = DataFolder();
    bool mounted = false;
};

TEST_F(JournalOnASmallDiskTest, AFullDiskLosesNoJournalAndStepsMadeMeanwhileAreJournalledAfresh) {
    // A restore that cannot be written changes nothing and keeps the old journal.
    Editor().Picture1_MouseDown(1, 5, 5);
    const BoardSetContent edited = Editor().CurrentBoardSet();
    window.reset();
    Fill();
    window = std::make_unique<MainWindow>();
    window->restoreButton->click();
    EXPECT_TRUE(Editor().CurrentBoardSet() == TestSet(2));
    EXPECT_EQ(Editor().Document->undoStack()->count(), 0);
    EXPECT_FALSE(window->unsavedStatus->isHidden());
    EXPECT_EQ(window->statusBar()->currentMessage(),
              "Nothing restored: the edit journal cannot be written (No space left on device); "
              "the unsaved changes stay where they are");
    window.reset();
    EXPECT_EQ(Journals(), 1u);
    Free();
    window = std::make_unique<MainWindow>();
    window->restoreButton->click();
    Form1& f = Editor();
    EXPECT_TRUE(f.CurrentBoardSet() == edited);
    EXPECT_EQ(Journals(), 1u);  // the restored work, now in this session's journal

    Fill();
    window->action("duplicateBoard")->trigger();  // a whole set: more than the disk has
    EXPECT_EQ(window->protectionStatus->text(),
              "Unsaved changes are not protected: the edit journal cannot be written (No space "
              "left on device)");
    EXPECT_FALSE(window->protectionStatus->isHidden());
    Free();
    f.Picture1_MouseDown(1, 35, 5);  // on the new board 2
    EXPECT_TRUE(window->protectionStatus->isHidden());
    EXPECT_EQ(window->statusBar()->currentMessage(), "Unsaved changes are protected again");
    const BoardSetContent again = f.CurrentBoardSet();
    ASSERT_EQ(again.boards.size(), 3u);
    window.reset();  // closed or killed: the journal is all that is left
    window = std::make_unique<MainWindow>();
    window->action("restoreUnsaved")->trigger();
    EXPECT_TRUE(Editor().CurrentBoardSet() == again);

    // Without a step, the timer starts it afresh; a save ends the warning, which is then
    // no longer true.
    Fill();
    window->action("duplicateBoard")->trigger();
    EXPECT_FALSE(window->protectionStatus->isHidden());
    Free();
    EXPECT_TRUE(QTest::qWaitFor([&] { return window->protectionStatus->isHidden(); }, 5000));
    Fill();
    window->action("duplicateBoard")->trigger();
    EXPECT_FALSE(window->protectionStatus->isHidden());
    Editor().Command4->click();
    EXPECT_TRUE(window->protectionStatus->isHidden());
    Free();
}

TEST_F(JournalTest, DamagedJournalsAreRestoredAsFarAsTheyReadAndMovedAsideNeverDeleted) {
    window.reset();
    const std::string key = JournalKey(folder.path(), "set.bds");
    EXPECT_NE(JournalKey(folder.path(), NameFromBytes("S\xe9t.bds")),
              JournalKey(folder.path(), NameFromBytes("S\xeat.bds")));
    std::vector<std::uint8_t> bytes =
        EncodeJournalStart(1, key, JournalFileCheck(TestSet(2)), TestSet(2));
    for (std::uint32_t n = 1; n <= 3; ++n) {
        JournalRecord record;
        record.number = n;
        record.board = 1;
        record.cells = {{static_cast<std::uint16_t>(n), 2}};
        const auto frame = EncodeJournalRecord(record);
        bytes.insert(bytes.end(), frame.begin(), frame.end());
        if (n == 2) {
            bytes[bytes.size() - 3] ^= 0x40;  // a flipped bit in the second step
        }
    }
    std::filesystem::create_directories(JournalFolder());
    std::ofstream(JournalFolder() / (NameHash(key) + "-1-1-1.krj"), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
    std::ofstream(JournalFolder() / (NameHash(key) + "-1-1-2.krj")) << "nope";

    window = std::make_unique<MainWindow>();
    EXPECT_TRUE(
        window->unsavedStatus->text().endsWith("can be restored; 1 of 3 steps could not be read"));
    EXPECT_TRUE(window->statusBar()->currentMessage().startsWith(
        "An edit journal of set.bds could not be read; it was moved aside to "));
    window->restoreButton->click();
    BoardSetContent expected = TestSet(2);
    expected.boards[0].cells[1] = expected.boards[0].cells[3] = 2;
    EXPECT_TRUE(Editor().CurrentBoardSet() == expected);
    using Entries = std::filesystem::directory_iterator;
    EXPECT_EQ(std::distance(Entries(DamagedJournalFolder()), Entries()), 2);
    EXPECT_EQ(Journals(), 1u);
}

TEST_F(JournalTest, EditorsOnOneSetKeepAJournalEachAndEveryOneLeftIsOfferedInTurn) {
    Editor().Picture1_MouseDown(1, 5, 5);  // A's work
    const BoardSetContent workOfA = Editor().CurrentBoardSet();
    auto second = std::make_unique<MainWindow>();
    // A is still writing its journal: B neither offers nor overwrites it.
    EXPECT_TRUE(second->unsavedStatus->isHidden());
    second->editor()->Picture1_MouseDown(1, 35, 5);  // B's work
    const BoardSetContent workOfB = second->editor()->CurrentBoardSet();
    EXPECT_EQ(Journals(), 2u);
    window.reset();  // A closes with its work unsaved
    window = std::make_unique<MainWindow>();
    EXPECT_FALSE(window->unsavedStatus->isHidden());
    window->action("restoreUnsaved")->trigger();
    EXPECT_TRUE(Editor().CurrentBoardSet() == workOfA);
    EXPECT_EQ(Journals(), 2u);  // B's, still open, and this one's with the restored work

    // Both closed, and the file replaced since (by a checkout, say): the newest work first.
    second.reset();
    window.reset();
    WriteBoardSet("set.bds", TestSet(3));
    window = std::make_unique<MainWindow>();
    EXPECT_TRUE(window->unsavedStatus->text().endsWith(
        " (and 1 more) can be restored; the file has changed on disk since"));
    window->restoreButton->click();
    EXPECT_TRUE(Editor().CurrentBoardSet() == workOfA);
    EXPECT_TRUE(window->unsavedStatus->text().endsWith(
        " can be restored; the file has changed on disk since"));
    EXPECT_FALSE(window->unsavedStatus->text().contains("more"));
    window->restoreButton->click();
    EXPECT_TRUE(Editor().CurrentBoardSet() == workOfB);
    EXPECT_TRUE(window->unsavedStatus->isHidden());
    Editor().Document->undoStack()->undo();
    EXPECT_TRUE(Editor().CurrentBoardSet() == workOfA);
}

TEST_F(JournalTest, JournalsOfAFolderRenamedSinceAreListedAndRecoveredByTheCommandLine) {
    Edit();
    const BoardSetContent edited = Editor().CurrentBoardSet();
    window.reset();  // closed with the work unsaved
    TempFolder elsewhere;
    const auto moved = elsewhere / "moved";
    // Out of it first: Windows renames no folder that a process works in.
    std::filesystem::current_path(elsewhere.path());
    std::filesystem::rename(folder.path(), moved);
    std::filesystem::current_path(moved);
    window = std::make_unique<MainWindow>();
    EXPECT_TRUE(window->unsavedStatus->isHidden());  // another folder: nothing offered
    window.reset();

    QString listing;
    ASSERT_EQ(Krellon({"journals"}, &listing), 0);
    const QStringList lines = listing.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 1) << listing.toStdString();
    const QStringList fields = lines[0].split('\t');
    ASSERT_EQ(fields.size(), 5) << listing.toStdString();
    EXPECT_EQ(fields[2], "7 steps");
    EXPECT_EQ(fields[3].toStdString(), NameFromPath(folder.path() / "set.bds").toStdString());
    EXPECT_EQ(fields[4], "folder gone");

    ASSERT_EQ(Krellon({"recover", fields[0], "-o", "recovered.bds"}), 0);
    FileSource recovered;
    ASSERT_TRUE(recovered.open(moved / "recovered.bds"));
    EXPECT_EQ(DecodeBoardSet(recovered).value(), edited);
    EXPECT_EQ(Krellon({"recover", fields[0], "-o", fields[0]}), 1);  // its own input
    ASSERT_EQ(Krellon({"discard", fields[0]}), 0);
    ASSERT_EQ(Krellon({"journals"}, &listing), 0);
    EXPECT_TRUE(listing.isEmpty());
    std::filesystem::current_path(elsewhere.path());
    std::filesystem::rename(moved, folder.path());
    std::filesystem::current_path(folder.path());
}
