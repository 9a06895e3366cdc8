// Where the program keeps its files: beside itself (portable), or, in the
// package's layout, in the user's XDG folders with the delivered data read
// from the package. Checked on the decision alone and on a main window
// brought up in each layout.
#include "Controls.h"
#include "LoadedWindow.h"
#include "ProgramInfo.h"
#include "ScriptedDialogs.h"
#include "TemplateEditor.h"
#include "TestFiles.h"

#include <QtTest>

#include <sys/stat.h>

using namespace appcore;

using namespace editor;

using namespace Qt::StringLiterals;

namespace {

const QByteArray kDeliveredSettings = "[Settings]\r\nExtenions=AVI\r\nScriptExtensions=avs\r\nOverwrite=0\r\n"
                                      "BuildScriptsIn=0\r\nSplash=1\r\nMode=1\r\nShow=0\r\n";

mode_t modeOf(const QString &path)
{
    struct stat st
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : mode_t(-1);
}

} // namespace

class TestProgramFiles : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_root;
    QString path(const QString &relative) const { return m_root->filePath(relative); }
    // The package's layout under the prefix "usr" of the scratch root.
    QString program() const { return path(u"usr/lib/tovrane"_s); }
    QString delivered(const QString &relative = QString()) const
    {
        return relative.isEmpty() ? path(u"usr/share/tovrane"_s) : path(u"usr/share/tovrane/"_s + relative);
    }
    void installPackageLayout() const
    {
        QVERIFY(QDir().mkpath(program()));
        QVERIFY(put(delivered(u"Settings.ini"_s), kDeliveredSettings));
        QVERIFY(put(delivered(u"Filters.txt"_s), "Blur\r\nCrop\r\n"));
        QVERIFY(put(delivered(u"Templates/Default.avs"_s), "# delivered\r\nBlur(1.0)\r\n"));
    }

