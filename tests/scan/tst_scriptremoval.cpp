#include "CErrorlog.h"
#include "ScriptRemoval.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TestScriptRemoval : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString path(const QString &name) const { return m_dir.filePath(name); }
    void make(const QStringList &names) const
    {
        for (const QString &n : names) {
            QDir().mkpath(QFileInfo(path(n)).path());
            QFile f(path(n));
            QVERIFY2(f.open(QIODevice::WriteOnly), qPrintable(n));
        }
    }
    QStringList left() const
    {
        QStringList all;
        QDirIterator it(
            m_dir.path(), QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
        while (it.hasNext())
            all << it.next().mid(m_dir.path().size() + 1);
        all.sort();
        return all;
    }

private slots:
    void init()
    {
        QDir(m_dir.path()).removeRecursively();
        QDir().mkpath(m_dir.path());
    }

    void removesOnlyDirectFilesWithThatExtension()
    {
        make({ "a.avi", "a.avs", "b.avs", ".hidden.avs", "c.AVS", "d.avsi", "e.avs.bak", "avs", "sub/x.avs",
            "f.avs/inner.avs" });
        QFile ro(path("b.avs"));
        QVERIFY(ro.setPermissions(QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));

        QStringList keep = { "a.avi", "avs", "d.avsi", "e.avs.bak", "f.avs", "f.avs/inner.avs", "sub", "sub/x.avs" };
#ifdef Q_OS_WIN
        QCOMPARE(removeScripts(CErrorlog::Bracket(m_dir.path()), "avs"), 4);
#else
        QCOMPARE(removeScripts(CErrorlog::Bracket(m_dir.path()), "avs"), 3);
        keep << "c.AVS";
#endif
        keep.sort();
        QCOMPARE(left(), keep);
        // A second checked clip of the same folder finds nothing left.
        QCOMPARE(removeScripts(m_dir.path(), "avs"), 0);
    }

    void extensionIsTextNotAPattern()
    {
        make({ "a.*", "b.?", "c.[a]", "d.a", "e.avs", "noext", "f." });
        QCOMPARE(removeScripts(m_dir.path(), "*"), 1);
        QCOMPARE(removeScripts(m_dir.path(), "?"), 1);
        QCOMPARE(removeScripts(m_dir.path(), "[a]"), 1);
        QCOMPARE(removeScripts(m_dir.path(), QString()), 0);
        QCOMPARE(left(), QStringList({ "d.a", "e.avs", "f.", "noext" }));
    }

    void failuresAreCountedNotThrown()
    {
        QCOMPARE(removeScripts(path("missing"), "avs"), 0);
        // An empty folder is no folder, not the current one.
        QCOMPARE(removeScripts(QString(), "avs"), 0);

        make({ "locked/a.avs" });
        const QString locked = path("locked");
        QVERIFY(QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner));
        const int removed = removeScripts(locked, "avs");
        const bool exists = QFile::exists(locked + "/a.avs");
        QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        if (removed == 1)
            QSKIP("Permissions do not stop this user (root) from deleting in the folder");
        QCOMPARE(removed, 0);
        QVERIFY(exists);
    }
};

QTEST_GUILESS_MAIN(TestScriptRemoval)
#include "tst_scriptremoval.moc"
