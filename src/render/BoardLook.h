#pragma once

#include <QImage>
#include <QObject>
#include <QString>
#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <span>
#include <vector>

#include "BoardRenderer.h"
#include "formats/BoardSetFile.h"
#include "formats/ImageFile.h"

namespace krellon::render {

// The ground of the brick sheet where no brick is drawn: the editor's surface colour, which
// its palette shows between and past the bricks.
constexpr QRgb kSheetGround = 0xFF24262Eu;

// What boards are drawn from, apart from any widget: the brick set's sheet and names, the
// background set's records with a tile per background in the display mode, the display mode
// and whether hidden bricks are shown. The editor, the board strip and `krellon render` all
// draw from one.
class BoardLook : public QObject {
    Q_OBJECT

public:
    explicit BoardLook(QObject* parent = nullptr);

    // Reads brick set file name of folder (the working folder when empty), found as the
    // editor finds its files, into a fresh sheet. Names of a larger set read before stay in
    // the slots past the new brickCount(), as the original program left them.
    void readBricks(const QString& name, const std::filesystem::path& folder = {});
    // Reads the records of background set file name of folder; its tiles are read as asked.
    void readBackgrounds(const QString& name, const std::filesystem::path& folder = {});
    // The display mode of the backgrounds.
    void setMode(BackgroundMode mode);
    // Whether bricks named "Hidden" are drawn (true) or show the background.
    void setShowHidden(bool show);

    const QImage& sheet() const { return sheet_; }
    int brickCount() const { return brickCount_; }
    // Brick names by code (index 0 stays empty), also those left past brickCount().
    const std::array<QString, kMaxBrickCode + 1>& brickNames() const { return brickNames_; }
    // True when brick code k (any value) has the name "Hidden".
    bool isHiddenBrick(std::int32_t k) const;
    int backgroundCount() const { return static_cast<int>(backgrounds_.size()); }
    // The background set's records, each with the palette it is drawn with.
    std::span<const ImageRecord> backgrounds() const { return backgrounds_; }
    BackgroundMode mode() const { return mode_; }
    bool showHidden() const { return showHidden_; }

    // The tile of background b in the display mode, read once: the placeholder sign when b
    // is no background or cannot be drawn. Pixels of a file gone since it was read read as 0.
    const QImage& tile(std::int32_t b);
    // Reads background b's tile again from its file, as the editor does each time it shows it.
    const QImage& reloadTile(std::int32_t b);
    // How a cell of brick code k looks.
    CellLook lookOf(std::int32_t k) const;
    // The 600 x 300 picture of board.
    QImage renderBoard(const Board& board);
    // The board's thumbnail: render::Thumbnail of its picture, put together from thumbnails
    // of the background tiling and of the bricks shared by every board.
    QImage thumbnail(const Board& board);

signals:
    // What boards look like changed: a set was read, the mode or the hidden state changed.
    void changed();

private:
    void forgetTiles();
    // A board's worth of background b, scaled to a thumbnail.
    const QImage& scaledBackground(std::int32_t b);
    // Every brick, and the missing-brick mark, each in its own cell, scaled to a thumbnail.
    const QImage& scaledBricks();

    QImage sheet_;
    std::vector<std::uint8_t> brickFileBytes_;  // kept between reads of brick sets
    int brickCount_ = 0;
    std::array<QString, kMaxBrickCode + 1> brickNames_;
    QString backgroundFile_;
    std::filesystem::path backgroundFolder_;
    std::vector<ImageRecord> backgrounds_;
    BackgroundMode mode_ = BackgroundMode::Textured;
    bool showHidden_ = true;
    std::map<std::int32_t, QImage> tiles_;
    std::map<std::int32_t, QImage> scaledBackgrounds_;
    QImage scaledBricks_;
};

}  // namespace krellon::render
