// Export of the image shown to an 8-bit bitmap, and import of such a bitmap back into the
// image file in place, with the editor brought up to date when it uses that file.
#include <QFile>
#include <cstring>

#include "Form2.h"
#include "editor/Form1.h"
#include "formats/AtomicFile.h"
#include "formats/Bitmap.h"
#include "formats/ByteReader.h"
#include "formats/FileSource.h"
#include "formats/ImageFile.h"
#include "platform/Dialogs.h"
#include "platform/Files.h"
#include "shared/Module1.h"

namespace krellon {

namespace {

const QString kCaption = "Krellon IMG Explorer";

std::filesystem::path PathOf(const QString& name) {
    return QFile::encodeName(name).toStdString();
}

// True when the bytes [offset, offset + size) lie inside a file of length fileSize.
bool Inside(std::uint64_t offset, std::uint64_t size, std::uint64_t fileSize) {
    return offset <= fileSize && size <= fileSize - offset;
}

}  // namespace

void Form2::Command1_Click() {
    Module1& m = Shared();
    if (!HasImage()) {
        return;
    }
    // A name stored in an image file must not reach outside the working folder.
    if (!IsBareFileName(m.BitmapFile())) {
        MsgBox(this, "Image name is not a valid file name.", kCaption);
        return;
    }
    const Module1::ImageSlot& slot = m.ImageTable[m.CurrentImage];
    const std::uint64_t pixelBytes =
        static_cast<std::uint64_t>(slot.Width) * static_cast<std::uint64_t>(slot.Height);
    FileSource source;
    const auto path = FindFile(m.ExplorerFile);
    if (!path || !source.open(*path) || !Inside(slot.PixelOffset, pixelBytes, source.size())) {
        MsgBox(this, "Image file is damaged.", kCaption);
        return;
    }
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(pixelBytes));
    ReadBlock(source, slot.PixelOffset, pixels);
    source.close();
    // The bitmap replaces any older file of its name whole, and only once it is complete.
    const auto bitmap = EncodeBitmap(slot.Width, slot.Height, ShownPalette(), pixels);
    if (!WriteFileAtomically(PathOf(m.BitmapFile()), bitmap).empty()) {
        MsgBox(this, "Could not write " + m.BitmapFile() + ".", kCaption);
    }
}

void Form2::Command2_Click() {
    Module1& m = Shared();
    if (!HasImage()) {
        return;
    }
    if (!IsBareFileName(m.BitmapFile())) {
        MsgBox(this, "Image name is not a valid file name.", kCaption);
        return;
    }
    const Module1::ImageSlot slot = m.ImageTable[m.CurrentImage];

    // The bitmap is read without creating anything; a missing one is "not found".
    std::vector<std::uint8_t> bitmap;
    ReadWholeFile(PathOf(m.BitmapFile()), bitmap);
    DecodedBitmap decoded;
    const BitmapStatus status = DecodeBitmap(bitmap, slot.Width, slot.Height, decoded);
    if (status != BitmapStatus::Ok) {
        MsgBox(this, QString::fromUtf8(BitmapStatusMessage(status).data()), kCaption);
        return;
    }

    // The new file is built in memory and replaces the old one whole: an import changes the
    // image file completely or not at all.
    std::vector<std::uint8_t> file;
    const auto path = FindFile(m.ExplorerFile);
    if (!path || !ReadWholeFile(*path, file)) {
        MsgBox(this, "Image file is damaged.", kCaption);
        return;
    }
    const std::uint64_t pixelBytes =
        static_cast<std::uint64_t>(slot.Width) * static_cast<std::uint64_t>(slot.Height);
    std::uint64_t paletteStart = 0;
    std::int32_t paletteCount = 0;
    if (slot.PaletteCount != 0) {
        paletteCount = slot.PaletteCount;
        paletteStart = slot.PixelOffset - 4 * static_cast<std::uint64_t>(paletteCount);
    } else {
        // The file palette: the count stands at offset 12.
        paletteCount =
            file.size() >= 16 ? std::clamp(DecodeInt32(file.data() + 12), 0, kPaletteSize) : 0;
        paletteStart = kFilePaletteOffset;
    }
    if (slot.PixelOffset < 4 * static_cast<std::uint64_t>(slot.PaletteCount) ||
        !Inside(slot.PixelOffset, pixelBytes, file.size()) ||
        !Inside(paletteStart, 4 * static_cast<std::uint64_t>(paletteCount), file.size())) {
        MsgBox(this, "Image file is damaged.", kCaption);
        return;
    }
    // Only the entries that both the palette and the colour table have are written.
    for (int k = 0; k < std::min(paletteCount, decoded.colourCount); ++k) {
        WritePaletteEntry(file, paletteStart + 4 * static_cast<std::uint64_t>(k),
                          decoded.colours[k]);
    }
    if (pixelBytes > 0) {
        std::memcpy(file.data() + slot.PixelOffset, decoded.pixelsTopDown.data(),
                    static_cast<std::size_t>(pixelBytes));
    }
    const std::string error = WriteFileAtomically(*path, file);
    if (!error.empty()) {
        MsgBox(this, "Could not write " + m.ExplorerFile + ": " + QString::fromStdString(error),
               kCaption);
        return;
    }

    ReadImageFile();
    ShowImage();
    UpdateEditor();
}

void Form2::UpdateEditor() {
    Module1& m = Shared();
    Form1* editor = m.Editor;
    if (editor == nullptr) {
        return;
    }
    if (m.ExplorerFile == editor->BackgroundSetFile) {
        editor->ReadBackgr();
        editor->LoadBackgr();
        editor->RefreshBackgroundCells();
    }
    if (m.ExplorerFile == editor->BrickSetFile) {
        editor->LoadBricks();
        editor->PaintBoard();
    }
}

}  // namespace krellon
