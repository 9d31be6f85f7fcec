#pragma once

#include <QString>
#include <filesystem>
#include <functional>
#include <span>

#include "formats/ImageTransfer.h"
#include "formats/Result.h"
#include "formats/StoredImageFile.h"

namespace krellon {

// Reads a BMP or PNG picture for a new or a replacing image: its size checked from its header
// before any pixel is decoded, and its palette and pixels taken as they are. A true-colour
// picture takes matchPalette (entries as an image file holds them) when every colour of it is
// one of that palette's, or with ColourMatch::Nearest whatever its colours; it is refused
// without one: it brings no palette of its own.
Status ReadImagePicture(const std::filesystem::path& path, ImagePicture& picture,
                        std::span<const std::uint8_t> matchPalette = {},
                        ColourMatch match = ColourMatch::Exact);

// Reads the whole image file at path, makes change to it and replaces it (its earlier version
// kept among the backups, as reason). Nothing is written when it cannot be read or change
// refuses; every byte change does not touch stays as it was.
Status EditImageFile(const std::filesystem::path& path,
                     const std::function<Status(StoredImageFile&)>& change, const QString& reason);

}  // namespace krellon
