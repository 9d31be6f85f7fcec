#include "BoardRenderer.h"

#include <QFontDatabase>

#include <algorithm>

#include "Colours.h"
#include "Raster.h"

namespace krellon::render {

namespace {

// The colour a palette entry shows in a display mode.
ColourValue InMode(ColourValue v, BackgroundMode mode) {
    switch (mode) {
        case BackgroundMode::HalfBright:
            return (v % 256) / 2 + 256 * ((v % 65536) / 512) + 65536 * (v / 131072);
        case BackgroundMode::Black:
            return 0;
        case BackgroundMode::Textured:
            break;
    }
    return v;
}

constexpr QRgb kWhitePixel = ToRgb(kWhite);
constexpr QRgb kRedPixel = ToRgb(kRed);
constexpr QRgb kBlackPixel = ToRgb(kBlack);

}  // namespace

std::array<QRgb, 256> ModeColours(const Palette& palette, BackgroundMode mode) {
    std::array<QRgb, 256> colours{};
    for (int p = 0; p < 256; ++p) {
        colours[p] = ToRgb(InMode(palette[p], mode));
    }
    return colours;
}

std::array<QRgb, 256> Colours(const Palette& palette) {
    return ModeColours(palette, BackgroundMode::Textured);
}

bool Drawable(const ImageRecord& background) {
    return background.Width > 0 && background.Height > 0 &&
           static_cast<std::int64_t>(background.Width) * background.Height <= kMaxBackgroundPixels;
}

QImage BackgroundTile(const ImageRecord& background, std::span<const std::uint8_t> pixels,
                      BackgroundMode mode) {
    QImage tile(background.Width, background.Height, QImage::Format_RGB32);
    if (pixels.size() < background.pixelBytes()) {
        tile.fill(kBlackPixel);
        return tile;
    }
    raster::PutIndexed(tile, 0, 0, background.Width, background.Height, pixels.data(),
                       ModeColours(background.Palette, mode));
    return tile;
}

QFont PlaceholderFont() {
#ifdef _WIN32
    // The font Linux draws "Sans Serif" with, carried along: the same pixels on both systems.
    static const QString family = [] {
        const int id = QFontDatabase::addApplicationFont(QStringLiteral(":/fonts/DejaVuSans.ttf"));
        const QStringList families = QFontDatabase::applicationFontFamilies(id);
        return families.isEmpty() ? QStringLiteral("Sans Serif") : families.front();
    }();
    QFont font(family);
#else
    QFont font(QStringLiteral("Sans Serif"));
#endif
    font.setPixelSize(11);
    // Vertical hinting alone, as Linux desktops set it up: what the sign looks like everywhere.
    font.setHintingPreference(QFont::PreferVerticalHinting);
    return font;
}

void DrawPlaceholder(QImage& tile) {
    raster::FillBox(tile, 0, 0, 63, 63, kWhitePixel);
    for (int c = 0; c <= 8; ++c) {
        raster::FillBox(tile, 24 + c, 21 - 2 * c, 40 - c, 22 - 2 * c, kRedPixel);
    }
    for (int c = 0; c <= 5; ++c) {
        raster::FillBox(tile, 27 + c, 19 - 2 * c, 37 - c, 20 - 2 * c, kWhitePixel);
    }
    raster::Line(tile, 32, 13, 32, 17, kBlackPixel);
    raster::SetPixel(tile, 32, 19, kBlackPixel);
    const QFont font = PlaceholderFont();
    raster::Print(tile, 23, 31, QStringLiteral("Not"), font, kBlackPixel);
    raster::Print(tile, 11, 45, QStringLiteral("available"), font, kBlackPixel);
}

CellLook LookOf(std::int32_t k, int brickCount, bool hiddenName, bool showHidden) {
    // A code the brick set lacks shows its mark even where a stale name reads "Hidden".
    if (k == 0) {
        return CellLook::Background;
    }
    if (k < 0 || k > brickCount) {
        return CellLook::Missing;
    }
    return hiddenName && !showHidden ? CellLook::Background : CellLook::Brick;
}

void ClearCell(QImage& board, const QImage& tile, int column, int row) {
    // The cell is copied in the pieces that the tile edges cut it into, left to right and,
    // within that, top to bottom.
    const int w = tile.width();
    const int h = tile.height();
    if (w <= 0 || h <= 0) {
        return;
    }
    const int x0 = column * kCellWidth;
    const int y0 = row * kCellHeight;
    for (int x = x0; x < x0 + kCellWidth;) {
        const int sx = x % w;
        const int pieceWidth = std::min(w - sx, x0 + kCellWidth - x);
        for (int y = y0; y < y0 + kCellHeight;) {
            const int sy = y % h;
            const int pieceHeight = std::min(h - sy, y0 + kCellHeight - y);
            raster::Copy(board, x, y, pieceWidth, pieceHeight, tile, sx, sy);
            y += pieceHeight;
        }
        x += pieceWidth;
    }
}

void CopyBrick(QImage& board, const QImage& sheet, int k, int column, int row) {
    if (k < 1 || k > kMaxBrickCode) {
        return;
    }
    raster::Copy(board, column * kCellWidth, row * kCellHeight, kCellWidth, kCellHeight, sheet,
                 SlotLeft(k), SlotTop(k));
}

void DrawMissingBrick(QImage& board, int column, int row) {
    const int x0 = column * kCellWidth;
    const int y0 = row * kCellHeight;
    const int x1 = x0 + kCellWidth - 1;
    const int y1 = y0 + kCellHeight - 1;
    raster::FillBox(board, x0, y0, x1, y1, kWhitePixel);
    raster::Box(board, x0, y0, x1, y1, kRedPixel);
    raster::Line(board, x0, y0, x1, y1, kRedPixel);
    raster::Line(board, x0, y1, x1, y0, kRedPixel);
}

QImage RenderBoard(const Board& board, const QImage& tile, const BoardArt& art) {
    QImage picture(kBoardWidth, kBoardHeight, QImage::Format_RGB32);
    // Every cell is drawn below; only an empty tile leaves cells to the background colour.
    if (tile.isNull()) {
        picture.fill(kBlackPixel);
    }
    for (int c = 0; c < kBoardColumns; ++c) {
        for (int r = 0; r < kBoardRows; ++r) {
            const std::int32_t k = board.cell(c, r);
            const bool hidden = k >= 1 && k <= kMaxBrickCode && art.hidden[k];
            switch (LookOf(k, art.brickCount, hidden, art.showHidden)) {
                case CellLook::Background:
                    ClearCell(picture, tile, c, r);
                    break;
                case CellLook::Missing:
                    DrawMissingBrick(picture, c, r);
                    break;
                case CellLook::Brick:
                    CopyBrick(picture, art.sheet, k, c, r);
                    break;
            }
        }
    }
    return picture;
}

QImage Thumbnail(const QImage& boardPicture) {
    // Each thumbnail pixel is the mean of a 5 x 5 block: exact, and quick for whole strips.
    QImage thumbnail(kThumbnailWidth, kThumbnailHeight, QImage::Format_RGB32);
    const QImage picture = boardPicture.convertToFormat(QImage::Format_RGB32);
    if (picture.width() < kBoardWidth || picture.height() < kBoardHeight) {
        thumbnail.fill(kBlackPixel);
        return thumbnail;
    }
    std::array<unsigned, kThumbnailWidth * 3> sums{};
    for (int ty = 0; ty < kThumbnailHeight; ++ty) {
        sums.fill(0);
        for (int dy = 0; dy < 5; ++dy) {
            const auto* in = reinterpret_cast<const QRgb*>(picture.constScanLine(ty * 5 + dy));
            for (int tx = 0; tx < kThumbnailWidth; ++tx, in += 5) {
                for (int dx = 0; dx < 5; ++dx) {
                    sums[tx * 3] += qRed(in[dx]);
                    sums[tx * 3 + 1] += qGreen(in[dx]);
                    sums[tx * 3 + 2] += qBlue(in[dx]);
                }
            }
        }
        auto* out = reinterpret_cast<QRgb*>(thumbnail.scanLine(ty));
        for (int tx = 0; tx < kThumbnailWidth; ++tx) {
            // Rounded to the nearest value.
            out[tx] = qRgb((sums[tx * 3] + 12) / 25, (sums[tx * 3 + 1] + 12) / 25,
                           (sums[tx * 3 + 2] + 12) / 25);
        }
    }
    return thumbnail;
}

}  // namespace krellon::render
