// Times what a user of a big clip collection waits for, on whatever system it
// is built for (the same source runs on Linux and, cross-built, on Windows or
// under Wine): a scan of a folder with 10,000 clips in 100 subfolders, the
// per-clip build of their scripts, and the batch build of one file for all.
// Each is the median of five runs. Failures count: any makes it exit 1.
#include "Failure.h"
#include "ScanWalk.h"
#include "ScriptBuild.h"

#include "Median.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace errorlog;
using namespace scan;
using namespace scriptgen;

using bench::median;

namespace {

constexpr int Clips = 10000;
constexpr int Folders = 100;
constexpr int Runs = 5;

const char *const Template = "# script for %CLIP%\r\n"
                             "clip = DirectShowSource(\"%PATH%\\%CLIP%.%EXT%\", fps=25, audio=true)\r\n"
                             "clip = clip.ConvertToYV12().Crop(8, 0, -8, 0).LanczosResize(640, 480)\r\n"
                             "return clip\r\n";

template <typename Work> double seconds(Work &&work)
{
    QElapsedTimer t;
    t.start();
    work();
    return t.nsecsElapsed() / 1e9;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "no temporary folder\n");
        return 1;
    }
    const QString tree = QDir::toNativeSeparators(dir.filePath(QStringLiteral("clips")));
    const QString scripts = QDir::toNativeSeparators(dir.filePath(QStringLiteral("scripts")));
    QDir().mkpath(scripts);
    // A folder without files of its own ends the walk there: the collection's
    // top folder holds a note beside its subfolders.
    QDir().mkpath(tree);
    QFile note(QDir(tree).filePath(QStringLiteral("readme.txt")));
    if (!note.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "cannot make %s\n", qPrintable(note.fileName()));
        return 1;
    }
    note.close();
    for (int f = 0; f < Folders; ++f) {
        const QString folder = dir.filePath(QStringLiteral("clips/folder_%1").arg(f, 3, 10, QLatin1Char('0')));
        QDir().mkpath(folder);
        for (int c = 0; c < Clips / Folders; ++c) {
            QFile clip(folder + QStringLiteral("/holiday_%1.avi").arg(c, 3, 10, QLatin1Char('0')));
            if (!clip.open(QIODevice::WriteOnly)) {
                std::fprintf(stderr, "cannot make %s\n", qPrintable(clip.fileName()));
                return 1;
            }
        }
    }

    int failures = 0;
    const FailureSink count([&failures](const Failure &failure) {
        ++failures;
        std::fprintf(stderr, "failure %d: %s\n", int(failure.number), qPrintable(failure.description));
    });
    const ScanOptions scanOptions { QStringLiteral("AVI|MPG|MPEG|MP4|MKV|M2V|VOB"), false };

    QList<ClipRow> rows;
    std::vector<double> scan;
    for (int r = 0; r < Runs; ++r)
        scan.push_back(seconds([&] { rows = scanFolders({ tree }, scanOptions, count, count); }));
    for (ClipRow &row : rows)
        row.checked = true;

    BuildOptions options;
    options.templateText = QString::fromLatin1(Template);
    options.scriptExtension = QStringLiteral("AVS");
    std::vector<double> perClip;
    int written = 0;
    for (int r = 0; r < Runs; ++r) {
        for (const ClipRow &row : rows)
            QFile::remove(*scriptPathFor(row, options));
        perClip.push_back(seconds([&] { written = buildPerClip(rows, options, count, {}, [](int) {}); }));
    }

    options.scriptFolder = ScriptFolder::SpecificFolder;
    options.avsFolder = scripts;
    std::vector<double> batch;
    QString batchFile;
    for (int r = 0; r < Runs; ++r) {
        batch.push_back(seconds([&] { batchFile = buildBatch(rows, options, count); }));
        const qint64 size = QFileInfo(batchFile).size();
        if (r == Runs - 1)
            std::printf("batch file: %s, %lld bytes\n", qPrintable(batchFile), qlonglong(size));
        QFile::remove(batchFile);
    }

    std::printf("scan of %lld clips in %d folders: %.3f s\n", qlonglong(rows.size()), Folders, median(scan));
    std::printf("per-clip build of %d scripts: %.3f s\n", written, median(perClip));
    std::printf("batch build of one file for %lld clips: %.3f s\n", qlonglong(rows.size()), median(batch));
    const bool complete = rows.size() == Clips && written == Clips && !batchFile.isEmpty();
    if (!complete || failures != 0) {
        std::fprintf(
            stderr, "incomplete: %lld rows, %d scripts, %d failures\n", qlonglong(rows.size()), written, failures);
        return 1;
    }
    return 0;
}
