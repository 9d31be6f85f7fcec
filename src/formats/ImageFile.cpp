#include "ImageFile.h"

#include <algorithm>
#include <array>

#include "ByteReader.h"
#include "ImageRecordWalk.h"

namespace krellon {

namespace {

// Turns count 4-byte entries (red, green, blue, unused) into colour values.
void DecodePalette(std::span<const std::uint8_t> bytes, std::size_t count, Palette& palette) {
    const std::size_t n = std::min({count, bytes.size() / 4, palette.size()});
    const std::uint8_t* entry = bytes.data();
    for (std::size_t k = 0; k < n; ++k, entry += 4) {
        palette[k] = MakeColour(entry[0], entry[1], entry[2]);
    }
    std::fill(palette.begin() + static_cast<std::ptrdiff_t>(n), palette.end(), ColourValue{0});
}

}  // namespace

Result<ImageFileHeader> ReadImageHeader(const ByteSource& source) {
    const auto endsEarly = Result<ImageFileHeader>::failure("the file ends before its header");
    ByteReader in(source);
    if (in.remaining() < 16) {
        return endsEarly;
    }
    ImageFileHeader header;
    in.skip(4);
    in.readInt32();  // not interpreted
    header.imageCount = in.readInt32();
    header.filePaletteCount = in.readInt32();
    const auto entries =
        static_cast<std::size_t>(std::clamp(header.filePaletteCount, 0, kPaletteSize));
    std::array<std::uint8_t, 4 * kPaletteSize> bytes{};
    if (!ReadBlock(source, kFilePaletteOffset, {bytes.data(), 4 * entries})) {
        return endsEarly;
    }
    DecodePalette(bytes, entries, header.filePalette);
    return Result<ImageFileHeader>::success(header);
}

WalkedRecords WalkImageRecordsChecked(const ByteSource& source, const RecordWalk& walk) {
    WalkedRecords walked;
    walked.records.reserve(
        static_cast<std::size_t>(std::clamp(walk.count, 0, std::max(walk.limit, 0))));
    ByteReader in(source, walk.start);
    walked.complete = WalkRecordHeads(in, walk, [&](const RecordHead& head) {
        ImageRecord& record = walked.records.emplace_back();
        record.Name = head.name;
        record.Width = head.width;
        record.Height = head.height;
        record.PaletteCount = head.paletteCount;
        DecodePalette({head.palette, 4 * static_cast<std::size_t>(head.paletteCount)},
                      static_cast<std::size_t>(head.paletteCount), record.Palette);
        record.PaletteOffset = head.paletteOffset;
        record.PixelOffset = head.pixelOffset;
        return true;
    });
    return walked;
}

std::vector<ImageRecord> WalkImageRecords(const ByteSource& source, const RecordWalk& walk) {
    return WalkImageRecordsChecked(source, walk).records;
}

WalkedRecords WalkImageFileChecked(const ByteSource& source, const ImageFileHeader& header,
                                   std::int32_t limit) {
    if (header.filePaletteCount < 0 || header.filePaletteCount > kPaletteSize) {
        return {};
    }
    RecordWalk walk;
    walk.start = kFilePaletteOffset + 4 * static_cast<std::uint64_t>(header.filePaletteCount);
    walk.count = header.imageCount;
    walk.limit = limit;
    if (walk.start > source.size()) {
        return {};
    }
    return WalkImageRecordsChecked(source, walk);
}

std::vector<ImageRecord> WalkImageFile(const ByteSource& source, const ImageFileHeader& header,
                                       std::int32_t limit) {
    return WalkImageFileChecked(source, header, limit).records;
}

bool ProbeFirstImageHead(std::span<const std::uint8_t> head,
                         std::optional<std::pair<std::int32_t, std::int32_t>>& size) {
    const MemorySource block(head);
    ByteReader in(block);
    const std::int32_t nameLength = in.readInt32();
    if (!in.ok() || nameLength < 1) {
        size.reset();
        return true;
    }
    const std::uint64_t sizeAt = 4 + static_cast<std::uint64_t>(nameLength);
    if (sizeAt + 8 > head.size()) {
        // A short head is the end of the file: nothing follows the name there.
        if (head.size() < kProbeHeadBytes) {
            size.reset();
            return true;
        }
        return false;
    }
    in.seek(sizeAt);
    const std::int32_t width = in.readInt32();
    const std::int32_t height = in.readInt32();
    size = std::make_pair(width, height);
    return true;
}

std::optional<std::pair<std::int32_t, std::int32_t>> ProbeFirstImage(const ByteSource& source) {
    // One read covers the record start of almost every file: the name is short.
    std::array<std::uint8_t, kProbeHeadBytes> head{};
    const std::size_t got = source.readAt(kFirstRecordOffset, head);
    std::optional<std::pair<std::int32_t, std::int32_t>> size;
    if (ProbeFirstImageHead({head.data(), got}, size)) {
        return size;
    }
    ByteReader far(source,
                   kFirstRecordOffset + 4 + static_cast<std::uint64_t>(DecodeInt32(head.data())));
    const std::int32_t width = far.readInt32();
    const std::int32_t height = far.readInt32();
    if (!far.ok()) {
        return std::nullopt;
    }
    return std::make_pair(width, height);
}

bool ReadBlock(const ByteSource& source, std::uint64_t offset, std::span<std::uint8_t> dst) {
    const std::size_t got = source.readAt(offset, dst);
    std::fill(dst.begin() + static_cast<std::ptrdiff_t>(got), dst.end(), std::uint8_t{0});
    const std::uint64_t held =
        offset < source.size() ? std::min<std::uint64_t>(dst.size(), source.size() - offset) : 0;
    return got == held;
}

std::uint8_t ReadPixel(const ByteSource& source, const ImageRecord& record, std::int32_t x,
                       std::int32_t y) {
    if (x < 0 || y < 0 || x >= record.Width || y >= record.Height) {
        return 0;
    }
    std::array<std::uint8_t, 1> b{};
    const std::uint64_t offset =
        record.PixelOffset +
        static_cast<std::uint64_t>(record.Width) * static_cast<std::uint64_t>(y) +
        static_cast<std::uint64_t>(x);
    source.readAt(offset, b);
    return b[0];
}

bool WritePaletteEntry(std::span<std::uint8_t> file, std::uint64_t entryOffset,
                       ColourValue colour) {
    if (entryOffset > file.size() || file.size() - entryOffset < 4) {
        return false;
    }
    file[entryOffset] = static_cast<std::uint8_t>(RedOf(colour));
    file[entryOffset + 1] = static_cast<std::uint8_t>(GreenOf(colour));
    file[entryOffset + 2] = static_cast<std::uint8_t>(BlueOf(colour));
    return true;
}

bool WritePixel(std::span<std::uint8_t> file, const ImageRecord& record, std::int32_t x,
                std::int32_t y, std::uint8_t value) {
    if (x < 0 || y < 0 || x >= record.Width || y >= record.Height) {
        return false;
    }
    const std::uint64_t offset =
        record.PixelOffset +
        static_cast<std::uint64_t>(record.Width) * static_cast<std::uint64_t>(y) +
        static_cast<std::uint64_t>(x);
    if (offset >= file.size()) {
        return false;
    }
    file[offset] = value;
    return true;
}

std::size_t FirstOddBrick(std::span<const std::pair<std::int32_t, std::int32_t>> sizes) {
    const auto brick = [](const std::pair<std::int32_t, std::int32_t>& size) {
        return size == std::pair{kBrickWidth, kBrickHeight};
    };
    if (sizes.empty() || !brick(sizes.front())) {
        return 0;
    }
    const auto odd = std::find_if_not(sizes.begin(), sizes.end(), brick);
    return odd == sizes.end() ? 0 : static_cast<std::size_t>(odd - sizes.begin()) + 1;
}

}  // namespace krellon
