#pragma once

#include <QString>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "formats/Bitmap.h"
#include "formats/ImageFile.h"
#include "formats/ImageTransfer.h"
#include "formats/Result.h"

// Images of an image file out to BMP or PNG files and back, one or all at once: what the
// explorer's menu and the command line both do. File and folder names are as FileNames.h holds
// them, so a name that is not UTF-8 still names its file.
namespace krellon {

enum class ImageFormat { Bmp, Png };

// The format a file name asks for by its extension (".bmp", ".png", any letter case).
std::optional<ImageFormat> ImageFormatOfName(const QString& name);

// The name of image number n (1-based) among all images of a file: "001-Stone.png", the
// characters that cannot stand in a file name replaced by "_", the extension added unless the
// name has it.
QString AllImagesName(int n, const std::string& name, ImageFormat format);

// The file of an image's pixels (width x height indices, top row first) drawn with palette: a
// bitmap byte for byte as the explorer exports it, or an 8-bit palette PNG.
std::vector<std::uint8_t> EncodeImage(const ImageRecord& record, const Palette& palette,
                                      std::span<const std::uint8_t> pixels, ImageFormat format);

// Reads a BMP or PNG at path for import into record (no more of it than an image of that size
// can take), a true-colour one turned into indices of the palette whose entries an import
// writes over (ImportChange::palette) by match; a failure gives the message of the first check
// it fails.
Status DecodeForImport(const std::filesystem::path& path, ImageFormat format,
                       const ImageRecord& record, std::span<const std::uint8_t> paletteEntries,
                       ColourMatch match, DecodedBitmap& decoded);

// Which file a path names and when it last changed, as the file system tells it.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t modifiedSeconds = 0;
    std::int64_t modifiedNanoseconds = 0;
    bool operator==(const FileIdentity&) const = default;
};
std::optional<FileIdentity> IdentityOf(const std::filesystem::path& path);

// An image as the explorer shows it: its file's identity when it was read, its number and
// record as listed, and the bytes that an import into it writes over (the palette it is drawn
// with and its pixels) as they were then.
struct ShownImage {
    FileIdentity file;
    int number = 0;
    ImageRecord record;
    ImportChange bytes;
};

// Reads image number (1-based, record as listed) of the file at path as it is shown; nothing
// when the file cannot be opened or the image's bytes do not lie inside it.
std::optional<ShownImage> ReadShownImage(const std::filesystem::path& path, int number,
                                         const ImageRecord& record);

// True when file, opened from path, still is the file that was shown and holds the image as
// it was shown: a file replaced meanwhile, even by one of the same layout, is not.
bool StillShown(const std::filesystem::path& path, const ByteSource& file, const ShownImage& shown);

// Why a transfer failed: the file at fault and the reason.
struct TransferFailure {
    QString file;
    QString reason;
    bool replaced = false;  // the image file is no longer the one shown
};
// How a transfer ends: a failure names its file.
using TransferStatus = Result<void, TransferFailure>;

// Writes image n (1-based) of imageFile (shown as shownName) to out: a BMP byte for byte as the
// explorer exports it, or an 8-bit palette PNG of its indices and the palette it is drawn with.
TransferStatus ExportImage(const QString& imageFile, int n, const QString& out, ImageFormat format);

// Writes every image of imageFile into folder (made when missing) under AllImagesName.
TransferStatus ExportAllImages(const QString& imageFile, const QString& folder, ImageFormat format);

// The images a folder holds for an import of all: every NNN-*.bmp and NNN-*.png by number.
// Two files for one number are refused.
TransferStatus ImagesInFolder(const QString& folder, std::map<int, QString>& sources);

// Imports every file of sources (image number to a BMP or PNG file) into imageFile with the
// explorer's checks: all are read and checked first, then the image file is replaced once,
// atomically, keeping what it held among the backups. One bad file and nothing changes; nor
// does anything when shown is given and the image file no longer holds it (StillShown). True-
// colour pictures are matched to each image's palette by match.
TransferStatus ImportImages(const QString& imageFile, const std::map<int, QString>& sources,
                            const ShownImage* shown = nullptr,
                            ColourMatch match = ColourMatch::Exact);

}  // namespace krellon
