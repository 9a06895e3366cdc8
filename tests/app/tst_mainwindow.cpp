// The main window's wiring: that its controls, menu entries and handlers
// hand the logic what the controls of both windows hold, and show what it
// gives back. The logic's own cases are the window-free tests'.
#include "ClipListModel.h"
#include "ComponentServer.h"
#include "Controls.h"
#include "Dialog.h"
#include "DrawnFormat.h"
#include "LoadedWindow.h"
#include "Program.h"
#include "ProgramFolder.h"
#include "RuntimeError.h"
#include "ScriptedDialogs.h"
#include "TemplateEditor.h"
#include "TestHttpServer.h"
#include "TestSystem.h"
#include "Typing.h"
#include "frmSettings.h"
#include "frmTovrane.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <memory>
#include <tuple>

using namespace component;

using namespace platform;

using namespace errorlog;

using namespace scan;

using namespace appcore;

using namespace editor;

using namespace Qt::StringLiterals;

class TestMainWindow : public QObject
{
    Q_OBJECT

    QTemporaryDir m_config;
    std::unique_ptr<ProgramFolder> m_folder;
    std::unique_ptr<QTemporaryDir> m_clips;
    ScriptedDialogs m_dialogs;

    std::unique_ptr<frmTovrane> load() { return loadedMainWindow(m_folder->info(), m_dialogs); }
    // Started on the clip folder, with every setting stored.
    std::unique_ptr<frmTovrane> loadOnClips()
    {
        setSettings("[Settings]\r\nMainFolder=" + clip().toLocal8Bit() + "\r\nAvsFolder=" + clip(u"out"_s).toLocal8Bit()
            + "\r\nExtenions=AVI|MPG\r\nScriptExtensions=avs|AVSI\r\nOverwrite=0\r\nBuildScriptsIn=0\r\n"
              "Splash=1\r\nMode=1\r\nShow=0\r\nTemplate=/nowhere/Mine.avt\r\n");
        return load();
    }
    // The clips the command tests work on, listed by a scan, with a template
    // that names each clip's parts; null when they cannot be made.
    std::unique_ptr<frmTovrane> scannedClips()
    {
        for (const char *name : { "a.avi", "b.MPG", "b.avs", "notes.txt", "locked/c.avi" })
            if (!put(clip(QString::fromLatin1(name))))
                return nullptr;
        auto w = loadOnClips();
        control<TemplateEditor>(*w, "txtScript")->setPlainText(u"Src(\"%PATH%/%CLIP%.%EXT%\")\n# %clip%"_s);
        control<QAction>(*w, "mRunScan")->trigger();
        return w;
    }
    // The same with a script beside every clip, the first and last checked.
    std::unique_ptr<frmTovrane> scannedWithScripts()
    {
        if (!put(clip(u"a.avs"_s)) || !put(clip(u"locked/c.avs"_s)))
            return nullptr;
        auto w = scannedClips();
        if (w) {
            w->clipModel()->setChecked(0, true);
            w->clipModel()->setChecked(2, true);
        }
        return w;
    }
    // What the template above makes for the clip `name`.
    // %PATH% is the clip's folder as the scan lists it, with the system's
    // separators; the template adds the "/".
    QByteArray script(const char *name) const
    {
        const QFileInfo file(clip(QString::fromLocal8Bit(name)));
        return "Src(\"" + QDir::toNativeSeparators(file.path()).toLocal8Bit() + "/" + file.fileName().toLocal8Bit()
            + "\")\r\n# %clip%";
    }
    static qsizetype checkedCount(const frmTovrane &w)
    {
        return std::ranges::count(w.clipModel()->rows(), true, &ClipRow::checked);
    }
    QByteArray settings() const { return m_folder->read(u"Settings.ini"_s); }
    void setSettings(const QByteArray &bytes) const { m_folder->write(u"Settings.ini"_s, bytes); }
    QString clip(const QString &relative = QString()) const { return m_clips->filePath(relative); }
    static QStringList column(const frmTovrane &w, QString ClipRow::*field)
    {
        QStringList out;
        for (const ClipRow &row : w.clipModel()->rows())
            out << row.*field;
        return out;
    }
    // The "AVS" column as the list shows it.
    static QStringList marks(const frmTovrane &w)
    {
        const ClipListModel &model = *w.clipModel();
        QStringList out;
        for (int row = 0; row < model.rowCount(); ++row)
            out << model.index(row, ClipListModel::AvsColumn).data().toString();
        return out;
    }

private slots:
    void initTestCase() { qputenv("XDG_CONFIG_HOME", m_config.path().toLocal8Bit()); }
    void init()
    {
        m_folder = std::make_unique<ProgramFolder>();
        m_clips = std::make_unique<QTemporaryDir>();
        m_dialogs = ScriptedDialogs();
        QDir(clip()).mkpath(u"out/sub"_s);
    }

