#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "BoardSetFile.h"
#include "ByteSource.h"

namespace krellon {

// The edit journal of one board set: its first frame holds the whole set as it was when the
// journal began, each later frame the values one step (or undo, or redo) left in it. Every
// frame is its length, a CRC-32 of its bytes and the bytes, so a frame cut off by a crash or
// damaged on disk is found and dropped with everything after it.

// One change the journal holds: the values a step left in the set.
struct JournalRecord {
    enum class Kind : std::uint8_t {
        Cells = 1,         // brick codes of some cells of one board
        Background = 2,    // one board's background number
        BoardSetName = 3,  // the four texts, as stored
        AuthorName = 4,
        BrickSetFile = 5,
        BackgroundSetFile = 6,
        Whole = 7,  // the whole set at once
    };
    Kind kind = Kind::Cells;
    std::int64_t timeNs = 0;  // when the change was made, nanoseconds since 1970 (UTC)
    std::int32_t board = 0;   // 1-based, for Cells and Background
    std::vector<std::pair<std::uint16_t, std::int32_t>> cells;  // index into Board::cells, code
    std::int32_t value = 0;                                     // Background
    std::string text;                                           // the texts
    BoardSetContent whole;                                      // Whole
};

// The bytes of a journal's first frame: when it began, what set it is of (key), the set.
std::vector<std::uint8_t> EncodeJournalStart(std::int64_t timeNs, std::string_view key,
                                             const BoardSetContent& set);

// The bytes of one record's frame.
std::vector<std::uint8_t> EncodeJournalRecord(const JournalRecord& record);

// What a journal holds, read back.
struct JournalContent {
    std::string key;
    std::int64_t startedNs = 0;
    std::int64_t lastNs = 0;  // the time of the last record applied, else startedNs
    BoardSetContent set;      // the first frame's set with every good record applied
    std::size_t records = 0;  // records applied
    bool damaged = false;     // a torn or damaged tail was dropped
};

// Reads a journal: the first frame, then the records in order, each applied to the set, up to
// the first that is cut off, fails its check or does not fit the set. Nothing when the first
// frame itself cannot be read.
std::optional<JournalContent> ReadJournal(const ByteSource& source);

// Applies record to set; false, leaving set as it was, when the record does not fit it.
bool ApplyJournalRecord(BoardSetContent& set, const JournalRecord& record);

// The CRC-32 (as zlib and PNG compute it) of bytes.
std::uint32_t Crc32(const std::uint8_t* data, std::size_t size);

}  // namespace krellon
