#include "DataFolder.h"

#include <QCoreApplication>
#include <QStandardPaths>

#include "FileNames.h"

namespace krellon {

std::filesystem::path DataFolder() {
#ifdef _WIN32
    // The environment's LOCALAPPDATA first, as XDG_DATA_HOME is on Linux: the system sets it to
    // the same folder Qt would ask the shell for, and a test or a portable set-up can move it.
    const QString local = qEnvironmentVariable("LOCALAPPDATA");
    if (!local.isEmpty()) {
        return PathFromName(local) / PathFromName(QCoreApplication::applicationName());
    }
#endif
    return PathFromName(QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation));
}

}  // namespace krellon
