#include "CErrorlog.h"
#include "ClipRow.h"
#include "ErrorTrap.h"
#include "ScriptBuild.h"
#include "Substitute.h"
#include "TemplateFile.h"
#include "TestFiles.h"
#include "TestSystem.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace scriptgen;

using namespace errorlog;

using namespace scan;

using namespace Qt::StringLiterals;

namespace {

const QString sep = QDir::separator();

ClipRow clip(const QString &file, const QString &location, bool checked = true)
{
    return ClipRow { checked, file, location, ScriptMark::None };
}

// The editor text a template load gives, or nullopt.
std::optional<QString> loaded(const QString &file, const QString &def)
{
    const Expected<std::optional<TemplateText>> t = readTemplateText(file, def);
    return t && *t ? std::optional<QString>((*t)->text) : std::nullopt;
}

BuildOptions options(const QString &templ, const QString &avsFolder = {}, bool specific = false, bool ask = false)
{
    return BuildOptions { templ, u"AVS"_s, ask ? OverwritePolicy::Ask : OverwritePolicy::Always,
        specific ? ScriptFolder::SpecificFolder : ScriptFolder::ClipFolder, avsFolder };
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
    ErrorTrap trap(const QString &procedure) const { return ErrorTrap(*m_log, u"frmTovrane"_s, procedure); }
    QStringList records() const { return logRecords(m_root + u"-log"_s); }

private slots:
    void init()
    {
        static int n = 0;
        m_root = m_tmp.path() + sep + QString::number(++n);
        QVERIFY(QDir().mkpath(m_root + u"-log"_s));
        m_log = std::make_unique<CErrorlog>(m_root + u"-log"_s, u"tovrane"_s);
    }

    void substitution()
    {
        // template, clip file, location, expected
        const QList<std::array<QString, 4>> cases {
            { u"%PATH%/%CLIP%.%EXT% %CLIP%%CLIP%"_s, u"a.b.avi"_s, u"/v"_s, u"/v/a.b.avi a.ba.b"_s },
            { u"%CLIP%|%EXT%"_s, u"clip."_s, u"/v"_s, u"clip|"_s },
            // Other case and other percent text are plain.
            { u"%clip% %Ext% %FOO% 100% %CLIP"_s, u"x.avi"_s, u"/v"_s, u"%clip% %Ext% %FOO% 100% %CLIP"_s },
            // %EXT% is replaced after %CLIP%, so it also hits what the clip name brought in,
            { u"%CLIP%"_s, u"x%EXT%.avi"_s, u"/v"_s, u"xavi"_s },
            // while the folder comes last and keeps its text.
            { u"%PATH%|%CLIP%"_s, u"x.avi"_s, u"/%CLIP%"_s, u"/%CLIP%|x"_s },
        };
        for (const auto &[templ, file, location, expected] : cases) {
            const ClipNameParts parts = *splitClipFileName(file);
            QCOMPARE(substitutePlaceholders(templ, parts.clip, parts.ext, location), expected);
        }
    }

    void perClipScriptsAndTheirFolders()
    {
        const QString a = dir(u"a"_s), b = dir(u"b"_s), out = dir(u"out"_s), cwd = dir(u"cwd"_s);
        const QList<ClipRow> rows { clip(u"one.avi"_s, a), clip(u"skip.avi"_s, a, false), clip(u"Zwei.Ü.MPG"_s, b) };
        QList<int> marked;
        QCOMPARE(buildPerClip(rows, options(u"Src(\"%PATH%\\%CLIP%.%EXT%\") # é\r\nTrim(0, 9)"_s), trap(u"Mode_1"_s),
                     {}, [&](int row) { marked << row; }),
            2);
        QCOMPARE(marked, (QList<int> { 0, 2 }));
        QCOMPARE(tree(a), QStringList { u"one.avs"_s });
        QCOMPARE(readBytes(b + sep + u"Zwei.Ü.avs"_s),
            (u"Src(\""_s + b + u"\\Zwei.Ü.MPG\") # é\r\nTrim(0, 9)"_s).toLocal8Bit());

        // A specific folder takes every script: of two clips of one name, the later wins.
        const QList<ClipRow> twins { clip(u"x.avi"_s, a), clip(u"x.avi"_s, b) };
        QCOMPARE(buildPerClip(twins, options(u"%PATH%"_s, out, true), trap(u"Mode_1"_s), {}, {}), 2);
        QCOMPARE(tree(out), QStringList { u"x.avs"_s });
        QCOMPARE(readBytes(out + sep + u"x.avs"_s), b.toLocal8Bit());
        QCOMPARE(tree(a), QStringList { u"one.avs"_s });

        // A clip in the root folder: one separator between folder and name.
        QCOMPARE(*scriptPathFor(clip(u"c.avi"_s, sep), options({})), sep + u"c.avs"_s);
        QCOMPARE(*scriptPathFor(clip(u"c.avi"_s, a), options({}, out + sep, true)), out + sep + u"c.avs"_s);

        // An empty specific folder is the current working folder, in both modes.
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(cwd));
        const int written = buildPerClip({ twins[0] }, options(u"%PATH%"_s, {}, true), trap(u"Mode_1"_s), {}, {});
        const QString batch = buildBatch(twins, options(u"%PATH%"_s), trap(u"Mode_0"_s));
        QVERIFY(QDir::setCurrent(before));
        QCOMPARE(written, 1);
        QCOMPARE(batch, u"batch_file_0.avs"_s);
        QCOMPARE(tree(cwd), (QStringList { u"batch_file_0.avs"_s, u"x.avs"_s }));
        QCOMPARE(readBytes(cwd + sep + batch), (a + b).toLocal8Bit());
        QCOMPARE(records(), QStringList());
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
        QCOMPARE(tree(a), QStringList { u"next.avs"_s });
        const QString batch = buildBatch(rows, options(u"[%CLIP%]"_s, out), trap(u"Mode_0"_s));
        QCOMPARE(readBytes(batch), QByteArray("[next]"));
        QCOMPARE(records(), (QStringList { u"Mode_1 5"_s, u"Mode_0 5"_s }));
    }

