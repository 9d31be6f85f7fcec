#include <gtest/gtest.h>

#include <limits>

#include "TestBytes.h"
#include "formats/BufferedSource.h"
#include "formats/ImageFile.h"

using namespace krellon;

namespace {

// The header of an image file with a file palette of paletteCount entries (entry k = k, 2k, 3k).
Bytes Header(std::int32_t imageCount, std::int32_t paletteCount) {
    Bytes b;
    b.raw("\x01\x02\x03\x04").i32(-77).i32(imageCount).i32(paletteCount);
    for (int k = 0; k < paletteCount; ++k) {
        b.u8(static_cast<std::uint8_t>(k))
            .u8(static_cast<std::uint8_t>(2 * k))
            .u8(static_cast<std::uint8_t>(3 * k))
            .u8(0xEE);
    }
    return b;
}

// Appends a record whose palette entry k is (10, 20, k) and whose pixels count up from seed.
void Record(Bytes& b, std::string_view name, std::int32_t w, std::int32_t h,
            std::int32_t paletteCount, std::uint8_t seed = 0) {
    b.text(name).i32(w).i32(h).i32(123).i32(456).i32(paletteCount);
    for (int k = 0; k < paletteCount; ++k) {
        b.u8(10).u8(20).u8(static_cast<std::uint8_t>(k)).u8(0x99);
    }
    for (std::int64_t p = 0; p < static_cast<std::int64_t>(w) * h; ++p) {
        b.u8(static_cast<std::uint8_t>(seed + p));
    }
}

std::vector<ImageRecord> Walk(const Bytes& b, std::int32_t limit = kMaxExplorerImages) {
    MemorySource source(b.data);
    const auto header = ReadImageHeader(source);
    if (!header) {
        return {};
    }
    return WalkImageFile(source, *header, limit);
}

}  // namespace

TEST(ImageFileLayout, HeaderAndFilePalette) {
    Bytes b = Header(0, 3);
    MemorySource source(b.data);
    const auto header = ReadImageHeader(source);
    ASSERT_TRUE(header);
    EXPECT_EQ(header->imageCount, 0);
    EXPECT_EQ(header->filePaletteCount, 3);
    EXPECT_EQ(header->filePalette[2], 2 + 256 * 4 + 65536 * 6);
    EXPECT_EQ(header->filePalette[3], 0);  // past the count
}

TEST(ImageFileLayout, WalkFindsEveryRecordAndItsOffsets) {
    Bytes b = Header(2, 256);
    Record(b, "first", 3, 2, 256, 1);
    const std::size_t second = b.size();
    Record(b, "second", 4, 1, 0, 50);
    const auto records = Walk(b);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].Name, "first");
    EXPECT_EQ(records[0].Width, 3);
    EXPECT_EQ(records[0].Height, 2);
    EXPECT_EQ(records[0].PaletteCount, 256);
    EXPECT_EQ(records[0].Palette[7], 10 + 256 * 20 + 65536 * 7);
    EXPECT_EQ(records[0].PaletteOffset, 1040u + 4 + 6 + 20);
    EXPECT_EQ(records[0].PixelOffset, 1040u + 24 + 6 + 1024);
    // A record without a palette has its pixels right after the five numbers.
    EXPECT_EQ(records[1].PaletteCount, 0);
    EXPECT_EQ(records[1].PixelOffset, second + 24 + 7);
    EXPECT_EQ(b.data[records[1].PixelOffset], 50);
}

TEST(ImageFileLayout, FilePaletteCountZeroPutsTheFirstRecordAt16) {
    Bytes b = Header(1, 0);
    Record(b, "x", 2, 2, 0);
    const auto records = Walk(b);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].PixelOffset, 16u + 24 + 2);
}

TEST(ImageFileLayout, EmptyNameAndBrickRecordLength) {
    Bytes b = Header(2, 256);
    Record(b, "", 1, 1, 0);
    const std::size_t brick = b.size();
    Record(b, "abcdef", 30, 15, 256);
    EXPECT_EQ(b.size() - brick, 1505u);  // 24 + 7 + 1024 + 450
    const auto records = Walk(b);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].Name, "");
    EXPECT_EQ(records[1].Name, "abcdef");
}