private slots:
    void init()
    {
        m_root = std::make_unique<QTemporaryDir>();
        QVERIFY(m_root->isValid());
        qputenv("HOME", QFile::encodeName(path(u"home"_s)));
        for (const char *name : { "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME" })
            qunsetenv(name);
    }

    // The build folder, a folder of its own, a per-user install, a first
    // start in an empty folder: all beside the program, exactly as ever.
    void portableWhereverSettingsStandBesideTheProgram_data()
    {
        QTest::addColumn<QString>("beside"); // what stands at Settings.ini beside the program
        QTest::addColumn<bool>("packageData"); // share/tovrane of the same prefix holds the data
        QTest::newRow("a folder of its own") << u"file"_s << false;
        QTest::newRow("settings beside, data in share too") << u"file"_s << true;
        QTest::newRow("a link that leads nowhere") << u"link"_s << true;
        QTest::newRow("first start in an empty folder") << QString() << false;
    }
    void portableWhereverSettingsStandBesideTheProgram()
    {
        QFETCH(QString, beside);
        QFETCH(bool, packageData);
        if (packageData)
            installPackageLayout();
        QVERIFY(QDir().mkpath(program()));
        const QString settings = program() + u"/Settings.ini"_s;
        if (beside == u"file")
            QVERIFY(put(settings, "[Settings]\r\n"));
        else if (beside == u"link")
            QVERIFY(QFile::link(path(u"nowhere"_s), settings));

        const ProgramFiles files = ProgramFiles::of(program());
        QVERIFY(!files.installed);
        QCOMPARE(files.settings, settings);
        QCOMPARE(files.logFolder, program());
        QCOMPARE(files.filters, program() + u"/Filters.txt"_s);
        QCOMPARE(files.templateFolder, program() + u"/Templates"_s);
        QCOMPARE(files.defaultTemplate, program() + u"/Templates/Default.avs"_s);
        QCOMPARE(files.problem(), QString());
        // A portable program prepares nothing: a first start makes its
        // Settings.ini where it reads it, as it always did.
        const QStringList before = tree(path(QString()));
        files.prepare();
        QCOMPARE(tree(path(QString())), before);
    }

    // Installed: the user's folders from the XDG variables, or from HOME
    // where they are not set or not absolute; the delivered Filters.txt and
    // Default.avs until the user puts their own into their data folder.
    void installedUsesTheUsersFolders()
    {
        installPackageLayout();
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(path(u"cfg"_s)));
        qputenv("XDG_DATA_HOME", "relative/data"); // not a folder by the XDG rules
        ProgramFiles files = ProgramFiles::of(program());
        QVERIFY(files.installed);
        QCOMPARE(files.settings, path(u"cfg/tovrane/Settings.ini"_s));
        QCOMPARE(files.logFolder, path(u"home/.local/state/tovrane"_s));
        QCOMPARE(files.templateFolder, path(u"home/.local/share/tovrane/Templates"_s));
        QCOMPARE(files.filters, delivered(u"Filters.txt"_s));
        QCOMPARE(files.defaultTemplate, delivered(u"Templates/Default.avs"_s));
        QCOMPARE(files.problem(), QString());

        qputenv("XDG_STATE_HOME", QFile::encodeName(path(u"state"_s)));
        QVERIFY(put(path(u"home/.local/share/tovrane/Filters.txt"_s), "Mine\r\n"));
        QVERIFY(put(path(u"home/.local/share/tovrane/Templates/Default.avs"_s), "# mine\r\n"));
        files = ProgramFiles::of(program());
        QCOMPARE(files.logFolder, path(u"state/tovrane"_s));
        QCOMPARE(files.filters, path(u"home/.local/share/tovrane/Filters.txt"_s));
        QCOMPARE(files.defaultTemplate, path(u"home/.local/share/tovrane/Templates/Default.avs"_s));

        // Without any home there is nowhere for the user's files: the
        // program must not start rather than write into some other folder.
        qunsetenv("HOME");
        qunsetenv("XDG_STATE_HOME");
        files = ProgramFiles::of(program());
        QVERIFY(files.installed);
        QVERIFY(files.problem().contains(u"HOME"_s));
        const QStringList before = tree(path(QString()));
        files.prepare();
        QCOMPARE(tree(path(QString())), before);
    }

    // The first start makes the user's folders (new ones for the user
    // alone) and their Settings.ini as delivered, byte for byte; later
    // starts keep the settings the user has. Nothing is written into the
    // package's folders.
    void firstStartCopiesTheDeliveredSettings()
    {
        installPackageLayout();
        const QStringList package = tree(path(u"usr"_s));
        const ProgramFiles files = ProgramFiles::of(program());
        files.prepare();
        QCOMPARE(readBytes(files.settings), kDeliveredSettings);
        for (const QString &folder : { path(u"home/.config"_s), path(u"home/.config/tovrane"_s),
                 path(u"home/.local/state/tovrane"_s), path(u"home/.local/share/tovrane/Templates"_s) }) {
            QVERIFY2(QFileInfo(folder).isDir(), qPrintable(folder));
            QCOMPARE(modeOf(folder), mode_t(0700));
        }
        QVERIFY(put(files.settings, "[Settings]\r\nMode=0\r\n"));
        ProgramFiles::of(program()).prepare();
        QCOMPARE(readBytes(files.settings), "[Settings]\r\nMode=0\r\n");
        QCOMPARE(tree(path(u"usr"_s)), package);
    }

    // The main window of an installed program reads and writes only in the
    // user's folders: their settings, the delivered filters and template,
    // its log in the state folder, the template dialogs in the user's
    // template folder.
    void mainWindowInstalled()
    {
        installPackageLayout();
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(path(u"cfg"_s)));
        qputenv("XDG_CONFIG_DIRS", QFile::encodeName(path(u"etc-xdg"_s)));
        ProgramInfo info = ProgramInfo::inFolder(program());
        info.files = ProgramFiles::of(info.folder);
        info.files.prepare();
        const QStringList package = tree(path(u"usr"_s));

        ScriptedDialogs dialogs;
        const QString saved = info.files.templateFolder + u"/Mine.avt"_s;
        dialogs.fileNames = { saved };
        {
            auto window = loadedMainWindow(info, dialogs);
            QCOMPARE(control<TemplateEditor>(*window, "txtScript")->toPlainText(), u"# delivered\nBlur(1.0)\n"_s);
            QCOMPARE(window->filterNames(), (QStringList { u"BLUR"_s, u"CROP"_s }));
            window->cmdSave_Click();
        }
        QCOMPARE(dialogs.fileDialogs, (QList { std::pair(true, info.files.templateFolder) }));
        QCOMPARE(readBytes(saved), "# delivered\r\nBlur(1.0)\r\n");
        // The update check is not registered here: that one record goes to
        // the state folder.
        QCOMPARE(logRecords(info.files.logFolder), QStringList { u"Form_Load -2147221164"_s });
        QCOMPARE(tree(path(u"usr"_s)), package);
    }
};

QTEST_MAIN(TestProgramFiles)
#include "tst_programfiles.moc"
