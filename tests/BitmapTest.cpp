#include <gtest/gtest.h>

#include <algorithm>

#include "TestBytes.h"
#include "formats/Bitmap.h"
#include "formats/ImageTransfer.h"

using namespace krellon;

namespace {

Palette TestPalette() {
    Palette p{};
    for (int k = 0; k < 256; ++k) {
        p[static_cast<std::size_t>(k)] = MakeColour(k, 255 - k, (k * 7) % 256);
    }
    return p;
}

std::vector<std::uint8_t> TestPixels(int w, int h) {
    std::vector<std::uint8_t> px(static_cast<std::size_t>(w * h));
    for (std::size_t i = 0; i < px.size(); ++i) {
        px[i] = static_cast<std::uint8_t>(i * 13 + 5);
    }
    return px;
}

// The file and information headers of an 8-bit bitmap, by hand.
Bytes BitmapHeaders(std::int32_t w, std::int32_t h, std::int32_t headerSize = 40,
                    std::int32_t colours = 0, std::int32_t compression = 0,
                    std::int32_t rowsOffset = -1) {
    if (rowsOffset < 0) {
        rowsOffset = 14 + headerSize + 4 * (colours == 0 ? 256 : colours);
    }
    Bytes b;
    b.raw("BM").i32(0).i32(0).i32(rowsOffset).i32(headerSize).i32(w).i32(h).i16(1).i16(8);
    b.i32(compression).i32(0).i32(0).i32(0).i32(colours).i32(0);
    b.fill(static_cast<std::size_t>(std::max(headerSize - 40, 0)),
           0xCD);  // the larger headers' extra fields
    return b;
}

void ColourTable(Bytes& b, int count) {
    for (int k = 0; k < count; ++k) {
        b.u8(static_cast<std::uint8_t>(k))
            .u8(static_cast<std::uint8_t>(k + 1))
            .u8(static_cast<std::uint8_t>(k + 2))
            .u8(0);
    }
}

BitmapStatus Check(const std::vector<std::uint8_t>& file, int w, int h,
                   DecodedBitmap* out = nullptr) {
    DecodedBitmap scratch;
    return DecodeBitmap(file, w, h, out ? *out : scratch);
}

}  // namespace

TEST(BitmapExport, BrickLayoutByteForByte) {
    const auto pixels = TestPixels(30, 15);
    const auto file = EncodeBitmap(30, 15, TestPalette(), pixels);
    ASSERT_EQ(file.size(), 1558u);
    Bytes expected;
    expected.raw("BM").i32(1558).i32(0).i32(1078).i32(40).i32(30).i32(15).i16(1).i16(8);
    expected.i32(0).i32(32 * 15).i32(0).i32(0).i32(0).i32(0);
    for (ColourValue c : TestPalette()) {
        expected.u8(static_cast<std::uint8_t>(BlueOf(c)))
            .u8(static_cast<std::uint8_t>(GreenOf(c)))
            .u8(static_cast<std::uint8_t>(RedOf(c)))
            .u8(0);
    }
    for (int y = 14; y >= 0; --y) {
        for (int x = 0; x < 30; ++x) {
            expected.u8(pixels[static_cast<std::size_t>(30 * y + x)]);
        }
        expected.u8(0).u8(0);
    }
    EXPECT_EQ(file, expected.data);
}

TEST(BitmapExport, SizesAndRowPadding) {
    EXPECT_EQ(EncodeBitmap(64, 64, {}, TestPixels(64, 64)).size(), 5174u);
    EXPECT_EQ(EncodeBitmap(128, 128, {}, TestPixels(128, 128)).size(), 17462u);
    EXPECT_EQ(RowPadding(1), 3);
    EXPECT_EQ(RowPadding(30), 2);
    EXPECT_EQ(RowPadding(64), 0);
    const auto one = EncodeBitmap(1, 2, {}, {{7, 8}});
    EXPECT_EQ(std::vector<std::uint8_t>(one.begin() + 1078, one.end()),
              (std::vector<std::uint8_t>{8, 0, 0, 0, 7, 0, 0, 0}));
}

TEST(BitmapImport, ExportedBitmapsReadBackExactly) {
    for (auto [w, h] : {std::pair{30, 15}, {1, 1}, {64, 64}, {3, 7}, {0, 0}}) {
        const auto pixels = TestPixels(w, h);
        DecodedBitmap out;
        ASSERT_EQ(Check(EncodeBitmap(w, h, TestPalette(), pixels), w, h, &out), BitmapStatus::Ok);
        EXPECT_EQ(out.pixelsTopDown, pixels);
        EXPECT_EQ(out.colourCount, 256);
        EXPECT_EQ(out.colours, TestPalette());
    }
}

