#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

#include "ImageFileBuilder.h"
#include "TestBytes.h"
#include "formats/ImageTransfer.h"
#include "storage/Cp1252.h"
#include "storage/FileNames.h"
#include "storage/FileSource.h"
#include "storage/Files.h"
#include "transfers/Pipeline.h"

using namespace krellon;

TEST(Files, WildcardsIgnoreLetterCase) {
    EXPECT_TRUE(WildcardMatch("*.img", "Bricks.img"));
    EXPECT_TRUE(WildcardMatch("*.img", ".img"));
    EXPECT_TRUE(WildcardMatch("*.bds", "a.b.bds"));
    EXPECT_FALSE(WildcardMatch("*.img", "Bricks.img.bak"));
    EXPECT_FALSE(WildcardMatch("*.img", "Bricksimg"));
    EXPECT_TRUE(WildcardMatch("?.bds", "x.BDS"));
    EXPECT_FALSE(WildcardMatch("?.bds", "xy.bds"));
}

TEST(Files, ListsRegularFilesOnly) {
    TempFolder dir;
    dir.write("a.img", {1});
    dir.write("B.IMG", {1});
    dir.write("c.bds", {1});
    std::filesystem::create_directory(dir / "folder.img");
    auto names = ListFiles(dir.path(), "*.img");
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"B.IMG", "a.img"}));
    EXPECT_TRUE(ListFiles(dir / "missing", "*.img").empty());
}

TEST(FileNames, EveryByteStringComesBackAsANameAndAsAWindows1252Text) {
    // Every single byte, then mixed runs of valid and invalid UTF-8.
    std::string all;
    for (int b = 0; b < 256; ++b) {
        const std::string bytes(1, static_cast<char>(b));
        EXPECT_EQ(BytesFromName(NameFromBytes(bytes)), bytes) << b;
        all += bytes;
    }
    // Windows-1252: all 256 bytes back, the euro sign at 0x80, an undefined byte as its own
    // control character, Latin-1 above 0xA0; what it cannot hold becomes "?".
    const QString text = FromCp1252(all);
    EXPECT_EQ(ToCp1252(text), all);
    EXPECT_EQ(text.mid(0x80, 2), QString::fromUtf8("\u20AC\u0081"));
    EXPECT_EQ(text[0xE9], QChar(0xE9));
    EXPECT_EQ(ToCp1252(QString::fromUtf8("\u20AC\u0436")), "\x80?");
    for (const std::string& bytes :
         {std::string("bad\xff.bds"), std::string("\xc3\xa9t\xc3\xa9.img"), std::string("\xe2\x82"),
          std::string("\xc0\xaf"), std::string("\xed\xa0\x80"), std::string("\xf4\x90\x80\x80"),
          std::string("\xf0\x9f\xa7\xb1 brick\xfe.img")}) {
        EXPECT_EQ(BytesFromName(NameFromBytes(bytes)), bytes);
    }
    EXPECT_EQ(NameFromBytes("\xc3\xa9t\xc3\xa9.img"), QString::fromUtf8("été.img"));
    EXPECT_EQ(ShownFileName(std::string_view("bad\xff.bds")), QString::fromUtf8("bad\uFFFD.bds"));
    EXPECT_EQ(ShownFileName(QString("new\nline\t.bds")),
              QString::fromUtf8("new\u23CEline\u2409.bds"));
    // What a board set file can name: Windows-1252 and nothing else.
    EXPECT_TRUE(StorableName(QString::fromUtf8("Brücke €.img")));
    EXPECT_FALSE(StorableName(QString::fromUtf8("кирпичи.img")));
    EXPECT_FALSE(StorableName(NameFromBytes("caf\xe9.img")));
}

TEST(Pipeline, StopsAtTheFirstFailureOnEitherSideWorkingOneItemAhead) {
    // Item 3 fails: made (0), taken (1) by its result, then made (2), taken (3) by a throw.
    for (int way = 0; way < 4; ++way) {
        std::size_t made = 0;
        std::vector<std::size_t> taken;
        const auto run = [&] {
            return RunPipeline<std::size_t>(
                10,
                [&](std::size_t i) {
                    ++made;
                    if (i == 3 && way == 2) {
                        throw std::runtime_error("produce");
                    }
                    return i == 3 && way == 0 ? Result<std::size_t>::failure("produce 3")
                                              : Result<std::size_t>::success(i);
                },
                [&](std::size_t i, std::size_t item) {
                    if (i == 3 && way == 3) {
                        throw std::runtime_error("consume");
                    }
                    taken.push_back(item);
                    return i == 3 && way == 1 ? Status::failure("consume 3") : Status::success();
                });
        };
        if (way >= 2) {
            EXPECT_THROW(run(), std::runtime_error) << way;
        } else {
            EXPECT_EQ(run().error(), way == 0 ? "produce 3" : "consume 3");
        }
        EXPECT_EQ(taken.size(), way == 1 ? 4u : 3u) << way;
        EXPECT_EQ(made, way % 2 == 0 ? 4u : 5u) << way;
    }
    EXPECT_TRUE(
        RunPipeline<int>(
            0, [](std::size_t) -> int { throw 1; }, [](std::size_t, int) -> bool { throw 1; })
            .ok());
}

TEST(Files, AFileCutShortWhileReadIsAReadErrorNotZeros) {
    TempFolder dir;
    dir.write("pics.img",
              BuildImageFile({{"pic", 8, 4, {}, std::vector<std::uint8_t>(32, 7)}}, GreyPalette()));
    FileSource file;
    ASSERT_TRUE(file.open(dir / "pics.img"));
    const auto index = IndexImageFile(file);
    ASSERT_TRUE(index && index->records.size() == 1);
    const ImageRecord record = index->records[0];
    // Past the end of the file reads as zeros, and is no error.
    std::vector<std::uint8_t> block(6, 1);
    EXPECT_TRUE(ReadBlock(file, file.size() - 2, block));
    EXPECT_EQ(block, (std::vector<std::uint8_t>{7, 7, 0, 0, 0, 0}));
    // The file cut inside the pixels, then inside its palette, after it was opened.
    std::filesystem::resize_file(dir / "pics.img", record.PixelOffset + 10);
    std::vector<std::uint8_t> pixels(32);
    EXPECT_FALSE(ReadBlock(file, record.PixelOffset, pixels));
    EXPECT_FALSE(ReadImagePixels(file, record));
    std::vector<std::uint8_t> all;
    EXPECT_FALSE(ReadAll(file, all));
    EXPECT_TRUE(all.empty());
    std::filesystem::resize_file(dir / "pics.img", 100);
    EXPECT_FALSE(ReadImageHeader(file));
}
