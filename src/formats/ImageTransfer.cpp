#include "ImageTransfer.h"

#include <algorithm>
#include <limits>
#include <unordered_map>

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

Result<ImportChange> ImportPalette(const ByteSource& file, const ImageRecord& record) {
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
    if (!Inside(change.paletteStart, 4 * static_cast<std::uint64_t>(paletteCount), file.size())) {
        return Result<ImportChange>::failure("its palette does not lie inside the file");
    }
    change.palette.resize(4 * static_cast<std::size_t>(paletteCount));
    if (!ReadBlock(file, change.paletteStart, change.palette)) {
        return Result<ImportChange>::failure("its palette cannot be read");
    }
    return Result<ImportChange>::success(std::move(change));
}

Status MatchColours(DecodedBitmap& decoded, std::span<const std::uint8_t> paletteEntries,
                    ColourMatch match) {
    if (decoded.colourPixels.empty() || match == ColourMatch::Keep) {
        return Status::success();
    }
    const int count = static_cast<int>(std::min<std::size_t>(paletteEntries.size() / 4, 256));
    std::vector<ColourValue> palette;
    for (int k = 0; k < count; ++k) {
        const std::uint8_t* e = paletteEntries.data() + 4 * k;
        palette.push_back(MakeColour(e[0], e[1], e[2]));
    }
    // Each distinct colour is looked up once: pictures are large, their colours few. The
    // palette's own colours go in first, lowest index first, so a colour it has twice keeps
    // the lower index.
    std::unordered_map<ColourValue, int> index;
    for (int k = count - 1; k >= 0; --k) {
        index[palette[static_cast<std::size_t>(k)]] = k;
    }
    const auto nearest = [&](ColourValue c) {
        int best = 0;
        int bestDistance = std::numeric_limits<int>::max();
        for (int k = 0; k < count; ++k) {
            const ColourValue p = palette[static_cast<std::size_t>(k)];
            const int r = RedOf(p) - RedOf(c), g = GreenOf(p) - GreenOf(c),
                      b = BlueOf(p) - BlueOf(c);
            if (const int d = r * r + g * g + b * b; d < bestDistance) {
                best = k;
                bestDistance = d;
            }
        }
        return best;
    };
    constexpr int kMissing = -1;
    std::vector<std::uint8_t> pixels(decoded.colourPixels.size());
    std::size_t missing = 0;
    std::size_t firstMissing = 0;
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        const std::uint32_t pixel = decoded.colourPixels[i];
        if ((pixel >> 24) == 0) {
            continue;  // fully transparent: index 0
        }
        const auto colour = static_cast<ColourValue>(pixel & 0xFFFFFF);
        if (i > 0 && pixel == decoded.colourPixels[i - 1]) {
            pixels[i] = pixels[i - 1];  // a run of one colour, the commonest case
            continue;
        }
        auto [at, added] = index.try_emplace(colour, kMissing);
        if (added) {
            at->second = match == ColourMatch::Nearest && count > 0 ? nearest(colour) : kMissing;
            if (at->second == kMissing && missing++ == 0) {
                firstMissing = i;
            }
        }
        pixels[i] = static_cast<std::uint8_t>(std::max(at->second, 0));
    }
    if (missing > 0) {
        const std::size_t width = static_cast<std::size_t>(std::max(decoded.pictureWidth, 1));
        return Status::failure(
            (missing == 1 ? std::string("1 colour of the picture is")
                          : std::to_string(missing) + " colours of the picture are") +
            " not in the image's palette, the first at pixel (" +
            std::to_string(firstMissing % width) + ", " + std::to_string(firstMissing / width) +
            "); map them to the nearest colours (a Map to Nearest Colours entry, or --nearest) to "
            "take it.");
    }
    decoded.pixelsTopDown = std::move(pixels);
    decoded.colourPixels.clear();
    decoded.colourCount = 0;  // the image's palette stays as it is
    return Status::success();
}

Result<ImportChange> PlanImport(const ByteSource& file, const ImageRecord& record,
                                DecodedBitmap decoded) {
    auto planned = ImportPalette(file, record);
    if (!planned) {
        return planned;
    }
    ImportChange& change = *planned;
    const int paletteCount = static_cast<int>(change.palette.size() / 4);
    if (!Inside(record.PixelOffset, record.pixelBytes(), file.size()) ||
        decoded.pixelsTopDown.size() != record.pixelBytes()) {
        return Result<ImportChange>::failure("the picture or the image does not fit the file");
    }
    for (int k = 0; k < std::min(paletteCount, decoded.colourCount); ++k) {
        WritePaletteEntry(change.palette, 4 * static_cast<std::uint64_t>(k), decoded.colours[k]);
    }
    change.pixelOffset = record.PixelOffset;
    change.pixels = std::move(decoded.pixelsTopDown);
    return planned;
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
