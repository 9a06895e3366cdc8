// The folder walk on Windows: names in UTF-16, hidden files being written,
// junctions and symbolic links as links.

#include "CErrorlog.h"
#include "ErrorTrap.h"
#include "Links_windows.h"
#include "ScanWalk.h"
#include "TestFiles.h"

#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace errorlog;
using namespace scan;

using namespace Qt::StringLiterals;

class TestScanWalkWindows : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_tree, m_logDir;
    QString m_root;

    QString path(const QString &rel) const { return m_root + u'/' + rel; }

    // Each row as "location below the root/file mark", in list order.
    QStringList scan(const QString &folder) const
    {
        const CErrorlog log(m_logDir->path(), u"tovrane"_s);
        const ErrorTrap step(log, u"frmTovrane"_s, u"cmdScan_Click"_s), walkStep(log, u"frmTovrane"_s, u"ScanFolder"_s);
        QStringList out;
        for (const ClipRow &row : scanFolders({ folder }, { u"AVI|MPG"_s, false }, step, walkStep))
            out << u"%1\\%2 %3"_s.arg(
                row.location.mid(QDir::toNativeSeparators(m_root).size()), row.file, markText(row.avs));
        return out;
    }

private slots:
    void init()
    {
        m_tree = std::make_unique<QTemporaryDir>();
        m_logDir = std::make_unique<QTemporaryDir>();
        m_root = QDir(m_tree->path()).canonicalPath();
    }

    // Every entry of a large folder is listed, the first one included; names
    // no 8-bit code page holds are clips and scripts like any other, with "\"
    // in the location. A hidden file being written is neither, and a folder
    // holding nothing else ends the descent.
    void listsEveryNameAndSkipsFilesBeingWritten()
    {
        const QString arabic = u"\u0645\u0642\u0637\u0639"_s, emoji = u"\U0001F3AC"_s;
        QStringList names { u"aaa.avi"_s, arabic + u".avi"_s, arabic + u".avs"_s, emoji + u" \u65e5.mpg"_s,
            u"sub \u0915/x.avi"_s, u"busy/.tovrane-0000abcd.tmp"_s, u"busy/deeper/lost.avi"_s,
            u".tovrane-00000001.tmp"_s };
        for (int i = 0; i < 600; ++i)
            names << u"many/clip%1.avi"_s.arg(i, 4, 10, QLatin1Char('0'));
        for (const QString &name : std::as_const(names))
            QVERIFY2(put(path(name)), qPrintable(name));

        const QStringList rows = scan(m_root);
        QCOMPARE(rows.size(), 4 + 600);
        QCOMPARE(rows.mid(0, 4),
            (QStringList { u"\\aaa.avi -"_s, u"\\"_s + arabic + u".avi Y"_s, u"\\"_s + emoji + u" \u65e5.mpg -"_s,
                u"\\many\\clip0000.avi -"_s }));
        QCOMPARE(rows.last(), u"\\sub \u0915\\x.avi -"_s);
        QCOMPARE(logRecords(m_logDir->path()), QStringList());
    }

    // A junction or a symbolic link under a script's name marks the script
    // as there, a broken one too; a folder reached through several links,
    // or through a link back up, is walked once.
    void junctionsAndLinksAreLinks()
    {
        QVERIFY(put(path(u"a.avi"_s)) && put(path(u"b.avi"_s)) && put(path(u"sub/c.avi"_s)));
        if (!makeJunction(path(u"a.avs"_s), path(u"sub"_s)))
            QSKIP("the system refuses junctions here");
        QVERIFY(makeJunction(path(u"sub/up"_s), m_root));
        QCOMPARE(scan(m_root), (QStringList { u"\\a.avi Y"_s, u"\\b.avi -"_s, u"\\a.avs\\c.avi -"_s }));
        if (!makeSymbolicLink(path(u"b.avs"_s), path(u"nowhere"_s)))
            QSKIP("the system refuses symbolic links here");
        QCOMPARE(scan(m_root), (QStringList { u"\\a.avi Y"_s, u"\\b.avi Y"_s, u"\\a.avs\\c.avi -"_s }));
    }
};

QTEST_GUILESS_MAIN(TestScanWalkWindows)
#include "tst_scanwalk_windows.moc"