    // Always: of two clips with one script name, the later wins and nobody is
    // asked. Ask: only a script that exists is asked about, and No keeps it;
    // a question that cannot be put is logged and keeps the file.
    void overwriteAlwaysOrAsk()
    {
        const QString a = dir(u"a"_s), script = a + sep + u"clip.avs"_s;
        const QList<ClipRow> twins { clip(u"clip.avi"_s, a), clip(u"clip.mpg"_s, a) };
        QStringList asked;
        const auto no = [&](const QString &path) { return asked << path, false; };
        QCOMPARE(buildPerClip(twins, options(u"%EXT%"_s), trap(u"Mode_1"_s), no, {}), 2);
        QCOMPARE(readBytes(script), QByteArray("mpg"));
        QCOMPARE(asked, QStringList {});

        QVERIFY(QFile::remove(script));
        QList<int> marked;
        const BuildOptions ask = options(u"%EXT%"_s, {}, false, true);
        QCOMPARE(buildPerClip(twins, ask, trap(u"Mode_1"_s), no, [&](int row) { marked << row; }), 1);
        QCOMPARE(asked, QStringList { script });
        QCOMPARE(readBytes(script), QByteArray("avi"));
        QCOMPARE(marked, (QList<int> { 0, 1 }));
        // With no one to ask, the script stays as "No" would keep it.
        QCOMPARE(buildPerClip({ twins[1] }, ask, trap(u"Mode_1"_s), {}, {}), 0);
        QCOMPARE(readBytes(script), QByteArray("avi"));
        QCOMPARE(records(), QStringList {});
    }

