#include "Program.h"

#include "ProgramInfo.h"
#include "frmSplash.h"
#include "frmTovrane.h"

#include <QApplication>
#include <QTimer>

int runProgram(frmTovrane &main, const ProgramInfo &info)
{
    frmSplash splash(info, [&main] { main.Form_Load(); });
    // A quit asked for before the loop runs would be lost, and with it the
    // end of the program: the whole start-up runs inside the loop.
    QTimer::singleShot(0, &splash, [&splash] { splash.Form_Load(); });
    return QApplication::exec();
}
