// The edit journal's layout, read back whole, cut off anywhere or damaged anywhere.
#include <gtest/gtest.h>

#include <algorithm>

#include "TestBytes.h"
#include "formats/EditJournal.h"

using namespace krellon;

namespace {

using K = JournalRecord::Kind;

BoardSetContent SmallSet(std::size_t boards = 2) {
    return {"bricks.img", "backs.img", "Set", "Me", std::vector<Board>(boards)};
}

// A frame by hand: the payload's length, its CRC-32, the payload.
Bytes Framed(const Bytes& payload) {
    Bytes frame;
    frame.i32(static_cast<std::int32_t>(payload.size()))
        .i32(static_cast<std::int32_t>(Crc32(payload.data.data(), payload.size())));
    frame.data.insert(frame.data.end(), payload.data.begin(), payload.data.end());
    return frame;
}

// A journal of the small set and a record of every kind, with the set after each record.
struct Sample {
    std::vector<std::uint8_t> bytes;
    std::vector<std::size_t> frameEnds;      // where each frame ends
    std::vector<BoardSetContent> afterEach;  // [0]: the start, [k]: after k records
    std::vector<JournalRecord> records;
};

Sample MakeSample() {
    Sample sample;
    std::vector<JournalRecord>& r = sample.records;
    r.resize(7);
    r[0].board = 2;  // cells, the default kind
    r[0].cells = {{0, 5}, {399, -3}};
    r[1].kind = K::Background;
    r[1].board = 1;
    r[1].value = 4;
    r[2].kind = K::BoardSetName;
    r[2].text = "New \xe9 name";
    r[3].kind = K::Whole;
    r[3].whole = SmallSet(3);
    r[3].whole.boards[2].cell(1, 1) = 7;
    r[4].kind = K::BrickSetFile;
    r[4].text = "other.img";
    r[5].kind = K::Board;
    r[5].board = 3;
    r[5].boardIs.background = -2;
    r[5].boardIs.cell(19, 19) = 118;
    r[6].kind = K::Texts;
    r[6].texts = {"Name", "", "b.img", "\xff.img"};
    BoardSetContent set = SmallSet();
    const auto add = [&](const std::vector<std::uint8_t>& frame) {
        sample.bytes.insert(sample.bytes.end(), frame.begin(), frame.end());
        sample.frameEnds.push_back(sample.bytes.size());
        sample.afterEach.push_back(set);
    };
    add(EncodeJournalStart(1000, "/work/set.bds", 77, set));
    for (std::size_t i = 0; i < sample.records.size(); ++i) {
        JournalRecord& record = sample.records[i];
        record.number = static_cast<std::uint32_t>(i + 1);
        record.timeNs = 2000 + static_cast<std::int64_t>(i);
        EXPECT_TRUE(ApplyJournalRecord(set, record));
        add(EncodeJournalRecord(record));
    }
    return sample;
}

}  // namespace

