// Export of the image shown to an 8-bit bitmap, and import of such a bitmap back into the
// image file in place, with the editor brought up to date when it uses that file.
#include <QStatusBar>

#include "Form2.h"
#include "explorer/Module1.h"
#include "formats/Bitmap.h"
#include "formats/ImageFile.h"
#include "formats/ImageTransfer.h"
#include "platform/Dialogs.h"
#include "storage/Cp1252.h"
#include "storage/FileNames.h"
#include "storage/FileSource.h"
#include "storage/FileWrites.h"
#include "storage/Files.h"
#include "storage/StatusNotices.h"

namespace krellon {

void Form2::Command1_Click() {
    ExportShown(Shared().BitmapFile(), ImageFormat::Bmp);
}

bool Form2::ExportShown(const QString& name, ImageFormat format) {
    Module1& m = Shared();
    if (!HasImage()) {
        return false;
    }
    // A name stored in an image file must not reach outside the working folder.
    if (!IsBareFileName(name)) {
        Fail("Image name is not a valid file name.", "Nothing exported");
        return false;
    }
    const ImageRecord& slot = m.ImageTable[m.CurrentImage];
    FileSource source;
    const auto pixels = OpenInFolder(m.ExplorerFile, source)
                            ? ReadImagePixels(source, slot)
                            : Result<std::vector<std::uint8_t>>::failure("it cannot be opened");
    if (!pixels) {
        Fail("Image file is damaged.", "Nothing exported");
        return false;
    }
    source.close();
    // The file replaces any older one of its name whole, and only once it is complete; the
    // older file is kept among the backups.
    const auto bytes = EncodeImage(slot, ShownPalette(), *pixels, format);
    const Status saved =
        ReplaceFile(PathFromName(name), bytes,
                    "Export of image " + QString::number(m.CurrentImage) + " of " + m.ExplorerFile);
    if (!saved.ok()) {
        Fail("Could not write " + name + ": " + ReasonText(saved), "Nothing exported");
        return false;
    }
    ShowStatus("Exported " + name);
    return true;
}

void Form2::Command2_Click() {
    ImportShown(Shared().BitmapFile(), ImageFormat::Bmp, ColourMatch::PaletteOnly);
}

void Form2::ImportShown(const QString& name, ImageFormat format, ColourMatch match) {
    Module1& m = Shared();
    if (!HasImage()) {
        return;
    }
    if (!IsBareFileName(name)) {
        Fail("Image name is not a valid file name.", "Nothing imported");
        return;
    }
    const ImageRecord& slot = m.ImageTable[m.CurrentImage];

    // The file is read without creating anything; a missing one is "not found". No more of
    // it is read than an image of this size can take.
    // A true-colour picture is matched against the palette as shown, which the import checks
    // the file still holds.
    DecodedBitmap decoded;
    const std::span<const std::uint8_t> palette =
        shown_ ? std::span<const std::uint8_t>(shown_->bytes.palette)
               : std::span<const std::uint8_t>();
    if (const Status read =
            DecodeForImport(PathFromName(name), format, slot, palette, match, decoded);
        !read.ok()) {
        // The box keeps the original's text; the bar also tells both sizes.
        const bool size = read.error() == BitmapStatusMessage(BitmapStatus::WrongWidth) ||
                          read.error() == BitmapStatusMessage(BitmapStatus::WrongHeight);
        Fail(QString::fromStdString(read.error()), "Nothing imported",
             size ? QString("The image is %1 × %2, the picture %3 × %4.")
                        .arg(slot.Width)
                        .arg(slot.Height)
                        .arg(decoded.pictureWidth)
                        .arg(decoded.pictureHeight)
                  : QString());
        return;
    }
    ImportDecoded(std::move(decoded), name);
}

void Form2::ImportDecoded(DecodedBitmap decoded, const QString& from) {
    Module1& m = Shared();
    const ImageRecord slot = m.ImageTable[m.CurrentImage];
    FileSource file;
    const auto path = FindFile(m.ExplorerFile);
    if (!path || !file.open(*path) || !shown_) {
        Fail("Image file is damaged.", "Nothing imported");
        return;
    }
    // The offsets and pixels shown were read when the image was shown. A file changed or
    // replaced since (a sync tool, a script), even by one of the same layout, is not written
    // over: the import would change an image the user has not seen.
    if (!StillShown(*path, file, *shown_)) {
        file.close();
        RefuseChangedFile();
        return;
    }
    // Only the entries that both the palette and the colour table have are written; the
    // fourth byte of each entry stays as it is.
    const auto change = PlanImport(file, slot, std::move(decoded));
    if (!change) {
        Fail("Image file is damaged.", "Nothing imported");
        return;
    }
    // The new file is the old one with the palette and pixels written over, copied block by
    // block and then put in its place: the import changes it completely or not at all.
    const auto patches = change->patches();
    const Status saved = PatchFile(*path, file, patches, "Import from " + from);
    file.close();
    if (!saved.ok()) {
        Fail("Could not write " + m.ExplorerFile + ": " + ReasonText(saved), "Nothing imported");
        return;
    }
    RememberChange(*path, "Import from " + ShownFileName(from));

    ReadImageFile();
    ShowImage();
    UpdateEditor();
    // The outcome replaces whatever the status bar said last (an export, say).
    ShowStatus("Imported " + ShownFileName(from) + " into " + ShownFileName(m.ExplorerFile));
}

void Form2::RefuseChangedFile(const QString& nothing) {
    const QString message = ShownFileName(Shared().ExplorerFile) +
                            " has changed on disk since it was shown, so " + nothing +
                            ". It has been read again.";
    MsgBox(this, message, kExplorerCaption);
    ReadImageFile();
    ShowImage();
    ShowStatus(message);
}

void Form2::ShowStatus(const QString& text) {
    // An empty text clears the explorer's own message only, never another window's.
    if (text.isEmpty() && status_.isEmpty()) {
        return;
    }
    status_ = text;
    StatusBar->showMessage(text);
    krellon::ShowStatus(text);
}

void Form2::ClearStatusFor(const QString& file, int image) {
    if (statusImage_ != std::pair{file, image}) {
        statusImage_ = {file, image};
        ShowStatus({});
    }
}

void Form2::Fail(const QString& message, const QString& what, const QString& more) {
    // The bar tells it before the box, which waits for the user.
    const QString text = what.isEmpty() ? message : what + ": " + message;
    ShowStatus(more.isEmpty() ? text : text + " " + more);
    MsgBox(this, message, kExplorerCaption);
}

void Form2::UpdateEditor() {
    emit imageFileChanged(Shared().ExplorerFile);
}

}  // namespace krellon
