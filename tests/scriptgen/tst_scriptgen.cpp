#include "CErrorlog.h"
#include "ClipRow.h"
#include "ErrorTrap.h"
#include "ScriptBuild.h"
#include "Substitute.h"
#include "TemplateFile.h"
#include "Unprivileged.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#ifdef Q_OS_LINUX
#include "FileSizeLimit.h"
#endif

using namespace Qt::StringLiterals;

namespace {

const QString sep = QDir::separator();

QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

bool put(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

ClipRow clip(const QString &file, const QString &location, bool checked = true)
{
    return ClipRow { checked, file, location, u"-"_s };
}

// The editor text a template load gives, or nullopt.
std::optional<QString> loaded(const QString &file, const QString &def)
{
    const std::optional<TemplateText> t = readTemplateText(file, def);
    return t ? std::optional<QString>(t->text) : std::nullopt;
}

BuildOptions options(const QString &templ, const QString &avsFolder = {}, bool specific = false, bool ask = false)
{
    return BuildOptions { templ, u"AVS"_s, ask, specific, avsFolder };
}

} // namespace

class TestScriptGen : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp;
    QString m_root; // a fresh folder per test
    std::unique_ptr<CErrorlog> m_log;

    QString dir(const QString &name) const
    {
        QDir().mkpath(m_root + sep + name);
        return m_root + sep + name;
    }
    QStringList entries(const QString &path) const
    {
        return QDir(path).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }
    ErrorTrap trap(const QString &procedure) const { return ErrorTrap(*m_log, u"frmTovrane"_s, procedure); }
    QByteArray logText() const { return contents(m_log->logFilePath(QDateTime::currentDateTime())); }
    // All records, or those with one error number.
    int records(const QByteArray &errNum = {}) const
    {
        return int(
            logText().count(errNum.isEmpty() ? "----------------\r\n" : "Err. Number     \t: " + errNum + "\r\n"));
    }

private slots:
    void init()
    {
        static int n = 0;
        m_root = m_tmp.path() + sep + QString::number(++n);
        QVERIFY(QDir().mkpath(m_root + u"-log"_s));
        m_log = std::make_unique<CErrorlog>(m_root + u"-log"_s, u"tovrane"_s);
    }

    void substitution_data()
    {
        QTest::addColumn<QString>("templ");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("location");
        QTest::addColumn<QString>("expected");
        QTest::newRow("every occurrence")
            << u"%PATH%/%CLIP%.%EXT% %CLIP%%CLIP%"_s << u"a.b.avi"_s << u"/v"_s << u"/v/a.b.avi a.ba.b"_s;
        QTest::newRow("name ending in a dot") << u"%CLIP%|%EXT%"_s << u"clip."_s << u"/v"_s << u"clip|"_s;
        QTest::newRow("other case and other percent text are plain")
            << u"%clip% %Ext% %FOO% 100% %CLIP"_s << u"x.avi"_s << u"/v"_s << u"%clip% %Ext% %FOO% 100% %CLIP"_s;
        // %EXT% is replaced after %CLIP%, so it also hits what the clip name brought in,
        QTest::newRow("clip name holding %EXT%") << u"%CLIP%"_s << u"x%EXT%.avi"_s << u"/v"_s << u"xavi"_s;
        // while the folder comes last and keeps its text.
        QTest::newRow("folder holding %CLIP%") << u"%PATH%|%CLIP%"_s << u"x.avi"_s << u"/%CLIP%"_s << u"/%CLIP%|x"_s;
    }
    void substitution()
    {
        QFETCH(QString, templ);
        QFETCH(QString, file);
        QFETCH(QString, location);
        const ClipNameParts parts = splitClipFileName(file);
        QTEST(substitutePlaceholders(templ, parts.clip, parts.ext, location), "expected");
    }

    void perClipWritesEachCheckedClipExactly()
    {
        const QString a = dir(u"a"_s), b = dir(u"b"_s);
        const QList<ClipRow> rows { clip(u"one.avi"_s, a), clip(u"skip.avi"_s, a, false), clip(u"Zwei.Ü.MPG"_s, b) };
        QList<int> marked;
        QCOMPARE(buildPerClip(rows, options(u"Src(\"%PATH%\\%CLIP%.%EXT%\") # é\r\nTrim(0, 9)"_s), trap(u"Mode_1"_s),
                     {}, [&](int row) { marked << row; }),
            2);
        QCOMPARE(marked, (QList<int> { 0, 2 }));
        QCOMPARE(entries(a), QStringList { u"one.avs"_s });
        QCOMPARE(contents(b + sep + u"Zwei.Ü.avs"_s),
            (u"Src(\""_s + b + u"\\Zwei.Ü.MPG\") # é\r\nTrim(0, 9)"_s).toLocal8Bit());
        QCOMPARE(records(), 0);
    }