TEST(EditJournal, ARecordIsItsLengthItsCrcAndItsValues) {
    JournalRecord record;
    record.number = 12;
    record.timeNs = 0x0102030405060708;
    record.board = 3;
    record.cells = {{21, 9}};
    Bytes cells;
    cells.u8(1).i32(12).i32(0x05060708).i32(0x01020304).i32(3).i32(1).u8(21).u8(0).i32(9);
    EXPECT_EQ(EncodeJournalRecord(record), Framed(cells).data);
    // The four texts, each its length and its bytes.
    record.kind = K::Texts;
    record.texts = {"N", "", "b", "g"};
    Bytes texts;
    texts.u8(9).i32(12).i32(0x05060708).i32(0x01020304);
    texts.i32(1).raw("N").i32(0).i32(1).raw("b").i32(1).raw("g");
    EXPECT_EQ(EncodeJournalRecord(record), Framed(texts).data);
    // A board in runs of like cells (16-bit length, code), row after row: a row of bricks,
    // the empty cells, the last cell alone; one whose cells all differ as its 400 codes.
    record.kind = K::Board;
    record.boardIs.background = 6;
    for (int c = 0; c < 20; ++c) {
        record.boardIs.cell(c, 0) = 5;
    }
    record.boardIs.cell(19, 19) = 118;
    Bytes runs;
    runs.u8(10).i32(12).i32(0x05060708).i32(0x01020304).i32(3).i32(6);
    runs.i32(3).u8(20).u8(0).i32(5).u8(123).u8(1).i32(0).u8(1).u8(0).i32(118);
    EXPECT_EQ(EncodeJournalRecord(record), Framed(runs).data);
    Bytes codes;
    codes.u8(8).i32(12).i32(0x05060708).i32(0x01020304).i32(3).i32(6);
    for (int k = 0; k < 400; ++k) {
        record.boardIs.cells[static_cast<std::size_t>(k)] = k % 2 ? -k : k;
        codes.i32(k % 2 ? -k : k);
    }
    EXPECT_EQ(EncodeJournalRecord(record), Framed(codes).data);
    // Runs that cover 399 cells are no board: the step is counted as unreadable.
    Bytes shortRuns = runs;
    shortRuns.data[25] = 19;
    for (const Bytes& form : {runs, codes, shortRuns}) {
        auto journal = EncodeJournalStart(1, "k", 0, SmallSet(3));
        const auto frame = Framed(form).data;
        journal.insert(journal.end(), frame.begin(), frame.end());
        const auto read = ReadJournal(MemorySource(journal));
        ASSERT_TRUE(read.ok());
        const bool whole = form.data[25] != 19;
        EXPECT_EQ(read->records, whole ? 1u : 0u);
        // Whole: numbers 1 to 11 never came; short: the last frame, whose number is not known.
        EXPECT_EQ(read->unreadable, whole ? 11u : 1u);
        EXPECT_EQ(read->set.boards[2].cell(19, 19), !whole ? 0 : form.data[0] == 10 ? 118 : -399);
    }
    // The CRC-32 of zlib and PNG.
    const std::string check = "123456789";
    EXPECT_EQ(Crc32(reinterpret_cast<const std::uint8_t*>(check.data()), check.size()),
              0xCBF43926u);
}

TEST(EditJournal, AJournalCutAnywhereGivesTheRecordsThatAreWhole) {
    const Sample sample = MakeSample();
    const auto full = ReadJournal(MemorySource(sample.bytes));
    ASSERT_TRUE(full);
    EXPECT_EQ(full->key, "/work/set.bds");
    EXPECT_EQ(full->startedNs, 1000);
    EXPECT_EQ(full->lastNs, 2006);
    EXPECT_EQ(full->fileCheck, 77u);
    EXPECT_FALSE(full->damaged());
    // What the records did, pinned apart from ApplyJournalRecord, which the loop relies on.
    EXPECT_EQ(full->set.boards.size(), 3u);
    EXPECT_EQ(full->set.boards[2].background, -2);
    EXPECT_EQ(full->set.boards[2].cell(19, 19), 118);
    EXPECT_EQ(full->set.boards[2].cell(1, 1), 0);
    EXPECT_EQ(full->set.boardSetName, "Name");
    EXPECT_EQ(full->set.backgroundSetFile, "\xff.img");
    for (std::size_t length = 0; length <= sample.bytes.size(); ++length) {
        const auto content = ReadJournal(MemorySource(std::span(sample.bytes.data(), length)));
        if (length < sample.frameEnds[0]) {
            ASSERT_FALSE(content) << length;
            continue;
        }
        ASSERT_TRUE(content) << length;
        const auto whole = static_cast<std::size_t>(
            std::count_if(sample.frameEnds.begin() + 1, sample.frameEnds.end(),
                          [&](auto e) { return e <= length; }));
        ASSERT_EQ(content->records, whole) << length;
        ASSERT_TRUE(content->set == sample.afterEach[whole]) << length;
        ASSERT_EQ(content->unreadable, sample.frameEnds[whole] != length ? 1u : 0u) << length;
    }
}

