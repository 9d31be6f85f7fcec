#include "TestBytes.h"

#include "storage/PathBytes.h"

#ifdef _WIN32
#include <windows.h>
// windows.h first: psapi.h builds on it.
#include <psapi.h>
#else
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

#include <QByteArray>
#include <QString>
#include <atomic>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

TempFolder::TempFolder() {
    static std::atomic<int> counter{0};
    std::random_device random;
    path_ = std::filesystem::temp_directory_path() /
            ("krellon-test-" + std::to_string(random()) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(path_);
}

TempFolder::~TempFolder() {
    std::error_code ec;
    // Tests may leave read-only folders behind them; make them removable first.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
    }
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
}

std::filesystem::path TempFolder::operator/(const std::string& name) const {
    return path_ / krellon::PathOfBytes(name);
}

void TempFolder::write(const std::string& name, const std::vector<std::uint8_t>& bytes) const {
    std::ofstream out(path_ / krellon::PathOfBytes(name), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write test file " + name);
    }
}

std::vector<std::uint8_t> TempFolder::read(const std::string& name) const {
    std::ifstream in(path_ / krellon::PathOfBytes(name), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::map<std::string, std::vector<std::uint8_t>> TempFolder::snapshot() const {
    std::map<std::string, std::vector<std::uint8_t>> files;
    for (const auto& entry : std::filesystem::directory_iterator(path_)) {
        const std::string name = krellon::PathBytes(entry.path().filename());
        if (entry.is_directory()) {
            files[name + "/"] = {};
        } else if (!entry.is_regular_file()) {
            files[name + "|"] = {};
        } else {
            files[name] = read(name);
        }
    }
    return files;
}

void UseDataFolder(const std::filesystem::path& path) {
#ifdef _WIN32
    qputenv("LOCALAPPDATA", QString::fromStdWString(path.native()).toLocal8Bit());
#else
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(path.native()));
#endif
}

void ResizeSparse(const std::filesystem::path& path, std::uint64_t size) {
#ifdef _WIN32
    // The C runtime's resize stops at 2 GiB; the system's own calls do not.
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        throw std::runtime_error("cannot open " + path.string());
    }
    DWORD returned = 0;
    ::DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr);
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(size);
    const bool resized = ::SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && ::SetEndOfFile(file);
    ::CloseHandle(file);
    if (!resized) {
        throw std::runtime_error("cannot resize " + path.string());
    }
#else
    std::filesystem::resize_file(path, size);
#endif
}

long PeakMemoryKiB() {
#ifdef _WIN32
    PROCESS_MEMORY_COUNTERS counters{};
    ::K32GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters);
    return static_cast<long>(counters.PeakWorkingSetSize / 1024);
#else
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
#endif
}

#ifndef _WIN32
PipeReader::PipeReader(const std::filesystem::path& pipe)
    : fd_(::open(pipe.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)) {
    thread_ = std::thread([this] {
        while (fd_ >= 0) {
            pollfd ready{fd_, POLLIN, 0};
            if (::poll(&ready, 1, 20) > 0) {
                std::uint8_t block[4096];
                const ssize_t n = ::read(fd_, block, sizeof block);
                if (n > 0) {
                    bytes_.insert(bytes_.end(), block, block + n);
                } else if (n == 0) {
                    break;  // the writer has come and gone
                }
            } else if (done_) {
                break;
            }
        }
    });
}

std::vector<std::uint8_t> PipeReader::finish() {
    done_ = true;
    if (thread_.joinable()) {
        thread_.join();
    }
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    return bytes_;
}
#endif
