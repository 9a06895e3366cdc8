// The program asked to end (SIGTERM, SIGINT, SIGHUP) or killed outright
// while it writes a 40 MB script or a 120 MB batch file: real signals to a
// real process running the program's windows. Nothing torn may be left: the
// file being written is finished or removed, and a killed build leaves at most
// a hidden temporary file that no scan lists and the next build removes.
#include "CErrorlog.h"
#include "ErrorTrap.h"
#include "Program.h"
#include "ProgramFolder.h"
#include "QtDialogs.h"
#include "ScanWalk.h"
#include "ScriptBuild.h"
#include "TestFiles.h"
#include "frmSettings.h"
#include "frmTovrane.h"

#include <QApplication>
#include <QMessageBox>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QtTest>

#include <csignal>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

constexpr int Clips = 4;
// A 40 MB script per clip; a batch file of 100 MB for the four.
constexpr qint64 ScriptBytes = 40'000'000, BatchBytes = 100'000'000;

// A folder whose path is long enough (about 3000 bytes) that a template of
// "%PATH%" lines expands to many megabytes.
QString longFolder(const QString &base)
{
    QString path = base;
    for (int level = 0; level < 14; ++level)
        path += u'/' + QString(200, QChar(u'a' + level));
    return path;
}

struct Sizes
{
    QString partial; // a file being written: neither empty nor of its full size
    int complete = 0; // scripts of the full size
};

// What stands in `folder` now, other than clips, against the full size of
// one file. Sizes straight from the system: the files grow as they are read.
Sizes sizesIn(const QString &folder, qint64 full, qint64 at)
{
    Sizes sizes;
    for (const QString &name : QDir(folder).entryList(QDir::Files | QDir::Hidden)) {
        if (name.endsWith(u".avi"_s))
            continue;
        struct stat st;
        if (::stat(QFile::encodeName(folder + u'/' + name).constData(), &st) != 0)
            continue;
        if (st.st_size == full && name.endsWith(u".avs"_s) && !name.startsWith(u'.'))
            ++sizes.complete;
        else if (st.st_size >= at && st.st_size < full)
            sizes.partial = name;
    }
    return sizes;
}

} // namespace

class TestEndSignals : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp;

    struct Run
    {
        QString programFolder, clips, out;
        QByteArray script; // what each clip's script holds
        std::unique_ptr<QProcess> process = std::make_unique<QProcess>();
    };

    // The program folder, its settings, and clips in a long folder; the
    // program started, its build under way and a file half written.
    void start(Run &run, int mode, const QString &name, Sizes &seen)
    {
        const QString base = m_tmp.filePath(name);
        run.programFolder = base + u"/program"_s;
        run.clips = longFolder(base + u"/clips"_s);
        run.out = base + u"/out"_s;
        QVERIFY(QDir().mkpath(run.clips) && QDir().mkpath(run.out) && QDir().mkpath(base + u"/config"_s));
        for (int c = 0; c < Clips; ++c)
            QVERIFY(put(run.clips + u"/%1.avi"_s.arg(QChar(u'a' + c))));
        const QByteArray line = "%PATH%\r\n";
        const QByteArray expanded = QFile::encodeName(run.clips) + "\r\n";
        const qint64 lines = (mode == 1 ? ScriptBytes : BatchBytes / Clips) / expanded.size();
        run.script = expanded.repeated(lines);
        QVERIFY(put(run.programFolder + u"/Templates/Default.avs"_s, line.repeated(lines)));
        QVERIFY(put(run.programFolder + u"/Filters.txt"_s, "Blur\r\n"));
        QVERIFY(put(run.programFolder + u"/Settings.ini"_s,
            "[Settings]\r\nMainFolder=" + QFile::encodeName(run.clips) + "\r\nAvsFolder=" + QFile::encodeName(run.out)
                + "\r\nExtenions=AVI\r\nScriptExtensions=avs\r\nOverwrite=0\r\nBuildScriptsIn=0\r\nSplash=1\r\nMode="
                + QByteArray::number(mode) + "\r\nShow=0\r\n"));

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        env.insert(u"XDG_CONFIG_HOME"_s, base + u"/config"_s);
        run.process->setProcessEnvironment(env);
        run.process->start(QStringLiteral(BUILD_IN_PROGRAM), { run.programFolder });
        QVERIFY2(run.process->waitForStarted(10000), "the program did not start");
        QDeadlineTimer deadline(120000);
        while (!run.process->readAllStandardOutput().contains("building")) {
            QVERIFY2(!deadline.hasExpired() && run.process->state() == QProcess::Running, "the build never started");
            run.process->waitForReadyRead(100);
        }
        // In the middle of a script, or of the batch file's second clip.
        const QString watched = mode == 1 ? run.clips : run.out;
        const qint64 full = mode == 1 ? run.script.size() : Clips * run.script.size();
        const qint64 at = mode == 1 ? 1 : run.script.size();
        for (seen = sizesIn(watched, full, at); seen.partial.isEmpty(); seen = sizesIn(watched, full, at)) {
            QVERIFY2(!deadline.hasExpired() && run.process->state() == QProcess::Running,
                "never saw a file in the middle of being written");
            QThread::usleep(200);
        }
    }

    // The hidden names of files in the making.
    static QStringList temporaries(const QString &folder)
    {
        static const QRegularExpression pattern(u"^\\.tovrane-[0-9a-f]{8}\\.tmp$"_s);
        return QDir(folder).entryList(QDir::Files | QDir::Hidden).filter(pattern);
    }

