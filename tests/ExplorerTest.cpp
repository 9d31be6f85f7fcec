// The image explorer: opening it from the editor, browsing, and drawing the image shown.
#include <QAction>
#include <QApplication>
#include <QHelpEvent>
#include <QImage>
#include <QMenuBar>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QToolTip>
#include <QWheelEvent>
#include <QtTest/QTest>

#include "EditorFixture.h"
#include "explorer/Form2.h"
#include "explorer/Module1.h"
#include "formats/StoredImageFile.h"
#include "platform/ComboBox.h"
#include "platform/Controls.h"
#include "platform/Dialogs.h"
#include "platform/Label.h"
#include "platform/PictureBox.h"
#include "storage/FileWrites.h"

using namespace krellon;

class ExplorerTest : public EditorTest {
protected:
    // A folder with a brick set, a background set and an image file of assorted images.
    Form1& OpenFolder() {
        WriteImages("bricks.img", TestBricks(20));
        WriteImages("backs.img", {TestBackground("a", 64, 64), TestBackground("b", 128, 128, 5)});
        std::vector<ImageSpec> assorted = {TestBrick("wall"),
                                           TestBackground("wall.bmp", 64, 64),
                                           TestBackground("wall.BMP", 128, 128),
                                           TestBackground(".bmp", 300, 20),
                                           TestBackground("", 3, 2),
                                           TestBackground("grey", 4, 4),
                                           TestBackground("last", 2, 2)};
        assorted[5].palette.clear();  // drawn with the file palette
        WriteImages("assorted.img", assorted);
        BoardSetContent set = TestSet(2);
        set.boards[1].background = 7;
        WriteBoardSet("set.bds", set);
        return Open();
    }
};

TEST_F(ExplorerTest, PreviewClicksOpenTheExplorerAtTheirImage) {
    Form1& f = OpenFolder();
    Pick(f.Combo1, 1);
    QTest::mouseClick(f.Picture3, Qt::LeftButton);
    ASSERT_TRUE(Shared().Explorer);
    Form2& explorer = *Shared().Explorer;
    EXPECT_EQ(Shared().ExplorerFile, "backs.img");
    EXPECT_EQ(explorer.windowTitle(), "Krellon IMG Explorer  - image 2 of 2");
    EXPECT_EQ(explorer.Combo1->Text(), "backs.img");
    EXPECT_EQ(explorer.Combo2->ListIndex(), 1);

    Pick(f.Combo2, 11);
    QTest::mouseClick(f.Picture4, Qt::LeftButton);
    EXPECT_EQ(Shared().Explorer.data(), &explorer);  // one instance, reused
    EXPECT_EQ(Shared().ExplorerFile, "bricks.img");
    EXPECT_EQ(explorer.windowTitle(), "Krellon IMG Explorer  - image 12 of 20");

    // A board whose background the set lacks opens nothing.
    delete Shared().Explorer.data();
    f.Command2->click();
    QTest::mouseClick(f.Picture3, Qt::LeftButton);
    EXPECT_FALSE(Shared().Explorer);
}

TEST_F(ExplorerTest, WindowLayoutAndTabOrder) {
    OpenFolder();
    Form2& e = Explore("bricks.img", 1);
    // The controls' client area has the designed size, right below the menu bar.
    EXPECT_EQ(e.Client->size(), QSize(536, 354));
    EXPECT_EQ(e.width(), 536);
    EXPECT_EQ(e.Client->mapTo(&e, QPoint()), QPoint(0, e.MenuBar->height()));
    // Its status bar below it.
    EXPECT_EQ(e.height(), e.MenuBar->height() + 354 + e.StatusBar->height());
    EXPECT_TRUE(e.parentWidget() == nullptr);
    EXPECT_EQ(e.Picture2->geometry(), QRect(272, 8, 260, 260));
    EXPECT_EQ(e.Command1->geometry(), QRect(8, 320, 257, 25));
    EXPECT_EQ(e.Command4->geometry(), QRect(464, 280, 65, 33));
    EXPECT_EQ(e.Label1->Caption(), "IMG file");
    EXPECT_EQ(e.Command3->Caption(), "< Previous");
    std::vector<QWidget*> chain = {e.Command4};
    while (chain.size() < 6) {
        chain.push_back(chain.back()->nextInFocusChain());
        while (chain.back()->focusPolicy() == Qt::NoFocus ||
               chain.back()->parentWidget() != e.Client) {
            chain.back() = chain.back()->nextInFocusChain();
        }
    }
    EXPECT_EQ(chain, (std::vector<QWidget*>{e.Command4, e.Command1, e.Command2, e.Combo1, e.Combo2,
                                            e.Command3}));
    EXPECT_EQ(e.focusWidget(), e.Command4);
}

