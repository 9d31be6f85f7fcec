#include "BackupStore.h"

#include "FileSource.h"
#include "PathBytes.h"
#include "formats/NameHash.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <map>
#include <mutex>
#include <random>
#include <sstream>
#include <system_error>
#include <utility>

namespace krellon {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kMagic = "krellon-backup 1";

// Paths and reasons are stored byte for byte, with line breaks and "%" written as %XX, so
// that any name a folder can hold survives the text format.
std::string Escape(std::string_view text) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (c == '%' || c < 0x20 || c == 0x7F) {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string Unescape(std::string_view text) {
    auto digit = [](char c) {
        return c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    };
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && digit(text[i + 1]) >= 0 &&
            digit(text[i + 2]) >= 0) {
            out += static_cast<char>(digit(text[i + 1]) * 16 + digit(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// Names sort as the versions were made: nanoseconds, then a random part against clashes.
std::string NewStamp() {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(now).count();
    std::random_device random;
    char text[40];
    std::snprintf(text, sizeof text, "%020lld-%08x", static_cast<long long>(ns), random());
    return text;
}

// What a disk step that the test seam stops fails with.
std::error_code StepFailure() {
    return std::make_error_code(std::errc::io_error);
}

std::mutex g_hookMutex;
std::function<bool(std::string_view)> g_diskStepHook;

// Flushes the folder's entries (a name just made in it) to disk.
std::error_code FlushFolder(const fs::path& folder) {
    return DiskStepGoesAhead("flush backup folder") ? sys::flushFolder(folder) : StepFailure();
}

// Reads the description at the head of a version file; false when it is not one. The head
// is a few text lines ended by an empty one; the kept bytes follow it.
bool ReadHead(const fs::path& file, BackupEntry& entry) {
    FileSource source;
    if (!source.open(file)) {
        return false;
    }
    std::string head(static_cast<std::size_t>(std::min<std::uint64_t>(source.size(), 8192)), '\0');
    head.resize(source.readAt(0, {reinterpret_cast<std::uint8_t*>(head.data()), head.size()}));
    const std::size_t end = head.find("\n\n");
    if (end == std::string::npos || !head.starts_with(std::string(kMagic) + "\n")) {
        return false;
    }
    bool haveOriginal = false;
    std::size_t at = kMagic.size() + 1;
    while (at <= end) {
        const std::size_t next = head.find('\n', at);
        const std::string_view line(head.data() + at, next - at);
        at = next + 1;
        const auto eq = line.find('=');
        if (eq == std::string_view::npos) {
            continue;
        }
        const std::string_view key = line.substr(0, eq);
        const std::string value = Unescape(line.substr(eq + 1));
        if (key == "original") {
            entry.original = PathOfBytes(value);
            haveOriginal = true;
        } else if (key == "reason") {
            entry.reason = value;
        }
    }
    entry.timeNs = std::strtoll(PathBytes(file.stem()).c_str(), nullptr, 10);
    entry.stored = file;
    entry.offset = end + 2;
    entry.size = source.size() - entry.offset;
    return haveOriginal;
}

std::vector<BackupEntry> AllEntries(const fs::path& root) {
    std::vector<BackupEntry> entries;
    std::error_code ec;
    for (fs::directory_iterator dir(root, ec), end; !ec && dir != end; dir.increment(ec)) {
        std::error_code inner;
        for (fs::directory_iterator it(dir->path(), inner), last; !inner && it != last;
             it.increment(inner)) {
            if (it->path().extension() == ".bak") {
                BackupEntry entry;
                if (ReadHead(it->path(), entry)) {
                    entries.push_back(std::move(entry));
                }
            }
        }
    }
    std::sort(entries.begin(), entries.end(), [](const BackupEntry& a, const BackupEntry& b) {
        return a.stored.filename() > b.stored.filename();
    });
    return entries;
}

}  // namespace

fs::path BackupStore::key(const fs::path& original) {
    std::error_code ec;
    const fs::path absolute = fs::absolute(original, ec);
    const fs::path folder = fs::weakly_canonical(absolute.parent_path(), ec);
    return (ec ? absolute.parent_path() : folder) / absolute.filename();
}

Result<std::vector<std::uint8_t>> BackupStore::read(const BackupEntry& entry) {
    using R = Result<std::vector<std::uint8_t>>;
    FileSource source;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(entry.size));
    if (!source.open(entry.stored) || source.size() < entry.offset + entry.size ||
        source.readAt(entry.offset, bytes) != bytes.size()) {
        return R::failure("the kept version can no longer be read");
    }
    return R::success(std::move(bytes));
}

BackupStore::Writer::Writer(Writer&& other) noexcept {
    *this = std::move(other);
}

BackupStore::Writer& BackupStore::Writer::operator=(Writer&& other) noexcept {
    if (this != &other) {
        abandon();
        store_ = other.store_;
        file_ = std::move(other.file_);
        finished_ = std::exchange(other.finished_, false);
        dir_ = std::move(other.dir_);
        stamp_ = std::move(other.stamp_);
        size_ = other.size_;
        error_ = std::move(other.error_);
    }
    return *this;
}

BackupStore::Writer::~Writer() {
    abandon();
}

void BackupStore::Writer::abandon() {
    if (file_.isOpen()) {
        file_.close();
        finished_ = true;
    }
    if (finished_) {
        finished_ = false;
        std::error_code ec;
        fs::remove(dir_ / (stamp_ + ".part"), ec);
    }
}

void BackupStore::Writer::fail(std::string reason) {
    abandon();
    error_ = std::move(reason);
}

bool BackupStore::Writer::append(std::span<const std::uint8_t> bytes) {
    if (!file_.isOpen() || bytes.empty()) {
        return file_.isOpen();
    }
    if (const std::error_code error = sys::writeAll(file_, bytes)) {
        error_ = error.message();
        abandon();
        return false;
    }
    size_ += bytes.size();
    return true;
}

Status BackupStore::Writer::finish(bool flush) {
    if (!file_.isOpen()) {
        return finished_        ? Status::success()
               : error_.empty() ? Status::failure("no backup was started")
                                : Status::failure(error_);
    }
    const std::error_code written = !flush                              ? std::error_code()
                                    : DiskStepGoesAhead("flush backup") ? sys::flushToDisk(file_)
                                                                        : StepFailure();
    const std::error_code closed = file_.close();
    finished_ = true;
    if (written || closed) {
        error_ = (written ? written : closed).message();
        abandon();
        return Status::failure(error_);
    }
    return Status::success();
}

Status BackupStore::Writer::commit(bool flush) {
    if (Status finished = finish(flush); !finished.ok()) {
        return finished;
    }
    // The version appears under its final name only once it is complete, and its name is on
    // disk before the file it keeps is replaced: after a power cut the version is whole or
    // absent, never empty beside a replaced file.
    const fs::path part = dir_ / (stamp_ + ".part");
    const fs::path kept = dir_ / (stamp_ + ".bak");
    if (const std::error_code renamed =
            DiskStepGoesAhead("rename backup") ? sys::renameOver(part, kept) : StepFailure()) {
        error_ = renamed.message();
        abandon();
        return Status::failure(error_);
    }
    finished_ = false;
    if (const std::error_code flushed = flush ? FlushFolder(dir_) : std::error_code()) {
        error_ = flushed.message();
        std::error_code ec;
        fs::remove(kept, ec);
        return Status::failure(error_);
    }
    store_->prune(dir_, size_);
    return Status::success();
}

BackupStore::Writer BackupStore::begin(const fs::path& original, std::string_view reason) {
    Writer writer;
    writer.store_ = this;
    const fs::path known = key(original);
    // One sub-folder an original, named by a hash of its key.
    writer.dir_ = root_ / NameHash(PathBytes(known));
    std::error_code ec;
    if (!fs::is_directory(writer.dir_, ec)) {
        fs::create_directories(writer.dir_, ec);
        if (ec) {
            writer.error_ = ec.message();
            return writer;
        }
        // The store holds the user's files: for the user alone.
        sys::restrictToOwner(root_);
    }
    writer.stamp_ = NewStamp();
    std::error_code error;
    writer.file_ =
        sys::createNew(writer.dir_ / (writer.stamp_ + ".part"), sys::NewFileAccess::Usual, error);
    if (error) {
        writer.error_ = error.message();
        return writer;
    }
    const std::string head = std::string(kMagic) + "\noriginal=" + Escape(PathBytes(known)) +
                             "\nreason=" + Escape(reason) + "\n\n";
    if (const std::error_code written = sys::writeAll(
            writer.file_, {reinterpret_cast<const std::uint8_t*>(head.data()), head.size()})) {
        writer.error_ = written.message();
        writer.abandon();
    }
    return writer;
}

std::vector<BackupEntry> BackupStore::list(const fs::path& folder) const {
    std::vector<BackupEntry> entries = AllEntries(root_);
    if (folder.empty()) {
        return entries;
    }
    std::error_code ec;
    fs::path wanted = fs::weakly_canonical(fs::absolute(folder, ec), ec);
    if (wanted.has_filename() == false) {
        wanted = wanted.parent_path();
    }
    std::erase_if(entries,
                  [&](const BackupEntry& entry) { return entry.original.parent_path() != wanted; });
    return entries;
}

namespace {

// A kept version as pruning sees it: only names and sizes are needed, since a version's name
// sorts as it was made, and its description is not read.
struct KeptVersion {
    fs::path bytes;
    std::uint64_t size;
    bool newest;
};

// The versions in a file's folder, newest first, with their sizes when asked for.
std::vector<KeptVersion> VersionsIn(const fs::path& folder, bool sizes) {
    std::vector<KeptVersion> versions;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->path().extension() == ".bak") {
            std::error_code sizeError;
            const std::uint64_t size = sizes ? it->file_size(sizeError) : 0;
            versions.push_back({it->path(), sizeError ? 0 : size, false});
        }
    }
    std::sort(versions.begin(), versions.end(), [](const KeptVersion& a, const KeptVersion& b) {
        return a.bytes.filename() > b.bytes.filename();
    });
    if (!versions.empty()) {
        versions.front().newest = true;
    }
    return versions;
}

void RemoveVersion(const fs::path& bytes) {
    std::error_code ec;
    fs::remove(bytes, ec);
}

// Whether the whole store is due to be measured: not more often than the interval, unless the
// newest version is large. The time of the last measure is kept by the store's folder: a store
// object is made anew for each replacement, and one store's measure says nothing of another's.
bool MeasureDue(const fs::path& root, bool large, std::chrono::steady_clock::duration interval) {
    static std::mutex lastCheckMutex;
    static std::map<fs::path, std::chrono::steady_clock::time_point> lastChecks;
    const auto now = std::chrono::steady_clock::now();
    std::lock_guard lock(lastCheckMutex);
    const auto last = lastChecks.find(root);
    if (!large && last != lastChecks.end() && now - last->second < interval) {
        return false;
    }
    lastChecks[root] = now;
    return true;
}

}  // namespace

void BackupStore::prune(const fs::path& dir, std::uint64_t newestSize) const {
    // The file just kept: its newest versions up to the count.
    std::vector<KeptVersion> own = VersionsIn(dir, false);
    for (std::size_t i = limits_.versionsPerFile; i < own.size(); ++i) {
        RemoveVersion(own[i].bytes);
    }
    // The whole store over its cap: the oldest versions go first, but the newest of every
    // file stays, so that the last replacement of a file can always be undone.
    if (!MeasureDue(root_, newestSize > limits_.totalBytes / 16, limits_.totalCheckInterval)) {
        return;
    }
    std::vector<KeptVersion> all;
    std::uint64_t total = 0;
    std::error_code ec;
    for (fs::directory_iterator it(root_, ec), end; !ec && it != end; it.increment(ec)) {
        std::vector<KeptVersion> versions = VersionsIn(it->path(), true);
        if (it->path() == dir && versions.size() > limits_.versionsPerFile) {
            versions.resize(limits_.versionsPerFile);
        }
        for (KeptVersion& version : versions) {
            total += version.size;
            all.push_back(std::move(version));
        }
    }
    if (total <= limits_.totalBytes) {
        return;
    }
    std::sort(all.begin(), all.end(), [](const KeptVersion& a, const KeptVersion& b) {
        return a.bytes.filename() < b.bytes.filename();
    });
    for (const KeptVersion& version : all) {
        if (total <= limits_.totalBytes) {
            break;
        }
        if (!version.newest) {
            RemoveVersion(version.bytes);
            total -= version.size;
        }
    }
}

void SetDiskStepHookForTesting(std::function<bool(std::string_view)> hook) {
    std::lock_guard lock(g_hookMutex);
    g_diskStepHook = std::move(hook);
}

bool DiskStepGoesAhead(std::string_view step) {
    std::lock_guard lock(g_hookMutex);
    if (g_diskStepHook && !g_diskStepHook(step)) {
        return false;
    }
    return true;
}

}  // namespace krellon
