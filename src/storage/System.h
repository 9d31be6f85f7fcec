#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <system_error>
#include <vector>

// The few calls into the operating system that storage makes beyond std::filesystem: open
// files, read and write them at offsets, flush them to disk, rename over, lock, and tell what
// a file is. PosixSystem.cpp implements them for POSIX, WindowsSystem.cpp for Windows.
// Errors come back as std::error_code, whose message is the system's own text.
namespace krellon::sys {

// What a name or an open file is.
enum class FileKind { Missing, Regular, Folder, Pipe, CharDevice, BlockDevice, Socket, Other };

// Which file it is, whatever name reaches it: on POSIX the device and the inode.
struct FileId {
    std::uint64_t volume = 0;
    std::uint64_t file = 0;
    bool operator==(const FileId&) const = default;
};

// What the system tells of a file. kind is Missing when it cannot tell (no such file, no
// access to its folder).
struct FileInfo {
    FileKind kind = FileKind::Missing;
    FileId id;
    std::uint64_t size = 0;
    std::int64_t modifiedSeconds = 0;
    std::int64_t modifiedNanoseconds = 0;
    bool readOnly = false;  // its owner may not write it
    // What a replacement takes over from the file it replaces: permissions, owner and group.
    std::uint32_t mode = 0;
    std::uint32_t owner = 0;
    std::uint32_t group = 0;
};

// True when a and b tell of one version of one file: the same file, size and modification
// time. A file replaced under its name, or written over, is another version.
inline bool SameVersion(const FileInfo& a, const FileInfo& b) {
    return a.kind == b.kind && a.id == b.id && a.size == b.size &&
           a.modifiedSeconds == b.modifiedSeconds && a.modifiedNanoseconds == b.modifiedNanoseconds;
}

// An open file of the system, closed when it goes.
class File {
public:
    File() = default;
    explicit File(std::intptr_t handle) : handle_(handle) {}
    ~File();
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    bool isOpen() const { return handle_ != -1; }
    std::intptr_t handle() const { return handle_; }
    // Closes the file; the error a write left for the close to report, if any.
    std::error_code close();

private:
    std::intptr_t handle_ = -1;
};

// How a new file may be used by others: as new files usually are, or by its owner alone.
enum class NewFileAccess { Usual, Private };

// Opens an existing file for reading without waiting (a named pipe does not stall it).
File openForReading(const std::filesystem::path& path, std::error_code& error);
// Makes a new file for writing; fails when anything of that name exists.
File createNew(const std::filesystem::path& path, NewFileAccess access, std::error_code& error);
// Opens an existing pipe or device for writing as a stream; a pipe waits for its reader.
File openStream(const std::filesystem::path& path, std::error_code& error);

// What path names, symbolic links followed.
FileInfo infoOf(const std::filesystem::path& path);
// What an open file is.
FileInfo infoOf(const File& file);

// Reads up to dst.size() bytes at offset; the count read, short at the end or on an error.
std::size_t readAt(const File& file, std::uint64_t offset, std::span<std::uint8_t> dst);
// Writes all of bytes at the file's position.
std::error_code writeAll(const File& file, std::span<const std::uint8_t> bytes);
// Writes all of bytes to the process's standard output as it is (a file opened for appending,
// a pipe, a socket).
std::error_code writeStandardOutput(std::span<const std::uint8_t> bytes);
// Puts what was written to the file on disk.
std::error_code flushToDisk(const File& file);
// Puts the entries of folder (a name just made or changed in it) on disk.
std::error_code flushFolder(const std::filesystem::path& folder);
// Puts everything written to the file system that folder lies on to disk.
std::error_code flushFileSystem(const std::filesystem::path& folder);
// Whether flushFileSystem can: not on Windows, where each file is flushed on its own.
bool flushesFileSystems();
// What path, a symbolic link (or, on Windows, a junction), points to, as the link holds it
// (relative to the link's folder or absolute); nothing when path is no link.
std::optional<std::filesystem::path> linkTarget(const std::filesystem::path& path);
// Renames from to to, replacing what to names, in one step.
std::error_code renameOver(const std::filesystem::path& from, const std::filesystem::path& to);

// Gives file the permissions, owner and group of like, as far as the system allows.
void copyAccess(const File& file, const FileInfo& like);
// Makes folder reachable by its owner alone.
void restrictToOwner(const std::filesystem::path& folder);
// Takes an exclusive lock on file without waiting; false when another holds one. The lock
// goes with the file's closing.
bool tryLockExclusive(const File& file);
// This process's number.
std::uint64_t processId();

// The program's command-line arguments as the names they are: argv's bytes on POSIX, the
// UTF-16 command line on Windows (argv there has been through the ANSI code page).
std::vector<std::filesystem::path> programArguments(int argc, char** argv);
// Makes the C runtime's standard output and error write bytes as they are (Windows would
// otherwise turn each "\n" into "\r\n").
void useBinaryStandardStreams();

// While it lives, writing to a pipe whose reader went away fails with an error instead of
// ending the program.
class BrokenPipeHeldBack {
public:
    BrokenPipeHeldBack();
    ~BrokenPipeHeldBack();
    BrokenPipeHeldBack(const BrokenPipeHeldBack&) = delete;
    BrokenPipeHeldBack& operator=(const BrokenPipeHeldBack&) = delete;

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace krellon::sys
