// krellon export and krellon import: images of an image file out to BMP or PNG files and back,
// one at a time or all at once.
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <map>

#include "Commands.h"
#include "formats/FileSource.h"
#include "formats/ImageTransfer.h"
#include "formats/PngImage.h"
#include "platform/Cp1252.h"
#include "platform/FileWrites.h"

namespace krellon::cli {

namespace {

enum class Format { Bmp, Png };

std::optional<Format> FormatOfName(const QString& name) {
    if (name.endsWith(".png", Qt::CaseInsensitive)) {
        return Format::Png;
    }
    if (name.endsWith(".bmp", Qt::CaseInsensitive)) {
        return Format::Bmp;
    }
    return std::nullopt;
}

// An image file opened and listed.
struct ListedImages {
    FileSource file;
    ImageFileIndex index;
};

std::optional<QString> OpenImages(const QString& name, ListedImages& images) {
    if (!images.file.open(PathOf(name))) {
        return QString("the file cannot be opened");
    }
    auto index = IndexImageFile(images.file);
    if (!index) {
        return QString("the file ends before its header");
    }
    if (index->records.empty()) {
        return QString("the file holds no image");
    }
    images.index = std::move(*index);
    return std::nullopt;
}

std::vector<std::uint8_t> Encoded(Format format, const ImageRecord& record, const Palette& palette,
                                  std::span<const std::uint8_t> pixels) {
    return format == Format::Png ? EncodePalettePng(record.Width, record.Height, palette, pixels)
                                 : EncodeBitmap(record.Width, record.Height, palette, pixels);
}

// The name of image number n in a folder of all images: "001-stone.bmp", the characters that
// cannot stand in a file name replaced by "_".
QString AllImagesName(int n, const std::string& name, Format format) {
    QString text = FromCp1252(name);
    static const QRegularExpression unsafe(R"([/\\:*?"<>|\x00-\x1f\x7f])");
    text.replace(unsafe, "_");
    const QString extension = format == Format::Png ? ".png" : ".bmp";
    if (!text.endsWith(extension, Qt::CaseInsensitive)) {
        text += extension;
    }
    return QString("%1-%2").arg(n, 3, 10, QChar('0')).arg(text);
}

// Decodes a BMP or PNG for import into record; the explorer's message when it cannot.
std::optional<QString> DecodeForImport(const QString& name, const ImageRecord& record,
                                       DecodedBitmap& decoded) {
    FileSource source;
    if (!source.open(PathOf(name))) {
        return QString("File not found.");
    }
    if (FormatOfName(name) == Format::Png) {
        const PngStatus status = ReadPalettePng(source, record.Width, record.Height, decoded);
        if (status != PngStatus::Ok) {
            return QString::fromUtf8(PngStatusMessage(status).data());
        }
        return std::nullopt;
    }
    const BitmapStatus status = ReadBitmap(source, record.Width, record.Height, decoded);
    if (status != BitmapStatus::Ok) {
        return QString::fromUtf8(BitmapStatusMessage(status).data());
    }
    return std::nullopt;
}

}  // namespace

int Export(const QStringList& arguments, Streams& io) {
    Command command("export",
                    "Exports an image of an image file as an 8-bit BMP (byte for byte as the "
                    "explorer exports it) or an 8-bit palette PNG (its indices and palette "
                    "kept), or every image into a folder as NNN-<name>.bmp or .png.",
                    "IMAGES.img");
    const QCommandLineOption output({"o", "output"},
                                    "The .bmp or .png file to write; with --all, a folder.", "OUT");
    const QCommandLineOption imageOption("image", "The image to export (default 1).", "N", "1");
    const QCommandLineOption all("all", "Exports every image.");
    const QCommandLineOption formatOption("format", "With --all: bmp (default) or png.", "FORMAT",
                                          "bmp");
    command.parser.addOptions({output, imageOption, all, formatOption});
    if (const auto status = command.parse(arguments, io)) {
        return *status;
    }
    const QStringList files = command.files().mid(1);
    if (files.size() != 1) {
        return command.usage(io, "give one image file");
    }
    if (!command.parser.isSet(output)) {
        return command.usage(io, "no output given (-o)");
    }
    const QString out = command.parser.value(output);
    const bool exportAll = command.parser.isSet(all);
    std::optional<Format> format;
    if (exportAll) {
        const QString name = command.parser.value(formatOption);
        format = name == "png"   ? std::optional(Format::Png)
                 : name == "bmp" ? std::optional(Format::Bmp)
                                 : std::nullopt;
        if (!format) {
            return command.usage(io, "the format is bmp or png");
        }
    } else {
        format = FormatOfName(out);
        if (!format) {
            return command.usage(io, "the output ends in .bmp or .png");
        }
    }
    const auto number = NumberArgument(command.parser.value(imageOption), 1, kMaxExplorerImages);
    if (!number) {
        return command.usage(io, "the image is a number from 1 to 119");
    }

    const QString file = files.front();
    ListedImages images;
    if (const auto why = OpenImages(file, images)) {
        return Fail(io, file, *why);
    }
    const auto& records = images.index.records;
    const auto exportOne = [&](std::size_t i, const QString& name) -> int {
        const ImageRecord& record = records[i];
        const auto pixels = ReadImagePixels(images.file, record);
        if (!pixels) {
            return Fail(io, file, QString("image %1: the file ends inside its pixels").arg(i + 1));
        }
        const auto bytes = Encoded(*format, record, DrawnPalette(images.index, record), *pixels);
        const Status written = WriteOutput(
            PathOf(name), bytes, QString("Export of image %1 of %2").arg(i + 1).arg(file));
        return written.ok() ? 0 : Fail(io, name, QString::fromStdString(written.error()));
    };
    if (!exportAll) {
        if (*number > static_cast<int>(records.size())) {
            return Fail(
                io, file,
                QString("there is no image %1; the file has %2").arg(*number).arg(records.size()));
        }
        return exportOne(static_cast<std::size_t>(*number - 1), out);
    }
    const Status folder = MakeFolder(PathOf(out));
    if (!folder.ok()) {
        return Fail(io, out, QString::fromStdString(folder.error()));
    }
    for (std::size_t i = 0; i < records.size(); ++i) {
        const QString name =
            out + "/" + AllImagesName(static_cast<int>(i + 1), records[i].Name, *format);
        if (const int status = exportOne(i, name)) {
            return status;
        }
    }
    return 0;
}

