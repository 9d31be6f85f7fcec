// The Windows side of System.h.
#include "System.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// windows.h first: the others build on it.
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>
#include <winioctl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace krellon::sys {

namespace fs = std::filesystem;

namespace {

// The system's error as the POSIX one of the same meaning where there is one, so that a
// message reads the same on both systems ("No space left on device"); else the system's own.
std::error_code ErrorOf(DWORD code) {
    switch (code) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
            return std::make_error_code(std::errc::no_such_file_or_directory);
        case ERROR_ACCESS_DENIED:
        case ERROR_CURRENT_DIRECTORY:
            return std::make_error_code(std::errc::permission_denied);
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return std::make_error_code(std::errc::file_exists);
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return std::make_error_code(std::errc::no_space_on_device);
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_USER_MAPPED_FILE:
            // A file another program holds open: Windows refuses to replace it.
            return std::make_error_code(std::errc::device_or_resource_busy);
        case ERROR_BROKEN_PIPE:
        case ERROR_NO_DATA:
            return std::make_error_code(std::errc::broken_pipe);
        case ERROR_DIRECTORY:
            return std::make_error_code(std::errc::not_a_directory);
        case ERROR_FILENAME_EXCED_RANGE:
            return std::make_error_code(std::errc::filename_too_long);
        case ERROR_INVALID_NAME:
            return std::make_error_code(std::errc::invalid_argument);
        case ERROR_WRITE_PROTECT:
            return std::make_error_code(std::errc::read_only_file_system);
        case ERROR_NOT_READY:
        case ERROR_CRC:
        case ERROR_SECTOR_NOT_FOUND:
        case ERROR_READ_FAULT:
        case ERROR_WRITE_FAULT:
        case ERROR_GEN_FAILURE:
            return std::make_error_code(std::errc::io_error);
        default:
            return {static_cast<int>(code), std::system_category()};
    }
}

std::error_code LastError() {
    return ErrorOf(::GetLastError());
}

// Windows refuses to replace a file that another program has open, a failure POSIX does not
// have; it is told in words of its own.
class HeldOpenCategory final : public std::error_category {
public:
    const char* name() const noexcept override { return "held open"; }
    std::string message(int) const override { return "the file is open in another program"; }
};

std::error_code HeldOpen() {
    static const HeldOpenCategory category;
    return {1, category};
}

HANDLE Handle(const File& file) {
    return reinterpret_cast<HANDLE>(file.handle());
}

File FromHandle(HANDLE handle, std::error_code& error) {
    error = handle == INVALID_HANDLE_VALUE ? LastError() : std::error_code();
    return File(reinterpret_cast<std::intptr_t>(handle));
}

// Others may read, write, rename and delete a file while it is open here, as on POSIX.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Seconds and nanoseconds since 1970 of a time in 100 ns steps since 1601.
std::pair<std::int64_t, std::int64_t> UnixTime(FILETIME time) {
    constexpr std::int64_t kStepsTo1970 = 116444736000000000LL;
    const std::int64_t steps =
        static_cast<std::int64_t>((static_cast<std::uint64_t>(time.dwHighDateTime) << 32) |
                                  time.dwLowDateTime) -
        kStepsTo1970;
    std::int64_t seconds = steps / 10000000;
    std::int64_t rest = steps % 10000000;
    if (rest < 0) {
        --seconds;
        rest += 10000000;
    }
    return {seconds, rest * 100};
}

FileInfo InfoOfHandle(HANDLE handle) {
    FileInfo info;
    switch (::GetFileType(handle)) {
        case FILE_TYPE_PIPE:
            info.kind = FileKind::Pipe;
            return info;
        case FILE_TYPE_CHAR:
            info.kind = FileKind::CharDevice;
            return info;
        case FILE_TYPE_DISK:
            break;
        default:
            info.kind = FileKind::Other;
            return info;
    }
    BY_HANDLE_FILE_INFORMATION data{};
    if (!::GetFileInformationByHandle(handle, &data)) {
        return {};
    }
    info.kind = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? FileKind::Folder
                                                                        : FileKind::Regular;
    info.id = {data.dwVolumeSerialNumber,
               (static_cast<std::uint64_t>(data.nFileIndexHigh) << 32) | data.nFileIndexLow};
    info.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    const auto [seconds, nanoseconds] = UnixTime(data.ftLastWriteTime);
    info.modifiedSeconds = seconds;
    info.modifiedNanoseconds = nanoseconds;
    info.readOnly = (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
    // The attributes a replacement takes over; owners and groups are a POSIX matter.
    info.mode = data.dwFileAttributes;
    return info;
}

std::error_code WriteAll(HANDLE handle, std::span<const std::uint8_t> bytes) {
    const std::uint8_t* data = bytes.data();
    std::size_t size = bytes.size();
    while (size > 0) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
        DWORD done = 0;
        if (!::WriteFile(handle, data, chunk, &done, nullptr)) {
            return LastError();
        }
        if (done == 0) {
            // A write that takes nothing has found no room.
            return std::make_error_code(std::errc::no_space_on_device);
        }
        data += done;
        size -= done;
    }
    return {};
}

