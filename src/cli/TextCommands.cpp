// krellon dump and krellon build: board sets as JSON text and back, byte for byte.
#include "Commands.h"
#include "document/BoardSetJson.h"
#include "storage/FileNames.h"

namespace krellon::cli {

namespace {

// A set's text is far smaller; a larger file is refused unread.
constexpr std::uint64_t kMaxJsonBytes = 32ull << 20;

}  // namespace

int Dump(const QStringList& arguments, Streams& io) {
    Command command("dump",
                    "Writes a board set as JSON text, made for reading and for git diff: its "
                    "texts, stored paths, signature, header word and spare text, and each "
                    "board's background and cells as 20 rows of 20 numbers, top row first.",
                    "SET.bds");
    const QCommandLineOption output(
        {"o", "output"}, "The file to write (default, or -: the standard output).", "OUT.json");
    command.parser.addOption(output);
    if (const auto status = command.parse(arguments, io)) {
        return *status;
    }
    const QStringList files = command.files();
    if (files.size() != 1) {
        return command.usage(io, "give one board set file");
    }
    const QString file = files.front();
    const QString out = command.parser.value(output);
    if (SameFile(file, out)) {
        return Fail(io, out, kOwnInput);
    }
    const auto set = ReadSetArgument(file);
    if (!set.ok()) {
        return Fail(io, file, QString::fromStdString(set.error()));
    }
    const QByteArray text = BoardSetToJson(set.value());
    if (!command.parser.isSet(output)) {
        io.out << QString::fromUtf8(text);
        return 0;
    }
    const Status written = WriteOutput(out,
                                       {reinterpret_cast<const std::uint8_t*>(text.constData()),
                                        static_cast<std::size_t>(text.size())},
                                       "Dump of " + ShownFileName(file));
    return written.ok() ? 0 : Fail(io, out, QString::fromStdString(written.error()));
}

int Build(const QStringList& arguments, Streams& io) {
    Command command("build",
                    "Builds a board set file from the JSON text that dump writes; refuses text "
                    "that a board set file cannot hold.",
                    "SET.json");
    QString file;
    QString out;
    if (const auto status =
            command.parseInputAndOutput(arguments, "one JSON file", io, file, out)) {
        return *status;
    }
    const auto bytes = ReadWholeFile(PathOf(file), kMaxJsonBytes);
    if (!bytes.ok()) {
        return Fail(io, file, QString::fromStdString(bytes.error()));
    }
    const auto set = BoardSetFromJson(
        QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.value().data()),
                                static_cast<qsizetype>(bytes.value().size())));
    if (!set.ok()) {
        return Fail(io, file, QString::fromStdString(set.error()));
    }
    const Status written =
        WriteOutput(out, EncodeStoredBoardSet(set.value()), "Build from " + ShownFileName(file));
    return written.ok() ? 0 : Fail(io, out, QString::fromStdString(written.error()));
}

}  // namespace krellon::cli