TEST_F(ExplorerTest, StepsRingListsPickAndActivationReadsTheFolderAndTheFileAgain) {
    OpenFolder();
    Form2& e = Explore("assorted.img", 5);
    EXPECT_EQ(e.windowTitle(), "Krellon IMG Explorer  - image 5 of 7");
    e.Command4->click();
    e.Command4->click();
    EXPECT_EQ(Shared().CurrentImage, 7);
    e.Command4->click();
    EXPECT_EQ(Shared().CurrentImage, 1);
    e.Command3->click();
    EXPECT_EQ(Shared().CurrentImage, 7);
    EXPECT_EQ(e.Combo2->ListIndex(), 6);
    Pick(e.Combo2, 2);
    EXPECT_EQ(Shared().CurrentImage, 3);

    // The file already open: nothing is read again and the image stays.
    WriteImages("assorted.img", {TestBrick("only"), TestBrick("two"), TestBrick("three")});
    Pick(e.Combo1, e.Combo1->findText("assorted.img"));
    EXPECT_EQ(Shared().CurrentImage, 3);
    EXPECT_EQ(Shared().ImageCount, 7);
    // Activation lists the folder and reads the file again, keeping the image shown.
    EXPECT_EQ(e.Combo1->ListCount(), 3);
    WriteImages("new.img", {TestBrick("n")});
    Form2::ShowExplorer();
    EXPECT_EQ(e.Combo1->ListCount(), 4);
    EXPECT_EQ(Shared().ImageCount, 3);
    EXPECT_EQ(e.windowTitle(), "Krellon IMG Explorer  - image 3 of 3");
    // The image shown is no longer in the file: its last one is shown.
    WriteImages("assorted.img", {TestBrick("only"), TestBrick("two")});
    e.Form_Activate();
    EXPECT_EQ(e.windowTitle(), "Krellon IMG Explorer  - image 2 of 2");
    EXPECT_TRUE(e.Command1->isEnabled());
    EXPECT_EQ(e.Combo2->Text(), "two");
    Pick(e.Combo1, e.Combo1->findText("backs.img"));
    EXPECT_EQ(Shared().ExplorerFile, "backs.img");
    EXPECT_EQ(Shared().CurrentImage, 1);
    EXPECT_EQ(Shared().ImageCount, 2);
}

TEST_F(ExplorerTest, BitmapNamesButtonCaptionsScaleAndPlacement) {
    OpenFolder();
    Form2& e = Explore("assorted.img", 1);
    EXPECT_EQ(e.Command1->Caption(), "<-  Export to  wall.bmp  ->");
    EXPECT_EQ(e.Command2->Caption(), "->  Import from  wall.bmp  <-");
    int image = 0;
    for (const QString bitmap : {"wall.bmp", "wall.bmp", "wall.BMP.bmp", ".bmp.bmp", ".bmp"}) {
        Shared().CurrentImage = ++image;
        e.ShowImage();
        EXPECT_EQ(Shared().BitmapFile(), bitmap) << image;
    }
    // Each step of the scale button, with the image's place.
    Shared().CurrentImage = 1;
    e.ShowImage();
    for (const auto& [scale, place] : {std::pair{8, QRect(15, 78, 240, 120)},
                                       {4, QRect(7, 10, 256, 256)},
                                       {2, QRect(7, 10, 256, 256)},
                                       {1, QRect(7, 128, 300, 20)}}) {
        EXPECT_EQ(e.Scale, scale);
        EXPECT_EQ(e.Picture1->geometry(), place);
        e.Command4->click();
    }
}

