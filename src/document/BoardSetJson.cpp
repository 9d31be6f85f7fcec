#include "BoardSetJson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QSet>
#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <vector>

#include "storage/Cp1252.h"

namespace krellon {

namespace {

// Clipboard texts beyond this are not boards; they are not parsed at all.
constexpr qsizetype kMaxBoardText = 64 * 1024;
// A set of 100 boards with long texts stays far below this.
constexpr qsizetype kMaxSetText = 32 * 1024 * 1024;

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

// A board from its JSON object; an empty why on success.
Board ReadBoard(const QJsonValue& value, QString& why) {
    Board board;
    if (!value.isObject()) {
        why = "a board is an object with a background and rows";
        return board;
    }
    const QJsonObject object = value.toObject();
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (it.key() != "background" && it.key() != "rows") {
            why = "a board has no field \"" + it.key() + "\"";
            return board;
        }
    }
    const auto background = StoredNumber(object.value("background"));
    if (!background) {
        why = "the board's background is not a whole 32-bit number";
        return board;
    }
    board.background = *background;
    const QJsonValue rows = object.value("rows");
    if (!rows.isArray() || rows.toArray().size() != kBoardRows) {
        why = "a board has 20 rows of 20 brick codes";
        return board;
    }
    for (int r = 0; r < kBoardRows; ++r) {
        const QJsonValue row = rows.toArray().at(r);
        if (!row.isArray() || row.toArray().size() != kBoardColumns) {
            why = "a board has 20 rows of 20 brick codes";
            return board;
        }
        for (int c = 0; c < kBoardColumns; ++c) {
            const auto code = StoredNumber(row.toArray().at(c));
            if (!code) {
                why = QString("the brick code in row %1, column %2 is not a whole 32-bit number")
                          .arg(r + 1)
                          .arg(c + 1);
                return board;
            }
            board.cell(c, r) = *code;
        }
    }
    return board;
}

// The board's text, each line after the first indented by indent.
QByteArray BoardText(const Board& board, const QByteArray& indent) {
    QByteArray text = "{\"background\": " + QByteArray::number(board.background) + ", \"rows\": [";
    for (int r = 0; r < kBoardRows; ++r) {
        text += (r == 0 ? "\n" : ",\n") + indent + "  [";
        for (int c = 0; c < kBoardColumns; ++c) {
            text += (c == 0 ? "" : ", ") + QByteArray::number(board.cell(c, r));
        }
        text += "]";
    }
    text += "\n" + indent + "]}";
    return text;
}

// A stored text as a JSON string, quotes included.
QByteArray Quoted(const std::string& bytes) {
    const QByteArray array =
        QJsonDocument(QJsonArray{FromCp1252(bytes)}).toJson(QJsonDocument::Compact);  // ["..."]
    return array.mid(1, array.size() - 2);
}

// A JSON string that the code page can hold, as its bytes; an empty why on success.
std::string StoredTextOf(const QJsonObject& object, const char* key, QString& why) {
    const QJsonValue value = object.value(key);
    if (value.isUndefined()) {
        return {};
    }
    if (!value.isString()) {
        why = QString("\"%1\" is not a text").arg(key);
        return {};
    }
    const QString text = value.toString();
    std::string bytes = ToCp1252(text);
    if (FromCp1252(bytes) != text) {
        why = QString("\"%1\" holds characters that Windows-1252 cannot store").arg(key);
        return {};
    }
    return bytes;
}

// The first key given twice in one object of text (text that parses as JSON), with the line of
// its second time; nothing when every key is given once. The parser keeps the last of the two
// without a word, so the text is walked here: objects and arrays nest, a string right after
// "{" or "," of an object is a key.
std::optional<std::pair<QString, int>> RepeatedKey(const QByteArray& text) {
    struct Level {
        bool object;
        bool wantKey;
        QSet<QString> keys;
    };
    std::vector<Level> levels;
    int line = 1;
    for (qsizetype i = 0; i < text.size(); ++i) {
        switch (text[i]) {
            case '\n':
                ++line;
                break;
            case '{':
            case '[':
                levels.push_back({text[i] == '{', text[i] == '{', {}});
                break;
            case '}':
            case ']':
                if (!levels.empty()) {
                    levels.pop_back();
                }
                break;
            case ',':
                if (!levels.empty() && levels.back().object) {
                    levels.back().wantKey = true;
                }
                break;
            case '"': {
                qsizetype end = i + 1;
                bool escaped = false;
                while (end < text.size() && text[end] != '"') {
                    escaped = escaped || text[end] == '\\';
                    end += text[end] == '\\' ? 2 : 1;
                }
                if (!levels.empty() && levels.back().wantKey) {
                    levels.back().wantKey = false;
                    const QByteArray token = text.mid(i, end - i + 1);
                    // Escapes are read by the parser itself: "n\u0061me" is "name".
                    const QString key =
                        escaped
                            ? QJsonDocument::fromJson("[" + token + "]").array().at(0).toString()
                            : QString::fromUtf8(token.mid(1, token.size() - 2));
                    if (levels.back().keys.contains(key)) {
                        return std::pair(key, line);
                    }
                    levels.back().keys.insert(key);
                }
                i = end;
                break;
            }
            default:
                break;
        }
    }
    return std::nullopt;
}

constexpr std::array<const char*, 5> kTextKeys = {"brickSetPath", "backgroundSetPath", "name",
                                                  "author", "spare"};

}  // namespace

