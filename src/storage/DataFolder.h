#pragma once

#include <filesystem>

namespace krellon {

// The program's own data folder, where kept versions of replaced files and the edit journal
// live: $XDG_DATA_HOME/krellon (~/.local/share/krellon) on Linux, %LOCALAPPDATA%\krellon on
// Windows ("krellon" being the application's name). Asked each time: it follows the
// environment of the moment.
std::filesystem::path DataFolder();

}  // namespace krellon
