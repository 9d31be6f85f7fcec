// krellon add, replace, remove, rename and move: image files reshaped one image at a time, every
// other record kept byte for byte, the file replaced whole with its earlier version kept.
#include <QFileInfo>
#include <climits>

#include "Commands.h"
#include "formats/ImageFile.h"
#include "formats/PictureSize.h"
#include "formats/StoredImageFile.h"
#include "storage/Cp1252.h"
#include "storage/FileNames.h"
#include "storage/FileSource.h"
#include "storage/FileWrites.h"
#include "transfers/ImageFileEdits.h"
#include "transfers/ImageTransfers.h"

namespace krellon::cli {

namespace {

// Image files are read whole; none of the game's comes near this.

QString Text(const std::string& reason) {
    return QString::fromStdString(reason);
}

// The bytes of a name in the image file's code page; the reason when it has a character the
// code page cannot store.
Result<std::string> StoredName(const QString& name) {
    std::string bytes = ToCp1252(name);
    if (FromCp1252(bytes) != name) {
        return Result<std::string>::failure("the name \"" + ShownFileName(name).toStdString() +
                                            "\" has a character Windows-1252 cannot store");
    }
    return Result<std::string>::success(std::move(bytes));
}

// A number option of at least 1; nothing when given otherwise.
std::optional<std::size_t> Position(const Command& command, const QCommandLineOption& option) {
    const auto n = NumberArgument(command.parser.value(option), 1, INT_MAX);
    return n ? std::optional<std::size_t>(static_cast<std::size_t>(*n)) : std::nullopt;
}

QCommandLineOption ImageOption() {
    return {"image", "The image (1 for the first).", "N"};
}

// Parses a command over fileCount files, the image file first, and an image number (--image):
// returns the exit status to end with, or nothing to go on with n set.
std::optional<int> ParseImageEdit(Command& command, const QStringList& arguments, Streams& io,
                                  qsizetype fileCount, std::size_t& n) {
    const QCommandLineOption image = ImageOption();
    command.parser.addOption(image);
    if (const auto status = command.parse(arguments, io)) {
        return status;
    }
    if (command.files().size() != fileCount) {
        return command.usage(
            io, fileCount == 1 ? "give one image file" : "give an image file and a picture");
    }
    const auto number = Position(command, image);
    if (!command.parser.isSet(image) || !number) {
        return command.usage(io, "give the image as --image N, a number from 1");
    }
    n = *number;
    return std::nullopt;
}

// Reads file, makes change to it and replaces it with the result, keeping what it held as
// replaced by reason; nothing is written when it cannot be read or change refuses.
int EditFile(Streams& io, const QString& file,
             const std::function<Status(StoredImageFile&)>& change, const QString& reason) {
    const Status edited = EditImageFile(PathOf(file), change, reason);
    return edited.ok() ? 0 : Fail(io, file, Text(edited.error()));
}

// Reads pictureName into picture inside a change to the image file, matching a true-colour
// picture against palette; failed says the picture was at fault.
Status ReadPictureFor(const QString& pictureName, std::span<const std::uint8_t> palette,
                      bool nearest, ImagePicture& picture, bool& failed) {
    const Status read = ReadImagePicture(PathOf(pictureName), picture, palette,
                                         nearest ? ColourMatch::Nearest : ColourMatch::Exact);
    failed = !read.ok();
    return read;
}

// The number of the image that puts the bricks of model out of step, 0 when none does.
std::size_t OddBrick(const StoredImageFile& model) {
    std::vector<std::pair<std::int32_t, std::int32_t>> sizes;
    for (const StoredImage& image : model.images) {
        sizes.emplace_back(image.width, image.height);
    }
    return FirstOddBrick(sizes);
}

// Ends an add or a replace: a change that put a brick set out of step is made, and noted.
int Finish(Streams& io, const QString& file, const QString& culprit, const Status& edited,
           std::size_t oddBrick) {
    if (!edited.ok()) {
        return Fail(io, culprit, Text(edited.error()));
    }
    if (oddBrick != 0) {
        io.err << "note: " << ShownFileName(file) << ": image " << oddBrick << " is not "
               << kBrickWidth << " x " << kBrickHeight
               << " in a brick set; every brick from it on is read out of step\n";
    }
    return 0;
}

}  // namespace

Status ReadPicture(const QString& name, ImagePicture& picture) {
    return ReadImagePicture(PathOf(name), picture);
}

int Add(const QStringList& arguments, Streams& io) {
    Command command("add",
                    "Adds a BMP or PNG of any size to an image file as a new image, named after "
                    "the picture's file name without its extension, appended or inserted as image "
                    "N. A true-colour picture takes the palette of the image it follows (of the "
                    "first when it goes first, the file palette in a file of no images).",
                    "IMAGES.img PICTURE");
    const QCommandLineOption name("name", "The image's name (Windows-1252 characters).", "NAME");
    const QCommandLineOption at("at", "Inserts the image as image N (default: after the last).",
                                "N");
    const QCommandLineOption nearest = NearestOption();
    command.parser.addOptions({name, at, nearest});
    if (const auto status = command.parse(arguments, io)) {
        return *status;
    }
    if (command.files().size() != 2) {
        return command.usage(io, "give an image file and a picture");
    }
    const auto position = Position(command, at);
    if (command.parser.isSet(at) && !position) {
        return command.usage(io, "--at is a number from 1");
    }
    const QString file = command.files()[0];
    const QString pictureName = command.files()[1];
    const auto stored =
        StoredName(command.parser.isSet(name) ? command.parser.value(name)
                                              : QFileInfo(pictureName).completeBaseName());
    if (!stored) {
        return Fail(io, pictureName, Text(stored.error()) + "; give one with --name");
    }
    bool pictureFailed = false;
    std::size_t oddBrick = 0;
    const auto add = [&](StoredImageFile& model) {
        const std::size_t n = position.value_or(model.images.size() + 1);
        ImagePicture picture;
        if (const Status read =
                ReadPictureFor(pictureName, PaletteForNewImage(model, n),
                               command.parser.isSet(nearest), picture, pictureFailed);
            !read.ok()) {
            return read;
        }
        auto image = MakeStoredImage(*stored, picture);
        if (!image) {
            pictureFailed = true;
            return Status::failure(image.error());
        }
        const Status inserted = InsertImage(model, n, std::move(*image));
        oddBrick = OddBrick(model) == n ? n : 0;  // this image, not one before it
        return inserted;
    };
    const Status edited =
        EditImageFile(PathOf(file), add, "krellon add: " + QFileInfo(pictureName).fileName());
    return Finish(io, file, pictureFailed ? pictureName : file, edited, oddBrick);
}

int Replace(const QStringList& arguments, Streams& io) {
    Command command("replace",
                    "Replaces an image of an image file with a BMP or PNG of any size: the image "
                    "takes its size, palette and pixels and keeps its name. A true-colour picture "
                    "takes the image's palette.",
                    "IMAGES.img PICTURE");
    const QCommandLineOption nearest = NearestOption();
    command.parser.addOption(nearest);
    std::size_t n = 0;
    if (const auto status = ParseImageEdit(command, arguments, io, 2, n)) {
        return *status;
    }
    const QString file = command.files()[0];
    const QString pictureName = command.files()[1];
    bool pictureFailed = false;
    std::size_t oddBrick = 0;
    const auto replace = [&](StoredImageFile& model) {
        if (n > model.images.size()) {
            return ReplaceImage(model, n, {});  // refused: there is no image n
        }
        ImagePicture picture;
        if (const Status read =
                ReadPictureFor(pictureName, PaletteOfImage(model, n), command.parser.isSet(nearest),
                               picture, pictureFailed);
            !read.ok()) {
            return read;
        }
        const Status replaced = ReplaceImage(model, n, picture);
        oddBrick = OddBrick(model) == n ? n : 0;
        return replaced;
    };
    const Status edited =
        EditImageFile(PathOf(file), replace, QString("krellon replace: image %1").arg(n));
    return Finish(io, file, pictureFailed ? pictureName : file, edited, oddBrick);
}

int Remove(const QStringList& arguments, Streams& io) {
    Command command("remove",
                    "Removes an image from an image file; the images after it move up. The last "
                    "image may go: a file of no images is valid.",
                    "IMAGES.img");
    std::size_t n = 0;
    if (const auto status = ParseImageEdit(command, arguments, io, 1, n)) {
        return *status;
    }
    return EditFile(
        io, command.files()[0], [&](StoredImageFile& model) { return RemoveImage(model, n); },
        QString("krellon remove: image %1").arg(n));
}

int Rename(const QStringList& arguments, Streams& io) {
    Command command("rename", "Renames an image of an image file.", "IMAGES.img");
    const QCommandLineOption name("name", "The new name (Windows-1252 characters).", "NAME");
    command.parser.addOption(name);
    std::size_t n = 0;
    if (const auto status = ParseImageEdit(command, arguments, io, 1, n)) {
        return *status;
    }
    if (!command.parser.isSet(name)) {
        return command.usage(io, "give the new name as --name NAME");
    }
    const QString file = command.files()[0];
    auto stored = StoredName(command.parser.value(name));
    if (!stored) {
        return Fail(io, file, Text(stored.error()));
    }
    return EditFile(
        io, file, [&](StoredImageFile& model) { return RenameImage(model, n, std::move(*stored)); },
        QString("krellon rename: image %1").arg(n));
}

int Move(const QStringList& arguments, Streams& io) {
    Command command("move",
                    "Moves an image of an image file to another place; the images between shift "
                    "by one.",
                    "IMAGES.img");
    const QCommandLineOption to("to", "The image's new number.", "M");
    command.parser.addOption(to);
    std::size_t n = 0;
    if (const auto status = ParseImageEdit(command, arguments, io, 1, n)) {
        return *status;
    }
    const auto m = Position(command, to);
    if (!command.parser.isSet(to) || !m) {
        return command.usage(io, "give the new place as --to M, a number from 1");
    }
    return EditFile(
        io, command.files()[0], [&](StoredImageFile& model) { return MoveImage(model, n, *m); },
        QString("krellon move: image %1 to %2").arg(n).arg(*m));
}

}  // namespace krellon::cli
