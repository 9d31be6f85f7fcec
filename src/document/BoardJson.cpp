#include "BoardJson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <cmath>
#include <limits>

namespace krellon {

namespace {

// Clipboard texts beyond this are not boards; they are not parsed at all.
constexpr qsizetype kMaxText = 64 * 1024;

// A JSON number that a board set file can store: a whole number in 32 bits.
std::optional<std::int32_t> StoredNumber(const QJsonValue& value) {
    if (!value.isDouble()) {
        return std::nullopt;
    }
    const double number = value.toDouble();
    if (std::floor(number) != number || number < std::numeric_limits<std::int32_t>::min() ||
        number > std::numeric_limits<std::int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(number);
}

std::optional<Board> Fail(QString* why, const QString& reason) {
    if (why != nullptr) {
        *why = reason;
    }
    return std::nullopt;
}

}  // namespace

QByteArray BoardToJson(const Board& board) {
    QByteArray text = "{\"background\": " + QByteArray::number(board.background) + ", \"rows\": [";
    for (int r = 0; r < kBoardRows; ++r) {
        text += r == 0 ? "\n  [" : ",\n  [";
        for (int c = 0; c < kBoardColumns; ++c) {
            text += (c == 0 ? "" : ", ") + QByteArray::number(board.cell(c, r));
        }
        text += "]";
    }
    text += "\n]}\n";
    return text;
}

std::optional<Board> BoardFromJson(const QByteArray& text, QString* why) {
    if (text.size() > kMaxText) {
        return Fail(why, "the clipboard holds too much text to be a board");
    }
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(text, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        return Fail(why, "the clipboard holds no board");
    }
    const QJsonObject object = document.object();
    const auto background = StoredNumber(object.value("background"));
    if (!background) {
        return Fail(why, "the board's background is not a whole 32-bit number");
    }
    const QJsonValue rows = object.value("rows");
    if (!rows.isArray() || rows.toArray().size() != kBoardRows) {
        return Fail(why, "a board has 20 rows of 20 brick codes");
    }
    Board board;
    board.background = *background;
    for (int r = 0; r < kBoardRows; ++r) {
        const QJsonValue row = rows.toArray().at(r);
        if (!row.isArray() || row.toArray().size() != kBoardColumns) {
            return Fail(why, "a board has 20 rows of 20 brick codes");
        }
        for (int c = 0; c < kBoardColumns; ++c) {
            const auto code = StoredNumber(row.toArray().at(c));
            if (!code) {
                return Fail(why, "a brick code is not a whole 32-bit number");
            }
            board.cell(c, r) = *code;
        }
    }
    return board;
}

}  // namespace krellon