    // One new batch file holds the expansion of every checked clip, one after
    // the other, and is made even when none is checked. It never replaces
    // anything: it takes the first free number, and with every number taken
    // it writes nothing and says so once.
    void batchFiles()
    {
        const QString a = dir(u"a"_s), out = dir(u"out"_s);
        const auto name = [&](int n) { return out + sep + u"batch_file_%1.avs"_s.arg(n); };
        int number = 0;
        for (const auto &[templ, expected] : { std::pair(u"A(%CLIP%)\r\nB()\r\n"_s, "A(c1)\r\nB()\r\nA(c3)\r\nB()\r\n"),
                 std::pair(u"A(%CLIP%)\r\nB()"_s, "A(c1)\r\nB()A(c3)\r\nB()"), std::pair(QString(), "") }) {
            const bool any = !templ.isEmpty();
            const QList<ClipRow> rows { clip(u"c1.avi"_s, a, any), clip(u"c2.avi"_s, a, false),
                clip(u"c3.avi"_s, a, any) };
            // "Clip folder" has no say in this mode.
            const QString batch = buildBatch(rows, options(templ, out, false), trap(u"Mode_0"_s));
            QCOMPARE(batch, name(number++));
            QCOMPARE(readBytes(batch), QByteArray(expected));
        }
        QCOMPARE(tree(a), QStringList {});

        const auto build
            = [&] { return buildBatch({ clip(u"c.avi"_s, out) }, options(u"new"_s, out), trap(u"Mode_0"_s)); };
        // Whatever holds a taken name is left alone, a folder included; a gap is reused.
        QVERIFY(QDir().mkdir(name(3)) && put(name(5), "five") && put(out + u"/batch_file_4.avsi"_s, "other"));
        QCOMPARE(build(), name(4));
        QVERIFY(QFile::remove(name(1)));
        QCOMPARE(build(), name(1));
        QCOMPARE(readBytes(name(1)) + readBytes(name(4)) + readBytes(name(5)), QByteArray("newnewfive"));
        QCOMPARE(readBytes(out + u"/batch_file_4.avsi"_s), QByteArray("other"));
        QCOMPARE(records(), QStringList());

        for (int n = 6; n <= MaxBatchNumber; ++n)
            QVERIFY(QFile(name(n)).open(QIODevice::WriteOnly | QIODevice::NewOnly));
        const QFileInfoList before = QDir(out).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot);
        QCOMPARE(build(), QString());
        QCOMPARE(records(), QStringList { u"Mode_0 6"_s });
        const QFileInfoList after = QDir(out).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot);
        QCOMPARE(after.size(), before.size());
        for (qsizetype i = 0; i < after.size(); ++i)
            QCOMPARE(after[i].size(), before[i].size());
    }

    // Asked to stop, a build ends between files: every script written is
    // whole and none is begun after; a batch file is not left in part.
    void stoppedBuilds()
    {
        const QString a = dir(u"a"_s), out = dir(u"out"_s);
        const QList<ClipRow> rows { clip(u"c1.avi"_s, a), clip(u"c2.avi"_s, a, false), clip(u"c3.avi"_s, a),
            clip(u"c4.avi"_s, a) };
        int asks = 0;
        BuildOptions stopping = options(u"%CLIP%"_s, out);
        stopping.stopRequested = [&] { return ++asks > 2; };
        QCOMPARE(buildPerClip(rows, stopping, trap(u"Mode_1"_s), {}, {}), 2);
        QCOMPARE(tree(a), (QStringList { u"c1.avs"_s, u"c3.avs"_s }));
        asks = 0;
        QCOMPARE(buildBatch(rows, stopping, trap(u"Mode_0"_s)), QString());
        QCOMPARE(asks, 3);
        QCOMPARE(tree(out), QStringList());
        QCOMPARE(records(), QStringList());
    }

    // What a killed build left beside the scripts and the batch files is
    // removed by the next build that writes there; a file that another
    // build is still writing is left alone.
    void leftoversOfKilledBuilds()
    {
        const QString a = dir(u"a"_s), out = dir(u"out"_s);
        for (const QString &folder : { a, out })
            QVERIFY(put(folder + sep + u".tovrane-0badf00d.tmp"_s, "half a script"));
        // Another build writing under such a name holds it locked.
        const QString other = out + sep + u".tovrane-0000beef.tmp"_s;
        QVERIFY(put(other, "in the making"));
        const HeldFile held(other);
        QVERIFY(held.ok());
        QCOMPARE(buildPerClip({ clip(u"c.avi"_s, a) }, options(u"%CLIP%"_s), trap(u"Mode_1"_s), {}, {}), 1);
        QCOMPARE(tree(a), QStringList { u"c.avs"_s });
        QCOMPARE(buildBatch({ clip(u"c.avi"_s, a) }, options(u"%CLIP%"_s, out), trap(u"Mode_0"_s)),
            out + sep + u"batch_file_0.avs"_s);
        QCOMPARE(tree(out), (QStringList { u".tovrane-0000beef.tmp"_s, u"batch_file_0.avs"_s }));
        QCOMPARE(readBytes(other), QByteArray("in the making"));
        QCOMPARE(records(), QStringList());
    }

    void lineBreaksBetweenEditorAndFile()
    {
        QCOMPARE(fileTextToEditor("a\r\nb\rc\nd\r\n\r\ne\r\r\n").text, u"a\nb\nc\nd\n\ne\n\n"_s);
        QCOMPARE(editorTextWithCrLf(u"a\nb\u2029c\u2028d\r\ne\rf\n"_s), u"a\r\nb\r\nc\r\nd\r\ne\r\nf\r\n"_s);
        QCOMPARE(editorTextWithCrLf(editorTextWithCrLf(u"a\n\nb"_s)), u"a\r\n\r\nb"_s);
    }

    // Saved over a longer old file: no byte-order mark, CR LF, nothing added.
    void templateSaveAndLoad()
    {
        const QString folder = dir(u"t"_s), file = folder + sep + u"noext"_s;
        for (const QString &text : { u"Src(\"%PATH%\\%CLIP%.%EXT%\")\n# Größe €\n"_s, u"a\n\nb"_s, QString() }) {
            QVERIFY(put(file, "a much longer old template\r\n"));
            QVERIFY(saveTemplateText(file, text, {}, trap(u"SaveTemplate"_s)));
            QCOMPARE(readBytes(file), text.toLocal8Bit().replace("\n", "\r\n"));
            QCOMPARE(loaded(file, QString()), std::optional<QString>(text));
        }
        QCOMPARE(tree(folder), QStringList { u"noext"_s });
        QCOMPARE(records(), QStringList());
    }

    void templateFallbacksAndFailures()
    {
        const QString def = defaultTemplatePath(m_root), mine = m_root + sep + u"m.avt"_s;
        QVERIFY(put(def, "Default\r\n") && put(mine, "M"));
        QCOMPARE(loaded(mine, def), std::optional<QString>(u"M"_s));
        for (const QString &other : { m_root + sep + u"typed.avt"_s, QString(), m_root })
            QCOMPARE(loaded(other, def), std::optional<QString>(u"Default\n"_s));
        QVERIFY(QFile::remove(def));
        QCOMPARE(loaded(u"nothing.avt"_s, def), std::nullopt);
        QVERIFY(!saveTemplateText(m_root + sep + u"gone"_s + sep + u"t.avt"_s, u"x"_s, {}, trap(u"SaveTemplate"_s)));
        QCOMPARE(records(), QStringList { u"SaveTemplate 76"_s });
        // A template nobody may read: the folder is open, the file is not.
        QVERIFY(setMode(mine, 0) && setMode(m_root, 0755));
        SKIP_IF_MISSING(Unprivileged::missing());
        Unprivileged asUser;
        if (!asUser.ok() || Unprivileged::mayAccess(mine, Unprivileged::MayRead))
            QSKIP("cannot act as a user whom file permissions stop");
        QCOMPARE(loaded(mine, def), std::nullopt);
    }
};

QTEST_GUILESS_MAIN(TestScriptGen)
#include "tst_scriptgen.moc"
