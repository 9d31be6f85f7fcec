#include "BoardEdits.h"

#include <vector>

#include "BoardSetDocument.h"
#include "BoardSetJson.h"

namespace krellon::BoardEdits {

namespace {

// Every cell of board b set to what code(column, row) gives.
template <typename Code>
void setEveryCell(BoardSetDocument& document, int b, const QString& text, Code code) {
    std::vector<CellEdit> edits;
    edits.reserve(kBoardColumns * kBoardRows);
    for (int r = 0; r < kBoardRows; ++r) {
        for (int c = 0; c < kBoardColumns; ++c) {
            edits.push_back({c, r, code(c, r)});
        }
    }
    document.setCells(b, edits, text);
}

}  // namespace

void newBoard(BoardSetDocument& document, int b) {
    Board empty;
    empty.background = document.board(b).background;
    document.insertBoard(b + 1, empty, "New Board");
}

void duplicateBoard(BoardSetDocument& document, int b) {
    document.insertBoard(b + 1, document.board(b), "Duplicate Board");
}

void deleteBoard(BoardSetDocument& document, int b) {
    document.removeBoard(b);
}

void moveBoardEarlier(BoardSetDocument& document, int b) {
    document.moveBoard(b, b - 1, "Move Board Earlier");
}

void moveBoardLater(BoardSetDocument& document, int b) {
    document.moveBoard(b, b + 1, "Move Board Later");
}

void clearBoard(BoardSetDocument& document, int b) {
    setEveryCell(document, b, "Clear Board", [](int, int) { return 0; });
}

void flipLeftRight(BoardSetDocument& document, int b) {
    const Board board = document.board(b);
    setEveryCell(document, b, "Flip Left-Right",
                 [&](int c, int r) { return board.cell(kBoardColumns - 1 - c, r); });
}

void flipTopBottom(BoardSetDocument& document, int b) {
    const Board board = document.board(b);
    setEveryCell(document, b, "Flip Top-Bottom",
                 [&](int c, int r) { return board.cell(c, kBoardRows - 1 - r); });
}

QByteArray copyBoard(const BoardSetDocument& document, int b) {
    return BoardToJson(document.board(b));
}

Result<int> pasteBoard(BoardSetDocument& document, int b, const QByteArray& text, bool asNew) {
    const Result<Board> board = BoardFromJson(text);
    if (!board.ok()) {
        return Result<int>::failure(board.error());
    }
    if (asNew) {
        document.insertBoard(b + 1, board.value(), "Paste as New Board");
    } else {
        document.replaceBoard(b, board.value(), "Paste Board");
    }
    return Result<int>::success(asNew ? b + 1 : b);
}

}  // namespace krellon::BoardEdits
