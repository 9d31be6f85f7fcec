#include "EditJournal.h"

#include <algorithm>

#include <zlib.h>

#include "BufferedSource.h"
#include "ByteReader.h"
#include "ByteWriter.h"
#include "SpanReader.h"

namespace krellon {

namespace {

// The first layout had no record numbers and no file check; it is still read.
constexpr std::string_view kMagicV1 = "KRJ1";
constexpr std::string_view kMagic = "KRJ2";
// A Board record is written in runs of like cells (kind 10) when that is shorter than the
// 400 codes one after another (kind 8): most boards are mostly empty, so a step costs a few
// dozen bytes, not 1.6 KB.
constexpr std::uint8_t kBoardRuns = 10;
constexpr std::uint8_t kLastKind = kBoardRuns;
// A frame is as long as its length says, up to what the file holds: a set of any size the
// board set reader takes fits, and a damaged length never reserves more than the file's size.
constexpr std::uint64_t kMaxFrame = 0xFFFFFFFFu;

void WriteInt64(ByteWriter& out, std::int64_t value) {
    const auto v = static_cast<std::uint64_t>(value);
    out.writeInt32(static_cast<std::int32_t>(v & 0xFFFFFFFFu));
    out.writeInt32(static_cast<std::int32_t>(v >> 32));
}

template <typename Reader>
std::int64_t ReadInt64(Reader& in) {
    const auto low = static_cast<std::uint32_t>(in.readInt32());
    const auto high = static_cast<std::uint32_t>(in.readInt32());
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(high) << 32) | low);
}

void WriteText(ByteWriter& out, std::string_view text) {
    out.writeInt32(static_cast<std::int32_t>(text.size()));
    out.writeBytes(text);
}

template <typename Reader>
bool ReadText(Reader& in, std::string& text) {
    const std::int32_t size = in.readInt32();
    if (!in.ok() || size < 0 || static_cast<std::uint64_t>(size) > in.remaining()) {
        return false;
    }
    text = in.readBytes(static_cast<std::uint64_t>(size));
    return in.ok();
}

// Frames a payload: its length, its CRC-32, the payload.
std::vector<std::uint8_t> Frame(const std::vector<std::uint8_t>& payload) {
    if (payload.size() > kMaxFrame) {
        return {};
    }
    ByteWriter out;
    out.reserve(payload.size() + 8);
    out.writeInt32(static_cast<std::int32_t>(payload.size()));
    out.writeInt32(static_cast<std::int32_t>(Crc32(payload.data(), payload.size())));
    out.writeBytes(payload.data(), payload.size());
    return out.take();
}

// Reads the frame at position; false when it is cut off or fails its check.
bool ReadFrame(const ByteSource& source, std::uint64_t& position,
               std::vector<std::uint8_t>& payload) {
    ByteReader in(source, position);
    const auto size = static_cast<std::uint32_t>(in.readInt32());
    const auto crc = static_cast<std::uint32_t>(in.readInt32());
    if (!in.ok() || size > in.remaining()) {
        return false;
    }
    payload.resize(size);
    if (!in.readInto(payload) || Crc32(payload.data(), payload.size()) != crc) {
        return false;
    }
    position = in.position();
    return true;
}

using Cells = std::array<std::int32_t, kBoardColumns * kBoardRows>;
using Runs = std::vector<std::pair<std::uint16_t, std::int32_t>>;

// The cells as runs of like codes in row order (row after row, each from the left, where
// boards hold their rows of bricks: a row of like bricks is one run): each run a 16-bit
// length and the code.
Runs RunsOf(const Cells& cells) {
    Runs runs;
    for (std::size_t r = 0; r < kBoardRows; ++r) {
        for (std::size_t c = 0; c < kBoardColumns; ++c) {
            const std::int32_t code = cells[kBoardRows * c + r];
            if (runs.empty() || runs.back().second != code) {
                runs.emplace_back(0, code);
            }
            ++runs.back().first;
        }
    }
    return runs;
}

