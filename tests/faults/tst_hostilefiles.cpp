// Real hostile file systems: links where scripts go, FIFOs where files are
// read and written, a disk that fills up, files in an old code page, files
// far too large, and a program folder whose name is not valid text.
#include "CErrorlog.h"
#include "ErrorTrap.h"
#include "FileSizeLimit.h"
#include "RuntimeError.h"
#include "SafeFile.h"
#include "ScriptBuild.h"
#include "ScriptRemoval.h"
#include "TemplateFile.h"
#include "mGlobal.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

QByteArray readBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

bool put(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

bool isLink(const QString &path)
{
    return SafeFile::entryAt(path) == SafeFile::Entry::Link;
}

bool isFifo(const QString &path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISFIFO(st.st_mode);
}

// Every byte value but the two that end lines, which are the files' structure.
QByteArray everyByte()
{
    QByteArray bytes;
    for (int b = 0; b < 256; ++b) {
        if (b != '\r' && b != '\n')
            bytes += char(b);
    }
    return bytes;
}

// The names in a folder, as bytes.
QList<QByteArray> rawEntries(const QByteArray &folder)
{
    QList<QByteArray> names;
    if (DIR *d = ::opendir(folder.constData())) {
        while (const dirent *e = ::readdir(d)) {
            if (qstrcmp(e->d_name, ".") != 0 && qstrcmp(e->d_name, "..") != 0)
                names << QByteArray(e->d_name);
        }
        ::closedir(d);
    }
    return names;
}

// A hang on a FIFO would otherwise stop the whole test run until its timeout.
struct Watchdog
{
    Watchdog() { ::alarm(60); }
    ~Watchdog() { ::alarm(0); }
};

ClipRow clip(const QString &file, const QString &location)
{
    return ClipRow { true, file, location, u"-"_s };
}

} // namespace

class TestHostileFiles : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp;
    QString m_root;
    std::unique_ptr<CErrorlog> m_log;

    QString dir(const QString &name) const
    {
        QDir().mkpath(m_root + u'/' + name);
        return m_root + u'/' + name;
    }
    ErrorTrap trap(const QString &procedure) const { return ErrorTrap(*m_log, u"frmTovrane"_s, procedure); }
    QString logPath() const { return m_log->logFilePath(QDateTime::currentDateTime()); }
    QByteArray logText() const { return QFileInfo::exists(logPath()) ? readBytes(logPath()) : QByteArray(); }
    int records(const QByteArray &procedure, int number) const
    {
        return int(logText().count("Source procedure\t: " + procedure + "\r\nErr. Number     \t: "
                                   + QByteArray::number(number) + "\r\n"));
    }
    static QStringList entries(const QString &path)
    {
        return QDir(path).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    }

