// Starts the program: the board editor in its main window, working in the current folder, or
//   krellon-editor [FOLDER | FILE.bds]
// in that folder, or in the board set file's folder with that set open.
#include <QApplication>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/Version.h"
#include "shell/CommandLine.h"
#include "shell/EditorIcon.h"
#include "shell/MainWindow.h"
#include "storage/FileNames.h"
#include "storage/PathBytes.h"
#include "storage/System.h"

int main(int argc, char** argv) {
    // The command line is read before any window exists: --help, --version and a wrong path
    // need no display.
    krellon::sys::useBinaryStandardStreams();
    const krellon::EditorStart start =
        krellon::ReadEditorCommandLine(krellon::ProgramArguments(argc, argv));
    if (!start.output.isEmpty()) {
        std::fputs(start.output.toLocal8Bit().constData(), stdout);
    }
    if (!start.error.isEmpty()) {
        std::fprintf(stderr, "krellon-editor: %s\n", start.error.toLocal8Bit().constData());
    }
    if (start.exitStatus) {
        return *start.exitStatus;
    }
    std::error_code ec;
    if (!start.folder.empty() && (std::filesystem::current_path(start.folder, ec), ec)) {
        std::fprintf(stderr, "krellon-editor: %s: cannot work in this folder (%s)\n",
                     krellon::PathBytes(start.folder).c_str(), ec.message().c_str());
        return 2;
    }

    // Without a display Qt would end with a message about its platform plugin; say what is
    // missing and what to do instead.
    // Windows always has its desktop.
#ifndef _WIN32
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") &&
        !start.qtArguments.contains("-platform") && !start.qtArguments.contains("-display")) {
        std::fprintf(stderr,
                     "krellon-editor: no display to open a window on; run it under Xvfb: "
                     "xvfb-run -a krellon-editor [FOLDER | FILE.bds | FILE.img]\n");
        return 1;
    }
#endif
    // QApplication reads the program's name and Qt's own options (the editor's are read): the
    // bytes given on POSIX, the code page's on Windows, as the argv Qt would have had.
    std::vector<std::string> qtBytes{argc > 0 ? argv[0] : "krellon-editor"};
    for (const QString& argument : start.qtArguments) {
#ifdef _WIN32
        qtBytes.push_back(argument.toLocal8Bit().toStdString());
#else
        qtBytes.push_back(krellon::BytesFromName(argument));
#endif
    }
    std::vector<char*> qtArgv;
    for (std::string& argument : qtBytes) {
        qtArgv.push_back(argument.data());
    }
    qtArgv.push_back(nullptr);
    int qtArgc = static_cast<int>(qtBytes.size());
    QApplication app(qtArgc, qtArgv.data());
    // The data location (kept versions of replaced files, the edit journal) is shared with
    // the command line. The name is also the windows' X11 class, which the desktop entry's
    // StartupWMClass names.
    QCoreApplication::setApplicationName("krellon");
    QCoreApplication::setApplicationVersion(KRELLON_VERSION);
    // The desktop finds the menu entry, and with it the icon, by this name.
    QGuiApplication::setDesktopFileName("org.krellon.BoardEditor");
    // Where there is no icon theme (Windows, a bare desktop), the program's own copy.
    QApplication::setWindowIcon(krellon::EditorIcon());
    krellon::MainWindow window(nullptr, start.startSet);
    // The program itself, not every window made, reads and writes the user's settings.
    window.keepSettings();
    window.show();
    if (!start.startImages.isEmpty()) {
        window.showImageFile(start.startImages);
    }
    return app.exec();
}
