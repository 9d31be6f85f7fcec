#include "BoardKeyboard.h"

#include <QEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QPainter>
#include <algorithm>
#include <utility>

#include "BoardTools.h"
#include "editor/Form1.h"
#include "platform/PictureBox.h"

namespace krellon {

namespace {

constexpr int kCellWidth = 30;
constexpr int kCellHeight = 15;

// The cells' rectangle in board pixels.
QRect PixelsOf(const QRect& cells) {
    return {cells.left() * kCellWidth, cells.top() * kCellHeight, cells.width() * kCellWidth,
            cells.height() * kCellHeight};
}

}  // namespace

BoardKeyboard::BoardKeyboard(Form1* editor, BoardTools* tools, QObject* parent)
    : QObject(parent), editor_(editor), tools_(tools) {
    editor_->Picture1->installEventFilter(this);
    editor_->Picture2->installEventFilter(this);
    // A press puts the cursor on its cell, hidden until a key moves it.
    connect(editor_->Picture1, &PictureBox::mouseDown, this, [this](int, float x, float y) {
        const QRect before = cells();
        const int c = std::clamp(static_cast<int>(x) / kCellWidth, 0, kBoardColumns - 1);
        const int r = std::clamp(static_cast<int>(y) / kCellHeight, 0, kBoardRows - 1);
        cell_ = QPoint(c, r);
        extending_ = false;
        const bool wasShown = std::exchange(shown_, false);
        if (wasShown) {
            refreshCursor(before);
        }
    });
}

QRect BoardKeyboard::cells() const {
    if (!extending_) {
        return {cell_, cell_};
    }
    return {QPoint(std::min(anchor_.x(), cell_.x()), std::min(anchor_.y(), cell_.y())),
            QPoint(std::max(anchor_.x(), cell_.x()), std::max(anchor_.y(), cell_.y()))};
}

bool BoardKeyboard::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (watched == editor_->Picture1) {
            return boardKey(key->key(), key->modifiers()) || QObject::eventFilter(watched, event);
        }
        if (watched == editor_->Picture2) {
            return paletteKey(key->key()) || QObject::eventFilter(watched, event);
        }
    } else if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut) {
        // The cursor and the palette's mark show while their surface has the keyboard; Tab
        // onto the board shows the cursor at once.
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        if (watched == editor_->Picture1 && event->type() == QEvent::FocusIn &&
            (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason)) {
            shown_ = true;
        }
        static_cast<QWidget*>(watched)->update();
    }
    return QObject::eventFilter(watched, event);
}

bool BoardKeyboard::boardKey(int key, Qt::KeyboardModifiers modifiers) {
    const bool extend = modifiers & Qt::ShiftModifier;
    if (modifiers & ~(Qt::ShiftModifier | Qt::KeypadModifier)) {
        return false;  // the window's shortcuts
    }
    switch (key) {
        case Qt::Key_Left:
            moveCursor(QPoint(-1, 0), extend);
            return true;
        case Qt::Key_Right:
            moveCursor(QPoint(1, 0), extend);
            return true;
        case Qt::Key_Up:
            moveCursor(QPoint(0, -1), extend);
            return true;
        case Qt::Key_Down:
            moveCursor(QPoint(0, 1), extend);
            return true;
        case Qt::Key_Space:
            tools_->apply(1, cells());
            return true;
        case Qt::Key_Delete:
        case Qt::Key_Backspace:
            tools_->apply(2, cells());
            return true;
        case Qt::Key_Escape:
            if (extending_) {
                const QRect before = cells();
                extending_ = false;
                refreshCursor(before);
                return true;
            }
            return false;
        default:
            return false;
    }
}

void BoardKeyboard::moveCursor(QPoint by, bool extend) {
    const QRect before = cells();
    if (extend && !extending_) {
        anchor_ = cell_;
    }
    extending_ = extend;
    cell_ = QPoint(std::clamp(cell_.x() + by.x(), 0, kBoardColumns - 1),
                   std::clamp(cell_.y() + by.y(), 0, kBoardRows - 1));
    shown_ = true;
    refreshCursor(before);
}

void BoardKeyboard::refreshCursor(const QRect& before) {
    PictureBox* board = editor_->Picture1;
    board->RefreshRect(PixelsOf(before).adjusted(-1, -1, 1, 1));
    board->RefreshRect(PixelsOf(cells()).adjusted(-1, -1, 1, 1));
}

void BoardKeyboard::drawCursor(QPainter& painter, int scale) const {
    if (!shown_ || !editor_->Picture1->hasFocus()) {
        return;
    }
    const QRect pixels = PixelsOf(cells());
    const QRect view(pixels.topLeft() * scale, pixels.size() * scale);
    // Two outlines, light over dark, show on any brick or background.
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Qt::black, 1));
    painter.drawRect(view.adjusted(1, 1, -2, -2));
    painter.setPen(QPen(Qt::white, 1));
    painter.drawRect(view.adjusted(0, 0, -1, -1));
}

bool BoardKeyboard::paletteKey(int key) {
    const int k = editor_->SelectedBrick;
    int to = k;
    switch (key) {
        case Qt::Key_Left:
            to = k - 1;
            break;
        case Qt::Key_Right:
            to = k + 1;
            break;
        case Qt::Key_Up:
            to = k - 16;
            break;
        case Qt::Key_Down:
            to = k + 16;
            break;
        default:
            return false;
    }
    if (to >= 1 && to <= editor_->BrickCount()) {
        editor_->SelectBrick(to);
        editor_->Picture2->update();
    }
    return true;
}

void BoardKeyboard::drawPaletteMark(QPainter& painter) const {
    const int k = editor_->SelectedBrick;
    if (!editor_->Picture2->hasFocus() || k < 1 || k > editor_->BrickCount()) {
        return;
    }
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Qt::white, 1, Qt::DotLine));
    painter.drawRect(Form1::SlotLeft(k) - 2, Form1::SlotTop(k) - 2, 33, 18);
}

}  // namespace krellon
