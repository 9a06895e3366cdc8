// Builds interrupted in the middle of a 40 MB script or a 100 MB batch file,
// in a real process running the program's windows: real signals to end it
// (SIGTERM, SIGINT, SIGHUP), a kill, and a stop while another program puts a
// file under the name being written. Nothing torn may be left: the file
// being written is finished or removed, a killed build leaves at most a
// hidden file that no scan lists and the next build removes, and nothing is
// put over a file that appeared meanwhile.
#include "CErrorlog.h"
#include "ErrorTrap.h"
#include "OpenFiles.h"
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

#include <climits>
#include <csignal>

using namespace platform;

using namespace scriptgen;

using namespace errorlog;

using namespace scan;

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

// Scripts in `folder` of `size` bytes (what a whole one has).
int scriptsOfSize(const QString &folder, qint64 size)
{
    int count = 0;
    for (const QFileInfo &script : QDir(folder).entryInfoList({ u"*.avs"_s }, QDir::Files))
        count += script.size() == size;
    return count;
}

// The hidden names of files in the making.
QStringList temporaries(const QString &folder)
{
    static const QRegularExpression pattern(u"^\\.tovrane-[0-9a-f]{8}\\.tmp$"_s);
    return QDir(folder).entryList(QDir::Files | QDir::Hidden).filter(pattern);
}

} // namespace

