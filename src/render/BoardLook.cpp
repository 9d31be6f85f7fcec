#include "BoardLook.h"

#include "Raster.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "ImageSets.h"
#include "storage/Cp1252.h"
#include "storage/FileSource.h"
#include "storage/Files.h"

namespace krellon::render {

namespace {

// A cell is 30 x 15 pixels, so a thumbnail's 5 x 5 blocks never straddle two cells: a cell
// becomes a 6 x 3 block that depends on that cell alone.
constexpr int kScaledCellWidth = kCellWidth / 5;
constexpr int kScaledCellHeight = kCellHeight / 5;
static_assert(kCellWidth % 5 == 0 && kCellHeight % 5 == 0);

// Where scaledBricks() keeps brick k's cell, and the mark's (after the last brick).
constexpr int kMissingSlot = kMaxBrickCode + 1;
constexpr int ScaledColumn(int slot) {
    return (slot - 1) % kBoardColumns;
}
constexpr int ScaledRow(int slot) {
    return (slot - 1) / kBoardColumns;
}
static_assert(kMissingSlot <= kBoardColumns * kBoardRows);

// Copies the scaled cell (sc, sr) of from into the scaled cell (c, r) of to.
void CopyScaledCell(QImage& to, int c, int r, const QImage& from, int sc, int sr) {
    for (int y = 0; y < kScaledCellHeight; ++y) {
        const auto* in =
            reinterpret_cast<const QRgb*>(from.constScanLine(sr * kScaledCellHeight + y)) +
            sc * kScaledCellWidth;
        auto* out =
            reinterpret_cast<QRgb*>(to.scanLine(r * kScaledCellHeight + y)) + c * kScaledCellWidth;
        std::memcpy(out, in, kScaledCellWidth * sizeof(QRgb));
    }
}

// Red, green and blue of a pixel in three 21-bit lanes of one word: sums of up to 25 pixels
// (at most 6,375 a lane) are taken with one addition each.
constexpr int kLane = 21;
constexpr std::uint64_t kLaneMask = (std::uint64_t{1} << kLane) - 1;
constexpr std::uint64_t Lanes(QRgb p) {
    const std::uint64_t v = p;
    return (((v >> 16) & 0xFF) << (2 * kLane)) | (((v >> 8) & 0xFF) << kLane) | (v & 0xFF);
}

// Thumbnail() of a board whose every cell shows tile, without drawing the board: the 5 x 5
// sums are taken as sums of five rows of each tile column, then of five such columns.
QImage ScaledTiling(const QImage& tile) {
    QImage scaled(kThumbnailWidth, kThumbnailHeight, QImage::Format_RGB32);
    const int w = tile.width();
    const int h = tile.height();
    if (w <= 0 || h <= 0) {
        scaled.fill(qRgb(0, 0, 0));
        return scaled;
    }
    const QImage pixels = tile.convertToFormat(QImage::Format_RGB32);
    // A tile wider than the board shows only its first 600 columns.
    const int used = std::min(w, kBoardWidth);
    // The band of five board rows summed per board column: the tile columns' sums repeated.
    std::array<std::uint64_t, kBoardWidth> band{};
    for (int ty = 0; ty < kThumbnailHeight; ++ty) {
        std::fill(band.begin(), band.begin() + used, 0);
        for (int dy = 0; dy < 5; ++dy) {
            const auto* in = reinterpret_cast<const QRgb*>(pixels.constScanLine((ty * 5 + dy) % h));
            for (int x = 0; x < used; ++x) {
                band[static_cast<std::size_t>(x)] += Lanes(in[x]);
            }
        }
        for (int x = used; x < kBoardWidth; x += used) {
            std::copy_n(band.begin(), std::min(used, kBoardWidth - x), band.begin() + x);
        }
        auto* out = reinterpret_cast<QRgb*>(scaled.scanLine(ty));
        for (int tx = 0; tx < kThumbnailWidth; ++tx) {
            const std::uint64_t* block = band.data() + 5 * tx;
            const std::uint64_t sum = block[0] + block[1] + block[2] + block[3] + block[4];
            // Rounded as Thumbnail rounds.
            const auto lane = [sum](int n) {
                return static_cast<int>((((sum >> (n * kLane)) & kLaneMask) + 12) / 25);
            };
            out[tx] = qRgb(lane(2), lane(1), lane(0));
        }
    }
    return scaled;
}

}  // namespace

BoardLook::BoardLook(QObject* parent)
    : QObject(parent), sheet_(kSheetWidth, kSheetHeight, QImage::Format_RGB32) {
    sheet_.fill(kSheetGround);
}

void BoardLook::readBricks(const QString& name, const std::filesystem::path& folder) {
    // The sheet is drawn again in place unless another surface still shows it: only the
    // slots change, so the ground between them stays, and the slots the last set filled and
    // this one does not go back to the ground.
    const int lastCount = sheet_.isDetached() ? brickCount_ : 0;
    if (!sheet_.isDetached()) {
        sheet_ = QImage(kSheetWidth, kSheetHeight, QImage::Format_RGB32);
        sheet_.fill(kSheetGround);
    }
    brickCount_ = 0;
    FileSource file;
    if (OpenInFolder(name, file, folder)) {
        for (const std::string& brick : DrawBrickSet(file, sheet_, brickFileBytes_)) {
            brickNames_[static_cast<std::size_t>(++brickCount_)] = FromCp1252(brick);
        }
    }
    for (int k = brickCount_ + 1; k <= lastCount; ++k) {
        raster::FillBox(sheet_, SlotLeft(k), SlotTop(k), SlotLeft(k) + kCellWidth - 1,
                        SlotTop(k) + kCellHeight - 1, kSheetGround);
    }
    scaledBricks_ = QImage();
    emit changed();
}

void BoardLook::readBackgrounds(const QString& name, const std::filesystem::path& folder) {
    backgroundFile_ = name;
    backgroundFolder_ = folder;
    backgrounds_.clear();
    FileSource file;
    if (OpenInFolder(name, file, folder)) {
        backgrounds_ = ReadBackgroundSet(file);
    }
    forgetTiles();
    emit changed();
}

void BoardLook::setMode(BackgroundMode mode) {
    mode_ = mode;
    forgetTiles();
    emit changed();
}

void BoardLook::setShowHidden(bool show) {
    showHidden_ = show;
    emit changed();
}

void BoardLook::forgetTiles() {
    tiles_.clear();
    scaledBackgrounds_.clear();
}

bool BoardLook::isHiddenBrick(std::int32_t k) const {
    return k >= 1 && k <= kMaxBrickCode &&
           brickNames_[static_cast<std::size_t>(k)] == QLatin1String("Hidden");
}

const QImage& BoardLook::tile(std::int32_t b) {
    const auto found = tiles_.find(b);
    return found != tiles_.end() ? found->second : reloadTile(b);
}

const QImage& BoardLook::reloadTile(std::int32_t b) {
    // Opened afresh each time: a file gone since it was read gives no pixels.
    FileSource file;
    OpenInFolder(backgroundFile_, file, backgroundFolder_);
    QImage& tile = tiles_[b];
    tile = BackgroundTileOf(file, backgrounds_, b, mode_);
    scaledBackgrounds_.erase(b);
    return tile;
}

CellLook BoardLook::lookOf(std::int32_t k) const {
    return LookOf(k, brickCount_, isHiddenBrick(k), showHidden_);
}

QImage BoardLook::renderBoard(const Board& board) {
    BoardArt art;
    art.sheet = sheet_;
    art.brickCount = brickCount_;
    // Every name, also those a larger brick set left past brickCount().
    for (int k = 1; k <= kMaxBrickCode; ++k) {
        art.hidden[static_cast<std::size_t>(k)] = isHiddenBrick(k);
    }
    art.showHidden = showHidden_;
    return RenderBoard(board, tile(board.background), art);
}

const QImage& BoardLook::scaledBackground(std::int32_t b) {
    auto found = scaledBackgrounds_.find(b);
    if (found == scaledBackgrounds_.end()) {
        found = scaledBackgrounds_.emplace(b, ScaledTiling(tile(b))).first;
    }
    return found->second;
}

const QImage& BoardLook::scaledBricks() {
    if (scaledBricks_.isNull()) {
        QImage cells(kBoardWidth, kBoardHeight, QImage::Format_RGB32);
        cells.fill(kSheetGround);
        for (int k = 1; k <= kMaxBrickCode; ++k) {
            CopyBrick(cells, sheet_, k, ScaledColumn(k), ScaledRow(k));
        }
        DrawMissingBrick(cells, ScaledColumn(kMissingSlot), ScaledRow(kMissingSlot));
        scaledBricks_ = Thumbnail(cells);
    }
    return scaledBricks_;
}

QImage BoardLook::thumbnail(const Board& board) {
    QImage thumbnail(kThumbnailWidth, kThumbnailHeight, QImage::Format_RGB32);
    const QImage& background = scaledBackground(board.background);
    const QImage& bricks = scaledBricks();
    for (int c = 0; c < kBoardColumns; ++c) {
        for (int r = 0; r < kBoardRows; ++r) {
            const std::int32_t k = board.cell(c, r);
            switch (lookOf(k)) {
                case CellLook::Background:
                    CopyScaledCell(thumbnail, c, r, background, c, r);
                    break;
                case CellLook::Missing:
                    CopyScaledCell(thumbnail, c, r, bricks, ScaledColumn(kMissingSlot),
                                   ScaledRow(kMissingSlot));
                    break;
                case CellLook::Brick:
                    CopyScaledCell(thumbnail, c, r, bricks, ScaledColumn(k), ScaledRow(k));
                    break;
            }
        }
    }
    return thumbnail;
}

}  // namespace krellon::render