    // No settings and a filter list that is a FIFO: each failure is logged,
    // nothing waits, and the start-up goes on to the end with the defaults.
    void firstStartWithNothingUsable()
    {
        QVERIFY(QFile::remove(m_folder->file(u"Filters.txt"_s)));
        SKIP_IF_MISSING(fifosMissing());
        QVERIFY(makeFifo(m_folder->file(u"Filters.txt"_s)));
        auto w = load();
        QCOMPARE(settings(), QByteArray());
        // Five integer keys, the empty extension box, the filter list, then the failed update check.
        const QStringList records = m_folder->logRecords();
        QCOMPARE(records.first(7), QStringList(5, u"Form_Load 13"_s) << u"Form_Load 5"_s << u"Form_Load 75"_s);
        QVERIFY(records.size() == 8 && records[7].startsWith(u"Form_Load "_s));
        QVERIFY(control<QRadioButton>(*w, "optMode_0")->isChecked()
            && control<QRadioButton>(*w->settingsWindow(), "optOverwrite_0")->isChecked());
        QVERIFY(!control<QPushButton>(*w->settingsWindow(), "cmdOpen_1")->isEnabled() && w->isVisible());
        QVERIFY(!control<QPushButton>(*w, "cmdSave")->isEnabled() && !control<QAction>(*w, "mFileSave")->isEnabled());
        QVERIFY(!control<QPushButton>(*w, "cmdBuild")->isEnabled() && !control<QAction>(*w, "mRunBuild")->isEnabled());
        QCOMPARE(control<TemplateEditor>(*w, "txtScript")->toPlainText(), u"# default\nBlur(1.0)\n"_s);
        QCOMPARE(control<QLabel>(*w, "Panel2")->text(), u"0 files found"_s);
        // A second call loads nothing again.
        w->Form_Load();
        QCOMPARE(m_folder->logRecords(), records);
    }

    // Every choice is stored the moment it is made, by a click (the space
    // bar clicks too) or a screen reader's action, which toggles the control
    // without clicking it. Each starts from the opposite value loaded, so a
    // value the load missed shows too.
    void choicesAreStoredAtOnce()
    {
        const std::tuple<const char *, QByteArray, int> choices[] = { { "optMode_1", "Mode", 1 },
            { "optMode_0", "Mode", 0 }, { "chkCheckedonly", "Show", 1 }, { "chkCheckedonly", "Show", 0 },
            { "optOverwrite_1", "Overwrite", 1 }, { "optOverwrite_0", "Overwrite", 0 },
            { "optBuildScripts_1", "BuildScriptsIn", 1 }, { "optBuildScripts_0", "BuildScriptsIn", 0 },
            { "chkSplash", "Splash", 1 }, { "chkSplash", "Splash", 0 } };
        const auto file = [](const QByteArray &key, int value) {
            return "[Settings]\r\n" + key + "=" + QByteArray::number(value) + "\r\nScriptExtensions=avs\r\n";
        };
        for (const auto &[name, key, after] : choices) {
            for (const char *way : { "click", "accessible action" }) {
                setSettings(file(key, 1 - after));
                auto w = load();
                auto *button = control<QAbstractButton>(*w, QLatin1String(name));
                if (*way == 'c')
                    button->click();
                else if (auto *a = QAccessible::queryAccessibleInterface(button)->actionInterface())
                    a->doAction(QAccessibleActionInterface::toggleAction());
                const QByteArray what = name + QByteArray(" by ") + way;
                QVERIFY2(settings() == file(key, after), what);
                // The script folder can be set exactly while it is to be used.
                QVERIFY2(control<QPushButton>(*w->settingsWindow(), "cmdOpen_1")->isEnabled()
                        == (key == "BuildScriptsIn" && after),
                    what);
            }
        }
    }

