#pragma once

#include <QDockWidget>
#include <QImage>
#include <QListWidget>
#include <cstdint>
#include <map>
#include <optional>
#include <unordered_map>

#include "render/BoardRenderer.h"

class QMenu;

namespace krellon {

class Form1;
struct DocumentChange;

// The list inside the strip: thumbnails in board order, one drag moving one board.
class BoardStripList : public QListWidget {
    Q_OBJECT

public:
    explicit BoardStripList(QWidget* parent);

    // Where a drop lands against the row under it.
    enum class DropAt { Above, Below, On, Past };
    // The row a board dragged from row from lands on when dropped at row (rows from 0).
    static int DropTarget(int from, int row, DropAt at, int count);

signals:
    // The user dropped the board of row from at row to.
    void moveRequested(int from, int to);

protected:
    void dropEvent(QDropEvent* event) override;
};

// View > Boards: every board of the set as a thumbnail of the board as the editor shows it
// (its display mode and hidden-brick state), a fifth of its size, with its number: the current
// board from the editor's picture of it, the others as showing them paints them. The current
// board is highlighted and kept in view; a click shows a board, a drag moves one (one step),
// a right click offers the Board menu. Thumbnails follow every step; only boards whose content
// or look changed are drawn again.
class BoardStrip : public QDockWidget {
    Q_OBJECT

public:
    // boardMenu is what a right click offers.
    BoardStrip(Form1* editor, QMenu* boardMenu, QWidget* parent);

    BoardStripList* List = nullptr;

    // Brings every thumbnail up to date now (it happens by itself once events are handled).
    void Refresh();
    // Draws every thumbnail afresh, as a change of look does.
    void RedrawAll();
    // The thumbnail shown for board b (1-based).
    QImage ThumbnailOf(int b) const;
    // How many thumbnails the last refresh drew.
    int LastDrawn() const { return lastDrawn_; }

private:
    void Changed(const DocumentChange& change);
    void ScheduleRefresh();
    // Forgets every thumbnail and tile: the look of every board changed.
    void Invalidate();
    void ShowCurrent();
    // The tile of background b in the editor's display mode, read once per look.
    const QImage& Tile(std::int32_t b);
    // The bricks and hidden-brick state the boards are drawn with.
    const render::BoardArt& Art();
    QImage Draw(int b);

    Form1* editor_;
    QMenu* boardMenu_;
    bool scheduled_ = false;
    int lastDrawn_ = 0;
    // Thumbnails by the content they show: a board moved, copied or put back by an undo is
    // not drawn again.
    std::unordered_map<std::uint64_t, QImage> thumbnails_;
    std::map<std::int32_t, QImage> tiles_;
    std::optional<render::BoardArt> art_;
    // The thumbnail of the editor's picture of board currentBoard_, as the last refresh found it.
    QImage current_;
    int currentBoard_ = 0;
};

}  // namespace krellon
