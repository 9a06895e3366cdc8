// Times the per-clip build ("Always", clip folder) against the least a
// program can do to write the same scripts: fopen / fwrite / fclose with the
// bytes and paths worked out beforehand. Both write the same files, taking
// turns, and the medians of seven runs of each are compared: wall clock and
// processor time. On a machine whose disk is shared with other work, a run
// may stall for seconds waiting for write-back; processor time leaves those
// waits out and is what the program itself costs.

#include "CErrorlog.h"
#include "ErrorTrap.h"
#include "ScriptBuild.h"
#include "Substitute.h"

#include "Median.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

using namespace scriptgen;

using namespace errorlog;

using namespace scan;

using bench::median;

namespace {

constexpr int Clips = 10000;
constexpr int Folders = 100;
constexpr int Runs = 7;

const char *const Template = "# Tovrane script for %CLIP%\r\n"
                             "LoadPlugin(\"C:\\AviSynth\\plugins\\DGDecode.dll\")\r\n"
                             "clip = DirectShowSource(\"%PATH%\\%CLIP%.%EXT%\", fps=25, audio=true)\r\n"
                             "clip = clip.ConvertToYV12()\r\n"
                             "clip = clip.Crop(8, 0, -8, 0).LanczosResize(640, 480)\r\n"
                             "clip = clip.Trim(0, 0).FadeIn(25).FadeOut(25)\r\n"
                             "# source: %PATH%\\%CLIP%.%EXT%\r\n"
                             "clip = clip.Subtitle(\"%CLIP%\", align=9, size=18)\r\n"
                             "return clip\r\n";

struct Cost
{
    double wall = 0;
    double cpu = 0;
};

template <typename Work> Cost cost(Work &&work)
{
    const std::clock_t c0 = std::clock();
    QElapsedTimer t;
    t.start();
    work();
    return { t.nsecsElapsed() / 1e9, double(std::clock() - c0) / CLOCKS_PER_SEC };
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

    QList<ClipRow> rows;
    rows.reserve(Clips);
    for (int f = 0; f < Folders; ++f) {
        const QString folder = dir.filePath(QStringLiteral("clips/folder_%1").arg(f, 3, 10, QLatin1Char('0')));
        QDir().mkpath(folder);
        for (int c = 0; c < Clips / Folders; ++c)
            rows.append(ClipRow { true, QStringLiteral("holiday_%1_%2.avi").arg(f).arg(c), folder, ScriptMark::None });
    }

    BuildOptions options;
    options.templateText = QString::fromLatin1(Template);
    options.scriptExtension = QStringLiteral("AVS");

    // What the minimal loop gets for free: paths and bytes ready to write.
    std::vector<QByteArray> paths;
    std::vector<QByteArray> texts;
    for (const ClipRow &row : rows) {
        const ClipNameParts parts = *splitClipFileName(row.file);
        paths.push_back(QFile::encodeName(*scriptPathFor(row, options)));
        texts.push_back(
            substitutePlaceholders(options.templateText, parts.clip, parts.ext, row.location).toLocal8Bit());
    }

    const CErrorlog log(dir.path(), QStringLiteral("bench_scriptgen"));
    const ErrorTrap step(log, QStringLiteral("frmTovrane"), QStringLiteral("Mode_1"));

    // Each timed run starts from the same state: no scripts in the folders.
    // (Replacing a file's contents makes some file systems write it out at
    // close, which would measure the disk rather than the program.)
    const auto removeScripts = [&] {
        for (const QByteArray &path : paths)
            std::remove(path.constData());
    };
    const auto runBuild = [&] {
        removeScripts();
        int written = 0;
        const Cost c = cost([&] { written = buildPerClip(rows, options, step, {}, [](int) {}); });
        if (written != Clips)
            std::fprintf(stderr, "build wrote %d of %d scripts\n", written, Clips);
        return c;
    };
    const auto runMinimal = [&] {
        removeScripts();
        return cost([&] {
            for (size_t i = 0; i < paths.size(); ++i) {
                FILE *f = std::fopen(paths[i].constData(), "wb");
                if (!f)
                    continue;
                std::fwrite(texts[i].constData(), 1, size_t(texts[i].size()), f);
                std::fclose(f);
            }
        });
    };

    // One untimed round of each to warm the caches.
    runBuild();
    runMinimal();
    std::vector<double> build, minimal, buildCpu, minimalCpu;
    const auto record = [](const Cost &c, std::vector<double> &wall, std::vector<double> &cpu) {
        wall.push_back(c.wall);
        cpu.push_back(c.cpu);
    };
    for (int r = 0; r < Runs; ++r) {
        if (r % 2 == 0) {
            record(runBuild(), build, buildCpu);
            record(runMinimal(), minimal, minimalCpu);
        } else {
            record(runMinimal(), minimal, minimalCpu);
            record(runBuild(), build, buildCpu);
        }
    }

    // The last run was a build: its scripts must be exactly the minimal loop's bytes.
    int wrong = 0;
    runBuild();
    for (size_t i = 0; i < paths.size(); i += 97) {
        QFile f(QFile::decodeName(paths[i]));
        if (!f.open(QIODevice::ReadOnly) || f.readAll() != texts[i])
            ++wrong;
    }
    const bool logged = QFileInfo::exists(log.logFilePath(QDateTime::currentDateTime()));

    const double b = median(build);
    const double m = median(minimal);
    std::printf("build %d scripts: %.3f s; minimal loop: %.3f s; ratio %.2f (target <= 1.5)\n", Clips, b, m, b / m);
    const double bc = median(buildCpu);
    const double mc = median(minimalCpu);
    std::printf("processor time: build %.3f s; minimal loop: %.3f s; ratio %.2f (target <= 1.5)\n", bc, mc, bc / mc);
    const double bestB = *std::min_element(build.begin(), build.end());
    const double bestM = *std::min_element(minimal.begin(), minimal.end());
    std::printf("best of %d: build %.3f s, minimal %.3f s, ratio %.2f\n", Runs, bestB, bestM, bestB / bestM);
    std::printf("template %lld bytes; runs: build", static_cast<long long>(texts.front().size()));
    for (double s : build)
        std::printf(" %.3f", s);
    std::printf(", minimal");
    for (double s : minimal)
        std::printf(" %.3f", s);
    std::printf("\n");
    if (wrong || logged) {
        std::fprintf(stderr, "check failed: %d scripts differ, errors logged: %s\n", wrong, logged ? "yes" : "no");
        return 1;
    }
    return 0;
}
