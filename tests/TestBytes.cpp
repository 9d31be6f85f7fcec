#include "TestBytes.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

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

void TempFolder::write(const std::string& name, const std::vector<std::uint8_t>& bytes) const {
    std::ofstream out(path_ / name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write test file " + name);
    }
}

std::vector<std::uint8_t> TempFolder::read(const std::string& name) const {
    std::ifstream in(path_ / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::map<std::string, std::vector<std::uint8_t>> TempFolder::snapshot() const {
    std::map<std::string, std::vector<std::uint8_t>> files;
    for (const auto& entry : std::filesystem::directory_iterator(path_)) {
        const std::string name = entry.path().filename().string();
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
