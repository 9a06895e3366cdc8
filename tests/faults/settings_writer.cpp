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

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: settings_writer FILE FIRST\n");
        return 2;
    }
    const qint64 first = args.at(2).toLongLong();
    QElapsedTimer running;
    running.start();
    for (qint64 i = first; running.elapsed() < 30000; ++i) {
        WriteIniKey(args.at(1), QStringLiteral("Settings"), QStringLiteral("Value"), burstValue(i));
        if (i == first) {
            std::printf("ready\n");
            std::fflush(stdout);
        }
    }
    return 0;
}
