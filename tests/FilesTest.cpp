#include <gtest/gtest.h>

#include <algorithm>

#include "TestBytes.h"
#include "platform/Files.h"

using namespace krellon;

TEST(Files, WildcardsIgnoreLetterCase) {
    EXPECT_TRUE(WildcardMatch("*.img", "Bricks.img"));
    EXPECT_TRUE(WildcardMatch("*.img", "BRICKS.IMG"));
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
