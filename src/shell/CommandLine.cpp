#include "CommandLine.h"

#include <QCommandLineParser>
#include <algorithm>
#include <iterator>

#include "app/Version.h"
#include "storage/FileNames.h"

namespace krellon {

namespace {

// An option that Qt reads from the command line itself (QCoreApplication, QGuiApplication,
// QApplication, the X11 platform plugin); value names the value it takes, nullptr for none.
struct QtOption {
    const char* name;
    const char* value;
    const char* description;
};

// Qt's options with its own descriptions, as Qt 6 reads them.
constexpr QtOption kQtOptions[] = {
    {"platform", "platformName[:options]",
     "QPA plugin. See QGuiApplication documentation for available options for each plugin."},
    {"platformpluginpath", "path", "Path to the platform plugins."},
    {"platformtheme", "theme", "Platform theme."},
    {"plugin", "plugin", "Additional plugins to load, can be specified multiple times."},
    {"qwindowgeometry", "geometry",
     "Window geometry for the main window, using the X11-syntax, like 100x100+50+50."},
    {"qwindowicon", "icon", "Default window icon."},
    {"qwindowtitle", "title", "Title of the first window."},
    {"reverse", nullptr,
     "Sets the application's layout direction to Qt::RightToLeft (debugging helper)."},
    {"session", "session", "Restores the application from an earlier session."},
    {"style", "style", "Sets the application GUI style (Fusion, Windows...)."},
    {"stylesheet", "stylesheet", "Sets the application style sheet from a file."},
    {"widgetcount", nullptr,
     "Prints at the end how many widgets were left undestroyed and how many existed at most."},
    {"testability", nullptr, "Loads the testability plugin."},
    {"qmljsdebugger", "value",
     "Activates the QML/JS debugger with a specified port. The value must be of format "
     "port:1234[,block]. \"block\" makes the application wait for a connection."},
#ifndef _WIN32
    // The X11 platform plugin's.
    {"display", "display", "Display name, overrides $DISPLAY."},
    {"name", "name", "Instance name according to ICCCM 4.1.2.5."},
    {"nograb", nullptr, "Disable mouse grabbing (useful in debuggers)."},
    {"dograb", nullptr, "Force mouse grabbing (even when running in a debugger)."},
    {"visual", "id", "ID of the X11 Visual to use."},
    {"geometry", "geometry", "Alias for --qwindowgeometry."},
    {"icon", "icon", "Alias for --qwindowicon."},
    {"title", "title", "Alias for --qwindowtitle."},
#endif
};

// The editor's own options and arguments.
void DescribeEditorOptions(QCommandLineParser& parser) {
    parser.setApplicationDescription(
        "Edits the board sets (.bds) of the Krellon brick-breaking game and moves its palette "
        "images (.img) in and out.");
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument("path",
                                 "A folder to work in, a board set file to open in its folder, or "
                                 "an image file to show in the image explorer.",
                                 "[FOLDER | FILE.bds | FILE.img]");
}

// The parser's help with the program's own name on the usage line: without an application
// object the parser writes "<executable_name>" there, with one (a test) that program's path.
QString HelpText(const QCommandLineParser& parser) {
    QString text = parser.helpText();
    const qsizetype start = text.indexOf(": ") + 2;
    const qsizetype end = text.indexOf(" [options]");
    if (start >= 2 && end > start) {
        text.replace(start, end - start, "krellon-editor");
    }
    return text;
}

// Moves Qt's options out of arguments into qtArguments, in the form QApplication reads; Qt's
// own reading takes "--name" as "-name" but "-name=value" only for a few, so every value is
// given apart. Returns an error for a value missing or given to a switch.
QString TakeQtOptions(QStringList& arguments, QStringList& qtArguments) {
    QStringList rest{arguments.value(0)};
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == "--") {
            // After "--" every argument is a path, whatever it looks like.
            rest += arguments.mid(i);
            break;
        }
        QString name = argument.startsWith("--") ? argument.mid(2) : argument.mid(1);
        const qsizetype equals = name.indexOf('=');
        const QString given = equals >= 0 ? name.mid(equals + 1) : QString();
        name.truncate(equals >= 0 ? equals : name.size());
        const auto option = std::find_if(std::begin(kQtOptions), std::end(kQtOptions),
                                         [&](const QtOption& o) { return name == o.name; });
        if (!argument.startsWith('-') || option == std::end(kQtOptions)) {
            rest += argument;
            continue;
        }
        qtArguments += "-" + name;
        if (!option->value) {
            if (equals >= 0) {
                return QString("Unexpected value after '-%1'.").arg(name);
            }
        } else if (equals >= 0) {
            qtArguments += given;
        } else if (i + 1 < arguments.size()) {
            qtArguments += arguments[++i];
        } else {
            return QString("Missing value after '%1'.").arg(argument);
        }
    }
    arguments = rest;
    return {};
}

}  // namespace

EditorStart ReadEditorCommandLine(const QStringList& arguments) {
    EditorStart start;
    QStringList own = arguments;
    start.error = TakeQtOptions(own, start.qtArguments);
    if (!start.error.isEmpty()) {
        start.exitStatus = 2;
        return start;
    }
    QCommandLineParser parser;
    DescribeEditorOptions(parser);
    if (!parser.parse(own)) {
        start.error = parser.errorText();
        start.exitStatus = 2;
        return start;
    }
    if (parser.isSet("help")) {
        start.output = HelpText(parser);
        start.exitStatus = 0;
        return start;
    }
    if (parser.isSet("help-all")) {
        // The same help with Qt's options, written without an application object, so that it
        // needs no display.
        QCommandLineParser all;
        DescribeEditorOptions(all);
        for (const QtOption& option : kQtOptions) {
            all.addOption(QCommandLineOption(option.name, option.description,
                                             option.value ? option.value : QString()));
        }
        start.output = HelpText(all);
        start.exitStatus = 0;
        return start;
    }
    if (parser.isSet("version")) {
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