TEST(BitmapImport, TheFiveChecksInTheirOrderAndEveryShortFile) {
    const auto file = EncodeBitmap(30, 15, TestPalette(), TestPixels(30, 15));
    const auto with = [&](std::size_t at, std::initializer_list<std::uint8_t> bytes) {
        auto changed = file;
        std::copy(bytes.begin(), bytes.end(), changed.begin() + static_cast<long>(at));
        return changed;
    };
    EXPECT_EQ(Check({}, 30, 15), BitmapStatus::FileNotFound);
    EXPECT_EQ(Check({'B'}, 30, 15), BitmapStatus::FileNotFound);
    EXPECT_EQ(Check({'B', 'X'}, 30, 15), BitmapStatus::NotBmp);
    EXPECT_EQ(Check({'B', 'M'}, 30, 15), BitmapStatus::WrongWidth);
    EXPECT_EQ(Check(file, 31, 15), BitmapStatus::WrongWidth);
    EXPECT_EQ(Check(file, 30, 16), BitmapStatus::WrongHeight);
    // A top-down bitmap stores a negative height.
    EXPECT_EQ(Check(with(22, {0xF1, 0xFF, 0xFF, 0xFF}), 30, 15), BitmapStatus::WrongHeight);
    // 16-bit and 2-bit bitmaps fail the planes-and-depth check, a width mismatch first.
    EXPECT_EQ(Check(with(28, {16}), 30, 15), BitmapStatus::WrongBitrate);
    EXPECT_EQ(Check(with(28, {2}), 30, 15), BitmapStatus::WrongBitrate);
    EXPECT_EQ(Check(with(28, {2}), 29, 15), BitmapStatus::WrongWidth);
    for (std::size_t n = 30; n < file.size(); ++n) {
        EXPECT_EQ(Check({file.begin(), file.begin() + static_cast<long>(n)}, 30, 15),
                  BitmapStatus::TooShort)
            << n;
    }
    EXPECT_EQ(BitmapStatusMessage(BitmapStatus::WrongBitrate), "Wrong image color bitrate.");
    EXPECT_EQ(BitmapStatusMessage(BitmapStatus::FileNotFound), "File not found.");
}

TEST(BitmapImport, BitmapsOfTwoAndSixteenColoursUnpackTheirPixels) {
    // 5 x 2 at 4 bits: rows of 3 bytes padded to 4, bottom row first, left pixel high.
    Bytes four = BitmapHeaders(5, 2, 40, 16);
    four.data[28] = 4;
    ColourTable(four, 16);
    four.u8(0xAB).u8(0xCD).u8(0xE0).u8(0).u8(0x01).u8(0x23).u8(0x40).u8(0);
    DecodedBitmap out;
    ASSERT_EQ(Check(four.data, 5, 2, &out), BitmapStatus::Ok);
    EXPECT_EQ(out.colourCount, 16);
    EXPECT_EQ(out.colours[15], MakeColour(17, 16, 15));
    EXPECT_EQ(out.pixelsTopDown, (std::vector<std::uint8_t>{0, 1, 2, 3, 4, 10, 11, 12, 13, 14}));
    // 10 x 1 at 1 bit, no colour count: 2 colours.
    Bytes one = BitmapHeaders(10, 1, 40, 2);
    one.data[28] = 1;
    one.data[46] = 0;
    ColourTable(one, 2);
    one.u8(0b10110000).u8(0b01000000).u8(0).u8(0);
    ASSERT_EQ(Check(one.data, 10, 1, &out), BitmapStatus::Ok);
    EXPECT_EQ(out.colourCount, 2);
    EXPECT_EQ(out.pixelsTopDown, (std::vector<std::uint8_t>{1, 0, 1, 1, 0, 0, 0, 0, 0, 1}));
    // More colours than the depth holds, or compressed (RLE4): refused.
    four.data[46] = 17;
    EXPECT_EQ(Check(four.data, 5, 2), BitmapStatus::TooManyColours);
    four.data[46] = 16;
    four.data[30] = 2;
    EXPECT_EQ(Check(four.data, 5, 2), BitmapStatus::Compressed);
}

