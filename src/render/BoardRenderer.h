#pragma once

#include <QFont>
#include <QImage>
#include <array>
#include <cstdint>
#include <span>

#include "formats/BoardSetFile.h"
#include "formats/ImageFile.h"

// How a board looks: the background tile in a display mode, the placeholder sign, tiling, bricks,
// the mark of a missing brick and whole boards. The editor draws its surfaces with these and the
// command line renders with them, so a board has the same pixels in both.
namespace krellon::render {

constexpr int kCellWidth = 30;
constexpr int kCellHeight = 15;
constexpr int kBoardWidth = kBoardColumns * kCellWidth;  // 600
constexpr int kBoardHeight = kBoardRows * kCellHeight;   // 300
constexpr int kMaxBrickCode = kMaxBricks;                // 119
// The brick sheet: every brick of a brick set in its slot, 16 to a row.
constexpr int kSheetWidth = 561;
constexpr int kSheetHeight = 167;
// The placeholder sign that stands for a background that is not available.
constexpr int kPlaceholderSize = 64;
// Backgrounds beyond this many pixels are not drawn; only a damaged file claims one.
constexpr std::int64_t kMaxBackgroundPixels = 4096 * 4096;

// The display modes of the background: "Textured", "Half-bright", "Black".
enum class BackgroundMode { Textured = 0, HalfBright = 1, Black = 2 };

// Left and top of brick code k's slot in the brick sheet.
constexpr int SlotLeft(int k) {
    return ((k - 1) % 16) * 35 + 2;
}
constexpr int SlotTop(int k) {
    return ((k - 1) / 16) * 20 + 2;
}

// The 256 colours a palette shows in a display mode.
std::array<QRgb, 256> ModeColours(const Palette& palette, BackgroundMode mode);
// The 256 colours of a palette as they are.
std::array<QRgb, 256> Colours(const Palette& palette);

// True when a background record can be drawn: a size of at least one pixel and not beyond
// kMaxBackgroundPixels.
bool Drawable(const ImageRecord& background);

// A background's tile in a display mode from its width x height pixel indices.
QImage BackgroundTile(const ImageRecord& background, std::span<const std::uint8_t> pixels,
                      BackgroundMode mode);

// Draws the placeholder sign on a 64 x 64 image: a red warning sign and "Not available".
void DrawPlaceholder(QImage& tile);
// The sign's font: fixed, so that every program draws the same pixels.
QFont PlaceholderFont();

// How a cell with brick code k looks.
enum class CellLook { Background, Brick, Missing };
// Empty cells and hidden bricks while hidden bricks are not shown show the background; codes
// the brick set lacks (below 1 or above brickCount) show the missing-brick mark.
CellLook LookOf(std::int32_t k, int brickCount, bool hiddenName, bool showHidden);

// Board pixel (x, y) shows tile pixel (x mod W, y mod H): copies that into one cell.
void ClearCell(QImage& board, const QImage& tile, int column, int row);
// Copies brick code k's slot of the sheet into a cell.
void CopyBrick(QImage& board, const QImage& sheet, int k, int column, int row);
// The mark of a brick code that the brick set lacks: a white cell, crossed and framed in red.
void DrawMissingBrick(QImage& board, int column, int row);

// What a board is drawn with: the brick set's sheet, how many bricks it has and which of
// their names read "Hidden", and the board's background tile (or the placeholder).
struct BoardArt {
    QImage sheet;
    int brickCount = 0;
    std::array<bool, kMaxBrickCode + 1> hidden{};
    bool showHidden = true;
};

// The 600 x 300 picture of a board on tile.
QImage RenderBoard(const Board& board, const QImage& tile, const BoardArt& art);

// A board picture at a fifth of its size, each pixel the mean of a 5 x 5 block: the board
// strip's thumbnails.
QImage Thumbnail(const QImage& boardPicture);
constexpr int kThumbnailWidth = kBoardWidth / 5;
constexpr int kThumbnailHeight = kBoardHeight / 5;

}  // namespace krellon::render
