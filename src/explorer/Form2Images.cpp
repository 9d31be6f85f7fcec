// The explorer's Image menu: images added, replaced, deleted, renamed and moved in the image
// file shown, each change one replacement of the file with its earlier version kept.
#include <QDir>
#include <QFileInfo>
#include <QMenuBar>

#include "Form2.h"
#include "explorer/Module1.h"
#include "formats/ImageFile.h"
#include "formats/StoredImageFile.h"
#include "platform/ComboBox.h"
#include "platform/Dialogs.h"
#include "platform/Handlers.h"
#include "storage/Cp1252.h"
#include "storage/FileNames.h"
#include "storage/FileSource.h"
#include "storage/FileWrites.h"
#include "storage/Files.h"
#include "transfers/ImageFileEdits.h"
#include "transfers/ImageTransfers.h"

namespace krellon {

namespace {

const QString kPictures = "Pictures (*.png *.bmp *.PNG *.BMP)";

}  // namespace

void Form2::CreateImageMenu() {
    QMenu* menu = MenuBar->addMenu("I&mage");
    const auto add = [&](const QString& text, void (Form2::*handler)(), const char* id) {
        QAction* action = menu->addAction(text);
        action->setObjectName(id);
        connect(action, &QAction::triggered, this,
                [this, handler] { RunHandler(this, [this, handler] { (this->*handler)(); }); });
        return action;
    };
    add("&Add Image…", &Form2::AddImage, "addImage");
    add("Add Image, Map to Nearest &Colours…", &Form2::AddImageNearest, "addImageNearest");
    add("&Replace Image…", &Form2::ReplaceImage, "replaceImage");
    add("Replace Image, &Map to Nearest Colours…", &Form2::ReplaceImageNearest,
        "replaceImageNearest");
    add("&Delete Image", &Form2::DeleteImage, "deleteImage");
    add("Re&name Image…", &Form2::RenameImage, "renameImage");
    menu->addSeparator();
    add("Move Image &Earlier", &Form2::MoveImageEarlier, "moveImageEarlier");
    add("Move Image &Later", &Form2::MoveImageLater, "moveImageLater");
}

void Form2::UpdateMenus() {
    const Module1& m = Shared();
    const bool file = FindFile(m.ExplorerFile).has_value();
    const bool image = HasImage();
    const auto enable = [&](const char* id, bool on) {
        if (QAction* action = MenuBar->findChild<QAction*>(id)) {
            action->setEnabled(on);
        }
    };
    enable("addImage", file);
    enable("addImageNearest", file);
    for (const char* id : {"replaceImage", "replaceImageNearest", "deleteImage", "renameImage"}) {
        enable(id, image);
    }
    enable("moveImageEarlier", image && m.CurrentImage > 1);
    enable("moveImageLater", image && m.CurrentImage < m.ImageCount);
    UpdateHistoryActions();
}

void Form2::WarnOddBrick(int n) {
    const Module1& m = Shared();
    std::vector<std::pair<std::int32_t, std::int32_t>> sizes;
    for (int i = 1; i <= m.ImageCount; ++i) {
        sizes.emplace_back(m.ImageTable[i].Width, m.ImageTable[i].Height);
    }
    if (FirstOddBrick(sizes) != static_cast<std::size_t>(n)) {
        return;
    }
    const QString message =
        QString(
            "%1 is a brick set, whose images are all %2 × %3: image %4, %5 × %6, puts "
            "every brick from it on out of step, in the editor and in the game. Edit > "
            "Undo takes it back.")
            .arg(ShownFileName(m.ExplorerFile))
            .arg(kBrickWidth)
            .arg(kBrickHeight)
            .arg(n)
            .arg(m.ImageTable[n].Width)
            .arg(m.ImageTable[n].Height);
    ShowStatus(message);
    MsgBox(this, message, kExplorerCaption);
}

void Form2::ShowFile() {
    Combo1->SetItems(Dir("*.img"));
    Combo1->SetText(Shared().ExplorerFile);
}

bool Form2::EditShownFile(const std::function<Status(StoredImageFile&)>& change,
                          const QString& reason, const QString& done, int showAfter) {
    Module1& m = Shared();
    const auto path = FindFile(m.ExplorerFile);
    if (!path) {
        Fail("File not found.", "Nothing changed");
        return false;
    }
    // A file changed on disk since it was shown is read again, and nothing is written: the
    // change would be made to images the user has not seen.
    if (shown_) {
        FileSource file;
        const bool current = file.open(*path) && StillShown(*path, file, *shown_);
        file.close();
        if (!current) {
            RefuseChangedFile("nothing was changed");
            return false;
        }
    }
    if (const Status edited = EditImageFile(*path, change, reason); !edited.ok()) {
        Fail(QString::fromStdString(edited.error()), "Nothing changed");
        return false;
    }
    RememberChange(*path, reason);
    m.CurrentImage = std::max(showAfter, 1);
    ReadImageFile();
    ShowImage();
    UpdateEditor();
    ShowStatus(done);
    return true;
}

bool Form2::PickPicture(const QString& title, ColourMatch match, ImagePicture& picture,
                        QString& name) {
    const QString path =
        FileDialog(this, FileDialogKind::Open, title, QFileInfo(".").absoluteFilePath(), kPictures);
    if (path.isEmpty()) {
        return false;
    }
    // A new image follows the one shown, so both take a true-colour picture with its palette.
    std::vector<std::uint8_t> palette;
    if (shown_) {
        palette = shown_->bytes.palette;
    } else {
        const ImageRecord& file = Shared().ImageTable[0];
        palette = PaletteBytes(
            std::span(file.Palette)
                .first(static_cast<std::size_t>(std::clamp(file.PaletteCount, 0, kPaletteSize))));
    }
    if (const Status read = ReadImagePicture(PathFromName(path), picture, palette, match);
        !read.ok()) {
        Fail(QString::fromStdString(read.error()), "Nothing changed");
        return false;
    }
    name = QFileInfo(path).completeBaseName();
    return true;
}

void Form2::NewImageFile() {
    const QString path = FileDialog(this, FileDialogKind::Save, "New Image File",
                                    QDir::current().filePath("New.img"), "Image files (*.img)");
    if (path.isEmpty()) {
        return;
    }
    // An image file is found by bare name, in the working folder.
    const QFileInfo file(path.endsWith(".img", Qt::CaseInsensitive) ? path : path + ".img");
    if (QFileInfo(file.absolutePath()).canonicalFilePath() != QDir::current().canonicalPath()) {
        Fail("A new image file goes into the working folder, " + QDir::currentPath() + ".",
             "Nothing created");
        return;
    }
    const QString name = file.fileName();
    if (file.exists()) {
        Fail(name + " exists already.", "Nothing created");
        return;
    }
    // Its head as the game's files have it: taken from another image file of the folder.
    StoredImageFile model;
    QString from;
    for (const QString& other : Dir("*.img")) {
        const auto path = FindFile(other);
        std::vector<std::uint8_t> bytes;
        FileSource source;
        if (path && source.open(*path) && ReadAll(source, bytes)) {
            if (auto read = DecodeStoredImageFile(bytes)) {
                model.signature = read->signature;
                model.headerWord = read->headerWord;
                model.filePalette = read->filePalette;
                from = other;
                break;
            }
        }
    }
    if (from.isEmpty()) {
        model.filePalette.assign(4 * kPaletteSize, 0);
    }
    if (const Status written =
            ReplaceFile(PathFromName(name), EncodeStoredImageFile(model), "New Image File " + name);
        !written.ok()) {
        Fail(ReasonText(written), "Nothing created");
        return;
    }
    Shared().ExplorerFile = name;
    Shared().CurrentImage = 1;
    ShowFile();
    ReadImageFile();
    ShowImage();
    ShowStatus(from.isEmpty()
                   ? QString("Created %1: no images, signature %2, header word %3, a black "
                             "file palette of 256 colours (no other image file here to take "
                             "them from)")
                         .arg(name, QString::fromStdString(model.signature))
                         .arg(model.headerWord)
                   : QString("Created %1: no images, its head as %2 has it").arg(name, from));
}

void Form2::AddImage() {
    AddPicture(ColourMatch::Exact);
}

void Form2::AddImageNearest() {
    AddPicture(ColourMatch::Nearest);
}

void Form2::AddPicture(ColourMatch match) {
    ImagePicture picture;
    QString file;
    if (!PickPicture("Add Image", match, picture, file)) {
        return;
    }
    // Named after the picture, the name editable before it is added.
    const QString name = InputBox(this, "Name of the new image:", kExplorerCaption, file);
    if (name.isEmpty()) {
        return;
    }
    if (!StorableName(name)) {
        Fail("The name \"" + name + "\" has a character Windows-1252 cannot store.",
             "Nothing changed");
        return;
    }
    // After the image shown, or as the first of an empty file.
    const int at = HasImage() ? Shared().CurrentImage + 1 : 1;
    const bool added = EditShownFile(
        [&](StoredImageFile& model) {
            auto image = MakeStoredImage(ToCp1252(name), picture);
            if (!image) {
                return Status::failure(image.error());
            }
            return InsertImage(model, static_cast<std::size_t>(at), std::move(*image));
        },
        "Add Image " + name, QString("Added image %1, %2").arg(at).arg(name), at);
    if (added) {
        WarnOddBrick(at);
    }
}

void Form2::ReplaceImage() {
    ReplaceWithPicture(ColourMatch::Exact);
}

void Form2::ReplaceImageNearest() {
    ReplaceWithPicture(ColourMatch::Nearest);
}

void Form2::ReplaceWithPicture(ColourMatch match) {
    if (!HasImage()) {
        return;
    }
    ImagePicture picture;
    QString file;
    if (!PickPicture("Replace Image", match, picture, file)) {
        return;
    }
    const int n = Shared().CurrentImage;
    const bool replaced = EditShownFile(
        [&](StoredImageFile& model) {
            return krellon::ReplaceImage(model, static_cast<std::size_t>(n), picture);
        },
        QString("Replace Image %1").arg(n),
        QString("Replaced image %1 with %2 × %3").arg(n).arg(picture.width).arg(picture.height), n);
    if (replaced) {
        WarnOddBrick(n);
    }
}

void Form2::DeleteImage() {
    if (!HasImage()) {
        return;
    }
    const int n = Shared().CurrentImage;
    EditShownFile(
        [&](StoredImageFile& model) { return RemoveImage(model, static_cast<std::size_t>(n)); },
        QString("Delete Image %1").arg(n),
        QString("Deleted image %1, %2").arg(n).arg(Shared().ImageNames[n]),
        std::min(n, Shared().ImageCount - 1));
}

void Form2::RenameImage() {
    if (!HasImage()) {
        return;
    }
    const int n = Shared().CurrentImage;
    const QString name =
        InputBox(this, "New name of the image:", kExplorerCaption, Shared().ImageNames[n]);
    if (name.isEmpty() || name == Shared().ImageNames[n]) {
        return;
    }
    if (!StorableName(name)) {
        Fail("The name \"" + name + "\" has a character Windows-1252 cannot store.",
             "Nothing changed");
        return;
    }
    EditShownFile(
        [&](StoredImageFile& model) {
            return krellon::RenameImage(model, static_cast<std::size_t>(n), ToCp1252(name));
        },
        QString("Rename Image %1").arg(n), QString("Renamed image %1 to %2").arg(n).arg(name), n);
}

void Form2::MoveShownImage(int by) {
    const int n = Shared().CurrentImage;
    const int to = n + by;
    if (!HasImage() || to < 1 || to > Shared().ImageCount) {
        return;
    }
    EditShownFile(
        [&](StoredImageFile& model) {
            return MoveImage(model, static_cast<std::size_t>(n), static_cast<std::size_t>(to));
        },
        QString("Move Image %1").arg(n), QString("Moved image %1 to %2").arg(n).arg(to), to);
}

void Form2::MoveImageEarlier() {
    MoveShownImage(-1);
}

void Form2::MoveImageLater() {
    MoveShownImage(1);
}

}  // namespace krellon
