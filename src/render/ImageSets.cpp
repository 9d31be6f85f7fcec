#include "ImageSets.h"

#include "Colours.h"
#include "Raster.h"
#include "formats/BufferedSource.h"
#include "formats/ByteReader.h"
#include "formats/ImageRecordWalk.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>

namespace krellon::render {

namespace {

constexpr std::uint64_t kBrickPixelBytes = kCellWidth * kCellHeight;
// A brick set of 119 bricks with palettes of their own is some 180 KB; a file up to this size
// is read whole in one read and walked in memory, a larger one (a damaged or foreign file) a
// block at a time.
constexpr std::uint64_t kWholeBrickFileBytes = 4u << 20;

// The pixel of a palette entry given as a colour value (as ToRgb does it).
constexpr QRgb PixelOfValue(std::uint32_t v) {
    return 0xFF000000u | ((v & 0xFFu) << 16) | (v & 0xFF00u) | ((v >> 16) & 0xFFu);
}

// count pixels of entries that are colour values, or the file's 4-byte entries read as
// little-endian words (red, green, blue and a byte not used): the same conversion, four
// entries at a time where the machine has vector instructions.
void ToPixels(const std::uint8_t* entries, std::size_t count, QRgb* out) {
    std::size_t p = 0;
#if defined(__SSE2__)
    const __m128i lowByte = _mm_set1_epi32(0xFF);
    const __m128i middleByte = _mm_set1_epi32(0xFF00);
    const __m128i opaque = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    for (; p + 4 <= count; p += 4) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(entries + 4 * p));
        const __m128i red = _mm_slli_epi32(_mm_and_si128(v, lowByte), 16);
        const __m128i blue = _mm_and_si128(_mm_srli_epi32(v, 16), lowByte);
        const __m128i pixels = _mm_or_si128(_mm_or_si128(red, blue),
                                            _mm_or_si128(_mm_and_si128(v, middleByte), opaque));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + p), pixels);
    }
#endif
    for (; p < count; ++p) {
        const std::uint8_t* e = entries + 4 * p;
        out[p] = PixelOfValue(e[0] | (e[1] << 8) | (e[2] << 16));
    }
}

// The colours a brick is drawn with: its own palette entries (the rest black), or the file's
// palette, converted once for all the bricks that use it. A palette the same as the last
// brick's is not converted again.
class BrickColours {
public:
    explicit BrickColours(const Palette& filePalette) : fileColours_(Colours(filePalette)) {}

    // entries: the record's count palette entries of 4 bytes each.
    const std::array<QRgb, 256>& of(const std::uint8_t* entries, std::size_t count) {
        if (count == 0) {
            return fileColours_;
        }
        if (count != count_ || std::memcmp(entries, entries_.data(), 4 * count) != 0) {
            std::memcpy(entries_.data(), entries, 4 * count);
            count_ = count;
            ToPixels(entries, count, colours_.data());
            std::fill(colours_.begin() + static_cast<std::ptrdiff_t>(count), colours_.end(),
                      PixelOfValue(0));
        }
        return colours_;
    }

private:
    std::array<QRgb, 256> fileColours_{};
    std::array<QRgb, 256> colours_{};
    std::array<std::uint8_t, 4 * 256> entries_{};
    std::size_t count_ = 0;  // none converted yet
};

// Draws the bricks the walk over in finds, 30 x 15 pixel bytes a record, each from the pixels
// that pixelsOf(head) gives (nothing: the file ends there, and so does the set).
template <typename Reader, typename PixelsOf>
std::vector<std::string> DrawBricks(Reader& in, const ImageFileHeader& header, QImage& sheet,
                                    PixelsOf pixelsOf) {
    std::vector<std::string> names;
    names.reserve(static_cast<std::size_t>(std::clamp(header.imageCount, 0, kMaxBrickCode)));
    BrickColours colours(header.filePalette);
    RecordWalk walk;
    walk.count = header.imageCount;
    walk.limit = kMaxBrickCode;
    walk.fixedPixelBytes = kBrickPixelBytes;
    WalkRecordHeads(in, walk, [&](const RecordHead& head) {
        const std::uint8_t* pixels = pixelsOf(head);
        if (pixels == nullptr) {
            return false;
        }
        names.push_back(head.name);
        const int k = static_cast<int>(names.size());
        raster::PutIndexed(sheet, SlotLeft(k), SlotTop(k), kCellWidth, kCellHeight, pixels,
                           colours.of(head.palette, static_cast<std::size_t>(head.paletteCount)));
        return true;
    });
    return names;
}

}  // namespace

std::vector<std::string> DrawBrickSet(const ByteSource& file, QImage& sheet,
                                      std::vector<std::uint8_t>& buffer) {
    // Record headers, palettes and pixels lie side by side: a usual brick set is read in one
    // read and walked in place. A file that gives fewer bytes than it holds (cut short while
    // read) is read again a block at a time, so that the walk stops where the file does.
    if (file.size() <= kWholeBrickFileBytes) {
        buffer.resize(static_cast<std::size_t>(file.size()));
        if (ReadBlock(file, 0, buffer)) {
            const MemorySource whole(buffer);
            const auto header = ReadImageHeader(whole);
            if (!header) {
                return {};
            }
            SpanReader in(buffer, kFirstRecordOffset);
            return DrawBricks(in, *header, sheet, [&](const RecordHead& head) {
                return buffer.data() + head.pixelOffset;
            });
        }
    }
    const BufferedSource source(file, 16384);
    const auto header = ReadImageHeader(source);
    if (!header) {
        return {};
    }
    ByteReader in(source, kFirstRecordOffset);
    std::array<std::uint8_t, kBrickPixelBytes> pixels{};
    return DrawBricks(in, *header, sheet, [&](const RecordHead& head) {
        return ReadBlock(source, head.pixelOffset, pixels) ? pixels.data() : nullptr;
    });
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