TEST(BitmapImport, LargerHeadersAndShortColourTables) {
    for (std::int32_t headerSize : {40, 108, 124}) {
        Bytes b = BitmapHeaders(2, 2, headerSize, 3);
        ColourTable(b, 3);
        b.u8(1).u8(2).u8(0).u8(0);  // bottom row
        b.u8(0).u8(1).u8(0).u8(0);  // top row
        DecodedBitmap out;
        ASSERT_EQ(Check(b.data, 2, 2, &out), BitmapStatus::Ok) << headerSize;
        EXPECT_EQ(out.colourCount, 3);
        EXPECT_EQ(out.colours[2], MakeColour(4, 3, 2));
        EXPECT_EQ(out.pixelsTopDown, (std::vector<std::uint8_t>{0, 1, 1, 2}));
    }
    Bytes core = BitmapHeaders(2, 2, 12);
    core.fill(2000, 0);
    EXPECT_EQ(Check(core.data, 2, 2), BitmapStatus::UnsupportedHeader);
    Bytes many = BitmapHeaders(2, 2, 40, 257);
    many.fill(2000, 0);
    EXPECT_EQ(Check(many.data, 2, 2), BitmapStatus::TooManyColours);
    Bytes bitfields = BitmapHeaders(2, 2, 40, 0, 3);
    bitfields.fill(2000, 0);
    EXPECT_EQ(Check(bitfields.data, 2, 2), BitmapStatus::Compressed);
}

TEST(BitmapImport, Rle8RunsLiteralsLineEndsDeltasAndTheEnd) {
    // 6 x 4 image; rows come bottom first.
    Bytes b = BitmapHeaders(6, 4, 124, 2, 1);
    ColourTable(b, 2);
    b.u8(6).u8(9);                          // row 3: a run of six 9s
    b.u8(0).u8(0);                          // end of line
    b.u8(0).u8(3).u8(1).u8(2).u8(3).u8(0);  // row 2: literal 1 2 3, padded
    b.u8(3).u8(4);                          // ... then 4 4 4
    b.u8(0).u8(0);
    b.u8(0).u8(2).u8(2).u8(1);              // delta: right 2, up 1 (to row 0)
    b.u8(0).u8(4).u8(5).u8(6).u8(7).u8(8);  // literal 5 6 7 8 at x 2..5
    b.u8(0).u8(1);                          // end of bitmap
    DecodedBitmap out;
    ASSERT_EQ(Check(b.data, 6, 4, &out), BitmapStatus::Ok);
    EXPECT_EQ(out.pixelsTopDown,
              (std::vector<std::uint8_t>{0, 0, 5, 6, 7, 8,  // row 0
                                         0, 0, 0, 0, 0, 0,  // row 1, skipped by the delta
                                         1, 2, 3, 4, 4, 4,  // row 2
                                         9, 9, 9, 9, 9, 9}));
    EXPECT_EQ(out.colourCount, 2);
}

TEST(BitmapImport, Rle8PixelsRightOfTheWidthAreDropped) {
    // ImageMagick encodes each row with its padding: a 6-wide image gets rows of 8 pixels.
    Bytes b = BitmapHeaders(6, 3, 40, 0, 1);
    ColourTable(b, 256);
    b.u8(5).u8(1).u8(3).u8(2).u8(0).u8(0);  // row 2: 1 1 1 1 1 2 | 2 2
    b.u8(0).u8(8);                          // row 1: literal 3..8 | 9 9
    for (std::uint8_t v : {3, 4, 5, 6, 7, 8, 9, 9}) {
        b.u8(v);
    }
    b.u8(0).u8(0);
    b.u8(2).u8(6).u8(0).u8(2).u8(200).u8(0);  // row 0: 6 6, then a delta far to the right,
    b.u8(7).u8(7).u8(0).u8(0).u8(0).u8(1);    // whose run lands outside the row
    DecodedBitmap out;
    ASSERT_EQ(Check(b.data, 6, 3, &out), BitmapStatus::Ok);
    EXPECT_EQ(out.pixelsTopDown, (std::vector<std::uint8_t>{6, 6, 0, 0, 0, 0,  // row 0
                                                            3, 4, 5, 6, 7, 8,  // row 1
                                                            1, 1, 1, 1, 1, 2}));
}

TEST(BitmapImport, DamagedRle8IsRefused) {
    const std::pair<std::vector<std::uint8_t>, BitmapStatus> cases[] = {
        {{4, 1, 0, 0, 4, 1, 0, 1}, BitmapStatus::Ok},
        {{4, 1, 0, 0, 4, 1, 0, 0, 1, 1}, BitmapStatus::TooShort},  // past the top row
        {{0, 3, 1, 2}, BitmapStatus::TooShort},                    // literal past the end
        {{4, 1}, BitmapStatus::TooShort},                          // no end of bitmap
        {{0, 2, 1}, BitmapStatus::TooShort},                       // delta cut short
        {{0, 2, 0, 5, 0, 1}, BitmapStatus::Ok},  // moving off the image is harmless
    };
    for (const auto& [codes, status] : cases) {
        Bytes b = BitmapHeaders(4, 2, 40, 0, 1);
        ColourTable(b, 256);
        b.data.insert(b.data.end(), codes.begin(), codes.end());
        EXPECT_EQ(Check(b.data, 4, 2), status) << codes.size();
    }
}

