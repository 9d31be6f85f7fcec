#include "JournalFiles.h"

#include <algorithm>
#include <atomic>
#include <chrono>

#include "DataFolder.h"
#include "formats/NameHash.h"
#include "storage/FileNames.h"
#include "storage/FileSource.h"
#include "storage/PathBytes.h"
#include "storage/System.h"

namespace krellon {

namespace fs = std::filesystem;

namespace {

// What a new set, with no file yet, is called in a key: no file can have this name.
constexpr std::string_view kNewSetName = "\n(new set)";

std::vector<fs::path> JournalsIn(const fs::path& folder, std::string_view stem) {
    std::vector<fs::path> journals;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = PathBytes(it->path().filename());
        if (name.starts_with(stem) && name.ends_with(".krj") && it->is_regular_file(ec)) {
            journals.push_back(it->path());
        }
    }
    std::sort(journals.begin(), journals.end());
    return journals;
}

}  // namespace

fs::path JournalFolder() {
    return DataFolder() / "journal";
}

fs::path DamagedJournalFolder() {
    return JournalFolder() / "damaged";
}

std::string JournalKey(const fs::path& folder, const QString& fileName) {
    const std::string name =
        fileName.isEmpty() ? std::string(kNewSetName) : BytesFromName(fileName);
    std::error_code ec;
    const fs::path absolute = fs::absolute(folder, ec);
    return PathBytes((ec ? folder : absolute).lexically_normal()) + "/" + name;
}

std::pair<std::string, std::string> SplitJournalKey(std::string_view key) {
    const auto slash = key.rfind('/');
    if (slash == std::string_view::npos) {
        return {std::string(), std::string(key)};
    }
    const std::string_view name = key.substr(slash + 1);
    return {std::string(slash == 0 ? key.substr(0, 1) : key.substr(0, slash)),
            name == kNewSetName ? std::string() : std::string(name)};
}

fs::path NewJournalPath(std::string_view key) {
    static std::atomic<unsigned> sessions{0};
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    return JournalFolder() /
           (NameHash(key) + "-" + std::to_string(sys::processId()) + "-" +
            std::to_string(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()) +
            "-" + std::to_string(sessions++) + ".krj");
}

std::vector<fs::path> JournalFilesOf(std::string_view key) {
    return JournalsIn(JournalFolder(), NameHash(key) + "-");
}

std::vector<fs::path> AllJournalFiles() {
    return JournalsIn(JournalFolder(), "");
}

Result<JournalContent> ReadJournalFile(const fs::path& path) {
    FileSource file;
    auto content = file.open(path) ? ReadJournal(file) : Result<JournalContent>::failure({});
    if (!content) {
        // One text for every way a start fails, as `krellon journals` lists it.
        return Result<JournalContent>::failure("not an edit journal, or its start cannot be read");
    }
    return content;
}

bool JournalInUse(const fs::path& path) {
    std::error_code error;
    const sys::File file = sys::openForReading(path, error);
    // The file's closing drops the lock taken to look.
    return !error && !sys::tryLockExclusive(file);
}

Result<fs::path> MoveJournalAside(const fs::path& path) {
    std::error_code ec;
    fs::create_directories(DamagedJournalFolder(), ec);
    if (ec) {
        return Result<fs::path>::failure(ec.message());
    }
    const fs::path target = DamagedJournalFolder() / path.filename();
    fs::rename(path, target, ec);
    if (ec) {
        return Result<fs::path>::failure(ec.message());
    }
    return Result<fs::path>::success(target);
}

}  // namespace krellon
