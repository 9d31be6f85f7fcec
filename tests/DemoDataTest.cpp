#include <gtest/gtest.h>

#include "DemoData.h"
#include "TestBytes.h"
#include "formats/ImageFile.h"
#include "storage/FileSource.h"

using namespace krellon;

namespace {

std::vector<ImageRecord> WalkFile(const std::filesystem::path& path, ImageFileHeader& header) {
    FileSource source;
    EXPECT_TRUE(source.open(path));
    header = *ReadImageHeader(source);
    return WalkImageFile(source, header);
}

}  // namespace

TEST(DemoData, FolderHoldsWhatTheEditorNeeds) {
    TempFolder dir;
    const auto written = WriteDemoFolder(dir.path());
    EXPECT_EQ(written.size(), 6u);

    ImageFileHeader header;
    const auto bricks = WalkFile(dir / kDemoBrickSet, header);
    EXPECT_EQ(static_cast<int>(bricks.size()), header.imageCount);
    EXPECT_GT(bricks.size(), 64u);
    EXPECT_LE(bricks.size(), 119u);
    EXPECT_TRUE(
        std::any_of(bricks.begin(), bricks.end(), [](auto& r) { return r.Name == "Hidden"; }));
    for (const auto& r : bricks) {
        EXPECT_EQ(r.Width, 30);
        EXPECT_EQ(r.Height, 15);
        EXPECT_EQ(r.PaletteCount, 256);
    }

    const auto probe = [&](const char* name) {
        FileSource source;
        EXPECT_TRUE(source.open(dir / name));
        return *ProbeFirstImage(source);
    };
    EXPECT_EQ(probe(kDemoBrickSet), std::make_pair(30, 15));
    EXPECT_EQ(probe(kDemoBackgrounds64), std::make_pair(64, 64));
    EXPECT_EQ(probe(kDemoBackgrounds128), std::make_pair(128, 128));
    EXPECT_EQ(probe(kDemoTitle), std::make_pair(320, 200));

    const auto backgrounds = WalkFile(dir / kDemoBackgrounds64, header);
    const auto read = [&](const char* name) {
        FileSource source;
        EXPECT_TRUE(source.open(dir / name));
        return DecodeBoardSet(source);
    };
    const auto set = read(kDemoBoardSet);
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
    EXPECT_TRUE(read(kDemoSecondBoardSet).ok());
}

TEST(DemoData, ExistingFilesAreKept) {
    TempFolder dir;
    dir.write(kDemoBoardSet, {1, 2, 3});
    const auto written = WriteDemoFolder(dir.path());
    EXPECT_EQ(written.size(), 5u);
    EXPECT_EQ(dir.read(kDemoBoardSet), (std::vector<std::uint8_t>{1, 2, 3}));
}
