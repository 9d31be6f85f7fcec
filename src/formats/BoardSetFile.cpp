#include "BoardSetFile.h"

#include "AtomicFile.h"
#include "ByteReader.h"
#include "ByteWriter.h"
#include "FileSource.h"

namespace krellon {

namespace {

// Reads one counted text (count N, N - 1 characters, a terminating byte that is dropped).
bool ReadCountedText(ByteReader& in, const char* what, std::string& text, std::string& error) {
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
    text = in.readBytes(static_cast<std::uint64_t>(n) - 1);
    in.skip(1);
    return in.ok();
}

void WriteCountedText(ByteWriter& out, std::string_view text) {
    out.writeInt32(static_cast<std::int32_t>(text.size() + 1));
    out.writeBytes(text);
    out.writeByte(0);
}

}  // namespace

std::string FileNamePart(std::string_view path) {
    const auto slash = path.rfind('\\');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

Result<BoardSetContent> DecodeBoardSet(const ByteSource& source) {
    using R = Result<BoardSetContent>;
    ByteReader in(source);
    if (in.remaining() < 12) {
        return R::failure("the file ends before the board count");
    }
    in.skip(4);      // signature, not compared
    in.readInt32();  // header word, not compared
    const std::int32_t count = in.readInt32();
    if (count < 1 || count > kMaxBoards) {
        return R::failure("the board count " + std::to_string(count) + " is outside 1 to 100");
    }

    BoardSetContent set;
    std::string path;
    std::string error;
    if (!ReadCountedText(in, "brick set path", path, error)) {
        return R::failure(error);
    }
    set.brickSetFile = FileNamePart(path);
    if (!ReadCountedText(in, "background set path", path, error)) {
        return R::failure(error);
    }
    set.backgroundSetFile = FileNamePart(path);
    if (!ReadCountedText(in, "board set name", set.boardSetName, error) ||
        !ReadCountedText(in, "author name", set.authorName, error)) {
        return R::failure(error);
    }
    // The spare text is skipped whole, whatever it holds.
    if (in.remaining() < 4) {
        return R::failure("the file ends before the spare text");
    }
    const std::int32_t spare = in.readInt32();
    if (spare < 1) {
        return R::failure("the spare text has a length count of " + std::to_string(spare));
    }
    if (static_cast<std::uint64_t>(spare) > in.remaining()) {
        return R::failure("the file ends inside the spare text");
    }
    in.skip(static_cast<std::uint64_t>(spare));

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

Result<BoardSetContent> ReadBoardSetFile(const std::filesystem::path& path) {
    FileSource source;
    if (!source.open(path)) {
        return Result<BoardSetContent>::failure(path.filename().string() +
                                                ": the file cannot be opened");
    }
    auto result = DecodeBoardSet(source);
    if (!result.ok()) {
        return Result<BoardSetContent>::failure(path.filename().string() + ": " + result.error());
    }
    return result;
}

std::vector<std::uint8_t> EncodeBoardSet(const BoardSetContent& content) {
    ByteWriter out;
    out.reserve(64 + content.brickSetFile.size() + content.backgroundSetFile.size() +
                content.boardSetName.size() + content.authorName.size() +
                kBoardRecordSize * content.boards.size());
    out.writeBytes("BDST");
    out.writeInt32(2);
    out.writeInt32(static_cast<std::int32_t>(content.boards.size()));
    WriteCountedText(out, std::string(kStoredImageFolder) + content.brickSetFile);
    WriteCountedText(out, std::string(kStoredImageFolder) + content.backgroundSetFile);
    WriteCountedText(out, content.boardSetName);
    WriteCountedText(out, content.authorName);
    WriteCountedText(out, "");  // the spare text, always empty
    for (const Board& board : content.boards) {
        out.writeInt32(board.background);
        out.writeInt32s(board.cells);
    }
    return out.take();
}

Status WriteBoardSetFile(const std::filesystem::path& path, const BoardSetContent& content) {
    return WriteFileAtomically(path, EncodeBoardSet(content));
}

}  // namespace krellon
