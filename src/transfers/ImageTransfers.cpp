#include "ImageTransfers.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <array>
#include <vector>

#include "Pipeline.h"
#include "formats/ImageTransfer.h"
#include "formats/PngImage.h"
#include "storage/Cp1252.h"
#include "storage/FileNames.h"
#include "storage/FileSource.h"
#include "storage/FileWrites.h"
#include "storage/Files.h"
#include "storage/System.h"

namespace krellon {

namespace {

// The name of a file of folder.
QString InFolder(const QString& folder, const QString& name) {
    return NameFromPath(PathFromName(folder) / PathFromName(name));
}

TransferStatus Failure(const QString& file, const QString& reason) {
    return TransferStatus::failure({file, reason});
}

// An image file opened and listed.
struct ListedImages {
    FileSource file;
    ImageFileIndex index;
};

TransferStatus OpenImages(const QString& name, ListedImages& images) {
    if (!images.file.open(PathFromName(name))) {
        return Failure(name, "the file cannot be opened");
    }
    auto index = IndexImageFile(images.file);
    if (!index) {
        return Failure(name, "the file ends before its header");
    }
    if (index->records.empty()) {
        return Failure(name, "the file holds no image");
    }
    images.index = std::move(*index);
    return TransferStatus::success();
}

// Encodes image i as format; a failure when its pixels lie past the end of the file.
Result<std::vector<std::uint8_t>> EncodeImage(const ListedImages& images, std::size_t i,
                                              ImageFormat format) {
    const ImageRecord& record = images.index.records[i];
    const auto pixels = ReadImagePixels(images.file, record);
    if (!pixels) {
        return Result<std::vector<std::uint8_t>>::failure("image " + std::to_string(i + 1) +
                                                          ": the file ends inside its pixels");
    }
    return Result<std::vector<std::uint8_t>>::success(
        EncodeImage(record, DrawnPalette(images.index, record), *pixels, format));
}

QString ExportReason(const QString& imageFile, std::size_t i) {
    return QString("Export of image %1 of %2").arg(i + 1).arg(QFileInfo(imageFile).fileName());
}

TransferStatus WriteImage(const ListedImages& images, const QString& imageFile, std::size_t i,
                          const QString& out, ImageFormat format) {
    const auto bytes = EncodeImage(images, i, format);
    if (!bytes.ok()) {
        return Failure(imageFile, QString::fromStdString(bytes.error()));
    }
    const Status written =
        ReplaceFile(PathFromName(out), bytes.value(), ExportReason(imageFile, i));
    if (!written.ok()) {
        return Failure(out, ReasonText(written));
    }
    return TransferStatus::success();
}

// The bytes an import into record writes over, as file holds them now: an import of the
// record's own pixels that brings no colours changes nothing.
Result<ImportChange> BytesUnder(const ByteSource& file, const ImageRecord& record) {
    auto pixels = ReadImagePixels(file, record);
    if (!pixels) {
        return Result<ImportChange>::failure(pixels.error());
    }
    DecodedBitmap asIs;
    asIs.pixelsTopDown = std::move(*pixels);
    return PlanImport(file, record, std::move(asIs));
}

}  // namespace

std::optional<FileIdentity> IdentityOf(const std::filesystem::path& path) {
    const sys::FileInfo info = sys::infoOf(path);
    if (info.kind == sys::FileKind::Missing) {
        return std::nullopt;
    }
    return FileIdentity{info.id.volume, info.id.file, info.size, info.modifiedSeconds,
                        info.modifiedNanoseconds};
}

std::optional<ShownImage> ReadShownImage(const std::filesystem::path& path, int number,
                                         const ImageRecord& record) {
    // The identity is taken before the bytes are read: a file changed in between then
    // differs at import, and is read again rather than written.
    const auto identity = IdentityOf(path);
    FileSource file;
    if (!identity || !file.open(path)) {
        return std::nullopt;
    }
    auto bytes = BytesUnder(file, record);
    if (!bytes) {
        return std::nullopt;
    }
    return ShownImage{*identity, number, record, std::move(*bytes)};
}

bool StillShown(const std::filesystem::path& path, const ByteSource& file,
                const ShownImage& shown) {
    if (IdentityOf(path) != shown.file || file.size() != shown.file.size ||
        !RecordIsAsListed(file, shown.number, shown.record)) {
        return false;
    }
    // A copy put in place with the old times, or written over in place, is told by its bytes.
    const auto now = BytesUnder(file, shown.record);
    return now && now->paletteStart == shown.bytes.paletteStart &&
           now->palette == shown.bytes.palette && now->pixels == shown.bytes.pixels;
}

std::vector<std::uint8_t> EncodeImage(const ImageRecord& record, const Palette& palette,
                                      std::span<const std::uint8_t> pixels, ImageFormat format) {
    return format == ImageFormat::Png
               ? EncodePalettePng(record.Width, record.Height, palette, pixels)
               : EncodeBitmap(record.Width, record.Height, palette, pixels);
}

Status DecodeForImport(const std::filesystem::path& path, ImageFormat format,
                       const ImageRecord& record, std::span<const std::uint8_t> paletteEntries,
                       ColourMatch match, DecodedBitmap& decoded) {
    FileSource source;
    if (!source.open(path)) {
        return Status::failure("File not found.");
    }
    // The codecs' kinds of refusal become their messages here, at the transfers' edge.
    if (format == ImageFormat::Png) {
        const PngStatus status = ReadPalettePng(source, record.Width, record.Height, decoded);
        if (status != PngStatus::Ok) {
            return Status::failure(std::string(PngStatusMessage(status)));
        }
    } else {
        BitmapStatus status = ReadBitmap(source, record.Width, record.Height, decoded);
        // The Import button takes 8-bit bitmaps alone, refused at their depth as always:
        // whatever a true-colour one would meet after it is never reached.
        std::array<std::uint8_t, 4> depth{};
        const bool pastDepth =
            status != BitmapStatus::FileNotFound && status != BitmapStatus::NotBmp &&
            status != BitmapStatus::WrongWidth && status != BitmapStatus::WrongHeight;
        if (match == ColourMatch::PaletteOnly && pastDepth &&
            (source.readAt(26, depth) != depth.size() ||
             (depth[0] | depth[1] << 8 | depth[2] << 16 | depth[3] << 24) != kPlanesAndDepth8)) {
            status = BitmapStatus::WrongBitrate;
        }
        if (status != BitmapStatus::Ok) {
            return Status::failure(std::string(BitmapStatusMessage(status)));
        }
    }
    if (match == ColourMatch::PaletteOnly) {
        match = ColourMatch::Exact;  // a PNG from the menu: a palette or a true-colour one
    }
    return MatchColours(decoded, paletteEntries, match);
}

std::optional<ImageFormat> ImageFormatOfName(const QString& name) {
    if (name.endsWith(".png", Qt::CaseInsensitive)) {
        return ImageFormat::Png;
    }
    if (name.endsWith(".bmp", Qt::CaseInsensitive)) {
        return ImageFormat::Bmp;
    }
    return std::nullopt;
}

QString AllImagesName(int n, const std::string& name, ImageFormat format) {
    QString text = FromCp1252(name);
    static const QRegularExpression unsafe(R"([/\\:*?"<>|\x00-\x1f\x7f])");
    text.replace(unsafe, "_");
    const QString extension = format == ImageFormat::Png ? ".png" : ".bmp";
    if (!text.endsWith(extension, Qt::CaseInsensitive)) {
        text += extension;
    }
    return QString("%1-%2").arg(n, 3, 10, QChar('0')).arg(text);
}

