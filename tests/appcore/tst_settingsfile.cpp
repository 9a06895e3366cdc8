#include "../common/TestFiles.h"
#include "RuntimeError.h"
#include "mGlobal.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace errorlog;

using namespace appcore;

using namespace Qt::StringLiterals;

namespace {

// The error number `work` fails with; 0 when it does not fail.
template <typename Work> qint32 failure(Work work)
{
    try {
        work();
    } catch (const RuntimeError &e) {
        return e.number();
    }
    return 0;
}

// `text` as UTF-16 with its byte-order mark, as Windows' Notepad saves "Unicode".
QByteArray utf16(const QString &text, bool littleEndian = true)
{
    QByteArray bytes = littleEndian ? "\xFF\xFE" : "\xFE\xFF";
    for (const QChar c : text) {
        const char low = char(c.unicode() & 0xFF), high = char(c.unicode() >> 8);
        bytes.append(littleEndian ? low : high).append(littleEndian ? high : low);
    }
    return bytes;
}

} // namespace

// The settings file is compared byte for byte: other programs and hand edits
// rely on its exact layout.
class TestSettingsFile : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    const QString m_ini = m_dir.filePath(u"Settings.ini"_s);

    QByteArray bytes() const { return readBytes(m_ini); }
    QString read(const QString &key) const { return ReadIniKey(m_ini, u"Settings"_s, key); }
    void write(const QString &key, const QString &value) const { WriteIniKey(m_ini, u"Settings"_s, key, value); }

