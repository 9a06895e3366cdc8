#include "Program.h"
#include "ProgramInfo.h"
#include "QtDialogs.h"
#include "frmTovrane.h"
#include "tovrane_version.h"

#include <QApplication>

#include <cstdio>

using appcore::ProgramInfo;

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tovrane"));
    // No display name: the toolkit would add it to every window title.
    QApplication::setOrganizationName(QStringLiteral("Kestrelle Software"));
    QGuiApplication::setDesktopFileName(QStringLiteral(TOVRANE_APP_ID));

    // Settings and logs live beside the program, or in the user's folders
    // when it is installed: without folders that can be named exactly they
    // would be created somewhere else.
    if (const QString problem = ProgramInfo::currentFolderProblem(); !problem.isEmpty()) {
        std::fprintf(stderr, "tovrane: cannot start: %s\n", qPrintable(problem));
        return 2;
    }

    const ProgramInfo info = ProgramInfo::current();
    QtDialogs dialogs;
    frmTovrane main(info, dialogs, { info.updateCheckAddress(), info.programPage() });
    dialogs.setOwner(&main);
    return runProgram(main, info);
}
