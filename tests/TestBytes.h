#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

// Builds byte layouts by hand in tests, independently of the program's own writers.
class Bytes {
public:
    Bytes& i32(std::int32_t v) { return le(static_cast<std::uint32_t>(v), 4); }
    Bytes& i16(std::int16_t v) { return le(static_cast<std::uint16_t>(v), 2); }
    Bytes& u8(std::uint8_t v) { return le(v, 1); }
    Bytes& raw(std::string_view s) {
        // One byte at a time: GCC 12 warns falsely on a range insert into an empty vector.
        for (const char c : s) {
            data.push_back(static_cast<std::uint8_t>(c));
        }
        return *this;
    }
    Bytes& fill(std::size_t n, std::uint8_t v) {
        data.insert(data.end(), n, v);
        return *this;
    }
    // A counted text: count (length + 1), the characters, a 0 byte.
    Bytes& text(std::string_view s) {
        return i32(static_cast<std::int32_t>(s.size() + 1)).raw(s).u8(0);
    }
    std::size_t size() const { return data.size(); }

    std::vector<std::uint8_t> data;

private:
    // The low n bytes of u, least significant first.
    Bytes& le(std::uint32_t u, int n) {
        for (int s = 0; s < 8 * n; s += 8) {
            data.push_back(static_cast<std::uint8_t>(u >> s));
        }
        return *this;
    }
};

// A fresh, empty folder for one test, removed when the test ends.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // Names are bytes: as they are on POSIX, UTF-8 on Windows.
    std::filesystem::path operator/(const std::string& name) const;

    void write(const std::string& name, const std::vector<std::uint8_t>& bytes) const;
    std::vector<std::uint8_t> read(const std::string& name) const;

    // Every regular file with its bytes; a directory as a name ending in "/", any other entry
    // (a pipe, which reading would stall) as one ending in "|".
    std::map<std::string, std::vector<std::uint8_t>> snapshot() const;

private:
    std::filesystem::path path_;
};

// Makes path the data folder's parent for this process and the programs it starts: the kept
// versions and the journal go to path/krellon (XDG_DATA_HOME on Linux, LOCALAPPDATA on Windows).
void UseDataFolder(const std::filesystem::path& path);

// Makes the file at path size bytes long, holes where it grows (a terabyte costs no disk).
void ResizeSparse(const std::filesystem::path& path, std::uint64_t size);

// The most memory this process has held so far, in KiB.
long PeakMemoryKiB();

#ifndef _WIN32
// Reads a named pipe while something writes it: the reader is there before the writer comes,
// so the writer never waits for one, and a writer that never comes leaves nothing waiting.
class PipeReader {
public:
    explicit PipeReader(const std::filesystem::path& pipe);
    ~PipeReader() { finish(); }
    PipeReader(const PipeReader&) = delete;
    PipeReader& operator=(const PipeReader&) = delete;

    // What was written, once the writer is done.
    std::vector<std::uint8_t> finish();

private:
    int fd_;
    std::atomic<bool> done_{false};
    std::vector<std::uint8_t> bytes_;
    std::thread thread_;
};
#endif
