#include "CErrorlog.h"
#include "ScriptRemoval.h"
#include "TestFiles.h"
#include "TestSystem.h"

#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

#include <stdexcept>

using namespace errorlog;

using namespace scan;

class TestScriptRemoval : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString path(const QString &name) const { return m_dir.filePath(name); }
    void make(const QStringList &names) const
    {
        for (const QString &n : names)
            QVERIFY2(put(path(n)), qPrintable(n));
    }
    QStringList left() const { return tree(m_dir.path()); }
    ClipRow clip(const QString &file, bool checked = true) const
    {
        return { checked, QFileInfo(file).fileName(), path(QFileInfo(file).path()), ScriptMark::Exists };
    }

private slots:
    void init()
    {
        QDir(m_dir.path()).removeRecursively();
        QDir().mkpath(m_dir.path());
    }

    // The extension is plain text, never a pattern, and only files directly
    // in the folder go, read-only ones too. Windows has no "*" or "?" in
    // names and drops a trailing dot; there those patterns match nothing.
    void removesOnlyDirectFilesWithThatExtension()
    {
        make({ "a.avi", "a.avs", "b.avs", ".hidden.avs", "c.AVS", "d.avsi", "e.avs.bak", "avs", "sub/x.avs",
            "f.avs/inner.avs", "c.[a]", "d.a", "noext" });
#ifndef Q_OS_WIN
        make({ "a.*", "b.?", "g." });
#endif
        QFile ro(path("b.avs"));
        QVERIFY(ro.setPermissions(QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        // An empty folder is no folder, not the current one.
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(m_dir.path()));
        QCOMPARE(removeScripts(QString(), "avs"), 0);
        QVERIFY(QDir::setCurrent(before));
        QCOMPARE(removeScripts(path("missing"), "avs"), 0);

        QStringList keep
            = { "a.avi", "avs", "d.avsi", "e.avs.bak", "f.avs", "f.avs/inner.avs", "sub", "sub/x.avs", "d.a", "noext" };
#ifdef Q_OS_WIN
        QCOMPARE(removeScripts(CErrorlog::Bracket(m_dir.path()), "avs"), 4);
        const int patternNames = 0;
#else
        QCOMPARE(removeScripts(CErrorlog::Bracket(m_dir.path()), "avs"), 3);
        keep << "c.AVS"
             << "g.";
        const int patternNames = 1;
#endif
        QCOMPARE(removeScripts(m_dir.path(), "*"), patternNames);
        QCOMPARE(removeScripts(m_dir.path(), "?"), patternNames);
        QCOMPARE(removeScripts(m_dir.path(), "[a]"), 1);
        QCOMPARE(removeScripts(m_dir.path(), QString()), 0);
        keep.sort();
        QCOMPARE(left(), keep);
        // A second checked clip of the same folder finds nothing left.
        QCOMPARE(removeScripts(m_dir.path(), "avs"), 0);
    }

    // Each checked clip's folder is cleared once, at its first clip: a script
    // that turns up after that (here made by the first mark) stays.
    void checkedFoldersAreClearedOnceAndTheirClipsMarked()
    {
        make({ "x/a.avi", "x/a.avs", "x/b.avi", "x/b.avs", "x/stray.avs", "x/u.avi", "x/u.avs", "y/c.avi", "y/c.avs" });
        const QList<ClipRow> rows { clip("x/a.avi"), clip("x/u.avi", false), clip("x/b.avi"), clip("y/c.avi", false) };
        QList<int> marked;
        removeCheckedScripts(rows, "avs", [&](int row) {
            if (marked.isEmpty())
                make({ "x/late.avs" });
            marked << row;
        });
        // An unchecked clip loses its script with its folder's but keeps its
        // mark; an unchecked clip's folder keeps its scripts.
        QCOMPARE(marked, (QList<int> { 0, 2 }));
        QCOMPARE(
            left(), QStringList({ "x", "x/a.avi", "x/b.avi", "x/late.avs", "x/u.avi", "y", "y/c.avi", "y/c.avs" }));
    }

    // A script that could not be deleted, a clip without a name for its
    // script and a mark that fails stop neither the removal nor the rows after.
    void marksOnlyWhatIsGone()
    {
        make({ "locked/a.avi", "locked/a.avs", "d/AVI", "d/AVI.avs", "e/e.avi", "f/f.avi" });
        // Open to another user, but for the locked folder.
        const auto restore = qScopeGuard([&] { setMode(path("locked"), 0777); });
        QVERIFY(setMode(m_dir.path(), 0777) && setMode(path("d"), 0777) && setMode(path("locked"), 0555));
        const QList<ClipRow> rows { clip("locked/a.avi"), clip("d/AVI"), clip("e/e.avi"), clip("f/f.avi") };
        QList<int> marked;
        SKIP_IF_MISSING(Unprivileged::missing());
        {
            const Unprivileged asUser;
            if (!asUser.ok() || Unprivileged::mayAccess(path("locked"), Unprivileged::MayWrite))
                QSKIP("cannot act as a user whom a locked folder stops");
            if (!Unprivileged::mayAccess(path("d"), Unprivileged::MayWrite | Unprivileged::MayEnter))
                QSKIP("the temporary folder is out of other users' reach (TMPDIR below a private folder?)");
            removeCheckedScripts(rows, "avs", [&](int row) {
                marked << row;
                if (row == 2)
                    throw std::runtime_error("the list is gone");
            });
        }
        QCOMPARE(marked, (QList<int> { 2, 3 }));
        QVERIFY(QFile::exists(path("locked/a.avs")));
        QVERIFY(!QFile::exists(path("d/AVI.avs")));
    }
};

QTEST_GUILESS_MAIN(TestScriptRemoval)
#include "tst_scriptremoval.moc"
