// Export of the image shown to an 8-bit bitmap, and import of such a bitmap back into the
// image file in place, with the editor brought up to date when it uses that file.
#include <QFile>
#include <algorithm>
#include <array>

#include "Form2.h"
#include "editor/Form1.h"
#include "formats/Bitmap.h"
#include "formats/BufferedSource.h"
#include "formats/ByteReader.h"
#include "formats/FileSource.h"
#include "formats/ImageFile.h"
#include "platform/Cp1252.h"
#include "platform/Dialogs.h"
#include "platform/FileNames.h"
#include "platform/FileWrites.h"
#include "platform/Files.h"
#include "shared/Module1.h"

namespace krellon {

namespace {

const QString kCaption = "Krellon IMG Explorer";

std::filesystem::path PathOf(const QString& name) {
    return BytesFromName(name);
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
    const ImageRecord& slot = m.ImageTable[m.CurrentImage];
    const std::uint64_t pixelBytes =
        static_cast<std::uint64_t>(slot.Width) * static_cast<std::uint64_t>(slot.Height);
    FileSource source;
    if (!OpenInFolder(m.ExplorerFile, source) ||
        !Inside(slot.PixelOffset, pixelBytes, source.size())) {
        MsgBox(this, "Image file is damaged.", kCaption);
        return;
    }
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(pixelBytes));
    ReadBlock(source, slot.PixelOffset, pixels);
    source.close();
    // The bitmap replaces any older file of its name whole, and only once it is complete; the
    // older file is kept among the backups.
    const auto bitmap = EncodeBitmap(slot.Width, slot.Height, ShownPalette(), pixels);
    const Status saved =
        ReplaceFile(PathOf(m.BitmapFile()), bitmap,
                    "Export of image " + QString::number(m.CurrentImage) + " of " + m.ExplorerFile);
    if (!saved.ok()) {
        MsgBox(this, "Could not write " + m.BitmapFile() + ": " + ReasonText(saved), kCaption);
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
    const ImageRecord slot = m.ImageTable[m.CurrentImage];

    // The bitmap is read without creating anything; a missing one is "not found". No more of
    // it is read than an image of this size can take.
    DecodedBitmap decoded;
    BitmapStatus status = BitmapStatus::FileNotFound;
    {
        FileSource bitmap;
        if (bitmap.open(PathOf(m.BitmapFile()))) {
            status = ReadBitmap(bitmap, slot.Width, slot.Height, decoded);
        }
    }
    if (status != BitmapStatus::Ok) {
        MsgBox(this, QString::fromUtf8(BitmapStatusMessage(status).data()), kCaption);
        return;
    }

    FileSource file;
    const auto path = FindFile(m.ExplorerFile);
    if (!path || !file.open(*path)) {
        MsgBox(this, "Image file is damaged.", kCaption);
        return;
    }
    // The offsets shown were found when the file was last read. The bytes about to be copied
    // are walked again: if the record is no longer the one shown (the file was replaced
    // meanwhile), writing at those offsets would ruin it.
    if (!RecordIsAsShown(file)) {
        file.close();
        MsgBox(this,
               m.ExplorerFile +
                   " has changed on disk since it was shown, so nothing was imported. It has "
                   "been read again.",
               kCaption);
        ReadImageFile();
        ShowImage();
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
        std::array<std::uint8_t, 4> count{};
        ReadBlock(file, 12, count);
        paletteCount = std::clamp(DecodeInt32(count.data()), 0, kPaletteSize);
        paletteStart = kFilePaletteOffset;
    }
    if (slot.PixelOffset < 4 * static_cast<std::uint64_t>(slot.PaletteCount) ||
        !Inside(slot.PixelOffset, pixelBytes, file.size()) ||
        !Inside(paletteStart, 4 * static_cast<std::uint64_t>(paletteCount), file.size())) {
        MsgBox(this, "Image file is damaged.", kCaption);
        return;
    }
    // Only the entries that both the palette and the colour table have are written; the
    // fourth byte of each entry stays as it is.
    std::vector<std::uint8_t> palette(4 * static_cast<std::size_t>(paletteCount));
    ReadBlock(file, paletteStart, palette);
    for (int k = 0; k < std::min(paletteCount, decoded.colourCount); ++k) {
        WritePaletteEntry(palette, 4 * static_cast<std::uint64_t>(k), decoded.colours[k]);
    }
    // The new file is the old one with the palette and pixels written over, copied block by
    // block and then put in its place: the import changes it completely or not at all.
    const std::array<Patch, 2> patches{Patch{paletteStart, palette},
                                       Patch{slot.PixelOffset, decoded.pixelsTopDown}};
    const Status saved = PatchFile(*path, file, patches, "Import from " + m.BitmapFile());
    file.close();
    if (!saved.ok()) {
        MsgBox(this, "Could not write " + m.ExplorerFile + ": " + ReasonText(saved), kCaption);
        return;
    }

    ReadImageFile();
    ShowImage();
    UpdateEditor();
}

bool Form2::RecordIsAsShown(const ByteSource& file) const {
    const Module1& m = Shared();
    const BufferedSource source(file, 2048);
    const auto header = ReadImageHeader(source);
    if (!header) {
        return false;
    }
    const auto records = WalkImageFile(source, *header, m.CurrentImage);
    if (static_cast<std::int32_t>(records.size()) < m.CurrentImage) {
        return false;
    }
    const ImageRecord& record = records[static_cast<std::size_t>(m.CurrentImage - 1)];
    const ImageRecord& slot = m.ImageTable[m.CurrentImage];
    return FromCp1252(record.Name) == m.ImageNames[m.CurrentImage] && record.Width == slot.Width &&
           record.Height == slot.Height && record.PaletteCount == slot.PaletteCount &&
           record.PixelOffset == slot.PixelOffset;
}

void Form2::UpdateEditor() {
    Module1& m = Shared();
    if (m.Editor != nullptr) {
        m.Editor->ImageFileChanged(m.ExplorerFile);
    }
}

}  // namespace krellon
