// krellon, the command-line companion of the board editor: no window, no display needed.
#include <QCoreApplication>
#include <QGuiApplication>
#include <QStandardPaths>
#include <QTextStream>
#include <cstdio>
#include <memory>
#include <string_view>

#include "app/Version.h"
#include "cli/Commands.h"
#include "storage/FileNames.h"
#include "storage/System.h"

namespace {

// Qt's own notes (a runtime folder it would like to have) are no business of a script reading
// this program's output; warnings of ours go to stderr as they are.
void QuietQtNotes(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type != QtFatalMsg && message.startsWith("QStandardPaths:")) {
        return;
    }
    std::fprintf(stderr, "%s\n",
                 qFormatLogMessage(type, context, message).toLocal8Bit().constData());
}

}  // namespace

int main(int argc, char** argv) {
    qInstallMessageHandler(QuietQtNotes);
    // Rendering draws text (the placeholder sign), which needs the GUI side of Qt; it runs on
    // the platform that draws into memory, so no display is ever opened. The other commands
    // start only Qt's core.
    const bool render = argc > 1 && std::string_view(argv[1]) == "render";
    std::unique_ptr<QCoreApplication> app;
    if (render) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
#ifdef _WIN32
        // That platform looks for fonts in a folder of Qt's own, which no program folder has,
        // and says so on every run; the system's fonts are where Windows keeps them.
        if (qEnvironmentVariableIsEmpty("QT_QPA_FONTDIR")) {
            const QStringList fonts =
                QStandardPaths::standardLocations(QStandardPaths::FontsLocation);
            if (!fonts.isEmpty()) {
                qputenv("QT_QPA_FONTDIR", fonts.front().toUtf8());
            }
        }
#endif
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    // The data location (kept versions of replaced files) is shared with the editor.
    QCoreApplication::setApplicationName("krellon");
    QCoreApplication::setApplicationVersion(KRELLON_VERSION);
    // Output is bytes, the same on every system: an image to "-", lines ending in "\n".
    krellon::sys::useBinaryStandardStreams();
    QTextStream out(stdout);
    QTextStream err(stderr);
    return krellon::cli::Run(krellon::ProgramArguments(argc, argv), out, err);
}