// Runs that cover every cell exactly; false for any others.
bool ReadRuns(SpanReader& in, Cells& cells) {
    const std::int32_t count = in.readInt32();
    if (!in.ok() || count < 1 || static_cast<std::size_t>(count) > cells.size()) {
        return false;
    }
    Cells rows;  // the cells in row order
    std::size_t at = 0;
    for (std::int32_t r = 0; r < count; ++r) {
        const std::uint8_t low = in.readByte();
        const std::size_t length = low | (static_cast<std::size_t>(in.readByte()) << 8);
        const std::int32_t code = in.readInt32();
        if (!in.ok() || length == 0 || length > rows.size() - at) {
            return false;
        }
        std::fill_n(rows.begin() + static_cast<std::ptrdiff_t>(at), length, code);
        at += length;
    }
    if (at != rows.size()) {
        return false;
    }
    for (std::size_t r = 0; r < kBoardRows; ++r) {
        for (std::size_t c = 0; c < kBoardColumns; ++c) {
            cells[kBoardRows * c + r] = rows[kBoardColumns * r + c];
        }
    }
    return true;
}

bool DecodeRecord(const std::vector<std::uint8_t>& payload, bool numbered, JournalRecord& record) {
    // Records are many and small: read in place, without a call through the source per number.
    SpanReader in(payload);
    const std::uint8_t kind = in.readByte();
    if (!in.ok() || kind < 1 || kind > kLastKind) {
        return false;
    }
    record.kind =
        kind == kBoardRuns ? JournalRecord::Kind::Board : static_cast<JournalRecord::Kind>(kind);
    if (numbered) {
        record.number = static_cast<std::uint32_t>(in.readInt32());
    }
    record.timeNs = ReadInt64(in);
    using Kind = JournalRecord::Kind;
    switch (record.kind) {
        case Kind::Cells: {
            record.board = in.readInt32();
            const std::int32_t count = in.readInt32();
            if (!in.ok() || count < 0 || static_cast<std::uint64_t>(count) * 6 > in.remaining()) {
                return false;
            }
            record.cells.resize(static_cast<std::size_t>(count));
            for (auto& [index, code] : record.cells) {
                const std::uint8_t low = in.readByte();
                const std::uint8_t high = in.readByte();
                index = static_cast<std::uint16_t>(low | (high << 8));
                code = in.readInt32();
            }
            break;
        }
        case Kind::Background:
            record.board = in.readInt32();
            record.value = in.readInt32();
            break;
        case Kind::Board:
            record.board = in.readInt32();
            record.boardIs.background = in.readInt32();
            if (kind == kBoardRuns) {
                return ReadRuns(in, record.boardIs.cells) && in.ok() && in.remaining() == 0;
            }
            for (std::int32_t& code : record.boardIs.cells) {
                code = in.readInt32();
            }
            break;
        case Kind::Texts:
            for (std::string& text : record.texts) {
                if (!ReadText(in, text)) {
                    return false;
                }
            }
            break;
        case Kind::Whole: {
            const MemorySource rest(std::span<const std::uint8_t>(payload).subspan(
                static_cast<std::size_t>(in.position())));
            auto set = DecodeBoardSet(rest);
            if (!set.ok()) {
                return false;
            }
            record.whole = std::move(set.value());
            return true;
        }
        default:
            if (!ReadText(in, record.text)) {
                return false;
            }
            break;
    }
    return in.ok() && in.remaining() == 0;
}

}  // namespace

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size) {
    // zlib takes a length of at most 32 bits a call.
    constexpr std::size_t kChunk = 1u << 30;
    uLong crc = crc32(0L, Z_NULL, 0);
    for (std::size_t done = 0; done < size; done += kChunk) {
        crc = crc32(crc, data + done, static_cast<uInt>(std::min(kChunk, size - done)));
    }
    return static_cast<std::uint32_t>(crc);
}

std::uint32_t JournalFileCheck(const BoardSetContent& set) {
    const auto bytes = EncodeBoardSet(set);
    return Crc32(bytes.data(), bytes.size());
}

std::vector<std::uint8_t> EncodeJournalStart(std::int64_t timeNs, std::string_view key,
                                             std::uint32_t fileCheck, const BoardSetContent& set) {
    ByteWriter out;
    out.writeBytes(kMagic);
    WriteInt64(out, timeNs);
    WriteText(out, key);
    out.writeInt32(static_cast<std::int32_t>(fileCheck));
    const auto bytes = EncodeBoardSet(set);
    out.writeBytes(bytes.data(), bytes.size());
    return Frame(out.bytes());
}

