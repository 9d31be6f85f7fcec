#pragma once

#include <QByteArray>
#include <QString>

#include "formats/Result.h"

namespace krellon {

class BoardSetDocument;

// The edits of the Board and Edit menus and of the tools, as functions over the document:
// each is one undoable step on board b (1-based), and none is made when it would change
// nothing or the set cannot take it (1 to 100 boards).
namespace BoardEdits {

// An empty board after board b, on its background ("New Board").
void newBoard(BoardSetDocument& document, int b);
// A copy of board b after it ("Duplicate Board").
void duplicateBoard(BoardSetDocument& document, int b);
// Removes board b, never the last one.
void deleteBoard(BoardSetDocument& document, int b);
// Moves board b one place earlier or later.
void moveBoardEarlier(BoardSetDocument& document, int b);
void moveBoardLater(BoardSetDocument& document, int b);
// Every cell of board b emptied ("Clear Board").
void clearBoard(BoardSetDocument& document, int b);
// Board b mirrored left to right, or top to bottom.
void flipLeftRight(BoardSetDocument& document, int b);
void flipTopBottom(BoardSetDocument& document, int b);

// Board b as the clipboard holds it.
QByteArray copyBoard(const BoardSetDocument& document, int b);
// The board a clipboard text holds, over board b or as a new board after it; why nothing was
// pasted otherwise. Gives the board that then shows the paste.
Result<int> pasteBoard(BoardSetDocument& document, int b, const QByteArray& text, bool asNew);

}  // namespace BoardEdits

}  // namespace krellon
