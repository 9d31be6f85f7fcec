#include "Files.h"

#include "FileNames.h"
#include "PathBytes.h"

#include <QFile>

#include <system_error>

namespace krellon {

namespace {

// Letter case folds for the ASCII letters only, as the file search of the game's platform
// does for names in the single-byte code page.
char Folded(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameLetter(char a, char b) {
    return Folded(a) == Folded(b);
}

// Calls found(name) for each regular file of dir, in the order the file system returns them.
// The directory entry tells the type on most file systems; only where it does not, or for a
// symbolic link, is the file asked.
template <typename Found>
void ForEachFile(const std::filesystem::path& dir, Found found) {
    std::error_code ec;
    for (std::filesystem::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code kind;
        if (it->is_regular_file(kind)) {
            found(PathBytes(it->path().filename()));
        }
    }
}

}  // namespace

bool WildcardMatch(std::string_view pattern, std::string_view name) {
    // Greedy match with backtracking to the last "*": linear in practice, no recursion.
    std::size_t p = 0;
    std::size_t n = 0;
    std::size_t star = std::string_view::npos;
    std::size_t resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() &&
            (pattern[p] == '?' || (pattern[p] != '*' && SameLetter(pattern[p], name[n])))) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = n;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}

std::vector<std::string> ListFiles(const std::filesystem::path& dir, std::string_view pattern) {
    std::vector<std::string> names;
    ForEachFile(dir, [&](std::string_view name) {
        if (WildcardMatch(pattern, name)) {
            names.emplace_back(name);
        }
    });
    return names;
}

QStringList Dir(const QString& pattern) {
    return Dir(QStringList{pattern}).front();
}

QList<QStringList> Dir(const QStringList& patterns) {
    std::vector<std::string> wildcards;
    for (const QString& pattern : patterns) {
        wildcards.push_back(BytesFromName(pattern));
    }
    QList<QStringList> lists(patterns.size());
    ForEachFile(".", [&](std::string_view name) {
        for (std::size_t i = 0; i < wildcards.size(); ++i) {
            if (WildcardMatch(wildcards[i], name)) {
                lists[static_cast<qsizetype>(i)].push_back(NameFromBytes(name));
            }
        }
    });
    return lists;
}

bool IsBareFileName(const QString& name) {
    return !name.isEmpty() && name != "." && name != ".." && !name.contains('/') &&
           !name.contains('\\') && !name.contains(QChar(0));
}

std::optional<std::filesystem::path> FindFile(const QString& name,
                                              const std::filesystem::path& folder) {
    if (!IsBareFileName(name)) {
        return std::nullopt;
    }
    std::error_code ec;
    const std::filesystem::path exact = folder / PathFromName(name);
    if (std::filesystem::is_regular_file(exact, ec)) {
        return exact;
    }
    // Board sets made on other systems often name their image files in another letter case.
    for (const std::string& candidate : ListFiles(folder.empty() ? "." : folder, "*")) {
        if (NameFromBytes(candidate).compare(name, Qt::CaseInsensitive) == 0) {
            return folder / PathOfBytes(candidate);
        }
    }
    return std::nullopt;
}

bool SameFileInFolder(const QString& a, const QString& b) {
    const auto first = FindFile(a);
    const auto second = first ? FindFile(b) : std::nullopt;
    std::error_code ec;
    return second && std::filesystem::equivalent(*first, *second, ec);
}

bool OpenInFolder(const QString& name, FileSource& source, const std::filesystem::path& folder) {
    if (!IsBareFileName(name)) {
        return false;
    }
    if (source.open(folder / PathFromName(name))) {
        return true;
    }
    const auto path = FindFile(name, folder);
    return path && source.open(*path);
}

}  // namespace krellon