TEST(ImageFileLayout, ProbeReadsOnlyTheFirstRecordAt1040) {
    // The file palette count is not read: the probe assumes 256 entries.
    Bytes b = Header(1, 256);
    b.data[12] = 5;
    Record(b, "name", 30, 15, 256);
    MemorySource source(b.data);
    const auto size = ProbeFirstImage(source);
    ASSERT_TRUE(size);
    EXPECT_EQ(*size, std::make_pair(30, 15));
    // Only 1052 + L bytes are needed: a file cut right after the height still probes.
    std::vector<std::uint8_t> cut(b.data.begin(), b.data.begin() + 1052 + 5);
    MemorySource cutSource(cut);
    EXPECT_TRUE(ProbeFirstImage(cutSource));
    cut.pop_back();
    MemorySource shorter(cut);
    EXPECT_FALSE(ProbeFirstImage(shorter));
}

TEST(ImageFileLayout, ProbeOfALongFirstNameReadsOnPastTheFirstBlock) {
    for (std::size_t length : {51u, 52u, 53u, 200u}) {
        Bytes b = Header(1, 256);
        Record(b, std::string(length, 'n'), 64, 64, 0);
        MemorySource source(b.data);
        ASSERT_EQ(ProbeFirstImage(source), std::make_pair(64, 64)) << length;
        // Cut inside the height: no size.
        std::vector<std::uint8_t> cut(b.data.begin(), b.data.begin() + 1040 + 4 + length + 1 + 6);
        MemorySource cutSource(cut);
        EXPECT_FALSE(ProbeFirstImage(cutSource)) << length;
    }
}

TEST(ImageFileLayout, BrickWalkTakes450PixelBytesWhateverTheStatedSize) {
    Bytes b = Header(2, 256);
    b.text("odd").i32(10).i32(10).i32(0).i32(0).i32(0).fill(450, 7);
    Record(b, "next", 30, 15, 0);
    MemorySource source(b.data);
    RecordWalk walk;
    walk.count = 2;
    walk.limit = kMaxBricks;
    walk.fixedPixelBytes = 450;
    const auto records = WalkImageRecords(source, walk);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[1].Name, "next");
}

TEST(ImageFileLayout, PixelsAndWrites) {
    Bytes b = Header(1, 256);
    Record(b, "p", 4, 3, 256, 0);
    MemorySource source(b.data);
    const auto records = Walk(b);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(ReadPixel(source, records[0], 3, 2), 11);
    EXPECT_EQ(ReadPixel(source, records[0], 4, 0), 0);  // outside the image

    std::vector<std::uint8_t> file = b.data;
    ASSERT_TRUE(WritePaletteEntry(file, 16 + 4 * 5, MakeColour(1, 2, 3)));
    EXPECT_EQ(file[16 + 20], 1);
    EXPECT_EQ(file[16 + 21], 2);
    EXPECT_EQ(file[16 + 22], 3);
    EXPECT_EQ(file[16 + 23], 0xEE);  // the fourth byte stays
    ASSERT_TRUE(WritePixel(file, records[0], 1, 2, 0xFF));
    EXPECT_EQ(file[records[0].PixelOffset + 9], 0xFF);
    EXPECT_FALSE(WritePaletteEntry(file, file.size() - 3, 0));
    EXPECT_FALSE(WritePixel(file, records[0], -1, 0, 0));
}

TEST(ImageFileLayout, ABlockPastTheEndReadsZeros) {
    const std::vector<std::uint8_t> bytes = {1, 2, 3};
    MemorySource source(bytes);
    std::vector<std::uint8_t> block(5, 9);
    ReadBlock(source, 1, block);
    EXPECT_EQ(block, (std::vector<std::uint8_t>{2, 3, 0, 0, 0}));
    ReadBlock(source, 100, block);
    EXPECT_EQ(block, std::vector<std::uint8_t>(5, 0));
}

TEST(ImageFileHostile, CountsAreCutAtTheConsumersLimit) {
    Bytes b = Header(121, 256);
    for (int i = 0; i < 121; ++i) {
        Record(b, "i", 1, 1, 0);
    }
    EXPECT_EQ(Walk(b).size(), 119u);
    EXPECT_EQ(Walk(b, kMaxBackgrounds).size(), 69u);
    for (std::int32_t count : {0, -1, std::numeric_limits<std::int32_t>::min()}) {
        Bytes c = Header(count, 256);
        Record(c, "i", 1, 1, 0);
        EXPECT_TRUE(Walk(c).empty());
    }
}

