#pragma once

#include <QSettings>
#include <memory>

class QMainWindow;

namespace krellon {

// What the editor keeps between runs, in one INI file under the user's config location:
// ~/.config/krellon/krellon-editor.ini on Linux, %APPDATA%\krellon\krellon-editor.ini on
// Windows. The window's place, its docks and the zoom are kept; the board's display mode and
// Show Hidden Bricks are not, as the original kept neither.
class WindowSettings {
public:
    static constexpr int kMinZoom = 1;
    static constexpr int kMaxZoom = 4;

    // The settings file (organization "krellon", application "krellon-editor").
    static std::unique_ptr<QSettings> open();
    // Keeps window's geometry, its docks and toolbars (by object name) and zoom.
    static void save(const QMainWindow& window, int zoom);
    // Puts back what save kept, if anything; the zoom kept, 1 when none, within 1 to 4.
    static int restore(QMainWindow& window);
};

}  // namespace krellon
