#include "PngImage.h"

#include <png.h>

#include <algorithm>
#include <cstring>
#include <limits>

#include "ImageFile.h"

namespace krellon {

namespace {

constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
// Signature, IHDR length and type, width and height, bit depth and colour type.
constexpr std::size_t kHeadBytes = 8 + 8 + 8 + 2;

std::uint32_t BigEndian(const std::uint8_t* p) {
    return (static_cast<std::uint32_t>(p[0]) << 24) | (static_cast<std::uint32_t>(p[1]) << 16) |
           (static_cast<std::uint32_t>(p[2]) << 8) | p[3];
}

struct MemoryRead {
    std::span<const std::uint8_t> bytes;
    std::size_t position = 0;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t count) {
    auto* in = static_cast<MemoryRead*>(png_get_io_ptr(png));
    if (count > in->bytes.size() - in->position) {
        png_error(png, "the file ends early");
    }
    std::memcpy(out, in->bytes.data() + in->position, count);
    in->position += count;
}

void WriteToMemory(png_structp png, png_bytep data, png_size_t count) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + count);
}

void NoFlush(png_structp) {}

// libpng's messages would go to stderr; a damaged file is told by the status instead.
void JumpOnError(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}
void IgnoreWarning(png_structp, png_const_charp) {}

// Asks libpng for every true-colour or grey PNG as red, green, blue and alpha bytes.
void ExpandToRgba(png_structp png, png_infop info) {
    const int type = png_get_color_type(png, info);
    png_set_expand(png);  // grey of 1, 2 or 4 bits to 8; a transparency chunk to alpha
    if (type == PNG_COLOR_TYPE_GRAY || type == PNG_COLOR_TYPE_GRAY_ALPHA) {
        png_set_gray_to_rgb(png);
    }
    if ((type & PNG_COLOR_MASK_ALPHA) == 0 && png_get_valid(png, info, PNG_INFO_tRNS) == 0) {
        png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    }
}

// libpng reports errors by a long jump back to here; nothing with a destructor is created
// between the jump's start and its target, and rows points at memory the caller owns: width
// bytes a row for a palette PNG, 4 x width (red, green, blue, alpha) for any other.
bool DecodeRows(std::span<const std::uint8_t> file, std::uint8_t* pixels, std::int32_t width,
                std::int32_t height, int& colourCount, Palette& colours) {
    png_structp png =
        png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, JumpOnError, IgnoreWarning);
    if (png == nullptr) {
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return false;
    }
    MemoryRead in{file, 0};
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_set_read_fn(png, &in, ReadFromMemory);
    png_set_user_limits(png, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height));
    png_read_info(png, info);
    const bool palette = png_get_color_type(png, info) == PNG_COLOR_TYPE_PALETTE;
    if ((!palette && png_get_bit_depth(png, info) > 8) ||
        png_get_image_width(png, info) != static_cast<png_uint_32>(width) ||
        png_get_image_height(png, info) != static_cast<png_uint_32>(height)) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_colorp entries = nullptr;
    int count = 0;
    if (png_get_PLTE(png, info, &entries, &count) == 0) {
        count = 0;
    }
    colourCount = palette ? std::clamp(count, 0, kPaletteSize) : 0;
    for (int k = 0; k < colourCount; ++k) {
        colours[k] = MakeColour(entries[k].red, entries[k].green, entries[k].blue);
    }
    // 1, 2 and 4 bits per pixel become one index a byte; the indices are not expanded to colours.
    if (palette) {
        png_set_packing(png);
    } else {
        ExpandToRgba(png, info);
    }
    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const std::size_t rowBytes = static_cast<std::size_t>(width) * (palette ? 1 : 4);
    if (png_get_rowbytes(png, info) != rowBytes) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    for (int pass = 0; pass < passes; ++pass) {
        for (std::int32_t y = 0; y < height; ++y) {
            png_read_row(png, pixels + static_cast<std::size_t>(y) * rowBytes, nullptr);
        }
    }
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

}  // namespace

std::string_view PngStatusMessage(PngStatus status) {
    switch (status) {
        case PngStatus::Ok:
            return "";
        case PngStatus::FileNotFound:
            return "File not found.";
        case PngStatus::NotPng:
            return "File is not a PNG image.";
        case PngStatus::NotPalette:
            return "PNG is not a palette image.";
        case PngStatus::WrongWidth:
            return "Wrong image width.";
        case PngStatus::WrongHeight:
            return "Wrong image height.";
        case PngStatus::SixteenBit:
            return "PNG images of 16 bits a channel are not supported; save it with 8 bits a "
                   "channel.";
        case PngStatus::Damaged:
            return "PNG image is damaged.";
    }
    return "";
}

