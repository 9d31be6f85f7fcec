#pragma once

#include <QCommandLineParser>
#include <QString>
#include <QStringList>
#include <QTextStream>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <vector>

#include "formats/BoardSetFile.h"
#include "formats/Result.h"
#include "formats/StoredImageFile.h"

namespace krellon::cli {

// Exit statuses: a file that cannot be read, is refused or cannot be written; a usage error.
constexpr int kFailed = 1;
constexpr int kUsage = 2;

// Where a command writes: its output, and its diagnostics.
struct Streams {
    QTextStream& out;
    QTextStream& err;
};

// One subcommand's command line: its options and arguments, --help, and usage errors.
class Command {
public:
    // name "render", what it does, the syntax of its arguments ("SET.bds").
    Command(const QString& name, const QString& description, const QString& syntax);

    QCommandLineParser parser;

    // Parses arguments (the subcommand's name first). Returns the exit status to end with
    // (0 after --help, kUsage for a usage error, told with the usage) or nothing to go on.
    std::optional<int> parse(const QStringList& arguments, Streams& io);
    // Tells a usage error, with the usage; returns kUsage.
    int usage(Streams& io, const QString& error) const;
    // For a command of one input file and a required board set file to write ("-o SET.bds"):
    // parses arguments into file and out. Returns the exit status to end with (--help, a usage
    // error, an output that is also the input) or nothing to go on. what names the input ("one
    // JSON file").
    std::optional<int> parseInputAndOutput(const QStringList& arguments, const QString& what,
                                           Streams& io, QString& file, QString& out);
    // The arguments after the command's name.
    QStringList files() const { return parser.positionalArguments().mid(1); }

private:
    QString name_;
};

// Tells "file: reason" on the diagnostics stream, the name as ShownFileName shows it; returns
// kFailed.
int Fail(Streams& io, const QString& file, const QString& reason);

// The file system path of a command-line argument, byte for byte as it was given.
std::filesystem::path PathOf(const QString& argument);

// The output argument that means standard output.
inline const QString kStandardOutput = QStringLiteral("-");

// True when out is written as a stream, not replaced: standard output, or an existing named
// pipe or character device (a terminal, /dev/stdout).
bool IsStream(const QString& out);

// True when both arguments lead to one file (the same device and inode, links followed).
bool SameFile(const QString& a, const QString& b);

// The reason an output that is also the command's input is refused.
inline const QString kOwnInput = QStringLiteral("the output is also the input");

// Writes bytes to out: to standard output for "-", else as ReplaceFile replaces a file,
// keeping what it held as replaced by reason (a pipe or device is written as a stream).
Status WriteOutput(const QString& out, std::span<const std::uint8_t> bytes, const QString& reason);

// A whole number argument within [low, high]; nothing otherwise.
std::optional<int> NumberArgument(const QString& text, int low, int high);

// Every stored field of the board set file named file, or why it cannot be read.
Result<StoredBoardSet> ReadSetArgument(const QString& file);

// Reads a whole file of at most limit bytes; the reason when it cannot.
Result<std::vector<std::uint8_t>> ReadWholeFile(const std::filesystem::path& path,
                                                std::uint64_t limit);

// Reads the BMP or palette PNG file name of any size up to kMaxImageSide into picture, with
// the import's checks and messages; its size is checked before any pixel is decoded.
Status ReadPicture(const QString& name, ImagePicture& picture);

// --nearest: a true-colour picture's colours that the palette lacks mapped to the nearest.
QCommandLineOption NearestOption();

// Makes sure folder exists; the reason when it cannot.
Status MakeFolder(const std::filesystem::path& folder);

}  // namespace krellon::cli