TEST_F(ExplorerTest, TheImageAndItsPaletteArDrawnExactly) {
    OpenFolder();
    Form2& e = Explore("assorted.img", 2);  // 64 x 64, scale 4
    const QImage& image = e.Picture1->image();
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 256; ++x) {
            ASSERT_EQ(PixelAt(image, x, y), TestColour(BackgroundIndex(x / 4, y / 4)))
                << x << "," << y;
        }
    }
    const QImage& grid = e.Picture2->image();
    const QRgb back = grid.pixel(0, 0);
    for (int k = 0; k < 256; ++k) {
        const int left = (k % 16) * 16;
        const int top = (k / 16) * 16;
        ASSERT_EQ(PixelAt(grid, left + 1, top + 1), TestColour(k));
        ASSERT_EQ(PixelAt(grid, left + 14, top + 14), TestColour(k));
        ASSERT_EQ(grid.pixel(left + 15, top + 7), back);
        ASSERT_EQ(grid.pixel(left + 7, top + 15), back);
    }
    // Without a palette of its own an image is drawn with the file palette (a grey ramp).
    Shared().CurrentImage = 6;
    e.ShowImage();
    EXPECT_EQ(PixelAt(e.Picture2->image(), 16 * 3 + 1, 1), MakeColour(3, 3, 3));
    EXPECT_EQ(PixelAt(e.Picture1->image(), 64, 0), MakeColour(7, 7, 7));
    EXPECT_EQ(e.ImageToolTip(64, 0), "Pixel 1, 0: index 7, red 7, green 7, blue 7");
    EXPECT_EQ(e.PaletteToolTip(16 * 3 + 5, 5), "Entry 3: red 3, green 3, blue 3");
}

TEST_F(ExplorerTest, NothingToShowDisablesTheControls) {
    OpenFolder();
    WriteImages("empty.img", {});
    for (const auto& [file, image] : std::vector<std::pair<QString, int>>{
             {"empty.img", 1}, {"", 1}, {"gone.img", 1}, {"bricks.img", 0}}) {
        Form2& e = Explore(file, image);
        EXPECT_EQ(e.windowTitle(), "Krellon IMG Explorer") << file.toStdString() << image;
        for (QWidget* control : std::initializer_list<QWidget*>{e.Command1, e.Command2, e.Command3,
                                                                e.Command4, e.Combo2}) {
            EXPECT_FALSE(control->isEnabled());
        }
        e.Command1_Click();  // harmless all the same
        e.Command2_Click();
        e.Command4_Click();
    }
    Form2& e = Explore("bricks.img", 3);
    EXPECT_TRUE(e.Command4->isEnabled());
    // A number past the file's images shows its last one.
    Explore("bricks.img", 1000);
    EXPECT_EQ(Shared().CurrentImage, Shared().ImageCount);
    EXPECT_TRUE(e.Command4->isEnabled());
}

TEST_F(ExplorerTest, ZoomEnlargesThePictureInBlocksAndScrollsTheClientArea) {
    OpenFolder();
    Form2& e = Explore("assorted.img", 2);  // 64 x 64 at scale 4: 256 x 256 at 1x
    QApplication::processEvents();
    const QRect client(QPoint(0, e.MenuBar->height()), QSize(536, 354));
    const QImage at1 = e.grab(client).toImage();
    // The window shows the client area as it stands alone: no frame, no shift, no scroll bar.
    EXPECT_EQ(at1, e.Client->grab().toImage().convertToFormat(at1.format()));
    const QImage picture = e.Picture1->image();
    EXPECT_EQ(at1.copy(7, 10, 256, 256).convertToFormat(picture.format()), picture);
    EXPECT_FALSE(e.ZoomOutAction->isEnabled() || e.ActualSizeAction->isEnabled());
    e.ZoomOut();  // at the limit: nothing
    EXPECT_EQ(e.Zoom, 1);

    for (const auto& [k, keys] :
         {std::pair{2, QList{Qt::Key_Equal}}, {4, {Qt::Key_Plus, Qt::Key_Plus}}}) {
        for (Qt::Key key : keys) {
            QTest::keyClick(&e, key, Qt::ControlModifier);
        }
        ASSERT_EQ(e.Zoom, k);
        const int grow = 256 * (k - 1);
        EXPECT_EQ(e.Picture1->geometry(), QRect(7, 10, 256 * k, 256 * k));
        EXPECT_EQ(e.Client->size(), QSize(536 + grow, 354 + grow));
        EXPECT_EQ(e.Picture2->pos(), QPoint(272 + grow, 8));
        EXPECT_EQ(e.Command1->pos(), QPoint(8, 320 + grow));
        EXPECT_EQ(e.Command4->pos(), QPoint(464 + grow, 280 + grow));
        if (k == 2) {  // it fits the window, so it is shown whole
            EXPECT_LE(e.ClientScroll->horizontalScrollBar()->value(), 7);
        }
        const QImage zoomed = e.Picture1->grab().toImage();
        for (int y = 0; y < zoomed.height(); ++y) {
            for (int x = 0; x < zoomed.width(); ++x) {
                ASSERT_EQ(zoomed.pixel(x, y), picture.pixel(x / k, y / k))
                    << k << ":" << x << "," << y;
            }
        }
        // The tooltip names the image pixel under the pointer: the last zoomed pixel of image
        // pixel (3, 2) is 1x pixel (15, 11).
        const QPoint last(16 * k - 1, 12 * k - 1);
        QHelpEvent help(QEvent::ToolTip, last, e.Picture1->mapToGlobal(last));
        QApplication::sendEvent(e.Picture1, &help);
        EXPECT_TRUE(QToolTip::text().startsWith("Pixel 3, 2:"));
    }
    EXPECT_FALSE(e.ZoomInAction->isEnabled());
    e.ZoomIn();  // at the limit: nothing
    EXPECT_EQ(e.Zoom, 4);
    // Ctrl+wheel over the picture zooms.
    const QPoint p(10, 10);
    QWheelEvent out(p, e.Picture1->mapToGlobal(p), {}, {0, -120}, Qt::NoButton, Qt::ControlModifier,
                    Qt::NoScrollPhase, false);
    QApplication::sendEvent(e.Picture1, &out);
    EXPECT_EQ(e.Zoom, 3);
    QTest::keyClick(&e, Qt::Key_0, Qt::ControlModifier);
    EXPECT_EQ(e.Zoom, 1);
    QApplication::processEvents();
    EXPECT_EQ(e.grab(client).toImage(), at1);

    // A picture wider than its square is no longer cut: it starts at the square's corner and the
    // controls beside it move over.
    Explore("assorted.img", 4);  // 300 x 20
    EXPECT_EQ(e.Picture1->geometry(), QRect(7, 128, 300, 20));
    EXPECT_EQ(e.Picture2->pos(), QPoint(272 + 44, 8));
    // A small window scrolls the client area.
    e.resize(100, 100);
    QApplication::processEvents();
    EXPECT_GT(e.ClientScroll->horizontalScrollBar()->maximum(), 0);
    EXPECT_GT(e.ClientScroll->verticalScrollBar()->maximum(), 0);
    e.ZoomIn();
    e.Command4->click();
}