std::vector<std::uint8_t> EncodePalettePng(std::int32_t width, std::int32_t height,
                                           const Palette& colours,
                                           std::span<const std::uint8_t> pixelsTopDown) {
    std::vector<std::uint8_t> out;
    if (width <= 0 || height <= 0 ||
        pixelsTopDown.size() < static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) {
        return out;
    }
    png_structp png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, JumpOnError, IgnoreWarning);
    png_infop info = png == nullptr ? nullptr : png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        return out;
    }
    out.reserve(pixelsTopDown.size() / 2 + 1024);
    png_color palette[kPaletteSize];
    for (int k = 0; k < kPaletteSize; ++k) {
        palette[k] = {static_cast<png_byte>(RedOf(colours[k])),
                      static_cast<png_byte>(GreenOf(colours[k])),
                      static_cast<png_byte>(BlueOf(colours[k]))};
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        out.clear();
        return out;
    }
    png_set_write_fn(png, &out, WriteToMemory, NoFlush);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_set_PLTE(png, info, palette, kPaletteSize);
    // Indexed pixels compress best unfiltered, and it is the fastest choice too.
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
    png_write_info(png, info);
    for (std::int32_t y = 0; y < height; ++y) {
        png_write_row(png, pixelsTopDown.data() + static_cast<std::size_t>(y) * width);
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

PngStatus DecodePalettePng(std::span<const std::uint8_t> file, std::int32_t width,
                           std::int32_t height, DecodedBitmap& out) {
    if (file.size() < kHeadBytes || std::memcmp(file.data(), kSignature, 8) != 0 ||
        std::memcmp(file.data() + 12, "IHDR", 4) != 0) {
        return PngStatus::NotPng;
    }
    const int type = file[25];
    if (type != PNG_COLOR_TYPE_PALETTE && type != PNG_COLOR_TYPE_GRAY &&
        type != PNG_COLOR_TYPE_RGB && type != PNG_COLOR_TYPE_GRAY_ALPHA &&
        type != PNG_COLOR_TYPE_RGB_ALPHA) {
        return PngStatus::NotPalette;
    }
    // The size as stated, clamped to what an int32 holds, for a refusal to tell.
    out.pictureWidth = static_cast<std::int32_t>(std::min<std::uint32_t>(
        BigEndian(file.data() + 16), std::numeric_limits<std::int32_t>::max()));
    out.pictureHeight = static_cast<std::int32_t>(std::min<std::uint32_t>(
        BigEndian(file.data() + 20), std::numeric_limits<std::int32_t>::max()));
    if (BigEndian(file.data() + 16) != static_cast<std::uint32_t>(width)) {
        return PngStatus::WrongWidth;
    }
    if (BigEndian(file.data() + 20) != static_cast<std::uint32_t>(height)) {
        return PngStatus::WrongHeight;
    }
    if (type != PNG_COLOR_TYPE_PALETTE && file[24] > 8) {
        return PngStatus::SixteenBit;
    }
    if (width <= 0 || height <= 0) {
        return PngStatus::Damaged;
    }
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    std::vector<std::uint8_t> bytes(type == PNG_COLOR_TYPE_PALETTE ? count : 4 * count);
    out.colours = {};
    out.colourCount = 0;
    out.pixelsTopDown.clear();
    out.colourPixels.clear();
    if (!DecodeRows(file, bytes.data(), width, height, out.colourCount, out.colours)) {
        out.colourCount = 0;
        return PngStatus::Damaged;
    }
    if (type == PNG_COLOR_TYPE_PALETTE) {
        out.pixelsTopDown = std::move(bytes);
        return PngStatus::Ok;
    }
    out.colourPixels.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* p = bytes.data() + 4 * i;
        out.colourPixels[i] = PictureColour(p[0], p[1], p[2], p[3]);
    }
    return PngStatus::Ok;
}

PngStatus ReadPalettePng(const ByteSource& file, std::int32_t width, std::int32_t height,
                         DecodedBitmap& out) {
    // Beyond the raw pixels (a byte each, four in true colour, plus a filter byte a row), the
    // palette and deflate's worst case there is room for a good many ancillary chunks; a file
    // larger than that is not an image of this size.
    std::vector<std::uint8_t> head(std::min<std::uint64_t>(file.size(), kHeadBytes));
    ReadBlock(file, 0, head);
    const std::uint64_t bytesPerPixel =
        head.size() == kHeadBytes && head[25] != PNG_COLOR_TYPE_PALETTE ? 4 : 1;
    const std::uint64_t raw = (static_cast<std::uint64_t>(std::max(width, 0)) * bytesPerPixel + 1) *
                              static_cast<std::uint64_t>(std::max(height, 0));
    const std::uint64_t limit = raw + raw / 8 + (4u << 20);
    if (file.size() > limit) {
        // Its header still tells a wrong kind or size of image; past that it is damaged.
        return DecodePalettePng(head, width, height, out);
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(file.size()));
    ReadBlock(file, 0, bytes);
    return DecodePalettePng(bytes, width, height, out);
}

}  // namespace krellon