QByteArray BoardToJson(const Board& board) {
    return BoardText(board, "") + "\n";
}

Result<Board> BoardFromJson(const QByteArray& text) {
    const auto fail = [](const QString& reason) {
        return Result<Board>::failure(reason.toStdString());
    };
    if (text.size() > kMaxBoardText) {
        return fail("the clipboard holds too much text to be a board");
    }
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(text, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        return fail("the clipboard holds no board");
    }
    QString reason;
    const Board board = ReadBoard(document.object(), reason);
    if (!reason.isEmpty()) {
        return fail(reason);
    }
    return Result<Board>::success(board);
}

QByteArray BoardSetToJson(const StoredBoardSet& set) {
    QByteArray text = "{\n";
    text += "  \"signature\": " + Quoted(set.signature) + ",\n";
    text += "  \"headerWord\": " + QByteArray::number(set.headerWord) + ",\n";
    const std::array<const StoredText*, 5> texts = {&set.brickSetPath, &set.backgroundSetPath,
                                                    &set.boardSetName, &set.authorName, &set.spare};
    bool plainEnds = true;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        text += QByteArray("  \"") + kTextKeys[i] + "\": " + Quoted(texts[i]->text) + ",\n";
        plainEnds = plainEnds && texts[i]->end == 0;
    }
    if (!plainEnds) {
        text += "  \"textEnds\": [";
        for (std::size_t i = 0; i < texts.size(); ++i) {
            text += (i == 0 ? "" : ", ") + QByteArray::number(texts[i]->end);
        }
        text += "],\n";
    }
    text += "  \"boards\": [";
    for (std::size_t b = 0; b < set.boards.size(); ++b) {
        text += (b == 0 ? "\n    " : ",\n    ") + BoardText(set.boards[b], "    ");
    }
    text += "\n  ]\n}\n";
    return text;
}

