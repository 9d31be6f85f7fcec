#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace krellon {

// A path as bytes, the form in which names are hashed, compared, listed and stored in files
// of the program's own: on POSIX the path's own bytes, on Windows its UTF-8. Both ways.
inline std::string PathBytes(const std::filesystem::path& path) {
#ifdef _WIN32
    const std::u8string utf8 = path.u8string();
    return std::string(utf8.begin(), utf8.end());
#else
    return path.native();
#endif
}

inline std::filesystem::path PathOfBytes(std::string_view bytes) {
#ifdef _WIN32
    return std::filesystem::path(std::u8string(bytes.begin(), bytes.end()));
#else
    return std::filesystem::path(std::string(bytes));
#endif
}

}  // namespace krellon
