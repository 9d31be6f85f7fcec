#pragma once

#include <QString>
#include <filesystem>

#include "formats/ByteSource.h"

namespace krellon::cli {

enum class FileKind { BoardSet, ImageFile };

// What the file at path, opened as file, is taken for: by its extension (".bds", ".img", any
// letter case), else a file that reads as a board set is one and any other an image file.
FileKind KindOf(const std::filesystem::path& path, const ByteSource& file);

// The folder a file lies in, where its set finds its image files.
std::filesystem::path FolderOf(const std::filesystem::path& path);

}  // namespace krellon::cli
