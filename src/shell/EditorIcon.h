#pragma once

#include <QIcon>

namespace krellon {

// The editor's window icon: the desktop's icon theme's where the package installed it there,
// else the copy built into the program (Windows, a build that is not installed).
QIcon EditorIcon();

}  // namespace krellon
