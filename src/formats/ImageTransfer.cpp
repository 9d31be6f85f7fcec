#include "ImageTransfer.h"

#include <algorithm>

#include "BufferedSource.h"
#include "ByteReader.h"

namespace krellon {

namespace {

// True when the bytes [offset, offset + size) lie inside a file of length fileSize.
bool Inside(std::uint64_t offset, std::uint64_t size, std::uint64_t fileSize) {
    return offset <= fileSize && size <= fileSize - offset;
}

}  // namespace

Result<ImageFileIndex> IndexImageFile(const ByteSource& file) {
    // The walk reads each record's header and palette (some 1,100 bytes) and skips its
    // pixels: one small block a record.
    const BufferedSource source(file, 2048);
    const auto header = ReadImageHeader(source);
    if (!header) {
        return Result<ImageFileIndex>::failure(header.error());
    }
    ImageFileIndex index;
    index.header = *header;
    index.records = WalkImageFile(source, *header, kMaxExplorerImages);
    return Result<ImageFileIndex>::success(std::move(index));
}

const Palette& DrawnPalette(const ImageFileIndex& index, const ImageRecord& record) {
    return record.PaletteCount != 0 ? record.Palette : index.header.filePalette;
}

Result<std::vector<std::uint8_t>> ReadImagePixels(const ByteSource& file,
                                                  const ImageRecord& record) {
    using Pixels = Result<std::vector<std::uint8_t>>;
    if (!Inside(record.PixelOffset, record.pixelBytes(), file.size())) {
        return Pixels::failure("the file ends inside its pixels");
    }
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(record.pixelBytes()));
    if (!ReadBlock(file, record.PixelOffset, pixels)) {
        return Pixels::failure("its pixels cannot be read");
    }
    return Pixels::success(std::move(pixels));
}

Result<ImportChange> PlanImport(const ByteSource& file, const ImageRecord& record,
                                DecodedBitmap decoded) {
    ImportChange change;
    std::int32_t paletteCount = 0;
    if (record.PaletteCount != 0) {
        paletteCount = record.PaletteCount;
        if (record.PixelOffset < 4 * static_cast<std::uint64_t>(paletteCount)) {
            return Result<ImportChange>::failure("its palette lies before the file's start");
        }
        change.paletteStart = record.PixelOffset - 4 * static_cast<std::uint64_t>(paletteCount);
    } else {
        // The file palette: the count stands at offset 12.
        std::array<std::uint8_t, 4> count{};
        if (!ReadBlock(file, 12, count)) {
            return Result<ImportChange>::failure("the file ends before its header");
        }
        paletteCount = std::clamp(DecodeInt32(count.data()), 0, kPaletteSize);
        change.paletteStart = kFilePaletteOffset;
    }
    if (!Inside(record.PixelOffset, record.pixelBytes(), file.size()) ||
        !Inside(change.paletteStart, 4 * static_cast<std::uint64_t>(paletteCount), file.size()) ||
        decoded.pixelsTopDown.size() != record.pixelBytes()) {
        return Result<ImportChange>::failure("the picture or the image does not fit the file");
    }
    change.palette.resize(4 * static_cast<std::size_t>(paletteCount));
    if (!ReadBlock(file, change.paletteStart, change.palette)) {
        return Result<ImportChange>::failure("its palette cannot be read");
    }
    for (int k = 0; k < std::min(paletteCount, decoded.colourCount); ++k) {
        WritePaletteEntry(change.palette, 4 * static_cast<std::uint64_t>(k), decoded.colours[k]);
    }
    change.pixelOffset = record.PixelOffset;
    change.pixels = std::move(decoded.pixelsTopDown);
    return Result<ImportChange>::success(std::move(change));
}

bool RecordIsAsListed(const ByteSource& file, int number, const ImageRecord& listed) {
    const BufferedSource source(file, 2048);
    const auto header = ReadImageHeader(source);
    if (!header || number < 1) {
        return false;
    }
    const auto records = WalkImageFile(source, *header, number);
    if (static_cast<int>(records.size()) < number) {
        return false;
    }
    const ImageRecord& record = records[static_cast<std::size_t>(number - 1)];
    return record.Name == listed.Name && record.Width == listed.Width &&
           record.Height == listed.Height && record.PaletteCount == listed.PaletteCount &&
           record.PixelOffset == listed.PixelOffset;
}

}  // namespace krellon
