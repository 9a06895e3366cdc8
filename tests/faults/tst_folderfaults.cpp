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
#include <sys/stat.h>
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

// Straight through the system, so that bytes no text can hold reach the disk.
void makeFolder(const QByteArray &path)
{
    QVERIFY2(::mkdir(path.constData(), 0755) == 0, path.constData());
}

void makeFile(const QByteArray &path)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    QVERIFY2(fd >= 0, path.constData());
    ::close(fd);
}

QList<ClipRow> scanWith(const QStringList &folders, const QString &extensions, const CErrorlog &log)
{
    const ErrorTrap step(log, u"frmTovrane"_s, u"cmdScan_Click"_s), walkStep(log, u"frmTovrane"_s, u"ScanFolder"_s);
    return scanFolders(folders, { extensions, false }, step, walkStep);
}

QList<ClipRow> scanOf(const QStringList &folders, const QString &logFolder)
{
    return scanWith(folders, u"AVI"_s, CErrorlog(logFolder, u"tovrane"_s));
}

QByteArray logOf(const QString &logFolder)
{
    return readBytes(CErrorlog(logFolder, u"tovrane"_s).logFilePath(QDateTime::currentDateTime()));
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
        QList<ClipRow> rows = scanWith({ gone, clips }, u"AVI"_s, log);
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
            for (const ClipRow &row : scanWith({ root }, u"AVI|MKV"_s, log)) {
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

    // Two links to the next level at each of 16 levels: followed blindly,
    // 17 clips give 131,071 rows, and the window freezes while they pile up.
    // Each real folder is walked once per scan folder, by the first link in
    // walk order; a scan folder below another is still walked on its own.
    void linkFanOutIsWalkedOnce()
    {
        QTemporaryDir tree, store, logDir;
        const QString root = QDir(tree.path()).canonicalPath();
        constexpr int Levels = 16;
        const auto level = [&](int k) { return k == 0 ? root : store.path() + u"/%1"_s.arg(k); };
        for (int k = 0; k <= Levels; ++k)
            touch(level(k) + u"/%1.avi"_s.arg(k));
        for (int k = 0; k < Levels; ++k) {
            QVERIFY(QFile::link(level(k + 1), level(k) + u"/a"_s));
            QVERIFY(QFile::link(level(k + 1), level(k) + u"/b"_s));
        }

        QList<ClipRow> expected;
        for (int from : { 0, 1 }) {
            QString location = root;
            for (int k = 0; k < from; ++k)
                location += u"/a"_s;
            for (int k = from; k <= Levels; ++k, location += u"/a"_s)
                expected << ClipRow { true, u"%1.avi"_s.arg(k), location, u"-"_s };
        }
        QCOMPARE(scanOf({ root, root + u"/a"_s }, logDir.path()), expected);
        QCOMPARE(logOf(logDir.path()), QByteArray());
    }

    // Names from disks written under another encoding: listed decoded, two
    // clips would share a name, the marks would follow scripts that belong to
    // neither, and the build would write scripts for files that do not exist.
    // Such names are left out and logged once each, with their bytes shown.
    void undecodableNamesAreLeftOutAndLogged()
    {
        QTemporaryDir tree, logDir;
        const QString root = QDir(tree.path()).canonicalPath();
        const QByteArray top = QFile::encodeName(root);
        makeFile(top + "/caf\xE9.avi");
        makeFile(top + "/caf\xFF.avi");
        makeFile(top + "/caf\xE9.avs");
        makeFile(top + "/caf\xEF\xBF\xBD.avi"); // a real U+FFFD: a valid name
        makeFile(top + "/notes \xE9.txt"); // no clip: not worth a record
        makeFolder(top + "/\xE9t\xE9");
        makeFile(top + "/\xE9t\xE9/inner.avi");
        makeFile(top + "/\xE9t\xE9/\xE9.avi");
        touch(root + u"/only odd/deeper/seen.avi"_s);
        makeFile(top + "/only odd/\xE9.txt"); // still a file of its own: the walk goes below

        // Given twice, the folder is listed twice but its names logged once.
        const QList<ClipRow> once { { true, u"caf\uFFFD.avi"_s, root, u"-"_s },
            { true, u"seen.avi"_s, root + u"/only odd/deeper"_s, u"-"_s } };
        QCOMPARE(scanOf({ root, root }, logDir.path()), once + once);

        const QByteArray log = logOf(logDir.path());
        QCOMPARE(log.count("Source procedure\t: cmdScan_Click\r\nErr. Number     \t: 52\r\n"), 3);
        for (const char *name : { "caf\\xE9.avi", "caf\\xFF.avi", "\\xE9t\\xE9/" }) {
            const QByteArray line = "Err. Description\t: Bad file name or number: " + top + '/' + name + "\r\n";
            QVERIFY2(log.count(line) == 1, line.constData());
        }
    }
};

QTEST_GUILESS_MAIN(TestFolderFaults)
#include "tst_folderfaults.moc"
