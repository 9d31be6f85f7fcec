#include "WindowSettings.h"

#include <QMainWindow>
#include <QSettings>
#include <algorithm>

namespace krellon {

namespace {

// Bumped when the docks change so much that an older layout no longer fits.
constexpr int kStateVersion = 1;

}  // namespace

std::unique_ptr<QSettings> WindowSettings::open() {
    // An INI file on every system (not the Windows registry): one format to read and to test.
    // The application name stays "krellon" for the data location shared with the command line.
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, "krellon",
                                       "krellon-editor");
}

void WindowSettings::save(const QMainWindow& window, int zoom) {
    const auto settings = open();
    settings->setValue("window/geometry", window.saveGeometry());
    settings->setValue("window/state", window.saveState(kStateVersion));
    settings->setValue("window/zoom", zoom);
}

int WindowSettings::restore(QMainWindow& window) {
    const auto settings = open();
    window.restoreGeometry(settings->value("window/geometry").toByteArray());
    window.restoreState(settings->value("window/state").toByteArray(), kStateVersion);
    bool ok = false;
    const int zoom = settings->value("window/zoom").toInt(&ok);
    return ok ? std::clamp(zoom, kMinZoom, kMaxZoom) : kMinZoom;
}

}  // namespace krellon
