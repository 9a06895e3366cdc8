#include "ProgramInfo.h"

#include <QApplication>
#include <QMainWindow>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const ProgramInfo info = ProgramInfo::current();
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Tovrane v") + info.versionText());
    window.resize(640, 480);
    window.show();
    return app.exec();
}
