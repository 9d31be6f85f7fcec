#include "AtomicFile.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>
#include <system_error>

#if __has_include(<unistd.h>)
#include <unistd.h>
#define KRELLON_HAVE_FSYNC 1
#endif

namespace krellon {

namespace {

std::optional<std::uint64_t> g_failAfterBytes;

std::string ErrnoText(int error) {
    return std::strerror(error);
}

// Opens a new, uniquely named file next to target for writing; never reuses an existing name.
std::FILE* CreateTemporary(const std::filesystem::path& target, std::filesystem::path& temp,
                           int& error) {
    static std::atomic<unsigned> counter{0};
    std::random_device random;
    const std::filesystem::path dir = target.has_parent_path() ? target.parent_path() : ".";
    for (int attempt = 0; attempt < 16; ++attempt) {
        const std::string name = "." + target.filename().string() + ".tmp-" +
                                 std::to_string(random()) + "-" + std::to_string(counter++);
        temp = dir / name;
        // "x": fail rather than open a file that exists already.
        if (std::FILE* f = std::fopen(temp.c_str(), "wbx")) {
            return f;
        }
        error = errno;
        if (error != EEXIST) {
            return nullptr;
        }
    }
    return nullptr;
}

}  // namespace

void SetWriteFailureAfterBytesForTesting(std::optional<std::uint64_t> bytes) {
    g_failAfterBytes = bytes;
}

std::string WriteFileAtomically(const std::filesystem::path& path,
                                std::span<const std::uint8_t> bytes) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        return "a folder of that name is in the way";
    }
    // A file marked read-only is kept, even where the folder would allow replacing it.
    const auto existing = std::filesystem::status(path, ec);
    if (!ec && std::filesystem::is_regular_file(existing) &&
        (existing.permissions() & std::filesystem::perms::owner_write) ==
            std::filesystem::perms::none) {
        return "the file is read-only";
    }
    std::filesystem::path temp;
    int error = 0;
    std::FILE* f = CreateTemporary(path, temp, error);
    if (f == nullptr) {
        return ErrnoText(error);
    }

    std::string failure;
    std::size_t toWrite = bytes.size();
    if (g_failAfterBytes && *g_failAfterBytes < toWrite) {
        toWrite = static_cast<std::size_t>(*g_failAfterBytes);
        failure = "No space left on device";
    }
    if (toWrite > 0 && std::fwrite(bytes.data(), 1, toWrite, f) != toWrite && failure.empty()) {
        failure = ErrnoText(errno);
    }
    if (std::fflush(f) != 0 && failure.empty()) {
        failure = ErrnoText(errno);
    }
#ifdef KRELLON_HAVE_FSYNC
    if (failure.empty() && ::fsync(fileno(f)) != 0) {
        failure = ErrnoText(errno);
    }
#endif
    if (std::fclose(f) != 0 && failure.empty()) {
        failure = ErrnoText(errno);
    }

    if (failure.empty()) {
        // A file that is replaced keeps its permissions.
        const auto status = std::filesystem::status(path, ec);
        if (!ec && std::filesystem::is_regular_file(status)) {
            std::filesystem::permissions(temp, status.permissions(), ec);
        }
        std::filesystem::rename(temp, path, ec);
        if (ec) {
            failure = ec.message();
        }
    }
    if (!failure.empty()) {
        std::filesystem::remove(temp, ec);
    }
    return failure;
}

}  // namespace krellon
