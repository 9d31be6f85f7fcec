#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace krellon {

// True when name matches a wildcard pattern of "*" (any run) and "?" (one character), letter
// case ignored as the platform's file search does.
bool WildcardMatch(std::string_view pattern, std::string_view name);

// Bare names of the regular files in dir that match pattern, in the order in which the file
// system returns them.
std::vector<std::string> ListFiles(const std::filesystem::path& dir, std::string_view pattern);

}  // namespace krellon