std::vector<std::uint8_t> EncodeJournalRecord(const JournalRecord& record) {
    using Kind = JournalRecord::Kind;
    const auto runs = record.kind == Kind::Board ? RunsOf(record.boardIs.cells) : Runs();
    const bool inRuns = !runs.empty() && 4 + 6 * runs.size() < 4 * record.boardIs.cells.size();
    ByteWriter out;
    out.writeByte(inRuns ? kBoardRuns : static_cast<std::uint8_t>(record.kind));
    out.writeInt32(static_cast<std::int32_t>(record.number));
    WriteInt64(out, record.timeNs);
    switch (record.kind) {
        case Kind::Cells:
            out.writeInt32(record.board);
            out.writeInt32(static_cast<std::int32_t>(record.cells.size()));
            for (const auto& [index, code] : record.cells) {
                out.writeByte(static_cast<std::uint8_t>(index));
                out.writeByte(static_cast<std::uint8_t>(index >> 8));
                out.writeInt32(code);
            }
            break;
        case Kind::Background:
            out.writeInt32(record.board);
            out.writeInt32(record.value);
            break;
        case Kind::Board:
            out.writeInt32(record.board);
            out.writeInt32(record.boardIs.background);
            if (inRuns) {
                out.writeInt32(static_cast<std::int32_t>(runs.size()));
                for (const auto& [length, code] : runs) {
                    out.writeByte(static_cast<std::uint8_t>(length));
                    out.writeByte(static_cast<std::uint8_t>(length >> 8));
                    out.writeInt32(code);
                }
                break;
            }
            for (const std::int32_t code : record.boardIs.cells) {
                out.writeInt32(code);
            }
            break;
        case Kind::Texts:
            for (const std::string& text : record.texts) {
                WriteText(out, text);
            }
            break;
        case Kind::Whole: {
            const auto bytes = EncodeBoardSet(record.whole);
            out.writeBytes(bytes.data(), bytes.size());
            break;
        }
        default:
            WriteText(out, record.text);
            break;
    }
    return Frame(out.bytes());
}

bool ApplyJournalRecord(BoardSetContent& set, const JournalRecord& record) {
    using Kind = JournalRecord::Kind;
    const auto boardFits = [&] {
        return record.board >= 1 && record.board <= static_cast<std::int32_t>(set.boards.size());
    };
    switch (record.kind) {
        case Kind::Cells: {
            if (!boardFits()) {
                return false;
            }
            for (const auto& cell : record.cells) {
                if (cell.first >= kBoardColumns * kBoardRows) {
                    return false;
                }
            }
            Board& board = set.boards[static_cast<std::size_t>(record.board - 1)];
            for (const auto& [index, code] : record.cells) {
                board.cells[index] = code;
            }
            return true;
        }
        case Kind::Background:
            if (!boardFits()) {
                return false;
            }
            set.boards[static_cast<std::size_t>(record.board - 1)].background = record.value;
            return true;
        case Kind::BoardSetName:
            set.boardSetName = record.text;
            return true;
        case Kind::AuthorName:
            set.authorName = record.text;
            return true;
        case Kind::BrickSetFile:
            set.brickSetFile = record.text;
            return true;
        case Kind::BackgroundSetFile:
            set.backgroundSetFile = record.text;
            return true;
        case Kind::Board:
            if (!boardFits()) {
                return false;
            }
            set.boards[static_cast<std::size_t>(record.board - 1)] = record.boardIs;
            return true;
        case Kind::Texts:
            set.boardSetName = record.texts[0];
            set.authorName = record.texts[1];
            set.brickSetFile = record.texts[2];
            set.backgroundSetFile = record.texts[3];
            return true;
        case Kind::Whole:
            if (record.whole.boards.empty() ||
                record.whole.boards.size() > static_cast<std::size_t>(kMaxBoards)) {
                return false;
            }
            set = record.whole;
            return true;
    }
    return false;
}

