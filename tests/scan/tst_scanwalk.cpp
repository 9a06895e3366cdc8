#include "CErrorlog.h"
#include "ErrorTrap.h"
#include "ScanWalk.h"
#include "TestFiles.h"

#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace errorlog;

using namespace scan;

using namespace Qt::StringLiterals;

class TestScanWalk : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_tree, m_logDir;
    QString m_root;

    QString path(const QString &rel) const { return m_root + u'/' + rel; }

    // Each row as "location below the root/file mark check", in list order,
    // the location with "/" whatever the system's separator.
    QStringList scan(
        const QStringList &folders, const QString &extensions = u"AVI|MPG|MPEG"_s, bool onlyWithoutScript = false) const
    {
        const CErrorlog log(m_logDir->path(), u"tovrane"_s);
        const ErrorTrap step(log, u"frmTovrane"_s, u"cmdScan_Click"_s), walkStep(log, u"frmTovrane"_s, u"ScanFolder"_s);
        QStringList out;
        for (const ClipRow &row : scanFolders(folders, { extensions, onlyWithoutScript }, step, walkStep))
            out << u"%1/%2 %3 %4"_s.arg(QDir::fromNativeSeparators(row.location.mid(m_root.size())), row.file,
                markText(row.avs), row.checked ? u"on"_s : u"off"_s);
        return out;
    }

private slots:
    void init()
    {
        m_tree = std::make_unique<QTemporaryDir>();
        m_logDir = std::make_unique<QTemporaryDir>();
        m_root = QDir(m_tree->path()).canonicalPath();
    }

    void matchesOrdersAndMarks()
    {
        for (const QString &name : { u"b.avi"_s, u"A.avi"_s, u"a.avi"_s, u"notes.txt"_s, u"Übung [2] 100%.mpeg"_s,
                 u"Übung [2] 100%.avs"_s, u"Übung [2] 100%.avi"_s, u"trip.avi"_s, u"trip.avsi"_s, u"Case.avi"_s,
                 u"Case.AVS"_s, u"AVI"_s, u"AVI.avs"_s, u"clip."_s, u"clip.avs"_s, u"MPG."_s, u"x.av"_s, u"y.straße"_s,
                 u"z.ävi"_s, u"sub1/x.mpg"_s, u"Sub0/y.MPG"_s, u"Sub0/z.avs/inner.txt"_s, u"Sub0/z.avi"_s,
                 u"empty/deeper/hidden.avi"_s, u"dead.avi"_s, u"tofolder.avi"_s, u"pipe.avi"_s })
            QVERIFY2(put(path(name)), qPrintable(name));
        QVERIFY(QDir().mkpath(path(u"empty.avi"_s)));
        // Any link under the script's name is a script, a broken one too: the
        // builds replace it. A FIFO is neither script nor clip.
        SKIP_IF_MISSING(linksMissing());
        QVERIFY(makeLink(path(u"nowhere"_s), path(u"dead.avs"_s)));
        QVERIFY(makeLink(path(u"Sub0"_s), path(u"tofolder.avs"_s)));
        SKIP_IF_MISSING(fifosMissing());
        QVERIFY(makeFifo(path(u"pipe.avs"_s), 0644));
        QVERIFY(makeFifo(path(u"fifo.avi"_s), 0644));

        // Case-insensitive order, ties broken by case so that it is repeatable. A folder
        // named like a script is no script; "Case.AVS" is another name here. A folder
        // without files of its own ("empty") ends the descent.
        QStringList all = { u"/A.avi - on"_s, u"/a.avi - on"_s, u"/AVI Y off"_s, u"/b.avi - on"_s, u"/Case.avi - on"_s,
            u"/dead.avi Y off"_s, u"/pipe.avi - on"_s, u"/tofolder.avi Y off"_s, u"/trip.avi - on"_s,
            u"/Übung [2] 100%.avi Y off"_s, u"/Übung [2] 100%.mpeg Y off"_s, u"/Sub0/y.MPG - on"_s,
            u"/Sub0/z.avi - on"_s, u"/sub1/x.mpg - on"_s };
        QCOMPARE(scan({ m_root }), all);
        all.removeIf([](const QString &r) { return r.endsWith(u" Y off"_s); });
        QCOMPARE(scan({ m_root }, u"AVI|MPG|MPEG"_s, true), all);

        QCOMPARE(scan({ m_root }, u"avi|mpg|mpeg"_s), QStringList());
        // Names ending in "." match the empty entry; an empty list has no entry at all.
        QCOMPARE(scan({ m_root }, u"|X"_s), QStringList({ u"/clip. Y off"_s, u"/MPG. - on"_s }));
        QCOMPARE(scan({ m_root }, QString()), QStringList());
        // One unit in, one unit out: "ß" has no one-letter capital and never becomes "SS".
        QCOMPARE(scan({ m_root }, u"ÄVI|STRAßE"_s), QStringList({ u"/y.straße - on"_s, u"/z.ävi - on"_s }));
        QCOMPARE(scan({ m_root }, u"STRASSE"_s), QStringList());
        QCOMPARE(logRecords(m_logDir->path()), QStringList());
    }

    // Each scan folder is walked on its own, however it is spelled; one that
    // is missing or no folder is logged and skipped.
    void scanFolderList()
    {
        QVERIFY(put(path(u"a.avi"_s)) && put(path(u"sub/b.avi"_s)));
        const QString missing = path(u"gone"_s);
        QCOMPARE(scan({ m_root, missing, path(u"a.avi"_s), m_root + u'/', path(u"sub"_s) }),
            QStringList({ u"/a.avi - on"_s, u"/sub/b.avi - on"_s, u"/a.avi - on"_s, u"/sub/b.avi - on"_s,
                u"/sub/b.avi - on"_s }));
        QCOMPARE(logRecords(m_logDir->path()), QStringList(2, u"cmdScan_Click 76"_s));
        const QString described
            = u"Err. Description\t: Path not found: "_s + QDir::toNativeSeparators(missing) + u"\r\n"_s;
        QVERIFY(logText(m_logDir->path()).contains(described.toLocal8Bit()));
    }
};

QTEST_GUILESS_MAIN(TestScanWalk)
#include "tst_scanwalk.moc"