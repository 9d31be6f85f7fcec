// Starts the program: the board editor in its main window, working in the current folder.
#include <QApplication>

#include "shell/MainWindow.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // The data location (kept versions of replaced files) is shared with the command line.
    QCoreApplication::setApplicationName("krellon");
    krellon::MainWindow window;
    window.show();
    return app.exec();
}