TransferStatus ExportImage(const QString& imageFile, int n, const QString& out,
                           ImageFormat format) {
    ListedImages images;
    if (TransferStatus opened = OpenImages(imageFile, images); !opened.ok()) {
        return opened;
    }
    if (n < 1 || n > static_cast<int>(images.index.records.size())) {
        return Failure(imageFile, QString("there is no image %1; the file has %2")
                                      .arg(n)
                                      .arg(images.index.records.size()));
    }
    return WriteImage(images, imageFile, static_cast<std::size_t>(n - 1), out, format);
}

TransferStatus ExportAllImages(const QString& imageFile, const QString& folder,
                               ImageFormat format) {
    ListedImages images;
    if (TransferStatus opened = OpenImages(imageFile, images); !opened.ok()) {
        return opened;
    }
    std::error_code ec;
    std::filesystem::create_directories(PathFromName(folder), ec);
    if (!std::filesystem::is_directory(PathFromName(folder), ec)) {
        return Failure(folder, "the folder cannot be made");
    }
    // Every file is written first and flushed to disk once; none replaces an older one unless
    // all could be written. The next image is encoded while the last is written.
    ReplaceBatch batch;
    QString failedFile = imageFile;  // where an encoding fails; a write names its own file
    const Status written = RunPipeline<std::vector<std::uint8_t>>(
        images.index.records.size(), [&](std::size_t i) { return EncodeImage(images, i, format); },
        [&](std::size_t i, std::vector<std::uint8_t> bytes) {
            const QString name = InFolder(
                folder,
                AllImagesName(static_cast<int>(i + 1), images.index.records[i].Name, format));
            Status added = batch.add(PathFromName(name), bytes, ExportReason(imageFile, i));
            if (!added.ok()) {
                failedFile = name;
            }
            return added;
        });
    if (!written.ok()) {
        return Failure(failedFile, ReasonText(written));
    }
    const Status committed = batch.commit();
    if (!committed.ok()) {
        return Failure(folder, ReasonText(committed));
    }
    return TransferStatus::success();
}

