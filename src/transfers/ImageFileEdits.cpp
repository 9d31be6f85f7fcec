#include "ImageFileEdits.h"

#include <algorithm>
#include <array>

#include "ImageTransfers.h"
#include "formats/PictureSize.h"
#include "storage/FileNames.h"
#include "storage/FileSource.h"
#include "storage/FileWrites.h"

namespace krellon {

Status ReadImagePicture(const std::filesystem::path& path, ImagePicture& picture,
                        std::span<const std::uint8_t> matchPalette, ColourMatch match) {
    const auto format = ImageFormatOfName(NameFromPath(path));
    FileSource source;
    if (!format || !source.open(path)) {
        return Status::failure(format ? "File not found." : "the picture is a .bmp or .png file");
    }
    std::array<std::uint8_t, kPictureSizeBytes> head{};
    const auto size = PictureSize({head.data(), source.readAt(0, head)});
    if (!size) {
        return Status::failure(*format == ImageFormat::Png ? "Not a PNG file." : "Not a BMP file.");
    }
    // The size is checked before any pixels are decoded: a header can claim gigabytes.
    if (const Status sized = CheckImageSize(size->first, size->second); !sized.ok()) {
        return sized;
    }
    picture.width = size->first;
    picture.height = size->second;
    ImageRecord record;
    record.Width = picture.width;
    record.Height = picture.height;
    DecodedBitmap decoded;
    if (const Status read = DecodeForImport(path, *format, record, {}, ColourMatch::Keep, decoded);
        !read.ok()) {
        return read;
    }
    // A true-colour picture takes the palette it is matched against, every colour one of it.
    if (!decoded.colourPixels.empty() && !matchPalette.empty()) {
        if (const Status matched = MatchColours(decoded, matchPalette, match); !matched.ok()) {
            return matched;
        }
        picture.palette.clear();
        for (std::size_t k = 0; k + 3 < matchPalette.size(); k += 4) {
            picture.palette.push_back(
                MakeColour(matchPalette[k], matchPalette[k + 1], matchPalette[k + 2]));
        }
        picture.pixels = std::move(decoded.pixelsTopDown);
        return CheckImagePicture(picture);
    }
    // Otherwise a new image brings its own palette: a true-colour picture has none to bring.
    if (!decoded.colourPixels.empty()) {
        return Status::failure(
            "A true-colour picture takes the palette of an image; there is none to take it from "
            "(give an 8-bit BMP or a palette PNG).");
    }
    const auto count = static_cast<std::size_t>(std::clamp(decoded.colourCount, 0, kPaletteSize));
    picture.palette.assign(decoded.colours.begin(),
                           decoded.colours.begin() + static_cast<std::ptrdiff_t>(count));
    picture.pixels = std::move(decoded.pixelsTopDown);
    return CheckImagePicture(picture);
}

Status EditImageFile(const std::filesystem::path& path,
                     const std::function<Status(StoredImageFile&)>& change, const QString& reason) {
    std::vector<std::uint8_t> bytes;
    {
        FileSource source;
        if (!source.open(path)) {
            return Status::failure("the image file cannot be opened");
        }
        if (!ReadAll(source, bytes)) {
            return Status::failure("the image file could not be read whole");
        }
    }
    auto model = DecodeStoredImageFile(bytes);
    if (!model) {
        return Status::failure(model.error());
    }
    if (const Status changed = change(*model); !changed.ok()) {
        return changed;
    }
    const Status written = ReplaceFile(path, EncodeStoredImageFile(*model), reason);
    return written.ok() ? written : Status::failure(ReasonText(written).toStdString());
}

}  // namespace krellon
