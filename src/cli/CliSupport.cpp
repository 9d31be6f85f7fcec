#include "CliSupport.h"

#include <QFile>

#include "formats/FileSource.h"
#include "formats/ImageFile.h"

namespace krellon::cli {

Command::Command(const QString& name, const QString& description, const QString& syntax)
    : name_(name) {
    parser.setApplicationDescription(description);
    parser.addHelpOption();
    // The subcommand stands first, so the usage line reads "krellon render [options] SET.bds".
    parser.addPositionalArgument(name, "The command.", name);
    parser.addPositionalArgument(syntax, "What the command works on.", syntax);
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

int Fail(Streams& io, const QString& file, const QString& reason) {
    io.err << file << ": " << reason << "\n";
    return kFailed;
}

std::filesystem::path PathOf(const QString& argument) {
    return std::filesystem::path(QFile::encodeName(argument).toStdString());
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
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(source.size()));
    ReadBlock(source, 0, bytes);
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