TransferStatus ImagesInFolder(const QString& folder, std::map<int, QString>& sources) {
    std::error_code ec;
    if (!std::filesystem::is_directory(PathFromName(folder), ec)) {
        return Failure(folder, "no such folder");
    }
    static const QRegularExpression pattern(R"(^(\d{3})-.*\.(bmp|png)$)",
                                            QRegularExpression::CaseInsensitiveOption);
    // The names as the folder holds them, byte for byte, in byte order.
    std::vector<std::string> names = ListFiles(PathFromName(folder), "*");
    std::sort(names.begin(), names.end());
    for (const std::string& bytes : names) {
        const QString name = NameFromBytes(bytes);
        const auto match = pattern.match(name);
        if (!match.hasMatch()) {
            continue;
        }
        const int n = match.captured(1).toInt();
        const QString path = InFolder(folder, name);
        if (!sources.emplace(n, path).second) {
            return Failure(path, QString("image %1 also comes from %2").arg(n).arg(sources[n]));
        }
    }
    if (sources.empty()) {
        return Failure(folder, "no NNN-*.bmp or NNN-*.png file to import");
    }
    return TransferStatus::success();
}

TransferStatus ImportImages(const QString& imageFile, const std::map<int, QString>& sources,
                            const ShownImage* shown, ColourMatch match) {
    ListedImages images;
    if (TransferStatus opened = OpenImages(imageFile, images); !opened.ok()) {
        return opened;
    }
    const auto& records = images.index.records;
    // Everything is decoded and planned before anything is written.
    std::vector<ImportChange> changes;
    for (const auto& [n, source] : sources) {
        if (n < 1 || n > static_cast<int>(records.size())) {
            return Failure(source, QString("there is no image %1 in %2; it has %3")
                                       .arg(n)
                                       .arg(imageFile)
                                       .arg(records.size()));
        }
        const ImageRecord& record = records[static_cast<std::size_t>(n - 1)];
        const auto palette = ImportPalette(images.file, record);
        if (!palette) {
            return Failure(imageFile, "Image file is damaged.");
        }
        DecodedBitmap decoded;
        const ImageFormat format = ImageFormatOfName(source).value_or(ImageFormat::Bmp);
        if (const Status decodedOk = DecodeForImport(PathFromName(source), format, record,
                                                     palette->palette, match, decoded);
            !decodedOk.ok()) {
            return Failure(source, QString::fromStdString(decodedOk.error()));
        }
        auto change = PlanImport(images.file, record, std::move(decoded));
        if (!change) {
            return Failure(imageFile, "Image file is damaged.");
        }
        changes.push_back(std::move(*change));
    }
    std::vector<Patch> patches;
    for (const ImportChange& change : changes) {
        for (const Patch& patch : change.patches()) {
            patches.push_back(patch);
        }
    }
    const QString reason =
        sources.size() == 1
            ? "Import from " + QFileInfo(sources.begin()->second).fileName()
            : "Import of all images from " + QFileInfo(sources.begin()->second).dir().dirName();
    // Checked last, just before the file is written.
    if (shown != nullptr && !StillShown(PathFromName(imageFile), images.file, *shown)) {
        return TransferStatus::failure(
            {imageFile, "the file has changed on disk since it was shown", true});
    }
    const Status written = PatchFile(PathFromName(imageFile), images.file, patches, reason);
    if (!written.ok()) {
        return Failure(imageFile, ReasonText(written));
    }
    return TransferStatus::success();
}

}  // namespace krellon
