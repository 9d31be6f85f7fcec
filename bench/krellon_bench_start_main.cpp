// The floor of a command-line program's start: Qt's core application started and ended.
#include <QCoreApplication>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    return 0;
}
