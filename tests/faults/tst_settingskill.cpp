#include "BurstValue.h"
#include "mGlobal.h"

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

// The settings a user has before the trouble starts; none may be lost.
const QList<std::pair<QString, QString>> Earlier {
    { u"Extenions"_s, u"AVI|MPG|MKV"_s },
    { u"ScriptExtensions"_s, u"avs|avsi"_s },
    { u"MainFolder"_s, u"/media/clips|/home/user/Video [2019]"_s },
    { u"Mode"_s, u"1"_s },
    { u"Splash"_s, u"0"_s },
};

QByteArray readBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestSettingsKill : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString settingsPath() const { return m_dir.filePath(u"Settings.ini"_s); }

    void writeEarlierSettings() const
    {
        for (const auto &[key, value] : Earlier)
            WriteIniKey(settingsPath(), Section, key, value);
    }

private slots:
    // Killing the program in the middle of a change must leave the settings
    // file whole: the previous or the new text, never a torn one.
    void killedDuringWritesLeavesAWholeFile()
    {
        writeEarlierSettings();
        QRandomGenerator rng(20240601);
        const QRegularExpression valueForm(u"^(\\d+):([a-z]*):end$"_s);
        constexpr int Rounds = 50;
        for (int round = 0; round < Rounds; ++round) {
            QProcess writer;
            writer.start(QStringLiteral(SETTINGS_WRITER),
                { u"burst"_s, settingsPath(), QString::number(qint64(round) * 1000000) });
            QVERIFY2(writer.waitForStarted(10000), qPrintable(writer.errorString()));
            QVERIFY2(writer.waitForReadyRead(20000), "the writer never finished its first write");
            QCOMPARE(writer.readAllStandardOutput(), QByteArray("ready\n"));
            QThread::usleep(rng.bounded(40000));
            writer.kill();
            QVERIFY(writer.waitForFinished(10000));
            QCOMPARE(writer.exitStatus(), QProcess::CrashExit);

            const QByteArray bytes = readBytes(settingsPath());
            QVERIFY2(!bytes.isEmpty(), qPrintable(u"round %1: settings file missing or empty"_s.arg(round)));
            QVERIFY2(bytes.endsWith("\r\n"), qPrintable(u"round %1: file does not end with CR LF"_s.arg(round)));
            QCOMPARE(bytes.count('\n'), bytes.count("\r\n"));

            for (const auto &[key, value] : Earlier)
                QCOMPARE(ReadIniKey(settingsPath(), Section, key), value);
            const QString value = ReadIniKey(settingsPath(), Section, u"Value"_s);
            const QRegularExpressionMatch m = valueForm.match(value);
            QVERIFY2(m.hasMatch(), qPrintable(u"round %1: torn value %2"_s.arg(round).arg(value.left(60))));
            const qint64 i = m.captured(1).toLongLong();
            QCOMPARE(value, burstValue(i));
            // This round's writer had finished its first write before the kill.
            QCOMPARE(i / 1000000, qint64(round));
        }
    }
};

QTEST_GUILESS_MAIN(TestSettingsKill)
#include "tst_settingskill.moc"
