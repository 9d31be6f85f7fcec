#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace krellon {

// A short name, safe in any folder, for a text of any bytes (a path, a key): the 64-bit
// FNV-1a hash of the text in 16 hexadecimal digits.
inline std::string NameHash(std::string_view text) {
    std::uint64_t hash = 1469598103934665603ull;
    for (const unsigned char c : text) {
        hash = (hash ^ c) * 1099511628211ull;
    }
    char name[17];
    std::snprintf(name, sizeof name, "%016llx", static_cast<unsigned long long>(hash));
    return name;
}

}  // namespace krellon
