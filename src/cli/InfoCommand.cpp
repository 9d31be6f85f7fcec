// krellon info and krellon check: what a file holds, and what in it goes past the limits the
// program relies on.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "Commands.h"
#include "FileKinds.h"
#include "formats/BoardSetFile.h"
#include "formats/ImageTransfer.h"
#include "render/BoardRenderer.h"
#include "storage/Cp1252.h"
#include "storage/FileNames.h"
#include "storage/FileSource.h"
#include "storage/Files.h"

namespace krellon::cli {

namespace {

QString Text(const std::string& bytes) {
    return FromCp1252(bytes);
}

int BrickTotal(const Board& board) {
    int n = 0;
    for (const std::int32_t code : board.cells) {
        n += code != 0 ? 1 : 0;
    }
    return n;
}

QJsonObject BoardSetInfo(const StoredBoardSet& set) {
    QJsonObject object;
    object["kind"] = "board set";
    object["name"] = Text(set.boardSetName.text);
    object["author"] = Text(set.authorName.text);
    object["brickSetFile"] = Text(FileNamePart(set.brickSetPath.text));
    object["backgroundSetFile"] = Text(FileNamePart(set.backgroundSetPath.text));
    object["boardCount"] = static_cast<int>(set.boards.size());
    QJsonArray boards;
    for (const Board& board : set.boards) {
        boards.append(QJsonObject{{"background", board.background}, {"bricks", BrickTotal(board)}});
    }
    object["boards"] = boards;
    return object;
}

QJsonObject ImageFileInfo(const ImageFileIndex& index) {
    QJsonObject object;
    object["kind"] = "image file";
    object["imageCount"] = index.header.imageCount;
    object["filePaletteCount"] = index.header.filePaletteCount;
    QJsonArray images;
    for (const ImageRecord& record : index.records) {
        images.append(QJsonObject{{"name", Text(record.Name)},
                                  {"width", record.Width},
                                  {"height", record.Height},
                                  {"paletteCount", record.PaletteCount}});
    }
    object["images"] = images;
    return object;
}

void PrintInfo(Streams& io, const QJsonObject& info) {
    const QString file = info["file"].toString();
    if (info["kind"] == "board set") {
        io.out << file << ": board set \"" << info["name"].toString() << "\" by \""
               << info["author"].toString() << "\", " << info["boardCount"].toInt()
               << (info["boardCount"].toInt() == 1 ? " board\n" : " boards\n");
        io.out << "  brick set file: " << info["brickSetFile"].toString() << "\n";
        io.out << "  background set file: " << info["backgroundSetFile"].toString() << "\n";
        int n = 0;
        for (const QJsonValue board : info["boards"].toArray()) {
            io.out << "  board " << ++n << ": background " << board["background"].toInt() << ", "
                   << board["bricks"].toInt() << " bricks\n";
        }
        return;
    }
    const QJsonArray images = info["images"].toArray();
    io.out << file << ": image file, " << images.size()
           << (images.size() == 1 ? " image" : " images") << ", file palette of "
           << info["filePaletteCount"].toInt() << " colours\n";
    int n = 0;
    for (const QJsonValue image : images) {
        const int palette = image["paletteCount"].toInt();
        io.out << "  " << ++n << " \"" << image["name"].toString() << "\" "
               << image["width"].toInt() << " x " << image["height"].toInt() << ", "
               << (palette == 0 ? QString("the file's palette")
                                : QString("palette of %1 colours").arg(palette))
               << "\n";
    }
}

// The problems of an image file; with damageOnly, only those that make it no image file at
// all: a header that cannot be walked from, a record not wholly inside the file.
QStringList ImageFileProblems(const ByteSource& file, bool damageOnly = false) {
    QStringList problems;
    const auto header = ReadImageHeader(file);
    if (!header) {
        return {"the file ends before its header"};
    }
    if (header->filePaletteCount < 0 || header->filePaletteCount > kPaletteSize) {
        return {QString("not an image file: the file palette count %1 is outside 0 to 256")
                    .arg(header->filePaletteCount)};
    }
    if (header->imageCount < 0) {
        problems << QString("the image count %1 is negative").arg(header->imageCount);
    }
    if (header->imageCount > kMaxExplorerImages && !damageOnly) {
        problems << QString("the image count %1 is more than the %2 the program reads")
                        .arg(header->imageCount)
                        .arg(kMaxExplorerImages);
    }
    const WalkedRecords walked = WalkImageFileChecked(file, *header, kMaxExplorerImages);
    if (!walked.complete.ok()) {
        problems << QString::fromStdString(walked.complete.error());
    }
    const std::vector<ImageRecord>& records = walked.records;
    if (damageOnly) {
        return problems;
    }
    std::vector<std::pair<std::int32_t, std::int32_t>> sizes;
    for (const ImageRecord& record : records) {
        sizes.emplace_back(record.Width, record.Height);
    }
    if (const std::size_t odd = FirstOddBrick(sizes)) {
        problems << QString(
                        "image %1: %2 x %3 in a brick set of %4 x %5 images; every brick from "
                        "it on is read out of step")
                        .arg(odd)
                        .arg(sizes[odd - 1].first)
                        .arg(sizes[odd - 1].second)
                        .arg(kBrickWidth)
                        .arg(kBrickHeight);
    }
    for (std::size_t i = 0; i < records.size(); ++i) {
        const ImageRecord& record = records[i];
        const QString image = QString("image %1").arg(i + 1);
        if (record.Width == 0 || record.Height == 0) {
            problems
                << image +
                       QString(": it has no pixels (%1 x %2)").arg(record.Width).arg(record.Height);
        } else if (!render::Drawable(record)) {
            problems << image + QString(": %1 x %2 is larger than 4096 x 4096 pixels")
                                    .arg(record.Width)
                                    .arg(record.Height);
        }
    }
    return problems;
}

// How many images an image file of folder has, or nothing when it is not there.
std::optional<int> ImageCountIn(const std::filesystem::path& folder, const std::string& name,
                                int limit) {
    FileSource file;
    if (!OpenInFolder(FromCp1252(name), file, folder)) {
        return std::nullopt;
    }
    const auto header = ReadImageHeader(file);
    if (!header) {
        return 0;
    }
    return static_cast<int>(WalkImageFile(file, *header, limit).size());
}

QStringList BoardSetProblems(const StoredBoardSet& set, const std::filesystem::path& folder) {
    QStringList problems;
    const std::string bricks = FileNamePart(set.brickSetPath.text);
    const std::string backgrounds = FileNamePart(set.backgroundSetPath.text);
    std::optional<int> brickCount;
    std::optional<int> backgroundCount;
    if (bricks.empty()) {
        problems << "the brick set path names no file";
    } else if (!(brickCount = ImageCountIn(folder, bricks, kMaxBricks))) {
        problems << "the brick set file " + Text(bricks) + " is not in the set's folder";
    }
    if (backgrounds.empty()) {
        problems << "the background set path names no file";
    } else if (!(backgroundCount = ImageCountIn(folder, backgrounds, kMaxBackgrounds))) {
        problems << "the background set file " + Text(backgrounds) + " is not in the set's folder";
    }
    for (std::size_t b = 0; b < set.boards.size(); ++b) {
        const Board& board = set.boards[b];
        const QString where = QString("board %1").arg(b + 1);
        if (board.background < 0 || board.background >= kMaxBackgrounds) {
            problems << where + QString(": background number %1 is outside 0 to 68")
                                    .arg(board.background);
        } else if (backgroundCount && board.background >= *backgroundCount) {
            problems << where + QString(": background number %1, but %2 has %3 backgrounds")
                                    .arg(board.background)
                                    .arg(Text(backgrounds))
                                    .arg(*backgroundCount);
        }
        for (int r = 0; r < kBoardRows; ++r) {
            for (int c = 0; c < kBoardColumns; ++c) {
                const std::int32_t k = board.cell(c, r);
                const QString cell = where + QString(", row %1, column %2").arg(r + 1).arg(c + 1);
                if (k < 0 || k > kMaxBricks) {
                    problems << cell + QString(": brick code %1 is outside 0 to 119").arg(k);
                } else if (brickCount && k > *brickCount) {
                    problems << cell + QString(": brick code %1, but %2 has %3 bricks")
                                           .arg(k)
                                           .arg(Text(bricks))
                                           .arg(*brickCount);
                }
            }
        }
    }
    return problems;
}

// Opens each file and hands it to look with its path; a file that cannot be opened is told
// and makes the status 1, as does look returning other than 0.
template <typename Look>
int EachFile(const QStringList& files, Streams& io, Look look) {
    int status = 0;
    for (const QString& file : files) {
        const auto path = PathOf(file);
        FileSource source;
        if (!source.open(path)) {
            status = Fail(io, file, "the file cannot be opened");
        } else if (look(file, path, source) != 0) {
            status = kFailed;
        }
    }
    return status;
}

}  // namespace

int Info(const QStringList& arguments, Streams& io) {
    Command command("info",
                    "Tells what board set and image files hold: counts, names, sizes, "
                    "palettes.",
                    "FILE...");
    const QCommandLineOption json("json", "Writes a JSON document instead of text.");
    command.parser.addOption(json);
    if (const auto status = command.parse(arguments, io)) {
        return *status;
    }
    const QStringList files = command.files();
    if (files.isEmpty()) {
        return command.usage(io, "no file given");
    }
    QJsonArray all;
    const int status =
        EachFile(files, io, [&](const QString& file, const auto& path, const FileSource& source) {
            QJsonObject info;
            if (KindOf(path, source) == FileKind::BoardSet) {
                const auto set = DecodeStoredBoardSet(source);
                if (!set.ok()) {
                    return Fail(io, file, QString::fromStdString(set.error()));
                }
                info = BoardSetInfo(set.value());
            } else {
                // Bytes that are no image file (text, a PNG, noise) are told as check tells
                // them, not listed as images.
                const QStringList damage = ImageFileProblems(source, true);
                for (const QString& problem : damage) {
                    Fail(io, file, problem);
                }
                const auto index = IndexImageFile(source);
                if (!damage.isEmpty() || !index) {
                    return kFailed;
                }
                info = ImageFileInfo(*index);
            }
            info["file"] = ShownFileName(file);
            if (command.parser.isSet(json)) {
                all.append(info);
            } else {
                PrintInfo(io, info);
            }
            return 0;
        });
    if (command.parser.isSet(json)) {
        io.out << QJsonDocument(all).toJson(QJsonDocument::Indented);
    }
    return status;
}

int Check(const QStringList& arguments, Streams& io) {
    Command command("check",
                    "Tells every problem a board set or image file has against the limits the "
                    "program relies on, one line each as FILE: problem. Exits with 1 when any.",
                    "FILE...");
    if (const auto status = command.parse(arguments, io)) {
        return *status;
    }
    const QStringList files = command.files();
    if (files.isEmpty()) {
        return command.usage(io, "no file given");
    }
    return EachFile(files, io,
                    [&](const QString& file, const auto& path, const FileSource& source) {
                        QStringList problems;
                        if (KindOf(path, source) == FileKind::BoardSet) {
                            const auto set = DecodeStoredBoardSet(source);
                            problems = set.ok() ? BoardSetProblems(set.value(), FolderOf(path))
                                                : QStringList{QString::fromStdString(set.error())};
                        } else {
                            problems = ImageFileProblems(source);
                        }
                        for (const QString& problem : problems) {
                            io.out << ShownFileName(file) << ": " << problem << "\n";
                        }
                        return problems.isEmpty() ? 0 : kFailed;
                    });
}

}  // namespace krellon::cli
