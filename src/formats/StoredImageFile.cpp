#include "StoredImageFile.h"

#include <algorithm>
#include <climits>

#include "ByteWriter.h"
#include "ImageRecordWalk.h"
#include "SpanReader.h"

namespace krellon {

namespace {

// Bytes of the head before the file palette: signature, header word, image count, palette count.
constexpr std::size_t kHeadBytes = 16;
// Bytes of a record between its name and its palette: the name's end byte and five numbers.
constexpr std::size_t kRecordFields = 21;

// True when bytes (4 a stored entry) hold palette's colours, whatever their fourth bytes.
bool SameColours(std::span<const std::uint8_t> bytes, std::span<const ColourValue> palette) {
    if (bytes.size() != 4 * palette.size()) {
        return false;
    }
    for (std::size_t k = 0; k < palette.size(); ++k) {
        if (MakeColour(bytes[4 * k], bytes[4 * k + 1], bytes[4 * k + 2]) != palette[k]) {
            return false;
        }
    }
    return true;
}

Status NoImage(const StoredImageFile& file, std::size_t n) {
    return Status::failure("there is no image " + std::to_string(n) + "; the file has " +
                           std::to_string(file.images.size()));
}

bool Holds(const StoredImageFile& file, std::size_t n) {
    return n >= 1 && n <= file.images.size();
}

}  // namespace

Result<StoredImageFile> DecodeStoredImageFile(std::span<const std::uint8_t> bytes) {
    using R = Result<StoredImageFile>;
    if (bytes.size() < kHeadBytes) {
        return R::failure("the file ends before its header");
    }
    StoredImageFile file;
    file.signature.assign(reinterpret_cast<const char*>(bytes.data()), 4);
    file.headerWord = DecodeInt32(bytes.data() + 4);
    const std::int32_t count = DecodeInt32(bytes.data() + 8);
    const std::int32_t paletteCount = DecodeInt32(bytes.data() + 12);
    if (count < 0) {
        return R::failure("its image count " + std::to_string(count) + " is negative");
    }
    if (paletteCount < 0 || paletteCount > kPaletteSize) {
        return R::failure("not an image file: its file palette count " +
                          std::to_string(paletteCount) + " is outside 0 to 256");
    }
    const std::size_t recordsAt = kHeadBytes + 4 * static_cast<std::size_t>(paletteCount);
    if (bytes.size() < recordsAt) {
        return R::failure("the file ends inside its file palette");
    }
    file.filePalette.assign(bytes.begin() + kHeadBytes, bytes.begin() + recordsAt);

    SpanReader in(bytes, recordsAt);
    RecordWalk walk;
    walk.count = count;
    walk.limit = INT_MAX;
    const Status walked = WalkRecordHeads(in, walk, [&](const RecordHead& head) {
        const std::uint8_t* fields = bytes.data() + head.paletteOffset - kRecordFields;
        StoredImage& image = file.images.emplace_back();
        image.name = head.name;
        image.nameEnd = fields[0];
        image.width = head.width;
        image.height = head.height;
        image.spare1 = DecodeInt32(fields + 9);
        image.spare2 = DecodeInt32(fields + 13);
        image.palette.assign(bytes.data() + head.paletteOffset, bytes.data() + head.pixelOffset);
        image.pixels.assign(bytes.data() + head.pixelOffset, bytes.data() + in.position());
        return true;
    });
    if (!walked.ok()) {
        return R::failure(walked.error());
    }
    file.tail.assign(bytes.begin() + static_cast<std::ptrdiff_t>(in.position()), bytes.end());
    return R::success(std::move(file));
}

std::vector<std::uint8_t> EncodeStoredImageFile(const StoredImageFile& file) {
    std::size_t size = kHeadBytes + file.filePalette.size() + file.tail.size();
    for (const StoredImage& image : file.images) {
        size += 4 + image.name.size() + kRecordFields + image.palette.size() + image.pixels.size();
    }
    ByteWriter out;
    out.reserve(size);
    std::string signature = file.signature;
    signature.resize(4, '\0');
    out.writeBytes(signature);
    out.writeInt32(file.headerWord);
    out.writeInt32(static_cast<std::int32_t>(file.images.size()));
    out.writeInt32(static_cast<std::int32_t>(file.filePalette.size() / 4));
    out.writeBytes(file.filePalette.data(), file.filePalette.size());
    for (const StoredImage& image : file.images) {
        out.writeInt32(static_cast<std::int32_t>(image.name.size() + 1));
        out.writeBytes(image.name);
        out.writeByte(image.nameEnd);
        out.writeInt32(image.width);
        out.writeInt32(image.height);
        out.writeInt32(image.spare1);
        out.writeInt32(image.spare2);
        out.writeInt32(image.paletteCount());
        out.writeBytes(image.palette.data(), image.palette.size());
        out.writeBytes(image.pixels.data(), image.pixels.size());
    }
    out.writeBytes(file.tail.data(), file.tail.size());
    return out.take();
}

Status CheckImageName(std::string_view name) {
    if (name.empty() || name.size() > kMaxImageNameLength) {
        return Status::failure("an image name has 1 to " + std::to_string(kMaxImageNameLength) +
                               " characters; this one has " + std::to_string(name.size()));
    }
    for (const char c : name) {
        const auto b = static_cast<unsigned char>(c);
        // Control characters would not show, and a 0 would end the name early for the game.
        if (b < 0x20 || b == 0x7F || b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 ||
            b == 0x9D) {
            return Status::failure("an image name holds no control character");
        }
    }
    return Status::success();
}

Status CheckImageSize(std::int32_t width, std::int32_t height) {
    const auto side = [](std::int32_t v) { return v >= 1 && v <= kMaxImageSide; };
    if (!side(width) || !side(height)) {
        return Status::failure("the picture is " + std::to_string(width) + " x " +
                               std::to_string(height) + "; an image is 1 x 1 to " +
                               std::to_string(kMaxImageSide) + " x " +
                               std::to_string(kMaxImageSide));
    }
    return Status::success();
}

Status CheckImagePicture(const ImagePicture& picture) {
    if (const Status sized = CheckImageSize(picture.width, picture.height); !sized.ok()) {
        return sized;
    }
    if (picture.palette.empty() || picture.palette.size() > kPaletteSize) {
        return Status::failure("the picture's palette has " +
                               std::to_string(picture.palette.size()) +
                               " entries; an image's has 1 to 256");
    }
    if (picture.pixels.size() !=
        static_cast<std::size_t>(picture.width) * static_cast<std::size_t>(picture.height)) {
        return Status::failure("the picture's pixels do not fill its size");
    }
    return Status::success();
}

std::vector<std::uint8_t> PaletteBytes(std::span<const ColourValue> palette) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(4 * palette.size());
    for (const ColourValue c : palette) {
        bytes.insert(bytes.end(),
                     {static_cast<std::uint8_t>(RedOf(c)), static_cast<std::uint8_t>(GreenOf(c)),
                      static_cast<std::uint8_t>(BlueOf(c)), 0});
    }
    return bytes;
}

