// The main window around the editor: its status bar and File > Backups….
#include <QApplication>
#include <QFile>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSettings>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QUndoStack>

#include "EditorFixture.h"
#include "document/BoardSetDocument.h"
#include "platform/ComboBox.h"
#include "platform/Controls.h"
#include "platform/PictureBox.h"
#include "shell/BackupsDialog.h"
#include "shell/BoardStrip.h"
#include "shell/EditorIcon.h"
#include "shell/MainWindow.h"
#include "shell/RecentFiles.h"
#include "shell/WindowSettings.h"
#include "storage/FileNames.h"
#include "storage/FileWrites.h"
#include "storage/StatusNotices.h"

using namespace krellon;

// What the program carries for a desktop that lacks it: its icon where no icon theme has it,
// and the Keys and Mouse table, each line a heading or keys and action.
TEST(BuiltInFiles, TheIconServesWithoutAThemeAndTheKeysTableReads) {
    const QStringList themePaths = QIcon::themeSearchPaths();
    QIcon::setThemeSearchPaths({});
    const QIcon icon = EditorIcon();
    QIcon::setThemeSearchPaths(themePaths);
    EXPECT_EQ(icon.availableSizes().size(), 7);
    EXPECT_EQ(icon.pixmap(QSize(48, 48)).size(), QSize(48, 48));

    QFile keys(":/help/keys-and-mouse.txt");
    ASSERT_TRUE(keys.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(keys.readAll()).split('\n', Qt::SkipEmptyParts);
    for (const QString& line : lines) {
        const QStringList cells = line.split('\t');
        EXPECT_TRUE(line.startsWith('#') || line.startsWith("== ") ||
                    (cells.size() == 2 && !cells[0].isEmpty() && !cells[1].isEmpty()))
            << line.toStdString();
    }
    EXPECT_TRUE(lines.contains("Ctrl+Shift+Z, Ctrl+Y\tRedo"));
}

class MainWindowTest : public EditorTest {
protected:
    void SetUp() override {
        WriteImages("bricks.img", TestBricks(20));
        WriteImages("backs.img", {TestBackground("stone", 64, 64)});
        BoardSetContent set = TestSet(2);
        set.boards[0].cell(2, 2) = 1;
        set.boards[0].cell(1, 0) = 99;
        WriteBoardSet("set.bds", set);
        window = std::make_unique<MainWindow>();
    }

    // Works File > Backups…, modal, while it is open: the rows it lists, a restore of the
    // newest version, closed.
    QStringList RestoreNewestBackup() {
        QStringList rows;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<BackupsDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            for (int i = 0; i < dialog->List->topLevelItemCount(); ++i) {
                QTreeWidgetItem* item = dialog->List->topLevelItem(i);
                rows << item->text(0) + "|" + item->text(3);
            }
            dialog->List->setCurrentItem(dialog->List->topLevelItem(0));
            dialog->Restore->click();
            dialog->reject();
        });
        window->action("backups")->trigger();
        return rows;
    }
};

