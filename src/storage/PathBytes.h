#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace krellon {

// A path as bytes, the form in which names are hashed, compared, listed and stored in files
// of the program's own: on POSIX the path's own bytes, on Windows its UTF-8. Both ways.
// Windows names may hold a lone surrogate, which UTF-8 has no form for: it goes as the three
// bytes its code would have (WTF-8), so that every name comes back as it was.
inline std::string PathBytes(const std::filesystem::path& path) {
#ifdef _WIN32
    const std::wstring& units = path.native();
    std::string bytes;
    bytes.reserve(units.size());
    for (std::size_t i = 0; i < units.size(); ++i) {
        char32_t code = units[i];
        if (code >= 0xD800 && code < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] < 0xE000) {
            code = 0x10000 + ((code - 0xD800) << 10) + (units[++i] - 0xDC00);
        }
        if (code < 0x80) {
            bytes += static_cast<char>(code);
        } else if (code < 0x800) {
            bytes += static_cast<char>(0xC0 | (code >> 6));
            bytes += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            bytes += static_cast<char>(0xE0 | (code >> 12));
            bytes += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            bytes += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            bytes += static_cast<char>(0xF0 | (code >> 18));
            bytes += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            bytes += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            bytes += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return bytes;
#else
    return path.native();
#endif
}

inline std::filesystem::path PathOfBytes(std::string_view bytes) {
#ifdef _WIN32
    // Decoded by hand: the library's conversion refuses the lone surrogates PathBytes writes.
    std::wstring units;
    units.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        const int length = lead < 0x80    ? 1
                           : lead >= 0xF0 ? 4
                           : lead >= 0xE0 ? 3
                           : lead >= 0xC0 ? 2
                                          : 1;
        char32_t code = length == 1 ? lead : lead & (0x7F >> length);
        int taken = 1;
        for (; taken < length && i + taken < bytes.size(); ++taken) {
            code = (code << 6) | (static_cast<unsigned char>(bytes[i + taken]) & 0x3F);
        }
        i += taken;
        if (code >= 0x10000) {
            units += static_cast<wchar_t>(0xD800 + ((code - 0x10000) >> 10));
            units += static_cast<wchar_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            units += static_cast<wchar_t>(code);
        }
    }
    return std::filesystem::path(units);
#else
    return std::filesystem::path(std::string(bytes));
#endif
}

}  // namespace krellon
