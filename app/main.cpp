#include "ProgramInfo.h"
#include "QtDialogs.h"
#include "frmSplash.h"
#include "frmTovrane.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tovrane"));
    QApplication::setApplicationDisplayName(QStringLiteral("Tovrane"));
    QApplication::setOrganizationName(QStringLiteral("Kestrelle Software"));

    const ProgramInfo info = ProgramInfo::current();
    QtDialogs dialogs;
    frmTovrane main(info, dialogs, {info.updateCheckAddress(), info.programPage()});
    dialogs.setOwner(&main);

    frmSplash splash(info, [&main] { main.Form_Load(); });
    splash.Form_Load();
    return app.exec();
}
