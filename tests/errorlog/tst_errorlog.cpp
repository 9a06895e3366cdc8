#include "CErrorlog.h"
#include "ErrorTrap.h"
#include "RuntimeError.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace errorlog;

using namespace Qt::StringLiterals;

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
    // Records of one day append to that day's file; midnight starts the next.
    void recordsAppendToTheFileOfTheirDay()
    {
        CErrorlog log(m_dir.path(), u"tovrane"_s);
        const QDateTime morning(QDate(2009, 12, 31), QTime(7, 5, 9));
        const QDateTime midnight(QDate(2010, 1, 1), QTime(0, 0, 0));
        log.LogError(-2147221164, u"Class not registered\r\nsecond line"_s, morning, u"frmTovrane"_s, u"Form_Load"_s);
        log.LogError(57, u"Device I/O error"_s, morning, u"frmTovrane"_s, u"Mode_1"_s);
        log.LogError(6, u"Overflow"_s, midnight, u"frmTovrane"_s, u"Mode_0"_s);

        QCOMPARE(contents(m_dir.filePath(u"tovrane_20091231.log"_s)),
            QByteArray("Time            \t: 07:05:09\r\n"
                       "Source module   \t: frmTovrane\r\n"
                       "Source procedure\t: Form_Load\r\n"
                       "Err. Number     \t: -2147221164\r\n"
                       "Err. Description\t: Class not registered\r\nsecond line\r\n"
                       "----------------\r\n"
                       "Time            \t: 07:05:09\r\n"
                       "Source module   \t: frmTovrane\r\n"
                       "Source procedure\t: Mode_1\r\n"
                       "Err. Number     \t: 57\r\n"
                       "Err. Description\t: Device I/O error\r\n"
                       "----------------\r\n"));
        QCOMPARE(contents(m_dir.filePath(u"tovrane_20100101.log"_s)),
            QByteArray("Time            \t: 00:00:00\r\n"
                       "Source module   \t: frmTovrane\r\n"
                       "Source procedure\t: Mode_0\r\n"
                       "Err. Number     \t: 6\r\n"
                       "Err. Description\t: Overflow\r\n"
                       "----------------\r\n"));
    }

    void trapLogsAFailingStepAndRunsTheNext()
    {
        CErrorlog log(m_dir.path(), u"tovrane"_s);
        ErrorTrap step(log, u"frmTovrane"_s, u"Mode_0"_s);
        // The records go to the file of the day they are made on, which may
        // change while they are made.
        const QDateTime started = QDateTime::currentDateTime();
        QString ran;
        QVERIFY(!step([&] {
            ran += u'a';
            throw RuntimeError(ErrNum::PathNotFound);
        }));
        QVERIFY(step([&] { ran += u'b'; }));
        QVERIFY(!step([&] {
            ran += u'c';
            throw std::runtime_error("boom");
        }));
        QVERIFY(!step([&] { throw 42; }));
        QCOMPARE(ran, u"abc"_s);

        const auto fileOf = [&](const QDateTime &day) {
            return contents(m_dir.filePath(u"tovrane_"_s + day.toString(u"yyyyMMdd"_s) + u".log"_s));
        };
        QByteArray text = fileOf(started);
        if (const QDateTime now = QDateTime::currentDateTime(); now.date() != started.date())
            text += fileOf(now);
        QCOMPARE(text.count("Source procedure\t: Mode_0\r\n"), 3);
        QVERIFY(text.contains("Err. Number     \t: 76\r\nErr. Description\t: Path not found\r\n"));
        QVERIFY(text.contains("Err. Number     \t: 51\r\nErr. Description\t: boom\r\n"));
        QCOMPARE(text.count("----------------\r\n"), 3);
    }
};

QTEST_GUILESS_MAIN(TestErrorlog)
#include "tst_errorlog.moc"
