#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

#include "formats/BoardSetFile.h"
#include "formats/Result.h"

namespace krellon {

// Boards and board sets as JSON text, made for reading and for `git diff`. A board is
//   {"background": 3, "rows": [
//     [0, 1, ...20 codes],
//     ...20 rows
//   ]}
// with rows top to bottom, each from column 0 to 19, one row to a line (the file stores
// them column by column). A set holds its stored fields and its boards in that form:
//   {"signature": "BDST", "headerWord": 2, "brickSetPath": "X:\\...", "backgroundSetPath": ...,
//    "name": ..., "author": ..., "spare": "", "boards": [...]}
// Texts are the stored bytes read as Windows-1252; "textEnds" (the bytes that end the five
// texts, in the order above) appears only when one of them is not 0.

// The board as the clipboard holds it.
QByteArray BoardToJson(const Board& board);

// The board a JSON text holds, or why there is none: a text that is no board or holds a value
// a board set file cannot store (a number that is no whole 32-bit number).
Result<Board> BoardFromJson(const QByteArray& text);

// Every stored field of a set as JSON text.
QByteArray BoardSetToJson(const StoredBoardSet& set);

// The set a JSON text holds, or the reason it holds none a board set file can store: texts
// the code page cannot hold, a board count outside 1 to 100, numbers that are no whole
// 32-bit numbers, rows that are not 20 of 20, texts beyond 32 MiB.
Result<StoredBoardSet> BoardSetFromJson(const QByteArray& text);

}  // namespace krellon
