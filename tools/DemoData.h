#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "formats/BoardSetFile.h"

namespace krellon {

// File names of the demo working folder.
inline constexpr const char* kDemoBrickSet = "Bricks.img";
inline constexpr const char* kDemoBackgrounds64 = "Backs64.img";
inline constexpr const char* kDemoBackgrounds128 = "Backs128.img";
inline constexpr const char* kDemoTitle = "Title.img";
inline constexpr const char* kDemoBoardSet = "Demo.bds";
inline constexpr const char* kDemoSecondBoardSet = "Second.bds";

// The demo board sets: six boards over Bricks.img and Backs64.img (board 5 names a background
// the set lacks and holds a code above the brick count), and three boards over Backs128.img.
BoardSetContent DemoBoardSet();
BoardSetContent DemoSecondBoardSet();

// The bytes of each demo image file.
std::vector<std::uint8_t> DemoBrickSetFile();
std::vector<std::uint8_t> DemoBackgroundFile(int size);
std::vector<std::uint8_t> DemoTitleFile();

// Writes the demo working folder into dir, creating it. Files that exist already are kept,
// so a user's edits survive. Returns the names written; throws on a write that fails.
std::vector<std::string> WriteDemoFolder(const std::filesystem::path& dir);

// Writes the seed corpora of the fuzz targets: dir/boardset, dir/imagefile, dir/bitmap and
// dir/loaders.
void WriteSeedCorpora(const std::filesystem::path& dir);

}  // namespace krellon
