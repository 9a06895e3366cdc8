// Helper process for the settings kill test:
//
//   settings_writer FILE FIRST
//
// Writes key Value of section Settings again and again with the values
// burstValue(FIRST), burstValue(FIRST + 1), ... and prints "ready" after the
// first write. Meant to be killed; gives up by itself after 30 s.
#include "BurstValue.h"
#include "mGlobal.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>

using namespace appcore;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3)
        return 2;
    QElapsedTimer running;
    running.start();
    for (qint64 i = args.at(2).toLongLong(), first = i; running.elapsed() < 30000; ++i) {
        WriteIniKey(args.at(1), QStringLiteral("Settings"), QStringLiteral("Value"), burstValue(i));
        if (i == first) {
            std::puts("ready");
            std::fflush(stdout);
        }
    }
    return 0;
}