    void settingsWindow()
    {
        const QString scripts = QDir::toNativeSeparators(clip(u"out"_s));
        const QString sub = QDir::toNativeSeparators(clip(u"out/sub"_s));
        setSettings(("[Settings]\r\nMainFolder=/a|/b|/c\r\nAvsFolder=" + scripts
            + "\r\nBuildScriptsIn=1\r\nScriptExtensions=avs|avsi\r\n")
                        .toLocal8Bit());
        auto w = load();
        QPointer<frmSettings> s = w->settingsWindow();
        // Tabbing into the list marks a current folder without selecting it:
        // that picks none for removal.
        s->show();
        QApplication::setActiveWindow(s);
        control<QListWidget>(*s, "lstScanFolders")->setFocus(Qt::TabFocusReason);
        QCOMPARE(control<QListWidget>(*s, "lstScanFolders")->currentRow(), 0);
        QVERIFY(!control<QPushButton>(*s, "cmdRemove")->isEnabled());
        s->cmdRemove_Click();
        QCOMPARE(listedTexts(*control<QListWidget>(*s, "lstScanFolders")), (QStringList { "/a", "/b", "/c" }));
        s->hide();
        control<QListWidget>(*s, "lstScanFolders")->setCurrentRow(1);
        control<QPushButton>(*s, "cmdRemove")->click();
        // Off until a folder is picked again; the arrow keys pick one as a click does.
        QVERIFY(!control<QPushButton>(*s, "cmdRemove")->isEnabled());
        QTest::keyClick(control<QListWidget>(*s, "lstScanFolders"), Qt::Key_Down);
        control<QPushButton>(*s, "cmdRemove")->click();
        QCOMPARE(listedTexts(*control<QListWidget>(*s, "lstScanFolders")), QStringList { "/c" });

        // Every window here opens modally: a folder chooser opens `sub` and
        // takes it with OK, noting where it opened; the others are closed.
        QStringList shown;
        QString openedAt;
        QTimer answer;
        connect(&answer, &QTimer::timeout, [&] {
            QWidget *modal = QApplication::activeModalWidget();
            if (!modal)
                return;
            shown << modal->metaObject()->className();
            if (auto *d = qobject_cast<Dialog *>(modal)) {
                openedAt = d->openFolder();
                d->setOpenFolder(sub);
                control<QPushButton>(*d, "OKButton")->click();
            } else {
                modal->close();
            }
        });
        answer.start(0);
        control<QPushButton>(*s, "cmdOpen_1")->click();
        QCOMPARE(openedAt, scripts); // the folder the label shows
        QCOMPARE(w->settings().avsFolder(), sub);
        QCOMPARE(control<QLabel>(*s, "lblFolder_1")->text(), sub);
        control<QPushButton>(*s, "cmdOpen_0")->click(); // "Add" appends, even a folder already listed
        control<QPushButton>(*s, "cmdOpen_0")->click();
        QCOMPARE(listedTexts(*control<QListWidget>(*s, "lstScanFolders")), (QStringList { u"/c"_s, sub, sub }));
        QCOMPARE(w->settings().scanFolders(), (QStringList { u"/c"_s, sub, sub }));

        // "&Close" only hides it, and so does the close box: the menu entry
        // and the button find it again with the extension chosen, which is
        // never stored. They open About too.
        s->show();
        control<QComboBox>(*s, "cboExt")->setCurrentIndex(1);
        control<QPushButton>(*s, "cmdClose")->click();
        QVERIFY(s->isHidden());
        control<QAction>(*w, "mFileSettings")->trigger();
        control<QPushButton>(*w, "cmdSettings")->click();
        control<QAction>(*w, "mAbout")->trigger();
        control<QPushButton>(*w, "cmdAbout")->click();
        QCOMPARE(shown,
            (QStringList {
                "Dialog", "Dialog", "Dialog", "frmSettings", "frmSettings", "ui::frmAbout", "ui::frmAbout" }));
        QVERIFY(s && s->isHidden() && w->settingsWindow() == s && w->settings().scriptExtension() == u"avsi");
        QCOMPARE(settings(),
            ("[Settings]\r\nMainFolder=/c|" + sub + "|" + sub + "\r\nAvsFolder=" + sub
                + "\r\nBuildScriptsIn=1\r\nScriptExtensions=avs|avsi\r\n")
                .toLocal8Bit());

        // A store that fails is logged under the window whose handler tried
        // it, and the value is kept for this run.
        // (a folder where the settings file was cannot be written)
        QVERIFY(QFile::remove(m_folder->file(u"Settings.ini"_s)) && QDir(m_folder->path()).mkdir(u"Settings.ini"_s));
        w->AddFolder(u"/v"_s);
        control<QCheckBox>(*s, "chkSplash")->click();
        QCOMPARE(w->settings().scanFolders(), (QStringList { u"/c"_s, sub, sub, u"/v"_s }));
        const QByteArray log = logText(m_folder->path());
        QVERIFY(log.contains("Source module   \t: frmTovrane\r\nSource procedure\t: AddFolder\r\n"));
        QVERIFY(log.contains("Source module   \t: frmSettings\r\nSource procedure\t: chkSplash_Click\r\n"));
    }

    // Both windows show the settings as they are now, however they were
    // changed, and a choice made in one window is what the other's commands use.
    void bothWindowsFollowTheSettings()
    {
        setSettings("[Settings]\r\nMainFolder=/a\r\nScriptExtensions=avs|avsi\r\nMode=1\r\n");
        auto w = load();
        const frmSettings &s = *w->settingsWindow();
        Settings &values = w->settings();
        values.setMode(0);
        values.setShow(1);
        values.setOverwrite(1);
        values.setBuildScriptsIn(1);
        values.setSplashHidden(true);
        values.setAvsFolder(u"/out"_s);
        values.addScanFolder(u"/b"_s);
        QVERIFY(control<QRadioButton>(*w, "optMode_0")->isChecked());
        QVERIFY(!control<QRadioButton>(*w, "optMode_1")->isChecked());
        QVERIFY(control<QCheckBox>(*w, "chkCheckedonly")->isChecked());
        QVERIFY(control<QRadioButton>(s, "optOverwrite_1")->isChecked());
        QVERIFY(!control<QRadioButton>(s, "optOverwrite_0")->isChecked());
        QVERIFY(control<QRadioButton>(s, "optBuildScripts_1")->isChecked());
        QVERIFY(control<QPushButton>(s, "cmdOpen_1")->isEnabled() && control<QLabel>(s, "lblFolder_1")->isEnabled());
        QVERIFY(control<QCheckBox>(s, "chkSplash")->isChecked());
        QCOMPARE(control<QLabel>(s, "lblFolder_1")->text(), u"/out"_s);
        QCOMPARE(listedTexts(*control<QListWidget>(s, "lstScanFolders")), (QStringList { u"/a"_s, u"/b"_s }));
        // Showing a value stores nothing more: each change wrote its one line.
        QCOMPARE(settings(),
            "[Settings]\r\nAvsFolder=/out\r\nSplash=1\r\nBuildScriptsIn=1\r\nOverwrite=1\r\nShow=1\r\n"
            "MainFolder=/a|/b\r\nScriptExtensions=avs|avsi\r\nMode=0\r\n");

        values.removeScanFolder(0);
        values.setBuildScriptsIn(0);
        QCOMPARE(listedTexts(*control<QListWidget>(s, "lstScanFolders")), QStringList { u"/b"_s });
        QVERIFY(control<QRadioButton>(s, "optBuildScripts_0")->isChecked());
        QVERIFY(!control<QPushButton>(s, "cmdOpen_1")->isEnabled() && !control<QLabel>(s, "lblFolder_1")->isEnabled());
        // A value no option stands for leaves none chosen.
        values.setMode(2);
        QVERIFY(!control<QRadioButton>(*w, "optMode_0")->isChecked());
        QVERIFY(!control<QRadioButton>(*w, "optMode_1")->isChecked());

        // The extension chosen in the settings window is the one the main
        // window's removal names.
        control<QComboBox>(s, "cboExt")->setCurrentIndex(1);
        QCOMPARE(values.scriptExtension(), u"avsi"_s);
        m_dialogs.answers = { Dialogs::No };
        w->cmdRemove_Click();
        QVERIFY(m_dialogs.questions.value(0).text.contains(u" .avsi from"_s));
    }

