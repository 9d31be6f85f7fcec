#pragma once

#include <QString>
#include <QStringList>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "storage/FileSource.h"

namespace krellon {

// True when name matches a wildcard pattern of "*" (any run) and "?" (one character), letter
// case ignored as the platform's file search does.
bool WildcardMatch(std::string_view pattern, std::string_view name);

// Bare names of the regular files in dir that match pattern, in the order in which the file
// system returns them.
std::vector<std::string> ListFiles(const std::filesystem::path& dir, std::string_view pattern);

// The working folder's files matching pattern ("*.img"), as names to show.
QStringList Dir(const QString& pattern);

// One listing of the working folder for several patterns: entry i holds the files matching
// patterns[i], each in the order of the listing.
QList<QStringList> Dir(const QStringList& patterns);

// The path of a bare file name in folder (empty: the working folder): the name as written when
// such a file exists, else the first file whose name matches it ignoring letter case. Nothing
// for names that are empty, hold a folder separator, or name no regular file.
std::optional<std::filesystem::path> FindFile(const QString& name,
                                              const std::filesystem::path& folder = {});

// Opens folder's file that FindFile names for name: the name as written in one open when it
// is a regular file, else FindFile's match. False when there is none.
bool OpenInFolder(const QString& name, FileSource& source,
                  const std::filesystem::path& folder = {});

// True when the two names find the same file of the working folder (FindFile), whatever
// letter case either is written in.
bool SameFileInFolder(const QString& a, const QString& b);

// True when name can stand for a file of the working folder: not empty, no folder separator,
// not "." or "..".
bool IsBareFileName(const QString& name);

}  // namespace krellon
