#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "formats/ByteSource.h"
#include "storage/System.h"

namespace krellon {

// A regular file opened for reading bytes at offsets. Opening fails for missing files and for
// anything that is not a regular file (a directory named like a data file, say).
class FileSource final : public ByteSource {
public:
    FileSource() = default;

    // Opens path for reading; returns false (and leaves the source empty) when it cannot.
    bool open(const std::filesystem::path& path);
    bool isOpen() const { return file_.isOpen(); }
    void close();

    std::uint64_t size() const override { return size_; }
    std::size_t readAt(std::uint64_t offset, std::span<std::uint8_t> dst) const override;

    ~FileSource() override { close(); }
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

private:
    sys::File file_;
    std::uint64_t size_ = 0;
};

// Opens the file at path, reads up to dst.size() bytes at offset in one call and closes it,
// without asking its size first; returns the bytes read, 0 when it cannot be opened or read
// (a folder or a pipe reads nothing).
std::size_t ReadFileAt(const std::filesystem::path& path, std::uint64_t offset,
                       std::span<std::uint8_t> dst);

// Reads all of source into bytes; false, with bytes empty, when it gives fewer bytes than its
// size (a file cut short while read, or a read error).
bool ReadAll(const ByteSource& source, std::vector<std::uint8_t>& bytes);

}  // namespace krellon
