#include "RuntimeError.h"
#include "mGlobal.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

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
    QString read(const QString &key) const { return ReadIniKey(m_ini, QStringLiteral("Settings"), key); }
    void write(const QString &key, const QString &value) const
    {
        WriteIniKey(m_ini, QStringLiteral("Settings"), key, value);
    }

private slots:
    void init()
    {
        m_ini = m_dir.filePath(QStringLiteral("Settings.ini"));
        QFile::remove(m_ini);
    }

    void readingCreatesAMissingFileEmpty()
    {
        QCOMPARE(read(QStringLiteral("Mode")), QString());
        QVERIFY(QFile::exists(m_ini));
        QCOMPARE(bytes(), QByteArray());
    }

    void writesProduceTheExpectedBytes()
    {
        write(QStringLiteral("Mode"), QStringLiteral("1"));
        QCOMPARE(bytes(), QByteArray("[Settings]\r\nMode=1\r\n"));
        write(QStringLiteral("Show"), QStringLiteral("0"));
        QCOMPARE(bytes(), QByteArray("[Settings]\r\nShow=0\r\nMode=1\r\n"));
        write(QStringLiteral("Mode"), QStringLiteral("0"));
        QCOMPARE(bytes(), QByteArray("[Settings]\r\nShow=0\r\nMode=0\r\n"));
        QCOMPARE(read(QStringLiteral("MODE")), QStringLiteral("0"));
    }

    void sectionsAndKeysMatchWithoutRegardToCase()
    {
        setBytes("[settings]\r\nmode=1\r\n");
        QCOMPARE(read(QStringLiteral("Mode")), QStringLiteral("1"));
        write(QStringLiteral("Mode"), QStringLiteral("0"));
        QCOMPARE(bytes(), QByteArray("[settings]\r\nMode=0\r\n"));
    }

    void lastLineWithoutLineEndIsUpdatedAndEnded()
    {
        setBytes("[Settings]\r\nShow=1\r\nMode=1");
        write(QStringLiteral("Mode"), QStringLiteral("0"));
        QCOMPARE(bytes(), QByteArray("[Settings]\r\nShow=1\r\nMode=0\r\n"));
    }

    void blanksAroundTheEqualsSignAreNotTheKey()
    {
        setBytes("[Settings]\r\nMainFolder = /a\r\n");
        QCOMPARE(read(QStringLiteral("MainFolder")), QString());
        write(QStringLiteral("MainFolder"), QStringLiteral("/b"));
        QCOMPARE(bytes(), QByteArray("[Settings]\r\nMainFolder=/b\r\nMainFolder = /a\r\n"));
    }

    void otherSectionsAreKeptApart()
    {
        setBytes("[Other]\r\nMode=5\r\n\r\n[Settings]\r\nShow=1\r\n\r\n[Third]\r\nX=1\r\n");
        QCOMPARE(read(QStringLiteral("Mode")), QString());
        QCOMPARE(ReadIniKey(m_ini, QStringLiteral("OTHER"), QStringLiteral("mode")), QStringLiteral("5"));
        write(QStringLiteral("Mode"), QStringLiteral("1"));
        QCOMPARE(bytes(),
                 QByteArray("[Other]\r\nMode=5\r\n\r\n[Settings]\r\nMode=1\r\nShow=1\r\n\r\n[Third]\r\nX=1\r\n"));
        // A key that exists in a later section only is added to ours.
        write(QStringLiteral("X"), QStringLiteral("2"));
        QCOMPARE(ReadIniKey(m_ini, QStringLiteral("Third"), QStringLiteral("X")), QStringLiteral("1"));
        QCOMPARE(read(QStringLiteral("X")), QStringLiteral("2"));
    }

    void aMissingSectionIsAppended()
    {
        setBytes("[Other]\r\nA=1\r\n");
        write(QStringLiteral("Mode"), QStringLiteral("1"));
        QCOMPARE(bytes(), QByteArray("[Other]\r\nA=1\r\n\r\n[Settings]\r\nMode=1\r\n"));
    }

    void firstMatchWinsAndLaterHeadersAreSearched()
    {
        setBytes("[Settings]\r\nA=1\r\n[Other]\r\nB=2\r\n[Settings]\r\nB=3\r\nA=4\r\n");
        QCOMPARE(read(QStringLiteral("A")), QStringLiteral("1"));
        QCOMPARE(read(QStringLiteral("B")), QStringLiteral("3"));
        QCOMPARE(read(QStringLiteral("a")), QStringLiteral("1"));
    }

    void emptyLineRunsCollapseAndControlCharactersAreTrimmed()
    {
        setBytes("\r\n\r\n[Settings]\r\nA=1\r\n\r\n\r\n\r\n\r\nB=2\t\r\n\r\n\r\n\x01");
        write(QStringLiteral("A"), QStringLiteral("9"));
        QCOMPARE(bytes(), QByteArray("[Settings]\r\nA=9\r\n\r\nB=2\r\n"));
    }

    void valuesKeepTheirCaseAndMayBeEmpty()
    {
        write(QStringLiteral("Template"), QStringLiteral("/Home/Mine.AVT"));
        QCOMPARE(read(QStringLiteral("template")), QStringLiteral("/Home/Mine.AVT"));
        write(QStringLiteral("AvsFolder"), QString());
        QCOMPARE(bytes(), QByteArray("[Settings]\r\nAvsFolder=\r\nTemplate=/Home/Mine.AVT\r\n"));
        QCOMPARE(read(QStringLiteral("AvsFolder")), QString());
    }

    void nonAsciiTextRoundTrips()
    {
        const QString folder = QStringLiteral("/Vidéos/Über|/Ärger");
        write(QStringLiteral("MainFolder"), folder);
        QCOMPARE(read(QStringLiteral("MainFolder")), folder);
        QCOMPARE(bytes(), QByteArray("[Settings]\r\nMainFolder=") + folder.toUtf8() + "\r\n");
    }

    void readOnlyFileIsMadeWritable()
    {
        write(QStringLiteral("Mode"), QStringLiteral("1"));
        QFile::setPermissions(m_ini, QFileDevice::ReadOwner);
        write(QStringLiteral("Mode"), QStringLiteral("0"));
        QCOMPARE(read(QStringLiteral("Mode")), QStringLiteral("0"));
        QVERIFY(QFile::permissions(m_ini) & QFileDevice::WriteOwner);
    }

    // --- mends ---

    void largeFilesAreWrittenWholly()
    {
        QByteArray big = "[Settings]\r\n";
        for (int i = 0; big.size() < 101000; ++i)
            big += "Key" + QByteArray::number(i) + "=" + QByteArray(40, 'x') + "\r\n";
        setBytes(big);
        write(QStringLiteral("Last"), QStringLiteral("1"));
        write(QStringLiteral("Key1500"), QStringLiteral("changed"));
        QCOMPARE(read(QStringLiteral("Last")), QStringLiteral("1"));
        QCOMPARE(read(QStringLiteral("Key1500")), QStringLiteral("changed"));
        QCOMPARE(read(QStringLiteral("Key1501")), QString(40, QLatin1Char('x')));
        QVERIFY(bytes().size() > 100000);
    }

    void aBracketInsideAValueHidesNothing()
    {
        write(QStringLiteral("Show"), QStringLiteral("1"));
        write(QStringLiteral("MainFolder"), QStringLiteral("/v/[2019] Holidays|/w"));
        write(QStringLiteral("Mode"), QStringLiteral("1"));
        // Mode now stands above MainFolder, Show below it.
        QCOMPARE(bytes(), QByteArray("[Settings]\r\nMode=1\r\nMainFolder=/v/[2019] Holidays|/w\r\nShow=1\r\n"));
        QCOMPARE(read(QStringLiteral("MainFolder")), QStringLiteral("/v/[2019] Holidays|/w"));
        QCOMPARE(read(QStringLiteral("Show")), QStringLiteral("1"));
        write(QStringLiteral("Show"), QStringLiteral("0"));
        QCOMPARE(bytes(), QByteArray("[Settings]\r\nMode=1\r\nMainFolder=/v/[2019] Holidays|/w\r\nShow=0\r\n"));
    }

    // A file saved by another editor in a single-byte code page ends a line
    // with a byte that starts a multi-byte sequence in the local encoding.
    // The write must still find the key on the next line, the one a read
    // finds, and neither update a later line nor add a second one.
    void aStrayByteBeforeALineBreakHidesNoKey()
    {
        setBytes("[Settings]\r\nAvsFolder=/scripts/\xfc\r\nMODE=1\r\nmode=2\r\n");
        QCOMPARE(read(QStringLiteral("Mode")), QStringLiteral("1"));
        write(QStringLiteral("Mode"), QStringLiteral("9"));
        QCOMPARE(read(QStringLiteral("Mode")), QStringLiteral("9"));
        QCOMPARE(bytes(), QByteArray("[Settings]\r\nAvsFolder=/scripts/\xfc\r\nMode=9\r\nmode=2\r\n"));

        setBytes("[Settings]\r\nAvsFolder=/scripts/\xf1\r\nSHOW=1");
        write(QStringLiteral("Show"), QStringLiteral("0"));
        QCOMPARE(bytes(), QByteArray("[Settings]\r\nAvsFolder=/scripts/\xf1\r\nShow=0\r\n"));
    }

    void otherLineEndsReadAndAreRewrittenAsCrLf()
    {
        setBytes("[Settings]\nShow=1\nMode=1\n\n[Other]\rMode=7\r");
        QCOMPARE(read(QStringLiteral("Mode")), QStringLiteral("1"));
        QCOMPARE(ReadIniKey(m_ini, QStringLiteral("Other"), QStringLiteral("Mode")), QStringLiteral("7"));
        write(QStringLiteral("Mode"), QStringLiteral("0"));
        QCOMPARE(bytes(), QByteArray("[Settings]\r\nShow=1\r\nMode=0\r\n\r\n[Other]\r\nMode=7\r\n"));
    }

    void lineBreaksInAKeyOrValueAreRefused()
    {
        write(QStringLiteral("Mode"), QStringLiteral("1"));
        const QByteArray before = bytes();
        for (const auto &[key, value] : {std::pair{QStringLiteral("MainFolder"), QStringLiteral("/a\n[Settings]\nMode=0")},
                                        std::pair{QStringLiteral("Main\rFolder"), QStringLiteral("/a")},
                                        std::pair{QStringLiteral("[Other"), QStringLiteral("x")},
                                        std::pair{QStringLiteral("Mode=1\r"), QStringLiteral("x")},
                                        std::pair{QStringLiteral("A=B"), QStringLiteral("x")}}) {
            try {
                write(key, value);
                QFAIL("a line break was written");
            } catch (const RuntimeError &e) {
                QCOMPARE(e.number(), ErrNum::InvalidProcedureCall);
            }
            QCOMPARE(bytes(), before);
        }
    }

    void fileSystemFailuresReachTheCaller()
    {
        const QString missing = m_dir.filePath(QStringLiteral("no/such/folder/Settings.ini"));
        try {
            ReadIniKey(missing, QStringLiteral("Settings"), QStringLiteral("Mode"));
            QFAIL("no failure");
        } catch (const RuntimeError &e) {
            QVERIFY(e.number() == ErrNum::FileNotFound || e.number() == ErrNum::PathNotFound);
        }
        QVERIFY_THROWS_EXCEPTION(RuntimeError, WriteIniKey(missing, QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("V")));
    }

    // --- helpers of the shared module ---

    void ucasePart()
    {
        QCOMPARE(UCasePart(QStringLiteral("d:\\clips"), 1, 2), QStringLiteral("D:\\clips"));
        QCOMPARE(UCasePart(QStringLiteral("d:\\clips"), 1, 0), QStringLiteral("d:\\clips"));
        QCOMPARE(UCasePart(QStringLiteral("abc"), 2, 5), QStringLiteral("BC"));
        QVERIFY_THROWS_EXCEPTION(RuntimeError, UCasePart(QStringLiteral("abc"), 0, 1));
    }

    void getLowestIndex()
    {
        QCOMPARE(GetLowestIndex({0, 7, 3, 3}), 2);
        QCOMPARE(GetLowestIndex({0, 0}), 0);
        QCOMPARE(GetLowestIndex({5}), 0);
        QCOMPARE(GetLowestIndex({9, 0, 9}), 0);
        QCOMPARE(GetLowestIndex({}), 0);
    }

    void classicIntegerConversion()
    {
        QCOMPARE(CInt(QStringLiteral(" 1 ")), qint16(1));
        QCOMPARE(CInt(QStringLiteral("2.5")), qint16(2));
        QCOMPARE(CInt(QStringLiteral("3.5")), qint16(4));
        QCOMPARE(CInt(QStringLiteral("-32768")), qint16(-32768));
        for (const auto &[text, number] : {std::pair{QStringLiteral(""), ErrNum::TypeMismatch},
                                           std::pair{QStringLiteral("abc"), ErrNum::TypeMismatch},
                                           std::pair{QStringLiteral("32767.5"), ErrNum::Overflow},
                                           std::pair{QStringLiteral("99999"), ErrNum::Overflow}}) {
            try {
                CInt(text);
                QFAIL(qPrintable(QStringLiteral("no failure for ") + text));
            } catch (const RuntimeError &e) {
                QCOMPARE(e.number(), number);
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "tst_settingsfile.moc"