Result<StoredImage> MakeStoredImage(std::string name, const ImagePicture& picture) {
    using R = Result<StoredImage>;
    if (const Status named = CheckImageName(name); !named.ok()) {
        return R::failure(named.error());
    }
    if (const Status checked = CheckImagePicture(picture); !checked.ok()) {
        return R::failure(checked.error());
    }
    StoredImage image;
    image.name = std::move(name);
    image.width = picture.width;
    image.height = picture.height;
    image.palette = PaletteBytes(picture.palette);
    image.pixels = picture.pixels;
    return R::success(std::move(image));
}

Status InsertImage(StoredImageFile& file, std::size_t at, StoredImage image) {
    if (at < 1 || at > file.images.size() + 1) {
        return Status::failure("an image is inserted as image 1 to " +
                               std::to_string(file.images.size() + 1) + ", not " +
                               std::to_string(at));
    }
    if (file.images.size() >= static_cast<std::size_t>(INT_MAX)) {
        return Status::failure("the file holds as many images as it can count");
    }
    file.images.insert(file.images.begin() + static_cast<std::ptrdiff_t>(at - 1), std::move(image));
    return Status::success();
}

Status ReplaceImage(StoredImageFile& file, std::size_t n, const ImagePicture& picture) {
    if (!Holds(file, n)) {
        return NoImage(file, n);
    }
    if (const Status checked = CheckImagePicture(picture); !checked.ok()) {
        return checked;
    }
    StoredImage& image = file.images[n - 1];
    image.width = picture.width;
    image.height = picture.height;
    // A palette the image is already drawn with stays as stored, fourth bytes and all: a
    // picture matched against it changes the pixels only.
    const bool drawnWithFilePalette =
        image.palette.empty() && SameColours(file.filePalette, picture.palette);
    if (!drawnWithFilePalette && !SameColours(image.palette, picture.palette)) {
        image.palette = PaletteBytes(picture.palette);
    }
    image.pixels = picture.pixels;
    return Status::success();
}

std::span<const std::uint8_t> PaletteOfImage(const StoredImageFile& file, std::size_t n) {
    if (!Holds(file, n)) {
        return {};
    }
    const StoredImage& image = file.images[n - 1];
    return image.palette.empty() ? std::span<const std::uint8_t>(file.filePalette)
                                 : std::span<const std::uint8_t>(image.palette);
}

std::span<const std::uint8_t> PaletteForNewImage(const StoredImageFile& file, std::size_t at) {
    if (file.images.empty()) {
        return file.filePalette;
    }
    // The image it follows, or the first one when it goes first.
    return PaletteOfImage(file, std::clamp<std::size_t>(at, 2, file.images.size() + 1) - 1);
}

Status RemoveImage(StoredImageFile& file, std::size_t n) {
    if (!Holds(file, n)) {
        return NoImage(file, n);
    }
    file.images.erase(file.images.begin() + static_cast<std::ptrdiff_t>(n - 1));
    return Status::success();
}

Status RenameImage(StoredImageFile& file, std::size_t n, std::string name) {
    if (!Holds(file, n)) {
        return NoImage(file, n);
    }
    if (const Status named = CheckImageName(name); !named.ok()) {
        return named;
    }
    file.images[n - 1].name = std::move(name);
    return Status::success();
}

Status MoveImage(StoredImageFile& file, std::size_t from, std::size_t to) {
    if (!Holds(file, from)) {
        return NoImage(file, from);
    }
    if (!Holds(file, to)) {
        return Status::failure("image " + std::to_string(from) + " can move to 1 to " +
                               std::to_string(file.images.size()) + ", not " + std::to_string(to));
    }
    const auto first = file.images.begin();
    if (from < to) {
        std::rotate(first + static_cast<std::ptrdiff_t>(from - 1),
                    first + static_cast<std::ptrdiff_t>(from),
                    first + static_cast<std::ptrdiff_t>(to));
    } else {
        std::rotate(first + static_cast<std::ptrdiff_t>(to - 1),
                    first + static_cast<std::ptrdiff_t>(from - 1),
                    first + static_cast<std::ptrdiff_t>(from));
    }
    return Status::success();
}

}  // namespace krellon
