#include "CliSupport.h"

#include "storage/FileNames.h"
#include "storage/FileSource.h"
#include "storage/FileWrites.h"
#include "storage/System.h"

namespace krellon::cli {

Command::Command(const QString& name, const QString& description, const QString& syntax)
    : name_(name) {
    parser.setApplicationDescription(description);
    parser.addHelpOption();
    // The subcommand stands first, so the usage line reads "krellon render [options] SET.bds".
    parser.addPositionalArgument(name, "The command.", name);
    // Each word its own argument, so that the help's column never breaks one.
    QString what = "What the command works on.";
    for (const QString& word : syntax.split(' ', Qt::SkipEmptyParts)) {
        parser.addPositionalArgument(word, what, word);
        what.clear();
    }
}

QCommandLineOption NearestOption() {
    return {"nearest",
            "Maps each colour of a true-colour picture that the palette lacks to the nearest one "
            "(squared distance of red, green and blue; the lowest index on ties) instead of "
            "refusing the picture."};
}

std::optional<int> Command::parse(const QStringList& arguments, Streams& io) {
    // The parser takes the program's name first.
    QStringList all = arguments;
    all.prepend("krellon");
    if (!parser.parse(all)) {
        return usage(io, parser.errorText());
    }
    if (parser.isSet("help")) {
        io.out << parser.helpText();
        return 0;
    }
    return std::nullopt;
}

int Command::usage(Streams& io, const QString& error) const {
    io.err << "krellon " << name_ << ": " << error << "\n\n" << parser.helpText();
    return kUsage;
}

std::optional<int> Command::parseInputAndOutput(const QStringList& arguments, const QString& what,
                                                Streams& io, QString& file, QString& out) {
    const QCommandLineOption output(
        {"o", "output"}, "The board set file to write (-: the standard output).", "SET.bds");
    parser.addOption(output);
    if (const auto status = parse(arguments, io)) {
        return status;
    }
    if (files().size() != 1) {
        return usage(io, "give " + what);
    }
    if (!parser.isSet(output)) {
        return usage(io, "no output given (-o)");
    }
    file = files().front();
    out = parser.value(output);
    if (SameFile(file, out)) {
        return Fail(io, out, kOwnInput);
    }
    return std::nullopt;
}

int Fail(Streams& io, const QString& file, const QString& reason) {
    io.err << ShownFileName(file) << ": " << reason << "\n";
    return kFailed;
}

std::filesystem::path PathOf(const QString& argument) {
    return PathFromName(argument);
}

bool IsStream(const QString& out) {
    if (out == kStandardOutput) {
        return true;
    }
    const sys::FileKind kind = sys::infoOf(PathOf(out)).kind;
    return kind == sys::FileKind::Pipe || kind == sys::FileKind::CharDevice;
}

bool SameFile(const QString& a, const QString& b) {
    if (a == kStandardOutput || b == kStandardOutput) {
        return false;
    }
    const sys::FileInfo first = sys::infoOf(PathOf(a));
    const sys::FileInfo second = sys::infoOf(PathOf(b));
    return first.kind != sys::FileKind::Missing && second.kind != sys::FileKind::Missing &&
           first.id == second.id;
}

Status WriteOutput(const QString& out, std::span<const std::uint8_t> bytes, const QString& reason) {
    if (out != kStandardOutput) {
        return ReplaceFile(PathOf(out), bytes, reason);
    }
    // Straight to the descriptor: standard output may be a file opened for appending, a pipe
    // or a socket, none of which a name would reach as it is.
    const std::error_code error = sys::writeStandardOutput(bytes);
    return error ? Status::failure(error.message()) : Status::success();
}

std::optional<int> NumberArgument(const QString& text, int low, int high) {
    bool ok = false;
    const int n = text.toInt(&ok);
    if (!ok || n < low || n > high) {
        return std::nullopt;
    }
    return n;
}

Result<StoredBoardSet> ReadSetArgument(const QString& file) {
    FileSource source;
    if (!source.open(PathOf(file))) {
        return Result<StoredBoardSet>::failure("the file cannot be opened");
    }
    return DecodeStoredBoardSet(source);
}

Result<std::vector<std::uint8_t>> ReadWholeFile(const std::filesystem::path& path,
                                                std::uint64_t limit) {
    using R = Result<std::vector<std::uint8_t>>;
    FileSource source;
    if (!source.open(path)) {
        return R::failure("the file cannot be opened");
    }
    if (source.size() > limit) {
        return R::failure("the file is larger than " + std::to_string(limit >> 20) + " MiB");
    }
    std::vector<std::uint8_t> bytes;
    if (!ReadAll(source, bytes)) {
        return R::failure("the file could not be read whole");
    }
    return R::success(std::move(bytes));
}

Status MakeFolder(const std::filesystem::path& folder) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (!std::filesystem::is_directory(folder)) {
        return Status::failure(ec ? ec.message() : "not a folder");
    }
    return Status::success();
}

}  // namespace krellon::cli
