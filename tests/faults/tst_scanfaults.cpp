#include "CErrorlog.h"
#include "ScanWalk.h"
#include "Unprivileged.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <optional>

using namespace Qt::StringLiterals;

namespace {

const QFileDevice::Permissions Everyone = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
    | QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther
    | QFileDevice::WriteOther | QFileDevice::ExeOther;

} // namespace

class TestScanFaults : public QObject
{
    Q_OBJECT

    std::optional<QTemporaryDir> m_tree;
    std::optional<QTemporaryDir> m_logDir;
    QString m_root;

    QString path(const QString &rel) const { return m_root + u'/' + rel; }
    void touch(const QString &rel) const
    {
        QVERIFY(QDir().mkpath(QFileInfo(path(rel)).path()));
        QFile f(path(rel));
        QVERIFY2(f.open(QIODevice::WriteOnly), qPrintable(rel));
    }
    void makeFolder(const QString &rel) const { QVERIFY(QDir().mkpath(path(rel))); }

    // "location below the root|file|mark|check" for every row, in list order.
    QStringList scan() const
    {
        const CErrorlog log(m_logDir->path(), u"tovrane"_s);
        QStringList out;
        for (const ClipRow &row : scanFolders({ m_root }, { u"AVI|MKV"_s, false }, log)) {
            const QString where = row.location == m_root ? u"."_s
                : row.location.startsWith(m_root + u'/') ? row.location.mid(m_root.size() + 1)
                                                         : row.location;
            out << u"%1|%2|%3|%4"_s.arg(where, row.file, row.avs, row.checked ? u"on"_s : u"off"_s);
        }
        return out;
    }
    QStringList logFiles() const { return QDir(m_logDir->path()).entryList(QDir::Files); }

private slots:
    void init()
    {
        m_tree.emplace();
        m_logDir.emplace();
        m_root = QDir(m_tree->path()).canonicalPath();
        // Open to everyone, so that a scan run as another user reaches them.
        QVERIFY(QFile::setPermissions(m_root, Everyone));
        QVERIFY(QFile::setPermissions(m_logDir->path(), Everyone));
    }

    // Names a user may well give, a link back up the tree and a very deep
    // branch: the scan ends, lists each clip once and logs nothing.
    void awkwardNamesLinkCycleAndDeepNesting()
    {
        touch(u"Übung (2) [final] 100%.avi"_s);
        touch(u"Übung (2) [final] 100%.avs"_s);
        touch(u"notes.txt"_s);
        touch(u"a b/clip one.MKV"_s);
        touch(u"a b/[x]%20y.avi"_s);
        touch(u"a b/日本語 ñ.avi"_s);
        touch(u"a b/%CLIP%.avi.txt"_s);
        QVERIFY(QFile::link(m_root, path(u"a b/back to top"_s)));
        QVERIFY(QFile::link(u"."_s, path(u"loop"_s)));

        // 500 folders nested; each holds a clip, or the descent would stop there.
        constexpr int Depth = 500;
        QString deep = u"deep"_s;
        for (int level = 1; level <= Depth; ++level) {
            touch(deep + u"/level %1.avi"_s.arg(level));
            deep += u"/d"_s;
        }

        const QStringList rows = scan();
        QStringList expected {
            u".|Übung (2) [final] 100%.avi|Y|off"_s,
            u"a b|[x]%20y.avi|-|on"_s,
            u"a b|clip one.MKV|-|on"_s,
            u"a b|日本語 ñ.avi|-|on"_s,
        };
        QString location = u"deep"_s;
        for (int level = 1; level <= Depth; ++level) {
            expected << u"%1|level %2.avi|-|on"_s.arg(location).arg(level);
            location += u"/d"_s;
        }
        QCOMPARE(rows.size(), expected.size());
        QCOMPARE(rows, expected);
        QCOMPARE(logFiles(), QStringList());
    }

    // A folder the user may not read is passed over, with everything below
    // it, without a log record; the folders after it are still scanned.
    void unreadableFoldersAreSkippedSilently()
    {
        touch(u"a.avi"_s);
        touch(u"locked/hidden.avi"_s);
        touch(u"locked/inner/deeper.avi"_s);
        touch(u"open/b.avi"_s);
        touch(u"open/locked too/c.avi"_s);
        touch(u"open/z after/d.avi"_s);
        touch(u"zz last/e.avi"_s);
        for (const QString &folder :
            { u"locked"_s, u"locked/inner"_s, u"open"_s, u"open/locked too"_s, u"open/z after"_s, u"zz last"_s })
            QVERIFY(QFile::setPermissions(path(folder), Everyone));
        // Enter but not read, and nothing at all: both keep their contents.
        QVERIFY(QFile::setPermissions(path(u"locked"_s), QFileDevice::ExeOwner | QFileDevice::ExeOther));
        QVERIFY(QFile::setPermissions(path(u"open/locked too"_s), {}));

        QStringList rows;
        {
            const Unprivileged asUser;
            if (!asUser.ok())
                QSKIP("running as root without the right to act as another user, so no folder is unreadable");
            if (!Unprivileged::mayAccess(path(u"open"_s), R_OK | X_OK))
                QSKIP("the temporary folder is out of other users' reach (TMPDIR below a private folder?)");
            QVERIFY(!Unprivileged::mayAccess(path(u"locked"_s), R_OK));
            rows = scan();
        }
        QVERIFY(QFile::setPermissions(path(u"locked"_s), Everyone));
        QVERIFY(QFile::setPermissions(path(u"open/locked too"_s), Everyone));

        QCOMPARE(rows,
            (QStringList {
                u".|a.avi|-|on"_s, u"open|b.avi|-|on"_s, u"open/z after|d.avi|-|on"_s, u"zz last|e.avi|-|on"_s }));
        QCOMPARE(logFiles(), QStringList());
    }

    void cleanup()
    {
        // Whatever a failed check left locked must not stop the clean-up.
        for (const QString &folder : { u"locked"_s, u"open/locked too"_s }) {
            if (QFileInfo::exists(path(folder)))
                QFile::setPermissions(path(folder), Everyone);
        }
        m_tree.reset();
        m_logDir.reset();
    }
};

QTEST_GUILESS_MAIN(TestScanFaults)
#include "tst_scanfaults.moc"
