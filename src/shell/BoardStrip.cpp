#include "BoardStrip.h"

#include <QDropEvent>
#include <QMenu>
#include <QTimer>

#include "document/BoardSetDocument.h"
#include "editor/Form1.h"
#include "platform/Controls.h"
#include "platform/Handlers.h"
#include "platform/PictureBox.h"
#include "render/ImageSets.h"
#include "storage/FileSource.h"
#include "storage/Files.h"

namespace krellon {

namespace {

// FNV-1a over a board's background and cells: what its thumbnail shows.
std::uint64_t ContentKey(const Board& board) {
    std::uint64_t hash = 1469598103934665603ull;
    const auto mix = [&](std::int32_t value) {
        auto v = static_cast<std::uint32_t>(value);
        for (int i = 0; i < 4; ++i, v >>= 8) {
            hash = (hash ^ (v & 0xFF)) * 1099511628211ull;
        }
    };
    mix(board.background);
    for (const std::int32_t code : board.cells) {
        mix(code);
    }
    return hash;
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
}

int BoardStripList::DropTarget(int from, int row, DropAt at, int count) {
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
    const int to = DropTarget(from, index.isValid() ? index.row() : -1, at, count());
    event->setDropAction(Qt::IgnoreAction);
    event->accept();
    if (from >= 0 && to != from) {
        emit moveRequested(from, to);
    }
}

BoardStrip::BoardStrip(Form1* editor, QMenu* boardMenu, QWidget* parent)
    : QDockWidget("Boards", parent), editor_(editor), boardMenu_(boardMenu) {
    setObjectName("BoardStrip");
    setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable);
    List = new BoardStripList(this);
    List->setMinimumWidth(render::kThumbnailWidth + 70);
    setWidget(List);

    connect(editor_->Document, &BoardSetDocument::changed, this, &BoardStrip::Changed);
    connect(editor_, &Form1::LookChanged, this, [this] {
        Invalidate();
        ScheduleRefresh();
    });
    // Another board shown: the one left is drawn as showing it again paints it, the one shown
    // as it is on screen.
    connect(editor_, &Form1::BoardPainted, this, [this] {
        ShowCurrent();
        ScheduleRefresh();
    });
    connect(List, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        const int b = List->row(item) + 1;
        RunHandler(editor_, [this, b] { editor_->ShowBoard(b); });
    });
    connect(List, &BoardStripList::moveRequested, this, [this](int from, int to) {
        RunHandler(editor_, [this, from, to] {
            editor_->Document->moveBoard(from + 1, to + 1, "Move Board");
        });
    });
    connect(List, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QListWidgetItem* item = List->itemAt(at);
        if (item == nullptr || boardMenu_ == nullptr) {
            return;
        }
        const int b = List->row(item) + 1;
        RunHandler(editor_, [this, b] { editor_->ShowBoard(b); });
        boardMenu_->exec(List->viewport()->mapToGlobal(at));
    });
    Refresh();
}

void BoardStrip::Changed(const DocumentChange& change) {
    using Kind = DocumentChange::Kind;
    // Thumbnails are found by content, so a changed board simply has none yet.
    if (change.kind == Kind::BrickSetFile || change.kind == Kind::BackgroundSetFile) {
        Invalidate();
    }
    ScheduleRefresh();
}

void BoardStrip::ScheduleRefresh() {
    // Many changes in one event (reading a set reads bricks, backgrounds and boards) make one
    // refresh.
    if (!scheduled_) {
        scheduled_ = true;
        QTimer::singleShot(0, this, [this] {
            if (scheduled_) {
                Refresh();
            }
        });
    }
}

const QImage& BoardStrip::Tile(std::int32_t b) {
    auto found = tiles_.find(b);
    if (found == tiles_.end()) {
        // As the editor reads it: a file gone since gives no pixels.
        FileSource file;
        OpenInFolder(editor_->BackgroundSetFile(), file);
        found =
            tiles_
                .emplace(b,
                         render::BackgroundTileOf(
                             file,
                             std::span(editor_->BackgroundTable.data(),
                                       static_cast<std::size_t>(editor_->BackgroundCount)),
                             b, static_cast<render::BackgroundMode>(editor_->Option1->Selected())))
                .first;
    }
    return found->second;
}

