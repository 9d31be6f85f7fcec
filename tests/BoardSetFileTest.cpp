#include <gtest/gtest.h>

#include <limits>

#include "TestBytes.h"
#include "formats/BoardSetFile.h"
#include "storage/AtomicFile.h"

using namespace krellon;

namespace {

// A two-board file laid out by hand: board b has background 10 + b, cell (c, r) 100b + 20c + r.
Bytes TwoBoardFile(std::string_view brickPath = "X:\\Krellon\\Boards\\Bricks.img",
                   std::string_view backgroundPath = "X:\\Krellon\\Boards\\Backs.img") {
    Bytes b;
    b.raw("BDST")
        .i32(2)
        .i32(2)
        .text(brickPath)
        .text(backgroundPath)
        .text("My Set")
        .text("Me")
        .text("");
    for (int board = 1; board <= 2; ++board) {
        b.i32(10 + board);
        for (int c = 0; c < 20; ++c) {
            for (int r = 0; r < 20; ++r) {
                b.i32(100 * board + 20 * c + r);
            }
        }
    }
    return b;
}

BoardSetContent Decode(const std::vector<std::uint8_t>& bytes) {
    MemorySource source(bytes);
    auto result = DecodeBoardSet(source);
    EXPECT_TRUE(result.ok()) << result.error();
    return result.ok() ? result.value() : BoardSetContent{};
}

std::string DecodeError(const std::vector<std::uint8_t>& bytes) {
    MemorySource source(bytes);
    auto result = DecodeBoardSet(source);
    EXPECT_FALSE(result.ok());
    return result.error();
}

}  // namespace

TEST(BoardSetLayout, ReadsEveryFieldOfAHandBuiltFile) {
    const BoardSetContent set = Decode(TwoBoardFile().data);
    EXPECT_EQ(set.brickSetFile, "Bricks.img");
    EXPECT_EQ(set.backgroundSetFile, "Backs.img");
    EXPECT_EQ(set.boardSetName, "My Set");
    EXPECT_EQ(set.authorName, "Me");
    ASSERT_EQ(set.boards.size(), 2u);
    EXPECT_EQ(set.boards[0].background, 11);
    EXPECT_EQ(set.boards[1].background, 12);
    // Records are column by column: the second long of a record is column 0, row 1.
    EXPECT_EQ(set.boards[0].cell(0, 1), 101);
    EXPECT_EQ(set.boards[0].cell(1, 0), 120);
    EXPECT_EQ(set.boards[1].cell(19, 19), 200 + 380 + 19);
}

TEST(BoardSetLayout, WriterProducesTheExactBytes) {
    const BoardSetContent set = Decode(TwoBoardFile().data);
    EXPECT_EQ(EncodeBoardSet(set), TwoBoardFile().data);
}

TEST(BoardSetLayout, WriterLengthAndEmptyTexts) {
    BoardSetContent set;
    set.brickSetFile = "b.img";
    set.backgroundSetFile = "g.img";
    set.boards.resize(3);
    const auto bytes = EncodeBoardSet(set);
    // 33 + N1 + N2 + N3 + N4 + 1604 * count, N being length + 1.
    EXPECT_EQ(bytes.size(), 33u + 24 + 24 + 1 + 1 + 1604 * 3);
    Bytes expected;
    expected.raw("BDST")
        .i32(2)
        .i32(3)
        .text("X:\\Krellon\\Boards\\b.img")
        .text("X:\\Krellon\\Boards\\g.img");
    expected.i32(1).u8(0).i32(1).u8(0).i32(1).u8(0);
    ASSERT_GE(bytes.size(), expected.size());
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(),
                                        bytes.begin() + static_cast<long>(expected.size())),
              expected.data);
}

TEST(BoardSetLayout, FileNamePartOfStoredPaths) {
    EXPECT_EQ(FileNamePart("X:\\a\\b\\Bricks.img"), "Bricks.img");
    EXPECT_EQ(FileNamePart("Bricks.img"), "Bricks.img");
    EXPECT_EQ(FileNamePart("C:\\games\\"), "");
    EXPECT_EQ(FileNamePart(""), "");
    EXPECT_EQ(FileNamePart("dir/sub\\x.img"), "x.img");
    EXPECT_EQ(Decode(TwoBoardFile("plain.img", "C:\\folder\\").data).brickSetFile, "plain.img");
    EXPECT_EQ(Decode(TwoBoardFile("plain.img", "C:\\folder\\").data).backgroundSetFile, "");
}

