// The least a Qt Widgets program does to bring up a main window: the yardstick
// for the program's own start-up.
#include <QApplication>
#include <QMainWindow>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Minimal window"));
    window.resize(640, 480);
    window.show();
    return app.exec();
}