TEST_F(MainWindowTest, TheEditorKeepsItsPlaceBesideTheStripInStepWithTheViewMenuAndStatusBar) {
    window->show();
    QApplication::processEvents();
    EXPECT_EQ(window->windowTitle(), "Krellon Boards Editor");
    Form1& f = Editor();
    EXPECT_EQ(f.size(), QSize(754, 575));
    // The client area in full at the window's first size, with nothing to scroll.
    auto* client = qobject_cast<QScrollArea*>(window->centralWidget());
    ASSERT_NE(client, nullptr);
    EXPECT_EQ(client->widget(), &f);
    EXPECT_EQ(client->viewport()->size(), f.size());
    EXPECT_GE(f.mapTo(window.get(), QPoint(0, 0)).y(), window->menuBar()->height());
    // The strip beside the editor, shown or not, leaves its controls where they are.
    BoardStrip* strip = window->strip();
    EXPECT_TRUE(strip->isVisibleTo(window.get()));
    EXPECT_TRUE(window->action("boards")->isChecked());
    EXPECT_FALSE(f.geometry().intersects(strip->geometry()));
    EXPECT_EQ(f.Picture1->geometry(), QRect(0, 56, 600, 300));
    window->action("boards")->trigger();
    EXPECT_FALSE(strip->isVisibleTo(window.get()));
    EXPECT_EQ(f.Picture1->geometry(), QRect(0, 56, 600, 300));
    // The View menu and the controls stay in step; views are not steps.
    window->action("modeBlack")->trigger();
    EXPECT_TRUE(f.Option1->Button(2)->isChecked());
    EXPECT_EQ(f.Option1->Selected(), 2);
    f.Option1->Button(1)->click();
    EXPECT_TRUE(window->action("modeHalfBright")->isChecked());
    EXPECT_TRUE(window->action("showHidden")->isChecked());
    window->action("showHidden")->trigger();
    EXPECT_FALSE(f.Check1->isChecked());
    f.Check1->click();
    EXPECT_TRUE(window->action("showHidden")->isChecked());
    EXPECT_EQ(f.Document->undoStack()->count(), 0);
    ShowStatus("No backup of KrelEdit.bds could be kept: Permission denied");
    EXPECT_EQ(window->statusBar()->currentMessage(),
              "No backup of KrelEdit.bds could be kept: Permission denied");
    // What lies under the pointer, on the board and on the palette.
    for (const auto& [picture, at, text] :
         {std::tuple{f.Picture1, QPoint(65, 35), "Column 3, row 3: brick 1, brick 1"},
          {f.Picture1, QPoint(35, 5), "Column 2, row 1: brick 99, not in the brick set"},
          {f.Picture1, QPoint(599, 299), "Column 20, row 20: empty"},
          {f.Picture2, QPoint(40, 5), "Brick 2: brick 2"},
          {f.Picture2, QPoint(2, 22), "Brick 17: brick 17"},
          {f.Picture2, QPoint(140, 20), ""},  // past the last brick
          {f.Picture2, QPoint(560, 2), ""}}) {
        QTest::mouseMove(picture, at);
        EXPECT_EQ(window->pointerStatus->text(), text);
    }
}

TEST_F(MainWindowTest, BackupsListsTheFolderVersionsAndRestoresOne) {
    folder.write("KrelEdit.bds", EncodeBoardSet(TestSet(5)));
    const auto older = folder.read("KrelEdit.bds");
    Form1& f = Editor();
    f.Command4->click();  // set.bds saved over the older KrelEdit.bds
    ASSERT_NE(folder.read("KrelEdit.bds"), older);

    EXPECT_EQ(RestoreNewestBackup(), QStringList{"KrelEdit.bds|Save of set.bds"});
    EXPECT_EQ(folder.read("KrelEdit.bds"), older);
    EXPECT_TRUE(
        window->statusBar()->currentMessage().startsWith("Restored KrelEdit.bds as it was on "));
    // The editor still shows the set it read; the content it replaced is kept in turn.
    EXPECT_EQ(f.BoardCount(), 2);
    const auto kept = Backups().list(folder.path());
    ASSERT_EQ(kept.size(), 2u);
    EXPECT_TRUE(kept[0].reason.starts_with("Restore of the version of "));
}

TEST_F(MainWindowTest, AnImageFileOfAnOddNameRestoredFromTheBackupsIsReadAgain) {
#ifdef _WIN32
    // A set names its files in Windows-1252; on disk the name is UTF-16.
    const QString name = QString::fromUtf8("b\u00e9x.img");
    const std::string stored = "b\xe9x.img";
#else
    const QString name = "b\nx.img";  // shown as "b⏎x.img"
    const std::string stored = BytesFromName(name);
#endif
    WriteImages(BytesFromName(name), TestBricks(3));
    BoardSetContent set = TestSet(1);
    set.brickSetFile = stored;
    set.boards[0].cell(0, 0) = 1;
    WriteBoardSet("odd.bds", set);
    window = std::make_unique<MainWindow>(nullptr, "odd.bds");
    Form1& f = Editor();
    const QImage before = f.Picture1->image().copy();
    std::vector<ImageSpec> repainted = TestBricks(3);
    repainted[0] = TestBrick("Red", 9);
    ASSERT_TRUE(
        ReplaceFile(PathFromName(name), BuildImageFile(repainted, GreyPalette()), "Test").ok());
    f.ImageFileChanged(name);
    ASSERT_NE(f.Picture1->image(), before);
    RestoreNewestBackup();  // the bricks as they were
    EXPECT_EQ(f.Picture1->image(), before);
}

