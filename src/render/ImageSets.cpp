#include "ImageSets.h"

#include "Colours.h"
#include "Raster.h"
#include "formats/BufferedSource.h"
#include "formats/ByteReader.h"

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
    explicit BrickColours(const Palette& filePalette) {
        static_assert(sizeof(ColourValue) == 4);
        // A colour value's bytes in memory are red, green, blue, 0 on a little-endian machine;
        // elsewhere each value is converted on its own.
        if constexpr (std::endian::native == std::endian::little) {
            ToPixels(reinterpret_cast<const std::uint8_t*>(filePalette.data()),
                     filePalette.size(), fileColours_.data());
        } else {
            for (std::size_t p = 0; p < filePalette.size(); ++p) {
                fileColours_[p] = PixelOfValue(static_cast<std::uint32_t>(filePalette[p]));
            }
        }
    }

    // entries: the record's count palette entries of 4 bytes each, inside the file.
    const std::array<QRgb, 256>& of(const std::uint8_t* entries, std::size_t count) {
        if (count == 0) {
            return fileColours_;
        }
        if (entries_ == nullptr || count != count_ ||
            std::memcmp(entries, entries_, 4 * count) != 0) {
            ToPixels(entries, count, colours_.data());
            std::fill(colours_.begin() + static_cast<std::ptrdiff_t>(count), colours_.end(),
                      PixelOfValue(0));
            entries_ = entries;
            count_ = count;
        }
        return colours_;
    }

private:
    std::array<QRgb, 256> fileColours_{};
    std::array<QRgb, 256> colours_{};
    const std::uint8_t* entries_ = nullptr;
    std::size_t count_ = 0;
};

// The brick records of a file held in memory, walked as WalkImageRecords walks them with 30 x 15
// pixel bytes a record, from kFirstRecordOffset on; draw(name, palette entries, palette count,
// pixels) is called for each. The walk ends before a record that is not wholly inside the file.
template <typename Draw>
void WalkBricksInMemory(std::span<const std::uint8_t> file, std::int32_t count, Draw draw) {
    std::uint64_t at = kFirstRecordOffset;
    const auto remaining = [&] { return at < file.size() ? file.size() - at : 0; };
    const auto int32 = [&] {
        const std::int32_t v = DecodeInt32(file.data() + at);
        at += 4;
        return v;
    };
    for (std::int32_t i = 0; i < count; ++i) {
        if (remaining() < 4) {
            return;
        }
        const std::int32_t nameLength = int32();
        // The name, its terminator and the five numbers after it must all be there.
        if (nameLength < 1 || static_cast<std::uint64_t>(nameLength) + 20 > remaining()) {
            return;
        }
        const auto* name = reinterpret_cast<const char*>(file.data() + at);
        at += static_cast<std::uint64_t>(nameLength);
        at += 16;  // width, height and two numbers not interpreted
        const std::int32_t paletteCount = int32();
        if (paletteCount < 0 || paletteCount > kPaletteSize ||
            4 * static_cast<std::uint64_t>(paletteCount) > remaining()) {
            return;
        }
        const std::uint8_t* palette = file.data() + at;
        at += 4 * static_cast<std::uint64_t>(paletteCount);
        if (kBrickPixelBytes > remaining()) {
            return;
        }
        draw(std::string(name, static_cast<std::size_t>(nameLength) - 1), palette,
             static_cast<std::size_t>(paletteCount), file.data() + at);
        at += kBrickPixelBytes;
    }
}

void DrawBrick(QImage& sheet, int k, const std::uint8_t* pixels,
               const std::array<QRgb, 256>& colours) {
    raster::PutIndexed(sheet, SlotLeft(k), SlotTop(k), kCellWidth, kCellHeight, pixels, colours);
}

// Draws the bricks of a brick set held in memory.
std::vector<std::string> DrawBricksInMemory(std::span<const std::uint8_t> file, QImage& sheet) {
    std::vector<std::string> names;
    const MemorySource source(file);
    const auto header = ReadImageHeader(source);
    if (!header) {
        return names;
    }
    const std::int32_t count = std::clamp(header->imageCount, 0, kMaxBrickCode);
    names.reserve(static_cast<std::size_t>(count));
    BrickColours colours(header->filePalette);
    WalkBricksInMemory(file, count,
                       [&](std::string name, const std::uint8_t* palette, std::size_t paletteCount,
                           const std::uint8_t* pixels) {
                           names.push_back(std::move(name));
                           DrawBrick(sheet, static_cast<int>(names.size()), pixels,
                                     colours.of(palette, paletteCount));
                       });
    return names;
}

// Draws the bricks of a brick set read a block at a time.
std::vector<std::string> DrawBricksFromFile(const ByteSource& file, QImage& sheet) {
    std::vector<std::string> names;
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
        // A brick whose pixels cannot be read ends the set, as a record past its end does.
        if (!ReadBlock(source, record.PixelOffset, pixels)) {
            break;
        }
        names.push_back(record.Name);
        const Palette& palette = record.PaletteCount > 0 ? record.Palette : header->filePalette;
        DrawBrick(sheet, static_cast<int>(i) + 1, pixels.data(), Colours(palette));
    }
    return names;
}

}  // namespace

std::vector<std::string> DrawBrickSet(const ByteSource& file, QImage& sheet) {
    // Record headers, palettes and pixels lie side by side: a usual brick set is read in one
    // read and walked in memory. A file that gives fewer bytes than it holds (cut short while
    // read) is read again a block at a time, so that the walk stops where the file does.
    if (file.size() <= kWholeBrickFileBytes) {
        const auto size = static_cast<std::size_t>(file.size());
        // Not zeroed first: the read fills every byte, or the bytes are not used.
        const auto bytes = std::make_unique_for_overwrite<std::uint8_t[]>(size);
        if (ReadBlock(file, 0, {bytes.get(), size})) {
            return DrawBricksInMemory({bytes.get(), size}, sheet);
        }
    }
    return DrawBricksFromFile(file, sheet);
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
