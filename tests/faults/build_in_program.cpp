// Helper process for the tests of interrupted builds: the program as it runs
// (its windows, offscreen, started and ended by runProgram), in the program
// folder FOLDER, with Scan, Select All and Build pressed as soon as the main
// window is up; every question is answered ANSWER ("yes" or "no"):
//
//   build_in_program FOLDER ANSWER
//
// Prints "building" before the build and "built" after it; once the program
// has ended, what it asked ("question: ...") and showed ("message: ...") and
// whether the main window was unloaded.
#include "Program.h"
#include "ProgramInfo.h"
#include "ScriptedDialogs.h"
#include "frmTovrane.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>

using namespace platform;

using namespace appcore;

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc != 3)
        return 2;
    const ProgramInfo info = ProgramInfo::inFolder(QString::fromLocal8Bit(argv[1]));
    ScriptedDialogs dialogs;
    const Dialogs::Answer answer = qstrcmp(argv[2], "no") == 0 ? Dialogs::No : Dialogs::Yes;
    dialogs.answers = QList<Dialogs::Answer>(100, answer);
    // Nothing listens on the discard port: the update check fails at once.
    frmTovrane main(info, dialogs, { QStringLiteral("http://127.0.0.1:9"), QString() });
    QTimer press;
    press.setInterval(10);
    QObject::connect(&press, &QTimer::timeout, [&] {
        if (!main.isLoaded() || !main.isVisible())
            return;
        press.stop();
        main.cmdScan_Click();
        main.cmdSelect_Click(1);
        std::puts("building");
        std::fflush(stdout);
        main.cmdBuild_Click();
        std::puts("built");
        std::fflush(stdout);
    });
    press.start();
    const int code = runProgram(main, info);
    for (const ScriptedDialogs::Asked &question : std::as_const(dialogs.questions))
        std::printf("question: %s\n", qPrintable(question.text));
    for (const QString &message : std::as_const(dialogs.messages))
        std::printf("message: %s\n", qPrintable(message));
    std::printf("unloaded: %s\n", main.settingsWindow() ? "no" : "yes");
    return code;
}
