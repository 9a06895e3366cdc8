// Times a scan of a large tree (rows built and the model filled) against
// `find TREE -type f | wc -l` on the same, warm tree, and reports the peak
// memory with every row held in the model. Make the tree with make_tree.py.
#include "CErrorlog.h"
#include "ClipListModel.h"
#include "ErrorTrap.h"
#include "ScanWalk.h"

#include "Median.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>

using namespace errorlog;

using namespace scan;

using bench::median;

namespace {

// Runs the shell pipeline; returns seconds and the count it printed.
double timeFind(const QString &tree, qint64 &count)
{
    QProcess p;
    QElapsedTimer t;
    t.start();
    p.start(QStringLiteral("/bin/sh"),
        { QStringLiteral("-c"), QStringLiteral("find \"$1\" -type f | wc -l"), QStringLiteral("sh"), tree });
    p.waitForFinished(-1);
    const double s = t.nsecsElapsed() / 1e9;
    count = p.readAllStandardOutput().trimmed().toLongLong();
    return s;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: bench_scan TREE [EXTENSIONS]\n");
        return 2;
    }
    const QString tree = args.at(1);
    const ScanOptions options { args.size() > 2 ? args.at(2) : QStringLiteral("AVI|MPG|MPEG|MP4|MKV|M2V|VOB"), false };
    QTemporaryDir logDir;
    const CErrorlog log(logDir.path(), QStringLiteral("bench_scan"));
    const ErrorTrap step(log, QStringLiteral("frmTovrane"), QStringLiteral("cmdScan_Click"));
    const ErrorTrap walkStep(log, QStringLiteral("frmTovrane"), QStringLiteral("ScanFolder"));
    ClipListModel model;

    qint64 findCount = 0;
    timeFind(tree, findCount); // warms the cache

    QList<double> scanTimes, findTimes;
    qsizetype rows = 0;
    qsizetype folders = 0;
    for (int run = 0; run < 3; ++run) {
        model.clear();
        QElapsedTimer t;
        t.start();
        model.setRows(scanFolders({ tree }, options, step, walkStep));
        scanTimes << t.nsecsElapsed() / 1e9;
        rows = model.rows().size();
        findTimes << timeFind(tree, findCount);
    }
    struct rusage usage
    {
    };
    getrusage(RUSAGE_SELF, &usage);
    QSet<QString> locations;
    for (const ClipRow &row : model.rows())
        locations.insert(row.location);
    folders = locations.size();

    const double scan = median(scanTimes);
    const double find = median(findTimes);
    std::printf("scan %lld clips in %lld folders (%lld files): %.3f s; find: %.3f s; ratio %.2f (target <= 2)\n",
        qlonglong(rows), qlonglong(folders), qlonglong(findCount), scan, find, scan / find);

    std::printf("scan peak memory: %.0f MB with %lld rows in the model (target < 150 MB)\n", usage.ru_maxrss / 1024.0,
        qlonglong(model.rowCount()));
    return scan / find <= 2.0 ? 0 : 1;
}
