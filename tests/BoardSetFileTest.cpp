#include <gtest/gtest.h>

#include <climits>

#include "TestBytes.h"
#include "formats/BoardSetFile.h"
#include "storage/AtomicFile.h"

using namespace krellon;

namespace {

// A file laid out by hand: board b has background 10 + b, cell (c, r) 100b + 20c + r.
Bytes HandBuiltFile(std::int32_t boards = 2,
                    std::string_view brickPath = "X:\\Krellon\\Boards\\Bricks.img",
                    std::string_view backgroundPath = "X:\\Krellon\\Boards\\Backs.img") {
    Bytes b;
    b.raw("BDST").i32(2).i32(boards).text(brickPath).text(backgroundPath);
    b.text("My Set").text("Me").text("");
    for (int board = 1; board <= boards; ++board) {
        b.i32(10 + board);
        for (int c = 0; c < 20; ++c) {
            for (int r = 0; r < 20; ++r) {
                b.i32(100 * board + 20 * c + r);
            }
        }
    }
    return b;
}

Result<BoardSetContent> Decode(const std::vector<std::uint8_t>& bytes) {
    MemorySource source(bytes);
    return DecodeBoardSet(source);
}

BoardSetContent Decoded(const std::vector<std::uint8_t>& bytes) {
    const auto result = Decode(bytes);
    EXPECT_TRUE(result.ok()) << result.error();
    return result.ok() ? result.value() : BoardSetContent{};
}

}  // namespace

TEST(BoardSetLayout, ReadsEveryFieldOfAHandBuiltFileAndWritesItsExactBytes) {
    const auto file = HandBuiltFile().data;
    const BoardSetContent set = Decoded(file);
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
    EXPECT_EQ(EncodeBoardSet(set), file);

    // Neither the signature nor the header word is compared; bytes after the last record are
    // not read.
    Bytes odd = HandBuiltFile();
    odd.data[0] = 'x';
    odd.data[3] = 0;
    odd.data[4] = 0x7F;
    odd.raw("trailing garbage that no reader looks at");
    EXPECT_EQ(EncodeBoardSet(Decoded(odd.data)), file);
}

TEST(BoardSetLayout, WriterStoresPathsUnderTheGamesFolderAndEmptyTexts) {
    BoardSetContent set;
    set.brickSetFile = "b.img";
    set.backgroundSetFile = "g.img";
    set.boards.resize(3);
    Bytes expected;
    expected.raw("BDST").i32(2).i32(3);
    expected.text("X:\\Krellon\\Boards\\b.img").text("X:\\Krellon\\Boards\\g.img");
    expected.text("").text("").text("").fill(1604 * 3, 0);
    EXPECT_EQ(EncodeBoardSet(set), expected.data);
}

TEST(BoardSetLayout, FileNamePartOfStoredPaths) {
    const std::pair<const char*, const char*> cases[] = {
        {"X:\\a\\b\\Bricks.img", "Bricks.img"},
        {"Bricks.img", "Bricks.img"},
        {"C:\\games\\", ""},
        {"", ""},
        {"dir/sub\\x.img", "x.img"},
    };
    for (const auto& [path, name] : cases) {
        EXPECT_EQ(FileNamePart(path), name) << path;
    }
    const BoardSetContent set = Decoded(HandBuiltFile(1, "plain.img", "C:\\folder\\").data);
    EXPECT_EQ(set.brickSetFile, "plain.img");
    EXPECT_EQ(set.backgroundSetFile, "");
}

TEST(BoardSetLayout, SpareTextIsSkippedWhole) {
    Bytes b;
    b.raw("BDST").i32(2).i32(1).text("a").text("b").text("c").text("d");
    b.i32(7).raw("\x01\x02\x03\x04\x05\x06\x07");  // seven bytes of any content
    b.i32(3);
    for (int k = 0; k < 400; ++k) {
        b.i32(k % 7);
    }
    const BoardSetContent set = Decoded(b.data);
    EXPECT_EQ(set.boards[0].background, 3);
    EXPECT_EQ(set.boards[0].cell(0, 6), 6);
}

TEST(BoardSetLayout, SingleByteTextsRoundTripByteForByte) {
    // "Über ©2026" in Windows-1252, and bytes that code page leaves undefined.
    const std::string name =
        "\xDC"
        "ber \xA9"
        "2026 \x81\x8D\x90";
    Bytes b;
    b.raw("BDST").i32(2).i32(1);
    b.text(
         "X:\\Krellon\\Boards\\Br\xE9"
         "ck.img")
        .text("X:\\Krellon\\Boards\\g.img");
    b.text(name).text("\xFF\x80").text("").i32(0).fill(1600, 0);
    const BoardSetContent set = Decoded(b.data);
    EXPECT_EQ(set.boardSetName, name);
    EXPECT_EQ(set.brickSetFile,
              "Br\xE9"
              "ck.img");
    EXPECT_EQ(EncodeBoardSet(set), b.data);
}

TEST(BoardSetHostile, EveryTruncationIsRefusedAsEndingEarly) {
    const auto full = HandBuiltFile().data;
    for (std::size_t n = 0; n < full.size(); ++n) {
        const auto result = Decode({full.begin(), full.begin() + static_cast<long>(n)});
        ASSERT_FALSE(result.ok()) << "length " << n;
        EXPECT_TRUE(result.error().starts_with("the file ends ")) << n << ": " << result.error();
    }
    EXPECT_EQ(Decode({}).error(), "the file ends before the board count");
    EXPECT_EQ(Decode({full.begin(), full.end() - 1}).error(), "the file ends inside board 2 of 2");
}

TEST(BoardSetHostile, CountsOutsideTheirLimitsAreRefusedWithTheirReason) {
    // Board counts: 1 to 100 boards are read, others refused whatever the file holds.
    EXPECT_EQ(Decoded(HandBuiltFile(100).data).boards.size(), 100u);
    for (std::int32_t count : {0, -1, 101, INT_MAX, INT_MIN}) {
        Bytes b;
        b.raw("BDST").i32(2).i32(count).text("a").text("b").text("c").text("d").text("");
        b.fill(1604 * 2, 0);
        EXPECT_EQ(Decode(b.data).error(),
                  "the board count " + std::to_string(count) + " is outside 1 to 100");
    }
    // Text counts below 1 or past the end of the file, in each of the five texts.
    const char* fields[] = {"brick set path", "background set path", "board set name",
                            "author name", "spare text"};
    for (std::int32_t n : {0, -1, INT_MIN, 1 << 30, INT_MAX}) {
        for (int field = 0; field < 5; ++field) {
            Bytes b;
            b.raw("BDST").i32(2).i32(1);
            for (int f = 0; f < 5; ++f) {
                f == field ? b.i32(n).raw("xyz") : b.text("t");
            }
            b.fill(1604, 0);
            EXPECT_EQ(Decode(b.data).error(),
                      n < 1 ? "the " + std::string(fields[field]) + " has a length count of " +
                                  std::to_string(n)
                            : "the file ends inside the " + std::string(fields[field]));
        }
    }
}