int Import(const QStringList& arguments, Streams& io) {
    Command command("import",
                    "Imports an 8-bit BMP or a palette PNG into an image of an image file, with "
                    "the explorer's checks, or with --all every NNN-*.bmp or NNN-*.png of a "
                    "folder into image NNN: all are checked first, then the image file is "
                    "replaced once; one bad file and nothing changes.",
                    "IMAGES.img FILE.bmp|FILE.png|DIR");
    const QCommandLineOption imageOption("image", "The image to import into (default 1).", "N",
                                         "1");
    const QCommandLineOption all("all", "Imports every image file of the folder DIR.");
    command.parser.addOptions({imageOption, all});
    if (const auto status = command.parse(arguments, io)) {
        return *status;
    }
    const QStringList files = command.files().mid(1);
    if (files.size() != 2) {
        return command.usage(io, "give an image file and what to import");
    }
    const auto number = NumberArgument(command.parser.value(imageOption), 1, kMaxExplorerImages);
    if (!number) {
        return command.usage(io, "the image is a number from 1 to 119");
    }
    const QString file = files[0];
    const QString from = files[1];

    // Which file goes into which image.
    std::map<int, QString> sources;
    if (command.parser.isSet(all)) {
        const QDir folder(from);
        if (!folder.exists()) {
            return Fail(io, from, "no such folder");
        }
        static const QRegularExpression pattern(R"(^(\d{3})-.*\.(bmp|png)$)",
                                                QRegularExpression::CaseInsensitiveOption);
        for (const QString& name : folder.entryList(QDir::Files, QDir::Name)) {
            const auto match = pattern.match(name);
            if (!match.hasMatch()) {
                continue;
            }
            const int n = match.captured(1).toInt();
            const QString path = folder.filePath(name);
            if (!sources.emplace(n, path).second) {
                return Fail(io, path,
                            QString("image %1 also comes from %2").arg(n).arg(sources[n]));
            }
        }
        if (sources.empty()) {
            return Fail(io, from, "no NNN-*.bmp or NNN-*.png file to import");
        }
    } else {
        if (!FormatOfName(from)) {
            return command.usage(io, "what to import ends in .bmp or .png");
        }
        sources.emplace(*number, from);
    }

    ListedImages images;
    if (const auto why = OpenImages(file, images)) {
        return Fail(io, file, *why);
    }
    const auto& records = images.index.records;
    // Everything is decoded and planned before anything is written.
    std::vector<ImportChange> changes;
    for (const auto& [n, source] : sources) {
        if (n < 1 || n > static_cast<int>(records.size())) {
            return Fail(io, source,
                        QString("there is no image %1 in %2; it has %3")
                            .arg(n)
                            .arg(file)
                            .arg(records.size()));
        }
        const ImageRecord& record = records[static_cast<std::size_t>(n - 1)];
        DecodedBitmap decoded;
        if (const auto why = DecodeForImport(source, record, decoded)) {
            return Fail(io, source, *why);
        }
        auto change = PlanImport(images.file, record, std::move(decoded));
        if (!change) {
            return Fail(io, file, "Image file is damaged.");
        }
        changes.push_back(std::move(*change));
    }
    std::vector<Patch> patches;
    for (const ImportChange& change : changes) {
        for (const Patch& patch : change.patches()) {
            patches.push_back(patch);
        }
    }
    const QString reason = sources.size() == 1
                               ? "Import from " + QFileInfo(sources.begin()->second).fileName()
                               : "Import of all images from " + from;
    const Status written = PatchFile(PathOf(file), images.file, patches, reason);
    return written.ok() ? 0 : Fail(io, file, QString::fromStdString(written.error()));
}

}  // namespace krellon::cli
