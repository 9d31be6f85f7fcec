#include <gtest/gtest.h>

#include "DemoData.h"
#include "TestBytes.h"
#include "formats/ImageFile.h"
#include "storage/FileSource.h"

using namespace krellon;

TEST(DemoData, FolderHoldsWhatTheEditorNeedsAndKeepsFilesThatExist) {
    TempFolder dir;
    dir.write(kDemoSecondBoardSet, {1, 2, 3});
    EXPECT_EQ(WriteDemoFolder(dir.path()).size(), 5u);
    EXPECT_EQ(dir.read(kDemoSecondBoardSet), (std::vector<std::uint8_t>{1, 2, 3}));
    std::filesystem::remove(dir / kDemoSecondBoardSet);
    EXPECT_EQ(WriteDemoFolder(dir.path()).size(), 1u);

    FileSource source;
    const auto open = [&](const char* name) -> const ByteSource& {
        EXPECT_TRUE(source.open(dir / name)) << name;
        return source;
    };
    const auto walk = [&](const char* name) {
        const auto header = ReadImageHeader(open(name));
        EXPECT_TRUE(header) << name;
        auto records = header ? WalkImageFile(source, *header) : std::vector<ImageRecord>{};
        EXPECT_EQ(static_cast<int>(records.size()), header ? header->imageCount : -1) << name;
        return records;
    };
    const auto bricks = walk(kDemoBrickSet);
    EXPECT_GT(bricks.size(), 64u);
    EXPECT_LE(bricks.size(), 119u);
    EXPECT_TRUE(std::ranges::any_of(bricks, [](auto& r) { return r.Name == "Hidden"; }));
    for (const auto& r : bricks) {
        EXPECT_EQ(std::tuple(r.Width, r.Height, r.PaletteCount), std::tuple(30, 15, 256));
    }
    const std::pair<const char*, std::pair<int, int>> firstImages[] = {
        {kDemoBrickSet, {30, 15}},
        {kDemoBackgrounds64, {64, 64}},
        {kDemoBackgrounds128, {128, 128}},
        {kDemoTitle, {320, 200}},
    };
    for (const auto& [name, size] : firstImages) {
        EXPECT_EQ(ProbeFirstImage(open(name)), size) << name;
    }

    // The demo set shows what the editor does with a background and bricks the files lack.
    const auto backgrounds = walk(kDemoBackgrounds64);
    const auto set = DecodeBoardSet(open(kDemoBoardSet));
    ASSERT_TRUE(set.ok());
    EXPECT_GE(set.value().boards.size(), 3u);
    bool lacksBackground = false;
    bool missingBrick = false;
    for (const Board& board : set.value().boards) {
        lacksBackground |= board.background >= static_cast<int>(backgrounds.size());
        for (int code : board.cells) {
            missingBrick |= code > static_cast<int>(bricks.size());
        }
    }
    EXPECT_TRUE(lacksBackground);
    EXPECT_TRUE(missingBrick);
    EXPECT_TRUE(DecodeBoardSet(open(kDemoSecondBoardSet)).ok());
}
