// Runs the window tests inside one application object, headless.
#include <gtest/gtest.h>

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>

namespace {

QtMessageHandler toolkitHandler = nullptr;

// The offscreen platform cannot raise a window or pass size hints on, and says so each time
// the explorer is brought to the front or the main window fits itself; those lines say nothing
// about the program.
void FilterMessages(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (text == QLatin1String("This plugin does not support raise()") ||
        text == QLatin1String("This plugin does not support propagateSizeHints()")) {
        return;
    }
    toolkitHandler(type, context, text);
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    toolkitHandler = qInstallMessageHandler(FilterMessages);
    QApplication app(argc, argv);
    // No test reads or writes the user's own settings: they go to a folder of this run.
    const QTemporaryDir config;
    for (const auto format : {QSettings::NativeFormat, QSettings::IniFormat}) {
        QSettings::setPath(format, QSettings::UserScope, config.path());
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
