#include "BoardSetFile.h"

#include "ByteReader.h"
#include "ByteWriter.h"

namespace krellon {

namespace {

// Reads one counted text (count N, N - 1 characters, a terminating byte).
bool ReadCountedText(ByteReader& in, const char* what, StoredText& text, std::string& error) {
    if (in.remaining() < 4) {
        error = std::string("the file ends before the ") + what;
        return false;
    }
    const std::int32_t n = in.readInt32();
    if (n < 1) {
        error = std::string("the ") + what + " has a length count of " + std::to_string(n);
        return false;
    }
    if (static_cast<std::uint64_t>(n) > in.remaining()) {
        error = std::string("the file ends inside the ") + what;
        return false;
    }
    text.text = in.readBytes(static_cast<std::uint64_t>(n) - 1);
    text.end = in.readByte();
    return in.ok();
}

void WriteCountedText(ByteWriter& out, const StoredText& text) {
    out.writeInt32(static_cast<std::int32_t>(text.text.size() + 1));
    out.writeBytes(text.text);
    out.writeByte(text.end);
}

}  // namespace

std::string FileNamePart(std::string_view path) {
    const auto slash = path.rfind('\\');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

Result<StoredBoardSet> DecodeStoredBoardSet(const ByteSource& source) {
    using R = Result<StoredBoardSet>;
    ByteReader in(source);
    if (in.remaining() < 12) {
        return R::failure("the file ends before the board count");
    }
    StoredBoardSet set;
    set.signature = in.readBytes(4);
    set.headerWord = in.readInt32();
    const std::int32_t count = in.readInt32();
    if (count < 1 || count > kMaxBoards) {
        return R::failure("the board count " + std::to_string(count) + " is outside 1 to 100");
    }
    std::string error;
    if (!ReadCountedText(in, "brick set path", set.brickSetPath, error) ||
        !ReadCountedText(in, "background set path", set.backgroundSetPath, error) ||
        !ReadCountedText(in, "board set name", set.boardSetName, error) ||
        !ReadCountedText(in, "author name", set.authorName, error) ||
        !ReadCountedText(in, "spare text", set.spare, error)) {
        return R::failure(error);
    }
    const std::uint64_t recordBytes = kBoardRecordSize * static_cast<std::uint64_t>(count);
    if (in.remaining() < recordBytes) {
        const std::uint64_t board = in.remaining() / kBoardRecordSize + 1;
        return R::failure("the file ends inside board " + std::to_string(board) + " of " +
                          std::to_string(count));
    }
    std::vector<std::uint8_t> records(recordBytes);
    if (!in.readInto(records)) {
        return R::failure("the board records cannot be read");
    }
    set.boards.resize(static_cast<std::size_t>(count));
    const std::uint8_t* p = records.data();
    for (Board& board : set.boards) {
        board.background = DecodeInt32(p);
        p += 4;
        for (std::int32_t& code : board.cells) {
            code = DecodeInt32(p);
            p += 4;
        }
    }
    return R::success(std::move(set));
}

BoardSetContent ContentOf(StoredBoardSet stored) {
    BoardSetContent set;
    set.brickSetFile = FileNamePart(stored.brickSetPath.text);
    set.backgroundSetFile = FileNamePart(stored.backgroundSetPath.text);
    set.boardSetName = std::move(stored.boardSetName.text);
    set.authorName = std::move(stored.authorName.text);
    set.boards = std::move(stored.boards);
    return set;
}

StoredBoardSet StoredFormOf(const BoardSetContent& content) {
    StoredBoardSet stored;
    stored.brickSetPath.text = std::string(kStoredImageFolder) + content.brickSetFile;
    stored.backgroundSetPath.text = std::string(kStoredImageFolder) + content.backgroundSetFile;
    stored.boardSetName.text = content.boardSetName;
    stored.authorName.text = content.authorName;
    stored.boards = content.boards;
    return stored;
}

Result<BoardSetContent> DecodeBoardSet(const ByteSource& source) {
    auto stored = DecodeStoredBoardSet(source);
    if (!stored.ok()) {
        return Result<BoardSetContent>::failure(stored.error());
    }
    return Result<BoardSetContent>::success(ContentOf(std::move(stored.value())));
}

std::vector<std::uint8_t> EncodeStoredBoardSet(const StoredBoardSet& stored) {
    ByteWriter out;
    out.reserve(64 + stored.brickSetPath.text.size() + stored.backgroundSetPath.text.size() +
                stored.boardSetName.text.size() + stored.authorName.text.size() +
                stored.spare.text.size() + kBoardRecordSize * stored.boards.size());
    out.writeBytes(stored.signature);
    out.writeInt32(stored.headerWord);
    out.writeInt32(static_cast<std::int32_t>(stored.boards.size()));
    WriteCountedText(out, stored.brickSetPath);
    WriteCountedText(out, stored.backgroundSetPath);
    WriteCountedText(out, stored.boardSetName);
    WriteCountedText(out, stored.authorName);
    WriteCountedText(out, stored.spare);
    for (const Board& board : stored.boards) {
        out.writeInt32(board.background);
        out.writeInt32s(board.cells);
    }
    return out.take();
}

std::vector<std::uint8_t> EncodeBoardSet(const BoardSetContent& content) {
    return EncodeStoredBoardSet(StoredFormOf(content));
}

}  // namespace krellon