// The byte a journal's lock covers: far past any data, so that a lock never stops a reader of
// the file as a lock on its bytes would on Windows.
constexpr DWORD kLockOffsetLow = 0xFFFFFFFEu;
constexpr DWORD kLockOffsetHigh = 0x7FFFFFFFu;

}  // namespace

std::error_code File::close() {
    if (handle_ == -1) {
        return {};
    }
    const auto handle = reinterpret_cast<HANDLE>(std::exchange(handle_, -1));
    return ::CloseHandle(handle) ? std::error_code() : LastError();
}

File openForReading(const fs::path& path, std::error_code& error) {
    // Backup semantics let a folder be opened too, so that the caller can tell what it is.
    return FromHandle(::CreateFileW(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_BACKUP_SEMANTICS, nullptr),
                      error);
}

File createNew(const fs::path& path, NewFileAccess, std::error_code& error) {
    // A private file needs nothing more: the data location under the user's profile is the
    // user's alone.
    return FromHandle(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr,
                                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr),
                      error);
}

File openStream(const fs::path& path, std::error_code& error) {
    return FromHandle(::CreateFileW(path.c_str(), GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr),
                      error);
}

FileInfo infoOf(const fs::path& path) {
    // No access asked for: attributes can be read even of a file another program locked.
    const HANDLE handle =
        ::CreateFileW(path.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return {};
    }
    const FileInfo info = InfoOfHandle(handle);
    ::CloseHandle(handle);
    return info;
}

FileInfo infoOf(const File& file) {
    return file.isOpen() ? InfoOfHandle(Handle(file)) : FileInfo{};
}

std::size_t readAt(const File& file, std::uint64_t offset, std::span<std::uint8_t> dst) {
    if (!file.isOpen()) {
        return 0;
    }
    std::size_t done = 0;
    while (done < dst.size()) {
        const std::uint64_t at = offset + done;
        OVERLAPPED where{};
        where.Offset = static_cast<DWORD>(at & 0xFFFFFFFFu);
        where.OffsetHigh = static_cast<DWORD>(at >> 32);
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(dst.size() - done, 1u << 30));
        DWORD got = 0;
        if (!::ReadFile(Handle(file), dst.data() + done, chunk, &got, &where) || got == 0) {
            break;
        }
        done += got;
    }
    return done;
}

std::error_code writeAll(const File& file, std::span<const std::uint8_t> bytes) {
    return WriteAll(Handle(file), bytes);
}

std::error_code writeStandardOutput(std::span<const std::uint8_t> bytes) {
    // The handle, not the C runtime's stream: bytes go out as they are, never as text.
    return WriteAll(::GetStdHandle(STD_OUTPUT_HANDLE), bytes);
}

std::error_code flushToDisk(const File& file) {
    return ::FlushFileBuffers(Handle(file)) ? std::error_code() : LastError();
}

std::error_code flushFolder(const fs::path&) {
    // Names are on disk once a rename made with MOVEFILE_WRITE_THROUGH returns.
    return {};
}

std::error_code flushFileSystem(const fs::path&) {
    // Flushing a whole volume takes an administrator; a batch flushes each of its files.
    return std::make_error_code(std::errc::function_not_supported);
}

bool flushesFileSystems() {
    return false;
}

