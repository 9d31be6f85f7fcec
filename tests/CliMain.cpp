// Runs the command-line tests inside the GUI side of Qt (no widgets), headless, as krellon
// runs its render command.
#include <gtest/gtest.h>

#include <QGuiApplication>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName("krellon");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
