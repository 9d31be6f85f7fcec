#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

#include "formats/BoardSetFile.h"

namespace krellon {

// A board as a small JSON text, for the clipboard (between sets, between two running editors,
// into a forum post):
//   {"background": 3, "rows": [[0, 1, ...20 codes], ...20 rows]}
// Rows go top to bottom, each from column 0 to 19.
QByteArray BoardToJson(const Board& board);

// The board a JSON text holds; nothing, with the reason in why, for a text that is no board
// or holds a value a board set file cannot store (a number that is no whole 32-bit number).
std::optional<Board> BoardFromJson(const QByteArray& text, QString* why = nullptr);

}  // namespace krellon