private slots:
    void init()
    {
        static int n = 0;
        m_root = m_tmp.path() + u'/' + QString::number(++n);
        m_log = std::make_unique<CErrorlog>(dir(u"log"_s), u"tovrane"_s);
    }

    // A script that is a link, dangling or not, is never written through:
    // replacing it replaces the link; "No" keeps it; removal takes the link.
    void scriptLinksAreReplacedNeverFollowed()
    {
        const QString a = dir(u"a"_s), elsewhere = dir(u"elsewhere"_s);
        const QString victim = elsewhere + u"/victim.txt"_s, made = elsewhere + u"/made.avs"_s;
        QVERIFY(put(victim, "precious\r\n"));
        const auto makeLinks = [&] {
            QFile::remove(a + u"/dangling.avs"_s);
            QFile::remove(a + u"/linked.avs"_s);
            QVERIFY(QFile::link(made, a + u"/dangling.avs"_s));
            QVERIFY(QFile::link(victim, a + u"/linked.avs"_s));
        };
        const QList<ClipRow> rows { clip(u"dangling.avi"_s, a), clip(u"linked.avi"_s, a) };

        makeLinks();
        QStringList asked;
        QList<int> marked;
        BuildOptions ask { u"%CLIP%"_s, u"avs"_s, true, false, {} };
        const auto no = [&](const QString &path) { return asked << path, false; };
        QCOMPARE(buildPerClip(rows, ask, trap(u"Mode_1"_s), no, [&](int r) { marked << r; }), 0);
        QCOMPARE(asked, (QStringList { a + u"/dangling.avs"_s, a + u"/linked.avs"_s }));
        QCOMPARE(marked, (QList<int> { 0, 1 }));
        QVERIFY(isLink(a + u"/dangling.avs"_s) && isLink(a + u"/linked.avs"_s));

        for (const bool asking : { true, false }) {
            makeLinks();
            ask.askBeforeOverwrite = asking;
            QCOMPARE(buildPerClip(rows, ask, trap(u"Mode_1"_s), [](const QString &) { return true; }, {}), 2);
            QCOMPARE(readBytes(a + u"/dangling.avs"_s), QByteArray("dangling"));
            QCOMPARE(readBytes(a + u"/linked.avs"_s), QByteArray("linked"));
            QVERIFY(!isLink(a + u"/dangling.avs"_s) && !isLink(a + u"/linked.avs"_s));
            QCOMPARE(readBytes(victim), QByteArray("precious\r\n"));
            QVERIFY(!QFileInfo::exists(made));
        }

        makeLinks();
        QCOMPARE(removeScripts(a, u"avs"_s), 2);
        QCOMPARE(entries(a), QStringList());
        QCOMPARE(readBytes(victim), QByteArray("precious\r\n"));
        QVERIFY(logText().isEmpty());
    }

    // A FIFO, where a script, the settings, a template or the log should be,
    // is refused at once: nothing waits for a writer or reader that never comes.
    void fifosAreNeverWaitedOn()
    {
        const Watchdog watchdog;
        const QString a = dir(u"a"_s);
        const QString fifo = a + u"/stuck.avs"_s;
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        const QList<ClipRow> rows { clip(u"stuck.avi"_s, a), clip(u"next.avi"_s, a) };
        for (const bool asking : { false, true }) {
            QList<int> marked;
            const BuildOptions options { u"%CLIP%"_s, u"avs"_s, asking, false, {} };
            QCOMPARE(buildPerClip(rows, options, trap(u"Mode_1"_s), [](const QString &) { return true; },
                         [&](int r) { marked << r; }),
                1);
            QCOMPARE(marked, QList<int> { 1 });
            QCOMPARE(readBytes(a + u"/next.avs"_s), QByteArray("next"));
            QVERIFY(isFifo(fifo));
        }
        QCOMPARE(records("Mode_1", ErrNum::PathFileAccessError), 2);

        const auto refused = [](auto &&work) {
            try {
                work();
            } catch (const RuntimeError &e) {
                return e.number();
            }
            return 0;
        };
        QCOMPARE(refused([&] { ReadIniKey(fifo, u"Settings"_s, u"Mode"_s); }), ErrNum::PathFileAccessError);
        QCOMPARE(refused([&] { WriteIniKey(fifo, u"Settings"_s, u"Mode"_s, u"1"_s); }), ErrNum::PathFileAccessError);
        QCOMPARE(refused([&] { readTemplateText(fifo, QString()); }), ErrNum::PathFileAccessError);
        QVERIFY(isFifo(fifo));

        // The log: with no reader, and with one waiting, nothing is written.
        const QString log = logPath();
        QVERIFY(QFile::remove(log));
        QCOMPARE(::mkfifo(QFile::encodeName(log).constData(), 0600), 0);
        trap(u"Mode_1"_s)([] { throw RuntimeError(ErrNum::DiskFull); });
        const int reader = ::open(QFile::encodeName(log).constData(), O_RDONLY | O_NONBLOCK);
        QVERIFY(reader >= 0);
        trap(u"Mode_1"_s)([] { throw RuntimeError(ErrNum::DiskFull); });
        char byte;
        QCOMPARE(::read(reader, &byte, 1), ssize_t(0));
        ::close(reader);
        // Nor is it written through a link.
        QVERIFY(QFile::remove(log));
        QVERIFY(put(a + u"/target.txt"_s, "kept"));
        QVERIFY(QFile::link(a + u"/target.txt"_s, log));
        trap(u"Mode_1"_s)([] { throw RuntimeError(ErrNum::DiskFull); });
        QCOMPARE(readBytes(a + u"/target.txt"_s), QByteArray("kept"));
    }

    // A disk that fills up while a script is replaced leaves the user's old
    // script byte for byte, with nothing beside it; a batch script that could
    // not be written whole is not left behind.
    void fullDiskLeavesOldScriptsAndNoFragments()
    {
        const QString a = dir(u"a"_s), out = dir(u"out"_s);
        QVERIFY(put(a + u"/old.avs"_s, "the user's script\r\n"));
        const QList<ClipRow> rows { clip(u"old.avi"_s, a), clip(u"new.avi"_s, a) };
        const BuildOptions options { QString(100000, u'x'), u"avs"_s, false, false, out };
        QList<int> marked;
        int written = -1;
        QString batch = u"?"_s;
        {
            const FileSizeLimit limit(4096);
            QVERIFY(limit.ok());
            written = buildPerClip(rows, options, trap(u"Mode_1"_s), {}, [&](int r) { marked << r; });
            batch = buildBatch(rows, options, trap(u"Mode_0"_s));
        }
        QCOMPARE(written, 0);
        QVERIFY(marked.isEmpty());
        QCOMPARE(readBytes(a + u"/old.avs"_s), QByteArray("the user's script\r\n"));
        QCOMPARE(entries(a), QStringList { u"old.avs"_s });
        QCOMPARE(records("Mode_1", ErrNum::DiskFull), 2);
        QCOMPARE(batch, QString());
        QCOMPARE(entries(out), QStringList());
        QVERIFY(records("Mode_0", ErrNum::DiskFull) >= 1);
    }

    // Settings and templates from older systems keep every byte that was not
    // edited; a byte-order mark is read past and kept.
    void oldEncodingsKeepEveryByte()
    {
        const QString ini = dir(u"p"_s) + u"/Settings.ini"_s;
        const QByteArray folders = "/media/vid\xe9os|" + everyByte();
        const QByteArray file = "[Settings]\r\nMainFolder=" + folders + "\r\nMode=1\r\n";
        QVERIFY(put(ini, file));
        const QString read = ReadIniKey(ini, u"Settings"_s, u"MainFolder"_s);
        QVERIFY(read.startsWith(u"/media/vid\u00e9os|"_s));
        QVERIFY(read.contains(u'\u20ac') && read.contains(u'\u0081')); // 0x80 and an unassigned byte
        // What adding a scan folder does: the whole value is written back.
        WriteIniKey(ini, u"Settings"_s, u"MainFolder"_s, read + u"|/new"_s);
        QCOMPARE(readBytes(ini), "[Settings]\r\nMainFolder=" + folders + "|/new\r\nMode=1\r\n");
        // A character the code page lacks moves the file to the local
        // encoding, losing nothing.
        WriteIniKey(ini, u"Settings"_s, u"AvsFolder"_s, u"/\u65e5\u672c"_s);
        QCOMPARE(ReadIniKey(ini, u"Settings"_s, u"MainFolder"_s), read + u"|/new"_s);
        QCOMPARE(ReadIniKey(ini, u"Settings"_s, u"AvsFolder"_s), u"/\u65e5\u672c"_s);

        QVERIFY(put(ini, "\xEF\xBB\xBF[Settings]\r\nMode=1\r\n"));
        QCOMPARE(ReadIniKey(ini, u"Settings"_s, u"Mode"_s), u"1"_s);
        WriteIniKey(ini, u"Settings"_s, u"Show"_s, u"0"_s);
        QCOMPARE(readBytes(ini), QByteArray("\xEF\xBB\xBF[Settings]\r\nShow=0\r\nMode=1\r\n"));

        const QString avt = dir(u"t"_s) + u"/old.avt"_s, copy = dir(u"t"_s) + u"/copy.avt"_s;
        const QByteArray templ = "# Caf\xe9 \xa9\r\n" + everyByte() + "\r\n";
        QVERIFY(put(avt, templ));
        const std::optional<TemplateText> loaded = readTemplateText(avt, QString());
        QVERIFY(loaded && loaded->text.startsWith(u"# Caf\u00e9 \u00a9\n"_s));
        QVERIFY(saveTemplateText(copy, loaded->text, loaded->format, trap(u"SaveTemplate"_s)));
        QCOMPARE(readBytes(copy), templ);
        // UTF-8 with a byte-order mark, as Windows editors save it, is UTF-8.
        const QByteArray marked = "\xEF\xBB\xBF# Caf\xC3\xA9\r\n";
        QVERIFY(put(avt, marked));
        const std::optional<TemplateText> utf8 = readTemplateText(avt, QString());
        QVERIFY(utf8 && utf8->text == u"\uFEFF# Caf\u00e9\n"_s);
        QVERIFY(saveTemplateText(copy, utf8->text, utf8->format, trap(u"SaveTemplate"_s)));
        QCOMPARE(readBytes(copy), marked);
        QVERIFY(logText().isEmpty());
    }

    // A file far larger than any template, settings or filter list is not
    // swallowed: it is refused with "Out of memory".
    void hugeFilesAreRefused()
    {
        const QString huge = dir(u"h"_s) + u"/huge.avt"_s;
        QFile f(huge);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.resize(SafeFile::MaxTextBytes + 1));
        f.close();
        try {
            readTemplateText(huge, QString());
            QFAIL("a huge template was read");
        } catch (const RuntimeError &e) {
            QCOMPARE(e.number(), ErrNum::OutOfMemory);
        }
        QByteArray bytes;
        QCOMPARE(SafeFile::readFile(huge, bytes).failure, SafeFile::Result::TooLarge);
        QVERIFY(bytes.isEmpty());
    }

    // A program folder whose name is not valid text cannot be named exactly:
    // the program says so and stops before it writes anything anywhere.
    void programFolderThatCannotBeNamed()
    {
        const QString parent = dir(u"run"_s);
        const QByteArray folder = QFile::encodeName(parent) + "/vid\xe9os";
        QCOMPARE(::mkdir(folder.constData(), 0755), 0);
        QFile program(QStringLiteral(TOVRANE_PATH));
        QVERIFY(program.open(QIODevice::ReadOnly));
        const QByteArray image = program.readAll();
        const int fd = ::open((folder + "/tovrane").constData(), O_WRONLY | O_CREAT | O_EXCL, 0755);
        QVERIFY(fd >= 0);
        QCOMPARE(::write(fd, image.constData(), size_t(image.size())), ssize_t(image.size()));
        ::close(fd);
        const bool rootHadSettings = QFileInfo::exists(u"/Settings.ini"_s);

        QProcess run;
        run.setWorkingDirectory(parent);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        run.setProcessEnvironment(env);
        // The shell's pattern reaches the folder byte for byte.
        run.start(u"/bin/sh"_s, { u"-c"_s, u"exec ./*/tovrane"_s });
        QVERIFY(run.waitForFinished(30000));
        QCOMPARE(run.exitStatus(), QProcess::NormalExit);
        QCOMPARE(run.exitCode(), 2);
        const QByteArray err = run.readAllStandardError();
        QCOMPARE(err.count("tovrane: "), 1);
        QVERIFY2(err.contains("tovrane: cannot start: ") && err.contains("vid\\xE9os\n"), err.constData());
        // No log or settings beside the folder, nor in it.
        QCOMPARE(rawEntries(QFile::encodeName(parent)), QList<QByteArray> { "vid\xe9os" });
        QCOMPARE(rawEntries(folder), QList<QByteArray> { "tovrane" });
        // Tidied by hand: the temporary folder cannot name it either.
        QCOMPARE(::unlink((folder + "/tovrane").constData()), 0);
        QCOMPARE(::rmdir(folder.constData()), 0);
        QVERIFY(rootHadSettings || !QFileInfo::exists(u"/Settings.ini"_s));
    }
};

QTEST_GUILESS_MAIN(TestHostileFiles)
#include "tst_hostilefiles.moc"