TEST_F(ExplorerTest, TheImageMenuReshapesTheFileShownAndRefusesOneChangedOnDisk) {
    Form1& f = OpenFolder();
    CatchMessages();
    Form2& e = Explore("bricks.img", 2);
    const auto original = folder.read("bricks.img");
    // What each entry must write: the file as the model reads it, changed as the entry says.
    auto expected = DecodeStoredImageFile(original).value();
    const auto trigger = [&](const char* id) { e.MenuBar->findChild<QAction*>(id)->trigger(); };
    SetInputHandlerForTesting([](auto&&...) { return QString("Ruby"); });
    trigger("renameImage");
    ASSERT_TRUE(RenameImage(expected, 2, "Ruby").ok());
    EXPECT_EQ(folder.read("bricks.img"), EncodeStoredImageFile(expected));
    EXPECT_EQ(f.BrickNames()[2], "Ruby");  // the editor follows at once
    EXPECT_EQ(e.StatusBar->currentMessage(), "Renamed image 2 to Ruby");
    trigger("moveImageLater");
    ASSERT_TRUE(MoveImage(expected, 2, 3).ok());
    EXPECT_EQ(folder.read("bricks.img"), EncodeStoredImageFile(expected));
    EXPECT_EQ(Shared().CurrentImage, 3);
    trigger("deleteImage");
    ASSERT_TRUE(RemoveImage(expected, 3).ok());
    EXPECT_EQ(folder.read("bricks.img"), EncodeStoredImageFile(expected));
    EXPECT_EQ(f.BrickCount(), 19);

    // A picture of another size, added after the image shown under the name given.
    folder.write("Star.bmp", BitmapOf(5, 3, TestPalette(2), std::vector<std::uint8_t>(15, 7)).data);
    AnswerDialogs(folder / "Star.bmp");
    SetInputHandlerForTesting([](auto&&...) { return QString("Star"); });
    const int at = Shared().CurrentImage + 1;
    trigger("addImage");
    ImagePicture star{5, 3, TestPalette(2), std::vector<std::uint8_t>(15, 7)};
    ASSERT_TRUE(
        InsertImage(expected, static_cast<std::size_t>(at), MakeStoredImage("Star", star).value())
            .ok());
    EXPECT_EQ(folder.read("bricks.img"), EncodeStoredImageFile(expected));
    EXPECT_EQ(Shared().ImageNames[at], "Star");
    // Done, with a warning: among 30 x 15 bricks it puts those after it out of step.
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(QString("image %1, 5 × 3, puts every brick").arg(at)))
        << messages[0].toStdString();
    messages.clear();
    EXPECT_GE(Backups().list().size(), 4u);

    // Undo goes back through the kept versions, three changes deep; Redo comes forward again.
    const auto added = folder.read("bricks.img");
    RemoveImage(expected, static_cast<std::size_t>(at));
    const auto deleted = EncodeStoredImageFile(expected);
    const QAction* undo = e.MenuBar->findChild<QAction*>("undo");
    EXPECT_EQ(undo->text(), "&Undo Add Image Star");
    trigger("undo");
    EXPECT_EQ(folder.read("bricks.img"), deleted);
    trigger("undo");
    trigger("undo");
    EXPECT_EQ(f.BrickNames()[2], "Ruby");
    EXPECT_EQ(Shared().ImageNames[3], "brick 3");  // before the move
    trigger("redo");
    trigger("redo");
    EXPECT_EQ(folder.read("bricks.img"), deleted);
    trigger("redo");
    EXPECT_EQ(folder.read("bricks.img"), added);
    EXPECT_FALSE(e.MenuBar->findChild<QAction*>("redo")->isEnabled());

    // A true-colour picture replacing the image shown takes its palette, each colour's lowest
    // index.
    const int n = Shared().CurrentImage;
    auto model = DecodeStoredImageFile(folder.read("bricks.img")).value();
    const auto& palette = model.images[static_cast<std::size_t>(n - 1)].palette;
    const auto lowest = [&](std::size_t k) {
        for (std::size_t i = 0;; ++i) {
            if (std::equal(&palette[4 * i], &palette[4 * i + 3], &palette[4 * k])) {
                return static_cast<std::uint8_t>(i);
            }
        }
    };
    QImage colours(3, 1, QImage::Format_RGB32);
    for (int x = 0; x < 3; ++x) {
        const std::size_t k = 4 * (static_cast<std::size_t>(x) + 2);
        colours.setPixel(x, 0, qRgb(palette[k], palette[k + 1], palette[k + 2]));
    }
    ASSERT_TRUE(colours.save(QString::fromStdWString((folder / "true.png").wstring())));
    AnswerDialogs(folder / "true.png");
    trigger("replaceImage");
    model = DecodeStoredImageFile(folder.read("bricks.img")).value();
    EXPECT_EQ(model.images[static_cast<std::size_t>(n - 1)].pixels,
              (std::vector<std::uint8_t>{lowest(2), lowest(3), lowest(4)}));
    EXPECT_EQ(model.images[static_cast<std::size_t>(n - 1)].width, 3);
    EXPECT_EQ(messages.size(), 1);  // out of step too
    messages.clear();

    // Changed on disk since it was shown: read again, nothing written.
    WriteImages("bricks.img", TestBricks(3));
    const auto replaced = folder.read("bricks.img");
    trigger("deleteImage");
    EXPECT_EQ(folder.read("bricks.img"), replaced);
    EXPECT_EQ(messages.size(), 1);
    EXPECT_EQ(Shared().ImageCount, 3);

    // A new file: no images, its head as the folder's image files have it; then a first image.
    AnswerDialogs(folder / "Fresh.img");
    trigger("newImageFile");
    StoredImageFile fresh = DecodeStoredImageFile(replaced).value();
    fresh.images.clear();
    EXPECT_EQ(folder.read("Fresh.img"), EncodeStoredImageFile(fresh));
    EXPECT_EQ(Shared().ExplorerFile, "Fresh.img");
    EXPECT_EQ(e.Combo1->Text(), "Fresh.img");
    EXPECT_EQ(Shared().ImageCount, 0);
    const auto enabled = [&](const char* id) {
        return e.MenuBar->findChild<QAction*>(id)->isEnabled();
    };
    // Only what can act on the file shown is offered: bricks.img's history is not Fresh's.
    EXPECT_TRUE(enabled("addImage") && !enabled("deleteImage") && !enabled("undo"));
    AnswerDialogs(folder / "Star.bmp");
    trigger("addImage");
    const auto empty = EncodeStoredImageFile(fresh);
    ASSERT_TRUE(InsertImage(fresh, 1, MakeStoredImage("Star", star).value()).ok());
    EXPECT_EQ(folder.read("Fresh.img"), EncodeStoredImageFile(fresh));
    EXPECT_EQ(messages.size(), 1) << messages.join("; ").toStdString();
    EXPECT_TRUE(enabled("deleteImage") && !enabled("moveImageEarlier") &&
                !enabled("moveImageLater"));
    trigger("undo");
    EXPECT_EQ(folder.read("Fresh.img"), empty);
    EXPECT_EQ(folder.read("bricks.img"), replaced);
    EXPECT_FALSE(enabled("undo"));
}
