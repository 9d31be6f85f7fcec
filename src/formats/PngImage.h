#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "Bitmap.h"
#include "ByteSource.h"
#include "Colour.h"

namespace krellon {

// What reading a PNG for import found, in the order the checks are made.
enum class PngStatus {
    Ok,
    FileNotFound,  // no such file
    NotPng,        // no PNG signature and header
    NotPalette,    // a PNG of a colour type there is none of
    WrongWidth,
    WrongHeight,
    SixteenBit,  // a true-colour or grey PNG of 16 bits a channel
    Damaged,     // the image data cannot be decoded
};

// The message an import shows for a status other than Ok.
std::string_view PngStatusMessage(PngStatus status);

// An 8-bit palette PNG of width x height palette indices (top row first) whose palette is the
// 256 colours, the indices kept exactly.
std::vector<std::uint8_t> EncodePalettePng(std::int32_t width, std::int32_t height,
                                           const Palette& colours,
                                           std::span<const std::uint8_t> pixelsTopDown);

// Checks a palette PNG (1, 2, 4 or 8 bits per pixel, up to 256 palette entries) against an
// image of width x height and decodes its indices and palette: colourCount is the number of
// entries the PNG has. The size is checked before any pixel data is decoded. An RGB, RGBA or
// grey PNG (with or without alpha, 8 bits a channel or grey of fewer) gives colourPixels
// instead, a colour its transparency chunk names fully transparent.
PngStatus DecodePalettePng(std::span<const std::uint8_t> file, std::int32_t width,
                           std::int32_t height, DecodedBitmap& out);

// Reads a PNG file for DecodePalettePng, refusing files far larger than any PNG of such an
// image can be without reading them.
PngStatus ReadPalettePng(const ByteSource& file, std::int32_t width, std::int32_t height,
                         DecodedBitmap& out);

}  // namespace krellon
