// krellon render: boards as PNG files with exactly the pixels the editor shows.
#include <QBuffer>
#include <QImageWriter>
#include <map>

#include "Commands.h"
#include "FileKinds.h"
#include "formats/BoardSetFile.h"
#include "render/ImageSets.h"
#include "storage/Cp1252.h"
#include "storage/FileSource.h"
#include "storage/FileWrites.h"
#include "storage/Files.h"
#include "transfers/Pipeline.h"

namespace krellon::cli {

namespace {

// What a set's boards are drawn with, read from the set's folder as the editor reads it.
struct SetArt {
    render::BoardArt art;
    std::vector<ImageRecord> backgrounds;
    FileSource backgroundFile;

    SetArt(const BoardSetContent& set, const std::filesystem::path& folder) {
        art.sheet = QImage(render::kSheetWidth, render::kSheetHeight, QImage::Format_RGB32);
        art.sheet.fill(Qt::black);
        FileSource bricks;
        if (OpenInFolder(FromCp1252(set.brickSetFile), bricks, folder)) {
            const auto names = render::DrawBrickSet(bricks, art.sheet);
            art.brickCount = static_cast<int>(names.size());
            for (std::size_t i = 0; i < names.size(); ++i) {
                art.hidden[i + 1] = names[i] == "Hidden";
            }
        }
        if (OpenInFolder(FromCp1252(set.backgroundSetFile), backgroundFile, folder)) {
            backgrounds = render::ReadBackgroundSet(backgroundFile);
        }
    }

    // Each background's tile is read once, however many boards show it.
    const QImage& Tile(std::int32_t b, render::BackgroundMode mode) {
        auto found = tiles.find(b);
        if (found == tiles.end()) {
            found = tiles.emplace(b, render::BackgroundTileOf(backgroundFile, backgrounds, b, mode))
                        .first;
        }
        return found->second;
    }
    std::map<std::int32_t, QImage> tiles;
};

std::vector<std::uint8_t> PngBytes(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    writer.write(image);
    return {bytes.begin(), bytes.end()};
}

}  // namespace

int Render(const QStringList& arguments, Streams& io) {
    Command command("render",
                    "Renders a board of a board set as a 600 x 300 PNG, exactly as the editor "
                    "shows it. The set's image files are found in its folder, letter case "
                    "ignored.",
                    "SET.bds");
    const QCommandLineOption output(
        {"o", "output"},
        "The .png file to write (-, a pipe or a terminal: the PNG as a stream); with --all, a "
        "folder.",
        "OUT");
    const QCommandLineOption boardOption("board", "The board to render (default 1).", "N", "1");
    const QCommandLineOption all("all", "Renders every board as OUT/board-001.png, ...");
    const QCommandLineOption modeOption(
        "mode", "The background's display mode: textured, half-bright or black.", "MODE",
        "textured");
    const QCommandLineOption hide("hide-hidden", "Draws hidden bricks as background.");
    command.parser.addOptions({output, boardOption, all, modeOption, hide});
    if (const auto status = command.parse(arguments, io)) {
        return *status;
    }
    const QStringList files = command.files();
    if (files.size() != 1) {
        return command.usage(io, "give one board set file");
    }
    if (!command.parser.isSet(output)) {
        return command.usage(io, "no output given (-o)");
    }
    const QString mode = command.parser.value(modeOption);
    const render::BackgroundMode backgroundMode =
        mode == "half-bright" ? render::BackgroundMode::HalfBright
        : mode == "black"     ? render::BackgroundMode::Black
                              : render::BackgroundMode::Textured;
    if (mode != "textured" && mode != "half-bright" && mode != "black") {
        return command.usage(io, "the mode is textured, half-bright or black");
    }
    const auto board = NumberArgument(command.parser.value(boardOption), 1, kMaxBoards);
    if (!board) {
        return command.usage(io, "the board is a number from 1 to 100");
    }

    const QString file = files.front();
    const QString out = command.parser.value(output);
    if (SameFile(file, out)) {
        return Fail(io, out, kOwnInput);
    }
    if (!command.parser.isSet(all) && !out.endsWith(".png", Qt::CaseInsensitive) &&
        !IsStream(out)) {
        return command.usage(io, "the output ends in .png");
    }
    auto set = ReadSetArgument(file);
    if (!set.ok()) {
        return Fail(io, file, QString::fromStdString(set.error()));
    }
    const BoardSetContent content = ContentOf(std::move(set.value()));
    SetArt art(content, FolderOf(PathOf(file)));
    art.art.showHidden = !command.parser.isSet(hide);
    const auto draw = [&](const Board& b) {
        return render::RenderBoard(b, art.Tile(b.background, backgroundMode), art.art);
    };

    if (!command.parser.isSet(all)) {
        if (*board > static_cast<int>(content.boards.size())) {
            return Fail(io, file,
                        QString("there is no board %1; the set has %2")
                            .arg(*board)
                            .arg(content.boards.size()));
        }
        const Status written =
            WriteOutput(out, PngBytes(draw(content.boards[*board - 1])), "Render");
        return written.ok() ? 0 : Fail(io, out, QString::fromStdString(written.error()));
    }
    const Status folder = MakeFolder(PathOf(out));
    if (!folder.ok()) {
        return Fail(io, out, QString::fromStdString(folder.error()));
    }
    // Every picture is written first and flushed to disk once; none replaces an older one
    // unless all could be written.
    ReplaceBatch batch;
    QString failed;
    Status written;
    // The next board is drawn and encoded while the last is written. Every background tile
    // is read first, so that the worker only reads what it shares.
    for (const Board& b : content.boards) {
        art.Tile(b.background, backgroundMode);
    }
    RunPipeline<std::vector<std::uint8_t>>(
        content.boards.size(), [&](std::size_t b) { return PngBytes(draw(content.boards[b])); },
        [&](std::size_t b, std::vector<std::uint8_t> png) {
            const QString name = out + QString("/board-%1.png").arg(b + 1, 3, 10, QChar('0'));
            written = SameFile(file, name) ? Status::failure(kOwnInput.toStdString())
                                           : batch.add(PathOf(name), png, "Render");
            if (!written.ok()) {
                failed = name;
            }
            return written.ok();
        });
    if (!failed.isEmpty()) {
        return Fail(io, failed, QString::fromStdString(written.error()));
    }
    const Status committed = batch.commit();
    return committed.ok() ? 0 : Fail(io, out, QString::fromStdString(committed.error()));
}

}  // namespace krellon::cli