TEST(BoardSetLayout, SignatureAndHeaderWordAreNotCompared) {
    Bytes b = TwoBoardFile();
    b.data[0] = 'x';
    b.data[3] = 0;
    b.data[4] = 0x7F;  // header word no longer 2
    EXPECT_EQ(Decode(b.data).boards.size(), 2u);
}

TEST(BoardSetLayout, SpareTextIsSkippedWhole) {
    Bytes b;
    b.raw("BDST").i32(2).i32(1).text("a").text("b").text("c").text("d");
    b.i32(7).raw("\x01\x02\x03\x04\x05\x06\x07");  // seven bytes of any content
    b.i32(3);
    for (int k = 0; k < 400; ++k) {
        b.i32(k % 7);
    }
    const BoardSetContent set = Decode(b.data);
    EXPECT_EQ(set.boards[0].background, 3);
    EXPECT_EQ(set.boards[0].cell(0, 6), 6);
}

TEST(BoardSetLayout, BytesAfterTheLastRecordAreIgnored) {
    Bytes b = TwoBoardFile();
    b.raw("trailing garbage that no reader looks at");
    EXPECT_EQ(EncodeBoardSet(Decode(b.data)), TwoBoardFile().data);
}

TEST(BoardSetLayout, HundredBoardsRoundTrip) {
    BoardSetContent set;
    set.brickSetFile = "Bricks.img";
    set.backgroundSetFile = "Backs.img";
    set.boardSetName = "Hundred";
    set.authorName = "Tester";
    set.boards.resize(100);
    for (int b = 0; b < 100; ++b) {
        set.boards[static_cast<std::size_t>(b)].background = b % 69;
        set.boards[static_cast<std::size_t>(b)].cell(b % 20, (b * 7) % 20) = b + 1;
    }
    EXPECT_EQ(Decode(EncodeBoardSet(set)), set);
}

TEST(BoardSetLayout, SingleByteTextsRoundTripByteForByte) {
    // "Über ©2026" in Windows-1252, and bytes that code page leaves undefined.
    const std::string name =
        "\xDC"
        "ber \xA9"
        "2026 \x81\x8D\x90";
    Bytes b;
    b.raw("BDST")
        .i32(2)
        .i32(1)
        .text(
            "X:\\Krellon\\Boards\\Br\xE9"
            "ck.img")
        .text("X:\\Krellon\\Boards\\g.img");
    b.text(name).text("\xFF\x80").text("");
    b.i32(0).fill(1600, 0);
    const BoardSetContent set = Decode(b.data);
    EXPECT_EQ(set.boardSetName, name);
    EXPECT_EQ(set.brickSetFile,
              "Br\xE9"
              "ck.img");
    EXPECT_EQ(EncodeBoardSet(set), b.data);
}

TEST(BoardSetHostile, EveryTruncationIsRefused) {
    const auto full = TwoBoardFile().data;
    for (std::size_t n = 0; n < full.size(); ++n) {
        const std::vector<std::uint8_t> cut(full.begin(), full.begin() + static_cast<long>(n));
        MemorySource source(cut);
        EXPECT_FALSE(DecodeBoardSet(source).ok()) << "length " << n;
    }
}

TEST(BoardSetHostile, BoardCountsOutsideTheLimits) {
    for (std::int32_t count : {0, -1, 101, std::numeric_limits<std::int32_t>::max(),
                               std::numeric_limits<std::int32_t>::min()}) {
        Bytes b;
        b.raw("BDST").i32(2).i32(count).text("a").text("b").text("c").text("d").text("");
        b.fill(1604 * 2, 0);
        EXPECT_NE(DecodeError(b.data).find("board count"), std::string::npos) << count;
    }
}

TEST(BoardSetHostile, TextCountsBelowOneOrBeyondTheFile) {
    for (std::int32_t n : {0, -1, std::numeric_limits<std::int32_t>::min(), 1 << 30,
                           std::numeric_limits<std::int32_t>::max()}) {
        for (int field = 0; field < 5; ++field) {
            Bytes b;
            b.raw("BDST").i32(2).i32(1);
            for (int f = 0; f < 5; ++f) {
                if (f == field) {
                    b.i32(n).raw("xyz");
                } else {
                    b.text("t");
                }
            }
            b.fill(1604, 0);
            EXPECT_FALSE(DecodeError(b.data).empty()) << "field " << field << " count " << n;
        }
    }
}

TEST(BoardSetHostile, BoardCountBeyondTheRecordsNamesTheBoard) {
    Bytes b;
    b.raw("BDST").i32(2).i32(3).text("a").text("b").text("c").text("d").text("");
    b.fill(1604 + 10, 0);
    EXPECT_EQ(DecodeError(b.data), "the file ends inside board 2 of 3");
}
