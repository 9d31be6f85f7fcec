#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "ByteSource.h"
#include "Colour.h"

namespace krellon {

// An uncompressed 8-bit Windows bitmap as the export writes it: the 14-byte file header, the
// 40-byte information header, 256 colour table entries and the pixel rows bottom row first,
// each padded to a multiple of 4 bytes.
constexpr std::uint64_t kBitmapHeadersSize = 54;
constexpr std::uint64_t kBitmapPixelRowsOffset = 54 + 4 * kPaletteSize;  // 1078
// The 32-bit value at offset 26: 1 colour plane, 8 bits per pixel.
constexpr std::int32_t kPlanesAndDepth8 = 524289;
// 1 colour plane of 1 or 4 bits per pixel: a bitmap of 2 or 16 colours, read but never written.
constexpr std::int32_t kPlanesAndDepth1 = 1 + (1 << 16);
constexpr std::int32_t kPlanesAndDepth4 = 1 + (4 << 16);
// 1 colour plane of 24 or 32 bits per pixel: a true-colour bitmap.
constexpr std::int32_t kPlanesAndDepth24 = 1 + (24 << 16);
constexpr std::int32_t kPlanesAndDepth32 = 1 + (32 << 16);

// A pixel of a true-colour picture: its colour as a ColourValue, its alpha in the top byte
// (0 fully transparent, 255 opaque).
constexpr std::uint32_t PictureColour(int red, int green, int blue, int alpha = 255) {
    return static_cast<std::uint32_t>(MakeColour(red, green, blue)) |
           (static_cast<std::uint32_t>(alpha) << 24);
}

// Zero bytes that bring a row of width pixel bytes to a multiple of 4.
constexpr std::int64_t RowPadding(std::int64_t width) {
    return (4 - width % 4) % 4;
}

// The bitmap of an image: width x height palette indices given top row first, drawn with
// colours (entry k of the colour table from colours[k]).
std::vector<std::uint8_t> EncodeBitmap(std::int32_t width, std::int32_t height,
                                       const Palette& colours,
                                       std::span<const std::uint8_t> pixelsTopDown);

// What reading a bitmap for import found, in the order the checks are made.
enum class BitmapStatus {
    Ok,
    FileNotFound,       // fewer than 2 bytes
    NotBmp,             // does not start with "BM"
    WrongWidth,         // width at offset 18 differs from the image's
    WrongHeight,        // height at offset 22 differs from the image's
    WrongBitrate,       // not 1 plane of 1, 4, 8, 24 or 32 bits per pixel
    UnsupportedHeader,  // information header size other than 40, 108 or 124
    TooManyColours,     // a colour table counted above 2 to the depth, or below 0
    Compressed,         // compression other than none, RLE8 (8 bits) or bit fields (32)
    TooShort,           // ends before its colour table or pixel rows do
};

// The message the import shows for a status other than Ok.
std::string_view BitmapStatusMessage(BitmapStatus status);

// The palette indices and colours of a picture to import (a bitmap or a PNG).
struct DecodedBitmap {
    int colourCount = 0;  // colour table entries the bitmap gives
    Palette colours{};    // entry k from colour table entry k; black past colourCount
    std::vector<std::uint8_t> pixelsTopDown;  // width x height indices, top row first
    // A true-colour picture's width x height pixels (PictureColour), top row first, and no
    // indices until MatchColours turns them into some; empty for a palette picture.
    std::vector<std::uint32_t> colourPixels;
    // The picture's size as its header states it, also when that size is refused.
    std::int32_t pictureWidth = 0;
    std::int32_t pictureHeight = 0;
};

// Checks a bitmap against an image of width x height and decodes it. Reads the colour table
// after the information header (40, 108 or 124 bytes) with as many entries as it states, and
// the pixel rows from the stated offset, uncompressed or RLE8. Pixels that RLE8 data skips
// read as index 0. A 24- or 32-bit bitmap gives colourPixels instead: blue, green, red (and a
// fourth byte taken as opaque), or 32-bit words split by the bit-field masks after the header,
// with alpha only where a V4 or V5 header gives an alpha mask.
BitmapStatus DecodeBitmap(std::span<const std::uint8_t> file, std::int32_t width,
                          std::int32_t height, DecodedBitmap& out);

// Reads from file what DecodeBitmap needs for an image of width x height and decodes it: the
// headers, the colour table and no more pixel-row bytes than such an image can take, plain or
// RLE8, however long the file is.
BitmapStatus ReadBitmap(const ByteSource& file, std::int32_t width, std::int32_t height,
                        DecodedBitmap& out);

}  // namespace krellon
