#include "BoardStrip.h"

#include <QDropEvent>
#include <QMenu>
#include <QTimer>
#include <algorithm>
#include <limits>

#include "document/BoardSetDocument.h"
#include "editor/Form1.h"
#include "platform/Controls.h"
#include "platform/Handlers.h"
#include "platform/PictureBox.h"
#include "render/BoardLook.h"

namespace krellon {

namespace {

// The same pixmap selected as not: the selected board is marked by its frame, never by a tint
// over its colours.
QIcon ThumbnailIcon(const QImage& thumbnail) {
    const QPixmap pixmap = QPixmap::fromImage(thumbnail);
    QIcon icon;
    icon.addPixmap(pixmap, QIcon::Normal);
    icon.addPixmap(pixmap, QIcon::Selected);
    return icon;
}

}  // namespace

BoardStripList::BoardStripList(QWidget* parent) : QListWidget(parent) {
    setViewMode(QListView::ListMode);
    setFlow(QListView::TopToBottom);
    setIconSize(QSize(render::kThumbnailWidth, render::kThumbnailHeight));
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setDragDropMode(QAbstractItemView::InternalMove);
    setDefaultDropAction(Qt::MoveAction);
    setContextMenuPolicy(Qt::CustomContextMenu);
    setSpacing(2);
    setStyleSheet(
        "QListWidget::item:selected { background: transparent; color: palette(text); "
        "border: 2px solid palette(highlight); }");
}

int BoardStripList::dropTarget(int from, int row, DropAt at, int count) {
    int to = count - 1;
    switch (at) {
        case DropAt::Above:
            to = row > from ? row - 1 : row;
            break;
        case DropAt::Below:
            to = row >= from ? row : row + 1;
            break;
        case DropAt::On:
            to = row;
            break;
        case DropAt::Past:
            break;
    }
    return std::clamp(to, 0, count - 1);
}

void BoardStripList::dropEvent(QDropEvent* event) {
    // The list does not move its items itself: the document moves the board, as one step,
    // and the strip then shows the set as it is.
    const int from = currentRow();
    const QModelIndex index = indexAt(event->position().toPoint());
    DropAt at = DropAt::Past;
    if (index.isValid()) {
        switch (dropIndicatorPosition()) {
            case AboveItem:
                at = DropAt::Above;
                break;
            case BelowItem:
                at = DropAt::Below;
                break;
            case OnItem:
                at = DropAt::On;
                break;
            case OnViewport:
                break;
        }
    }
    const int to = dropTarget(from, index.isValid() ? index.row() : -1, at, count());
    event->setDropAction(Qt::IgnoreAction);
    event->accept();
    if (from >= 0 && to != from) {
        emit moveRequested(from, to);
    }
}

BoardStrip::BoardStrip(Form1* editor, QMenu* boardMenu, QWidget* parent)
    : QDockWidget("Boards", parent), editor_(editor), look_(editor->Look), boardMenu_(boardMenu) {
    setObjectName("BoardStrip");
    setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable);
    list = new BoardStripList(this);
    list->setMinimumWidth(render::kThumbnailWidth + 70);
    setWidget(list);

    connect(editor_->Document, &BoardSetDocument::changed, this, &BoardStrip::documentChanged);
    connect(look_, &render::BoardLook::changed, this, [this] {
        invalidate();
        scheduleRefresh();
    });
    // Another board shown: the one left is drawn as showing it again paints it, the one shown
    // as it is on screen.
    connect(editor_, &Form1::BoardPainted, this, [this] {
        showCurrent();
        scheduleRefresh();
    });
    // The strip's current board is always the board shown: a click, the arrow keys, Home and
    // End show the board they move to.
    connect(list, &QListWidget::currentRowChanged, this, [this](int row) {
        const int b = row + 1;
        if (!updating_ && row >= 0 && b != editor_->CurrentBoard) {
            RunHandler(editor_, [this, b] { editor_->ShowBoard(b); });
        }
    });
    connect(list, &BoardStripList::moveRequested, this, [this](int from, int to) {
        RunHandler(editor_, [this, from, to] {
            editor_->Document->moveBoard(from + 1, to + 1, "Move Board");
        });
    });
    connect(list, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QListWidgetItem* item = list->itemAt(at);
        if (item == nullptr || boardMenu_ == nullptr) {
            return;
        }
        const int b = list->row(item) + 1;
        RunHandler(editor_, [this, b] { editor_->ShowBoard(b); });
        boardMenu_->exec(list->viewport()->mapToGlobal(at));
    });
    refresh();
}

void BoardStrip::documentChanged(const DocumentChange& change) {
    using Kind = DocumentChange::Kind;
    switch (change.kind) {
        case Kind::Cells:
        case Kind::Background:
            forget(change.board);
            break;
        case Kind::BoardSetName:
        case Kind::AuthorName:
            break;
        default:
            // Boards added, removed or moved, another set or other image files: all of them.
            invalidate();
            break;
    }
    scheduleRefresh();
}

void BoardStrip::scheduleRefresh() {
    // Many changes in one event (reading a set reads bricks, backgrounds and boards) make one
    // refresh.
    if (!scheduled_) {
        scheduled_ = true;
        QTimer::singleShot(0, this, [this] {
            if (scheduled_) {
                refreshVisible();
            }
        });
    }
}

