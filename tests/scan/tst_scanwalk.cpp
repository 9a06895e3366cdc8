#include "CErrorlog.h"
#include "ErrorTrap.h"
#include "ScanWalk.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

#include <cstring>
#include <memory>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

class TestScanWalk : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_tree;
    QTemporaryDir m_logDir;
    QString m_root;

    QString path(const QString &rel) const { return m_root + u'/' + rel; }
    void touch(const QStringList &rels) const
    {
        for (const QString &rel : rels) {
            QDir().mkpath(QFileInfo(path(rel)).path());
            QFile f(path(rel));
            QVERIFY2(f.open(QIODevice::WriteOnly), qPrintable(rel));
        }
    }
    void link(const QString &target, const QString &rel) const { QVERIFY(QFile::link(target, path(rel))); }

    // Each row as "location below the root/file mark check", in list order.
    QStringList scan(
        const QStringList &folders, const QString &extensions = u"AVI|MPG|MPEG"_s, bool onlyWithoutScript = false) const
    {
        const CErrorlog log(m_logDir.path(), u"tovrane"_s);
        const ErrorTrap step(log, u"frmTovrane"_s, u"cmdScan_Click"_s), walkStep(log, u"frmTovrane"_s, u"ScanFolder"_s);
        QStringList out;
        for (const ClipRow &row : scanFolders(folders, { extensions, onlyWithoutScript }, step, walkStep)) {
            const QString where = row.location.startsWith(m_root) ? row.location.mid(m_root.size()) : row.location;
            out << u"%1/%2 %3 %4"_s.arg(where, row.file, row.avs, row.checked ? u"on"_s : u"off"_s);
        }
        return out;
    }
    QByteArray logText() const
    {
        QByteArray all;
        for (const QFileInfo &fi : QDir(m_logDir.path()).entryInfoList(QDir::Files)) {
            QFile f(fi.filePath());
            all += f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        }
        return all;
    }

