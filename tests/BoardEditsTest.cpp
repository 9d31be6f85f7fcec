// The board operations over the document alone, without a window: what each leaves in the set,
// one undoable step each, the set's limits of 1 to 100 boards, and boards as clipboard text.
#include <gtest/gtest.h>

#include <QUndoStack>
#include <functional>

#include "document/BoardEdits.h"
#include "document/BoardSetDocument.h"
#include "document/BoardSetJson.h"

using namespace krellon;

namespace {

// Board b: background b, brick b at column b, row 2b (wrapping at 20).
Board Numbered(int b) {
    Board board;
    board.background = b;
    board.cell(b % 20, 2 * b % 20) = b;
    return board;
}

BoardSetContent Set(int count) {
    BoardSetContent set;
    set.brickSetFile = "bricks.img";
    for (int b = 1; b <= count; ++b) {
        set.boards.push_back(Numbered(b));
    }
    return set;
}

}  // namespace

TEST(BoardEdits, EachIsOneStepThatUndoesExactly) {
    Board empty;
    empty.background = 2;
    Board cleared = Numbered(2);
    cleared.cell(2, 4) = 0;
    Board leftRight;
    leftRight.background = 2;
    leftRight.cell(17, 4) = 2;
    Board topBottom;
    topBottom.background = 2;
    topBottom.cell(2, 15) = 2;
    const struct {
        std::function<void(BoardSetDocument&, int)> edit;
        std::vector<Board> after;
        QString text;
    } cases[] = {
        {BoardEdits::newBoard, {Numbered(1), Numbered(2), empty, Numbered(3)}, "New Board"},
        {BoardEdits::duplicateBoard,
         {Numbered(1), Numbered(2), Numbered(2), Numbered(3)},
         "Duplicate Board"},
        {BoardEdits::deleteBoard, {Numbered(1), Numbered(3)}, "Delete Board"},
        {BoardEdits::moveBoardEarlier,
         {Numbered(2), Numbered(1), Numbered(3)},
         "Move Board Earlier"},
        {BoardEdits::moveBoardLater, {Numbered(1), Numbered(3), Numbered(2)}, "Move Board Later"},
        {BoardEdits::clearBoard, {Numbered(1), cleared, Numbered(3)}, "Clear Board"},
        {BoardEdits::flipLeftRight, {Numbered(1), leftRight, Numbered(3)}, "Flip Left-Right"},
        {BoardEdits::flipTopBottom, {Numbered(1), topBottom, Numbered(3)}, "Flip Top-Bottom"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        BoardSetDocument document;
        document.reset(Set(3));
        c.edit(document, 2);
        EXPECT_TRUE(document.content().boards == c.after);
        ASSERT_EQ(document.undoStack()->count(), 1);
        EXPECT_EQ(document.undoStack()->text(0), c.text);
        document.undoStack()->undo();
        EXPECT_TRUE(document.content() == Set(3));
    }
}

TEST(BoardEdits, ASetKeepsOneToAHundredBoardsAndNoStepChangesNothing) {
    BoardSetDocument document;
    document.reset(Set(1));
    BoardEdits::deleteBoard(document, 1);
    BoardEdits::moveBoardEarlier(document, 1);
    BoardEdits::moveBoardLater(document, 1);
    document.reset(Set(100));
    BoardEdits::newBoard(document, 50);
    BoardEdits::duplicateBoard(document, 50);
    EXPECT_TRUE(BoardEdits::pasteBoard(document, 50, BoardToJson(Board{}), true).ok());
    EXPECT_EQ(document.boardCount(), 100);
    document.reset(Set(2));
    BoardEdits::clearBoard(document, 1);
    BoardEdits::clearBoard(document, 1);  // already empty
    EXPECT_EQ(document.undoStack()->count(), 1);
}

TEST(BoardEdits, BoardsGoThroughTheClipboardAsJsonAndBadTextChangesNothing) {
    BoardSetDocument document;
    document.reset(Set(3));
    const QByteArray text = BoardEdits::copyBoard(document, 2);
    EXPECT_TRUE(text.startsWith("{\"background\": 2, \"rows\": [\n"));
    // Rows top to bottom, each from column 0: brick 2 at column 2 of row 4.
    EXPECT_TRUE(text.contains("[0, 0, 2, 0,")) << text.toStdString();
    EXPECT_EQ(BoardEdits::pasteBoard(document, 3, text, false).value(), 3);
    EXPECT_EQ(BoardEdits::pasteBoard(document, 3, text, true).value(), 4);
    EXPECT_TRUE(document.board(3) == Numbered(2) && document.board(4) == Numbered(2));
    EXPECT_EQ(document.undoStack()->text(0), "Paste Board");
    EXPECT_EQ(document.undoStack()->text(1), "Paste as New Board");

    const BoardSetContent before = document.content();
    for (const QByteArray& bad :
         {QByteArray("hello"), QByteArray("{\"background\": 1.5, \"rows\": []}"),
          QByteArray("{\"background\": 0, \"rows\": [[1]]}"),
          QByteArray("{\"background\": 4294967296, \"rows\": []}"), QByteArray(100000, '['),
          QByteArray("{\"background\": 0, \"rows\": []}")}) {
        const Result<int> pasted = BoardEdits::pasteBoard(document, 1, bad, true);
        EXPECT_FALSE(pasted.ok() || pasted.error().empty()) << bad.left(40).toStdString();
    }
    EXPECT_TRUE(document.content() == before);
    EXPECT_EQ(document.undoStack()->count(), 2);
    // A code no brick set holds is still a code a board set file stores.
    Board odd = Numbered(1);
    odd.cell(0, 0) = -7;
    odd.cell(19, 19) = 2147483647;
    EXPECT_TRUE(BoardFromJson(BoardToJson(odd)).value() == odd);
}
