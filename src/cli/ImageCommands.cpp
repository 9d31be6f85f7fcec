// krellon export and krellon import: images of an image file out to BMP or PNG files and back,
// one at a time or all at once.
#include <map>

#include "Commands.h"
#include "formats/ImageTransfer.h"
#include "storage/FileNames.h"
#include "storage/FileSource.h"
#include "transfers/ImageTransfers.h"

namespace krellon::cli {

namespace {

int Failed(Streams& io, const TransferStatus& status) {
    return status.ok() ? 0 : Fail(io, status.error().file, status.error().reason);
}

std::optional<ImageFormat> FormatNamed(const QString& name) {
    return name == "png"   ? std::optional(ImageFormat::Png)
           : name == "bmp" ? std::optional(ImageFormat::Bmp)
                           : std::nullopt;
}

// The images of file, listed into index; a failure when it has none.
Status ListImages(const QString& file, FileSource& source, ImageFileIndex& index) {
    if (!source.open(PathOf(file))) {
        return Status::failure("the file cannot be opened");
    }
    auto listed = IndexImageFile(source);
    if (!listed) {
        return Status::failure("the file ends before its header");
    }
    if (listed->records.empty()) {
        return Status::failure("the file holds no image");
    }
    index = std::move(*listed);
    return Status::success();
}

// Image n of file to the standard output, the bytes an export to a file writes.
int ExportToStandardOutput(Streams& io, const QString& file, int n, ImageFormat format) {
    FileSource source;
    ImageFileIndex index;
    if (const Status listed = ListImages(file, source, index); !listed.ok()) {
        return Fail(io, file, QString::fromStdString(listed.error()));
    }
    if (n > static_cast<int>(index.records.size())) {
        return Fail(
            io, file,
            QString("there is no image %1; the file has %2").arg(n).arg(index.records.size()));
    }
    const ImageRecord& record = index.records[static_cast<std::size_t>(n - 1)];
    const auto pixels = ReadImagePixels(source, record);
    if (!pixels) {
        return Fail(io, file, QString("image %1: the file ends inside its pixels").arg(n));
    }
    const Status written = WriteOutput(
        kStandardOutput, EncodeImage(record, DrawnPalette(index, record), *pixels, format), {});
    return written.ok() ? 0 : Fail(io, kStandardOutput, QString::fromStdString(written.error()));
}

// True when a file that exporting every image of file into folder writes is file itself.
bool ExportAllReachesItself(Streams& io, const QString& file, const QString& folder,
                            ImageFormat format) {
    FileSource source;
    ImageFileIndex index;
    if (!ListImages(file, source, index).ok()) {
        return false;  // the export tells why
    }
    for (std::size_t i = 0; i < index.records.size(); ++i) {
        const QString name =
            NameFromPath(PathOf(folder) / PathOf(AllImagesName(static_cast<int>(i + 1),
                                                               index.records[i].Name, format)));
        if (SameFile(file, name)) {
            Fail(io, name, kOwnInput);
            return true;
        }
    }
    return false;
}

}  // namespace

int Export(const QStringList& arguments, Streams& io) {
    Command command("export",
                    "Exports an image of an image file as an 8-bit BMP (byte for byte as the "
                    "explorer exports it) or an 8-bit palette PNG (its indices and palette "
                    "kept), or every image into a folder as NNN-<name>.bmp or .png.",
                    "IMAGES.img");
    const QCommandLineOption output(
        {"o", "output"},
        "The .bmp or .png file to write (-, a pipe or a terminal: a stream in the --format); "
        "with --all, a folder.",
        "OUT");
    const QCommandLineOption imageOption("image", "The image to export (default 1).", "N", "1");
    const QCommandLineOption all("all", "Exports every image.");
    const QCommandLineOption formatOption("format", "With --all or a stream: bmp (default) or png.",
                                          "FORMAT", "bmp");
    command.parser.addOptions({output, imageOption, all, formatOption});
    if (const auto status = command.parse(arguments, io)) {
        return *status;
    }
    const QStringList files = command.files();
    if (files.size() != 1) {
        return command.usage(io, "give one image file");
    }
    if (!command.parser.isSet(output)) {
        return command.usage(io, "no output given (-o)");
    }
    const QString out = command.parser.value(output);
    const bool exportAll = command.parser.isSet(all);
    const auto named = FormatNamed(command.parser.value(formatOption));
    if (!named) {
        return command.usage(io, "the format is bmp or png");
    }
    // A file is written in the format its name asks for; a stream has none.
    std::optional<ImageFormat> format = named;
    if (!exportAll) {
        format = ImageFormatOfName(out);
        if (!format && IsStream(out)) {
            format = named;
        }
        if (!format) {
            return command.usage(io, "the output ends in .bmp or .png");
        }
    }
    const auto number = NumberArgument(command.parser.value(imageOption), 1, kMaxExplorerImages);
    if (!number) {
        return command.usage(io, "the image is a number from 1 to 119");
    }

    const QString file = files.front();
    if (exportAll) {
        if (ExportAllReachesItself(io, file, out, *format)) {
            return kFailed;
        }
        return Failed(io, ExportAllImages(file, out, *format));
    }
    if (SameFile(file, out)) {
        return Fail(io, out, kOwnInput);
    }
    if (out == kStandardOutput) {
        return ExportToStandardOutput(io, file, *number, *format);
    }
    return Failed(io, ExportImage(file, *number, out, *format));
}

int Import(const QStringList& arguments, Streams& io) {
    Command command("import",
                    "Imports a BMP or PNG into an image of an image file, with the explorer's "
                    "checks, or with --all every NNN-*.bmp or NNN-*.png of a folder into image "
                    "NNN: all are checked first, then the image file is replaced once; one bad "
                    "file and nothing changes. An 8-bit BMP or palette PNG brings its indices "
                    "and colours; a 24/32-bit BMP or an RGB, RGBA or grey PNG is taken when "
                    "every colour is one of the image's palette (the lowest index of each; "
                    "fully transparent pixels index 0).",
                    "IMAGES.img FILE|DIR");
    const QCommandLineOption imageOption("image", "The image to import into (default 1).", "N",
                                         "1");
    const QCommandLineOption all("all", "Imports every image file of the folder DIR.");
    const QCommandLineOption nearest = NearestOption();
    command.parser.addOptions({imageOption, all, nearest});
    if (const auto status = command.parse(arguments, io)) {
        return *status;
    }
    const QStringList files = command.files();
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
        if (const TransferStatus listed = ImagesInFolder(from, sources); !listed.ok()) {
            return Failed(io, listed);
        }
    } else {
        if (!ImageFormatOfName(from)) {
            return command.usage(io, "what to import ends in .bmp or .png");
        }
        sources.emplace(*number, from);
    }
    return Failed(io, ImportImages(file, sources, nullptr,
                                   command.parser.isSet(nearest) ? ColourMatch::Nearest
                                                                 : ColourMatch::Exact));
}

}  // namespace krellon::cli
