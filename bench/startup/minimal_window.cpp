// The least a Qt Widgets program does to bring up a main window: the yardstick
// for the program's own start-up. Built a second time with TOVRANE_ONE_LABEL
// as the least a window that shows any text does: the same window with one
// line of text, so it also pays for the font system.
#include <QApplication>
#include <QMainWindow>
#ifdef TOVRANE_ONE_LABEL
#include <QLabel>
#endif

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Minimal window"));
#ifdef TOVRANE_ONE_LABEL
    window.setCentralWidget(new QLabel(QStringLiteral("One line of text")));
#endif
    window.resize(640, 480);
    window.show();
    return app.exec();
}
