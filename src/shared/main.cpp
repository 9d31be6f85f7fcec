// Starts the program: the board editor window, working in the current folder.
#include <QApplication>

#include "editor/Form1.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    krellon::Form1 form;
    form.show();
    return app.exec();
}
