#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "Colour.h"
#include "Result.h"

namespace krellon {

// One record of an image file with every byte it stores, so that it is written back as read.
struct StoredImage {
    std::string name;          // without its terminator, in the single-byte code page
    std::uint8_t nameEnd = 0;  // the byte after the name: 0 in the game's files
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t spare1 = 0;            // the two numbers after the size, not interpreted: 0 in
    std::int32_t spare2 = 0;            // the game's files
    std::vector<std::uint8_t> palette;  // 4 bytes an entry as stored: red, green, blue, unused
    std::vector<std::uint8_t> pixels;   // width x height indices, top row first

    std::int32_t paletteCount() const { return static_cast<std::int32_t>(palette.size() / 4); }
};

// A whole image file: its head as stored, its records in order, and whatever follows the last
// record the header counts (kept, never read).
struct StoredImageFile {
    std::string signature = "KIMG";         // 4 bytes
    std::int32_t headerWord = 1;            // not interpreted: 1 in the game's files
    std::vector<std::uint8_t> filePalette;  // 4 bytes an entry as stored
    std::vector<StoredImage> images;        // the header's image count is their number
    std::vector<std::uint8_t> tail;
};

// Reads a whole image file. Refused: a file shorter than its head, a negative image count, a
// file palette count outside 0 to 256, or a record the explorer's walk cannot read whole.
Result<StoredImageFile> DecodeStoredImageFile(std::span<const std::uint8_t> bytes);

// The file's bytes: those it was read from when nothing was changed.
std::vector<std::uint8_t> EncodeStoredImageFile(const StoredImageFile& file);

// The largest width and height an image written by the program may have.
constexpr std::int32_t kMaxImageSide = 4096;
// The longest image name the program writes, in characters (bytes in the code page).
constexpr std::size_t kMaxImageNameLength = 80;

// A picture to put into an image file: its size, palette and indices.
struct ImagePicture {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<ColourValue> palette;  // 1 to 256 entries
    std::vector<std::uint8_t> pixels;  // width x height indices, top row first
};

// Why name (bytes in Windows-1252) cannot be an image's name: empty, longer than
// kMaxImageNameLength, or holding a control character or a byte the code page leaves undefined.
Status CheckImageName(std::string_view name);

// Why an image cannot be width x height: a side outside 1 to kMaxImageSide.
Status CheckImageSize(std::int32_t width, std::int32_t height);

// Why picture cannot be an image: a side outside 1 to kMaxImageSide, a palette of no or more
// than 256 entries, or pixels that are not width x height.
Status CheckImagePicture(const ImagePicture& picture);

// Colours as a new record stores them: red, green, blue and a fourth byte 0, each entry.
std::vector<std::uint8_t> PaletteBytes(std::span<const ColourValue> palette);

// A new record named name holding picture; the fields a picture does not give are written as
// the game's files have them: the name's end byte, the two spare numbers and every palette
// entry's fourth byte 0.
Result<StoredImage> MakeStoredImage(std::string name, const ImagePicture& picture);

// The edits; images are numbered from 1. Each leaves every other record as it was and changes
// nothing when it refuses.

// Inserts image as image at (1 to count + 1; count + 1 appends).
Status InsertImage(StoredImageFile& file, std::size_t at, StoredImage image);
// Image n takes picture's size, palette and pixels; its name and other fields stay, and so does
// its palette, byte for byte, when the picture's has the colours it is drawn with.
Status ReplaceImage(StoredImageFile& file, std::size_t n, const ImagePicture& picture);
// The palette entries (4 bytes each, as stored) image n is drawn with: its own, or the file
// palette when it has none; none when there is no image n.
std::span<const std::uint8_t> PaletteOfImage(const StoredImageFile& file, std::size_t n);
// Those a new image inserted as image at is matched with: the palette of the image it follows,
// of the first image when it goes first, or the file palette in a file of no images.
std::span<const std::uint8_t> PaletteForNewImage(const StoredImageFile& file, std::size_t at);
// Removes image n; the last one too (a file of no images is valid).
Status RemoveImage(StoredImageFile& file, std::size_t n);
// Renames image n.
Status RenameImage(StoredImageFile& file, std::size_t n, std::string name);
// Moves image from to place to (1 to count), the images between shifting by one.
Status MoveImage(StoredImageFile& file, std::size_t from, std::size_t to);

}  // namespace krellon
