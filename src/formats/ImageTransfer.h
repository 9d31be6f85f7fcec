#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "Bitmap.h"
#include "ByteSource.h"
#include "ImageFile.h"
#include "Patch.h"
#include "Result.h"

namespace krellon {

// An image file's images as the explorer lists them: the header, then every record from
// 16 + 4 * FilePaletteCount (at most 119).
struct ImageFileIndex {
    ImageFileHeader header;
    std::vector<ImageRecord> records;
};

// A failure for a file shorter than its header.
Result<ImageFileIndex> IndexImageFile(const ByteSource& file);

// The palette an image is drawn with: its own, or the file's when it has none.
const Palette& DrawnPalette(const ImageFileIndex& index, const ImageRecord& record);

// The width x height palette indices of a record, top row first; a failure when its pixels
// do not lie wholly inside the file.
Result<std::vector<std::uint8_t>> ReadImagePixels(const ByteSource& file,
                                                  const ImageRecord& record);

// What an import writes into an image file: the palette entries both the image's palette
// and the imported colours have (red, green and blue only; each entry's fourth byte stays),
// and the pixels. Owns the bytes that its patches point at.
struct ImportChange {
    std::uint64_t paletteStart = 0;
    std::vector<std::uint8_t> palette;
    std::uint64_t pixelOffset = 0;
    std::vector<std::uint8_t> pixels;

    std::array<Patch, 2> patches() const {
        return {Patch{paletteStart, palette}, Patch{pixelOffset, pixels}};
    }
};

// The palette entries an import into record of file writes over, as the file holds them (4
// bytes each): the record's own, or the file palette when it has none. The change has no
// pixels; a failure when the palette does not lie inside the file.
Result<ImportChange> ImportPalette(const ByteSource& file, const ImageRecord& record);

// How the colours of a true-colour picture become indices of the image's palette.
enum class ColourMatch {
    PaletteOnly,  // an 8-bit picture only, as the explorer's Import button has always taken
    Keep,         // a true-colour picture's colours are left unmatched, for the caller
    Exact,        // every colour must be one of the palette's
    Nearest,      // a colour that is not becomes the nearest one
};

// Turns the colour pixels of a true-colour picture (of decoded.pictureWidth pixels a row) into
// indices of the palette whose entries are given as an image file holds them (4 bytes each,
// red first): each colour gets the lowest index of its colour, or with Nearest of the nearest
// colour (squared distance of red, green and blue; the lowest index of the nearest ones); a
// fully transparent pixel gets index 0. Exact refuses a picture with colours the palette lacks,
// telling how many and the first pixel with one. A palette picture is left as it is.
Status MatchColours(DecodedBitmap& decoded, std::span<const std::uint8_t> paletteEntries,
                    ColourMatch match);

// The change that importing decoded (indices of the record's size, colourCount colours) makes
// to record of file; a failure when the record's palette or pixels do not lie inside the file.
Result<ImportChange> PlanImport(const ByteSource& file, const ImageRecord& record,
                                DecodedBitmap decoded);

// True when record still is the file's image number (1-based) as it was listed: the same
// name, size, palette count and pixel offset.
bool RecordIsAsListed(const ByteSource& file, int number, const ImageRecord& listed);

}  // namespace krellon
