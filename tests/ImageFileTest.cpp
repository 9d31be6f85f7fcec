#include <gtest/gtest.h>

#include <climits>
#include <functional>

#include "DemoData.h"
#include "TestBytes.h"
#include "formats/BufferedSource.h"
#include "formats/ImageFile.h"
#include "formats/StoredImageFile.h"

using namespace krellon;

namespace {

// The header of an image file with a file palette of paletteCount entries (entry k = k, 2k, 3k).
Bytes Header(std::int32_t imageCount, std::int32_t paletteCount) {
    Bytes b;
    b.raw("\x01\x02\x03\x04").i32(-77).i32(imageCount).i32(paletteCount);
    for (int k = 0; k < paletteCount; ++k) {
        b.u8(static_cast<std::uint8_t>(k)).u8(static_cast<std::uint8_t>(2 * k));
        b.u8(static_cast<std::uint8_t>(3 * k)).u8(0xEE);
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

std::vector<ImageRecord> Walk(const std::vector<std::uint8_t>& bytes,
                              std::int32_t limit = kMaxExplorerImages) {
    MemorySource source(bytes);
    const auto header = ReadImageHeader(source);
    return header ? WalkImageFile(source, *header, limit) : std::vector<ImageRecord>{};
}

// The brick loader's walk: records from 1040 on, each taken to hold 30 x 15 pixel bytes.
std::vector<ImageRecord> BrickWalk(const std::vector<std::uint8_t>& bytes, std::int32_t count) {
    MemorySource source(bytes);
    RecordWalk walk;
    walk.count = count;
    walk.limit = kMaxBricks;
    walk.fixedPixelBytes = 450;
    return WalkImageRecords(source, walk);
}

void Put32(std::vector<std::uint8_t>& bytes, std::size_t at, std::int32_t v) {
    for (int i = 0; i < 4; ++i) {
        bytes[at + i] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(v) >> (8 * i));
    }
}

}  // namespace

TEST(ImageFileLayout, HeaderRecordsAndTheirOffsetsOfAHandBuiltFile) {
    // Three file palette entries put the first record at 16 + 12.
    Bytes b = Header(3, 3);
    Record(b, "first", 3, 2, 256, 1);
    const std::size_t second = b.size();
    Record(b, "second", 4, 1, 0, 50);
    Record(b, "", 1, 1, 0);
    MemorySource source(b.data);
    const auto header = ReadImageHeader(source);
    ASSERT_TRUE(header);
    EXPECT_EQ(header->imageCount, 3);
    EXPECT_EQ(header->filePaletteCount, 3);
    EXPECT_EQ(header->filePalette[2], 2 + 256 * 4 + 65536 * 6);
    EXPECT_EQ(header->filePalette[3], 0);  // past the count
    const auto records = Walk(b.data);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].Name, "first");
    EXPECT_EQ(records[0].Width, 3);
    EXPECT_EQ(records[0].Height, 2);
    EXPECT_EQ(records[0].PaletteCount, 256);
    EXPECT_EQ(records[0].Palette[7], 10 + 256 * 20 + 65536 * 7);
    EXPECT_EQ(records[0].PaletteOffset, 28u + 4 + 6 + 20);
    EXPECT_EQ(records[0].PixelOffset, 28u + 24 + 6 + 1024);
    // A record without a palette has its pixels right after the five numbers.
    EXPECT_EQ(records[1].PaletteCount, 0);
    EXPECT_EQ(records[1].PixelOffset, second + 24 + 7);
    EXPECT_EQ(b.data[records[1].PixelOffset], 50);
    EXPECT_EQ(records[2].Name, "");

    // A file shorter than its header has none.
    const std::vector<std::uint8_t> tiny = {1, 2, 3};
    MemorySource tinySource(tiny);
    EXPECT_FALSE(ReadImageHeader(tinySource));
    EXPECT_FALSE(ProbeFirstImage(tinySource));
}

