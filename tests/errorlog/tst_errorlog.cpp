#include "CErrorlog.h"
#include "ErrorTrap.h"
#include "RuntimeError.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TestErrorlog : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    static QByteArray contents(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

private slots:
    void init()
    {
        for (const QString &name : QDir(m_dir.path()).entryList(QDir::Files))
            QFile::remove(m_dir.filePath(name));
    }

    void recordBytesAreExact()
    {
        CErrorlog log(m_dir.path(), QStringLiteral("tovrane"));
        const QDateTime when(QDate(2009, 12, 31), QTime(7, 5, 9));
        log.LogError(-2147221164, QStringLiteral("Class not registered\r\nsecond line"), when,
                     QStringLiteral("frmTovrane"), QStringLiteral("Form_Load"));
        const QString file = m_dir.filePath(QStringLiteral("tovrane_20091231.log"));
        QCOMPARE(contents(file),
                 QByteArray("Time            \t: 07:05:09\r\n"
                            "Source module   \t: frmTovrane\r\n"
                            "Source procedure\t: Form_Load\r\n"
                            "Err. Number     \t: -2147221164\r\n"
                            "Err. Description\t: Class not registered\r\nsecond line\r\n"
                            "----------------\r\n"));
    }

    void recordsAppendWithinADayAndMidnightStartsANewFile()
    {
        CErrorlog log(m_dir.path(), QStringLiteral("prog"));
        const QDateTime evening(QDate(2026, 3, 1), QTime(23, 59, 59));
        const QDateTime night(QDate(2026, 3, 2), QTime(0, 0, 0));
        log.LogError(53, QStringLiteral("File not found"), evening, QStringLiteral("frmTovrane"), QStringLiteral("Mode_1"));
        log.LogError(57, QStringLiteral("Device I/O error"), evening, QStringLiteral("frmTovrane"), QStringLiteral("Mode_1"));
        log.LogError(6, QStringLiteral("Overflow"), night, QStringLiteral("frmTovrane"), QStringLiteral("Mode_0"));

        const QByteArray first = contents(m_dir.filePath(QStringLiteral("prog_20260301.log")));
        QCOMPARE(first,
                 CErrorlog::record(53, QStringLiteral("File not found"), evening, QStringLiteral("frmTovrane"), QStringLiteral("Mode_1"))
                     + CErrorlog::record(57, QStringLiteral("Device I/O error"), evening, QStringLiteral("frmTovrane"), QStringLiteral("Mode_1")));
        QVERIFY(first.startsWith("Time            \t: 23:59:59\r\n"));
        QVERIFY(contents(m_dir.filePath(QStringLiteral("prog_20260302.log"))).contains("Err. Number     \t: 6\r\n"));
    }

    void anUnwritableLogLosesTheRecordQuietly()
    {
        // A folder that does not exist stands for any folder we cannot write.
        CErrorlog log(m_dir.filePath(QStringLiteral("gone")), QStringLiteral("tovrane"));
        log.LogError(5, QStringLiteral("x"), QDateTime::currentDateTime(), QStringLiteral("m"), QStringLiteral("p"));
        QVERIFY(!QDir(m_dir.filePath(QStringLiteral("gone"))).exists());
    }

    void bracket()
    {
        const QString sep = QDir::separator();
        QCOMPARE(CErrorlog::Bracket(QString()), QString());
        QCOMPARE(CErrorlog::Bracket(sep), sep);
        QCOMPARE(CErrorlog::Bracket(sep + QStringLiteral("clips")), sep + QStringLiteral("clips") + sep);
        QCOMPARE(CErrorlog::Bracket(sep + QStringLiteral("clips") + sep), sep + QStringLiteral("clips") + sep);
    }

    void trapLogsAFailingStepAndRunsTheNext()
    {
        CErrorlog log(m_dir.path(), QStringLiteral("tovrane"));
        ErrorTrap step(log, QStringLiteral("frmTovrane"), QStringLiteral("Mode_0"));
        QStringList ran;
        QVERIFY(!step([&] { ran << QStringLiteral("a"); throw RuntimeError(ErrNum::PathNotFound); }));
        QVERIFY(step([&] { ran << QStringLiteral("b"); }));
        QVERIFY(!step([&] { ran << QStringLiteral("c"); throw std::runtime_error("boom"); }));
        QVERIFY(!step([&] { throw 42; }));
        QCOMPARE(ran, (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}));

        const QByteArray text = contents(log.logFilePath(QDateTime::currentDateTime()));
        QCOMPARE(text.count("Source procedure\t: Mode_0\r\n"), 3);
        QVERIFY(text.contains("Err. Number     \t: 76\r\nErr. Description\t: Path not found\r\n"));
        QVERIFY(text.contains("Err. Number     \t: 51\r\nErr. Description\t: boom\r\n"));
        QCOMPARE(text.count("----------------\r\n"), 3);
    }

    void fileErrorsGetTheirClassicNumbers()
    {
        QCOMPARE(RuntimeError::fromErrno(ENOENT, QString()).number(), ErrNum::FileNotFound);
        QCOMPARE(RuntimeError::fromErrno(EACCES, QString()).number(), ErrNum::PermissionDenied);
        QCOMPARE(RuntimeError::fromErrno(ENOSPC, QString()).number(), ErrNum::DiskFull);
        QCOMPARE(RuntimeError::fromErrno(EBUSY, QString()).number(), ErrNum::PathFileAccessError);
        QCOMPARE(RuntimeError::fromErrno(ENOENT, QStringLiteral("/x")).description(), QStringLiteral("File not found: /x"));
    }
};

QTEST_GUILESS_MAIN(TestErrorlog)
#include "tst_errorlog.moc"
