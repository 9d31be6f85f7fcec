#include "BoardSetDocument.h"

#include <QUndoCommand>

namespace krellon {

// --- The steps ---

// Brick codes of some cells of one board.
class CellsStep : public QUndoCommand {
public:
    CellsStep(BoardSetDocument& document, int board, std::vector<int> cells,
              std::vector<std::int32_t> before, std::vector<std::int32_t> after,
              const QString& text)
        : QUndoCommand(text),
          document_(document),
          board_(board),
          cells_(std::move(cells)),
          before_(std::move(before)),
          after_(std::move(after)) {}

    void redo() override { document_.writeCells(board_, cells_, after_); }
    void undo() override { document_.writeCells(board_, cells_, before_); }

private:
    BoardSetDocument& document_;
    int board_;
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

void BoardSetDocument::reset(BoardSetContent content) {
    emit aboutToReset();
    undoStack_.clear();
    content_ = std::move(content);
    emit changed({DocumentChange::Kind::Reset, 0, {}});
}

void BoardSetDocument::setCells(int board, const std::vector<CellEdit>& edits,
                                const QString& text) {
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
                                      std::move(after), text));
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

void BoardSetDocument::writeText(DocumentChange::Kind kind, const std::string& value) {
    TextField(content_, kind) = value;
    emit changed({kind, 0, {}});
}

}  // namespace krellon