TEST(ImageFileHostile, EveryTruncationKeepsOnlyWholeRecords) {
    Bytes b = Header(3, 256);
    std::vector<std::size_t> ends;
    for (int i = 0; i < 3; ++i) {
        Record(b, "rec", 5, 4, i == 1 ? 0 : 256);
        ends.push_back(b.size());
    }
    for (std::size_t n = 0; n <= b.size(); ++n) {
        Bytes cut;
        cut.data.assign(b.data.begin(), b.data.begin() + static_cast<long>(n));
        std::size_t whole = 0;
        while (whole < ends.size() && ends[whole] <= n) {
            ++whole;
        }
        EXPECT_EQ(Walk(cut).size(), whole) << "length " << n;
    }
}

TEST(ImageFileHostile, BadRecordsEndTheWalkBeforeThem) {
    const auto walkWith = [](auto&& bad) {
        Bytes b = Header(3, 256);
        Record(b, "good", 2, 2, 0);
        bad(b);
        Record(b, "after", 2, 2, 0);
        return Walk(b).size();
    };
    EXPECT_EQ(walkWith([](Bytes& b) { b.i32(0); }), 1u);        // name length 0
    EXPECT_EQ(walkWith([](Bytes& b) { b.i32(-5); }), 1u);       // negative name length
    EXPECT_EQ(walkWith([](Bytes& b) { b.i32(1 << 30); }), 1u);  // name past the end
    EXPECT_EQ(walkWith([](Bytes& b) { b.text("w").i32(-1).i32(2).i32(0).i32(0).i32(0); }), 1u);
    EXPECT_EQ(
        walkWith([](Bytes& b) {
            b.text("h").i32(2).i32(std::numeric_limits<std::int32_t>::min()).i32(0).i32(0).i32(0);
        }),
        1u);
    EXPECT_EQ(walkWith([](Bytes& b) {
                  b.text("p").i32(1).i32(1).i32(0).i32(0).i32(257).fill(1028, 0).u8(0);
              }),
              1u);
    EXPECT_EQ(
        walkWith([](Bytes& b) { b.text("big").i32(1 << 30).i32(1 << 30).i32(0).i32(0).i32(0); }),
        1u);
}

TEST(ImageFileHostile, FilePaletteCountOutsideTheLimits) {
    for (std::int32_t count : {-1, 257, std::numeric_limits<std::int32_t>::max()}) {
        Bytes b = Header(1, 0);
        b.data[12] = static_cast<std::uint8_t>(count);
        b.data[13] = static_cast<std::uint8_t>(count >> 8);
        b.data[14] = static_cast<std::uint8_t>(count >> 16);
        b.data[15] = static_cast<std::uint8_t>(count >> 24);
        Record(b, "x", 1, 1, 0);
        EXPECT_TRUE(Walk(b).empty()) << count;
    }
    // A file shorter than its header has none.
    const std::vector<std::uint8_t> tiny = {1, 2, 3};
    MemorySource source(tiny);
    EXPECT_FALSE(ReadImageHeader(source));
    EXPECT_FALSE(ProbeFirstImage(source));
}

TEST(BufferedSource, ReadsExactlyWhatItsSourceHoldsAtAnyOffsetAndLength) {
    std::vector<std::uint8_t> bytes(10000);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 31 + i / 256);
    }
    const krellon::MemorySource inner(bytes);
    const krellon::BufferedSource buffered(inner, 64);
    std::uint32_t seed = 7;
    for (int i = 0; i < 2000; ++i) {
        seed = seed * 1103515245u + 12345u;
        const std::uint64_t offset = (seed >> 8) % 10100;  // some past the end
        const std::size_t length = (seed >> 20) % 150;     // some larger than a block
        std::vector<std::uint8_t> want(length, 0xEE), got(length, 0xEE);
        const std::size_t wantCount = inner.readAt(offset, want);
        ASSERT_EQ(buffered.readAt(offset, got), wantCount) << offset << " " << length;
        ASSERT_EQ(got, want) << offset << " " << length;
    }
}
