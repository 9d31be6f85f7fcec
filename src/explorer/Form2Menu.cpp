// The explorer's menu: the image shown to and from a palette PNG, and every image of the file
// out to a folder and back in at once.
#include <QApplication>
#include <QDir>
#include <QMenuBar>

#include "Form2.h"
#include "explorer/Module1.h"
#include "formats/PngImage.h"
#include "platform/Dialogs.h"
#include "platform/Handlers.h"
#include "storage/FileNames.h"
#include "storage/FileSource.h"
#include "storage/Files.h"
#include "storage/StatusNotices.h"
#include "transfers/ImageTransfers.h"

namespace krellon {

namespace {

// The explorer's file as the transfers name it: the file found, byte for byte.
QString ExplorerPath() {
    const auto path = FindFile(Shared().ExplorerFile);
    return path ? NameFromPath(*path) : Shared().ExplorerFile;
}

}  // namespace

void Form2::CreateMenus() {
    MenuBar = new QMenuBar(this);
    QMenu* menu = MenuBar->addMenu("&File");
    const auto add = [&](const QString& text, void (Form2::*handler)()) {
        QAction* action = menu->addAction(text);
        connect(action, &QAction::triggered, this,
                [this, handler] { RunHandler(this, [this, handler] { (this->*handler)(); }); });
        return action;
    };
    ExportPngAction = add("Export to &PNG", &Form2::ExportPng);
    ImportPngAction = add("&Import from PNG", &Form2::ImportPng);
    ImportPngNearestAction =
        add("Import from PNG, &Map to Nearest Colours", &Form2::ImportPngNearest);
    // The Import button takes 8-bit bitmaps alone; a true-colour one comes in here.
    ImportBmpAction = add("Import from &BMP", &Form2::ImportBmp);
    ImportBmpNearestAction =
        add("Import from BMP, Map to Nearest &Colours", &Form2::ImportBmpNearest);
    menu->addSeparator();
    ExportAllAction = add("&Export All Images…", &Form2::ExportAllImages);
    ImportAllAction = add("Import &All Images…", &Form2::ImportAllImages);
    menu->addSeparator();
    add("&New Image File…", &Form2::NewImageFile)->setObjectName("newImageFile");
    menu->addSeparator();
    QAction* close = menu->addAction("&Close", this, &QWidget::close);
    close->setObjectName("close");
    close->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_W));
    // Quit ends the program from either window, the editor's unsaved work kept as it keeps it.
    QAction* quit = menu->addAction("&Quit", qApp, &QApplication::closeAllWindows);
    quit->setObjectName("quit");
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    CreateEditMenu();
    CreateImageMenu();

    menu = MenuBar->addMenu("&View");
    ZoomInAction = add("Zoom &In", &Form2::ZoomIn);
    ZoomInAction->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_Equal), QKeySequence(Qt::CTRL | Qt::Key_Plus)});
    ZoomOutAction = add("Zoom &Out", &Form2::ZoomOut);
    ZoomOutAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Minus));
    ActualSizeAction = add("&Actual Size", &Form2::ActualSize);
    ActualSizeAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_0));
    ZoomOutAction->setEnabled(false);
    ActualSizeAction->setEnabled(false);
}

QString Form2::PngFile() const {
    const QString& name = Shared().ImageNames[Shared().CurrentImage];
    return name.size() >= 5 && name.endsWith(".png", Qt::CaseSensitive) ? name : name + ".png";
}

void Form2::ExportPng() {
    ExportShown(PngFile(), ImageFormat::Png);
}

void Form2::ImportPng() {
    ImportShown(PngFile(), ImageFormat::Png);
}

void Form2::ImportPngNearest() {
    ImportShown(PngFile(), ImageFormat::Png, ColourMatch::Nearest);
}

void Form2::ImportBmp() {
    ImportShown(Shared().BitmapFile(), ImageFormat::Bmp, ColourMatch::Exact);
}

void Form2::ImportBmpNearest() {
    ImportShown(Shared().BitmapFile(), ImageFormat::Bmp, ColourMatch::Nearest);
}

void Form2::ExportAllImages() {
    if (!HasImage()) {
        return;
    }
    const QString folder = FileDialog(this, FileDialogKind::Folder, "Export All Images to a Folder",
                                      QDir::currentPath());
    if (folder.isEmpty()) {
        return;
    }
    if (const auto done = krellon::ExportAllImages(ExplorerPath(), folder, ImageFormat::Png);
        !done.ok()) {
        const TransferFailure& failure = done.error();
        Fail("Could not export " + ShownFileName(failure.file) + ": " + failure.reason,
             "Nothing exported");
        return;
    }
    ShowStatus(QString("Exported %1 images to %2").arg(Shared().ImageCount).arg(folder));
}

void Form2::ImportAllImages() {
    Module1& m = Shared();
    const QString folder = FileDialog(this, FileDialogKind::Folder,
                                      "Import All Images from a Folder", QDir::currentPath());
    if (folder.isEmpty()) {
        return;
    }
    std::map<int, QString> sources;
    auto done = ImagesInFolder(folder, sources);
    if (done.ok()) {
        done = ImportImages(ExplorerPath(), sources, shown_ ? &*shown_ : nullptr);
    }
    const TransferFailure& failure = done.error();
    if (!done.ok() && failure.replaced) {
        RefuseChangedFile();
        return;
    }
    if (!done.ok()) {
        Fail("Nothing was imported. " + ShownFileName(failure.file) + ": " + failure.reason);
        return;
    }
    RememberChange(PathFromName(ExplorerPath()), "Import All Images");
    ReadImageFile();
    ShowImage();
    UpdateEditor();
    ShowStatus(QString("Imported %1 images into %2")
                   .arg(sources.size())
                   .arg(ShownFileName(m.ExplorerFile)));
}

}  // namespace krellon
