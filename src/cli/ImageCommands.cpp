// krellon export and krellon import: images of an image file out to BMP or PNG files and back,
// one at a time or all at once.
#include <map>

#include "Commands.h"
#include "formats/ImageFile.h"
#include "platform/ImageTransfers.h"

namespace krellon::cli {

namespace {

int Failed(Streams& io, const TransferResult& failure) {
    return failure ? Fail(io, failure->file, failure->reason) : 0;
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
    const QStringList files = command.files();
    if (files.size() != 1) {
        return command.usage(io, "give one image file");
    }
    if (!command.parser.isSet(output)) {
        return command.usage(io, "no output given (-o)");
    }
    const QString out = command.parser.value(output);
    const bool exportAll = command.parser.isSet(all);
    std::optional<ImageFormat> format;
    if (exportAll) {
        const QString name = command.parser.value(formatOption);
        format = name == "png"   ? std::optional(ImageFormat::Png)
                 : name == "bmp" ? std::optional(ImageFormat::Bmp)
                                 : std::nullopt;
        if (!format) {
            return command.usage(io, "the format is bmp or png");
        }
    } else {
        format = ImageFormatOfName(out);
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
        return Failed(io, ExportAllImages(file, out, *format));
    }
    return Failed(io, ExportImage(file, *number, out, *format));
}

int Import(const QStringList& arguments, Streams& io) {
    Command command("import",
                    "Imports an 8-bit BMP or a palette PNG into an image of an image file, with "
                    "the explorer's checks, or with --all every NNN-*.bmp or NNN-*.png of a "
                    "folder into image NNN: all are checked first, then the image file is "
                    "replaced once; one bad file and nothing changes.",
                    "IMAGES.img FILE|DIR");
    const QCommandLineOption imageOption("image", "The image to import into (default 1).", "N",
                                         "1");
    const QCommandLineOption all("all", "Imports every image file of the folder DIR.");
    command.parser.addOptions({imageOption, all});
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
        if (const auto failure = ImagesInFolder(from, sources)) {
            return Failed(io, failure);
        }
    } else {
        if (!ImageFormatOfName(from)) {
            return command.usage(io, "what to import ends in .bmp or .png");
        }
        sources.emplace(*number, from);
    }
    return Failed(io, ImportImages(file, sources));
}

}  // namespace krellon::cli