    // A clip whose whole name is its extension (a file called AVI) gives no
    // script name: its row is logged with 5 and skipped, never written as a
    // hidden ".avs"; the rows after it are built.
    void clipWithoutDotIsSkippedInBothModes()
    {
        const QString a = dir(u"a"_s), out = dir(u"out"_s);
        const QList<ClipRow> rows { clip(u"AVI"_s, a), clip(u"next.avi"_s, a) };
        QList<int> marked;
        QCOMPARE(buildPerClip(rows, options(u"%CLIP%"_s), trap(u"Mode_1"_s), {}, [&](int r) { marked << r; }), 1);
        QCOMPARE(marked, QList<int> { 1 });
        QCOMPARE(entries(a), QStringList { u"next.avs"_s });
        const QString batch = buildBatch(rows, options(u"[%CLIP%]"_s, out), trap(u"Mode_0"_s));
        QCOMPARE(contents(batch), QByteArray("[next]"));
        QCOMPARE(records("5"), 2);
        QCOMPARE(records(), 2);
    }

    void overwriteAlwaysOrAsk()
    {
        const QString a = dir(u"a"_s), script = a + sep + u"clip.avs"_s;
        const QList<ClipRow> twins { clip(u"clip.avi"_s, a), clip(u"clip.mpg"_s, a) };
        QStringList asked;
        bool answer = false;
        const auto ask = [&](const QString &path) { return asked << path, answer; };
        QList<int> marked;
        const auto mark = [&](int row) { marked << row; };

        // Always: longer old text is fully replaced, the later of two rows wins, nobody is asked.
        QVERIFY(put(script, "a much longer old script"));
        QCOMPARE(buildPerClip(twins, options(u"%EXT%"_s), trap(u"Mode_1"_s), ask, mark), 2);
        QCOMPARE(contents(script), QByteArray("mpg"));
        QCOMPARE(asked, QStringList {});

        // Ask on a folder without the script: only the later row meets a file; No keeps it, both rows are marked.
        QVERIFY(QFile::remove(script));
        marked.clear();
        QCOMPARE(buildPerClip(twins, options(u"%EXT%"_s, {}, false, true), trap(u"Mode_1"_s), ask, mark), 1);
        QCOMPARE(asked, QStringList { script });
        QCOMPARE(contents(script), QByteArray("avi"));
        QCOMPARE(marked, (QList<int> { 0, 1 }));

        // Yes replaces; a question that cannot be put is logged and keeps the file.
        answer = true;
        QCOMPARE(buildPerClip({ twins[1] }, options(u"%EXT%"_s, {}, false, true), trap(u"Mode_1"_s), ask, mark), 1);
        QCOMPARE(contents(script), QByteArray("mpg"));
        QCOMPARE(buildPerClip({ twins[0] }, options(u"%EXT%"_s, {}, false, true), trap(u"Mode_1"_s), {}, mark), 0);
        QCOMPARE(contents(script), QByteArray("mpg"));
        QCOMPARE(records(), 1);
    }