namespace {

// The first frame: when the journal began, its key, its file check and the set it starts from;
// nothing when it cannot be read. numbered tells the layout.
Result<JournalContent> ReadJournalStart(const ByteSource& source, std::uint64_t& position,
                                        bool& numbered) {
    std::vector<std::uint8_t> payload;
    if (!ReadFrame(source, position, payload) || payload.size() < kMagic.size() + 8) {
        return Result<JournalContent>::failure("its first frame cannot be read");
    }
    const std::string_view magic(reinterpret_cast<const char*>(payload.data()), kMagic.size());
    if (magic != kMagic && magic != kMagicV1) {
        return Result<JournalContent>::failure("it is not an edit journal");
    }
    numbered = magic == kMagic;
    JournalContent content;
    const MemorySource start(payload);
    ByteReader in(start, kMagic.size());
    content.startedNs = ReadInt64(in);
    if (!ReadText(in, content.key)) {
        return Result<JournalContent>::failure("its key cannot be read");
    }
    if (numbered) {
        content.fileCheck = static_cast<std::uint32_t>(in.readInt32());
    }
    const MemorySource rest(std::span<const std::uint8_t>(payload).subspan(
        static_cast<std::size_t>(std::min(in.position(), start.size()))));
    auto set = DecodeBoardSet(rest);
    if (!in.ok() || !set.ok()) {
        return Result<JournalContent>::failure("the set it starts from cannot be read");
    }
    content.start = std::move(set.value());
    content.set = content.start;
    content.lastNs = content.startedNs;
    return Result<JournalContent>::success(std::move(content));
}

// The records of a journal after its first frame, whole frames found past damage.
class RecordFrames {
public:
    RecordFrames(const ByteSource& source, bool numbered) : source_(source), numbered_(numbered) {}

    // The record of a whole frame at at, ending at end; false when none starts there.
    bool recordAt(std::uint64_t at, std::uint64_t& end, JournalRecord& record) {
        end = at;
        return ReadFrame(source_, end, payload_) && DecodeRecord(payload_, numbered_, record);
    }

    // The next whole frame past a damaged one at position: after the damaged one's own length
    // when that still holds, else at any byte after it; nothing when there is none.
    bool nextAfterDamage(std::uint64_t position, std::uint32_t lastNumber, std::uint64_t& end,
                         JournalRecord& record) {
        ByteReader in(source_, position);
        const std::uint64_t size = static_cast<std::uint32_t>(in.readInt32());
        const std::uint64_t skip = position + 8 + size;
        if (in.ok() && skip < source_.size() && recordAt(skip, end, record)) {
            return true;
        }
        for (std::uint64_t at = position + 1; at + 8 <= source_.size(); ++at) {
            if (plausible(at, lastNumber) && recordAt(at, end, record)) {
                return true;
            }
        }
        return false;
    }

private:
    // Whether a frame of a record after lastNumber may start at at, from its first bytes: the
    // search past damage checks every byte, and only these are worth a whole frame's check.
    bool plausible(std::uint64_t at, std::uint32_t lastNumber) const {
        ByteReader in(source_, at);
        const auto size = static_cast<std::uint32_t>(in.readInt32());
        in.readInt32();
        const std::uint8_t kind = in.readByte();
        const auto number = static_cast<std::uint32_t>(in.readInt32());
        return in.ok() && size <= source_.size() - at - 8 && kind >= 1 && kind <= kLastKind &&
               (!numbered_ || (number > lastNumber && number - lastNumber <= (1u << 24)));
    }

    const ByteSource& source_;
    bool numbered_;
    std::vector<std::uint8_t> payload_;
};

}  // namespace

Result<JournalContent> ReadJournal(const ByteSource& file) {
    // Records are a few dozen bytes each: they are read in blocks, not one by one.
    const BufferedSource source(file, 65536);
    std::uint64_t position = 0;
    bool numbered = false;
    Result<JournalContent> content = ReadJournalStart(source, position, numbered);
    if (!content) {
        return content;
    }
    RecordFrames frames(source, numbered);
    std::uint32_t lastNumber = 0;
    // One record read into again and again: a board record is 1.6 KB to clear.
    JournalRecord record;
    while (position < source.size()) {
        std::uint64_t end = position;
        if (!frames.recordAt(position, end, record)) {
            const bool found = frames.nextAfterDamage(position, lastNumber, end, record);
            // A numbered journal counts what was lost by the numbers; at its end, one at least.
            if (!numbered || !found) {
                ++content->unreadable;
            }
            if (!found) {
                break;
            }
        }
        position = end;
        if (numbered) {
            if (record.number > lastNumber + 1) {
                content->unreadable += record.number - lastNumber - 1;
            }
            lastNumber = std::max(lastNumber, record.number);
        }
        if (!ApplyJournalRecord(content->set, record)) {
            ++content->unreadable;
            continue;
        }
        ++content->records;
        content->lastNs = std::max(content->lastNs, record.timeNs);
    }
    return content;
}

}  // namespace krellon
