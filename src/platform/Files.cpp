#include "Files.h"

#include <QFile>
#include <cctype>
#include <system_error>

namespace krellon {

namespace {

bool SameLetter(char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) ==
           std::tolower(static_cast<unsigned char>(b));
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
    std::error_code ec;
    for (std::filesystem::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        if (!it->is_regular_file(typeError)) {
            continue;
        }
        std::string name = it->path().filename().string();
        if (WildcardMatch(pattern, name)) {
            names.push_back(std::move(name));
        }
    }
    return names;
}

QStringList Dir(const QString& pattern) {
    QStringList names;
    for (const std::string& name : ListFiles(".", QFile::encodeName(pattern).toStdString())) {
        names.push_back(QFile::decodeName(QByteArray::fromStdString(name)));
    }
    return names;
}

bool IsBareFileName(const QString& name) {
    return !name.isEmpty() && name != "." && name != ".." && !name.contains('/') &&
           !name.contains('\\') && !name.contains(QChar(0));
}

std::optional<std::filesystem::path> FindFile(const QString& name) {
    if (!IsBareFileName(name)) {
        return std::nullopt;
    }
    std::error_code ec;
    const std::filesystem::path exact(QFile::encodeName(name).toStdString());
    if (std::filesystem::is_regular_file(exact, ec)) {
        return exact;
    }
    // Board sets made on other systems often name their image files in another letter case.
    for (const QString& candidate : Dir("*")) {
        if (candidate.compare(name, Qt::CaseInsensitive) == 0) {
            return std::filesystem::path(QFile::encodeName(candidate).toStdString());
        }
    }
    return std::nullopt;
}

}  // namespace krellon