namespace {

// Palette entries as an image file holds them: black, red, blue, red again.
const std::vector<std::uint8_t> kEntries = {0, 0, 0, 9, 200, 0, 0, 9, 0, 0, 200, 9, 200, 0, 0, 9};

// A true-colour bitmap of w x 2 pixels by hand, bottom row first: 24-bit, 32-bit plain or
// 32-bit with the bit fields of a 108-byte header (alpha in the top byte).
Bytes ColourBitmap(int bits, bool fields, int w, const std::vector<std::uint32_t>& topDown) {
    const int header = fields ? 108 : 40;
    Bytes b;
    b.raw("BM").i32(0).i32(0).i32(14 + header).i32(header).i32(w).i32(2).i16(1);
    b.i16(static_cast<std::int16_t>(bits)).i32(fields ? 3 : 0).fill(20, 0);
    if (fields) {
        b.i32(0xFF0000).i32(0xFF00).i32(0xFF).i32(static_cast<std::int32_t>(0xFF000000u));
        b.fill(52, 0);
    }
    for (int y = 1; y >= 0; --y) {
        for (int x = 0; x < w; ++x) {
            const std::uint32_t p = topDown[static_cast<std::size_t>(y * w + x)];
            b.u8(static_cast<std::uint8_t>(BlueOf(p & 0xFFFFFF)))
                .u8(static_cast<std::uint8_t>(GreenOf(p & 0xFFFFFF)))
                .u8(static_cast<std::uint8_t>(RedOf(p & 0xFFFFFF)));
            if (bits == 32) {
                b.u8(fields ? static_cast<std::uint8_t>(p >> 24) : 0);  // plain: unused
            }
        }
        b.fill(static_cast<std::size_t>(bits == 24 ? RowPadding(3 * w) : 0), 0);
    }
    return b;
}

}  // namespace

TEST(TrueColourImport, EachColourTakesItsLowestIndexOrIsRefusedOrMappedToTheNearest) {
    const std::uint32_t red = PictureColour(200, 0, 0), blue = PictureColour(0, 0, 200);
    const std::uint32_t clear = PictureColour(0, 0, 200, 0);  // a fully transparent blue
    const std::vector<std::uint32_t> exact = {red, blue, PictureColour(0, 0, 0), clear, blue, red,
                                              red, blue};
    for (const auto& [bits, fields] : {std::pair{24, false}, {32, false}, {32, true}}) {
        SCOPED_TRACE(bits + fields);
        DecodedBitmap out;
        ASSERT_EQ(Check(ColourBitmap(bits, fields, 4, exact).data, 4, 2, &out), BitmapStatus::Ok);
        ASSERT_TRUE(MatchColours(out, kEntries, ColourMatch::Exact).ok());
        // Red is entries 1 and 3; the transparent pixel is 0 where alpha is kept, and blue
        // where a bitmap has none (a plain 32-bit bitmap's fourth byte is not alpha).
        const std::uint8_t transparent = fields ? 0 : 2;
        EXPECT_EQ(out.pixelsTopDown, (std::vector<std::uint8_t>{1, 2, 0, transparent, 2, 1, 1, 2}));
        EXPECT_TRUE(out.colourPixels.empty());
    }
    // Two colours missing: the count and the first one's pixel, left to right, top down.
    const std::vector<std::uint32_t> off = {red,
                                            red,
                                            blue,
                                            blue,
                                            red,
                                            PictureColour(100, 0, 100),
                                            PictureColour(190, 10, 0),
                                            PictureColour(100, 0, 100)};
    DecodedBitmap out;
    ASSERT_EQ(Check(ColourBitmap(24, false, 4, off).data, 4, 2, &out), BitmapStatus::Ok);
    const Status refused = MatchColours(out, kEntries, ColourMatch::Exact);
    EXPECT_EQ(refused.error(),
              "2 colours of the picture are not in the image's palette, the first at pixel (1, "
              "1); map them to the nearest colours (a Map to Nearest Colours entry, or --nearest) "
              "to take it.");
    EXPECT_TRUE(out.pixelsTopDown.empty());
    // Nearest: (190, 10, 0) is red, entry 1 before 3; (100, 0, 100) is as far from black, red
    // and blue, so black.
    ASSERT_TRUE(MatchColours(out, kEntries, ColourMatch::Nearest).ok());
    EXPECT_EQ(out.pixelsTopDown, (std::vector<std::uint8_t>{1, 1, 2, 2, 1, 0, 1, 0}));
}
