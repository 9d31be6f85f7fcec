#include "FileKinds.h"

#include "formats/BoardSetFile.h"
#include "storage/FileNames.h"

namespace krellon::cli {

FileKind KindOf(const std::filesystem::path& path, const ByteSource& file) {
    const QString extension = NameFromPath(path.extension()).toLower();
    if (extension == ".bds") {
        return FileKind::BoardSet;
    }
    if (extension == ".img") {
        return FileKind::ImageFile;
    }
    return DecodeBoardSet(file).ok() ? FileKind::BoardSet : FileKind::ImageFile;
}

std::filesystem::path FolderOf(const std::filesystem::path& path) {
    const std::filesystem::path folder = path.parent_path();
    return folder.empty() ? std::filesystem::path(".") : folder;
}

}  // namespace krellon::cli