void BoardStrip::refresh() {
    updateRows(0, std::numeric_limits<int>::max());
}

void BoardStrip::refreshVisible() {
    // The current row is kept in view, so the rows in view lie within a list's height of it.
    const int rows = list->height() / (render::kThumbnailHeight + 2 * list->spacing()) + 1;
    const int current = editor_->CurrentBoard - 1;
    updateRows(current - rows, current + rows);
}

void BoardStrip::updateRows(int first, int last) {
    scheduled_ = false;
    lastDrawn_ = 0;
    const int count = editor_->Document->boardCount();
    // Rows come and go here with the set; the current row they leave is no pick.
    updating_ = true;
    while (list->count() > count) {
        delete list->takeItem(list->count() - 1);
    }
    while (list->count() < count) {
        list->addItem(new QListWidgetItem);
    }
    updating_ = false;
    thumbnails_.resize(static_cast<std::size_t>(count));
    bool pending = false;
    for (int b = 1; b <= count; ++b) {
        QImage& thumbnail = thumbnails_[static_cast<std::size_t>(b - 1)];
        if (thumbnail.isNull() && b - 1 >= first && b - 1 <= last) {
            thumbnail = look_->thumbnail(editor_->Document->board(b));
            ++lastDrawn_;
        }
        pending = pending || thumbnail.isNull();
        QListWidgetItem* item = list->item(b - 1);
        if (b == editor_->CurrentBoard) {
            // The board on screen as it is there: the hidden-brick toggle and a change of mode
            // redraw only some of its cells, and a code past the brick set whose stale name
            // reads "Hidden" then shows unlike a full repaint until the board is painted again.
            QImage shown = render::Thumbnail(editor_->Picture1->image());
            if (item->data(Qt::UserRole).isValid() || shown != current_ || item->icon().isNull()) {
                item->setIcon(ThumbnailIcon(shown));
                item->setData(Qt::UserRole, QVariant());
            }
            current_ = std::move(shown);
        } else {
            showThumbnail(b);
        }
        item->setText(QString::number(b));
    }
    currentBoard_ = editor_->CurrentBoard;
    showCurrent();
    if (pending) {
        scheduleBatch();
    }
}

void BoardStrip::showThumbnail(int b) {
    // The item's data tells that its icon shows the thumbnail: a board that stayed gets no new
    // pixmap. One not drawn yet keeps the icon it had.
    QListWidgetItem* item = list->item(b - 1);
    const QImage& thumbnail = thumbnails_[static_cast<std::size_t>(b - 1)];
    if (!thumbnail.isNull() && (!item->data(Qt::UserRole).isValid() || item->icon().isNull())) {
        item->setIcon(ThumbnailIcon(thumbnail));
        item->setData(Qt::UserRole, true);
    }
}

void BoardStrip::scheduleBatch() {
    if (!batchScheduled_) {
        batchScheduled_ = true;
        QTimer::singleShot(0, this, [this] { drawBatch(); });
    }
}

void BoardStrip::drawBatch() {
    batchScheduled_ = false;
    // Boards added or removed since the last refresh wait for the next one.
    const int count = std::min(
        {static_cast<int>(thumbnails_.size()), list->count(), editor_->Document->boardCount()});
    int drawn = 0;
    for (int b = 1; b <= count; ++b) {
        QImage& thumbnail = thumbnails_[static_cast<std::size_t>(b - 1)];
        if (!thumbnail.isNull()) {
            continue;
        }
        if (drawn == kBatch) {
            scheduleBatch();
            return;
        }
        thumbnail = look_->thumbnail(editor_->Document->board(b));
        ++drawn;
        if (b != currentBoard_) {
            showThumbnail(b);
        }
    }
}

void BoardStrip::invalidate() {
    thumbnails_.assign(thumbnails_.size(), QImage());
    current_ = QImage();
    currentBoard_ = 0;
    for (int i = 0; i < list->count(); ++i) {
        list->item(i)->setData(Qt::UserRole, QVariant());
    }
}

void BoardStrip::forget(int b) {
    if (b >= 1 && b <= static_cast<int>(thumbnails_.size())) {
        thumbnails_[static_cast<std::size_t>(b - 1)] = QImage();
    }
    if (b >= 1 && b <= list->count()) {
        list->item(b - 1)->setData(Qt::UserRole, QVariant());
    }
}

QImage BoardStrip::thumbnailOf(int b) {
    if (b < 1 || b > editor_->Document->boardCount()) {
        return {};
    }
    if (b == currentBoard_) {
        return current_;
    }
    if (b > static_cast<int>(thumbnails_.size())) {
        return {};
    }
    // One that waits for its batch is drawn now.
    QImage& thumbnail = thumbnails_[static_cast<std::size_t>(b - 1)];
    if (thumbnail.isNull()) {
        thumbnail = look_->thumbnail(editor_->Document->board(b));
    }
    return thumbnail;
}

void BoardStrip::showCurrent() {
    const int row = editor_->CurrentBoard - 1;
    if (row < 0 || row >= list->count()) {
        return;
    }
    if (list->currentRow() != row) {
        list->setCurrentRow(row);
    }
    list->scrollToItem(list->item(row));
}

}  // namespace krellon
