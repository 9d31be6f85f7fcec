// The editor, made to do n steps in a folder and then wait to be killed:
//   krellon-journal-child FOLDER N
// It prints "ready" once every step has returned.
#include <QApplication>
#include <QDir>
#include <cstdio>
#include <cstdlib>

#include "JournalSteps.h"
#include "shell/MainWindow.h"
#include "storage/FileNames.h"
#include "storage/System.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: krellon-journal-child FOLDER N\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    krellon::sys::useBinaryStandardStreams();  // "ready\n" on every system
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName("krellon-journal-child");
    QDir::setCurrent(krellon::ProgramArguments(argc, argv)[1]);
    krellon::MainWindow window;
    DoJournalSteps(*window.editor(), std::atoi(argv[2]));
    std::printf("ready\n");
    std::fflush(stdout);
    return app.exec();
}
