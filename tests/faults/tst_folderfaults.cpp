#include "CErrorlog.h"
#include "ErrorTrap.h"
#include "ScanWalk.h"
#include "ScriptBuild.h"
#include "TestFiles.h"
#include "TestSystem.h"

#include <QDirIterator>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace scriptgen;

using namespace errorlog;

using namespace scan;

using namespace Qt::StringLiterals;

namespace {

QList<ClipRow> scanOf(const QStringList &folders, const QString &logFolder)
{
    const CErrorlog log(logFolder, u"tovrane"_s);
    const ErrorTrap step(log, u"frmTovrane"_s, u"cmdScan_Click"_s), walkStep(log, u"frmTovrane"_s, u"ScanFolder"_s);
    return scanFolders(folders, { u"AVI"_s, false }, step, walkStep);
}

ClipRow clip(const QString &file, const QString &location, bool checked = true)
{
    return ClipRow { checked, file, location, ScriptMark::None };
}

} // namespace

class TestFolderFaults : public QObject
{
    Q_OBJECT

private slots:
    // The error log is where failures go; when its folder is missing, the scan
    // and both builds must still do all they can, and nothing may escape. With
    // the folder there, each failing step is logged on its own.
    void scanAndBuildsCompleteWhateverTheLog()
    {
        for (const bool logFolder : { true, false }) {
            QTemporaryDir work;
            const QString clips = work.filePath(u"clips"_s), gone = work.filePath(u"gone"_s);
            const QString logPath = work.filePath(u"log"_s);
            QVERIFY(put(clips + u"/a.avi"_s) && put(clips + u"/sub/b.avi"_s));
            QVERIFY(!logFolder || QDir().mkpath(logPath));
            const CErrorlog log(logPath, u"tovrane"_s);

            // Each of the three meets a folder that is gone.
            QList<ClipRow> rows = scanOf({ gone, clips }, logPath);
            QCOMPARE(rows, (QList<ClipRow> { clip(u"a.avi"_s, clips), clip(u"b.avi"_s, clips + u"/sub"_s) }));
            rows = QList<ClipRow> { clip(u"lost.avi"_s, gone), clip(u"skip.avi"_s, gone, false) } + rows;
            const BuildOptions options { u"Src(\"%PATH%/%CLIP%.%EXT%\")\r\n"_s, u"AVS"_s, OverwritePolicy::Always,
                ScriptFolder::ClipFolder, gone };
            const ErrorTrap perClip(log, u"frmTovrane"_s, u"Mode_1"_s), inBatch(log, u"frmTovrane"_s, u"Mode_0"_s);
            QList<int> marked;
            QCOMPARE(buildPerClip(rows, options, perClip, {}, [&](int r) { marked << r; }), 2);
            QCOMPARE(marked, (QList<int> { 2, 3 })); // no script, no mark
            QVERIFY(QFileInfo::exists(clips + u"/a.avs"_s) && QFileInfo::exists(clips + u"/sub/b.avs"_s));
            QCOMPARE(buildBatch(rows, options, inBatch), QString());
            QVERIFY(!QFileInfo::exists(gone));
            QCOMPARE(QFileInfo::exists(logPath), logFolder);
            // The batch file cannot be made; then each of three writes and the close fail.
            const QStringList logged { u"cmdScan_Click 76"_s, u"Mode_1 76"_s, u"Mode_0 76"_s, u"Mode_0 52"_s,
                u"Mode_0 52"_s, u"Mode_0 52"_s, u"Mode_0 52"_s };
            QCOMPARE(logRecords(logPath), logFolder ? logged : QStringList());
        }
    }

