// The brick sheet as DrawBrickSet draws it, pixel for pixel against the plain walk: every record
// through WalkImageRecords, its pixels read and drawn through Colours, on whole and damaged files.
#include <gtest/gtest.h>

#include <QImage>
#include <cstring>

#include "ImageFileBuilder.h"
#include "TestBytes.h"
#include "formats/ByteSource.h"
#include "formats/ImageFile.h"
#include "render/BoardLook.h"
#include "render/ImageSets.h"
#include "render/Raster.h"

namespace krellon {
namespace {

constexpr int kSheetWidth = 561;
constexpr int kSheetHeight = 167;

QImage BlankSheet() {
    QImage sheet(kSheetWidth, kSheetHeight, QImage::Format_RGB32);
    sheet.fill(0xFF123456u);
    return sheet;
}

// The sheet and names as the plain walk gives them.
std::vector<std::string> Reference(const ByteSource& file, QImage& sheet) {
    std::vector<std::string> names;
    const auto header = ReadImageHeader(file);
    if (!header) {
        return names;
    }
    RecordWalk walk;
    walk.count = header->imageCount;
    walk.limit = render::kMaxBrickCode;
    walk.fixedPixelBytes = render::kCellWidth * render::kCellHeight;
    const auto records = WalkImageRecords(file, walk);
    std::vector<std::uint8_t> pixels(render::kCellWidth * render::kCellHeight);
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (!ReadBlock(file, records[i].PixelOffset, pixels)) {
            break;
        }
        names.push_back(records[i].Name);
        const int k = static_cast<int>(i) + 1;
        const Palette& palette =
            records[i].PaletteCount > 0 ? records[i].Palette : header->filePalette;
        raster::PutIndexed(sheet, render::SlotLeft(k), render::SlotTop(k), render::kCellWidth,
                           render::kCellHeight, pixels.data(), render::Colours(palette));
    }
    return names;
}

void ExpectSameAsReference(const std::vector<std::uint8_t>& bytes, const std::string& what) {
    SCOPED_TRACE(what);
    const MemorySource file(bytes);
    QImage expected = BlankSheet();
    const auto expectedNames = Reference(file, expected);
    QImage drawn = BlankSheet();
    const auto names = render::DrawBrickSet(file, drawn);
    EXPECT_EQ(names, expectedNames);
    EXPECT_TRUE(drawn == expected);
}

// Bricks with palettes of their own (some shared, some partial), and some without.
std::vector<ImageSpec> Bricks(int count) {
    std::vector<ImageSpec> bricks;
    for (int i = 1; i <= count; ++i) {
        ImageSpec brick{"Brick " + std::to_string(i), 30, 15, {}, {}};
        if (i % 3 != 0) {
            const int entries = i % 5 == 0 ? 17 : 256;
            const int seed = i % 7 == 0 ? 7 : i;  // every seventh the same palette
            for (int p = 0; p < entries; ++p) {
                brick.palette.push_back(
                    MakeColour((p * seed) % 256, (p + 3 * seed) % 256, (255 - p + seed) % 256));
            }
        }
        for (int p = 0; p < 30 * 15; ++p) {
            brick.pixels.push_back(static_cast<std::uint8_t>((p * 7 + i * 13) % 256));
        }
        bricks.push_back(brick);
    }
    return bricks;
}

TEST(BrickSheetTest, WholeCutAndDamagedSetsAreDrawnAsThePlainWalkDrawsThem) {
    // Whole sets: 119 bricks, more than 119, a few, none; then 5 MB after them, read a block
    // at a time.
    for (const int count : {119, 130, 5, 0}) {
        ExpectSameAsReference(BuildImageFile(Bricks(count), GreyPalette()),
                              std::to_string(count) + " bricks");
    }
    auto large = BuildImageFile(Bricks(119), GreyPalette());
    large.resize(large.size() + (5u << 20), 0xAB);
    ExpectSameAsReference(large, "119 bricks and 5 MB after them");
    // Cut short anywhere.
    const auto four = BuildImageFile(Bricks(4), GreyPalette());
    for (std::size_t size = 0; size < four.size(); size += size < 1100 ? 97 : 1) {
        ExpectSameAsReference({four.begin(), four.begin() + static_cast<std::ptrdiff_t>(size)},
                              "cut at " + std::to_string(size));
    }
    // Damaged numbers: the second record's name length, then its palette count, then the
    // header's image count.
    const auto six = BuildImageFile(Bricks(6), GreyPalette());
    RecordWalk walk;
    walk.count = 6;
    const auto record2 =
        static_cast<std::size_t>(WalkImageRecords(MemorySource(six), walk).at(1).PaletteOffset);
    const std::size_t nameLength = record2 - 20 - std::strlen("Brick 2") - 1 - 4;
    for (const std::int32_t value : {0, -1, 1, 2, 1 << 30, 300, 257}) {
        for (const std::size_t at : {nameLength, record2 - 4, std::size_t{8}}) {
            auto bytes = six;
            std::memcpy(bytes.data() + at, &value, 4);
            ExpectSameAsReference(bytes, std::to_string(value) + " at " + std::to_string(at));
        }
    }
}

TEST(BrickSheetTest, ALookReadingSetAfterSetDrawsEachAsAFreshLookDoes) {
    // The sheet is drawn again in place: the slots of a larger set read before must not stay,
    // whether a surface still shows the last sheet or not.
    TempFolder folder;
    for (const int count : {9, 3, 0, 7}) {
        folder.write(std::to_string(count) + ".img", BuildImageFile(Bricks(count), GreyPalette()));
    }
    render::BoardLook look;
    QImage shown;
    for (const int count : {9, 3, 9, 0, 7, 3}) {
        const QString name = QString::number(count) + ".img";
        look.readBricks(name, folder.path());
        render::BoardLook fresh;
        fresh.readBricks(name, folder.path());
        EXPECT_EQ(look.brickCount(), count);
        EXPECT_TRUE(look.sheet() == fresh.sheet()) << count;
        if (count == 9) {
            shown = look.sheet();  // a surface keeps the sheet of the first 9
        }
    }
    render::BoardLook nine;
    nine.readBricks("9.img", folder.path());
    EXPECT_TRUE(shown == nine.sheet());
}

}  // namespace
}  // namespace krellon
