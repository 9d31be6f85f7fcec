#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "BoardSetFile.h"
#include "ByteSource.h"
#include "Result.h"

namespace krellon {

// The edit journal of one board set: its first frame holds the whole set as it was when the
// journal began, each later frame the values one step (or undo, or redo) left in it, with its
// number. Every frame is its length, a CRC-32 of its bytes and the bytes, so a frame cut off
// by a crash or damaged on disk is found and passed over: since a record holds values, not
// differences, the records after it still apply, and the numbers tell how many were lost.

// One change the journal holds: the values a step left in the set. A step writes what it
// left in its scope: one board, the texts, or the whole set; a new kind of step needs no new
// kind of record.
struct JournalRecord {
    enum class Kind : std::uint8_t {
        // Written by version 0.3 and still read: parts of a board, one text.
        Cells = 1,         // brick codes of some cells of one board
        Background = 2,    // one board's background number
        BoardSetName = 3,  // one of the four texts, as stored
        AuthorName = 4,
        BrickSetFile = 5,
        BackgroundSetFile = 6,
        // Written now.
        Whole = 7,  // the whole set is now this
        Board = 8,  // board n is now this (background and cells); in runs when shorter
        Texts = 9,  // the four texts are now these
    };
    Kind kind = Kind::Cells;
    std::uint32_t number = 0;  // 1 for the journal's first record, counting up
    std::int64_t timeNs = 0;   // when the change was made, nanoseconds since 1970 (UTC)
    std::int32_t board = 0;    // 1-based, for Board, Cells and Background
    std::vector<std::pair<std::uint16_t, std::int32_t>> cells;  // index into Board::cells, code
    std::int32_t value = 0;                                     // Background
    std::string text;                                           // one text
    Board boardIs;                                              // Board
    std::array<std::string, 4> texts;  // Texts: set name, author, brick set, background set
    BoardSetContent whole;             // Whole
};

// The bytes of a journal's first frame: when it began, what set it is of (key), the check of
// the set as its file held it (JournalFileCheck), and the set the records start from. Empty
// for a set too large to frame (over 4 GiB).
std::vector<std::uint8_t> EncodeJournalStart(std::int64_t timeNs, std::string_view key,
                                             std::uint32_t fileCheck, const BoardSetContent& set);

// The bytes of one record's frame; empty for a record too large to frame.
std::vector<std::uint8_t> EncodeJournalRecord(const JournalRecord& record);

// A short check of a set as a file holds it: whether the file changed since a journal began.
std::uint32_t JournalFileCheck(const BoardSetContent& set);

// What a journal holds, read back.
struct JournalContent {
    std::string key;
    std::int64_t startedNs = 0;
    std::int64_t lastNs = 0;  // the time of the newest record applied, else startedNs
    // The check of the set as its file held it; journals of the first layout have none, and
    // their start is the file's set.
    std::optional<std::uint32_t> fileCheck;
    BoardSetContent start;       // the first frame's set
    BoardSetContent set;         // the start with every readable record applied
    std::size_t records = 0;     // records applied
    std::size_t unreadable = 0;  // records that could not be read or applied (at least)

    std::size_t steps() const { return records + unreadable; }
    bool damaged() const { return unreadable > 0; }
};

// Reads a journal: the first frame, then every record that can be read, in order, each
// applied to the set; a damaged or torn frame, or one that does not fit the set, is counted
// and passed over. A failure when the first frame itself cannot be read.
Result<JournalContent> ReadJournal(const ByteSource& source);

// Applies record to set; false, leaving set as it was, when the record does not fit it.
bool ApplyJournalRecord(BoardSetContent& set, const JournalRecord& record);

// The CRC-32 (as zlib and PNG compute it) of bytes.
std::uint32_t Crc32(const std::uint8_t* data, std::size_t size);

}  // namespace krellon
