// Helper process for the settings-file fault tests.
//
//   settings_writer burst FILE FIRST
//       Writes key Value of section Settings again and again with the values
//       burstValue(FIRST), burstValue(FIRST + 1), ... and prints "ready" after
//       the first write. Meant to be killed; gives up by itself after 30 s.
//   settings_writer limited FILE LIMIT LOGDIR
//       With files limited to LIMIT bytes, writes a MainFolder value too long
//       for the limit: once directly (prints "thrown <number>") and once through
//       an ErrorTrap logging to LOGDIR under "AddFolder" (prints "trapped").
#include "BurstValue.h"
#include "CErrorlog.h"
#include "ErrorTrap.h"
#include "RuntimeError.h"
#include "mGlobal.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <csignal>
#include <cstdio>
#include <sys/resource.h>

namespace {

const QString Section = QStringLiteral("Settings");

int burst(const QString &file, qint64 first)
{
    QElapsedTimer running;
    running.start();
    for (qint64 i = first; running.elapsed() < 30000; ++i) {
        WriteIniKey(file, Section, QStringLiteral("Value"), burstValue(i));
        if (i == first) {
            std::printf("ready\n");
            std::fflush(stdout);
        }
    }
    return 0;
}

int limited(const QString &file, qint64 limit, const QString &logDir)
{
    // A process over its file-size limit gets SIGXFSZ, which ends it unless
    // ignored; ignored, the write fails with EFBIG as on a full disk.
    std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit rl
    {
    };
    if (::getrlimit(RLIMIT_FSIZE, &rl) != 0)
        return 3;
    rl.rlim_cur = rlim_t(limit);
    if (::setrlimit(RLIMIT_FSIZE, &rl) != 0)
        return 3;

    const QString tooLong = QStringLiteral("/media/clips/") + QString(int(limit) * 2, QLatin1Char('x'));
    try {
        WriteIniKey(file, Section, QStringLiteral("MainFolder"), tooLong);
        std::printf("written\n");
    } catch (const RuntimeError &e) {
        std::printf("thrown %d\n", int(e.number()));
    }

    const CErrorlog log(logDir, QStringLiteral("tovrane"));
    const ErrorTrap step(log, QStringLiteral("frmTovrane"), QStringLiteral("AddFolder"));
    const bool ok = step([&] { WriteIniKey(file, Section, QStringLiteral("MainFolder"), tooLong); });
    std::printf(ok ? "written\n" : "trapped\n");
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 4 && args.at(1) == QLatin1String("burst"))
        return burst(args.at(2), args.at(3).toLongLong());
    if (args.size() == 5 && args.at(1) == QLatin1String("limited"))
        return limited(args.at(2), args.at(3).toLongLong(), args.at(4));
    std::fprintf(stderr, "usage: settings_writer burst FILE FIRST | limited FILE LIMIT LOGDIR\n");
    return 2;
}