private slots:
    void initTestCase() { QVERIFY(m_tmp.isValid()); }

    // Each signal ends the program as Exit does, "All done!" unsaid: the
    // script being written is finished and none after it begun; the batch
    // file being written is removed, and its number stays free.
    void endSignalsLeaveNothingTorn_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<int>("mode");
        QTest::newRow("SIGTERM, per-clip scripts") << SIGTERM << 1;
        QTest::newRow("SIGTERM, batch file") << SIGTERM << 0;
        QTest::newRow("SIGINT, batch file") << SIGINT << 0;
        QTest::newRow("SIGHUP, per-clip scripts") << SIGHUP << 1;
    }
    void endSignalsLeaveNothingTorn()
    {
        QFETCH(int, signal);
        QFETCH(int, mode);
        Run run;
        Sizes seen;
        start(run, mode, QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'_').remove(u','), seen);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(::kill(pid_t(run.process->processId()), signal), 0);
        QVERIFY(run.process->waitForFinished(120000));
        QCOMPARE(run.process->exitStatus(), QProcess::NormalExit);
        QCOMPARE(run.process->exitCode(), 0);
        QCOMPARE(run.process->readAllStandardOutput(), QByteArray("unloaded: yes\n"));

        if (mode == 0) {
            QCOMPARE(tree(run.out), QStringList());
            return;
        }
        // The script in the making was finished; the build stopped after it.
        QStringList scripts = tree(run.clips).filter(u".avs"_s);
        QVERIFY2(scripts.size() >= seen.complete + 1 && scripts.size() < Clips, qPrintable(scripts.join(u' ')));
        for (const QString &script : scripts)
            QVERIFY2(readBytes(run.clips + u'/' + script) == run.script, qPrintable(script));
        QCOMPARE(tree(run.clips).size(), Clips + scripts.size());
    }

    // Killed outright, the program leaves at most the hidden file it was
    // writing: never a torn script or batch file. The scan lists no such
    // file, even with its extension on the list, and does not count it as
    // a file of its folder; the next build removes it, and the batch file
    // takes the number the killed one would have had.
    void killedBuildLeavesOnlyAHiddenFile()
    {
        for (const int mode : { 0, 1 }) {
            Run run;
            Sizes seen;
            start(run, mode, u"killed%1"_s.arg(mode), seen);
            if (QTest::currentTestFailed())
                return;
            run.process->kill();
            QVERIFY(run.process->waitForFinished(60000));
            QCOMPARE(run.process->exitStatus(), QProcess::CrashExit);

            const QString folder = mode == 1 ? run.clips : run.out;
            const QStringList left = temporaries(folder);
            QCOMPARE(left.size(), 1);
            const QStringList scripts = tree(folder).filter(u".avs"_s);
            for (const QString &script : scripts)
                QVERIFY2(readBytes(folder + u'/' + script) == run.script, qPrintable(script));

            QTemporaryDir logs;
            const CErrorlog log(logs.path(), u"tovrane"_s);
            const ErrorTrap scan(log, u"frmTovrane"_s, u"cmdScan_Click"_s), walk(log, u"frmTovrane"_s, u"ScanFolder"_s);
            // Only the hidden file below `out`: no file of its own, so the
            // clip below it goes unseen.
            QVERIFY(put(run.out + u"/below/hidden.avi"_s));
            const QList<ClipRow> rows = scanFolders({ run.clips, run.out }, { u"AVI|TMP"_s, false }, scan, walk);
            QCOMPARE(rows.size(), Clips);
            for (const ClipRow &row : rows)
                QCOMPARE(row.avs, scripts.contains(row.file.chopped(3) + u"avs"_s) ? u"Y"_s : u"-"_s);

            const BuildOptions options { u"%CLIP%"_s, u"avs"_s, false, false, run.out };
            const ErrorTrap build(log, u"frmTovrane"_s, mode == 1 ? u"Mode_1"_s : u"Mode_0"_s);
            if (mode == 1)
                QCOMPARE(buildPerClip(rows, options, build, {}, {}), int(rows.size()));
            else
                QCOMPARE(buildBatch(rows, options, build), run.out + u"/batch_file_0.avs"_s);
            QCOMPARE(temporaries(folder), QStringList());
            QCOMPARE(logRecords(logs.path()), QStringList());
        }
    }

    // A signal while windows wait for an answer (the settings window, and a
    // question above it): each is closed, the question answered No, then the
    // main window; the program returns as from Exit.
    void endSignalClosesWaitingWindowsFirst()
    {
        ProgramFolder folder;
        folder.write(u"Settings.ini"_s, "[Settings]\r\nSplash=1\r\nScriptExtensions=avs\r\n");
        QtDialogs dialogs;
        frmTovrane main(folder.info(), dialogs, { u"http://127.0.0.1:9"_s, QString() });
        dialogs.setOwner(&main);
        std::optional<Dialogs::Answer> answer;
        bool settingsReturned = false;
        // One timer per window: a timer does not fire again inside its own
        // handler, and each handler here waits in a window.
        QTimer openSettings, ask, signal;
        for (QTimer *timer : { &openSettings, &ask, &signal })
            timer->setInterval(20);
        connect(&openSettings, &QTimer::timeout, [&] {
            if (!main.isLoaded() || !main.isVisible())
                return;
            openSettings.stop();
            ask.start();
            main.cmdSettings_Click();
            settingsReturned = true;
        });
        connect(&ask, &QTimer::timeout, [&] {
            if (QApplication::activeModalWidget() != static_cast<QWidget *>(main.settingsWindow()))
                return;
            ask.stop();
            signal.start();
            answer = dialogs.question(u"Tovrane"_s, u"Still there?"_s, Dialogs::Icon::Information);
        });
        connect(&signal, &QTimer::timeout, [&] {
            if (!qobject_cast<QMessageBox *>(QApplication::activeModalWidget()))
                return;
            signal.stop();
            ::kill(::getpid(), SIGTERM);
        });
        openSettings.start();
        const int code = runProgram(main, folder.info());
        QCOMPARE(code, 0);
        QVERIFY(answer && *answer == Dialogs::No);
        QVERIFY(settingsReturned);
        QVERIFY(!main.isVisible());
        QCOMPARE(main.settingsWindow(), nullptr);
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
    }
};

QTEST_MAIN(TestEndSignals)
#include "tst_endsignals.moc"