    void scriptFolders()
    {
        const QString a = dir(u"a"_s), b = dir(u"b"_s), out = dir(u"out"_s), cwd = dir(u"cwd"_s);
        const QList<ClipRow> rows { clip(u"x.avi"_s, a), clip(u"x.avi"_s, b) };
        QCOMPARE(buildPerClip(rows, options(u"%PATH%"_s, out, true), trap(u"Mode_1"_s), {}, {}), 2);
        QCOMPARE(entries(out), QStringList { u"x.avs"_s });
        QCOMPARE(contents(out + sep + u"x.avs"_s), b.toLocal8Bit());
        QCOMPARE(entries(a), QStringList {});

        // A clip in the root folder: one separator between folder and name.
        QCOMPARE(scriptPathFor(clip(u"c.avi"_s, sep), options({})), sep + u"c.avs"_s);
        QCOMPARE(scriptPathFor(clip(u"c.avi"_s, a), options({}, out + sep, true)), out + sep + u"c.avs"_s);

        // An empty specific folder is the current working folder, in both modes.
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(cwd));
        const int written = buildPerClip({ rows[0] }, options(u"%PATH%"_s, {}, true), trap(u"Mode_1"_s), {}, {});
        const QString batch = buildBatch(rows, options(u"%PATH%"_s), trap(u"Mode_0"_s));
        QVERIFY(QDir::setCurrent(before));
        QCOMPARE(written, 1);
        QCOMPARE(batch, u"batch_file_0.avs"_s);
        QCOMPARE(entries(cwd), (QStringList { u"batch_file_0.avs"_s, u"x.avs"_s }));
        QCOMPARE(contents(cwd + sep + batch), (a + b).toLocal8Bit());
        QCOMPARE(records(), 0);
    }

    void failuresAreLoggedStepByStepAndTheBuildGoesOn()
    {
        const QString a = dir(u"a"_s), gone = m_root + sep + u"gone"_s;
        const QList<ClipRow> rows { clip(u"lost.avi"_s, gone), clip(u"skip.avi"_s, gone, false),
            clip(u"kept.avi"_s, a) };
        QList<int> marked;
        QCOMPARE(buildPerClip(rows, options(u"%CLIP%"_s), trap(u"Mode_1"_s), {}, [&](int r) { marked << r; }), 1);
        QCOMPARE(contents(a + sep + u"kept.avs"_s), QByteArray("kept"));
        QCOMPARE(marked, QList<int> { 2 }); // no script, no mark
        // Per-clip: one record for the script. Batch: create, two writes, close.
        QCOMPARE(buildBatch(rows, options(u"%CLIP%"_s, gone), trap(u"Mode_0"_s)), QString());
        QVERIFY(!QFileInfo::exists(gone));
        QCOMPARE(records(), 5);
        QCOMPARE(records("76"), 2);
        QCOMPARE(records("52"), 3);
        QCOMPARE(logText().count("Source procedure\t: Mode_0\r\n"), 4);
    }

    void batchHoldsOneExpansionPerCheckedClip_data()
    {
        QTest::addColumn<QString>("templ");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("final line break")
            << u"A(%CLIP%)\r\nB()\r\n"_s << QByteArray("A(c1)\r\nB()\r\nA(c3)\r\nB()\r\n");
        QTest::newRow("no final line break") << u"A(%CLIP%)\r\nB()"_s << QByteArray("A(c1)\r\nB()A(c3)\r\nB()");
        QTest::newRow("no checked clip") << QString() << QByteArray();
    }
    void batchHoldsOneExpansionPerCheckedClip()
    {
        QFETCH(QString, templ);
        const QString a = dir(u"a"_s), out = dir(u"out"_s);
        const bool any = !templ.isEmpty();
        const QList<ClipRow> rows { clip(u"c1.avi"_s, a, any), clip(u"c2.avi"_s, a, false), clip(u"c3.avi"_s, a, any) };
        // "Clip folder" has no say in this mode.
        const QString batch = buildBatch(rows, options(templ, out, false), trap(u"Mode_0"_s));
        QCOMPARE(batch, out + sep + u"batch_file_0.avs"_s);
        QTEST(contents(batch), "expected");
        QCOMPARE(entries(a), QStringList {});
    }

    void batchTakesTheFirstFreeNumber()
    {
        const QString out = dir(u"out"_s);
        const auto name = [&](const QString &n) { return out + sep + u"batch_file_"_s + n; };
        const auto build
            = [&] { return buildBatch({ clip(u"c.avi"_s, out) }, options(u"new"_s, out), trap(u"Mode_0"_s)); };
        QVERIFY(put(name(u"0.avs"_s), "zero") && put(name(u"1.avs"_s), "one") && put(name(u"2.avsi"_s), "other"));
        QCOMPARE(build(), name(u"2.avs"_s));
        // A gap is reused; whatever holds a taken name is left alone, a folder included.
        QVERIFY(QFile::remove(name(u"1.avs"_s)) && QDir().mkdir(name(u"1.avs"_s)) && put(name(u"4.avs"_s), "four"));
        QCOMPARE(build(), name(u"3.avs"_s));
        QVERIFY(QFile::remove(name(u"0.avs"_s)));
        QCOMPARE(build(), name(u"0.avs"_s));
        QCOMPARE(contents(name(u"4.avs"_s)) + contents(name(u"2.avsi"_s)), QByteArray("fourother"));
        QCOMPARE(contents(name(u"0.avs"_s)) + contents(name(u"2.avs"_s)) + contents(name(u"3.avs"_s)),
            QByteArray("newnewnew"));
        QCOMPARE(records(), 0);
    }

    void batchWithEveryNumberTakenEndsInOrder()
    {
        const QString out = dir(u"out"_s);
        for (int n = 0; n <= MaxBatchNumber; ++n)
            QVERIFY(QFile(out + sep + u"batch_file_%1.avs"_s.arg(n)).open(QIODevice::WriteOnly | QIODevice::NewOnly));
        const QList<ClipRow> rows { clip(u"a.avi"_s, out), clip(u"b.avi"_s, out) };
        QCOMPARE(buildBatch(rows, options(u"text"_s, out), trap(u"Mode_0"_s)), QString());
        QCOMPARE(records(), 1);
        QCOMPARE(records("6"), 1);
        const QFileInfoList files = QDir(out).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        QCOMPARE(files.size(), MaxBatchNumber + 1);
        QVERIFY(std::all_of(files.begin(), files.end(), [](const QFileInfo &f) { return f.size() == 0; }));
    }

    void lineBreaksBetweenEditorAndFile()
    {
        QCOMPARE(fileTextToEditor("a\r\nb\rc\nd\r\n\r\ne\r\r\n").text, u"a\nb\nc\nd\n\ne\n\n"_s);
        QCOMPARE(editorTextWithCrLf(u"a\nb\u2029c\u2028d\r\ne\rf\n"_s), u"a\r\nb\r\nc\r\nd\r\ne\r\nf\r\n"_s);
        QCOMPARE(editorTextWithCrLf(editorTextWithCrLf(u"a\n\nb"_s)), u"a\r\n\r\nb"_s);
    }

    void templateSaveAndLoad_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("final line break") << u"Src(\"%PATH%\\%CLIP%.%EXT%\")\n# Größe €\n"_s;
        QTest::newRow("no final line break") << u"a\n\nb"_s;
        QTest::newRow("empty") << QString();
    }
    void templateSaveAndLoad()
    {
        QFETCH(QString, text);
        const QString folder = dir(u"t"_s), file = folder + sep + u"noext"_s;
        QVERIFY(put(file, "a much longer old template\r\n"));
        QVERIFY(saveTemplateText(file, text, {}, trap(u"SaveTemplate"_s)));
        QCOMPARE(contents(file), text.toLocal8Bit().replace("\n", "\r\n")); // no BOM, CR LF, nothing added
        QCOMPARE(loaded(file, QString()), std::optional<QString>(text));
        QCOMPARE(entries(folder), QStringList { u"noext"_s });
        QCOMPARE(records(), 0);
    }

    void loadFallsBackToTheDefault()
    {
        const QString def = defaultTemplatePath(m_root);
        QVERIFY(
            QDir().mkpath(templateFolder(m_root)) && put(def, "Default\r\n") && put(m_root + sep + u"m.avt"_s, "M"));
        QCOMPARE(loaded(m_root + sep + u"m.avt"_s, def), std::optional<QString>(u"M"_s));
        for (const QString &other : { m_root + sep + u"typed.avt"_s, QString(), m_root })
            QCOMPARE(loaded(other, def), std::optional<QString>(u"Default\n"_s));
        QVERIFY(QFile::remove(def));
        QCOMPARE(loaded(u"nothing.avt"_s, def), std::nullopt);
        // A template nobody may read: the folder is open, the file is not.
        QVERIFY(QFile::setPermissions(m_root + sep + u"m.avt"_s, QFileDevice::Permissions()));
        QVERIFY(QFile::setPermissions(m_root, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                                          | QFileDevice::ReadOther | QFileDevice::ExeOther));
        Unprivileged asUser;
        if (!asUser.ok() || Unprivileged::mayAccess(m_root + sep + u"m.avt"_s, R_OK))
            QSKIP("cannot act as a user whom file permissions stop");
        QCOMPARE(loaded(m_root + sep + u"m.avt"_s, def), std::nullopt);
    }

    // Nothing written, or only part of the text: the old template stays, with
    // no half-written file beside it, and each failing step is logged.
    void aFailedSaveLeavesTheOldTemplate()
    {
        const QString folder = dir(u"t"_s), file = folder + sep + u"t.avt"_s;
        QVERIFY(!saveTemplateText(m_root + sep + u"gone"_s + sep + u"t.avt"_s, u"x"_s, {}, trap(u"SaveTemplate"_s)));
        QCOMPARE(records(), 1);
        QCOMPARE(records("76"), 1);
        QVERIFY(put(file, "good old template\r\n"));
#ifdef Q_OS_LINUX
        // A file-size limit makes the write fail part-way, as a full disk would, for root too.
        bool ok = true;
        {
            const FileSizeLimit limit(4096);
            QVERIFY(limit.ok());
            ok = saveTemplateText(file, QString(100000, u'x'), {}, trap(u"SaveTemplate"_s));
        }
        QVERIFY(!ok);
        QCOMPARE(contents(file), QByteArray("good old template\r\n"));
        QCOMPARE(entries(folder), QStringList { u"t.avt"_s });
        QCOMPARE(records("61"), 1);
#endif
    }
};

QTEST_GUILESS_MAIN(TestScriptGen)
#include "tst_scriptgen.moc"
