#include "CErrorlog.h"
#include "ErrorTrap.h"
#include "ScanWalk.h"
#include "ScriptBuild.h"
#include "Unprivileged.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <optional>

using namespace Qt::StringLiterals;

namespace {

enum class LogFolder { Writable, Missing, IsAFile, ReadOnly };

const QString Template = u"# %CLIP%\r\nDirectShowSource(\"%PATH%/%CLIP%.%EXT%\")\r\n"_s;

QByteArray readBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void touch(const QString &path)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly), qPrintable(path));
}

const QFileDevice::Permissions Everyone = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
    | QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther
    | QFileDevice::WriteOther | QFileDevice::ExeOther;
const QFileDevice::Permissions ReadAndEnter = QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadGroup
    | QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::ExeOther;

} // namespace

Q_DECLARE_METATYPE(LogFolder)

class TestLogFolderFaults : public QObject
{
    Q_OBJECT

private slots:
    void scanAndBuildsCompleteWhateverTheLog_data()
    {
        QTest::addColumn<LogFolder>("logFolder");
        // The writable row shows that the work below really has failures to log.
        QTest::newRow("writable") << LogFolder::Writable;
        QTest::newRow("missing") << LogFolder::Missing;
        QTest::newRow("a file, not a folder") << LogFolder::IsAFile;
        QTest::newRow("read-only") << LogFolder::ReadOnly;
    }

    // The error log is where failures go; when it cannot be written, the scan
    // and both builds must still do all they can, and nothing may escape.
    void scanAndBuildsCompleteWhateverTheLog()
    {
        QFETCH(LogFolder, logFolder);
        QTemporaryDir work;
        QVERIFY(QFile::setPermissions(work.path(), Everyone));
        const QString root = work.path();
        const QString clips = root + u"/clips"_s;
        const QString scripts = root + u"/scripts"_s;
        const QString gone = root + u"/gone"_s;
        touch(clips + u"/a.avi"_s);
        touch(clips + u"/b.avi"_s);
        touch(clips + u"/sub/c.avi"_s);
        QVERIFY(QDir().mkpath(scripts));
        for (const QString &folder : { clips, clips + u"/sub"_s, scripts })
            QVERIFY(QFile::setPermissions(folder, Everyone));

        QString logPath = root + u"/log"_s;
        switch (logFolder) {
        case LogFolder::Writable:
            QVERIFY(QDir().mkpath(logPath));
            QVERIFY(QFile::setPermissions(logPath, Everyone));
            break;
        case LogFolder::Missing: logPath = root + u"/no-log-here"_s; break;
        case LogFolder::IsAFile: touch(logPath); break;
        case LogFolder::ReadOnly:
            QVERIFY(QDir().mkpath(logPath));
            QVERIFY(QFile::setPermissions(logPath, ReadAndEnter));
            break;
        }

        std::optional<Unprivileged> asUser;
        if (logFolder == LogFolder::ReadOnly) {
            asUser.emplace();
            if (!asUser->ok())
                QSKIP("running as root without the right to act as another user, so a read-only folder stops nothing;"
                      " the missing-folder row covers the same path");
            if (!Unprivileged::mayAccess(clips, W_OK | X_OK))
                QSKIP("the temporary folder is out of other users' reach (TMPDIR below a private folder?)");
            QVERIFY(!Unprivileged::mayAccess(logPath, W_OK));
        }
        const CErrorlog log(logPath, u"tovrane"_s);

        // Scan: one scan folder is gone (a failure to log), the other is listed.
        QList<ClipRow> rows = scanFolders({ gone, clips }, { u"AVI"_s, false }, log);
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows.at(0), (ClipRow { true, u"a.avi"_s, clips, u"-"_s }));
        QCOMPARE(rows.at(1), (ClipRow { true, u"b.avi"_s, clips, u"-"_s }));
        QCOMPARE(rows.at(2), (ClipRow { true, u"c.avi"_s, clips + u"/sub"_s, u"-"_s }));

        // Per-clip build: a row whose folder is gone fails (logged), the rest are written.
        rows.insert(1, ClipRow { true, u"lost.avi"_s, gone, u"-"_s });
        BuildOptions options { Template, u"AVS"_s, false, false, {} };
        QList<int> marked;
        {
            const ErrorTrap step(log, u"frmTovrane"_s, u"Mode_1"_s);
            const int written = buildPerClip(rows, options, step, {}, [&](int row) { marked << row; });
            QCOMPARE(written, 3);
        }
        QCOMPARE(marked, (QList<int> { 0, 2, 3 }));
        QCOMPARE(readBytes(clips + u"/a.avs"_s), "# a\r\nDirectShowSource(\"" + clips.toLocal8Bit() + "/a.avi\")\r\n");
        QVERIFY(QFileInfo::exists(clips + u"/b.avs"_s));
        QVERIFY(QFileInfo::exists(clips + u"/sub/c.avs"_s));

        // Batch build: into a missing folder it fails (logged); into the script folder it works.
        QString batch;
        {
            const ErrorTrap step(log, u"frmTovrane"_s, u"Mode_0"_s);
            options.avsFolder = gone;
            QCOMPARE(buildBatch(rows, options, step), QString());
            options.avsFolder = scripts;
            batch = buildBatch(rows, options, step);
        }
        QCOMPARE(batch, scripts + u"/batch_file_0.avs"_s);
        const QByteArray batchText = readBytes(batch);
        QCOMPARE(batchText.count("DirectShowSource("), 4);
        QVERIFY(batchText.startsWith("# a\r\n"));
        QVERIFY(batchText.endsWith("/sub/c.avi\")\r\n"));

        asUser.reset();
        const QDateTime now = QDateTime::currentDateTime();
        const QByteArray logText = readBytes(log.logFilePath(now));
        switch (logFolder) {
        case LogFolder::Writable:
            QVERIFY(logText.contains("Source procedure\t: cmdScan_Click\r\n"));
            QVERIFY(logText.contains("Source procedure\t: Mode_1\r\n"));
            QVERIFY(logText.contains("Source procedure\t: Mode_0\r\n"));
            break;
        case LogFolder::Missing: QVERIFY(!QFileInfo::exists(logPath)); break;
        case LogFolder::IsAFile: QCOMPARE(QFileInfo(logPath).size(), 0); break;
        case LogFolder::ReadOnly:
            QVERIFY(QDir(logPath).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
            break;
        }
    }
};

QTEST_GUILESS_MAIN(TestLogFolderFaults)
#include "tst_logfolderfaults.moc"
