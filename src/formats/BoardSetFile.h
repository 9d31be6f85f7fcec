#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ByteSource.h"
#include "Result.h"

namespace krellon {

constexpr int kBoardColumns = 20;
constexpr int kBoardRows = 20;
constexpr int kMaxBoards = 100;
constexpr std::size_t kBoardRecordSize = 4 + 4 * kBoardColumns * kBoardRows;

// The folder the writer puts in front of both image file names; readers drop it again.
constexpr std::string_view kStoredImageFolder = "X:\\Krellon\\Boards\\";

// One board: its background number and its brick codes, column by column.
struct Board {
    std::int32_t background = 0;
    std::array<std::int32_t, kBoardColumns * kBoardRows> cells{};

    std::int32_t& cell(int column, int row) { return cells[kBoardRows * column + row]; }
    std::int32_t cell(int column, int row) const { return cells[kBoardRows * column + row]; }
    bool operator==(const Board&) const = default;
};

// The content of a board set file. Texts are held as their bytes in the single-byte code page
// (Windows-1252), exactly as stored.
struct BoardSetContent {
    std::string brickSetFile;       // file name only; the stored folder is dropped
    std::string backgroundSetFile;  // file name only
    std::string boardSetName;
    std::string authorName;
    std::vector<Board> boards;  // boards 1.., at most kMaxBoards

    bool operator==(const BoardSetContent&) const = default;
};

// One counted text as stored: its characters and the byte that ends it (written as 0, read and
// dropped, so any value may stand there in a file the program reads).
struct StoredText {
    std::string text;
    std::uint8_t end = 0;

    bool operator==(const StoredText&) const = default;
};

// Every byte of a board set file up to the end of its last board record, field by field: what
// the command line dumps as text and builds back.
struct StoredBoardSet {
    std::string signature = "BDST";  // four bytes, not compared on reading
    std::int32_t headerWord = 2;     // not compared on reading
    StoredText brickSetPath;         // with its folder, as stored
    StoredText backgroundSetPath;
    StoredText boardSetName;
    StoredText authorName;
    StoredText spare;  // its count covers the text and the end byte
    std::vector<Board> boards;

    bool operator==(const StoredBoardSet&) const = default;
};

// The part of a stored path after its last backslash; the whole text when it has none.
std::string FileNamePart(std::string_view path);

// Reads a board set. The signature and header word are read and not compared; bytes after the
// last board record are never looked at. A file that ends before its counts are used up, has a
// board count outside 1 to 100 or a text count below 1 is refused as a whole with the reason.
Result<BoardSetContent> DecodeBoardSet(const ByteSource& source);

// Reads every stored field, with the same rules and refusals as DecodeBoardSet.
Result<StoredBoardSet> DecodeStoredBoardSet(const ByteSource& source);

// The bytes of a board set file holding stored: for a set that DecodeStoredBoardSet gave, the
// file's bytes up to the end of its last board record.
std::vector<std::uint8_t> EncodeStoredBoardSet(const StoredBoardSet& stored);

// What the editor keeps of a stored set: the image file names without their folder.
BoardSetContent ContentOf(StoredBoardSet stored);

// A set as the writer stores it: "BDST", 2, the paths in the fixed folder, an empty spare text.
StoredBoardSet StoredFormOf(const BoardSetContent& content);

// The exact bytes of a board set file holding content.
std::vector<std::uint8_t> EncodeBoardSet(const BoardSetContent& content);

}  // namespace krellon
