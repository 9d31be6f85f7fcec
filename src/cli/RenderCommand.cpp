// krellon render: boards as PNG files with exactly the pixels the editor shows.
#include <QBuffer>
#include <QImageWriter>

#include "Commands.h"
#include "FileKinds.h"
#include "formats/BoardSetFile.h"
#include "render/BoardLook.h"
#include "storage/Cp1252.h"
#include "storage/FileWrites.h"
#include "transfers/Pipeline.h"

namespace krellon::cli {

namespace {

std::vector<std::uint8_t> PngBytes(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    writer.write(image);
    return {bytes.begin(), bytes.end()};
}

// Renders board number board of set to the PNG file out.
int RenderOne(const QString& file, const QString& out, const BoardSetContent& set, int board,
              render::BoardLook& look, Streams& io) {
    if (board > static_cast<int>(set.boards.size())) {
        return Fail(
            io, file,
            QString("there is no board %1; the set has %2").arg(board).arg(set.boards.size()));
    }
    const Status written =
        WriteOutput(out, PngBytes(look.renderBoard(set.boards[board - 1])), "Render");
    return written.ok() ? 0 : Fail(io, out, QString::fromStdString(written.error()));
}

// Renders every board of set into the folder out, as board-001.png and on.
int RenderAll(const QString& file, const QString& out, const BoardSetContent& set,
              render::BoardLook& look, Streams& io) {
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
    for (const Board& b : set.boards) {
        look.tile(b.background);
    }
    RunPipeline<std::vector<std::uint8_t>>(
        set.boards.size(), [&](std::size_t b) { return PngBytes(look.renderBoard(set.boards[b])); },
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
    // Drawn from the set's folder as the editor draws it.
    render::BoardLook look;
    const std::filesystem::path folder = FolderOf(PathOf(file));
    look.readBricks(FromCp1252(content.brickSetFile), folder);
    look.readBackgrounds(FromCp1252(content.backgroundSetFile), folder);
    look.setMode(backgroundMode);
    look.setShowHidden(!command.parser.isSet(hide));
    return command.parser.isSet(all) ? RenderAll(file, out, content, look, io)
                                     : RenderOne(file, out, content, *board, look, io);
}

}  // namespace krellon::cli
