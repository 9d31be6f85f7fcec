#include "BoardSetDocument.h"

#include <QUndoCommand>
#include <algorithm>

namespace krellon {

// --- The steps ---

// Brick codes of some cells of one board.
class CellsStep : public QUndoCommand {
public:
    CellsStep(BoardSetDocument& document, int board, std::vector<int> cells,
              std::vector<std::int32_t> before, std::vector<std::int32_t> after,
              const QString& text, int stroke)
        : QUndoCommand(text),
          document_(document),
          board_(board),
          stroke_(stroke),
          cells_(std::move(cells)),
          before_(std::move(before)),
          after_(std::move(after)) {}

    void redo() override { document_.writeCells(board_, cells_, after_); }
    void undo() override { document_.writeCells(board_, cells_, before_); }

    // The cells of one stroke merge into its first step, as long as nothing came between.
    int id() const override { return stroke_ != 0 ? kStrokeStepId : -1; }
    bool mergeWith(const QUndoCommand* other) override {
        const auto* next = static_cast<const CellsStep*>(other);
        if (next->stroke_ != stroke_ || next->board_ != board_) {
            return false;
        }
        for (std::size_t i = 0; i < next->cells_.size(); ++i) {
            const auto at = std::find(cells_.begin(), cells_.end(), next->cells_[i]);
            if (at != cells_.end()) {
                after_[static_cast<std::size_t>(at - cells_.begin())] = next->after_[i];
            } else {
                cells_.push_back(next->cells_[i]);
                before_.push_back(next->before_[i]);
                after_.push_back(next->after_[i]);
            }
        }
        return true;
    }

private:
    static constexpr int kStrokeStepId = 1;
    BoardSetDocument& document_;
    int board_;
    int stroke_;
    std::vector<int> cells_;
    std::vector<std::int32_t> before_;
    std::vector<std::int32_t> after_;
};

// One board's background number.
class BackgroundStep : public QUndoCommand {
public:
    BackgroundStep(BoardSetDocument& document, int board, std::int32_t before, std::int32_t after)
        : QUndoCommand("Change Background"),
          document_(document),
          board_(board),
          before_(before),
          after_(after) {}

    void redo() override { document_.writeBackground(board_, after_); }
    void undo() override { document_.writeBackground(board_, before_); }

private:
    BoardSetDocument& document_;
    int board_;
    std::int32_t before_;
    std::int32_t after_;
};

// One of the set's four texts.
class TextStep : public QUndoCommand {
public:
    TextStep(BoardSetDocument& document, DocumentChange::Kind kind, std::string before,
             std::string after, const QString& text)
        : QUndoCommand(text),
          document_(document),
          kind_(kind),
          before_(std::move(before)),
          after_(std::move(after)) {}

    void redo() override { document_.writeText(kind_, after_); }
    void undo() override { document_.writeText(kind_, before_); }

private:
    BoardSetDocument& document_;
    DocumentChange::Kind kind_;
    std::string before_;
    std::string after_;
};

// The whole set.
class WholeStep : public QUndoCommand {
public:
    WholeStep(BoardSetDocument& document, BoardSetContent before, BoardSetContent after,
              const QString& text)
        : QUndoCommand(text),
          document_(document),
          before_(std::move(before)),
          after_(std::move(after)) {}

    void redo() override { document_.writeWhole(after_); }
    void undo() override { document_.writeWhole(before_); }

private:
    BoardSetDocument& document_;
    BoardSetContent before_;
    BoardSetContent after_;
};

// A change of the board list: one board inserted, removed, moved or replaced. A move is a
// removal and an insertion of the same board; a replacement, of another.
class BoardListStep : public QUndoCommand {
public:
    BoardListStep(BoardSetDocument& document, int removeAt, const Board* removed, int insertAt,
                  const Board* inserted, const QString& text)
        : QUndoCommand(text),
          document_(document),
          removeAt_(removeAt),
          insertAt_(insertAt),
          removed_(removed ? *removed : Board{}),
          inserted_(inserted ? *inserted : Board{}) {}