    // A folder the user may not read is passed over with all below it, and
    // nothing is logged; a branch 500 folders deep is walked to its end.
    void unreadableAndDeepFolders()
    {
        QTemporaryDir tree, logDir;
        const QString root = QDir(tree.path()).canonicalPath(), locked = root + u"/locked"_s;
        QList<ClipRow> expected;
        QString deep = root;
        // Each level holds a clip, or the descent would stop there.
        for (int level = 0; level <= 500; ++level, deep += u"/d"_s) {
            QVERIFY(put(deep + u"/%1.avi"_s.arg(level)));
            expected << clip(u"%1.avi"_s.arg(level), deep);
        }
        QVERIFY(put(locked + u"/hidden.avi"_s));
        // Open to everyone, so that a scan run as another user reaches them;
        // then one folder that may be entered but not read.
        QDirIterator all(root, QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
        while (all.hasNext())
            QVERIFY(setMode(all.next(), 0777));
        QVERIFY(setMode(root, 0777) && setMode(logDir.path(), 0777) && setMode(locked, 0111));
        const auto unlock = qScopeGuard([&] { setMode(locked, 0777); });

        const Unprivileged asUser;
        if (!asUser.ok())
            QSKIP("running as root without the right to act as another user, so no folder is unreadable");
        if (!Unprivileged::mayAccess(root + u"/d"_s, R_OK | X_OK))
            QSKIP("the temporary folder is out of other users' reach (TMPDIR below a private folder?)");
        QVERIFY(!Unprivileged::mayAccess(locked, R_OK));
        QCOMPARE(scanOf({ root }, logDir.path()), expected);
        QCOMPARE(QDir(logDir.path()).entryList(QDir::Files), QStringList());
    }

    // Two links to the next level at each of 16 levels: followed blindly,
    // 17 clips give 131,071 rows, and the window freezes while they pile up.
    // Each real folder is walked once, by the first way the walk meets it,
    // links back up or to itself included. A link to a clip is a clip.
    void linksWalkEachFolderOnce()
    {
        QTemporaryDir tree, store, logDir;
        const QString root = QDir(tree.path()).canonicalPath();
        constexpr int Levels = 16;
        const auto level = [&](int k) { return k == 0 ? root : store.path() + u"/%1"_s.arg(k); };
        for (int k = 0; k <= Levels; ++k)
            QVERIFY(put(level(k) + u"/%1.avi"_s.arg(k)));
        for (int k = 0; k < Levels; ++k)
            QVERIFY(QFile::link(level(k + 1), level(k) + u"/a"_s) && QFile::link(level(k + 1), level(k) + u"/b"_s));
        QVERIFY(QFile::link(root, level(Levels) + u"/up"_s) && QFile::link(level(Levels), level(Levels) + u"/me"_s));
        // "m" sorts before the folder it points to, which is then not walked again.
        QVERIFY(put(root + u"/z/z.avi"_s) && QFile::link(root + u"/z"_s, root + u"/m"_s));
        QVERIFY(QFile::link(root + u"/0.avi"_s, root + u"/l.avi"_s));
        QVERIFY(QFile::link(root + u"/none.avi"_s, root + u"/dead.avi"_s));

        QList<ClipRow> expected { clip(u"0.avi"_s, root), clip(u"l.avi"_s, root) };
        QString location = root;
        for (int k = 1; k <= Levels; ++k)
            expected << clip(u"%1.avi"_s.arg(k), location += u"/a"_s);
        expected << clip(u"z.avi"_s, root + u"/m"_s);
        QCOMPARE(scanOf({ root }, logDir.path()), expected);
        QCOMPARE(logRecords(logDir.path()), QStringList());
    }

    // A file under the hidden name of a file being written (what a killed
    // build can leave) is never a clip, even with its extension on the list,
    // nor a script, nor a file that keeps the walk going below its folder.
    void temporaryFilesCountForNothing()
    {
        QTemporaryDir tree, logDir;
        const QString root = QDir(tree.path()).canonicalPath();
        QVERIFY(put(root + u"/a.avi"_s) && put(root + u"/.tovrane-0badf00d.tmp"_s));
        QVERIFY(put(root + u"/only/.tovrane-12345678.tmp"_s) && put(root + u"/only/below/hidden.avi"_s));
        const CErrorlog log(logDir.path(), u"tovrane"_s);
        const ErrorTrap step(log, u"frmTovrane"_s, u"cmdScan_Click"_s), walkStep(log, u"frmTovrane"_s, u"ScanFolder"_s);
        QCOMPARE(
            scanFolders({ root }, { u"AVI|TMP"_s, false }, step, walkStep), QList<ClipRow> { clip(u"a.avi"_s, root) });
        QCOMPARE(logRecords(logDir.path()), QStringList());
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
        // Straight through the system, so that bytes no text can hold reach the disk.
        const auto make = [&](const QByteArray &name) {
            const int fd = ::open((top + name).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
            QVERIFY2(fd >= 0 && ::close(fd) == 0, name.constData());
        };
        make("/caf\xE9.avi");
        make("/caf\xFF.avi");
        make("/caf\xE9.avs");
        make("/caf\xEF\xBF\xBD.avi"); // a real U+FFFD: a valid name
        make("/notes \xE9.txt"); // no clip: not worth a record
        QCOMPARE(::mkdir((top + "/\xE9t\xE9").constData(), 0755), 0);
        make("/\xE9t\xE9/inner.avi");
        QVERIFY(put(root + u"/only odd/deeper/seen.avi"_s));
        make("/only odd/\xE9.txt"); // still a file of its own: the walk goes below

        // Given twice, the folder is listed twice but its names logged once.
        const QList<ClipRow> once { clip(u"caf\uFFFD.avi"_s, root), clip(u"seen.avi"_s, root + u"/only odd/deeper"_s) };
        QCOMPARE(scanOf({ root, root }, logDir.path()), once + once);

        QCOMPARE(logRecords(logDir.path()), QStringList(3, u"cmdScan_Click 52"_s));
        for (const char *name : { "caf\\xE9.avi", "caf\\xFF.avi", "\\xE9t\\xE9/" }) {
            const QByteArray line = "Err. Description\t: Bad file name or number: " + top + '/' + name + "\r\n";
            QVERIFY2(logText(logDir.path()).count(line) == 1, line.constData());
        }
    }
};

QTEST_GUILESS_MAIN(TestFolderFaults)
#include "tst_folderfaults.moc"