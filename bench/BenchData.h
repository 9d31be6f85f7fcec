#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace krellon::bench {

// File names of the benchmark's working folder: the largest valid data of each kind.
inline constexpr const char* kBoardSet = "Full.bds";            // 100 boards full of bricks
inline constexpr const char* kBrickSet = "Bricks119.img";       // 119 bricks
inline constexpr const char* kBackgrounds128 = "Backs128.img";  // 69 images of 128 x 128
inline constexpr const char* kBackgrounds64 = "Backs64.img";    // 69 images of 64 x 64
inline constexpr const char* kImages256 = "Images256.img";      // 119 images of 256 x 256
inline constexpr const char* kHugeImage = "Huge.img";           // one image of 1024 x 1024
inline constexpr int kImageFiles = 1000;
inline constexpr int kBoardSetFiles = 200;

// Writes the folder: the files above, then small image files and copies of the board set up
// to 1000 image files and 200 board set files. Board 1 holds every brick code in turn,
// board 2 only the hidden brick, board 3 none.
void WriteBenchFolder(const std::filesystem::path& dir);

// --- What no implementation can beat on this machine ---

// Opens, reads whole and closes each file; returns the bytes read.
std::uint64_t ReadFiles(const std::vector<std::filesystem::path>& files);
// Opens, reads the first `bytes` bytes and closes each file.
std::uint64_t ReadFilePrefixes(const std::vector<std::filesystem::path>& files, std::size_t bytes);
// Opens the file once and reads `bytes` bytes at each offset, then closes it.
std::uint64_t ReadBlocksAt(const std::filesystem::path& file,
                           const std::vector<std::uint64_t>& offsets, std::size_t bytes);
// Where the records of an image file begin, found once before timing.
std::vector<std::uint64_t> RecordOffsets(const std::filesystem::path& file);
// Creates the file, writes the bytes, flushes them to disk unless told not to (a backup copy
// is not flushed) and closes it.
void WriteFileFlushed(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes,
                      bool flush = true);
inline void WriteFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    WriteFileFlushed(path, bytes, false);
}
// Appends `bytes` bytes to the file in one write, without flushing.
void AppendToFile(const std::filesystem::path& path, std::size_t bytes);
// The names of the folder's entries, as the directory returns them.
std::size_t ListFolder(const std::filesystem::path& dir);

// The resident memory of this process in kB.
long ResidentKilobytes();

}  // namespace krellon::bench
