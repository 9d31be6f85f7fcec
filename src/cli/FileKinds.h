#pragma once

#include <QString>
#include <filesystem>

namespace krellon::cli {

enum class FileKind { BoardSet, ImageFile };

// What a file is taken for: by its extension (".bds", ".img", any letter case), else a file
// that reads as a board set is one and any other an image file.
FileKind KindOf(const std::filesystem::path& path);

// The folder a file lies in, where its set finds its image files.
std::filesystem::path FolderOf(const std::filesystem::path& path);

}  // namespace krellon::cli
