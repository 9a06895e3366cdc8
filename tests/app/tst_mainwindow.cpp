// The main window's wiring: that its controls, menu entries and handlers
// hand the logic what the controls of both windows hold, and show what it
// gives back. The logic's own cases are the window-free tests'.
#include "ClipListModel.h"
#include "ComponentServer.h"
#include "Dialog.h"
#include "DrawnFormat.h"
#include "LoadedWindow.h"
#include "Program.h"
#include "ProgramFolder.h"
#include "RuntimeError.h"
#include "ScriptedDialogs.h"
#include "TemplateEditor.h"
#include "TestHttpServer.h"
#include "Typing.h"
#include "Unprivileged.h"
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

#include <sys/stat.h>

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
        QCOMPARE(::mkfifo(QFile::encodeName(m_folder->file(u"Filters.txt"_s)).constData(), 0600), 0);
        auto w = load();
        QCOMPARE(settings(), QByteArray());
        // Five integer keys, the empty extension box, the filter list, then the failed update check.
        const QStringList records = m_folder->logRecords();
        QCOMPARE(records.first(7), QStringList(5, u"Form_Load 13"_s) << u"Form_Load 5"_s << u"Form_Load 75"_s);
        QVERIFY(records.size() == 8 && records[7].startsWith(u"Form_Load "_s));
        QVERIFY(w->optMode[0]->isChecked() && w->settingsWindow()->optOverwrite[0]->isChecked());
        QVERIFY(!w->settingsWindow()->cmdOpen[1]->isEnabled() && w->isVisible());
        QVERIFY(!w->cmdSave->isEnabled() && !w->mFileSave->isEnabled());
        QVERIFY(!w->cmdBuild->isEnabled() && !w->mRunBuild->isEnabled());
        QCOMPARE(w->txtScript->toPlainText(), u"# default\nBlur(1.0)\n"_s);
        QCOMPARE(w->panels[1]->text(), u"0 files found"_s);
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
        for (const auto &[control, key, after] : choices) {
            for (const char *way : { "click", "accessible action" }) {
                setSettings(file(key, 1 - after));
                auto w = load();
                auto *button = w->findChild<QAbstractButton *>(QLatin1String(control));
                QVERIFY2(button, control);
                if (*way == 'c')
                    button->click();
                else if (auto *a = QAccessible::queryAccessibleInterface(button)->actionInterface())
                    a->doAction(QAccessibleActionInterface::toggleAction());
                const QByteArray what = control + QByteArray(" by ") + way;
                QVERIFY2(settings() == file(key, after), what);
                // The script folder can be set exactly while it is to be used.
                QVERIFY2(w->settingsWindow()->cmdOpen[1]->isEnabled() == (key == "BuildScriptsIn" && after), what);
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
        s->lstScanFolders->setFocus(Qt::TabFocusReason);
        QCOMPARE(s->lstScanFolders->currentRow(), 0);
        QVERIFY(!s->cmdRemove->isEnabled());
        s->cmdRemove_Click();
        QCOMPARE(s->scanFolders(), (QStringList { "/a", "/b", "/c" }));
        s->hide();
        s->lstScanFolders->setCurrentRow(1);
        s->cmdRemove->click();
        // Off until a folder is picked again; the arrow keys pick one as a click does.
        QVERIFY(!s->cmdRemove->isEnabled());
        QTest::keyClick(s->lstScanFolders, Qt::Key_Down);
        s->cmdRemove->click();
        QCOMPARE(s->scanFolders(), QStringList { "/c" });

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
                d->OKButton->click();
            } else {
                modal->close();
            }
        });
        answer.start(0);
        s->cmdOpen[1]->click();
        QCOMPARE(openedAt, scripts); // the folder the label shows
        QCOMPARE(w->scriptFolder(), sub);
        QCOMPARE(s->scriptFolderLabel(), sub);
        s->cmdOpen[0]->click(); // "Add" appends, even a folder already listed
        s->cmdOpen[0]->click();
        QCOMPARE(s->scanFolders(), (QStringList { u"/c"_s, sub, sub }));

        // "&Close" only hides it, and so does the close box: the menu entry
        // and the button find it again with the extension chosen, which is
        // never stored. They open About too.
        s->show();
        s->cboExt->setCurrentIndex(1);
        s->cmdClose->click();
        QVERIFY(s->isHidden());
        w->mFileSettings->trigger();
        w->cmdSettings->click();
        w->mAbout->trigger();
        w->cmdAbout->click();
        QCOMPARE(shown,
            (QStringList { "Dialog", "Dialog", "Dialog", "frmSettings", "frmSettings", "frmAbout", "frmAbout" }));
        QVERIFY(s && s->isHidden() && w->settingsWindow() == s && s->scriptExtension() == u"avsi");
        QCOMPARE(settings(),
            ("[Settings]\r\nMainFolder=/c|" + sub + "|" + sub + "\r\nAvsFolder=" + sub
                + "\r\nBuildScriptsIn=1\r\nScriptExtensions=avs|avsi\r\n")
                .toLocal8Bit());

        // A store that fails is logged under the window whose handler tried
        // it, and the value is kept for this run.
        w->IniPath = m_folder->file(u"missing/Settings.ini"_s);
        w->AddFolder(u"/v"_s);
        s->chkSplash->click();
        QCOMPARE(w->MainFolder, "/c|" + sub + "|" + sub + "|/v");
        const QByteArray log = logText(m_folder->path());
        QVERIFY(log.contains("Source module   \t: frmTovrane\r\nSource procedure\t: AddFolder\r\n"));
        QVERIFY(log.contains("Source module   \t: frmSettings\r\nSource procedure\t: chkSplash_Click\r\n"));
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

    // Scan, select, build, filter and remove, each handed what the controls
    // of both windows hold.
    void clipCommands()
    {
        for (const char *name : { "a.avi", "b.MPG", "b.avs", "notes.txt", "locked/c.avi" })
            QVERIFY(put(clip(QString::fromLatin1(name))));
        auto w = loadOnClips();
        w->txtScript->setPlainText(u"Src(\"%PATH%/%CLIP%.%EXT%\")\n# %clip%"_s);
        const auto script
            = [this](const char *name) { return "Src(\"" + clip().toLocal8Bit() + "/" + name + "\")\r\n# %clip%"; };
        const auto checked = [&w] { return std::ranges::count(w->clipModel()->rows(), true, &ClipRow::checked); };
        w->mRunScan->trigger();
        QCOMPARE(column(*w, &ClipRow::file), (QStringList { "a.avi", "b.MPG", "c.avi" }));
        QCOMPARE(marks(*w), (QStringList { "-", "Y", "-" }));
        QCOMPARE(w->panels[1]->text(), u"3 files found"_s);
        w->cmdSelect[0]->click();
        QCOMPARE(checked(), 0);
        w->cmdSelect[1]->click();
        QCOMPARE(checked(), 3);

        // One for all, "Always": a script beside each clip, marked "Y".
        w->cmdBuild->click();
        QCOMPARE(m_dialogs.messages, QStringList { "All done!" });
        QCOMPARE(readBytes(clip(u"b.avs"_s)), script("b.MPG"));
        QCOMPARE(marks(*w), (QStringList { "Y", "Y", "Y" }));
        // "Ask": the question names the script, under the arrow; No keeps it.
        w->settingsWindow()->optOverwrite[1]->click();
        QVERIFY(put(clip(u"a.avs"_s), "kept"));
        m_dialogs.answers = { Dialogs::No };
        w->mRunBuild->trigger();
        QCOMPARE(
            m_dialogs.questions.value(0).text, "The AVS script " + clip(u"a.avs"_s) + " already exists. Overwrite?");
        QCOMPARE(m_dialogs.questions.value(0).cursor, int(Qt::ArrowCursor));
        QCOMPARE(readBytes(clip(u"a.avs"_s)), QByteArray("kept"));
        // All for one: one batch file in the script folder.
        w->optMode[0]->click();
        w->cmdBuild->click();
        QCOMPARE(
            readBytes(clip(u"out/batch_file_0.avs"_s)), script("a.avi") + script("b.MPG") + script("locked/c.avi"));

        // The filter applies from the next scan on: every clip has its script
        // now, so none is listed and the commands are off.
        w->chkCheckedonly->click();
        QCOMPARE(w->clipModel()->rowCount(), 3);
        w->cmdScan->click();
        QVERIFY(!w->cmdBuild->isEnabled() && !w->mRunBuild->isEnabled() && !w->cmdSelect[1]->isEnabled());

        // Removal asks first, then clears the checked clips' folders; a
        // script it cannot delete (its folder locked) keeps its mark.
        w->chkCheckedonly->click();
        w->cmdScan->click();
        w->clipModel()->setChecked(0, true);
        w->clipModel()->setChecked(2, true);
        w->settingsWindow()->cboExt->setCurrentIndex(1);
        m_dialogs.answers = { Dialogs::No };
        w->cmdRemove->click();
        QVERIFY(m_dialogs.questions.last().text.contains(u" .avsi from"_s)); // lower-cased
        QVERIFY(QFile::exists(clip(u"a.avs"_s)));
        w->settingsWindow()->cboExt->setCurrentIndex(0);
        // Open to others, so that a removal run as another user reaches them.
        const auto mode = [this](const QString &folder, mode_t bits) {
            return ::chmod(QFile::encodeName(clip(folder)).constData(), bits) == 0;
        };
        const auto unlock = qScopeGuard([&] { mode(u"locked"_s, 0777); });
        QVERIFY(mode(QString(), 0777) && mode(u"locked"_s, 0555));
        bool locked = false;
        {
            Unprivileged asUser;
            locked = asUser.ok() && !Unprivileged::mayAccess(clip(u"locked"_s), W_OK);
            w->cmdRemove->click();
        }
        QCOMPARE(m_dialogs.messages.size(), 4);
        QVERIFY(!QFile::exists(clip(u"a.avs"_s)) && !QFile::exists(clip(u"b.avs"_s)));
        QCOMPARE(QFile::exists(clip(u"locked/c.avs"_s)), locked);
        // An unchecked clip keeps its mark though its folder was cleared.
        QCOMPARE(marks(*w), (QStringList { "-", "Y", locked ? "Y" : "-" }));
        QCOMPARE(m_folder->logRecords().size(), 1); // the update check at start only

        // Counts beyond 16 bits; without a template name the last one stays.
        w->UpdateStatusBar(200000, u"/t/My.avt"_s);
        w->UpdateStatusBar(200001, QString());
        QCOMPARE(w->panels[1]->text(), u"200001 files found"_s);
        QCOMPARE(w->panels[2]->text(), u"My.avt"_s);
    }

    // Through the editor, a template in an old code page comes back byte for
    // byte (no-break spaces and control characters included); a cancelled
    // load changes nothing, and files that are not templates at all are
    // refused, logged, and never stored.
    void aQuestionThatFailsKeepsTheScript()
    {
        for (const char *name : { "a.avi", "a.avs", "b.avi", "b.avs" })
            QVERIFY(put(clip(QString::fromLatin1(name)), "kept"));
        auto w = loadOnClips();
        w->txtScript->setPlainText(u"%CLIP%"_s);
        w->mRunScan->trigger();
        w->cmdSelect[1]->click();
        w->settingsWindow()->optOverwrite[1]->click();
        const qsizetype logged = m_folder->logRecords().size();
        int asked = 0;
        m_dialogs.whileAsking = [&asked] {
            if (++asked == 1)
                throw RuntimeError(ErrNum::DeviceIOError);
        };
        w->cmdBuild->click();
        // The script stays, the failure is logged under the build, the build
        // goes on, and the pointer is the window's own again.
        QCOMPARE(readBytes(clip(u"a.avs"_s)), QByteArray("kept"));
        QCOMPARE(readBytes(clip(u"b.avs"_s)), QByteArray("b"));
        QCOMPARE(m_folder->logRecords().mid(logged), QStringList { u"Mode_1 57"_s });
        QCOMPARE(m_dialogs.messages, QStringList { u"All done!"_s });
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
    }

    void templatesLoadAndSave()
    {
        auto w = loadOnClips();
        QCOMPARE(w->panels[2]->text(), u"Mine.avt"_s); // a stored template that is gone
        QByteArray bytes = "# Caf\xe9\xa0\xa9\r\n";
        for (int b = 0; b < 256; ++b)
            bytes += b == '\r' || b == '\n' ? QByteArray("\r\n") : QByteArray(1, char(b));
        const QString old = m_folder->file(u"Templates/Old.avt"_s);
        m_folder->write(u"Templates/Old.avt"_s, bytes);
        m_dialogs.fileNames = { old };
        w->mFileLoad->trigger();
        QVERIFY(w->txtScript->toPlainText().startsWith(u"# Caf\u00e9"_s));
        QVERIFY(settings().contains(("Template=" + old + "\r\n").toLocal8Bit()));
        QCOMPARE(w->panels[2]->text(), u"Old.avt"_s);
        QVERIFY(!w->cmdColour->isEnabled() && !w->cmdSave->isEnabled() && !w->mFileSave->isEnabled());

        // Typing enables the three commands; Save stores no key.
        QTest::keyClick(w->txtScript, Qt::Key_X);
        QVERIFY(w->cmdColour->isEnabled() && w->cmdSave->isEnabled() && w->mFileSave->isEnabled());
        m_dialogs.fileNames = { m_folder->file(u"Templates/Copy.avt"_s) };
        w->mFileSave->trigger();
        QCOMPARE(m_dialogs.fileDialogs.value(1), std::pair(true, m_folder->file(u"Templates"_s)));
        QCOMPARE(m_folder->read(u"Templates/Copy.avt"_s), "x" + bytes);
        QCOMPARE(w->panels[2]->text(), u"Copy.avt"_s);

        const QString huge = m_folder->file(u"Templates/Huge.avt"_s);
        QVERIFY(put(huge) && QFile::resize(huge, 16 * 1024 * 1024 + 1));
        const QString fifo = m_folder->file(u"Templates/Fifo.avt"_s);
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        m_dialogs.fileNames = { QString(), huge, fifo };
        for (int i = 0; i < 3; ++i)
            w->cmdLoad->click();
        QVERIFY(w->txtScript->toPlainText().startsWith(u"x# Caf\u00e9"_s));
        QVERIFY(settings().contains(("Template=" + old + "\r\n").toLocal8Bit()));
        QCOMPARE(m_folder->logRecords().mid(1), (QStringList { "cmdLoad_Click 7", "cmdLoad_Click 75" }));
    }

    // Colouring and completion get the names from Filters.txt (Blur, Crop,
    // ConvertToYV12), upper-cased for colouring, sorted for completion; the
    // keys themselves are the completion's own tests.
    void editor()
    {
        auto w = loadOnClips();
        w->show();
        w->txtScript->setPlainText(u"GaussianBLUR(%CLIP%)"_s);
        w->cmdColour->click();
        QCOMPARE(drawnFormat(w->txtScript, 9).foreground().color(), QColor(128, 64, 64)); // in BLUR

        w->txtScript->clear();
        w->txtScript->setFocus();
        QTest::keyClick(w->txtScript, Qt::Key_C);
        QCOMPARE(w->lstIntelli->currentItem()->text(), u"ConvertToYV12"_s);
        QTest::keyClick(w->txtScript, Qt::Key_Return);
        QTest::keyClick(w->txtScript, Qt::Key_Return);
        QTest::keyClick(w->txtScript, Qt::Key_B);
        QVERIFY(w->lstIntelli->isVisible());
        // A letter of another layout extends the word like any other: no
        // name goes on with it, so a later Enter cannot put one in.
        QTest::sendKeyEvent(QTest::Click, w->txtScript, Qt::Key_Udiaeresis, u"\u00fc"_s, Qt::NoModifier);
        QVERIFY(!w->lstIntelli->isVisible());
        QTest::keyClick(w->txtScript, Qt::Key_Return);
        QTest::keyClick(w->txtScript, Qt::Key_B);
        QCOMPARE(w->txtScript->toPlainText(), u"ConvertToYV12\nb\u00fc\nb"_s);
        // Leaving the editor closes the list.
        QVERIFY(w->lstIntelli->isVisible());
        w->cmdScan->setFocus();
        QVERIFY(!w->lstIntelli->isVisible());
        QCOMPARE(w->lstIntelli->currentRow(), -1);
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
        w->txtScript->clear();
        w->txtScript->setFocus();
        typeKeys(w->txtScript, u"AssumeTFF()⏎x"_s);
        QCOMPARE(w->txtScript->toPlainText(), u"AssumeTFF()\nx"_s);
        // Enter on a line of its own puts no name there for the word above.
        typeKeys(w->txtScript, u"⏎Assum⎋⏎⏎"_s);
        QCOMPARE(w->txtScript->toPlainText(), u"AssumeTFF()\nx\nAssum\n\n"_s);
        // Shift held for a capital is no reason to hide the names that go on with it.
        typeKeys(w->txtScript, u"AssumeT"_s);
        QVERIFY(w->lstIntelli->isVisible());
        QCOMPARE(w->lstIntelli->currentItem()->text(), u"AssumeTFF"_s);

        w->txtScript->setPlainText(u"ConvertToYV12()\n"_s);
        w->txtScript->moveCursor(QTextCursor::End);
        typeKeys(w->txtScript, u"cro"_s);
        QVERIFY(w->lstIntelli->isVisible());
        QTextCursor inName(w->txtScript->document());
        inName.setPosition(8); // ConvertT|oYV12
        QTest::mouseClick(w->txtScript->viewport(), Qt::LeftButton, {}, w->txtScript->cursorRect(inName).center());
        QVERIFY(!w->lstIntelli->isVisible());
        typeKeys(w->txtScript, u"⏎"_s);
        QCOMPARE(w->txtScript->toPlainText(), u"ConvertT\noYV12()\ncro"_s);
    }

    // Only a single template dropped on the editor is taken, and loaded as
    // Load loads it; other files, several files, links and text from another
    // program are refused and leave the template as it was.
    void dropsOnTheEditor()
    {
        auto w = load();
        w->show();
        const QString text = w->txtScript->toPlainText();
        const QString other = clip(u"notes.txt"_s), one = m_folder->file(u"Templates/One.avt"_s),
                      two = m_folder->file(u"Templates/Two.avs"_s);
        QVERIFY(put(other, "notes") && put(one, "One()\r\n") && put(two, "Two()\r\n"));
        // What a file manager or a browser sends: addresses, and the same as text.
        const auto offer = [&](const QList<QUrl> &urls, const QString &plain) {
            QMimeData mime;
            if (!urls.isEmpty())
                mime.setUrls(urls);
            mime.setText(plain);
            QWidget *target = w->txtScript->viewport();
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
            QCOMPARE(w->txtScript->toPlainText(), text);
        }
        QVERIFY(!w->cmdSave->isEnabled());
        QVERIFY(offer({ QUrl::fromLocalFile(two) }, asText({ QUrl::fromLocalFile(two) })));
        QCOMPARE(w->txtScript->toPlainText(), u"Two()\n"_s);
        QVERIFY(settings().contains(("Template=" + two + "\r\n").toLocal8Bit()));
    }

    // Colouring is no edit: Ctrl+Z straight after start, Load, Save or
    // Syntax changes nothing and leaves Save off, and the user's own edit
    // goes with one Ctrl+Z.
    void colouringIsNoUndoStep()
    {
        auto w = load();
        w->show();
        w->txtScript->setFocus();
        const auto blurLooksLikeAName = [&] {
            const int at = int(w->txtScript->toPlainText().indexOf(u"Blur"_s)) + 1;
            const QTextCharFormat f = drawnFormat(w->txtScript, at);
            return f.foreground().color() == QColor(128, 64, 64) && f.fontWeight() == QFont::Bold;
        };
        const QString text = w->txtScript->toPlainText();
        const auto undoChangesNothing = [&](const char *after) {
            typeKeys(w->txtScript, u"⌃z"_s);
            QVERIFY2(w->txtScript->toPlainText() == text && blurLooksLikeAName(), after);
            QVERIFY2(!w->cmdSave->isEnabled() && !w->mFileSave->isEnabled(), after);
        };
        undoChangesNothing("start");
        m_dialogs.fileNames = { m_folder->file(u"Templates/Default.avs"_s) };
        w->cmdLoad->click();
        undoChangesNothing("Load");
        m_dialogs.fileNames = { m_folder->file(u"Templates/Copy.avt"_s) };
        w->cmdSave->click();
        undoChangesNothing("Save");

        w->txtScript->moveCursor(QTextCursor::Start);
        typeKeys(w->txtScript, u"x"_s);
        QVERIFY(w->cmdSave->isEnabled());
        w->cmdColour->click();
        w->cmdSave->setEnabled(false); // as after a save: only an edit turns it on
        w->txtScript->moveCursor(QTextCursor::End);
        typeKeys(w->txtScript, u"⌃z"_s);
        QCOMPARE(w->txtScript->toPlainText(), text);
        QVERIFY(blurLooksLikeAName());
    }

    // A screen reader can tell the editor and the list apart, and hears the
    // chosen entry while the caret stays in the editor.
    void screenReadersHearTheEntries()
    {
        auto w = load();
        w->show();
        QAccessibleInterface *editor = QAccessible::queryAccessibleInterface(w->txtScript);
        QAccessibleInterface *list = QAccessible::queryAccessibleInterface(w->lstIntelli);
        QCOMPARE(editor->text(QAccessible::Name), u"Script template"_s);
        QCOMPARE(list->text(QAccessible::Name), u"Filter names"_s);
        w->txtScript->setFocus();
        w->txtScript->moveCursor(QTextCursor::End);
        typeKeys(w->txtScript, u"c↓"_s);
        QVERIFY(w->txtScript->hasFocus());
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
        w->txtScript->setPlainText(u"# comment\n\nmore"_s);
        w->cmdColour->click();
        w->txtScript->setFocus();
        typeKeys(w->txtScript, u"↓abc"_s); // on the empty line
        typeKeys(w->txtScript, u"↑⇲x"_s); // at the comment's end
        QCOMPARE(w->txtScript->toPlainText(), u"# commentx\nabc\nmore"_s);
        const QColor text = w->txtScript->palette().color(QPalette::Text);
        for (int at = 11; at < 14; ++at) {
            const QTextCharFormat f = drawnFormat(w->txtScript, at);
            QVERIFY2(f.foreground().color() == text && f.fontWeight() != QFont::Bold, QByteArray::number(at));
        }
        QCOMPARE(drawnFormat(w->txtScript, 9).foreground().color(), QColor(0, 128, 0));
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
