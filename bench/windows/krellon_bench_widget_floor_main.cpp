// The floor of a window program's start: Qt's widget application with one titled window shown.
#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Widget floor"));
    window.show();
    return app.exec();
}
