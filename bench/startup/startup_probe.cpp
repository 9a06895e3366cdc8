// Times whole programs from launch until their main window is up and their
// event loop is idle, as a user waits for them. Each program is started with
// the idle-probe plugin (IdleProbe.cpp), which reports that moment on standard
// output and ends the process; the programs take turns, after one untimed
// start each, and the median of the runs is reported.
//
// Usage: startup_probe [--runs N] --plugins DIR  NAME PROGRAM TITLE  [NAME PROGRAM TITLE]...
//   DIR holds generic/<the plugin>; TITLE is the main window's title.
//   The first program is compared with each of the others.
#include "Median.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>

#include <algorithm>
#include <cstdio>
#include <vector>

using bench::median;

namespace {

struct Subject
{
    QString name;
    QString program;
    QString title;
    std::vector<double> seconds;
};

constexpr int TimeoutMs = 60000;

// Seconds from launch to the "idle" line, or a negative number on failure.
double timeOnce(const Subject &subject, const QProcessEnvironment &base, const QString &pluginDir)
{
    QProcessEnvironment env = base;
    const QString pluginPath = env.value(QStringLiteral("QT_PLUGIN_PATH"));
    env.insert(QStringLiteral("QT_PLUGIN_PATH"), pluginPath.isEmpty() ? pluginDir : pluginDir + u':' + pluginPath);
    env.insert(QStringLiteral("QT_QPA_GENERIC_PLUGINS"), QStringLiteral("tovraneidleprobe:") + subject.title);
    if (!env.contains(QStringLiteral("QT_QPA_PLATFORM")))
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));

    QProcess process;
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(QFileInfo(subject.program).absolutePath());
    process.setProgram(subject.program);

    QElapsedTimer timer;
    timer.start();
    process.start();
    QByteArray out;
    double seconds = -1;
    while (timer.elapsed() < TimeoutMs) {
        if (!process.waitForReadyRead(int(TimeoutMs - timer.elapsed())))
            break;
        out += process.readAllStandardOutput();
        if (out.contains("idle\n")) {
            seconds = double(timer.nsecsElapsed()) / 1e9;
            break;
        }
    }
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(5000);
    }
    if (seconds < 0) {
        std::fprintf(stderr, "%s never reported an idle main window titled \"%s\"; its messages:\n%s\n",
            qPrintable(subject.program), qPrintable(subject.title), process.readAllStandardError().constData());
    }
    return seconds;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    int runs = 11;
    QString pluginDir;
    while (!args.isEmpty() && args.first().startsWith(QLatin1String("--"))) {
        const QString option = args.takeFirst();
        if (args.isEmpty())
            break;
        if (option == QLatin1String("--runs"))
            runs = std::max(1, args.takeFirst().toInt());
        else if (option == QLatin1String("--plugins"))
            pluginDir = QFileInfo(args.takeFirst()).absoluteFilePath();
    }
    if (pluginDir.isEmpty() || args.size() < 3 || args.size() % 3 != 0) {
        std::fprintf(
            stderr, "usage: startup_probe [--runs N] --plugins DIR NAME PROGRAM TITLE [NAME PROGRAM TITLE]...\n");
        return 2;
    }
    std::vector<Subject> subjects;
    for (qsizetype i = 0; i < args.size(); i += 3)
        subjects.push_back({ args.at(i), QFileInfo(args.at(i + 1)).absoluteFilePath(), args.at(i + 2), {} });

    const QProcessEnvironment base = QProcessEnvironment::systemEnvironment();
    // One untimed start each fills the caches, as on any start but the first
    // after booting.
    for (const Subject &s : subjects) {
        if (timeOnce(s, base, pluginDir) < 0)
            return 1;
    }
    for (int r = 0; r < runs; ++r) {
        // Taking turns, starting with a different program each round, spreads
        // any drift in the machine's load over all of them.
        for (size_t k = 0; k < subjects.size(); ++k) {
            Subject &s = subjects[(k + size_t(r)) % subjects.size()];
            const double t = timeOnce(s, base, pluginDir);
            if (t < 0)
                return 1;
            s.seconds.push_back(t);
        }
    }
    for (const Subject &s : subjects) {
        std::printf("%s: median %.3f s over %d starts; runs", qPrintable(s.name), median(s.seconds), runs);
        for (double t : s.seconds)
            std::printf(" %.3f", t);
        std::printf("\n");
    }
    const double first = median(subjects.front().seconds);
    for (size_t k = 1; k < subjects.size(); ++k) {
        const double other = median(subjects[k].seconds);
        std::printf("startup %s %.3f s; %s %.3f s; ratio %.2f\n", qPrintable(subjects.front().name), first,
            qPrintable(subjects[k].name), other, first / other);
    }
    return 0;
}
