#include "ImageSets.h"

#include "Colours.h"
#include "Raster.h"
#include "formats/BufferedSource.h"

namespace krellon::render {

namespace {

constexpr std::uint64_t kBrickPixelBytes = kCellWidth * kCellHeight;

}  // namespace

std::vector<std::string> DrawBrickSet(const ByteSource& file, QImage& sheet) {
    std::vector<std::string> names;
    // Record headers, palettes and pixels lie side by side: read them in blocks.
    const BufferedSource source(file, 16384);
    const auto header = ReadImageHeader(source);
    if (!header) {
        return names;
    }
    RecordWalk walk;
    walk.count = header->imageCount;
    walk.limit = kMaxBrickCode;
    walk.fixedPixelBytes = kBrickPixelBytes;
    const auto records = WalkImageRecords(source, walk);
    std::array<std::uint8_t, kBrickPixelBytes> pixels{};
    for (std::size_t i = 0; i < records.size(); ++i) {
        const ImageRecord& record = records[i];
        const int k = static_cast<int>(i) + 1;
        names.push_back(record.Name);
        const Palette& palette = record.PaletteCount > 0 ? record.Palette : header->filePalette;
        // A brick whose pixels cannot be read ends the set, as a record past its end does.
        if (!ReadBlock(source, record.PixelOffset, pixels)) {
            names.pop_back();
            break;
        }
        raster::PutIndexed(sheet, SlotLeft(k), SlotTop(k), kCellWidth, kCellHeight, pixels.data(),
                           Colours(palette));
    }
    return names;
}

std::vector<ImageRecord> ReadBackgroundSet(const ByteSource& file) {
    // The walk reads each record's header and palette (some 1,100 bytes) and skips its
    // pixels: one small block a record.
    const BufferedSource source(file, 2048);
    const auto header = ReadImageHeader(source);
    if (!header) {
        return {};
    }
    RecordWalk walk;
    walk.count = header->imageCount;
    walk.limit = kMaxBackgrounds;
    auto records = WalkImageRecords(source, walk);
    for (ImageRecord& record : records) {
        // A record without a palette of its own is drawn with the file's, as the explorer does.
        if (record.PaletteCount <= 0) {
            record.Palette = header->filePalette;
        }
    }
    return records;
}

QImage ReadBackgroundTile(const ByteSource& file, const ImageRecord& background,
                          BackgroundMode mode) {
    if (!Drawable(background)) {
        return PlaceholderTile();
    }
    std::vector<std::uint8_t> pixels(background.pixelBytes());
    if (!ReadBlock(file, background.PixelOffset, pixels)) {
        return PlaceholderTile();
    }
    return BackgroundTile(background, pixels, mode);
}

QImage BackgroundTileOf(const ByteSource& file, std::span<const ImageRecord> backgrounds,
                        std::int32_t b, BackgroundMode mode) {
    if (b < 0 || static_cast<std::size_t>(b) >= backgrounds.size()) {
        return PlaceholderTile();
    }
    return ReadBackgroundTile(file, backgrounds[static_cast<std::size_t>(b)], mode);
}

QImage PlaceholderTile() {
    QImage tile(kPlaceholderSize, kPlaceholderSize, QImage::Format_RGB32);
    DrawPlaceholder(tile);
    return tile;
}

}  // namespace krellon::render