TEST(ImageFileLayout, ProbeReadsTheFirstRecordAt1040AndNothingPastItsHeight) {
    for (std::size_t length : {4u, 51u, 52u, 53u, 200u}) {
        Bytes b = Header(1, 256);
        b.data[12] = 5;  // the file palette count is not read: the probe assumes 256 entries
        Record(b, std::string(length, 'n'), 64, 32, 0);
        MemorySource source(b.data);
        EXPECT_EQ(ProbeFirstImage(source), std::make_pair(64, 32)) << length;
        // The name count, the name and its end, width and height are all it needs.
        std::vector<std::uint8_t> cut(b.data.begin(), b.data.begin() + 1040 + 4 + length + 1 + 8);
        EXPECT_TRUE(ProbeFirstImage(MemorySource(cut))) << length;
        cut.pop_back();
        EXPECT_FALSE(ProbeFirstImage(MemorySource(cut))) << length;
        // The start-up probe on the first 64 bytes from 1040 agrees, or cannot tell when the
        // name leaves no room for width and height.
        std::optional<std::pair<std::int32_t, std::int32_t>> fromHead;
        const bool told = ProbeFirstImageHead({b.data.data() + 1040, kProbeHeadBytes}, fromHead);
        EXPECT_EQ(told, length + 13 <= kProbeHeadBytes) << length;
        EXPECT_EQ(fromHead, told ? std::optional(std::make_pair(64, 32)) : std::nullopt) << length;
    }
}

TEST(ImageFileLayout, BrickWalkTakes450PixelBytesWhateverTheStatedSize) {
    Bytes b = Header(2, 256);
    b.text("odd").i32(10).i32(10).i32(0).i32(0).i32(0).fill(450, 7);
    Record(b, "next", 30, 15, 0);
    const auto records = BrickWalk(b.data, 2);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[1].Name, "next");
}

TEST(ImageFileLayout, PixelsAndPaletteEntriesAreReadAndWrittenInsideTheFileOnly) {
    Bytes b = Header(1, 256);
    Record(b, "p", 4, 3, 256, 0);
    MemorySource source(b.data);
    const auto records = Walk(b.data);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(ReadPixel(source, records[0], 3, 2), 11);
    EXPECT_EQ(ReadPixel(source, records[0], 4, 0), 0);  // outside the image

    std::vector<std::uint8_t> file = b.data;
    ASSERT_TRUE(WritePaletteEntry(file, 16 + 4 * 5, MakeColour(1, 2, 3)));
    // Red, green, blue; the fourth byte stays.
    EXPECT_EQ(std::vector<std::uint8_t>(file.begin() + 36, file.begin() + 40),
              (std::vector<std::uint8_t>{1, 2, 3, 0xEE}));
    ASSERT_TRUE(WritePixel(file, records[0], 1, 2, 0xFF));
    EXPECT_EQ(file[records[0].PixelOffset + 9], 0xFF);
    EXPECT_FALSE(WritePaletteEntry(file, file.size() - 3, 0));
    EXPECT_FALSE(WritePixel(file, records[0], -1, 0, 0));

    // A block past the end reads zeros.
    const std::vector<std::uint8_t> bytes = {1, 2, 3};
    std::vector<std::uint8_t> block(5, 9);
    ReadBlock(MemorySource(bytes), 1, block);
    EXPECT_EQ(block, (std::vector<std::uint8_t>{2, 3, 0, 0, 0}));
    ReadBlock(MemorySource(bytes), 100, block);
    EXPECT_EQ(block, std::vector<std::uint8_t>(5, 0));
}

TEST(ImageFileHostile, CountsAreCutAtTheConsumersLimitOrEndTheWalk) {
    Bytes many = Header(121, 256);
    for (int i = 0; i < 121; ++i) {
        Record(many, "i", 1, 1, 0);
    }
    EXPECT_EQ(Walk(many.data).size(), 119u);
    EXPECT_EQ(Walk(many.data, kMaxBackgrounds).size(), 69u);
    // Image counts below 1 and file palette counts outside 0 to 256: no image.
    const std::pair<std::size_t, std::int32_t> patches[] = {{8, 0},   {8, -1},   {8, INT_MIN},
                                                            {12, -1}, {12, 257}, {12, INT_MAX}};
    for (const auto& [at, value] : patches) {
        Bytes b = Header(1, 0);
        Record(b, "x", 1, 1, 0);
        ASSERT_EQ(Walk(b.data).size(), 1u);
        Put32(b.data, at, value);
        EXPECT_TRUE(Walk(b.data).empty()) << at << " = " << value;
    }
}

TEST(ImageFileHostile, EveryTruncationKeepsOnlyWholeRecordsInEitherWalk) {
    Bytes b = Header(3, 256);
    std::vector<std::size_t> ends;
    for (int i = 0; i < 3; ++i) {
        Record(b, "rec", 30, 15, i == 1 ? 0 : 256);
        ends.push_back(b.size());
    }
    for (std::size_t n = 0; n <= b.size(); ++n) {
        const std::vector<std::uint8_t> cut(b.data.begin(), b.data.begin() + static_cast<long>(n));
        const auto whole = static_cast<std::size_t>(
            std::count_if(ends.begin(), ends.end(), [n](std::size_t end) { return end <= n; }));
        ASSERT_EQ(Walk(cut).size(), whole) << "length " << n;
        ASSERT_EQ(BrickWalk(cut, 3).size(), whole) << "length " << n;
    }
}

