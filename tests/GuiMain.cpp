// Runs the window tests inside one application object, headless.
#include <gtest/gtest.h>

#include <QApplication>

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
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
