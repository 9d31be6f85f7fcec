#include "CommandLine.h"

#include <QCommandLineParser>

#include "app/Version.h"
#include "storage/FileNames.h"

namespace krellon {

EditorStart ReadEditorCommandLine(const QStringList& arguments) {
    EditorStart start;
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Edits the board sets (.bds) of the Krellon brick-breaking game and moves its palette "
        "images (.img) in and out.");
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.addPositionalArgument("path",
                                 "A folder to work in, a board set file to open in its folder, or "
                                 "an image file to show in the image explorer.",
                                 "[FOLDER | FILE.bds | FILE.img]");
    if (!parser.parse(arguments)) {
        start.error = parser.errorText();
        start.exitStatus = 2;
        return start;
    }
    if (parser.isSet(help)) {
        start.output = parser.helpText();
        start.exitStatus = 0;
        return start;
    }
    if (parser.isSet(version)) {
        start.output = QString("krellon-editor %1\n").arg(KRELLON_VERSION);
        start.exitStatus = 0;
        return start;
    }
    const QStringList paths = parser.positionalArguments();
    if (paths.size() > 1) {
        start.error = "give one folder or one board set file";
        start.exitStatus = 2;
        return start;
    }
    if (paths.isEmpty()) {
        return start;
    }
    const std::filesystem::path path = PathFromName(paths.front());
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (!std::filesystem::exists(status)) {
        start.error = ShownFileName(paths.front()) + ": no such file or folder";
        start.exitStatus = 2;
        return start;
    }
    const std::filesystem::path absolute = std::filesystem::absolute(path, ec).lexically_normal();
    if (std::filesystem::is_directory(status)) {
        start.folder = absolute;
        return start;
    }
    start.folder = absolute.parent_path();
    // An image file (a double-click on one, say) opens in the explorer, the folder's set as
    // the editor starts it behind.
    const QString name = NameFromPath(absolute.filename());
    (name.endsWith(".img", Qt::CaseInsensitive) ? start.startImages : start.startSet) = name;
    return start;
}

}  // namespace krellon