private slots:
    void init()
    {
        m_tree = std::make_unique<QTemporaryDir>();
        m_root = QDir(m_tree->path()).canonicalPath();
        for (const QString &name : QDir(m_logDir.path()).entryList(QDir::Files))
            QFile::remove(m_logDir.filePath(name));
    }

    // The rest of the matching shows in the scans below.
    void extensionMatching()
    {
        touch({ u"x.av"_s, u"y.straße"_s, u"z.ävi"_s, u"w."_s });
        QCOMPARE(scan({ m_root }, u"AVI|MPG"_s), QStringList());
        // An empty list has no entry, not one empty entry that "w." would match.
        QCOMPARE(scan({ m_root }, QString()), QStringList());
        // One unit in, one unit out: "ß" has no one-letter capital and never becomes "SS".
        QCOMPARE(scan({ m_root }, u"ÄVI|STRAßE"_s), QStringList({ u"/y.straße - on"_s, u"/z.ävi - on"_s }));
        QCOMPARE(scan({ m_root }, u"STRASSE"_s), QStringList());
    }

    void ordersMarksAndChecks()
    {
        touch({ u"b.avi"_s, u"A.avi"_s, u"a.avi"_s, u"notes.txt"_s, u"Holiday.mpeg"_s, u"Holiday.avs"_s,
            u"Holiday.avi"_s, u"trip.avi"_s, u"trip.avsi"_s, u"Case.avi"_s, u"Case.AVS"_s, u"AVI"_s, u"AVI.avs"_s,
            u"clip."_s, u"clip.avs"_s, u"MPG."_s, u"sub1/x.mpg"_s, u"Sub0/y.MPG"_s, u"Sub0/z.avs/inner.txt"_s,
            u"Sub0/z.avi"_s });
        QVERIFY(QDir().mkpath(path(u"empty.avi"_s)));

        // Case-insensitive order, ties broken by case so that it is repeatable. A folder
        // named like a script is no script; "Case.AVS" is another name here.
        QStringList all = { u"/A.avi - on"_s, u"/a.avi - on"_s, u"/AVI Y off"_s, u"/b.avi - on"_s, u"/Case.avi - on"_s,
            u"/Holiday.avi Y off"_s, u"/Holiday.mpeg Y off"_s, u"/trip.avi - on"_s, u"/Sub0/y.MPG - on"_s,
            u"/Sub0/z.avi - on"_s, u"/sub1/x.mpg - on"_s };
        QCOMPARE(scan({ m_root }), all);

        all.removeIf([](const QString &r) { return r.endsWith(u" Y off"_s); });
        QCOMPARE(scan({ m_root }, u"AVI|MPG|MPEG"_s, true), all);
        QCOMPARE(scan({ m_root }, u"avi|mpg|mpeg"_s), QStringList());
        // Names ending in "." match the empty entry.
        QCOMPARE(scan({ m_root }, u"|X"_s), QStringList({ u"/clip. Y off"_s, u"/MPG. - on"_s }));
        QCOMPARE(logText(), QByteArray());
    }

    void filelessFolderEndsTheDescent()
    {
        touch({ u"top/only/in/sub.avi"_s, u"clip.avi"_s, u"empty/deeper/hidden.avi"_s, u"full/seen.avi"_s });
        QCOMPARE(scan({ path(u"top"_s) }), QStringList());
        QCOMPARE(scan({ m_root }), QStringList({ u"/clip.avi - on"_s, u"/full/seen.avi - on"_s }));
    }

    void scanFolderList()
    {
        touch({ u"a.avi"_s, u"sub/b.avi"_s });
        const QString missing = path(u"gone"_s);
        QCOMPARE(scan({ m_root, missing, path(u"a.avi"_s), m_root + u'/', path(u"sub"_s) }),
            QStringList({ u"/a.avi - on"_s, u"/sub/b.avi - on"_s, u"/a.avi - on"_s, u"/sub/b.avi - on"_s,
                u"/sub/b.avi - on"_s }));
        const QByteArray log = logText();
        QCOMPARE(log.count("Source module   \t: frmTovrane\r\nSource procedure\t: cmdScan_Click\r\n"
                           "Err. Number     \t: 76\r\n"),
            2);
        QVERIFY(log.contains(("Err. Description\t: Path not found: " + missing + "\r\n").toLocal8Bit()));
    }

    // Each real folder is walked once, under the first way the walk meets it;
    // "b" sorts before the folder it points to, which is then not walked again.
    void linksReachEachFolderOnce()
    {
        QTemporaryDir outside;
        QVERIFY(QDir().mkpath(outside.path() + u"/o"_s));
        QVERIFY(QFile(outside.path() + u"/o/out.avi"_s).open(QIODevice::WriteOnly));
        touch({ u"r.avi"_s, u"a/a.avi"_s, u"d/d.avi"_s });
        link(m_root, u"a/up"_s); // back to the root
        link(path(u"a"_s), u"a/self"_s); // back to itself
        link(path(u"a"_s), u"c"_s); // to a folder already walked
        link(path(u"d"_s), u"b"_s); // to a folder the walk meets later
        link(outside.path() + u"/o"_s, u"ext"_s); // outside the tree
        link(path(u"a/a.avi"_s), u"l.avi"_s); // a file
        link(path(u"nowhere.avi"_s), u"dead.avi"_s); // broken
        QCOMPARE(scan({ m_root }),
            QStringList({ u"/l.avi - on"_s, u"/r.avi - on"_s, u"/a/a.avi - on"_s, u"/b/d.avi - on"_s,
                u"/ext/out.avi - on"_s }));
    }

    // Any link under the script's name is a script, a broken one too: the
    // builds replace it. Other things under that name are not.
    void scriptMarkCountsFilesAndLinks()
    {
        QTemporaryDir outside;
        const QString elsewhere = outside.path();
        touch({ u"dead.avi"_s, u"tofolder.avi"_s, u"tofile.avi"_s, u"topipe.avi"_s, u"pipe.avi"_s, u"folder.avi"_s,
            u"socket.avi"_s, u"Case.avi"_s });
        QVERIFY(QFile(elsewhere + u"/target"_s).open(QIODevice::WriteOnly));
        QVERIFY(QDir().mkpath(path(u"folder.avs"_s)));
        QCOMPARE(::mkfifo(QFile::encodeName(path(u"pipe.avs"_s)).constData(), 0644), 0);
        QCOMPARE(::mkfifo(QFile::encodeName(path(u"fifo.avi"_s)).constData(), 0644), 0);
        link(elsewhere + u"/nothing"_s, u"dead.avs"_s);
        link(elsewhere, u"tofolder.avs"_s);
        link(elsewhere + u"/target"_s, u"tofile.avs"_s);
        link(path(u"pipe.avs"_s), u"topipe.avs"_s);
        link(elsewhere + u"/nothing"_s, u"case.avs"_s); // not "Case.avs"

        const QByteArray socketPath = QFile::encodeName(path(u"socket.avs"_s));
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        QVERIFY(size_t(socketPath.size()) < sizeof address.sun_path);
        std::memcpy(address.sun_path, socketPath.constData(), size_t(socketPath.size()));
        const int sock = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        QVERIFY(sock >= 0);
        const auto closeSocket = qScopeGuard([sock] { ::close(sock); });
        QCOMPARE(::bind(sock, reinterpret_cast<const sockaddr *>(&address), sizeof address), 0);

        // The FIFO fifo.avi is no clip.
        QCOMPARE(scan({ m_root }),
            QStringList({ u"/Case.avi - on"_s, u"/dead.avi Y off"_s, u"/folder.avi - on"_s, u"/pipe.avi - on"_s,
                u"/socket.avi - on"_s, u"/tofile.avi Y off"_s, u"/tofolder.avi Y off"_s, u"/topipe.avi Y off"_s }));
        QCOMPARE(scan({ m_root }, u"AVI"_s, true),
            QStringList({ u"/Case.avi - on"_s, u"/folder.avi - on"_s, u"/pipe.avi - on"_s, u"/socket.avi - on"_s }));
        QCOMPARE(logText(), QByteArray());
    }
};

QTEST_GUILESS_MAIN(TestScanWalk)
#include "tst_scanwalk.moc"