    void redo() override {
        // A deleted board's place is shown, or the one before it when it was the last.
        document_.writeBoards(removeAt_, insertAt_, &inserted_,
                              insertAt_ != 0 ? insertAt_ : removeAt_);
    }
    void undo() override {
        document_.writeBoards(insertAt_, removeAt_, &removed_,
                              removeAt_ != 0 ? removeAt_ : std::max(1, insertAt_ - 1));
    }

private:
    BoardSetDocument& document_;
    int removeAt_;
    int insertAt_;
    Board removed_;
    Board inserted_;
};

// --- The document ---

std::string& TextField(BoardSetContent& content, DocumentChange::Kind kind) {
    switch (kind) {
        case DocumentChange::Kind::BoardSetName:
            return content.boardSetName;
        case DocumentChange::Kind::AuthorName:
            return content.authorName;
        case DocumentChange::Kind::BrickSetFile:
            return content.brickSetFile;
        default:
            return content.backgroundSetFile;
    }
}

BoardSetDocument::BoardSetDocument(QObject* parent) : QObject(parent) {
    content_.boards.resize(1);
}

BoardSetDocument::~BoardSetDocument() {
    undoStack_.blockSignals(true);
    blockSignals(true);
}

void BoardSetDocument::reset(BoardSetContent content) {
    emit aboutToReset();
    undoStack_.clear();
    content_ = std::move(content);
    emit changed({DocumentChange::Kind::Reset, 0, {}});
}

void BoardSetDocument::setCells(int board, const std::vector<CellEdit>& edits, const QString& text,
                                int stroke) {
    if (board < 1 || board > boardCount()) {
        return;
    }
    const Board& current = this->board(board);
    std::vector<int> cells;
    std::vector<std::int32_t> before;
    std::vector<std::int32_t> after;
    for (const CellEdit& edit : edits) {
        if (edit.column < 0 || edit.column >= kBoardColumns || edit.row < 0 ||
            edit.row >= kBoardRows) {
            continue;
        }
        const int index = kBoardRows * edit.column + edit.row;
        if (current.cells[static_cast<std::size_t>(index)] != edit.code) {
            cells.push_back(index);
            before.push_back(current.cells[static_cast<std::size_t>(index)]);
            after.push_back(edit.code);
        }
    }
    if (!cells.empty()) {
        undoStack_.push(new CellsStep(*this, board, std::move(cells), std::move(before),
                                      std::move(after), text, stroke));
    }
}

void BoardSetDocument::setBackground(int board, std::int32_t background) {
    if (board >= 1 && board <= boardCount() && this->board(board).background != background) {
        undoStack_.push(
            new BackgroundStep(*this, board, this->board(board).background, background));
    }
}

void BoardSetDocument::markSaved() {
    undoStack_.setClean();
    emit saved();
}

void BoardSetDocument::setWhole(const BoardSetContent& content, const QString& text) {
    if (!(content == content_) && !content.boards.empty() &&
        content.boards.size() <= static_cast<std::size_t>(kMaxBoards)) {
        undoStack_.push(new WholeStep(*this, content_, content, text));
    }
}

void BoardSetDocument::insertBoard(int at, const Board& board, const QString& text) {
    if (boardCount() < kMaxBoards && at >= 1 && at <= boardCount() + 1) {
        undoStack_.push(new BoardListStep(*this, 0, nullptr, at, &board, text));
    }
}

void BoardSetDocument::removeBoard(int at) {
    if (boardCount() > 1 && at >= 1 && at <= boardCount()) {
        undoStack_.push(new BoardListStep(*this, at, &board(at), 0, nullptr, "Delete Board"));
    }
}

void BoardSetDocument::moveBoard(int from, int to, const QString& text) {
    if (from != to && from >= 1 && from <= boardCount() && to >= 1 && to <= boardCount()) {
        undoStack_.push(new BoardListStep(*this, from, &board(from), to, &board(from), text));
    }
}

void BoardSetDocument::replaceBoard(int at, const Board& board, const QString& text) {
    if (at >= 1 && at <= boardCount() && !(this->board(at) == board)) {
        undoStack_.push(new BoardListStep(*this, at, &this->board(at), at, &board, text));
    }
}

void BoardSetDocument::setBoardSetName(const std::string& name) {
    setText(DocumentChange::Kind::BoardSetName, name, "Rename Set");
}

void BoardSetDocument::setAuthorName(const std::string& name) {
    setText(DocumentChange::Kind::AuthorName, name, "Rename Author");
}

void BoardSetDocument::setBrickSetFile(const std::string& name) {
    setText(DocumentChange::Kind::BrickSetFile, name, "Change Brick Set");
}

void BoardSetDocument::setBackgroundSetFile(const std::string& name) {
    setText(DocumentChange::Kind::BackgroundSetFile, name, "Change Background Set");
}

void BoardSetDocument::setText(DocumentChange::Kind kind, const std::string& value,
                               const QString& text) {
    const std::string& current = TextField(content_, kind);
    if (current != value) {
        undoStack_.push(new TextStep(*this, kind, current, value, text));
    }
}

void BoardSetDocument::writeCells(int board, const std::vector<int>& cells,
                                  const std::vector<std::int32_t>& codes) {
    Board& target = content_.boards[static_cast<std::size_t>(board - 1)];
    for (std::size_t i = 0; i < cells.size(); ++i) {
        target.cells[static_cast<std::size_t>(cells[i])] = codes[i];
    }
    emit changed({DocumentChange::Kind::Cells, board, cells});
}

void BoardSetDocument::writeBackground(int board, std::int32_t background) {
    content_.boards[static_cast<std::size_t>(board - 1)].background = background;
    emit changed({DocumentChange::Kind::Background, board, {}});
}

void BoardSetDocument::writeWhole(const BoardSetContent& content) {
    content_ = content;
    emit changed({DocumentChange::Kind::Whole, 0, {}});
}

void BoardSetDocument::writeBoards(int remove, int insert, const Board* board, int show) {
    auto& boards = content_.boards;
    if (remove != 0) {
        boards.erase(boards.begin() + (remove - 1));
    }
    if (insert != 0) {
        boards.insert(boards.begin() + (insert - 1), *board);
    }
    emit changed({DocumentChange::Kind::Boards, std::clamp(show, 1, boardCount()), {}});
}

void BoardSetDocument::writeText(DocumentChange::Kind kind, const std::string& value) {
    TextField(content_, kind) = value;
    emit changed({kind, 0, {}});
}

}  // namespace krellon