class TestInterruptedBuilds : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp;

    struct Run
    {
        QString programFolder, clips, out;
        QByteArray script; // what each clip's script holds
        std::unique_ptr<QProcess> process = std::make_unique<QProcess>();
        QByteArray output; // what it printed so far
    };

    struct Setup
    {
        int mode = 1; // 1: a script per clip; 0: one batch file
        bool replacing = false; // old scripts stand beside the clips
        bool ask = false; // the overwrite policy "Ask", answered No
        int clips = Clips;
    };

    // The program folder, its settings, and clips in a long folder; the
    // program started and its build under way.
    bool launch(Run &run, const Setup &setup)
    {
        static int runs = 0;
        const QString base = m_tmp.filePath(QString::number(++runs));
        run.programFolder = base + u"/program"_s;
        run.clips = longFolder(base + u"/clips"_s);
        run.out = base + u"/out"_s;
        if (!QDir().mkpath(run.clips) || !QDir().mkpath(run.out) || !QDir().mkpath(base + u"/config"_s))
            return false;
        for (int c = 0; c < setup.clips; ++c) {
            put(run.clips + u"/%1.avi"_s.arg(QChar(u'a' + c)));
            if (setup.replacing)
                put(run.clips + u"/%1.avs"_s.arg(QChar(u'a' + c)), "old\r\n");
        }
        const QByteArray expanded = QFile::encodeName(run.clips) + "\r\n";
        const qint64 lines = (setup.mode == 1 ? ScriptBytes : BatchBytes / Clips) / expanded.size();
        run.script = expanded.repeated(lines);
        put(run.programFolder + u"/Templates/Default.avs"_s, QByteArray("%PATH%\r\n").repeated(lines));
        put(run.programFolder + u"/Filters.txt"_s, "Blur\r\n");
        put(run.programFolder + u"/Settings.ini"_s,
            "[Settings]\r\nMainFolder=" + QFile::encodeName(run.clips) + "\r\nAvsFolder=" + QFile::encodeName(run.out)
                + "\r\nExtenions=AVI\r\nScriptExtensions=avs\r\nOverwrite=" + (setup.ask ? "1" : "0")
                + "\r\nBuildScriptsIn=0\r\nSplash=1\r\nMode=" + QByteArray::number(setup.mode) + "\r\nShow=0\r\n");

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        env.insert(u"XDG_CONFIG_HOME"_s, base + u"/config"_s);
        run.process->setProcessEnvironment(env);
        run.process->start(QStringLiteral(BUILD_IN_PROGRAM), { run.programFolder, setup.ask ? u"no"_s : u"yes"_s });
        return run.process->waitForStarted(10000) && waitForLine(run, "building");
    }

    static bool waitForLine(Run &run, const QByteArray &line)
    {
        QDeadlineTimer deadline(120000);
        while (!run.output.contains(line + '\n')) {
            if (deadline.hasExpired() || run.process->state() != QProcess::Running)
                return false;
            run.process->waitForReadyRead(100);
            run.output += run.process->readAllStandardOutput();
        }
        return true;
    }

    struct Writing
    {
        QString path; // "" when the build ended first
        int whole = 0; // scripts of the full size in the clip folder then
    };

    // Waits until the program holds a file open in `folder` that has
    // between `at` and `below` bytes and, when `unnamed`, no name of its own
    // yet.
    static Writing whileWriting(Run &run, const QString &folder, qint64 at, qint64 below, bool unnamed = false)
    {
        QDeadlineTimer deadline(120000);
        while (!deadline.hasExpired() && run.process->state() == QProcess::Running) {
            const int whole = scriptsOfSize(run.clips, run.script.size());
            const OpenFile writing = openFileIn(run.process->processId(), folder);
            const bool inTheMaking = writing.path.endsWith(u" (deleted)"_s)
                || temporaries(folder).contains(writing.path.section(u'/', -1));
            if (writing.size >= at && writing.size < below && (!unnamed || inTheMaking))
                return { writing.path, whole };
            QThread::usleep(200);
        }
        return {};
    }

    // The program started, and in the middle of a script, or of the batch
    // file's second clip. Returns how many scripts were whole then; -1 when
    // that moment never came.
    int start(Run &run, const Setup &setup)
    {
        if (!launch(run, setup))
            return -1;
        const bool perClip = setup.mode == 1;
        const Writing writing = whileWriting(run, perClip ? run.clips : run.out, perClip ? 1 : run.script.size(),
            perClip ? run.script.size() : Clips * run.script.size());
        return writing.path.isEmpty() ? -1 : writing.whole;
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
        QTest::addColumn<bool>("replacing");
        QTest::newRow("SIGTERM, new per-clip scripts") << SIGTERM << 1 << false;
        QTest::newRow("SIGTERM, batch file") << SIGTERM << 0 << false;
        QTest::newRow("SIGINT, batch file") << SIGINT << 0 << false;
        QTest::newRow("SIGHUP, per-clip scripts replacing old ones") << SIGHUP << 1 << true;
    }
    void endSignalsLeaveNothingTorn()
    {
        QFETCH(int, signal);
        QFETCH(int, mode);
        QFETCH(bool, replacing);
        Run run;
        const int whole = start(run, { mode, replacing });
        QVERIFY2(whole >= 0, "never saw a file in the middle of being written");
        QCOMPARE(::kill(pid_t(run.process->processId()), signal), 0);
        QVERIFY(run.process->waitForFinished(120000));
        QCOMPARE(run.process->exitStatus(), QProcess::NormalExit);
        QCOMPARE(run.process->exitCode(), 0);
        // Ended before the build was done: no "All done!".
        QCOMPARE(run.output + run.process->readAllStandardOutput(), QByteArray("building\nbuilt\nunloaded: yes\n"));

        QCOMPARE(temporaries(run.clips) + temporaries(run.out), QStringList());
        if (mode == 0) {
            QCOMPARE(tree(run.out), QStringList());
            return;
        }
        // The script in the making was finished; the build stopped after it.
        const int now = scriptsOfSize(run.clips, run.script.size());
        QVERIFY2(now >= whole + 1 && now < Clips, qPrintable(u"%1 whole before, %2 after"_s.arg(whole).arg(now)));
        const QStringList scripts = tree(run.clips).filter(u".avs"_s);
        QCOMPARE(scripts.size(), replacing ? Clips : now);
        for (const QString &script : scripts) {
            const QByteArray bytes = readBytes(run.clips + u'/' + script);
            QVERIFY2(bytes == run.script || (replacing && bytes == "old\r\n"), qPrintable(script));
        }
    }

    // Killed outright, the program leaves no torn script or batch file, at
    // most the hidden file it was writing (replacing an old script). The scan
    // does not list such a file, even with its extension on the list; the
    // next build removes it, and the batch file takes the number the killed
    // one would have had.
    void killedBuildLeavesNothingTorn()
    {
        for (const int mode : { 0, 1 }) {
            Run run;
            QVERIFY2(start(run, { mode, mode == 1 }) >= 0, "never saw a file in the middle of being written");
            run.process->kill();
            QVERIFY(run.process->waitForFinished(60000));
            QCOMPARE(run.process->exitStatus(), QProcess::CrashExit);

            const QString folder = mode == 1 ? run.clips : run.out;
            QVERIFY(temporaries(folder).size() <= 1);
            if (mode == 0)
                QCOMPARE(tree(run.out), temporaries(run.out));
            for (const QString &script : tree(run.clips).filter(u".avs"_s)) {
                const QByteArray bytes = readBytes(run.clips + u'/' + script);
                QVERIFY2(bytes == "old\r\n" || bytes == run.script, qPrintable(script));
            }

            QTemporaryDir logs;
            const CErrorlog log(logs.path(), u"tovrane"_s);
            const ErrorTrap scan(log, u"frmTovrane"_s, u"cmdScan_Click"_s), walk(log, u"frmTovrane"_s, u"ScanFolder"_s);
            const QList<ClipRow> rows = scanFolders({ run.clips }, { u"AVI|TMP"_s, false }, scan, walk);
            QCOMPARE(rows.size(), Clips);
            for (const ClipRow &row : rows)
                QCOMPARE(row.avs, mode == 1 ? ScriptMark::Exists : ScriptMark::None);

            QList<ClipRow> all = rows;
            for (ClipRow &row : all)
                row.checked = true;
            const BuildOptions options { u"%CLIP%"_s, u"avs"_s, OverwritePolicy::Always, ScriptFolder::ClipFolder,
                run.out };
            const ErrorTrap build(log, u"frmTovrane"_s, mode == 1 ? u"Mode_1"_s : u"Mode_0"_s);
            if (mode == 1)
                QCOMPARE(buildPerClip(all, options, build, {}, {}), Clips);
            else
                QCOMPARE(buildBatch(all, options, build), run.out + u"/batch_file_0.avs"_s);
            QCOMPARE(temporaries(folder), QStringList());
            QCOMPARE(logRecords(logs.path()), QStringList());
        }
    }

    // Another program puts a file under the name being written while the
    // program writes it (here, while the program is stopped). The new script
    // is not put over it: under "Ask" it is asked about like a script that
    // was there before, and No keeps it. The batch file takes the next free
    // number instead.
    void filesThatAppearMeanwhileAreNotReplaced()
    {
        for (const int mode : { 1, 0 }) {
            Run run;
            QVERIFY(launch(run, { mode, false, true, mode == 1 ? 1 : Clips }));
            const QString folder = mode == 1 ? run.clips : run.out;
            const QString name = folder + (mode == 1 ? u"/a.avs"_s : u"/batch_file_0.avs"_s);
            const pid_t pid = pid_t(run.process->processId());
            // Stopped between two system calls: the file may be complete by
            // then, but not yet named; else the next one is tried.
            for (;;) {
                QVERIFY2(!whileWriting(run, folder, 1, LLONG_MAX, true).path.isEmpty(),
                    "never saw a file being written without its name");
                QCOMPARE(::kill(pid, SIGSTOP), 0);
                while (!QFile(u"/proc/%1/stat"_s.arg(pid)).open(QIODevice::ReadOnly)
                    || !QString::fromLatin1(readBytes(u"/proc/%1/stat"_s.arg(pid)))
                            .section(u") "_s, 1)
                            .startsWith(u'T'))
                    QThread::usleep(100);
                const QString path = openFileIn(pid, folder).path;
                if (path.endsWith(u" (deleted)"_s) || temporaries(folder).contains(path.section(u'/', -1)))
                    break;
                QCOMPARE(::kill(pid, SIGCONT), 0);
            }
            QVERIFY(put(name, "appeared"));
            QCOMPARE(::kill(pid, SIGCONT), 0);
            QVERIFY(waitForLine(run, "built"));
            QCOMPARE(::kill(pid, SIGTERM), 0);
            QVERIFY(run.process->waitForFinished(60000));
            run.output += run.process->readAllStandardOutput();

            QCOMPARE(readBytes(name), QByteArray("appeared"));
            if (mode == 1) {
                QVERIFY2(run.output.contains(
                             "question: The AVS script " + QFile::encodeName(name) + " already exists. Overwrite?\n"),
                    run.output.constData());
                QCOMPARE(tree(run.clips), (QStringList { u"a.avi"_s, u"a.avs"_s }));
            } else {
                QCOMPARE(tree(run.out), (QStringList { u"batch_file_0.avs"_s, u"batch_file_1.avs"_s }));
                QCOMPARE(readBytes(run.out + u"/batch_file_1.avs"_s), run.script.repeated(Clips));
            }
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

QTEST_MAIN(TestInterruptedBuilds)
#include "tst_interruptedbuilds.moc"
