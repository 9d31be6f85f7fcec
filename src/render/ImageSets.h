#pragma once

#include <QImage>
#include <span>
#include <string>
#include <vector>

#include "BoardRenderer.h"
#include "formats/ByteSource.h"
#include "formats/ImageFile.h"

// Reading the two image files a board set names: its bricks and its backgrounds.
namespace krellon::render {

// Draws every brick of a brick set file (at most 119) into its slot of sheet and returns their
// names in the file's code page. Each record gives exactly 30 x 15 pixel bytes, whatever size
// it states; a record without a palette of its own is drawn with the file's.
// buffer holds the file's bytes while they are drawn; a caller that loads sets again and
// again keeps it between calls.
std::vector<std::string> DrawBrickSet(const ByteSource& file, QImage& sheet,
                                      std::vector<std::uint8_t>& buffer);
inline std::vector<std::string> DrawBrickSet(const ByteSource& file, QImage& sheet) {
    std::vector<std::uint8_t> buffer;
    return DrawBrickSet(file, sheet, buffer);
}

// The records of a background set file (at most 69), each with the palette it is drawn with
// (the file's, for a record without one of its own).
std::vector<ImageRecord> ReadBackgroundSet(const ByteSource& file);

// The tile of a background in a display mode, its pixels read from file; the placeholder sign
// when the record cannot be drawn.
QImage ReadBackgroundTile(const ByteSource& file, const ImageRecord& background,
                          BackgroundMode mode);

// The tile of background number b among backgrounds (a background set's records) in a
// display mode; the placeholder sign when there is no such background or it cannot be drawn.
// Pixels past the end of file (an unopened file has none) read as 0.
QImage BackgroundTileOf(const ByteSource& file, std::span<const ImageRecord> backgrounds,
                        std::int32_t b, BackgroundMode mode);

// The placeholder sign as a 64 x 64 tile.
QImage PlaceholderTile();

}  // namespace krellon::render
