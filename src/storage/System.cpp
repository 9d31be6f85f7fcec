// What both halves of System.h share: an open file's ownership.
#include "System.h"

#include <utility>

namespace krellon::sys {

File::~File() {
    close();
}

File::File(File&& other) noexcept : handle_(std::exchange(other.handle_, -1)) {}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        close();
        handle_ = std::exchange(other.handle_, -1);
    }
    return *this;
}

}  // namespace krellon::sys
