#include "Bitmap.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "ByteReader.h"
#include "ByteWriter.h"

namespace krellon {

namespace {

constexpr std::int32_t kCompressionNone = 0;
constexpr std::int32_t kCompressionRle8 = 1;
constexpr std::int32_t kCompressionBitFields = 3;

// Reads the 32-bit value at offset; false when the file is too short for it.
bool Int32At(std::span<const std::uint8_t> file, std::uint64_t offset, std::int32_t& value) {
    if (offset > file.size() || file.size() - offset < 4) {
        return false;
    }
    value = DecodeInt32(file.data() + offset);
    return true;
}

// Decodes RLE8 rows into pixels (width x height, top row first). Pixels right of the width are
// dropped: paint programs encode each row with its padding up to a multiple of 4 (ImageMagick
// does), and Windows clips them the same way. Pixels above the top row, and data that ends
// before its end-of-bitmap code, make the file unusable.
BitmapStatus DecodeRle8(std::span<const std::uint8_t> file, std::uint64_t pos, std::int64_t width,
                        std::int64_t height, std::vector<std::uint8_t>& pixels) {
    std::int64_t x = 0;
    std::int64_t y = height - 1;  // rows come bottom row first
    // The part of a run of `run` pixels at the cursor that lies inside the row; -1 when the
    // cursor has left the image upwards.
    const auto visible = [&](std::int64_t run) -> std::int64_t {
        if (y < 0) {
            return -1;
        }
        return x >= width ? 0 : std::min(run, width - x);
    };
    while (true) {
        if (file.size() - pos < 2) {
            return BitmapStatus::TooShort;
        }
        const std::uint8_t first = file[pos];
        const std::uint8_t second = file[pos + 1];
        pos += 2;
        if (first > 0) {  // a run of one index
            const std::int64_t shown = visible(first);
            if (shown < 0) {
                return BitmapStatus::TooShort;
            }
            if (shown > 0) {
                std::memset(pixels.data() + y * width + x, second, static_cast<std::size_t>(shown));
            }
            x += first;
            continue;
        }
        switch (second) {
            case 0:  // end of line
                x = 0;
                --y;
                break;
            case 1:  // end of bitmap
                return BitmapStatus::Ok;
            case 2:  // delta: move right and up the image
                if (file.size() - pos < 2) {
                    return BitmapStatus::TooShort;
                }
                x += file[pos];
                y -= file[pos + 1];
                pos += 2;
                break;
            default: {  // literal indices, padded to an even count
                const std::uint64_t stored = second + (second & 1u);
                if (file.size() - pos < stored) {
                    return BitmapStatus::TooShort;
                }
                const std::int64_t shown = visible(second);
                if (shown < 0) {
                    return BitmapStatus::TooShort;
                }
                if (shown > 0) {
                    std::memcpy(pixels.data() + y * width + x, file.data() + pos,
                                static_cast<std::size_t>(shown));
                }
                x += second;
                pos += stored;
                break;
            }
        }
    }
}

}  // namespace

std::vector<std::uint8_t> EncodeBitmap(std::int32_t width, std::int32_t height,
                                       const Palette& colours,
                                       std::span<const std::uint8_t> pixelsTopDown) {
    const std::int64_t w = std::max(width, 0);
    const std::int64_t h = std::max(height, 0);
    const std::int64_t padding = RowPadding(w);
    const std::int64_t rowsSize = (w + padding) * h;
    ByteWriter out;
    out.reserve(static_cast<std::size_t>(kBitmapPixelRowsOffset + rowsSize));
    out.writeBytes("BM");
    out.writeInt32(
        static_cast<std::int32_t>(rowsSize + static_cast<std::int64_t>(kBitmapPixelRowsOffset)));
    out.writeInt32(0);  // two reserved fields
    out.writeInt32(static_cast<std::int32_t>(kBitmapPixelRowsOffset));
    out.writeInt32(40);
    out.writeInt32(width);
    out.writeInt32(height);
    out.writeInt16(1);  // planes
    out.writeInt16(8);  // bits per pixel
    out.writeInt32(kCompressionNone);
    out.writeInt32(static_cast<std::int32_t>(rowsSize));
    out.writeInt32(0);  // horizontal resolution
    out.writeInt32(0);  // vertical resolution
    out.writeInt32(0);  // colours used
    out.writeInt32(0);  // important colours
    for (ColourValue c : colours) {
        out.writeByte(static_cast<std::uint8_t>(BlueOf(c)));
        out.writeByte(static_cast<std::uint8_t>(GreenOf(c)));
        out.writeByte(static_cast<std::uint8_t>(RedOf(c)));
        out.writeByte(0);
    }
    for (std::int64_t y = h - 1; y >= 0; --y) {
        const std::uint64_t start = static_cast<std::uint64_t>(y * w);
        if (start + static_cast<std::uint64_t>(w) <= pixelsTopDown.size()) {
            out.writeBytes(pixelsTopDown.data() + start, static_cast<std::size_t>(w));
        } else {
            out.writeZeros(static_cast<std::size_t>(w));
        }
        out.writeZeros(static_cast<std::size_t>(padding));
    }
    return out.take();
}

std::string_view BitmapStatusMessage(BitmapStatus status) {
    switch (status) {
        case BitmapStatus::Ok:
            return "";
        case BitmapStatus::FileNotFound:
            return "File not found.";
        case BitmapStatus::NotBmp:
            return "File is not BMP.";
        case BitmapStatus::WrongWidth:
            return "Wrong image width.";
        case BitmapStatus::WrongHeight:
            return "Wrong image height.";
        case BitmapStatus::WrongBitrate:
            return "Wrong image color bitrate.";
        case BitmapStatus::UnsupportedHeader:
            return "Unsupported bitmap header.";
        case BitmapStatus::TooManyColours:
            return "The bitmap's colour table has more than 256 colours.";
        case BitmapStatus::Compressed:
            return "Compressed bitmaps are not supported.";
        case BitmapStatus::TooShort:
            return "File is too short.";
    }
    return "";
}

namespace {

// Where a bitmap keeps its colour table and pixel rows, as its headers give them.
struct BitmapLayout {
    int bitsPerPixel = 8;
    std::int32_t compression = kCompressionNone;
    std::int32_t colourCount = 0;  // entries of the colour table, 1 to 256; 0 for true colour
    std::uint64_t tableOffset = 0;
    std::uint64_t rows = 0;  // offset of the first pixel row
    // Where red, green, blue and alpha lie in a 32-bit pixel: the lowest bit and 8 bits up;
    // a negative shift for no alpha.
    std::array<int, 4> shifts{16, 8, 0, -1};
};

// The lowest bit of an 8-bit wide mask; -1 for an empty one, -2 for any other.
int MaskShift(std::uint32_t mask) {
    if (mask == 0) {
        return -1;
    }
    int shift = 0;
    while ((mask & 1u) == 0) {
        mask >>= 1;
        ++shift;
    }
    return mask == 0xFFu ? shift : -2;
}

// The checks of the signature, the size and the colour depth against an image of width x height.
BitmapStatus CheckBitmapImage(std::span<const std::uint8_t> file, std::int32_t width,
                              std::int32_t height) {
    if (file.size() < 2) {
        return BitmapStatus::FileNotFound;
    }
    if (file[0] != 'B' || file[1] != 'M') {
        return BitmapStatus::NotBmp;
    }
    std::int32_t value = 0;
    if (!Int32At(file, 18, value) || value != width || width < 0) {
        return BitmapStatus::WrongWidth;
    }
    if (!Int32At(file, 22, value) || value != height || height < 0) {
        return BitmapStatus::WrongHeight;
    }
    if (!Int32At(file, 26, value) ||
        (value != kPlanesAndDepth1 && value != kPlanesAndDepth4 && value != kPlanesAndDepth8 &&
         value != kPlanesAndDepth24 && value != kPlanesAndDepth32)) {
        return BitmapStatus::WrongBitrate;
    }
    return BitmapStatus::Ok;
}

// Reads the compression and where the channels of a 24- or 32-bit bitmap lie into layout.
BitmapStatus ReadTrueColourLayout(std::span<const std::uint8_t> file, std::int32_t headerSize,
                                  BitmapLayout& layout) {
    layout.colourCount = 0;
    layout.tableOffset = 14 + static_cast<std::uint64_t>(headerSize);
    if (layout.compression == kCompressionNone) {
        return BitmapStatus::Ok;  // blue, green, red and an unused byte
    }
    if (layout.compression != kCompressionBitFields || layout.bitsPerPixel != 32) {
        return BitmapStatus::Compressed;
    }
    // The masks follow a 40-byte header and lie inside the larger ones, at the same offset;
    // only the larger ones have an alpha mask.
    std::int32_t masks[4] = {0, 0, 0, 0};
    for (int c = 0; c < (headerSize > 40 ? 4 : 3); ++c) {
        if (!Int32At(file, 54 + 4 * static_cast<std::uint64_t>(c), masks[c])) {
            return BitmapStatus::TooShort;
        }
        layout.shifts[c] = MaskShift(static_cast<std::uint32_t>(masks[c]));
        if (layout.shifts[c] == -2 || (c < 3 && layout.shifts[c] < 0)) {
            return BitmapStatus::UnsupportedHeader;
        }
    }
    if (headerSize == 40) {
        layout.tableOffset += 12;
    }
    return BitmapStatus::Ok;
}

// Reads the header size, compression, colour count and rows offset into layout.
BitmapStatus ReadBitmapLayout(std::span<const std::uint8_t> file, BitmapLayout& layout) {
    std::int32_t headerSize = 0;
    std::int32_t rowsOffset = 0;
    if (!Int32At(file, 14, headerSize) || !Int32At(file, 30, layout.compression) ||
        !Int32At(file, 46, layout.colourCount) || !Int32At(file, 10, rowsOffset)) {
        return BitmapStatus::TooShort;
    }
    if (headerSize != 40 && headerSize != 108 && headerSize != 124) {
        return BitmapStatus::UnsupportedHeader;
    }
    layout.bitsPerPixel = file[28];
    // Paint programs save pictures of 2 or 16 colours at 1 or 4 bits a pixel.
    const bool indexed =
        layout.bitsPerPixel == 8 || layout.bitsPerPixel == 4 || layout.bitsPerPixel == 1;
    if (!indexed) {
        // A colour table a true-colour bitmap may give is not needed: its rows hold colours.
        if (const BitmapStatus status = ReadTrueColourLayout(file, headerSize, layout);
            status != BitmapStatus::Ok) {
            return status;
        }
    } else {
        const std::int32_t colours = 1 << layout.bitsPerPixel;
        if (layout.colourCount < 0 || layout.colourCount > colours) {
            return BitmapStatus::TooManyColours;
        }
        if (layout.compression != kCompressionNone &&
            (layout.compression != kCompressionRle8 || layout.bitsPerPixel != 8)) {
            return BitmapStatus::Compressed;
        }
        if (layout.colourCount == 0) {
            layout.colourCount = colours;
        }
        layout.tableOffset = 14 + static_cast<std::uint64_t>(headerSize);
    }
    const std::uint64_t tableEnd =
        layout.tableOffset + 4 * static_cast<std::uint64_t>(layout.colourCount);
    if (tableEnd > file.size()) {
        return BitmapStatus::TooShort;
    }
    // Pixel rows cannot begin inside the headers; such an offset is taken as "right after the
    // colour table", where the rows of a plain bitmap lie.
    layout.rows = rowsOffset < 0 ? tableEnd : static_cast<std::uint64_t>(rowsOffset);
    if (layout.rows < tableEnd) {
        layout.rows = tableEnd;
    }
    if (layout.rows > file.size()) {
        return BitmapStatus::TooShort;
    }
    return BitmapStatus::Ok;
}

// The w x h colours, top row first, from the 24- or 32-bit rows at layout.rows.
BitmapStatus DecodeColourPixels(std::span<const std::uint8_t> file, const BitmapLayout& layout,
                                std::int64_t w, std::int64_t h,
                                std::vector<std::uint32_t>& pixels) {
    const std::int64_t bytesPerPixel = layout.bitsPerPixel / 8;
    const std::int64_t stride = (w * bytesPerPixel + 3) / 4 * 4;
    if (static_cast<std::uint64_t>(stride * h) > file.size() - layout.rows) {
        return BitmapStatus::TooShort;
    }
    pixels.resize(static_cast<std::size_t>(w * h));
    const auto [red, green, blue, alpha] = layout.shifts;
    for (std::int64_t y = 0; y < h; ++y) {
        const std::uint8_t* src =
            file.data() + layout.rows + static_cast<std::uint64_t>((h - 1 - y) * stride);
        std::uint32_t* out = pixels.data() + y * w;
        for (std::int64_t x = 0; x < w; ++x, src += bytesPerPixel) {
            if (bytesPerPixel == 3) {
                out[x] = PictureColour(src[2], src[1], src[0]);
                continue;
            }
            const auto word = static_cast<std::uint32_t>(DecodeInt32(src));
            out[x] = PictureColour((word >> red) & 0xFF, (word >> green) & 0xFF,
                                   (word >> blue) & 0xFF, alpha < 0 ? 255 : (word >> alpha) & 0xFF);
        }
    }
    return BitmapStatus::Ok;
}

// The w x h pixels, top row first, from the rows at layout.rows, plain or RLE8-compressed.
BitmapStatus DecodeBitmapPixels(std::span<const std::uint8_t> file, const BitmapLayout& layout,
                                std::int64_t w, std::int64_t h, std::vector<std::uint8_t>& pixels) {
    if (layout.compression != kCompressionNone) {
        // The size is the image's, whose pixels its image file holds, so the buffer is backed.
        pixels.assign(static_cast<std::size_t>(w * h), 0);
        return DecodeRle8(file, layout.rows, w, h, pixels);
    }
    const int bits = layout.bitsPerPixel;
    const std::int64_t stride = (w * bits + 31) / 32 * 4;
    if (static_cast<std::uint64_t>(stride * h) > file.size() - layout.rows) {
        return BitmapStatus::TooShort;
    }
    pixels.resize(static_cast<std::size_t>(w * h));
    for (std::int64_t y = 0; w > 0 && y < h; ++y) {
        // The row stored first is the bottom row of the image.
        const std::uint8_t* src =
            file.data() + layout.rows + static_cast<std::uint64_t>((h - 1 - y) * stride);
        std::uint8_t* out = pixels.data() + y * w;
        if (bits == 8) {
            std::memcpy(out, src, static_cast<std::size_t>(w));
            continue;
        }
        // Packed pixels, the leftmost in the highest bits of its byte.
        const int perByte = 8 / bits;
        const int mask = (1 << bits) - 1;
        for (std::int64_t x = 0; x < w; ++x) {
            const int shift = 8 - bits * (1 + static_cast<int>(x % perByte));
            out[x] = static_cast<std::uint8_t>((src[x / perByte] >> shift) & mask);
        }
    }
    return BitmapStatus::Ok;
}

}  // namespace

BitmapStatus DecodeBitmap(std::span<const std::uint8_t> file, std::int32_t width,
                          std::int32_t height, DecodedBitmap& out) {
    out.pictureWidth = out.pictureHeight = 0;
    Int32At(file, 18, out.pictureWidth);
    Int32At(file, 22, out.pictureHeight);
    if (const BitmapStatus status = CheckBitmapImage(file, width, height);
        status != BitmapStatus::Ok) {
        return status;
    }
    BitmapLayout layout;
    if (const BitmapStatus status = ReadBitmapLayout(file, layout); status != BitmapStatus::Ok) {
        return status;
    }
    if (layout.colourCount == 0) {
        std::vector<std::uint32_t> colours;
        if (const BitmapStatus status = DecodeColourPixels(file, layout, width, height, colours);
            status != BitmapStatus::Ok) {
            return status;
        }
        out.colourCount = 0;
        out.colours.fill(0);
        out.pixelsTopDown.clear();
        out.colourPixels = std::move(colours);
        return BitmapStatus::Ok;
    }
    std::vector<std::uint8_t> pixels;
    if (const BitmapStatus status = DecodeBitmapPixels(file, layout, width, height, pixels);
        status != BitmapStatus::Ok) {
        return status;
    }
    out.colourPixels.clear();
    out.colourCount = layout.colourCount;
    out.colours.fill(0);
    for (int k = 0; k < layout.colourCount; ++k) {
        const std::uint8_t* e =
            file.data() + layout.tableOffset + 4 * static_cast<std::uint64_t>(k);
        out.colours[static_cast<std::size_t>(k)] = MakeColour(e[2], e[1], e[0]);
    }
    out.pixelsTopDown = std::move(pixels);
    return BitmapStatus::Ok;
}

BitmapStatus ReadBitmap(const ByteSource& file, std::int32_t width, std::int32_t height,
                        DecodedBitmap& out) {
    // The largest headers and colour table there are: 14 + 124 + 4 x 256 bytes.
    constexpr std::uint64_t kHeadBytes = 14 + 124 + 4 * kPaletteSize;
    std::vector<std::uint8_t> bytes(
        static_cast<std::size_t>(std::min<std::uint64_t>(file.size(), kHeadBytes)));
    bytes.resize(file.readAt(0, bytes));
    std::int32_t rowsOffset = 0;
    if (width < 0 || height < 0 || !Int32At(bytes, 10, rowsOffset)) {
        return DecodeBitmap(bytes, width, height, out);
    }
    // Plain rows take (width + padding) x height bytes; RLE8 at most two bytes a pixel of
    // them, with a few codes a row; twice that leaves room for odd encoders.
    const std::uint64_t stride =
        static_cast<std::uint64_t>(width) + static_cast<std::uint64_t>(RowPadding(width));
    const std::uint64_t rowBytes = 4 * (stride + 2) * static_cast<std::uint64_t>(height) + 1024;
    const std::uint64_t rows = rowsOffset < 0 ? 0 : static_cast<std::uint64_t>(rowsOffset);
    if (rows <= kHeadBytes || rows >= file.size()) {
        const std::uint64_t end = std::min(file.size(), std::max(rows, kHeadBytes) + rowBytes);
        bytes.resize(static_cast<std::size_t>(end));
        bytes.resize(file.readAt(0, bytes));
        return DecodeBitmap(bytes, width, height, out);
    }
    // Rows far into the file: the head, then the rows moved up to follow it, with the offset
    // at byte 10 telling their new place. No gap between them is read.
    const std::uint64_t head = bytes.size();
    const std::uint64_t take = std::min(file.size() - rows, rowBytes);
    bytes.resize(static_cast<std::size_t>(head + take));
    bytes.resize(static_cast<std::size_t>(
        head + file.readAt(rows, std::span(bytes).subspan(static_cast<std::size_t>(head)))));
    for (int i = 0; i < 4; ++i) {
        bytes[10 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(head >> (8 * i));
    }
    return DecodeBitmap(bytes, width, height, out);
}

}  // namespace krellon
