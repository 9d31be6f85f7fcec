#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "ByteSource.h"
#include "Colour.h"
#include "Result.h"

namespace krellon {

// Offset of the first record in a file whose file palette has 256 entries.
constexpr std::uint64_t kFirstRecordOffset = 16 + 4 * kPaletteSize;
// Offset of the file palette's first entry.
constexpr std::uint64_t kFilePaletteOffset = 16;

// Image counts that the consumers hold.
constexpr int kMaxBackgrounds = 69;
constexpr int kMaxBricks = 119;
constexpr int kMaxExplorerImages = 119;
// Every brick of a brick set is this size: the editor takes an image file whose first image is
// so for a brick set, and reads each of its records as so many pixels.
constexpr int kBrickWidth = 30;
constexpr int kBrickHeight = 15;

// In an image file whose images are of sizes (width and height, in file order): the number
// (from 1) of the first image of another size than a brick when the first is a brick's, whose
// pixels put every later brick out of step; 0 when there is none.
std::size_t FirstOddBrick(std::span<const std::pair<std::int32_t, std::int32_t>> sizes);

// The header of an image file.
struct ImageFileHeader {
    std::int32_t imageCount = 0;
    std::int32_t filePaletteCount = 0;
    // Entries the file gives; entries past the count (or past the end of the file) are black.
    Palette filePalette{};
};

// One image of an image file: what the walk finds of it, and what the editor and the explorer
// keep of each image they use. Pixels are not read by the walk.
struct ImageRecord {
    std::string Name;  // without its terminator, in the single-byte code page
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    std::int32_t PaletteCount = 0;
    ::krellon::Palette Palette{};     // entries at and above PaletteCount are black
    std::uint64_t PaletteOffset = 0;  // offset of palette entry 0
    std::uint64_t PixelOffset = 0;    // offset of the first pixel byte

    std::uint64_t pixelBytes() const {
        return static_cast<std::uint64_t>(Width) * static_cast<std::uint64_t>(Height);
    }
};

// Reads ImageCount, FilePaletteCount and the file palette. A failure for a file shorter than
// the 16 header bytes, or one that cannot be read as long as it is.
Result<ImageFileHeader> ReadImageHeader(const ByteSource& source);

// How a walk over the records goes.
struct RecordWalk {
    std::uint64_t start = kFirstRecordOffset;  // offset of the first record
    std::int32_t count = 0;                    // records the header claims
    std::int32_t limit = kMaxExplorerImages;   // records the consumer can hold
    // When set, every record is taken to have this many pixel bytes, whatever its stated size
    // (the brick loader takes 30 x 15 from each record).
    std::optional<std::uint64_t> fixedPixelBytes;
};

// The records a walk found, and whether it read all it was to read: a failure tells which
// record it ended before, and why.
struct WalkedRecords {
    std::vector<ImageRecord> records;
    Status complete;
};

// Walks the records in file order, up to min(count, limit). The walk ends before a record that
// is not wholly inside the file: a name length below 1, a negative width or height, a palette
// count outside 0 to 256, or palette or pixels past the end.
std::vector<ImageRecord> WalkImageRecords(const ByteSource& source, const RecordWalk& walk);
// The same walk, telling why it ended early.
WalkedRecords WalkImageRecordsChecked(const ByteSource& source, const RecordWalk& walk);

// The explorer's walk: the header, then every record from 16 + 4 * FilePaletteCount.
std::vector<ImageRecord> WalkImageFile(const ByteSource& source, const ImageFileHeader& header,
                                       std::int32_t limit = kMaxExplorerImages);
// The explorer's walk, telling why it ended before the header's count.
WalkedRecords WalkImageFileChecked(const ByteSource& source, const ImageFileHeader& header,
                                   std::int32_t limit = kMaxExplorerImages);

// Width and height of the first record of a file assumed to have a 256-entry file palette:
// name length at 1040, width and height after the name. Nothing else is read. Returns nothing
// when the file is too short for these three numbers or the name length is below 1.
std::optional<std::pair<std::int32_t, std::int32_t>> ProbeFirstImage(const ByteSource& source);

// How many bytes from kFirstRecordOffset on answer the probe for any usual name.
inline constexpr std::size_t kProbeHeadBytes = 64;
// The probe on head, the bytes of the file from kFirstRecordOffset on (kProbeHeadBytes, or
// fewer where the file ends). Returns false, leaving size alone, when the first name is too
// long for head to tell: then only ProbeFirstImage on the whole file can.
bool ProbeFirstImageHead(std::span<const std::uint8_t> head,
                         std::optional<std::pair<std::int32_t, std::int32_t>>& size);

// Fills dst from offset in one read; bytes past the end of the source read as 0. False when
// the source gives fewer bytes than it holds there (a file cut short while read, or a read
// error): what it did not give reads as 0 too.
bool ReadBlock(const ByteSource& source, std::uint64_t offset, std::span<std::uint8_t> dst);

// The pixel at column x, row y of a record; 0 past the end of the source.
std::uint8_t ReadPixel(const ByteSource& source, const ImageRecord& record, std::int32_t x,
                       std::int32_t y);

// Overwrites red, green and blue of the palette entry at entryOffset in a file held in memory,
// leaving its fourth byte. Returns false, writing nothing, when the entry is not wholly inside.
bool WritePaletteEntry(std::span<std::uint8_t> file, std::uint64_t entryOffset, ColourValue colour);

// Overwrites the pixel byte at column x, row y of a record in a file held in memory. Returns
// false, writing nothing, when the byte lies outside the record or the file.
bool WritePixel(std::span<std::uint8_t> file, const ImageRecord& record, std::int32_t x,
                std::int32_t y, std::uint8_t value);

}  // namespace krellon