namespace {

// Renames from over to as POSIX does, where a file open elsewhere with FILE_SHARE_DELETE (the
// file a patch was copied from, still open for reading) may be replaced: Windows 10 and later.
bool RenameOverOpenFile(const fs::path& from, const fs::path& to) {
    HANDLE file = ::CreateFileW(from.c_str(), DELETE | SYNCHRONIZE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    // The system's own name for the target, and the flags in the union's place.
    const std::wstring name = L"\\??\\" + fs::absolute(to).native();
    std::vector<std::uint8_t> buffer(sizeof(FILE_RENAME_INFO) + name.size() * sizeof(wchar_t));
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    const DWORD flags = 0x1 | 0x2;  // FILE_RENAME_FLAG_REPLACE_IF_EXISTS | _POSIX_SEMANTICS
    std::memcpy(buffer.data(), &flags, sizeof flags);
    info->RootDirectory = nullptr;
    info->FileNameLength = static_cast<DWORD>(name.size() * sizeof(wchar_t));
    std::memcpy(info->FileName, name.data(), info->FileNameLength);
    constexpr auto kRenameInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(22);
    const bool renamed =
        ::SetFileInformationByHandle(file, kRenameInfoEx, info, static_cast<DWORD>(buffer.size()));
    const DWORD error = ::GetLastError();
    ::CloseHandle(file);
    ::SetLastError(error);
    return renamed;
}

}  // namespace

std::error_code renameOver(const fs::path& from, const fs::path& to) {
    if (::MoveFileExW(from.c_str(), to.c_str(),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return {};
    }
    const DWORD error = ::GetLastError();
    if (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) {
        return ErrorOf(error);
    }
    if (RenameOverOpenFile(from, to)) {
        return {};
    }
    // Refused for a file that may be written: another program holds it.
    const DWORD attributes = ::GetFileAttributesW(to.c_str());
    const bool writable = attributes != INVALID_FILE_ATTRIBUTES &&
                          !(attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY));
    return writable ? HeldOpen() : ErrorOf(error);
}

void copyAccess(const File& file, const FileInfo& like) {
    // The attributes a user sets on a file; read-only is left, as the replacement must still
    // be put in place.
    constexpr DWORD kKept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                            FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    FILE_BASIC_INFO basic{};
    if (::GetFileInformationByHandleEx(Handle(file), FileBasicInfo, &basic, sizeof basic)) {
        basic.FileAttributes =
            (like.mode & kKept) != 0 ? (like.mode & kKept) : FILE_ATTRIBUTE_NORMAL;
        ::SetFileInformationByHandle(Handle(file), FileBasicInfo, &basic, sizeof basic);
    }
}

void restrictToOwner(const fs::path&) {
    // Folders under the user's profile inherit an access list for the user alone.
}

bool tryLockExclusive(const File& file) {
    OVERLAPPED where{};
    where.Offset = kLockOffsetLow;
    where.OffsetHigh = kLockOffsetHigh;
    return ::LockFileEx(Handle(file), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                        &where) != 0;
}

namespace {

// The reparse data of a symbolic link or a junction, as the system hands it out (the driver
// kit's REPARSE_DATA_BUFFER, which MinGW's user-mode headers lack).
struct ReparseData {
    DWORD tag;
    WORD dataLength;
    WORD reserved;
    WORD substituteOffset;
    WORD substituteLength;
    WORD printOffset;
    WORD printLength;
    // Symbolic links have a DWORD of flags here, junctions their names at once.
};

constexpr DWORD kSymlinkTag = 0xA000000C;
constexpr DWORD kJunctionTag = 0xA0000003;
constexpr DWORD kSymlinkIsRelative = 1;

}  // namespace

std::optional<fs::path> linkTarget(const fs::path& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        return std::nullopt;
    }
    HANDLE link = ::CreateFileW(path.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                                FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (link == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> buffer(MAXIMUM_REPARSE_DATA_BUFFER_SIZE);
    DWORD length = 0;
    const bool read = ::DeviceIoControl(link, FSCTL_GET_REPARSE_POINT, nullptr, 0, buffer.data(),
                                        static_cast<DWORD>(buffer.size()), &length, nullptr);
    ::CloseHandle(link);
    if (!read || length < sizeof(ReparseData)) {
        return std::nullopt;
    }
    ReparseData data;
    std::memcpy(&data, buffer.data(), sizeof data);
    std::size_t names = sizeof data;
    bool relative = false;
    if (data.tag == kSymlinkTag) {
        DWORD flags = 0;
        std::memcpy(&flags, buffer.data() + names, sizeof flags);
        relative = (flags & kSymlinkIsRelative) != 0;
        names += sizeof flags;
    } else if (data.tag != kJunctionTag) {
        return std::nullopt;  // another kind of reparse point (a cloud file, say): no link
    }
    // The name shown to users where there is one, else the system's own, less its "\??\".
    const bool print = data.printLength > 0;
    const std::size_t offset = names + (print ? data.printOffset : data.substituteOffset);
    const std::size_t bytes = print ? data.printLength : data.substituteLength;
    if (offset + bytes > length) {
        return std::nullopt;
    }
    std::wstring target(bytes / sizeof(wchar_t), L'\0');
    std::memcpy(target.data(), buffer.data() + offset, bytes);
    if (!print && target.starts_with(L"\\??\\")) {
        target.erase(0, 4);
    }
    return relative || !target.empty() ? std::optional<fs::path>(target) : std::nullopt;
}

std::uint64_t processId() {
    return ::GetCurrentProcessId();
}

std::vector<fs::path> programArguments(int, char**) {
    std::vector<fs::path> arguments;
    int count = 0;
    wchar_t** words = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (words == nullptr) {
        return arguments;
    }
    for (int i = 0; i < count; ++i) {
        arguments.emplace_back(std::wstring(words[i]));
    }
    ::LocalFree(words);
    return arguments;
}

void useBinaryStandardStreams() {
    std::fflush(stdout);
    std::fflush(stderr);
    ::_setmode(::_fileno(stdout), _O_BINARY);
    ::_setmode(::_fileno(stderr), _O_BINARY);
}

// Windows has no signal for a pipe whose reader went away: the write fails with its reason.
struct BrokenPipeHeldBack::State {};

BrokenPipeHeldBack::BrokenPipeHeldBack() = default;

BrokenPipeHeldBack::~BrokenPipeHeldBack() = default;

}  // namespace krellon::sys
