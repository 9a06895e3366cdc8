#include "RuntimeError.h"
#include "mGlobal.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;

// The settings file is compared byte for byte: other programs and hand edits
// rely on its exact layout.
class TestSettingsFile : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_ini;

    QByteArray bytes() const
    {
        QFile f(m_ini);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    void setBytes(const QByteArray &data) const
    {
        QFile f(m_ini);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(data);
    }
    QString read(const QString &key) const { return ReadIniKey(m_ini, u"Settings"_s, key); }
    void write(const QString &key, const QString &value) const { WriteIniKey(m_ini, u"Settings"_s, key, value); }

private slots:
    void init()
    {
        m_ini = m_dir.filePath(u"Settings.ini"_s);
        QFile::remove(m_ini);
    }

    void writeGivesExactlyTheseBytes_data()
    {
        QTest::addColumn<QByteArray>("before"); // "": no file yet
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("after");
        const auto row = [](const char *tag, const QByteArray &before, const QString &key, const QString &value,
                            const QByteArray &after) { QTest::newRow(tag) << before << key << value << after; };
        const QString accented = u"/Vidéos/Über|/Ärger"_s;
        const QByteArray bracketed = "MainFolder=/v/[2019] Holidays|/w\r\n";

        row("no file yet", "", "Mode", "1", "[Settings]\r\nMode=1\r\n");
        row("a new key goes first", "[Settings]\r\nMode=1\r\n", "Show", "0", "[Settings]\r\nShow=0\r\nMode=1\r\n");
        row("a key is replaced in place", "[Settings]\r\nShow=0\r\nMode=1\r\n", "Mode", "0",
            "[Settings]\r\nShow=0\r\nMode=0\r\n");
        row("header and key match without regard to case", "[settings]\r\nmode=1\r\n", "Mode", "0",
            "[settings]\r\nMode=0\r\n");
        row("an empty value", "[Settings]\r\nTemplate=/Home/Mine.AVT\r\n", "AvsFolder", "",
            "[Settings]\r\nAvsFolder=\r\nTemplate=/Home/Mine.AVT\r\n");
        row("non-ASCII text", "", "MainFolder", accented, "[Settings]\r\nMainFolder=" + accented.toUtf8() + "\r\n");
        row("last line without a line end", "[Settings]\r\nShow=1\r\nMode=1", "Mode", "0",
            "[Settings]\r\nShow=1\r\nMode=0\r\n");
        row("blanks around the equals sign are not the key", "[Settings]\r\nMainFolder = /a\r\n", "MainFolder", "/b",
            "[Settings]\r\nMainFolder=/b\r\nMainFolder = /a\r\n");
        row("other sections are kept apart",
            "[Other]\r\nMode=5\r\n\r\n[Settings]\r\nShow=1\r\n\r\n[Third]\r\nX=1\r\n", "Mode", "1",
            "[Other]\r\nMode=5\r\n\r\n[Settings]\r\nMode=1\r\nShow=1\r\n\r\n[Third]\r\nX=1\r\n");
        row("a key only in a later section is added to ours", "[Settings]\r\nShow=1\r\n\r\n[Third]\r\nX=1\r\n",
            "X", "2", "[Settings]\r\nX=2\r\nShow=1\r\n\r\n[Third]\r\nX=1\r\n");
        row("a missing section is appended", "[Other]\r\nA=1\r\n", "Mode", "1",
            "[Other]\r\nA=1\r\n\r\n[Settings]\r\nMode=1\r\n");
        row("empty-line runs collapse, control characters are trimmed",
            "\r\n\r\n[Settings]\r\nA=1\r\n\r\n\r\n\r\n\r\nB=2\t\r\n\r\n\r\n\x01", "A", "9",
            "[Settings]\r\nA=9\r\n\r\nB=2\r\n");
        // A "[" inside a value starts no section, above or below the new key.
        row("a key above a bracket in a value", "[Settings]\r\n" + bracketed + "Show=1\r\n", "Mode", "1",
            "[Settings]\r\nMode=1\r\n" + bracketed + "Show=1\r\n");
        row("a key below a bracket in a value", "[Settings]\r\nMode=1\r\n" + bracketed + "Show=1\r\n", "Show", "0",
            "[Settings]\r\nMode=1\r\n" + bracketed + "Show=0\r\n");
        // A file saved in a single-byte code page ends a line with a byte that
        // starts a multi-byte sequence here; the key on the next line must still
        // be the one updated, as it is the one a read finds.
        row("a stray byte before a line break", "[Settings]\r\nAvsFolder=/scripts/\xfc\r\nMODE=1\r\nmode=2\r\n", "Mode",
            "9", "[Settings]\r\nAvsFolder=/scripts/\xfc\r\nMode=9\r\nmode=2\r\n");
        row("a stray byte before the last line", "[Settings]\r\nAvsFolder=/scripts/\xf1\r\nSHOW=1", "Show", "0",
            "[Settings]\r\nAvsFolder=/scripts/\xf1\r\nShow=0\r\n");
        row("lone LF and CR become CR LF", "[Settings]\nShow=1\nMode=1\n\n[Other]\rMode=7\r", "Mode", "0",
            "[Settings]\r\nShow=1\r\nMode=0\r\n\r\n[Other]\r\nMode=7\r\n");
    }
    void writeGivesExactlyTheseBytes()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, key);
        QFETCH(QString, value);
        if (!before.isEmpty())
            setBytes(before);
        write(key, value);
        QTEST(bytes(), "after");
        QCOMPARE(read(key), value);
    }

    // Reads the write rows above do not already make.
    void readFindsTheFirstMatch_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        const QByteArray twice = "[Settings]\r\nA=1\r\n[Other]\r\nB=2\r\n[Settings]\r\nB=3\r\nA=4\r\n";
        const QByteArray lineEnds = "[Settings]\nShow=1\nMode=1\n\n[Other]\rMode=7\r";
        QTest::newRow("first match wins") << twice << "Settings" << "a" << "1";
        QTest::newRow("a later header is searched too") << twice << "Settings" << "B" << "3";
        QTest::newRow("blanks around the equals sign") << QByteArray("[Settings]\r\nMode = 1\r\n") << "Settings"
                                                       << "Mode" << "";
        QTest::newRow("lone LF") << lineEnds << "Settings" << "Mode" << "1";
        QTest::newRow("lone CR") << lineEnds << "Other" << "Mode" << "7";
    }
    void readFindsTheFirstMatch()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, section);
        QFETCH(QString, key);
        setBytes(file);
        QTEST(ReadIniKey(m_ini, section, key), "value");
        QCOMPARE(bytes(), file);
    }

    void readOnlyFileIsMadeWritable()
    {
        write(u"Mode"_s, u"1"_s);
        QFile::setPermissions(m_ini, QFileDevice::ReadOwner);
        write(u"Mode"_s, u"0"_s);
        QCOMPARE(read(u"Mode"_s), u"0"_s);
        QVERIFY(QFile::permissions(m_ini) & QFileDevice::WriteOwner);
    }

    void largeFilesAreWrittenWholly()
    {
        QByteArray big = "[Settings]\r\n";
        for (int i = 0; big.size() < 101000; ++i)
            big += "Key" + QByteArray::number(i) + "=" + QByteArray(40, 'x') + "\r\n";
        setBytes(big);
        write(u"Key1500"_s, u"changed"_s);
        QCOMPARE(bytes(), big.replace("Key1500=" + QByteArray(40, 'x'), "Key1500=changed"));
    }

    void lineBreaksAndForgedHeadersAreRefused()
    {
        write(u"Mode"_s, u"1"_s);
        const QByteArray before = bytes();
        for (const auto &[key, value] : {std::pair {u"MainFolder"_s, u"/a\n[Settings]\nMode=0"_s},
                                         std::pair {u"Main\rFolder"_s, u"/a"_s}, std::pair {u"[Other"_s, u"x"_s},
                                         std::pair {u"Mode=1\r"_s, u"x"_s}, std::pair {u"A=B"_s, u"x"_s}}) {
            try {
                write(key, value);
                QFAIL(qPrintable(u"written: "_s + key));
            } catch (const RuntimeError &e) {
                QCOMPARE(e.number(), ErrNum::InvalidProcedureCall);
            }
            QCOMPARE(bytes(), before);
        }
    }

    void fileSystemFailuresReachTheCaller()
    {
        const QString missing = m_dir.filePath(u"no/such/folder/Settings.ini"_s);
        try {
            ReadIniKey(missing, u"Settings"_s, u"Mode"_s);
            QFAIL("no failure");
        } catch (const RuntimeError &e) {
            QVERIFY(e.number() == ErrNum::FileNotFound || e.number() == ErrNum::PathNotFound);
        }
        QVERIFY_THROWS_EXCEPTION(RuntimeError, WriteIniKey(missing, u"S"_s, u"K"_s, u"V"_s));
    }

    void sharedHelpers()
    {
        QCOMPARE(UCasePart(u"d:\\clips"_s, 1, 2), u"D:\\clips"_s);
        QCOMPARE(UCasePart(u"abc"_s, 2, 5), u"BC"_s);
        QVERIFY_THROWS_EXCEPTION(RuntimeError, UCasePart(u"abc"_s, 0, 1));

        // Zero means "not found": skipped, and ties go to the lowest index.
        QCOMPARE(GetLowestIndex({0, 7, 3, 3}), 2);
        QCOMPARE(GetLowestIndex({9, 0, 9}), 0);
        QCOMPARE(GetLowestIndex({0, 0}), 0);
        QCOMPARE(GetLowestIndex({}), 0);

        // The conversion is the platform's; the errors must reach the caller.
        QCOMPARE(CInt(u" 3.5 "_s), qint16(4));
        try {
            CInt(u"32767.5"_s);
            QFAIL("no overflow");
        } catch (const RuntimeError &e) {
            QCOMPARE(e.number(), ErrNum::Overflow);
        }
    }
};

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "tst_settingsfile.moc"
