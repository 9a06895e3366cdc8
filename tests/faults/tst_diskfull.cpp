#include "CErrorlog.h"
#include "ErrorTrap.h"
#include "RuntimeError.h"
#include "TemplateFile.h"
#include "mGlobal.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

using namespace Qt::StringLiterals;

namespace {

QByteArray readBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// (procedure, number) of each record in the folder's log files.
QList<std::pair<QByteArray, int>> logRecords(const QString &folder)
{
    QList<std::pair<QByteArray, int>> records;
    for (const QString &name : QDir(folder).entryList({ u"*.log"_s }, QDir::Files)) {
        QByteArray procedure;
        for (const QByteArray &line : readBytes(folder + u'/' + name).split('\n')) {
            if (line.startsWith("Source procedure\t: "))
                procedure = line.mid(19).trimmed();
            else if (line.startsWith("Err. Number     \t: "))
                records.append({ procedure, line.mid(19).trimmed().toInt() });
        }
    }
    return records;
}

bool isDiskFullOrIOError(int number)
{
    return number == ErrNum::DiskFull || number == ErrNum::DeviceIOError;
}

// While alive, files of this process cannot grow beyond `bytes`: the way a
// full disk looks to a program, without filling one.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        // Ignored, SIGXFSZ no longer ends the process; the write fails instead.
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        m_ok = ::getrlimit(RLIMIT_FSIZE, &m_old) == 0;
        struct rlimit limited = m_old;
        limited.rlim_cur = bytes;
        m_ok = m_ok && ::setrlimit(RLIMIT_FSIZE, &limited) == 0;
    }
    ~FileSizeLimit()
    {
        if (m_ok)
            ::setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;
    bool ok() const { return m_ok; }

private:
    struct rlimit m_old
    {
    };
    void (*m_oldHandler)(int) = SIG_DFL;
    bool m_ok = false;
};

} // namespace

class TestDiskFull : public QObject
{
    Q_OBJECT

private slots:
    // A settings write that runs out of space fails as disk full (or an I/O
    // error), is logged when trapped, and leaves the previous file as it was.
    // The limit is set in a helper process, so this test's own files are
    // never affected.
    void settingsWriteKeepsEarlierSettings()
    {
        QTemporaryDir dir;
        QTemporaryDir logDir;
        const QString settings = dir.filePath(u"Settings.ini"_s);
        WriteIniKey(settings, u"Settings"_s, u"Extenions"_s, u"AVI|MPG|MKV"_s);
        WriteIniKey(settings, u"Settings"_s, u"MainFolder"_s, u"/media/clips"_s);
        WriteIniKey(settings, u"Settings"_s, u"Mode"_s, u"1"_s);
        const QByteArray before = readBytes(settings);
        QVERIFY(before.size() < 1024);

        QProcess writer;
        writer.start(QStringLiteral(SETTINGS_WRITER), { u"limited"_s, settings, u"1024"_s, logDir.path() });
        QVERIFY(writer.waitForFinished(20000));
        QCOMPARE(writer.exitStatus(), QProcess::NormalExit);
        QCOMPARE(writer.exitCode(), 0);
        const QByteArray output = writer.readAllStandardOutput();

        QVERIFY2(readBytes(settings) == before, "the earlier settings were replaced by a partly written file");
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList { u"Settings.ini"_s });
        const QList<QByteArray> lines = output.split('\n');
        QCOMPARE(lines.size(), 3);
        QVERIFY2(lines.at(0).startsWith("thrown "), "the failed write reported success");
        const int number = lines.at(0).mid(7).toInt();
        QVERIFY2(isDiskFullOrIOError(number), lines.at(0).constData());
        QCOMPARE(lines.at(1), QByteArray("trapped"));
        QCOMPARE(logRecords(logDir.path()), (QList<std::pair<QByteArray, int>> { { "AddFolder", number } }));
    }

    // The same for saving a template over an earlier one.
    void templateSaveKeepsTheEarlierTemplate()
    {
        QTemporaryDir dir;
        QTemporaryDir logDir;
        const QString path = dir.filePath(u"Mine.avt"_s);
        const QByteArray earlier = "# mine\r\nAviSource(\"%PATH%/%CLIP%.%EXT%\")\r\n";
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            QCOMPARE(f.write(earlier), earlier.size());
        }
        const QString longer = u"# longer\n"_s + QString(4000, u'x') + u"\nBlur(1.0)\n"_s;
        const CErrorlog log(logDir.path(), u"tovrane"_s);
        const ErrorTrap step(log, u"frmTovrane"_s, u"SaveTemplate"_s);

        bool saved = true;
        {
            const FileSizeLimit limit(1024);
            QVERIFY(limit.ok());
            saved = saveTemplateText(path, longer, step);
        }
        QVERIFY2(readBytes(path) == earlier, "the earlier template was replaced by a partly written file");
        QVERIFY2(!saved, "the failed save reported success");
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList { u"Mine.avt"_s });
        const auto records = logRecords(logDir.path());
        QVERIFY(!records.isEmpty());
        for (const auto &[procedure, number] : records) {
            QCOMPARE(procedure, QByteArray("SaveTemplate"));
            QVERIFY2(isDiskFullOrIOError(number), QByteArray::number(number).constData());
        }

        // With room again, the same save goes through.
        QVERIFY(saveTemplateText(path, longer, step));
        QCOMPARE(readBytes(path), editorTextToFile(longer));
    }
};

QTEST_GUILESS_MAIN(TestDiskFull)
#include "tst_diskfull.moc"
