// The folder walk on Windows: names in UTF-16 that the ANSI code page must
// hold, hidden files being written, junctions and symbolic links as links.

#include "CErrorlog.h"
#include "ErrorTrap.h"
#include "Links_windows.h"
#include "ScanWalk.h"
#include "TestFiles.h"
#include "TextEncoding.h"

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

    // Every entry of a large folder is listed, the first one included, with
    // "\" in the location. A hidden file being written is neither clip nor
    // script, and a folder holding nothing else ends the descent.
    void listsEveryEntryAndSkipsFilesBeingWritten()
    {
        QStringList names { u"aaa.avi"_s, u"caf\u00e9.avi"_s, u"caf\u00e9.avs"_s, u"sub \u00fc/x.mpg"_s,
            u"busy/.tovrane-0000abcd.tmp"_s, u"busy/deeper/lost.avi"_s, u".tovrane-00000001.tmp"_s };
        for (int i = 0; i < 600; ++i)
            names << u"many/clip%1.avi"_s.arg(i, 4, 10, QLatin1Char('0'));
        for (const QString &name : std::as_const(names))
            QVERIFY2(put(path(name)), qPrintable(name));

        const QStringList rows = scan(m_root);
        QCOMPARE(rows.size(), 3 + 600);
        QCOMPARE(
            rows.mid(0, 3), (QStringList { u"\\aaa.avi -"_s, u"\\caf\u00e9.avi Y"_s, u"\\many\\clip0000.avi -"_s }));
        QCOMPARE(rows.last(), u"\\sub \u00fc\\x.mpg -"_s);
        QCOMPARE(logRecords(m_logDir->path()), QStringList());
    }

    // Scripts are written in the ANSI code page, so a name it cannot hold
    // would reach them with "?" in it: such a clip is left out, and such a
    // folder with all it holds, each logged once with its name's UTF-8
    // bytes. A script under such a name is no clip and is not logged.
    void namesTheCodePageCannotHoldAreLeftOutAndLogged()
    {
        const QString han = u"\u65e5\u672c"_s, kshi = u"\u0915\u094d\u0937"_s;
        if (platform::canEncodeText(han + kshi, platform::TextFormat::Encoding::Local))
            QSKIP("this system's ANSI code page holds every name");
        for (const QString &name : { u"a.avi"_s, han + u".avi"_s, han + u".avs"_s, u"caf\u00e9 "_s + han + u".mpg"_s,
                 kshi + u"/inside.avi"_s, u"b/"_s + han + u".avi"_s, u"b/c.avi"_s })
            QVERIFY2(put(path(name)), qPrintable(name));

        QCOMPARE(scan(m_root), (QStringList { u"\\a.avi -"_s, u"\\b\\c.avi -"_s }));
        QCOMPARE(logRecords(m_logDir->path()), QStringList(4, u"cmdScan_Click 52"_s));
        const QString root = QDir::toNativeSeparators(m_root);
        const QString text = QString::fromLocal8Bit(logText(m_logDir->path()));
        for (const QString &name :
            { u"\\xE6\\x97\\xA5\\xE6\\x9C\\xAC.avi"_s, u"caf\u00e9 \\xE6\\x97\\xA5\\xE6\\x9C\\xAC.mpg"_s,
                u"\\xE0\\xA4\\x95\\xE0\\xA5\\x8D\\xE0\\xA4\\xB7\\"_s, u"b\\\\xE6\\x97\\xA5\\xE6\\x9C\\xAC.avi"_s }) {
            const QString line = u"Err. Description\t: Bad file name or number: "_s + root + u'\\' + name + u"\r\n"_s;
            QVERIFY2(text.count(line) == 1, qPrintable(line));
        }
    }

    // Windows takes names that differ only in case for one: a script under
    // another case is the clip's script, and the build would replace it.
    void aScriptInAnotherCaseIsTheClipsScript()
    {
        for (const char *name : { "Case.avi", "CASE.AVS", "mixed.MPG", "Mixed.Avs", "none.avi", "none.avs.bak" })
            QVERIFY(put(path(QString::fromLatin1(name))));
        QCOMPARE(scan(m_root), (QStringList { u"\\Case.avi Y"_s, u"\\mixed.MPG Y"_s, u"\\none.avi -"_s }));
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
