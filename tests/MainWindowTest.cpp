// The main window around the editor: its status bar and File > Backups….
#include <QApplication>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QTreeWidget>

#include "EditorFixture.h"
#include "platform/ComboBox.h"
#include "platform/Controls.h"
#include "platform/Dialogs.h"
#include "platform/FileNames.h"
#include "platform/FileWrites.h"
#include "platform/PictureBox.h"
#include "platform/StatusNotices.h"
#include "shell/BackupsDialog.h"
#include "shell/MainWindow.h"

using namespace krellon;

class MainWindowTest : public EditorTest {
protected:
    void SetUp() override {
        WriteImages("bricks.img", TestBricks(3));
        WriteImages("backs.img", {TestBackground("stone", 64, 64)});
        BoardSetContent set = TestSet(2);
        set.boards[0].cell(2, 2) = 1;
        WriteBoardSet("set.bds", set);
        window = std::make_unique<MainWindow>();
    }
    void TearDown() override {
        window.reset();
        SetMessageHandlerForTesting(nullptr);
    }

    std::unique_ptr<MainWindow> window;
};

TEST_F(MainWindowTest, TheEditorKeepsItsClientAreaAndTheStatusBarCarriesNotices) {
    window->show();
    EXPECT_EQ(window->windowTitle(), "Krellon Boards Editor");
    Form1& f = *window->Editor();
    EXPECT_EQ(f.size(), QSize(754, 575));
    EXPECT_EQ(f.Picture1->geometry(), QRect(0, 56, 600, 300));
    EXPECT_EQ(window->centralWidget(), &f);
    EXPECT_GE(f.mapTo(window.get(), QPoint(0, 0)).y(), window->menuBar()->height());
    ShowStatus("No backup of KrelEdit.bds could be kept: Permission denied");
    EXPECT_EQ(window->statusBar()->currentMessage(),
              "No backup of KrelEdit.bds could be kept: Permission denied");
}

TEST_F(MainWindowTest, BackupsListsTheFolderVersionsAndRestoresOne) {
    folder.write("KrelEdit.bds", EncodeBoardSet(TestSet(5)));
    const auto older = folder.read("KrelEdit.bds");
    Form1& f = *window->Editor();
    f.Command4->click();  // set.bds saved over the older KrelEdit.bds
    ASSERT_NE(folder.read("KrelEdit.bds"), older);

    QStringList rows;
    bool restored = false;
    // The dialog is modal: it is worked while it is open, then closed.
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<BackupsDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        for (int i = 0; i < dialog->List->topLevelItemCount(); ++i) {
            QTreeWidgetItem* item = dialog->List->topLevelItem(i);
            rows << item->text(0) + "|" + item->text(3);
        }
        dialog->List->setCurrentItem(dialog->List->topLevelItem(0));
        dialog->Restore->click();
        restored = true;
        dialog->reject();
    });
    window->BackupsAction->trigger();
    ASSERT_TRUE(restored);
    EXPECT_EQ(rows, QStringList{"KrelEdit.bds|Save of set.bds"});
    EXPECT_EQ(folder.read("KrelEdit.bds"), older);
    EXPECT_TRUE(
        window->statusBar()->currentMessage().startsWith("Restored KrelEdit.bds as it was on "));
    // The editor still shows the set it read; the content it replaced is kept in turn.
    EXPECT_EQ(f.BoardCount, 2);
    const auto kept = Backups().list(folder.path());
    ASSERT_EQ(kept.size(), 2u);
    EXPECT_TRUE(kept[0].reason.starts_with("Restore of the version of "));
}
