#include "BoardTools.h"

#include <QEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QUndoStack>
#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

#include "editor/Form1.h"
#include "platform/Handlers.h"
#include "platform/PictureBox.h"
#include "render/Colours.h"
#include "storage/StatusNotices.h"

namespace krellon {

namespace {

// The outline of a rectangle being dragged: a colour no board is drawn in.
constexpr ColourValue kOutline = MakeColour(255, 255, 0);

}  // namespace

BoardTools::BoardTools(Form1* editor, QObject* parent)
    : QObject(parent), editor_(editor), board_(editor->Picture1) {
    PictureBox* board = board_;
    connect(board, &PictureBox::mouseDown, this, qOverload<int, float, float>(&BoardTools::press));
    connect(board, &PictureBox::mouseMoved, this, &BoardTools::move);
    connect(board, &PictureBox::mouseUp, this, &BoardTools::release);
    board->installEventFilter(this);
    // Any other step, undo or redo during a drag ends the stroke there: what the drag paints
    // afterwards never joins a step made before it.
    connect(editor_->Document->undoStack(), &QUndoStack::indexChanged, this, [this] {
        if (!pushing_) {
            endStroke();
        }
    });
}

QString BoardTools::name(Tool tool) {
    switch (tool) {
        case Tool::Press:
            return "Press";
        case Tool::Brush:
            return "Brush";
        case Tool::Rectangle:
            return "Rectangle";
        case Tool::Fill:
            return "Fill";
    }
    return {};
}

void BoardTools::setTool(Tool tool) {
    endStroke();
    tool_ = tool;
    emit toolChanged(tool);
}

std::optional<QPoint> BoardTools::cellAt(QPoint at) {
    if (at.x() < 0 || at.y() < 0 || at.x() >= 30 * kBoardColumns || at.y() >= 15 * kBoardRows) {
        return std::nullopt;
    }
    return QPoint(at.x() / 30, at.y() / 15);
}

std::int32_t BoardTools::selectedCode() const {
    return button_ == 1 ? editor_->SelectedBrick : 0;
}

std::vector<CellEdit> BoardTools::editsFor(const std::vector<QPoint>& cells,
                                           std::int32_t code) const {
    std::vector<CellEdit> edits;
    std::array<bool, kBoardColumns * kBoardRows> seen{};
    const auto add = [&](int c, int r) {
        if (!std::exchange(seen[static_cast<std::size_t>(kBoardRows * c + r)], true)) {
            edits.push_back({c, r, code});
        }
    };
    for (const QPoint& cell : cells) {
        add(cell.x(), cell.y());
        if (mirror) {
            add(kBoardColumns - 1 - cell.x(), cell.y());
        }
    }
    return edits;
}

void BoardTools::paintCells(const std::vector<QPoint>& cells) {
    // One stroke, one step: its cells merge into the stroke's first step.
    pushing_ = true;
    editor_->Document->setCells(editor_->CurrentBoard, editsFor(cells, selectedCode()),
                                "Brush Stroke", stroke_);
    pushing_ = false;
}

void BoardTools::press(int button, float x, float y) {
    const QPoint at = QPointF(x, y).toPoint();
    // A middle press, or Alt with the left button, picks the cell's brick and places nothing.
    if (button == 4 || (button == 1 && (board_->PressModifiers() & Qt::AltModifier))) {
        pick(at);
        return;
    }
    if (tool_ == Tool::Press && !mirror) {
        editor_->Picture1_MouseDown(button, x, y);
        return;
    }
    editor_->Picture1->setFocus();
    if (tool_ == Tool::Press) {
        // The press's cell as the editor's handler finds it, and its mirror cell, in one step.
        const QPoint rounded(static_cast<int>(std::lrint(x)), static_cast<int>(std::lrint(y)));
        if (const auto cell = cellAt(rounded); cell && (button == 1 || button == 2)) {
            placeCells(button, {*cell});
        }
        return;
    }
    press(button, at);
}

void BoardTools::pick(QPoint at) {
    const auto cell = cellAt(at);
    if (!cell) {
        return;
    }
    const std::int32_t code = editor_->BrickGrid(editor_->CurrentBoard, cell->x(), cell->y());
    const QString where = QString("Column %1, row %2").arg(cell->x() + 1).arg(cell->y() + 1);
    if (code < 1 || code > editor_->BrickCount()) {
        ShowStatus(where + (code == 0 ? " is empty" : " holds no brick of the set") +
                   ": no brick picked");
        return;
    }
    editor_->SelectBrick(code);
    ShowStatus(QString("Picked brick %1, %2").arg(code).arg(editor_->BrickNames()[code]));
}

void BoardTools::placeCells(int button, const std::vector<QPoint>& cells) {
    QString label;
    switch (tool_) {
        case Tool::Press:
            label = button == 1 && editor_->SelectedBrick != 0 ? "Place Brick" : "Remove Brick";
            break;
        case Tool::Brush:
            label = "Brush Stroke";
            break;
        case Tool::Rectangle:
            label = "Rectangle";
            break;
        case Tool::Fill:
            label = "Fill";
            break;
    }
    endStroke();
    button_ = button;
    const auto edits = editsFor(cells, selectedCode());
    button_ = 0;
    editor_->Document->setCells(editor_->CurrentBoard, edits, label);
}

void BoardTools::apply(int button, QRect cells) {
    if (cells.width() == 1 && cells.height() == 1 && tool_ == Tool::Fill) {
        press(button, QPoint(cells.left() * 30, cells.top() * 15));
        return;
    }
    std::vector<QPoint> all;
    for (int c = cells.left(); c <= cells.right(); ++c) {
        for (int r = cells.top(); r <= cells.bottom(); ++r) {
            all.emplace_back(c, r);
        }
    }
    placeCells(button, all);
}

void BoardTools::press(int button, QPoint at) {
    const auto cell = cellAt(at);
    if (!cell || (button != 1 && button != 2)) {
        return;
    }
    endStroke();
    button_ = button;
    switch (tool_) {
        case Tool::Press:
            button_ = 0;
            return;
        case Tool::Brush:
            ++stroke_;
            last_ = *cell;
            paintCells({*cell});
            return;
        case Tool::Rectangle:
            last_ = corner_ = *cell;
            outlineRectangle(last_, corner_);
            return;
        case Tool::Fill: {
            // The 4-connected region of cells holding the pressed cell's code.
            const Board& board = editor_->Document->board(editor_->CurrentBoard);
            const std::int32_t code = board.cell(cell->x(), cell->y());
            std::vector<QPoint> region;
            std::vector<QPoint> todo{*cell};
            std::array<bool, kBoardColumns * kBoardRows> seen{};
            const auto visit = [&](QPoint p) {
                return !std::exchange(seen[static_cast<std::size_t>(kBoardRows * p.x() + p.y())],
                                      true);
            };
            visit(*cell);
            while (!todo.empty()) {
                const QPoint p = todo.back();
                todo.pop_back();
                region.push_back(p);
                for (const QPoint d : {QPoint(1, 0), QPoint(-1, 0), QPoint(0, 1), QPoint(0, -1)}) {
                    const QPoint n = p + d;
                    if (n.x() >= 0 && n.y() >= 0 && n.x() < kBoardColumns && n.y() < kBoardRows &&
                        board.cell(n.x(), n.y()) == code && visit(n)) {
                        todo.push_back(n);
                    }
                }
            }
            editor_->Document->setCells(editor_->CurrentBoard, editsFor(region, selectedCode()),
                                        "Fill");
            button_ = 0;
            return;
        }
    }
}

void BoardTools::move(QPoint at) {
    if (button_ == 0) {
        return;
    }
    // A drag that leaves the board stays at its edge.
    const QPoint clamped(std::clamp(at.x(), 0, 30 * kBoardColumns - 1),
                         std::clamp(at.y(), 0, 15 * kBoardRows - 1));
    const QPoint cell = *cellAt(clamped);
    if (tool_ == Tool::Brush) {
        if (cell == last_) {
            return;
        }
        // Every cell on the line from the last one, so a fast drag leaves no gaps.
        std::vector<QPoint> line;
        const int steps = std::max(std::abs(cell.x() - last_.x()), std::abs(cell.y() - last_.y()));
        for (int i = 1; i <= steps; ++i) {
            line.emplace_back(
                last_.x() + static_cast<int>(std::lround(double(cell.x() - last_.x()) * i / steps)),
                last_.y() +
                    static_cast<int>(std::lround(double(cell.y() - last_.y()) * i / steps)));
        }
        last_ = cell;
        paintCells(line);
    } else if (tool_ == Tool::Rectangle && cell != corner_) {
        redrawRectangle(last_, corner_);
        corner_ = cell;
        outlineRectangle(last_, corner_);
    }
}

void BoardTools::release(QPoint) {
    if (tool_ == Tool::Rectangle && button_ != 0) {
        redrawRectangle(last_, corner_);
        std::vector<QPoint> cells;
        for (int c = std::min(last_.x(), corner_.x()); c <= std::max(last_.x(), corner_.x()); ++c) {
            for (int r = std::min(last_.y(), corner_.y()); r <= std::max(last_.y(), corner_.y());
                 ++r) {
                cells.emplace_back(c, r);
            }
        }
        const auto edits = editsFor(cells, selectedCode());
        button_ = 0;
        editor_->Document->setCells(editor_->CurrentBoard, edits, "Rectangle");
        return;
    }
    endStroke();
}

void BoardTools::cancel() {
    if (tool_ == Tool::Rectangle && button_ != 0) {
        redrawRectangle(last_, corner_);
        button_ = 0;
    }
}

void BoardTools::endStroke() {
    cancel();
    button_ = 0;
}

void BoardTools::redrawRectangle(QPoint a, QPoint b) {
    for (int c = std::min(a.x(), b.x()); c <= std::max(a.x(), b.x()); ++c) {
        for (int r = std::min(a.y(), b.y()); r <= std::max(a.y(), b.y()); ++r) {
            editor_->DrawCell(c, r);
        }
    }
    editor_->Picture1->Refresh();
}

void BoardTools::outlineRectangle(QPoint a, QPoint b) {
    editor_->Picture1->Box(std::min(a.x(), b.x()) * 30, std::min(a.y(), b.y()) * 15,
                           std::max(a.x(), b.x()) * 30 + 29, std::max(a.y(), b.y()) * 15 + 14,
                           kOutline);
    editor_->Picture1->Refresh();
}

bool BoardTools::eventFilter(QObject* watched, QEvent* event) {
    // The board's own pointer, not the editor's: a board going with its window still tells.
    if (watched != board_ || tool_ == Tool::Press) {
        return QObject::eventFilter(watched, event);
    }
    switch (event->type()) {
        case QEvent::KeyPress:
            if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
                cancel();
                return true;
            }
            break;
        case QEvent::FocusOut:
        case QEvent::Hide:
            endStroke();
            break;
        default:
            break;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace krellon
