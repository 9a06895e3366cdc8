// Helper process for the signal tests: the program as it runs (its windows,
// offscreen, started and ended by runProgram), in the program folder FOLDER,
// with Scan and Build pressed as soon as the main window is up:
//
//   build_in_program FOLDER
//
// Prints "building" before the build and, once the program has ended, what
// it showed ("message: ...") and whether the main window was unloaded.
#include "Program.h"
#include "ProgramInfo.h"
#include "ScriptedDialogs.h"
#include "frmTovrane.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc != 2)
        return 2;
    const ProgramInfo info = ProgramInfo::inFolder(QString::fromLocal8Bit(argv[1]));
    ScriptedDialogs dialogs;
    // Nothing listens on the discard port: the update check fails at once.
    frmTovrane main(info, dialogs, { QStringLiteral("http://127.0.0.1:9"), QString() });
    QTimer press;
    press.setInterval(10);
    QObject::connect(&press, &QTimer::timeout, [&] {
        if (!main.isLoaded() || !main.isVisible())
            return;
        press.stop();
        main.cmdScan_Click();
        std::puts("building");
        std::fflush(stdout);
        main.cmdBuild_Click();
    });
    press.start();
    const int code = runProgram(main, info);
    for (const QString &message : std::as_const(dialogs.messages))
        std::printf("message: %s\n", qPrintable(message));
    std::printf("unloaded: %s\n", main.settingsWindow() ? "no" : "yes");
    return code;
}
