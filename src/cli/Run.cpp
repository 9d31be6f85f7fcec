#include <QCoreApplication>

#include "Commands.h"
#include "app/Version.h"
#include "storage/StatusNotices.h"

namespace krellon::cli {

namespace {

struct Subcommand {
    const char* name;
    int (*run)(const QStringList&, Streams&);
    const char* summary;
};

constexpr Subcommand kSubcommands[] = {
    {"info", Info, "what a board set or image file holds"},
    {"check", Check, "every problem a file has against the program's limits"},
    {"render", Render, "a board as a PNG, exactly as the editor shows it"},
    {"export", Export, "images of an image file as BMP or PNG"},
    {"import", Import, "BMP or PNG images into an image file"},
    {"add", Add, "a BMP or PNG of any size into an image file as a new image"},
    {"replace", Replace, "an image of an image file by a BMP or PNG of any size"},
    {"remove", Remove, "an image from an image file"},
    {"rename", Rename, "an image of an image file"},
    {"move", Move, "an image of an image file to another place"},
    {"unpack", Unpack, "an image file into a folder of palette PNGs and images.json"},
    {"pack", Pack, "an image file from a folder that unpack wrote, byte for byte"},
    {"dump", Dump, "a board set as JSON text"},
    {"build", Build, "a board set file from JSON text"},
    {"backups", ListBackups, "the kept earlier versions of a folder's files"},
    {"restore", Restore, "puts a kept version of a file back"},
    {"journals", ListJournals, "the edit journals kept of unsaved work, wherever their sets are"},
    {"recover", Recover, "the board set an edit journal holds, into a file"},
    {"discard", Discard, "deletes edit journals and the unsaved work they hold"},
};

QString Usage() {
    QString text =
        "Usage: krellon COMMAND [options] [arguments]\n"
        "The command-line companion of the Krellon board editor: checks, renders, exports and\n"
        "imports the game's board sets (.bds) and image files (.img), with no display.\n\n"
        "Commands:\n";
    for (const Subcommand& command : kSubcommands) {
        text += QString("  %1  %2\n").arg(QString(command.name).leftJustified(8), command.summary);
    }
    text +=
        "\nOptions:\n"
        "  -h, --help     Displays this help; krellon COMMAND --help for a command's.\n"
        "  -v, --version  Displays version information.\n";
    return text;
}

}  // namespace

int Run(const QStringList& arguments, QTextStream& out, QTextStream& err) {
    Streams io{out, err};
    const QString first = arguments.size() > 1 ? arguments[1] : QString();
    if (first == "-h" || first == "--help" || first == "help") {
        out << Usage();
        return 0;
    }
    if (first == "-v" || first == "--version") {
        out << "krellon " << KRELLON_VERSION << "\n";
        return 0;
    }
    for (const Subcommand& command : kSubcommands) {
        if (first == command.name) {
            // A kept version that could not be written stops nothing, but is told.
            const auto notice = QObject::connect(
                &Notices(), &StatusNotices::message,
                [&err](const QString& text) { err << "krellon: " << text << "\n"; });
            const int status = command.run(arguments.mid(1), io);
            QObject::disconnect(notice);
            out.flush();
            err.flush();
            return status;
        }
    }
    err << (first.isEmpty() ? QString("krellon: no command given")
                            : "krellon: unknown command \"" + first + "\"")
        << "\n\n"
        << Usage();
    return kUsage;
}

}  // namespace krellon::cli