namespace {

// The text parsed as a JSON object with no key given twice and no key a board set lacks; the
// reason when it is not.
QString ParseSetObject(const QByteArray& text, QJsonObject& object) {
    if (text.size() > kMaxSetText) {
        return "the text is larger than 32 MiB; no board set is";
    }
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(text, &error);
    if (error.error != QJsonParseError::NoError) {
        return QString("the text is not JSON (%1 at offset %2)")
            .arg(error.errorString())
            .arg(error.offset);
    }
    if (!document.isObject()) {
        return "the text is not a board set object";
    }
    if (const auto repeated = RepeatedKey(text)) {
        return QString("\"%1\" is given twice in one object (line %2)")
            .arg(repeated->first)
            .arg(repeated->second);
    }
    object = document.object();
    for (auto it = object.begin(); it != object.end(); ++it) {
        const QString key = it.key();
        const bool known = key == "signature" || key == "headerWord" || key == "textEnds" ||
                           key == "boards" ||
                           std::find(kTextKeys.begin(), kTextKeys.end(), key) != kTextKeys.end();
        if (!known) {
            return "a board set has no field \"" + key + "\"";
        }
    }
    return {};
}

// The signature, the header word and the five texts with their ends; the reason when one is
// wrong.
QString ReadSetHeader(const QJsonObject& object, StoredBoardSet& set) {
    QString why;
    if (object.contains("signature")) {
        set.signature = StoredTextOf(object, "signature", why);
        if (why.isEmpty() && set.signature.size() != 4) {
            why = "the signature is not 4 characters";
        }
    }
    if (why.isEmpty() && object.contains("headerWord")) {
        const auto word = StoredNumber(object.value("headerWord"));
        if (!word) {
            return "the header word is not a whole 32-bit number";
        }
        set.headerWord = *word;
    }
    const std::array<StoredText*, 5> texts = {&set.brickSetPath, &set.backgroundSetPath,
                                              &set.boardSetName, &set.authorName, &set.spare};
    for (std::size_t i = 0; i < texts.size() && why.isEmpty(); ++i) {
        texts[i]->text = StoredTextOf(object, kTextKeys[i], why);
        // The count stored in front of a text is its length + 1, a 32-bit number.
        if (texts[i]->text.size() >=
            static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
            why = QString("\"%1\" is too long").arg(kTextKeys[i]);
        }
    }
    if (!why.isEmpty() || !object.contains("textEnds")) {
        return why;
    }
    const QJsonValue ends = object.value("textEnds");
    if (!ends.isArray() || ends.toArray().size() != 5) {
        return "\"textEnds\" is not 5 numbers";
    }
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const auto end = StoredNumber(ends.toArray().at(static_cast<qsizetype>(i)));
        if (!end || *end < 0 || *end > 255) {
            return "\"textEnds\" holds a number that is not a byte (0 to 255)";
        }
        texts[i]->end = static_cast<std::uint8_t>(*end);
    }
    return {};
}

// The list of 1 to 100 boards; the reason when it is not one.
QString ReadSetBoards(const QJsonObject& object, StoredBoardSet& set) {
    const QJsonValue boards = object.value("boards");
    if (!boards.isArray()) {
        return "a board set has a list of boards";
    }
    const QJsonArray list = boards.toArray();
    if (list.isEmpty() || list.size() > kMaxBoards) {
        return QString("a board set holds 1 to 100 boards, not %1").arg(list.size());
    }
    set.boards.reserve(static_cast<std::size_t>(list.size()));
    QString why;
    for (qsizetype b = 0; b < list.size(); ++b) {
        set.boards.push_back(ReadBoard(list.at(b), why));
        if (!why.isEmpty()) {
            return QString("board %1: %2").arg(b + 1).arg(why);
        }
    }
    return {};
}

}  // namespace

Result<StoredBoardSet> BoardSetFromJson(const QByteArray& text) {
    using R = Result<StoredBoardSet>;
    QJsonObject object;
    StoredBoardSet set;
    QString why = ParseSetObject(text, object);
    if (why.isEmpty()) {
        why = ReadSetHeader(object, set);
    }
    if (why.isEmpty()) {
        why = ReadSetBoards(object, set);
    }
    if (!why.isEmpty()) {
        return R::failure(why.toStdString());
    }
    return R::success(std::move(set));
}

}  // namespace krellon