    // Closing the main window ends the program whenever it happens, also
    // while the start-up waits for the update check or its question. The
    // question stands under the arrow, not the start-up's hourglass.
    void closingDuringTheUpdateCheckEndsTheProgram_data()
    {
        QTest::addColumn<bool>("duringQuestion");
        QTest::newRow("while the check waits") << false;
        QTest::newRow("while the question is up") << true;
    }
    void closingDuringTheUpdateCheckEndsTheProgram()
    {
        QFETCH(bool, duringQuestion);
        setSettings("[Settings]\r\nSplash=1\r\n");
        QVERIFY(registerServer(QStringLiteral(VERLOOK_PATH)).ok()); // for this test only, as an installer would
        TestHttpServer site;
        duringQuestion ? site.answer(200, "text/plain", "102\r\n") : site.silent();
        const QString page = site.url(u"/freeware/tovrane"_s);
        frmTovrane w(m_folder->info(), m_dialogs, { site.url(u"/freeware/tovrane/downloads"_s), page });
        m_dialogs.whileAsking = [&w] { w.close(); };
        QTimer closer;
        connect(&closer, &QTimer::timeout, &w, [&] {
            if (!site.requestLines.isEmpty())
                w.close();
        });
        if (!duringQuestion)
            closer.start(10);
        // Were the quit lost, only this would end the loop (again and again,
        // as a quit before the loop runs is lost too).
        QTimer watchdog;
        connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(99); });
        watchdog.start(14000); // before the update check gives up
        const int code = runProgram(w, m_folder->info());
        QVERIFY(registerServer(QStringLiteral(VERLOOK_PATH), true).ok());
        QCOMPARE(code, 0);
        QVERIFY(w.isLoaded() && !w.isVisible());
        QCOMPARE(site.requestLines.size(), 1);
        QCOMPARE(m_dialogs.openedUrls, duringQuestion ? QStringList { page } : QStringList());
        for (const ScriptedDialogs::Asked &question : m_dialogs.questions)
            QCOMPARE(question.cursor, int(Qt::ArrowCursor));
        QVERIFY(!QApplication::overrideCursor());
    }

    // Scan and select, handed the folders and extensions the settings hold.
    void scanListsAndSelects()
    {
        auto w = scannedClips();
        QVERIFY(w);
        QCOMPARE(column(*w, &ClipRow::file), (QStringList { "a.avi", "b.MPG", "c.avi" }));
        QCOMPARE(marks(*w), (QStringList { "-", "Y", "-" }));
        QCOMPARE(control<QLabel>(*w, "Panel2")->text(), u"3 files found"_s);
        control<QPushButton>(*w, "cmdSelect_1")->click();
        QCOMPARE(checkedCount(*w), 3);
        control<QPushButton>(*w, "cmdSelect_0")->click();
        QCOMPARE(checkedCount(*w), 0);
    }

    // One for all, "Always": a script beside each clip, marked "Y".
    void oneForAllWritesBesideEachClip()
    {
        auto w = scannedClips();
        QVERIFY(w);
        control<QPushButton>(*w, "cmdSelect_1")->click();
        control<QPushButton>(*w, "cmdBuild")->click();
        QCOMPARE(m_dialogs.messages, QStringList { "All done!" });
        QCOMPARE(readBytes(clip(u"b.avs"_s)), script("b.MPG"));
        QCOMPARE(readBytes(clip(u"locked/c.avs"_s)), script("locked/c.avi"));
        QCOMPARE(marks(*w), (QStringList { "Y", "Y", "Y" }));
    }

    // "Ask": the question names the script, under the arrow; No keeps it.
    void askKeepsAScriptTheUserKeeps()
    {
        auto w = scannedClips();
        QVERIFY(w);
        control<QPushButton>(*w, "cmdSelect_1")->click();
        control<QRadioButton>(*w->settingsWindow(), "optOverwrite_1")->click();
        QVERIFY(put(clip(u"a.avs"_s), "kept"));
        m_dialogs.answers = { Dialogs::No };
        control<QAction>(*w, "mRunBuild")->trigger();
        QCOMPARE(m_dialogs.questions.value(0).text,
            "The AVS script " + QDir::toNativeSeparators(clip(u"a.avs"_s)) + " already exists. Overwrite?");
        QCOMPARE(m_dialogs.questions.value(0).cursor, int(Qt::ArrowCursor));
        QCOMPARE(readBytes(clip(u"a.avs"_s)), QByteArray("kept"));
    }

    // All for one: one batch file in the script folder.
    void allForOneWritesOneBatch()
    {
        auto w = scannedClips();
        QVERIFY(w);
        control<QPushButton>(*w, "cmdSelect_1")->click();
        control<QRadioButton>(*w, "optMode_0")->click();
        control<QPushButton>(*w, "cmdBuild")->click();
        QCOMPARE(
            readBytes(clip(u"out/batch_file_0.avs"_s)), script("a.avi") + script("b.MPG") + script("locked/c.avi"));
        QCOMPARE(m_dialogs.messages, QStringList { "All done!" });
    }

    // The filter applies from the next scan on: with every clip's script
    // there, none is listed and the commands are off.
    void theFilterAppliesFromTheNextScan()
    {
        auto w = scannedClips();
        QVERIFY(w && put(clip(u"a.avs"_s)) && put(clip(u"locked/c.avs"_s)));
        control<QCheckBox>(*w, "chkCheckedonly")->click();
        QCOMPARE(w->clipModel()->rowCount(), 3);
        control<QPushButton>(*w, "cmdScan")->click();
        QCOMPARE(w->clipModel()->rowCount(), 0);
        QVERIFY(!control<QPushButton>(*w, "cmdBuild")->isEnabled());
        QVERIFY(!control<QAction>(*w, "mRunBuild")->isEnabled());
        QVERIFY(!control<QPushButton>(*w, "cmdSelect_1")->isEnabled());
    }

    // Removal asks first, naming the chosen extension lower-cased, then
    // clears the checked clips' folders. An unchecked clip keeps its mark
    // though its folder was cleared.
    void removalAsksThenClearsTheCheckedFolders()
    {
        auto w = scannedWithScripts();
        QVERIFY(w);
        control<QComboBox>(*w->settingsWindow(), "cboExt")->setCurrentIndex(1);
        m_dialogs.answers = { Dialogs::No };
        control<QPushButton>(*w, "cmdRemove")->click();
        QVERIFY(m_dialogs.questions.last().text.contains(u" .avsi from"_s));
        QVERIFY(QFile::exists(clip(u"a.avs"_s)) && m_dialogs.messages.isEmpty());
        control<QComboBox>(*w->settingsWindow(), "cboExt")->setCurrentIndex(0);
        control<QPushButton>(*w, "cmdRemove")->click();
        QCOMPARE(m_dialogs.messages, QStringList { "All done!" });
        QVERIFY(!QFile::exists(clip(u"a.avs"_s)) && !QFile::exists(clip(u"b.avs"_s)));
        QVERIFY(!QFile::exists(clip(u"locked/c.avs"_s)));
        QCOMPARE(marks(*w), (QStringList { "-", "Y", "-" }));
        QCOMPARE(m_folder->logRecords().size(), 1); // the update check at start only
    }

    // A script the removal cannot delete (its folder locked) keeps its mark,
    // and nothing is logged.
    void removalKeepsTheMarkOfAScriptItCannotDelete()
    {
        auto w = scannedWithScripts();
        QVERIFY(w);
        // Open to others, so that a removal run as another user reaches them.
        const auto mode = [this](const QString &folder, FileMode bits) { return setMode(clip(folder), bits); };
        const auto unlock = qScopeGuard([&] { mode(u"locked"_s, 0777); });
        QVERIFY(mode(QString(), 0777) && mode(u"locked"_s, 0555));
        SKIP_IF_MISSING(Unprivileged::missing());
        {
            Unprivileged asUser;
            if (!asUser.ok() || Unprivileged::mayAccess(clip(u"locked"_s), Unprivileged::MayWrite))
                QSKIP("this user may write in a folder without write permission");
            control<QPushButton>(*w, "cmdRemove")->click();
        }
        QVERIFY(!QFile::exists(clip(u"a.avs"_s)) && QFile::exists(clip(u"locked/c.avs"_s)));
        QCOMPARE(marks(*w), (QStringList { "-", "Y", "Y" }));
        QCOMPARE(m_folder->logRecords().size(), 1); // the update check at start only
    }

    // Counts beyond 16 bits; without a template name the last one stays.
    void statusBarCounts()
    {
        auto w = load();
        w->UpdateStatusBar(200000, u"/t/My.avt"_s);
        w->UpdateStatusBar(200001, QString());
        QCOMPARE(control<QLabel>(*w, "Panel2")->text(), u"200001 files found"_s);
        QCOMPARE(control<QLabel>(*w, "Panel3")->text(), u"My.avt"_s);
    }

    // A question that fails keeps the script, is logged under the build, and
    // the build goes on with the pointer restored.
    void aQuestionThatFailsKeepsTheScript()
    {
        for (const char *name : { "a.avi", "a.avs", "b.avi", "b.avs" })
            QVERIFY(put(clip(QString::fromLatin1(name)), "kept"));
        auto w = loadOnClips();
        control<TemplateEditor>(*w, "txtScript")->setPlainText(u"%CLIP%"_s);
        control<QAction>(*w, "mRunScan")->trigger();
        control<QPushButton>(*w, "cmdSelect_1")->click();
        control<QRadioButton>(*w->settingsWindow(), "optOverwrite_1")->click();
        const qsizetype logged = m_folder->logRecords().size();
        int asked = 0;
        m_dialogs.whileAsking = [&asked] {
            if (++asked == 1)
                throw RuntimeError(ErrNum::DeviceIOError);
        };
        control<QPushButton>(*w, "cmdBuild")->click();
        // The script stays, the failure is logged under the build, the build
        // goes on, and the pointer is the window's own again.
        QCOMPARE(readBytes(clip(u"a.avs"_s)), QByteArray("kept"));
        QCOMPARE(readBytes(clip(u"b.avs"_s)), QByteArray("b"));
        QCOMPARE(m_folder->logRecords().mid(logged), QStringList { u"Mode_1 57"_s });
        QCOMPARE(m_dialogs.messages, QStringList { u"All done!"_s });
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
    }

    // Through the editor, a template in an old code page comes back byte for
    // byte (no-break spaces and control characters included); a cancelled
    // load changes nothing, and files that are not templates at all are
    // refused, logged, and never stored.
    void templatesLoadAndSave()
    {
        auto w = loadOnClips();
        QCOMPARE(control<QLabel>(*w, "Panel3")->text(), u"Mine.avt"_s); // a stored template that is gone
        QByteArray bytes = "# Caf\xe9\xa0\xa9\r\n";
        for (int b = 0; b < 256; ++b)
            bytes += b == '\r' || b == '\n' ? QByteArray("\r\n") : QByteArray(1, char(b));
        const QString old = m_folder->file(u"Templates/Old.avt"_s);
        m_folder->write(u"Templates/Old.avt"_s, bytes);
        m_dialogs.fileNames = { old };
        control<QAction>(*w, "mFileLoad")->trigger();
        QVERIFY(control<TemplateEditor>(*w, "txtScript")->toPlainText().startsWith(u"# Caf\u00e9"_s));
        QVERIFY(settings().contains(("Template=" + old + "\r\n").toLocal8Bit()));
        QCOMPARE(control<QLabel>(*w, "Panel3")->text(), u"Old.avt"_s);
        QVERIFY(!control<QPushButton>(*w, "cmdColour")->isEnabled() && !control<QPushButton>(*w, "cmdSave")->isEnabled()
            && !control<QAction>(*w, "mFileSave")->isEnabled());

        // Typing enables the three commands; Save stores no key.
        QTest::keyClick(control<TemplateEditor>(*w, "txtScript"), Qt::Key_X);
        QVERIFY(control<QPushButton>(*w, "cmdColour")->isEnabled() && control<QPushButton>(*w, "cmdSave")->isEnabled()
            && control<QAction>(*w, "mFileSave")->isEnabled());
        m_dialogs.fileNames = { m_folder->file(u"Templates/Copy.avt"_s) };
        control<QAction>(*w, "mFileSave")->trigger();
        QCOMPARE(
            m_dialogs.fileDialogs.value(1), std::pair(true, QDir::toNativeSeparators(m_folder->file(u"Templates"_s))));
        QCOMPARE(m_folder->read(u"Templates/Copy.avt"_s), "x" + bytes);
        QCOMPARE(control<QLabel>(*w, "Panel3")->text(), u"Copy.avt"_s);

        const QString huge = m_folder->file(u"Templates/Huge.avt"_s);
        QVERIFY(put(huge) && QFile::resize(huge, 16 * 1024 * 1024 + 1));
        m_dialogs.fileNames = { QString(), huge };
        QStringList logged { "cmdLoad_Click 7" };
        if (!fifosMissing()) {
            const QString fifo = m_folder->file(u"Templates/Fifo.avt"_s);
            QVERIFY(makeFifo(fifo));
            m_dialogs.fileNames << fifo;
            logged << "cmdLoad_Click 75";
        }
        for (qsizetype i = 0, n = m_dialogs.fileNames.size(); i < n; ++i)
            control<QPushButton>(*w, "cmdLoad")->click();
        QVERIFY(control<TemplateEditor>(*w, "txtScript")->toPlainText().startsWith(u"x# Caf\u00e9"_s));
        QVERIFY(settings().contains(("Template=" + old + "\r\n").toLocal8Bit()));
        QCOMPARE(m_folder->logRecords().mid(1), logged);
    }

    // Colouring and completion get the names from Filters.txt (Blur, Crop,
    // ConvertToYV12), upper-cased for colouring, sorted for completion; the
    // keys themselves are the completion's own tests.
    void editor()
    {
        auto w = loadOnClips();
        w->show();
        control<TemplateEditor>(*w, "txtScript")->setPlainText(u"GaussianBLUR(%CLIP%)"_s);
        control<QPushButton>(*w, "cmdColour")->click();
        QCOMPARE(drawnFormat(control<TemplateEditor>(*w, "txtScript"), 9).foreground().color(),
            QColor(128, 64, 64)); // in BLUR

        control<TemplateEditor>(*w, "txtScript")->clear();
        control<TemplateEditor>(*w, "txtScript")->setFocus();
        QTest::keyClick(control<TemplateEditor>(*w, "txtScript"), Qt::Key_C);
        QCOMPARE(control<QListWidget>(*w, "lstIntelli")->currentItem()->text(), u"ConvertToYV12"_s);
        QTest::keyClick(control<TemplateEditor>(*w, "txtScript"), Qt::Key_Return);
        QTest::keyClick(control<TemplateEditor>(*w, "txtScript"), Qt::Key_Return);
        QTest::keyClick(control<TemplateEditor>(*w, "txtScript"), Qt::Key_B);
        QVERIFY(control<QListWidget>(*w, "lstIntelli")->isVisible());
        // A letter of another layout extends the word like any other: no
        // name goes on with it, so a later Enter cannot put one in.
        QTest::sendKeyEvent(
            QTest::Click, control<TemplateEditor>(*w, "txtScript"), Qt::Key_Udiaeresis, u"\u00fc"_s, Qt::NoModifier);
        QVERIFY(!control<QListWidget>(*w, "lstIntelli")->isVisible());
        QTest::keyClick(control<TemplateEditor>(*w, "txtScript"), Qt::Key_Return);
        QTest::keyClick(control<TemplateEditor>(*w, "txtScript"), Qt::Key_B);
        QCOMPARE(control<TemplateEditor>(*w, "txtScript")->toPlainText(), u"ConvertToYV12\nb\u00fc\nb"_s);
        // Leaving the editor closes the list.
        QVERIFY(control<QListWidget>(*w, "lstIntelli")->isVisible());
        control<QPushButton>(*w, "cmdScan")->setFocus();
        QVERIFY(!control<QListWidget>(*w, "lstIntelli")->isVisible());
        QCOMPARE(control<QListWidget>(*w, "lstIntelli")->currentRow(), -1);
    }

    // A name typed in full, capitals and parentheses with Shift, stays as
    // typed, and Enter then breaks the line; a click elsewhere ends the
    // completion, so Enter breaks the line there instead of putting a name
    // in place of the word before it.
    void completionNeverRewritesWhatWasTyped()
    {
        m_folder->write(u"Filters.txt"_s, "AssumeBFF\r\nAssumeTFF\r\nCrop\r\nConvertToYV12\r\n");
        auto w = load();
        w->show();
        control<TemplateEditor>(*w, "txtScript")->clear();
        control<TemplateEditor>(*w, "txtScript")->setFocus();
        typeKeys(control<TemplateEditor>(*w, "txtScript"), u"AssumeTFF()⏎x"_s);
        QCOMPARE(control<TemplateEditor>(*w, "txtScript")->toPlainText(), u"AssumeTFF()\nx"_s);
        // Enter on a line of its own puts no name there for the word above.
        typeKeys(control<TemplateEditor>(*w, "txtScript"), u"⏎Assum⎋⏎⏎"_s);
        QCOMPARE(control<TemplateEditor>(*w, "txtScript")->toPlainText(), u"AssumeTFF()\nx\nAssum\n\n"_s);
        // Shift held for a capital is no reason to hide the names that go on with it.
        typeKeys(control<TemplateEditor>(*w, "txtScript"), u"AssumeT"_s);
        QVERIFY(control<QListWidget>(*w, "lstIntelli")->isVisible());
        QCOMPARE(control<QListWidget>(*w, "lstIntelli")->currentItem()->text(), u"AssumeTFF"_s);

        control<TemplateEditor>(*w, "txtScript")->setPlainText(u"ConvertToYV12()\n"_s);
        control<TemplateEditor>(*w, "txtScript")->moveCursor(QTextCursor::End);
        typeKeys(control<TemplateEditor>(*w, "txtScript"), u"cro"_s);
        QVERIFY(control<QListWidget>(*w, "lstIntelli")->isVisible());
        QTextCursor inName(control<TemplateEditor>(*w, "txtScript")->document());
        inName.setPosition(8); // ConvertT|oYV12
        QTest::mouseClick(control<TemplateEditor>(*w, "txtScript")->viewport(), Qt::LeftButton, {},
            control<TemplateEditor>(*w, "txtScript")->cursorRect(inName).center());
        QVERIFY(!control<QListWidget>(*w, "lstIntelli")->isVisible());
        typeKeys(control<TemplateEditor>(*w, "txtScript"), u"⏎"_s);
        QCOMPARE(control<TemplateEditor>(*w, "txtScript")->toPlainText(), u"ConvertT\noYV12()\ncro"_s);
    }

    // Only a single template dropped on the editor is taken, and loaded as
    // Load loads it; other files, several files, links and text from another
    // program are refused and leave the template as it was.
    void dropsOnTheEditor()
    {
        auto w = load();
        w->show();
        const QString text = control<TemplateEditor>(*w, "txtScript")->toPlainText();
        const QString other = clip(u"notes.txt"_s), one = m_folder->file(u"Templates/One.avt"_s),
                      two = m_folder->file(u"Templates/Two.avs"_s);
        QVERIFY(put(other, "notes") && put(one, "One()\r\n") && put(two, "Two()\r\n"));
        // What a file manager or a browser sends: addresses, and the same as text.
        const auto offer = [&](const QList<QUrl> &urls, const QString &plain) {
            QMimeData mime;
            if (!urls.isEmpty())
                mime.setUrls(urls);
            mime.setText(plain);
            QWidget *target = control<TemplateEditor>(*w, "txtScript")->viewport();
            const QPoint at = target->rect().center();
            QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(target, &enter);
            QDropEvent dropped(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(target, &dropped);
            return enter.isAccepted() || dropped.isAccepted();
        };
        const auto asText = [](const QList<QUrl> &urls) {
            QStringList lines;
            for (const QUrl &url : urls)
                lines << url.toString();
            return lines.join(u"\r\n"_s);
        };
        const QList<QList<QUrl>> refused { { QUrl::fromLocalFile(other) },
            { QUrl::fromLocalFile(one), QUrl::fromLocalFile(two) }, { QUrl(u"https://example.org/Blur.avs"_s) }, {} };
        for (const QList<QUrl> &urls : refused) {
            QVERIFY2(!offer(urls, urls.isEmpty() ? u"Blur(2)"_s : asText(urls)), qPrintable(asText(urls)));
            QCOMPARE(control<TemplateEditor>(*w, "txtScript")->toPlainText(), text);
        }
        QVERIFY(!control<QPushButton>(*w, "cmdSave")->isEnabled());
        QVERIFY(offer({ QUrl::fromLocalFile(two) }, asText({ QUrl::fromLocalFile(two) })));
        QCOMPARE(control<TemplateEditor>(*w, "txtScript")->toPlainText(), u"Two()\n"_s);
        QVERIFY(settings().contains(("Template=" + QDir::toNativeSeparators(two) + "\r\n").toLocal8Bit()));
    }

    // Colouring is no edit: Ctrl+Z straight after start, Load, Save or
    // Syntax changes nothing and leaves Save off, and the user's own edit
    // goes with one Ctrl+Z.
    void colouringIsNoUndoStep()
    {
        auto w = load();
        w->show();
        control<TemplateEditor>(*w, "txtScript")->setFocus();
        const auto blurLooksLikeAName = [&] {
            const int at = int(control<TemplateEditor>(*w, "txtScript")->toPlainText().indexOf(u"Blur"_s)) + 1;
            const QTextCharFormat f = drawnFormat(control<TemplateEditor>(*w, "txtScript"), at);
            return f.foreground().color() == QColor(128, 64, 64) && f.fontWeight() == QFont::Bold;
        };
        const QString text = control<TemplateEditor>(*w, "txtScript")->toPlainText();
        const auto undoChangesNothing = [&](const char *after) {
            typeKeys(control<TemplateEditor>(*w, "txtScript"), u"⌃z"_s);
            QVERIFY2(control<TemplateEditor>(*w, "txtScript")->toPlainText() == text && blurLooksLikeAName(), after);
            QVERIFY2(
                !control<QPushButton>(*w, "cmdSave")->isEnabled() && !control<QAction>(*w, "mFileSave")->isEnabled(),
                after);
        };
        undoChangesNothing("start");
        m_dialogs.fileNames = { m_folder->file(u"Templates/Default.avs"_s) };
        control<QPushButton>(*w, "cmdLoad")->click();
        undoChangesNothing("Load");
        m_dialogs.fileNames = { m_folder->file(u"Templates/Copy.avt"_s) };
        control<QPushButton>(*w, "cmdSave")->click();
        undoChangesNothing("Save");

        control<TemplateEditor>(*w, "txtScript")->moveCursor(QTextCursor::Start);
        typeKeys(control<TemplateEditor>(*w, "txtScript"), u"x"_s);
        QVERIFY(control<QPushButton>(*w, "cmdSave")->isEnabled());
        control<QPushButton>(*w, "cmdColour")->click();
        control<QPushButton>(*w, "cmdSave")->setEnabled(false); // as after a save: only an edit turns it on
        control<TemplateEditor>(*w, "txtScript")->moveCursor(QTextCursor::End);
        typeKeys(control<TemplateEditor>(*w, "txtScript"), u"⌃z"_s);
        QCOMPARE(control<TemplateEditor>(*w, "txtScript")->toPlainText(), text);
        QVERIFY(blurLooksLikeAName());
    }

    // A screen reader can tell the editor and the list apart, and hears the
    // chosen entry while the caret stays in the editor.
    void screenReadersHearTheEntries()
    {
        auto w = load();
        w->show();
        QAccessibleInterface *editor = QAccessible::queryAccessibleInterface(control<TemplateEditor>(*w, "txtScript"));
        QAccessibleInterface *list = QAccessible::queryAccessibleInterface(control<QListWidget>(*w, "lstIntelli"));
        QCOMPARE(editor->text(QAccessible::Name), u"Script template"_s);
        QCOMPARE(list->text(QAccessible::Name), u"Filter names"_s);
        control<TemplateEditor>(*w, "txtScript")->setFocus();
        control<TemplateEditor>(*w, "txtScript")->moveCursor(QTextCursor::End);
        typeKeys(control<TemplateEditor>(*w, "txtScript"), u"c↓"_s);
        QVERIFY(control<TemplateEditor>(*w, "txtScript")->hasFocus());
        QAccessibleInterface *chosen = list->focusChild();
        QVERIFY(chosen);
        QCOMPARE(chosen->text(QAccessible::Name), u"Crop"_s);
    }

    // A comment's colour ends with its line: text typed on the next line is
    // plain, text typed within the comment takes its colour.
    void aCommentsColourEndsWithItsLine()
    {
        auto w = load();
        w->show();
        control<TemplateEditor>(*w, "txtScript")->setPlainText(u"# comment\n\nmore"_s);
        control<QPushButton>(*w, "cmdColour")->click();
        control<TemplateEditor>(*w, "txtScript")->setFocus();
        typeKeys(control<TemplateEditor>(*w, "txtScript"), u"↓abc"_s); // on the empty line
        typeKeys(control<TemplateEditor>(*w, "txtScript"), u"↑⇲x"_s); // at the comment's end
        QCOMPARE(control<TemplateEditor>(*w, "txtScript")->toPlainText(), u"# commentx\nabc\nmore"_s);
        const QColor text = control<TemplateEditor>(*w, "txtScript")->palette().color(QPalette::Text);
        for (int at = 11; at < 14; ++at) {
            const QTextCharFormat f = drawnFormat(control<TemplateEditor>(*w, "txtScript"), at);
            QVERIFY2(f.foreground().color() == text && f.fontWeight() != QFont::Bold, QByteArray::number(at));
        }
        QCOMPARE(drawnFormat(control<TemplateEditor>(*w, "txtScript"), 9).foreground().color(), QColor(0, 128, 0));
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