TEST(EditJournal, AFlippedByteAnywhereLosesThatStepAlone) {
    const Sample sample = MakeSample();
    for (std::size_t at = 0; at < sample.bytes.size(); ++at) {
        for (std::uint8_t flip : {0x01, 0x80, 0xFF}) {
            std::vector<std::uint8_t> bytes = sample.bytes;
            bytes[at] ^= flip;
            const auto content = ReadJournal(MemorySource(bytes));
            if (at < sample.frameEnds[0]) {
                ASSERT_FALSE(content) << at;  // the start fails its check
                continue;
            }
            ASSERT_TRUE(content) << at;
            // Records hold values: every other record still applies, but one that no longer
            // fits (a board the lost step added) is lost with it.
            const auto frame = static_cast<std::size_t>(std::count_if(
                sample.frameEnds.begin(), sample.frameEnds.end(), [&](auto e) { return e <= at; }));
            BoardSetContent expected = sample.afterEach[0];
            std::size_t applied = 0;
            for (std::size_t k = 0; k < sample.records.size(); ++k) {
                if (k + 1 != frame) {
                    applied += ApplyJournalRecord(expected, sample.records[k]) ? 1 : 0;
                }
            }
            ASSERT_EQ(content->records, applied) << at;
            ASSERT_EQ(content->unreadable, sample.records.size() - applied) << at;
            ASSERT_TRUE(content->set == expected) << at;
        }
    }
}

TEST(EditJournal, LostAndMisfitRecordsAreCountedAndPassedOver) {
    BoardSetContent set = SmallSet();
    std::vector<std::uint8_t> bytes = EncodeJournalStart(1, "k", 0, set);
    const auto add = [&](std::uint32_t number, int board, std::uint16_t index) {
        JournalRecord record;
        record.number = number;
        record.board = board;
        record.cells = {{index, static_cast<std::int32_t>(number)}};
        const auto frame = EncodeJournalRecord(record);
        bytes.insert(bytes.end(), frame.begin(), frame.end());
        return record;
    };
    add(1, 3, 0);    // the set has two boards
    add(2, 1, 400);  // a board has 400 cells
    EXPECT_FALSE(ApplyJournalRecord(set, add(3, 1, 400)));
    add(6, 2, 7);  // 4 and 5 never reached the disk
    const auto content = ReadJournal(MemorySource(bytes));
    ASSERT_TRUE(content);
    EXPECT_EQ(content->records, 1u);
    EXPECT_EQ(content->unreadable, 5u);
    EXPECT_EQ(content->steps(), 6u);
    EXPECT_EQ(content->set.boards[1].cells[7], 6);
}

TEST(EditJournal, FramesAsLargeAsTheLargestSetAndTheFirstLayoutAreRead) {
    BoardSetContent set = SmallSet();
    set.authorName.assign(21u << 20, 'a');  // over 16 MiB
    const auto content = ReadJournal(MemorySource(EncodeJournalStart(5, "k", 0, set)));
    ASSERT_TRUE(content);
    EXPECT_TRUE(content->set == set);

    // The first layout: no file check, records without numbers.
    Bytes start;
    start.raw("KRJ1").i32(9).i32(0).i32(1).raw("k");
    const auto setBytes = EncodeBoardSet(SmallSet());
    start.data.insert(start.data.end(), setBytes.begin(), setBytes.end());
    Bytes old = Framed(start);
    const Bytes record = Framed(Bytes().u8(4).i32(11).i32(0).i32(2).raw("Yo"));
    old.data.insert(old.data.end(), record.data.begin(), record.data.end());
    const auto first = ReadJournal(MemorySource(old.data));
    ASSERT_TRUE(first);
    EXPECT_FALSE(first->fileCheck);
    EXPECT_EQ(first->records, 1u);
    EXPECT_EQ(first->lastNs, 11);
    EXPECT_EQ(first->set.authorName, "Yo");
}