TEST(ImageFileHostile, BadRecordsEndTheWalkBeforeThem) {
    const std::function<void(Bytes&)> bad[] = {
        [](Bytes& b) { b.i32(0); },        // name length 0
        [](Bytes& b) { b.i32(-5); },       // negative name length
        [](Bytes& b) { b.i32(1 << 30); },  // name past the end
        [](Bytes& b) { b.text("w").i32(-1).i32(2).i32(0).i32(0).i32(0); },
        [](Bytes& b) { b.text("h").i32(2).i32(INT_MIN).i32(0).i32(0).i32(0); },
        [](Bytes& b) { b.text("p").i32(1).i32(1).i32(0).i32(0).i32(257).fill(1028, 0).u8(0); },
        [](Bytes& b) { b.text("big").i32(1 << 30).i32(1 << 30).i32(0).i32(0).i32(0); },
    };
    for (std::size_t i = 0; i < std::size(bad); ++i) {
        Bytes b = Header(3, 256);
        Record(b, "good", 2, 2, 0);
        bad[i](b);
        Record(b, "after", 2, 2, 0);
        EXPECT_EQ(Walk(b.data).size(), 1u) << "case " << i;
    }
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

namespace {

// A record as the program writes a new one: name end, spare numbers and fourth bytes all 0.
void NewRecord(Bytes& b, std::string_view name, const ImagePicture& picture) {
    b.text(name).i32(picture.width).i32(picture.height).i32(0).i32(0);
    b.i32(static_cast<std::int32_t>(picture.palette.size()));
    for (const ColourValue c : picture.palette) {
        b.u8(RedOf(c)).u8(GreenOf(c)).u8(BlueOf(c)).u8(0);
    }
    b.data.insert(b.data.end(), picture.pixels.begin(), picture.pixels.end());
}

// Three records with odd stored fields, and bytes after the last one counted.
Bytes OddFile(std::int32_t count, const std::function<void(Bytes&, int)>& record) {
    Bytes b = Header(count, 3);
    for (int i = 0; i < 3; ++i) {
        record(b, i);
    }
    b.raw("tail");
    return b;
}

void OddRecord(Bytes& b, int i) {
    static const char* const names[] = {"Ant", "Bee", "Cat"};
    if (i == 1) {
        // A name ended by another byte and a record without a palette.
        b.i32(4).raw("Bee").u8(0x7E).i32(2).i32(2).i32(-9).i32(9).i32(0).raw("pppp");
        return;
    }
    Record(b, names[i], 2 + i, 1, 2, static_cast<std::uint8_t>(i));
}

StoredImageFile Decoded(const std::vector<std::uint8_t>& bytes) {
    auto file = DecodeStoredImageFile(bytes);
    EXPECT_TRUE(file.ok()) << file.error();
    return file ? *file : StoredImageFile{};
}

}  // namespace

TEST(StoredImageFile, EveryByteOfOddAndDemoFilesComesBackAndAnEmptyFileIsValid) {
    const Bytes odd = OddFile(3, OddRecord);
    EXPECT_EQ(EncodeStoredImageFile(Decoded(odd.data)), odd.data);
    // A count below the records held leaves the rest as bytes after the last.
    const Bytes fewer = OddFile(2, OddRecord);
    EXPECT_EQ(Decoded(fewer.data).images.size(), 2u);
    EXPECT_EQ(EncodeStoredImageFile(Decoded(fewer.data)), fewer.data);
    for (const auto& demo :
         {DemoBrickSetFile(), DemoBackgroundFile(64), DemoBackgroundFile(128), DemoTitleFile()}) {
        EXPECT_EQ(EncodeStoredImageFile(Decoded(demo)), demo);
    }
    const Bytes empty = Header(0, 0);
    EXPECT_EQ(EncodeStoredImageFile(Decoded(empty.data)), empty.data);

    // Files the model cannot hold whole are refused with the reason.
    const std::pair<std::size_t, std::int32_t> bad[] = {{8, -1}, {12, 257}, {8, 4}, {12, 200}};
    const char* const reasons[] = {
        "its image count -1 is negative",
        "not an image file: its file palette count 257 is outside 0 to 256",
        "image 4: the file ends before it", "the file ends inside its file palette"};
    for (std::size_t i = 0; i < std::size(bad); ++i) {
        Bytes b = Header(0, 0);
        Put32(b.data, bad[i].first, bad[i].second);
        if (i == 2) {
            b = OddFile(3, OddRecord);
            b.data.resize(b.size() - 4);
            Put32(b.data, 8, 4);
        }
        const auto refused = DecodeStoredImageFile(b.data);
        EXPECT_EQ(refused.ok() ? "" : refused.error(), reasons[i]);
    }
}

TEST(StoredImageFile, EachEditGivesTheFileBuiltByHandWithTheOtherRecordsUntouched) {
    const ImagePicture picture{
        3, 2, {MakeColour(1, 2, 3), MakeColour(250, 0, 9)}, {0, 1, 1, 0, 1, 0}};
    const auto expect = [](const StoredImageFile& file, std::int32_t count, const auto& records) {
        Bytes b = Header(count, 3);
        records(b);
        b.raw("tail");
        EXPECT_EQ(EncodeStoredImageFile(file), b.data);
    };
    StoredImageFile file = Decoded(OddFile(3, OddRecord).data);
    auto image = MakeStoredImage("New", picture);
    ASSERT_TRUE(image.ok());
    ASSERT_TRUE(InsertImage(file, 2, *image).ok());
    expect(file, 4, [&](Bytes& b) {
        OddRecord(b, 0);
        NewRecord(b, "New", picture);
        OddRecord(b, 1);
        OddRecord(b, 2);
    });
    ASSERT_TRUE(InsertImage(file, 5, *image).ok());  // appended
    ASSERT_TRUE(RemoveImage(file, 2).ok());
    ASSERT_TRUE(RemoveImage(file, 4).ok());
    EXPECT_EQ(EncodeStoredImageFile(file), OddFile(3, OddRecord).data);

    // The replaced image keeps its name, its name's end byte and its spare numbers.
    ASSERT_TRUE(ReplaceImage(file, 2, picture).ok());
    ASSERT_TRUE(RenameImage(file, 3, "Caf\xE9").ok());
    ASSERT_TRUE(MoveImage(file, 1, 3).ok());
    expect(file, 3, [&](Bytes& b) {
        b.i32(4).raw("Bee").u8(0x7E).i32(3).i32(2).i32(-9).i32(9).i32(2);
        b.u8(1).u8(2).u8(3).u8(0).u8(250).u8(0).u8(9).u8(0).raw(std::string("\0\1\1\0\1\0", 6));
        Record(b, "Caf\xE9", 4, 1, 2, 2);
        OddRecord(b, 0);
    });
    ASSERT_TRUE(MoveImage(file, 3, 1).ok());
    for (std::size_t n = 3; n >= 1; --n) {
        ASSERT_TRUE(RemoveImage(file, n).ok());
    }
    expect(file, 0, [](Bytes&) {});

    // Refusals change nothing.
    file = Decoded(OddFile(3, OddRecord).data);
    ImagePicture wide = picture;
    wide.width = kMaxImageSide + 1;
    ImagePicture empty{0, 0, picture.palette, {}};
    ImagePicture manyColours = picture;
    manyColours.palette.resize(300);
    ImagePicture short_ = picture;
    short_.pixels.pop_back();
    const Status refusals[] = {
        InsertImage(file, 0, *image),
        InsertImage(file, 5, *image),
        MoveImage(file, 1, 4),
        MoveImage(file, 0, 1),
        RemoveImage(file, 4),
        RenameImage(file, 1, ""),
        RenameImage(file, 1, std::string(300, 'a')),
        RenameImage(file, 1, "a\x01"),
        RenameImage(file, 1, "a\x81"),
        ReplaceImage(file, 1, wide),
        ReplaceImage(file, 1, empty),
        ReplaceImage(file, 1, manyColours),
        ReplaceImage(file, 1, short_),
    };
    EXPECT_FALSE(MakeStoredImage("x", empty).ok());
    for (const Status& refused : refusals) {
        EXPECT_FALSE(refused.ok());
    }
    EXPECT_EQ(refusals[1].error(), "an image is inserted as image 1 to 4, not 5");
    EXPECT_EQ(refusals[2].error(), "image 1 can move to 1 to 3, not 4");
    EXPECT_EQ(refusals[6].error(), "an image name has 1 to 80 characters; this one has 300");
    EXPECT_EQ(refusals[11].error(),
              "the picture's palette has 300 entries; an image's has 1 to 256");
    EXPECT_EQ(refusals[10].error(), "the picture is 0 x 0; an image is 1 x 1 to 4096 x 4096");
    EXPECT_EQ(EncodeStoredImageFile(file), OddFile(3, OddRecord).data);
}