TEST_F(MainWindowTest, TheMenusKeysDoWhatTheControlsDo) {
    window->show();
    QApplication::setActiveWindow(window.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    Form1& f = Editor();
    EXPECT_EQ(QApplication::focusWidget(), f.Picture1);
    const auto key = [&](QKeyCombination combination) {
        QTest::keyClick(QApplication::focusWidget(), combination.key(),
                        combination.keyboardModifiers());
    };
    key(Qt::Key_PageDown);
    EXPECT_EQ(f.CurrentBoard, 2);
    EXPECT_EQ(f.Command2->Caption(), "Board 1 >");
    key(Qt::Key_PageUp);
    EXPECT_EQ(f.CurrentBoard, 1);

    QTest::mouseClick(f.Picture1, Qt::LeftButton, {}, QPoint(95, 50));  // brick 1 at (3, 3)
    EXPECT_EQ(f.BrickGrid(1, 3, 3), 1);
    EXPECT_EQ(window->action("undo")->text(), "Undo Place Brick");
    EXPECT_EQ(window->modifiedStatus->text(), "modified");
    EXPECT_EQ(window->fileStatus->text(), "set.bds");
    key(Qt::CTRL | Qt::Key_Z);
    EXPECT_EQ(f.BrickGrid(1, 3, 3), 0);
    EXPECT_EQ(window->action("redo")->text(), "Redo Place Brick");
    EXPECT_EQ(window->modifiedStatus->text(), "");
    key(Qt::CTRL | Qt::Key_Y);
    EXPECT_EQ(f.BrickGrid(1, 3, 3), 1);
    key(Qt::CTRL | Qt::SHIFT | Qt::Key_Z);  // nothing left to redo
    EXPECT_EQ(f.BrickGrid(1, 3, 3), 1);

    window->action("clearBoard")->trigger();
    EXPECT_EQ(window->action("undo")->text(), "Undo Clear Board");
    EXPECT_EQ(f.BrickGrid(1, 2, 2), 0);
    window->action("saveToKrelEdit")->trigger();
    EXPECT_EQ(f.BoardSetFile, "KrelEdit.bds");
    EXPECT_EQ(window->fileStatus->text(), "KrelEdit.bds");
    EXPECT_EQ(window->modifiedStatus->text(), "");
    EXPECT_EQ(folder.read("KrelEdit.bds"), EncodeBoardSet(f.CurrentBoardSet()));
    // Saving keeps the history: an undo is unsaved again, its redo saved.
    key(Qt::CTRL | Qt::Key_Z);
    EXPECT_EQ(window->modifiedStatus->text(), "modified");
    key(Qt::CTRL | Qt::Key_Y);
    EXPECT_EQ(window->modifiedStatus->text(), "");

    // Inside a list's text field, keys keep their text meaning.
    f.Combo3->lineEdit()->setFocus();
    const auto before = f.CurrentBoardSet();
    QTest::keyClicks(f.Combo3->lineEdit(), "xy");
    key(Qt::CTRL | Qt::Key_Z);
    EXPECT_TRUE(f.CurrentBoardSet() == before);
    EXPECT_EQ(f.Combo3->lineEdit()->text(), "KrelEdit.bds");
}

TEST(RecentFilesTest, KeepsTheLastTenOnceEachMostRecentFirstWithEveryByteOfTheirNames) {
    TempFolder folder;
    RecentFiles recent;
    for (int i = 0; i < 12; ++i) {
        recent.add(NameFromPath(folder / ("s" + std::to_string(i) + ".bds")));
    }
    recent.add(NameFromPath(folder / "s5.bds"));
    ASSERT_EQ(recent.paths().size(), RecentFiles::kLimit);
    EXPECT_EQ(recent.paths()[0], NameFromPath(folder / "s5.bds"));
    EXPECT_EQ(recent.paths().back(), NameFromPath(folder / "s2.bds"));  // s0, s1 dropped
    recent.add(NameFromPath(folder / "S5.BDS"));  // another file but on Windows
#ifndef _WIN32
    EXPECT_EQ(recent.paths()[1], NameFromPath(folder / "s5.bds"));
#endif

    // Only the files still there stay; names that are not UTF-8 come back whole.
#ifdef _WIN32
    const std::string odd = "b\xc3\xa9.bds";
    const QString shown = "b\u00e9.bds \u2014 ";
#else
    const std::string odd = "b\xe9\n.bds";  // not UTF-8, a line break
    const QString shown = "b\ufffd\u23ce.bds \u2014 ";
#endif
    folder.write(odd, {1});
    recent.add(NameFromPath(folder / odd));
    EXPECT_TRUE(RecentFiles::exists(recent.paths()[0]) && !RecentFiles::exists(recent.paths()[1]));
    EXPECT_TRUE(RecentFiles::entryText(recent.paths()[0]).startsWith(shown));
    QSettings settings(NameFromPath(folder / "kept.ini"), QSettings::IniFormat);
    recent.save(settings);
    recent.removeMissing();
    ASSERT_EQ(recent.paths().size(), 1);
    RecentFiles read;
    read.load(settings);
    EXPECT_EQ(read.paths().size(), RecentFiles::kLimit);
    EXPECT_EQ(PathFromName(read.paths()[0]), folder / odd);
}

TEST_F(MainWindowTest, OpenRecentListsTheSetsShownAndOpensOneInItsFolder) {
    CatchMessages();
    TempFolder other, empty;
    other.write("x.bds", EncodeBoardSet(TestSet(3)));
    other.write("gone.bds", EncodeBoardSet(TestSet(1)));
    for (const std::string name : {"gone.bds", "x.bds"}) {
        AnswerDialogs(other / name);
        window->action("openBoardSet")->trigger();
    }
    AnswerDialogs(empty.path());
    window->action("openFolder")->trigger();  // a new set, with no file to list
    std::filesystem::remove(other / "gone.bds");
    auto* menu = window->findChild<QMenu*>("openRecent");
    emit menu->aboutToShow();
    QList<QAction*> entries = menu->actions();
    ASSERT_EQ(entries.size(), 6);  // three sets, a line, Clear Missing, Clear Recent
    EXPECT_EQ(entries[0]->text(), "&1 x.bds \u2014 " + NameFromPath(other.path()));
    EXPECT_EQ(entries[2]->text(), "&3 set.bds \u2014 " + NameFromPath(folder.path()));
    EXPECT_FALSE(entries[1]->isEnabled());  // gone.bds

    entries[2]->trigger();
    EXPECT_EQ(QDir::current(), QDir(NameFromPath(folder.path())));
    EXPECT_EQ(Editor().BoardSetFile, "set.bds");
    EXPECT_EQ(window->recentFiles().paths()[0], NameFromPath(folder / "set.bds"));
    window->action("clearMissing")->trigger();
    EXPECT_EQ(window->recentFiles().paths().size(), 2);
    window->action("clearRecent")->trigger();
    emit menu->aboutToShow();
    EXPECT_EQ(menu->actions().size(), 3);
    EXPECT_FALSE(window->action("clearRecent")->isEnabled());
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(MainWindowTest, ThePlaceStripZoomAndRecentSetsComeBackButNotTheDisplayMode) {
    const auto settings = WindowSettings::open();
    settings->clear();
    EXPECT_TRUE(settings->fileName().endsWith("/krellon/krellon-editor.ini"));
    const int mode = Editor().Option1->Selected();
    const bool hidden = Editor().Check1->isChecked();
    window->keepSettings();
    window->show();
    // A place and size the screen holds: a restore moves a window back onto its screen.
    window->move(40, 30);
    window->resize(QGuiApplication::primaryScreen()->availableSize() / 2);
    window->setZoom(3);
    window->action("boards")->trigger();
    window->action("modeBlack")->trigger();
    window->action("showHidden")->trigger();
    window->close();
    const QRect place = window->geometry();

    window.reset();
    window = std::make_unique<MainWindow>();
    window->keepSettings();
    window->show();
    EXPECT_EQ(window->geometry(), place);
    EXPECT_EQ(Editor().Zoom, 3);
    EXPECT_FALSE(window->strip()->isVisibleTo(window.get()));
    EXPECT_EQ(Editor().Option1->Selected(), mode);
    EXPECT_EQ(Editor().Check1->isChecked(), hidden);
    EXPECT_EQ(window->recentFiles().paths(), QStringList{NameFromPath(folder / "set.bds")});
    WindowSettings::save(*window, 9);
    EXPECT_EQ(WindowSettings::restore(*window), 4);
    settings->clear();
    settings->sync();
    EXPECT_EQ(WindowSettings::restore(*window), 1);
}
