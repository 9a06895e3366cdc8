#include "CErrorlog.h"
#include "ErrorTrap.h"
#include "ScanWalk.h"
#include "ScriptBuild.h"
#include "Unprivileged.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

#include <optional>

#include <fcntl.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

enum class LogFolder { Writable, Missing, ReadOnly };

const QFileDevice::Permissions ReadAndEnter = QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadGroup
    | QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::ExeOther;
const QFileDevice::Permissions Everyone
    = ReadAndEnter | QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;

QByteArray readBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void touch(const QString &path)
{
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    QVERIFY2(QFile(path).open(QIODevice::WriteOnly), qPrintable(path));
}

} // namespace

Q_DECLARE_METATYPE(LogFolder)

class TestFolderFaults : public QObject
{
    Q_OBJECT

private slots:
    void scanAndBuildsCompleteWhateverTheLog_data()
    {
        QTest::addColumn<LogFolder>("logFolder");
        // The writable row shows that the work below really has failures to log.
        QTest::newRow("writable") << LogFolder::Writable;
        QTest::newRow("missing") << LogFolder::Missing;
        QTest::newRow("read-only") << LogFolder::ReadOnly;
    }

    // The error log is where failures go; when it cannot be written, the scan
    // and both builds must still do all they can, and nothing may escape.
    void scanAndBuildsCompleteWhateverTheLog()
    {
        QFETCH(LogFolder, logFolder);
        QTemporaryDir work;
        const QString root = work.path(), clips = root + u"/clips"_s, gone = root + u"/gone"_s;
        const QString logPath = root + u"/log"_s;
        touch(clips + u"/a.avi"_s);
        touch(clips + u"/sub/b.avi"_s);
        for (const QString &folder : { root, clips, clips + u"/sub"_s })
            QVERIFY(QFile::setPermissions(folder, Everyone));
        if (logFolder != LogFolder::Missing) {
            QVERIFY(QDir().mkpath(logPath));
            QVERIFY(QFile::setPermissions(logPath, logFolder == LogFolder::ReadOnly ? ReadAndEnter : Everyone));
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

        // Each of the three meets a folder that is gone, a failure to log.
        QList<ClipRow> rows = scanFolders({ gone, clips }, { u"AVI"_s, false }, log);
        QCOMPARE(rows,
            (QList<ClipRow> { { true, u"a.avi"_s, clips, u"-"_s }, { true, u"b.avi"_s, clips + u"/sub"_s, u"-"_s } }));
        rows.prepend(ClipRow { true, u"lost.avi"_s, gone, u"-"_s });
        BuildOptions options { u"Src(\"%PATH%/%CLIP%.%EXT%\")\r\n"_s, u"AVS"_s, false, false, {} };
        int written = 0;
        QString intoGone, batch;
        {
            const ErrorTrap perClip(log, u"frmTovrane"_s, u"Mode_1"_s);
            written = buildPerClip(rows, options, perClip, {}, {});
            const ErrorTrap inBatch(log, u"frmTovrane"_s, u"Mode_0"_s);
            options.avsFolder = gone;
            intoGone = buildBatch(rows, options, inBatch);
            options.avsFolder = clips;
            batch = buildBatch(rows, options, inBatch);
        }
        asUser.reset();

        QCOMPARE(written, 2);
        QVERIFY(QFileInfo::exists(clips + u"/a.avs"_s) && QFileInfo::exists(clips + u"/sub/b.avs"_s));
        QCOMPARE(intoGone, QString());
        QCOMPARE(batch, clips + u"/batch_file_0.avs"_s);
        QCOMPARE(readBytes(batch).count("Src("), 3);

        const QByteArray logText = readBytes(log.logFilePath(QDateTime::currentDateTime()));
        if (logFolder == LogFolder::Writable) {
            for (const QByteArray procedure : { "cmdScan_Click", "Mode_1", "Mode_0" })
                QVERIFY2(logText.contains("Source procedure\t: " + procedure + "\r\n"), procedure.constData());
        } else {
            QCOMPARE(QDir(logPath).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
            QCOMPARE(QFileInfo::exists(logPath), logFolder == LogFolder::ReadOnly);
        }
    }

    // Names a user may well give, folders the user may not read, a link back
    // up the tree and a very deep branch: the scan ends, lists each clip once,
    // passes over the unreadable folders (and all below them) and logs nothing.
    void hostileTreeIsScannedWhole()
    {
        QTemporaryDir tree;
        QTemporaryDir logDir;
        const QString root = QDir(tree.path()).canonicalPath();
        const QString locked = root + u"/locked"_s, lockedToo = root + u"/a b/locked too"_s;
        for (const QString &name :
            { u"Übung (2) [final] 100%.avi"_s, u"Übung (2) [final] 100%.avs"_s, u"notes.txt"_s, u"a b/clip one.MKV"_s,
                u"a b/[x]%20y.avi"_s, u"a b/日本語 ñ.avi"_s, u"a b/%CLIP%.avi.txt"_s, u"a b/locked too/hidden.avi"_s,
                u"a b/z after/d.avi"_s, u"locked/hidden.avi"_s, u"locked/inner/deeper.avi"_s, u"zz last/e.avi"_s })
            touch(root + u'/' + name);
        QVERIFY(QFile::link(root, root + u"/a b/back to top"_s));
        // 500 folders nested; each holds a clip, or the descent would stop there.
        constexpr int Depth = 500;
        QString deep = u"deep"_s;
        for (int level = 1; level <= Depth; ++level, deep += u"/d"_s)
            touch(root + u'/' + deep + u"/level %1.avi"_s.arg(level));

        // Open to everyone, so that a scan run as another user reaches them;
        // then one folder that may be entered but not read, one not even entered.
        QVERIFY(QFile::setPermissions(root, Everyone));
        QVERIFY(QFile::setPermissions(logDir.path(), Everyone));
        QDirIterator all(root, QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks, QDirIterator::Subdirectories);
        while (all.hasNext())
            QVERIFY(QFile::setPermissions(all.next(), Everyone));
        const auto unlock = qScopeGuard([&] {
            QFile::setPermissions(locked, Everyone);
            QFile::setPermissions(lockedToo, Everyone);
        });
        QVERIFY(QFile::setPermissions(locked, QFileDevice::ExeOwner | QFileDevice::ExeOther));
        QVERIFY(QFile::setPermissions(lockedToo, {}));

        QStringList rows;
        {
            const Unprivileged asUser;
            if (!asUser.ok())
                QSKIP("running as root without the right to act as another user, so no folder is unreadable");
            if (!Unprivileged::mayAccess(root + u"/a b"_s, R_OK | X_OK))
                QSKIP("the temporary folder is out of other users' reach (TMPDIR below a private folder?)");
            QVERIFY(!Unprivileged::mayAccess(locked, R_OK));
            const CErrorlog log(logDir.path(), u"tovrane"_s);
            // "location below the root|file|mark|check", in list order.
            for (const ClipRow &row : scanFolders({ root }, { u"AVI|MKV"_s, false }, log)) {
                const QString where = row.location == root ? u"."_s : row.location.mid(root.size() + 1);
                rows << u"%1|%2|%3|%4"_s.arg(where, row.file, row.avs, row.checked ? u"on"_s : u"off"_s);
            }
        }

        QStringList expected { u".|Übung (2) [final] 100%.avi|Y|off"_s, u"a b|[x]%20y.avi|-|on"_s,
            u"a b|clip one.MKV|-|on"_s, u"a b|日本語 ñ.avi|-|on"_s, u"a b/z after|d.avi|-|on"_s };
        deep = u"deep"_s;
        for (int level = 1; level <= Depth; ++level, deep += u"/d"_s)
            expected << u"%1|level %2.avi|-|on"_s.arg(deep).arg(level);
        expected << u"zz last|e.avi|-|on"_s;
        QCOMPARE(rows.size(), expected.size());
        QCOMPARE(rows, expected);
        QCOMPARE(QDir(logDir.path()).entryList(QDir::Files), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestFolderFaults)
#include "tst_folderfaults.moc"
