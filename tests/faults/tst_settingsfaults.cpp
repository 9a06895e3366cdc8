#include "BurstValue.h"
#include "CErrorlog.h"
#include "ErrorTrap.h"
#include "FileSizeLimit.h"
#include "mGlobal.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

const QString Section = u"Settings"_s;
const QString Folders = u"/media/clips|/home/user/Video [2019]"_s;

QByteArray readBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestSettingsFaults : public QObject
{
    Q_OBJECT

private slots:
    // Killing the program in the middle of a change must leave the earlier
    // text or the new one: never a missing, empty or torn settings file.
    void killedWriterLeavesAWholeFile()
    {
        QTemporaryDir dir;
        const QString settings = dir.filePath(u"Settings.ini"_s);
        WriteIniKey(settings, Section, u"Extenions"_s, u"AVI|MPG|MKV"_s);
        WriteIniKey(settings, Section, u"MainFolder"_s, Folders);
        const QRegularExpression valueForm(u"^(\\d+):[a-z]*:end$"_s);
        QRandomGenerator rng(20240601);
        for (int round = 0; round < 50; ++round) {
            QProcess writer;
            writer.start(QStringLiteral(SETTINGS_WRITER), { settings, QString::number(qint64(round) * 1000000) });
            QVERIFY2(writer.waitForReadyRead(20000), "the writer never finished its first write");
            QThread::usleep(rng.bounded(40000));
            writer.kill();
            QVERIFY(writer.waitForFinished(10000));
            QCOMPARE(writer.exitStatus(), QProcess::CrashExit);

            // Read before ReadIniKey, which would create a missing file.
            const QByteArray bytes = readBytes(settings);
            QVERIFY2(bytes.endsWith("\r\n") && bytes.count('\n') == bytes.count("\r\n"),
                qPrintable(u"round %1: settings file missing, empty or torn"_s.arg(round)));
            QCOMPARE(ReadIniKey(settings, Section, u"Extenions"_s), u"AVI|MPG|MKV"_s);
            QCOMPARE(ReadIniKey(settings, Section, u"MainFolder"_s), Folders);
            const QString value = ReadIniKey(settings, Section, u"Value"_s);
            const QRegularExpressionMatch m = valueForm.match(value);
            QVERIFY2(m.hasMatch(), qPrintable(u"round %1: torn value %2"_s.arg(round).arg(value.left(60))));
            const qint64 i = m.captured(1).toLongLong();
            QCOMPARE(value, burstValue(i));
            // "ready" came after this round's first write, so an earlier round's value is a lost write.
            QCOMPARE(i / 1000000, qint64(round));
        }
    }

    // A write that runs out of room fails, reaches the error log through the
    // caller's trap and keeps every earlier setting. A file-size limit makes
    // the write fail as a full disk would, for root too.
    void fullDiskKeepsEarlierSettingsAndIsLogged()
    {
        QTemporaryDir dir;
        QTemporaryDir logDir;
        const QString settings = dir.filePath(u"Settings.ini"_s);
        WriteIniKey(settings, Section, u"Extenions"_s, u"AVI|MPG|MKV"_s);
        WriteIniKey(settings, Section, u"MainFolder"_s, Folders);
        const QByteArray before = readBytes(settings);
        const CErrorlog log(logDir.path(), u"tovrane"_s);
        const ErrorTrap step(log, u"frmTovrane"_s, u"AddFolder"_s);

        bool written = true;
        {
            const FileSizeLimit limit(1024);
            QVERIFY(limit.ok());
            written = step([&] { WriteIniKey(settings, Section, u"MainFolder"_s, Folders + u'|' + QString(2048, u'x')); });
        }

        QVERIFY2(!written, "the failed write reported success");
        QVERIFY2(readBytes(settings) == before, "the earlier settings were replaced by a partly written file");
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList { u"Settings.ini"_s });
        const QByteArray logText = readBytes(log.logFilePath(QDateTime::currentDateTime()));
        QCOMPARE(logText.count("----------------\r\n"), 1);
        QVERIFY2(logText.contains("Source procedure\t: AddFolder\r\nErr. Number     \t: 61\r\n"), logText.constData());
    }
};

QTEST_GUILESS_MAIN(TestSettingsFaults)
#include "tst_settingsfaults.moc"