private slots:
    void init() { QFile::remove(m_ini); }

    void writeGivesExactlyTheseBytes_data()
    {
        QTest::addColumn<QByteArray>("before"); // "": no file yet
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("after");
        const auto row = [](const char *tag, const QByteArray &before, const QString &key, const QString &value,
                             const QByteArray &after) { QTest::newRow(tag) << before << key << value << after; };
        const QByteArray bracketed = "MainFolder=/v/[2019] Holidays|/w";

        // Every line written ends in CR LF; `after` is written with LF alone.
        row("no file yet", "", "Mode", "1", "[Settings]\nMode=1\n");
        row("a new key goes first", "[Settings]\r\nMode=1\r\n", "Show", "0", "[Settings]\nShow=0\nMode=1\n");
        row("replaced in place", "[Settings]\r\nShow=0\r\nMode=1\r\n", "Mode", "0", "[Settings]\nShow=0\nMode=0\n");
        row("names without regard to case", "[settings]\r\nmode=1\r\n", "Mode", "0", "[settings]\nMode=0\n");
        row("an empty value", "[Settings]\r\nTemplate=/Home/Mine.AVT\r\n", "AvsFolder", "",
            "[Settings]\nAvsFolder=\nTemplate=/Home/Mine.AVT\n");
        row("last line without a line end", "[Settings]\r\nShow=1\r\nMode=1", "Mode", "0",
            "[Settings]\nShow=1\nMode=0\n");
        row("blanks around the equals sign are not the key", "[Settings]\r\nMainFolder = /a\r\n", "MainFolder", "/b",
            "[Settings]\nMainFolder=/b\nMainFolder = /a\n");
        row("other sections are kept apart", "[Other]\r\nMode=5\r\n\r\n[Settings]\r\nShow=1\r\n\r\n[Third]\r\nX=1\r\n",
            "Mode", "1", "[Other]\nMode=5\n\n[Settings]\nMode=1\nShow=1\n\n[Third]\nX=1\n");
        row("a key only in a later section is added to ours", "[Settings]\r\nShow=1\r\n\r\n[Third]\r\nX=1\r\n", "X",
            "2", "[Settings]\nX=2\nShow=1\n\n[Third]\nX=1\n");
        row("a missing section is appended", "[Other]\r\nA=1\r\n", "Mode", "1", "[Other]\nA=1\n\n[Settings]\nMode=1\n");
        row("empty-line runs collapse, control characters are trimmed",
            "\r\n\r\n[Settings]\r\nA=1\r\n\r\n\r\n\r\n\r\nB=2\t\r\n\r\n\r\n\x01", "A", "9", "[Settings]\nA=9\n\nB=2\n");
        // A "[" inside a value starts no section, above or below the new key.
        row("a key above a bracket in a value", "[Settings]\r\n" + bracketed + "\r\nShow=1\r\n", "Mode", "1",
            "[Settings]\nMode=1\n" + bracketed + "\nShow=1\n");
        row("a key below a bracket in a value", "[Settings]\r\nMode=1\r\n" + bracketed + "\r\nShow=1\r\n", "Show", "0",
            "[Settings]\nMode=1\n" + bracketed + "\nShow=0\n");
        // A file saved in a single-byte code page ends a line with a byte that
        // starts a multi-byte sequence here; the key on the next line must still
        // be the one updated, as it is the one a read finds.
        row("a stray byte before a line break", "[Settings]\r\nAvsFolder=/\xfc\r\nMODE=1\r\nmode=2\r\n", "Mode", "9",
            "[Settings]\nAvsFolder=/\xfc\nMode=9\nmode=2\n");
        row("a stray byte before the last line", "[Settings]\r\nAvsFolder=/\xf1\r\nSHOW=1", "Show", "0",
            "[Settings]\nAvsFolder=/\xf1\nShow=0\n");
        // Only a header that a line break ends is one: the section is added
        // again, and both are read.
        row("a header on an unfinished last line", "[Other]\r\nA=1\r\n[Settings]", "Mode", "1",
            "[Other]\nA=1\n[Settings]\n\n[Settings]\nMode=1\n");
        row("lone LF and CR", "[Settings]\nShow=1\nMode=1\n\n[Other]\rMode=7\r", "Mode", "0",
            "[Settings]\nShow=1\nMode=0\n\n[Other]\nMode=7\n");
    }
    void writeGivesExactlyTheseBytes()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, key);
        QFETCH(QString, value);
        if (!before.isEmpty())
            QVERIFY(put(m_ini, before));
        write(key, value);
        QFETCH(QByteArray, after);
        QCOMPARE(bytes(), after.replace("\n", "\r\n"));
        QCOMPARE(read(key), value);
    }

    // Reads the write rows above do not already make; none changes the file.
    void readFindsTheFirstMatch()
    {
        const QByteArray twice = "[Settings]\r\nA=1\r\n[Other]\r\nB=2\r\n[Settings]\r\nB=3\r\nA=4\r\n";
        const QByteArray lineEnds = "[Settings]\nShow=1\nMode=1\n\n[Other]\rMode=7\r";
        for (const auto &[file, section, key, value] :
            { std::tuple { twice, "Settings", "a", "1" }, std::tuple { twice, "Settings", "B", "3" },
                std::tuple { QByteArray("[Settings]\r\nMode = 1\r\n"), "Settings", "Mode", "" },
                std::tuple { lineEnds, "Other", "Mode", "7" } }) {
            QVERIFY(put(m_ini, file));
            QCOMPARE(
                ReadIniKey(m_ini, QString::fromLatin1(section), QString::fromLatin1(key)), QString::fromLatin1(value));
            QCOMPARE(bytes(), file);
        }
    }

    // A large file is changed in place, whole; a read-only one is made writable.
    void largeAndReadOnlyFiles()
    {
        QByteArray big = "[Settings]\r\n";
        for (int i = 0; big.size() < 101000; ++i)
            big += "Key" + QByteArray::number(i) + "=" + QByteArray(40, 'x') + "\r\n";
        QVERIFY(put(m_ini, big) && QFile::setPermissions(m_ini, QFileDevice::ReadOwner));
        write(u"Key1500"_s, u"changed"_s);
        QCOMPARE(bytes(), big.replace("Key1500=" + QByteArray(40, 'x'), "Key1500=changed"));
        QVERIFY(QFile::permissions(m_ini) & QFileDevice::WriteOwner);
    }

    // A file saved as UTF-16, either byte order, is read, and written back in
    // UTF-16 of the same order with its mark: what was not edited comes back
    // unit for unit, characters beyond any code page included.
    void utf16FilesStayUtf16()
    {
        for (const bool little : { true, false }) {
            const QString folders = u"/v/vid\u00e9os|/\u65e5\u672c \U0001D11E"_s;
            QVERIFY(put(m_ini, utf16(u"[SETTINGS]\r\nmode=1\r\nMainFolder="_s + folders + u"\r\n"_s, little)));
            QCOMPARE(read(u"Mode"_s), u"1"_s);
            QCOMPARE(read(u"MainFolder"_s), folders);
            write(u"Show"_s, u"0"_s);
            write(u"Mode"_s, u"0"_s);
            write(u"AvsFolder"_s, u"/\u03a9mega"_s);
            QCOMPARE(bytes(),
                utf16(u"[SETTINGS]\r\nAvsFolder=/\u03a9mega\r\nShow=0\r\nMode=0\r\nMainFolder="_s + folders + u"\r\n"_s,
                    little));
            QCOMPARE(read(u"AvsFolder"_s), u"/\u03a9mega"_s);
            QCOMPARE(read(u"MainFolder"_s), folders);
        }
    }

    // What a crash can leave before the text on some file systems (NUL
    // bytes), and other control characters up to CR, lead no line: the
    // header behind them, before or after a byte-order mark, is found by a
    // read and by a write alike, and the write drops them, so a choice is
    // written into the section a read finds.
    void controlCharactersBeforeTheHeader_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");
        const QByteArray body = "[Settings]\r\nMode=0\r\nShow=1\r\n", written = "[Settings]\r\nMode=1\r\nShow=1\r\n";
        const QByteArray bom = "\xEF\xBB\xBF";
        QTest::newRow("nine NUL bytes before a byte-order mark") << QByteArray(9, '\0') + bom + body << bom + written;
        QTest::newRow("NUL bytes after a byte-order mark") << bom + QByteArray(3, '\0') + body << bom + written;
        QTest::newRow("a tab") << "\t" + body << written;
        QTest::newRow("a line end, then a NUL byte") << "\r\n" + QByteArray(1, '\0') + body << written;
        QTest::newRow("NUL bytes before a UTF-16 mark")
            << QByteArray(4, '\0') + utf16(QString::fromLatin1(body)) << utf16(QString::fromLatin1(written));
        QTest::newRow("NUL units after a UTF-16 mark") << utf16(QString(2, QChar(0)) + QString::fromLatin1(body), false)
                                                       << utf16(QString::fromLatin1(written), false);
    }
    void controlCharactersBeforeTheHeader()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        QVERIFY(put(m_ini, before));
        QCOMPARE(read(u"Mode"_s), u"0"_s);
        write(u"Mode"_s, u"1"_s);
        QCOMPARE(bytes(), after);
        QCOMPARE(read(u"Mode"_s), u"1"_s);
        QCOMPARE(read(u"Show"_s), u"1"_s);
    }

    void lineBreaksForgedHeadersAndMissingFoldersFail()
    {
        write(u"Mode"_s, u"1"_s);
        const QByteArray before = bytes();
        for (const auto &[key, value] : { std::pair { u"MainFolder"_s, u"/a\n[Settings]\nMode=0"_s },
                 std::pair { u"Main\rFolder"_s, u"/a"_s }, std::pair { u"[Other"_s, u"x"_s },
                 std::pair { u"Mode=1\r"_s, u"x"_s }, std::pair { u"A=B"_s, u"x"_s } }) {
            QCOMPARE(failure([&] { write(key, value); }), ErrNum::InvalidProcedureCall);
            QCOMPARE(bytes(), before);
        }

        const QString missing = m_dir.filePath(u"no/such/folder/Settings.ini"_s);
        const qint32 readError = failure([&] { ReadIniKey(missing, u"Settings"_s, u"Mode"_s); });
        QVERIFY(readError == ErrNum::FileNotFound || readError == ErrNum::PathNotFound);
        QVERIFY(failure([&] { WriteIniKey(missing, u"S"_s, u"K"_s, u"V"_s); }) != 0);
    }

    void sharedHelpers()
    {
        QCOMPARE(UCasePart(u"d:\\clips"_s, 1, 2), u"D:\\clips"_s);
        QCOMPARE(UCasePart(u"abc"_s, 2, 5), u"BC"_s);
        QCOMPARE(failure([] { UCasePart(u"abc"_s, 0, 1); }), ErrNum::InvalidProcedureCall);

        // Zero means "not found": skipped, and ties go to the lowest index.
        QCOMPARE(GetLowestIndex({ 0, 7, 3, 3 }), 2);
        QCOMPARE(GetLowestIndex({ 9, 0, 9 }), 0);
        QCOMPARE(GetLowestIndex({ 0, 0 }), 0);
        QCOMPARE(GetLowestIndex({}), 0);
    }
};

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "tst_settingsfile.moc"
