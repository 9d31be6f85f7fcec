#pragma once

#include <QDockWidget>
#include <QImage>
#include <QListWidget>
#include <vector>

#include "render/BoardRenderer.h"

class QMenu;

namespace krellon {

class Form1;
struct DocumentChange;
namespace render {
class BoardLook;
}

// The list inside the strip: thumbnails in board order, one drag moving one board.
class BoardStripList : public QListWidget {
    Q_OBJECT

public:
    explicit BoardStripList(QWidget* parent);

    // Where a drop lands against the row under it.
    enum class DropAt { Above, Below, On, Past };
    // The row a board dragged from row from lands on when dropped at row (rows from 0).
    static int dropTarget(int from, int row, DropAt at, int count);

signals:
    // The user dropped the board of row from at row to.
    void moveRequested(int from, int to);

protected:
    void dropEvent(QDropEvent* event) override;
};

// View > Boards: every board of the set as a thumbnail of the board as the editor shows it
// (its display mode and hidden-brick state), a fifth of its size, with its number: the current
// board from the editor's picture of it, the others as showing them paints them. The current
// board is framed and kept in view, and moving the current row shows that board; a drag moves
// one (one step),
// a right click offers the Board menu. Thumbnails follow every step and come from the editor's
// look; only the boards a step changed are drawn again, and all of them when the look changed.
class BoardStrip : public QDockWidget {
    Q_OBJECT

public:
    // boardMenu is what a right click offers.
    BoardStrip(Form1* editor, QMenu* boardMenu, QWidget* parent);

    BoardStripList* list = nullptr;

    // Brings every thumbnail up to date now.
    void refresh();
    // Brings the thumbnails in view up to date now and the others in batches, one each time
    // the event loop turns: what a step or a change of look does by itself once events are
    // handled.
    void refreshVisible();
    // The thumbnail of board b (1-based), drawn now if it waits for its batch.
    QImage thumbnailOf(int b);
    // How many thumbnails the last refresh drew.
    int lastDrawn() const { return lastDrawn_; }

private:
    void documentChanged(const DocumentChange& change);
    void scheduleRefresh();
    // Draws the thumbnails of boards first to last (rows from 0) that have none, then shows
    // them all; the others are left to batches.
    void updateRows(int first, int last);
    // Puts board b's thumbnail, if drawn, on its item unless it shows it already.
    void showThumbnail(int b);
    void scheduleBatch();
    // Draws the next kBatch thumbnails that are missing.
    void drawBatch();
    static constexpr int kBatch = 16;
    // Forgets every thumbnail: the look of every board, or their order, changed.
    void invalidate();
    // Forgets board b's thumbnail (1-based).
    void forget(int b);
    void showCurrent();

    Form1* editor_;
    render::BoardLook* look_;
    QMenu* boardMenu_;
    bool scheduled_ = false;
    bool updating_ = false;  // the strip itself is adding or removing rows
    bool batchScheduled_ = false;
    int lastDrawn_ = 0;
    // Thumbnails by board, from board 1; a null one is drawn at the next refresh.
    std::vector<QImage> thumbnails_;
    // The thumbnail of the editor's picture of board currentBoard_, as the last refresh found it.
    QImage current_;
    int currentBoard_ = 0;
};

}  // namespace krellon