const render::BoardArt& BoardStrip::Art() {
    // Built once per look, not once per board.
    if (!art_) {
        render::BoardArt& art = art_.emplace();
        art.sheet = editor_->Picture2->image();
        art.brickCount = editor_->BrickCount;
        // Every name the editor looks up, also those a larger brick set left past BrickCount.
        for (int k = 1; k <= render::kMaxBrickCode; ++k) {
            art.hidden[static_cast<std::size_t>(k)] = editor_->IsHiddenBrick(k);
        }
        art.showHidden = editor_->Check1->Checked();
    }
    return *art_;
}

QImage BoardStrip::Draw(int b) {
    const Board& board = editor_->Document->board(b);
    return render::Thumbnail(render::RenderBoard(board, Tile(board.background), Art()));
}

void BoardStrip::Refresh() {
    scheduled_ = false;
    lastDrawn_ = 0;
    const int count = editor_->Document->boardCount();
    while (List->count() > count) {
        delete List->takeItem(List->count() - 1);
    }
    while (List->count() < count) {
        List->addItem(new QListWidgetItem);
    }
    std::unordered_map<std::uint64_t, QImage> kept;
    for (int b = 1; b <= count; ++b) {
        const std::uint64_t key = ContentKey(editor_->Document->board(b));
        auto found = thumbnails_.find(key);
        QImage thumbnail;
        if (found != thumbnails_.end()) {
            thumbnail = found->second;
        } else {
            thumbnail = Draw(b);
            ++lastDrawn_;
        }
        QListWidgetItem* item = List->item(b - 1);
        if (b == editor_->CurrentBoard) {
            // The board on screen as it is there: the hidden-brick toggle and a change of mode
            // redraw only some of its cells, and a code past the brick set whose stale name
            // reads "Hidden" then shows unlike a full repaint until the board is painted again.
            QImage shown = render::Thumbnail(editor_->Picture1->image());
            if (item->data(Qt::UserRole).isValid() || shown != current_ || item->icon().isNull()) {
                item->setIcon(QIcon(QPixmap::fromImage(shown)));
                item->setData(Qt::UserRole, QVariant());
            }
            current_ = std::move(shown);
        } else if (item->data(Qt::UserRole).toULongLong() != key || item->icon().isNull()) {
            // An item whose picture is the same keeps it: no new pixmap for boards that stayed.
            item->setIcon(QIcon(QPixmap::fromImage(thumbnail)));
            item->setData(Qt::UserRole, QVariant::fromValue<qulonglong>(key));
        }
        item->setText(QString::number(b));
        kept.emplace(key, std::move(thumbnail));
    }
    thumbnails_ = std::move(kept);
    currentBoard_ = editor_->CurrentBoard;
    ShowCurrent();
}

void BoardStrip::Invalidate() {
    thumbnails_.clear();
    current_ = QImage();
    currentBoard_ = 0;
    tiles_.clear();
    art_.reset();
    for (int i = 0; i < List->count(); ++i) {
        List->item(i)->setData(Qt::UserRole, QVariant());
    }
}

void BoardStrip::RedrawAll() {
    Invalidate();
    Refresh();
}

QImage BoardStrip::ThumbnailOf(int b) const {
    if (b < 1 || b > editor_->Document->boardCount()) {
        return {};
    }
    if (b == currentBoard_) {
        return current_;
    }
    const auto found = thumbnails_.find(ContentKey(editor_->Document->board(b)));
    return found == thumbnails_.end() ? QImage() : found->second;
}

void BoardStrip::ShowCurrent() {
    const int row = editor_->CurrentBoard - 1;
    if (row < 0 || row >= List->count()) {
        return;
    }
    if (List->currentRow() != row) {
        List->setCurrentRow(row);
    }
    List->scrollToItem(List->item(row));
}

}  // namespace krellon
