#pragma once

#include <QString>
#include <QStringList>
#include <filesystem>
#include <string>
#include <string_view>

namespace krellon {

// File names as the folder gives them, in a QString that keeps every byte: valid UTF-8 decodes
// as usual, and each byte that is not part of valid UTF-8 becomes the lone surrogate
// U+DC00 + byte, which no decoded text contains. Such a name opens the very file it came from.
QString NameFromBytes(std::string_view bytes);

// The bytes of a name made by NameFromBytes (or typed: plain UTF-8).
std::string BytesFromName(const QString& name);

// The one way between the names the program holds and the file system's paths: the bytes of
// the name as they are, both ways (on Windows, where names are UTF-16, every code unit).
inline std::filesystem::path PathFromName(const QString& name) {
#ifdef _WIN32
    return std::filesystem::path(name.toStdWString());
#else
    return BytesFromName(name);
#endif
}
inline QString NameFromPath(const std::filesystem::path& path) {
#ifdef _WIN32
    return QString::fromStdWString(path.native());
#else
    return NameFromBytes(path.native());
#endif
}

// A program's command-line arguments, every file name kept as NameFromPath keeps it (argv's
// bytes on POSIX, the UTF-16 command line on Windows; Qt's own list decodes and loses them).
QStringList ProgramArguments(int argc, char** argv);

// A name as it is shown in lists and messages: a byte that is not UTF-8 as the replacement
// character, a line break and the other control characters as their visible symbols.
QString ShownFileName(const QString& name);
inline QString ShownFileName(std::string_view bytes) {
    return ShownFileName(NameFromBytes(bytes));
}

// True when a board set file can name this file as it is: every character in Windows-1252,
// and no byte that is not UTF-8.
bool StorableName(const QString& name);

}  // namespace krellon
