// The main window end to end: its start-up, the settings it reads and
// stores, its other windows, and its commands driven through the real
// controls.
#include "ClipListModel.h"
#include "ComponentServer.h"
#include "Dialog.h"
#include "ProgramFolder.h"
#include "ScriptedDialogs.h"
#include "TestHttpServer.h"
#include "Unprivileged.h"
#include "frmSettings.h"
#include "Program.h"
#include "frmTovrane.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTextEdit>
#include <QTimer>
#include <QtTest>

#include <algorithm>

#include <sys/stat.h>
#include <memory>

using namespace Qt::StringLiterals;
using Records = QList<std::pair<QString, int>>;

class TestMainWindow : public QObject
{
    Q_OBJECT

    QTemporaryDir m_config;
    std::unique_ptr<ProgramFolder> m_folder;
    std::unique_ptr<QTemporaryDir> m_clips;
    ScriptedDialogs m_dialogs;

    // Nothing listens on the discard port, so the update check fails at once.
    std::unique_ptr<frmTovrane> load()
    {
        auto window = std::make_unique<frmTovrane>(m_folder->info(), m_dialogs,
                                                   frmTovrane::UpdateCheck {u"http://127.0.0.1:9"_s, QString()});
        window->Form_Load();
        return window;
    }
    // Started on the clip folder, with every setting stored and no log.
    std::unique_ptr<frmTovrane> loadOnClips()
    {
        setSettings("[Settings]\r\nMainFolder=" + clipDir().toLocal8Bit() + "\r\nAvsFolder="
                    + clipDir("out").toLocal8Bit()
                    + "\r\nExtenions=AVI|MPG\r\nScriptExtensions=avs|AVSI\r\nOverwrite=0\r\nBuildScriptsIn=0\r\n"
                      "Splash=1\r\nMode=1\r\nShow=0\r\n");
        auto w = load();
        m_folder->clearLogs();
        return w;
    }
    QByteArray settings() const { return m_folder->read(u"Settings.ini"_s); }
    void setSettings(const QByteArray &bytes) const { m_folder->write(u"Settings.ini"_s, bytes); }
    static QStringList items(const QListWidget *list)
    {
        QStringList out;
        for (int i = 0; i < list->count(); ++i)
            out << list->item(i)->text();
        return out;
    }

    QString clipDir(const QString &relative = QString()) const
    {
        return relative.isEmpty() ? m_clips->path() : m_clips->filePath(relative);
    }
    void touch(const QString &relative, const QByteArray &bytes = QByteArray()) const
    {
        QDir().mkpath(QFileInfo(clipDir(relative)).path());
        QFile f(clipDir(relative));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    void touch(std::initializer_list<const char *> names) const
    {
        for (const char *name : names)
            touch(QString::fromLatin1(name));
    }
    static QByteArray contents(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    static QStringList column(const frmTovrane &w, QString ClipRow::*field)
    {
        QStringList out;
        for (const ClipRow &row : w.clipModel()->rows())
            out << row.*field;
        return out;
    }

private slots:
    void initTestCase() { qputenv("XDG_CONFIG_HOME", m_config.path().toLocal8Bit()); }
    void init()
    {
        m_folder = std::make_unique<ProgramFolder>();
        m_clips = std::make_unique<QTemporaryDir>();
        m_dialogs = ScriptedDialogs();
        QDir(clipDir()).mkpath(u"out"_s);
    }

    void firstStartWithoutSettings()
    {
        auto w = load();
        QVERIFY(QFile::exists(m_folder->file(u"Settings.ini"_s)));
        QCOMPARE(settings(), QByteArray());

        // Five integer keys, the empty extension box, and the update check.
        const Records records = m_folder->logRecords();
        QCOMPARE(records.size(), 7);
        QCOMPARE(records.mid(0, 6), (Records {{"Form_Load", 13}, {"Form_Load", 13}, {"Form_Load", 13},
                                              {"Form_Load", 13}, {"Form_Load", 13}, {"Form_Load", 5}}));
        QCOMPARE(records[6].first, u"Form_Load"_s);

        // The start-up went on to the end, every setting at its default.
        QVERIFY(w->optMode[0]->isChecked() && w->settingsWindow()->optOverwrite[0]->isChecked());
        QVERIFY(!w->settingsWindow()->cmdOpen[1]->isEnabled());
        QCOMPARE(w->txtScript->toPlainText(), u"# default\nBlur(1.0)\n"_s);
        QCOMPARE(w->panels[1]->text(), u"0 files found"_s);
        QVERIFY(!w->cmdSave->isEnabled() && !w->mFileSave->isEnabled());
        QVERIFY(!w->cmdBuild->isEnabled() && !w->mRunBuild->isEnabled());
        QVERIFY(w->isVisible());

        // A second call loads nothing again.
        const frmSettings *first = w->settingsWindow();
        const QLabel *panel = w->panels[1];
        w->Form_Load();
        QCOMPARE(m_folder->logRecords(), records);
        QVERIFY(w->settingsWindow() == first && w->panels[1] == panel);
    }

    void storedSettingsFillBothWindows()
    {
        setSettings("[Settings]\r\nMainFolder=/clips/a|/clips/b\r\nAvsFolder=/scripts\r\nExtenions=AVI|MPG\r\n"
                    "Overwrite=1\r\nBuildScriptsIn=1\r\nScriptExtensions=avsi|avs\r\nSplash=1\r\nMode=1\r\nShow=1\r\n"
                    "Template=/nowhere/Mine.avt\r\n");
        const QByteArray before = settings();
        auto w = load();
        QCOMPARE(m_folder->logRecords().size(), 1); // only the update check
        QCOMPARE(settings(), before);               // loading stores nothing

        frmSettings *s = w->settingsWindow();
        QCOMPARE(s->scanFolders(), (QStringList {"/clips/a", "/clips/b"}));
        QCOMPARE(w->MainFolder, u"/clips/a|/clips/b"_s);
        QCOMPARE(s->scriptFolderLabel(), u"/scripts"_s);
        QVERIFY(s->optOverwrite[1]->isChecked() && s->optBuildScripts[1]->isChecked() && s->cmdOpen[1]->isEnabled());
        QVERIFY(s->chkSplash->isChecked() && w->optMode[1]->isChecked() && w->chkCheckedonly->isChecked());
        // A stored template that is gone still names the status bar's panel.
        QCOMPARE(w->panels[2]->text(), u"Mine.avt"_s);
    }

    // Every choice is stored the moment it is made, however it is made: a
    // click, the space bar, or a screen reader's action (which toggles the
    // control without clicking it).
    void choicesAreStoredAtOnce_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        QTest::newRow("mode: one for all") << "optMode_1" << "Mode" << "0" << "1";
        QTest::newRow("mode: all for one") << "optMode_0" << "Mode" << "1" << "0";
        QTest::newRow("filter on") << "chkCheckedonly" << "Show" << "0" << "1";
        QTest::newRow("filter off") << "chkCheckedonly" << "Show" << "1" << "0";
        QTest::newRow("overwrite: ask") << "optOverwrite_1" << "Overwrite" << "0" << "1";
        QTest::newRow("overwrite: always") << "optOverwrite_0" << "Overwrite" << "1" << "0";
        QTest::newRow("build in the script folder") << "optBuildScripts_1" << "BuildScriptsIn" << "0" << "1";
        QTest::newRow("build in the clip folder") << "optBuildScripts_0" << "BuildScriptsIn" << "1" << "0";
        QTest::newRow("splash off") << "chkSplash" << "Splash" << "0" << "1";
        QTest::newRow("splash on") << "chkSplash" << "Splash" << "1" << "0";
    }
    void choicesAreStoredAtOnce()
    {
        QFETCH(QString, control);
        QFETCH(QString, key);
        QFETCH(QString, before);
        QFETCH(QString, after);
        const auto file = [&](const QString &value) {
            return ("[Settings]\r\n" + key + "=" + value + "\r\nScriptExtensions=avs\r\n").toLatin1();
        };
        for (const QString &way : {u"click"_s, u"space"_s, u"accessible action"_s}) {
            setSettings(file(before));
            auto w = load();
            auto *button = w->findChild<QAbstractButton *>(control);
            QVERIFY(button);
            if (way == u"click") {
                button->click();
            } else if (way == u"space") {
                QTest::keyClick(button, Qt::Key_Space);
            } else {
                QAccessibleActionInterface *actions = QAccessible::queryAccessibleInterface(button)->actionInterface();
                QVERIFY(actions && actions->actionNames().contains(QAccessibleActionInterface::toggleAction()));
                actions->doAction(QAccessibleActionInterface::toggleAction());
            }
            QVERIFY2(settings() == file(after), qPrintable(way));
            QCOMPARE(w->mode(), key == u"Mode" ? after.toInt() : 0);
            QCOMPARE(w->showFilter(), key == u"Show" ? after.toInt() : 0);
            // The script folder can be set exactly while it is to be used.
            const frmSettings *s = w->settingsWindow();
            const bool scriptFolder = key == u"BuildScriptsIn" && after == u"1";
            QCOMPARE(s->cmdOpen[1]->isEnabled(), scriptFolder);
            QCOMPARE(s->lblFolder[1]->isEnabled(), scriptFolder);
        }
    }

    void aFailedStoreIsLoggedAndTheValueKept()
    {
        auto w = load();
        m_folder->clearLogs();
        w->IniPath = m_folder->file(u"missing/Settings.ini"_s);
        w->AddFolder(u"/v/a"_s);
        QCOMPARE(w->MainFolder, u"/v/a"_s);
        QCOMPARE(w->settingsWindow()->scanFolders(), QStringList {"/v/a"});
        const Records records = m_folder->logRecords();
        QCOMPARE(records.size(), 1);
        QCOMPARE(records[0].first, u"AddFolder"_s);
        // The settings window's own handlers log under its own name.
        w->settingsWindow()->chkSplash->click();
        QVERIFY(m_folder->read(QDateTime::currentDateTime().toString(u"'tovrane_'yyyyMMdd'.log'"_s))
                    .contains("Source module   \t: frmSettings\r\nSource procedure\t: chkSplash_Click\r\n"));
    }

    void filtersFileFeedsBothLists()
    {
        // Blank lines and one-character names are not offered, but count as names.
        m_folder->write(u"Filters.txt"_s, "\r\nBlur\r\nx\r\n\r\nCrop\r\n");
        auto w = load();
        QCOMPARE(items(w->lstIntelli), (QStringList {"Blur", "Crop"}));
        QCOMPARE(w->FilterNames, (QStringList {"BLUR", "X", "", "CROP"}));

        // Blanks trimmed, "|" splits names, the list sorted without regard to case.
        m_folder->write(u"Filters.txt"_s, "  crop  \nBlur|Sharpen\nAddBorders\n");
        w = load();
        QCOMPARE(items(w->lstIntelli), (QStringList {"AddBorders", "Blur|Sharpen", "crop"}));
        QCOMPARE(w->FilterNames, (QStringList {"CROP", "BLUR", "SHARPEN", "ADDBORDERS"}));

        // No file: logged, and the start-up goes on.
        m_folder->remove(u"Filters.txt"_s);
        m_folder->clearLogs();
        w = load();
        QCOMPARE(w->lstIntelli->count(), 0);
        QVERIFY(w->FilterNames.isEmpty());
        QVERIFY(m_folder->logRecords().contains(std::pair(u"Form_Load"_s, 53)));
        QVERIFY(w->isVisible());
    }

    void settingsWindowRemovesScanFolders()
    {
        setSettings("[Settings]\r\nMainFolder=/a|/b|/c\r\n");
        auto w = load();
        frmSettings *s = w->settingsWindow();
        const auto removeRow = [s](int row) {
            QVERIFY(!s->cmdRemove->isEnabled());
            s->lstScanFolders->setCurrentRow(row);
            s->lstScanFolders_Click();
            QVERIFY(s->cmdRemove->isEnabled());
            s->cmdRemove->click();
        };
        removeRow(1);
        QCOMPARE(s->scanFolders(), (QStringList {"/a", "/c"}));
        QCOMPARE(w->MainFolder, u"/a|/c"_s);
        QCOMPARE(settings(), QByteArray("[Settings]\r\nMainFolder=/a|/c\r\n"));
        removeRow(0);
        // The arrow keys pick a folder as a click does.
        QVERIFY(!s->cmdRemove->isEnabled());
        QTest::keyClick(s->lstScanFolders, Qt::Key_Down);
        QVERIFY(s->cmdRemove->isEnabled());
        s->cmdRemove->click();
        QCOMPARE(w->MainFolder, QString());
        QCOMPARE(settings(), QByteArray("[Settings]\r\nMainFolder=\r\n"));
    }

    void settingsWindowHidesAndKeepsItsState()
    {
        setSettings("[Settings]\r\nMainFolder=/a\r\nScriptExtensions=avs|avsi\r\n");
        auto w = load();
        const QByteArray before = settings();
        QPointer<frmSettings> s = w->settingsWindow();
        // The menu entry and the button both show it; "&Close" and the close
        // box both only hide it.
        QTimer::singleShot(0, s, [s] { s->cboExt->setCurrentIndex(1); s->cmdClose->click(); });
        w->mFileSettings->trigger();
        QVERIFY(s && s->isHidden());
        QTimer::singleShot(0, s, [s] { s->close(); });
        w->cmdSettings->click();
        QVERIFY(s && s->isHidden());
        QCOMPARE(w->settingsWindow(), s.data());
        QCOMPARE(settings(), before); // the extension is never stored
    }

    void settingsWindowButtonsHandTheChosenFolderBack()
    {
        QTemporaryDir tree;
        QVERIFY(QDir(tree.path()).mkpath(u"scripts/sub"_s));
        const QString scripts = QDir::toNativeSeparators(tree.filePath(u"scripts"_s));
        const QString sub = QDir::toNativeSeparators(tree.filePath(u"scripts/sub"_s));
        setSettings(("[Settings]\r\nMainFolder=/a\r\nAvsFolder=" + scripts + "\r\nBuildScriptsIn=1\r\n").toLocal8Bit());
        auto w = load();
        frmSettings *s = w->settingsWindow();
        // A button opens a chooser; there `folder` is opened and OK pressed.
        // Gives the folder the chooser opened at.
        const auto choose = [s](int button, const QString &folder) {
            QString openedAt;
            QObject guard; // the answer must not outlive this call
            QTimer::singleShot(0, &guard, [&] {
                if (auto *d = s->findChild<Dialog *>()) {
                    openedAt = d->openFolder();
                    d->setOpenFolder(folder);
                    d->OKButton->click();
                }
            });
            s->cmdOpen[button]->click();
            return openedAt;
        };
        // The script-folder button opens at the folder its label shows.
        QCOMPARE(choose(1, sub), scripts);
        QCOMPARE(w->scriptFolder(), sub);
        QCOMPARE(s->scriptFolderLabel(), sub);
        // "Add" appends, even a folder already listed.
        QVERIFY(!choose(0, sub).isEmpty());
        QVERIFY(!choose(0, sub).isEmpty());
        QCOMPARE(s->scanFolders(), (QStringList { u"/a"_s, sub, sub }));
        QCOMPARE(w->MainFolder, u"/a|%1|%1"_s.arg(sub));
        QCOMPARE(settings(),
                 ("[Settings]\r\nMainFolder=/a|" + sub + "|" + sub + "\r\nAvsFolder=" + sub + "\r\nBuildScriptsIn=1\r\n")
                     .toLocal8Bit());
    }

    void aNewerVersionIsOfferedAtStart()
    {
        // Registered for this test only, as an installer would.
        QVERIFY(registerServer(QStringLiteral(VERLOOK_PATH)).ok());
        TestHttpServer site;
        site.answer(200, "text/plain", "102\r\n");
        const QString page = site.url(u"/freeware/tovrane"_s);
        m_dialogs.answers = {Dialogs::Yes};
        frmTovrane w(m_folder->info(), m_dialogs, {site.url(u"/freeware/tovrane/downloads"_s), page});
        w.Form_Load();
        QVERIFY(registerServer(QStringLiteral(VERLOOK_PATH), true).ok());

        QCOMPARE(m_dialogs.openedUrls, QStringList {page});
        QCOMPARE(m_folder->logRecords().size(), 6); // the missing settings only
        // The start-up's hourglass gives way to the arrow over the question.
        QCOMPARE(m_dialogs.questions.value(0).cursor, int(Qt::ArrowCursor));
        QVERIFY(!QApplication::overrideCursor());
    }

    // Closing the main window ends the program whenever it happens, also
    // while the start-up waits for the update check or its question.
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
        QVERIFY(registerServer(QStringLiteral(VERLOOK_PATH)).ok());
        TestHttpServer site;
        if (duringQuestion)
            site.answer(200, "text/plain", "102\r\n");
        else
            site.silent();
        frmTovrane w(m_folder->info(), m_dialogs, {site.url(u"/freeware/tovrane/downloads"_s), QString()});
        QTimer closer;
        if (duringQuestion) {
            m_dialogs.answers = {Dialogs::No};
            m_dialogs.whileAsking = [&w] { w.close(); };
        } else {
            connect(&closer, &QTimer::timeout, &w, [&] {
                if (!site.requestLines.isEmpty())
                    w.close();
            });
            closer.start(10);
        }
        // Were the quit lost, only this would end the loop (again and again,
        // as a quit before the loop runs is lost too).
        QTimer watchdog;
        connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(99); });
        watchdog.start(14000);
        QElapsedTimer clock;
        clock.start();
        const int code = runProgram(w, m_folder->info());
        QVERIFY(registerServer(QStringLiteral(VERLOOK_PATH), true).ok());
        QCOMPARE(code, 0);
        QVERIFY(clock.elapsed() < 10000);
        QVERIFY(w.isLoaded() && !w.isVisible());
        QCOMPARE(site.requestLines.size(), 1);
    }

    void menusAndButtonsReachTheirCommands()
    {
        auto w = load();
        int aboutShown = 0;
        QTimer closer; // About is modal: close whatever opens
        connect(&closer, &QTimer::timeout, [&] {
            if (QWidget *modal = QApplication::activeModalWidget()) {
                aboutShown += modal->inherits("frmAbout");
                modal->close();
            }
        });
        closer.start(0);
        w->mAbout->trigger();
        w->cmdAbout->click();
        closer.stop();
        QCOMPARE(aboutShown, 2);

        w->mFileLoad->trigger();
        QCOMPARE(m_dialogs.fileDialogs.size(), 1);
        QVERIFY(!m_dialogs.fileDialogs[0].save);
    }

    void scanListsClipsAndEnablesTheCommands()
    {
        touch({"a.avi", "b.MPG", "b.avs", "notes.txt", "sub/c.avi"});
        auto w = loadOnClips();
        w->mRunScan->trigger();
        QCOMPARE(column(*w, &ClipRow::file), (QStringList {"a.avi", "b.MPG", "c.avi"}));
        QCOMPARE(column(*w, &ClipRow::avs), (QStringList {"-", "Y", "-"}));
        QCOMPARE(w->panels[1]->text(), u"3 files found"_s);

        w->cmdSelect[1]->click();
        QCOMPARE(std::ranges::count(w->clipModel()->rows(), true, &ClipRow::checked), 3);
        w->cmdSelect[0]->click();
        QCOMPARE(std::ranges::count(w->clipModel()->rows(), true, &ClipRow::checked), 0);

        // The filter applies from the next scan on.
        w->chkCheckedonly->click();
        QCOMPARE(w->clipModel()->rowCount(), 3);
        w->cmdScan->click();
        QCOMPARE(column(*w, &ClipRow::file), (QStringList {"a.avi", "c.avi"}));

        // Nothing to scan: the commands are off again.
        w->settingsWindow()->lstScanFolders->clear();
        w->cmdScan->click();
        QCOMPARE(w->clipModel()->rowCount(), 0);
        QVERIFY(!w->cmdBuild->isEnabled() && !w->mRunBuild->isEnabled() && !w->cmdSelect[1]->isEnabled());
        QCOMPARE(w->panels[1]->text(), u"0 files found"_s);
        QVERIFY(m_folder->logRecords().isEmpty());

        // Counts beyond 16 bits; without a template name the last one stays.
        w->UpdateStatusBar(200000, u"/t/My.avt"_s);
        w->UpdateStatusBar(200001, QString());
        QCOMPARE(w->panels[1]->text(), u"200001 files found"_s);
        QCOMPARE(w->panels[2]->text(), u"My.avt"_s);
    }

    void removalAsksThenDeletesInCheckedFolders()
    {
        touch({"readme.txt", "x/a.avi", "x/a.avs", "x/stray.avs", "x/keep.avsi", "y/c.avi", "y/c.avs"});
        auto w = loadOnClips();
        w->cmdScan->click();
        QCOMPARE(column(*w, &ClipRow::file), (QStringList {"a.avi", "c.avi"}));
        w->clipModel()->setChecked(0, true);

        // No: nothing changes, no "All done!".
        m_dialogs.answers = {Dialogs::No};
        w->cmdRemove->click();
        QCOMPARE(m_dialogs.questions.size(), 1);
        QVERIFY(m_dialogs.messages.isEmpty());
        QVERIFY(QFile::exists(clipDir(u"x/a.avs"_s)));

        // Yes: every script in a checked clip's folder goes; other folders keep theirs.
        w->cmdRemove->click();
        QCOMPARE(m_dialogs.messages, QStringList {"All done!"});
        QVERIFY(!QFile::exists(clipDir(u"x/a.avs"_s)) && !QFile::exists(clipDir(u"x/stray.avs"_s)));
        QVERIFY(QFile::exists(clipDir(u"y/c.avs"_s)));
        QCOMPARE(column(*w, &ClipRow::avs), (QStringList {"-", "Y"}));

        // The extension chosen in the settings window, lower-cased; nothing
        // checked, nothing removed.
        w->settingsWindow()->cboExt->setCurrentIndex(1);
        w->cmdSelect[0]->click();
        w->cmdRemove->click();
        QVERIFY(m_dialogs.questions.last().text.contains(u" .avsi from"_s));
        QVERIFY(QFile::exists(clipDir(u"x/keep.avsi"_s)));
    }

    // A script that cannot be deleted (its folder is locked) keeps its row's
    // mark: the list must not claim a script is gone while it is still there.
    void removalKeepsTheMarkOfAScriptItCannotDelete()
    {
        touch({"c.avi", "c.avs", "locked/a.avi", "locked/a.avs"});
        const auto all = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
            | QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther
            | QFileDevice::WriteOther | QFileDevice::ExeOther;
        const auto noWrite = all & ~(QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther);
        QVERIFY(QFile::setPermissions(clipDir(), all));
        QVERIFY(QFile::setPermissions(clipDir(u"locked"_s), noWrite));
        auto w = loadOnClips();
        w->cmdScan->click();
        QCOMPARE(column(*w, &ClipRow::file), (QStringList {"c.avi", "a.avi"}));
        QCOMPARE(column(*w, &ClipRow::avs), (QStringList {"Y", "Y"}));
        w->cmdSelect[1]->click();
        {
            Unprivileged asUser;
            if (!asUser.ok() || Unprivileged::mayAccess(clipDir(u"locked"_s), W_OK))
                QSKIP("cannot act as a user whom a locked folder stops");
            w->cmdRemove->click();
        }
        QVERIFY(QFile::setPermissions(clipDir(u"locked"_s), all));
        QCOMPARE(m_dialogs.messages, QStringList {"All done!"});
        QVERIFY(QFile::exists(clipDir(u"locked/a.avs"_s)) && !QFile::exists(clipDir(u"c.avs"_s)));
        QCOMPARE(column(*w, &ClipRow::avs), (QStringList {"-", "Y"}));
    }

    // The build itself is the build's own test; here, that the window hands
    // it the editor's text and the settings of both windows.
    void buildModesWriteTheirFiles()
    {
        touch({"a.avi", "b.mpg"});
        auto w = loadOnClips();
        w->txtScript->setPlainText(u"Src(\"%PATH%/%CLIP%.%EXT%\")\n# %clip%"_s);
        w->cmdScan->click();
        const auto script = [this](const char *clip) {
            return "Src(\"" + clipDir().toLocal8Bit() + "/" + clip + "\")\r\n# %clip%";
        };

        // One for all, "Always": a script beside each clip, marked "Y".
        w->cmdBuild->click();
        QCOMPARE(m_dialogs.messages, QStringList {"All done!"});
        QCOMPARE(contents(clipDir(u"a.avs"_s)), script("a.avi"));
        QCOMPARE(contents(clipDir(u"b.avs"_s)), script("b.mpg"));
        QCOMPARE(column(*w, &ClipRow::avs), (QStringList {"Y", "Y"}));

        // "Ask": the question names the script; No keeps it.
        w->settingsWindow()->optOverwrite[1]->click();
        touch(u"a.avs"_s, "kept");
        m_dialogs.answers = {Dialogs::No, Dialogs::Yes};
        w->mRunBuild->trigger();
        QCOMPARE(m_dialogs.questions.size(), 2);
        QCOMPARE(m_dialogs.questions[0].text, "The AVS script " + clipDir(u"a.avs"_s) + " already exists. Overwrite?");
        QCOMPARE(contents(clipDir(u"a.avs"_s)), QByteArray("kept"));

        // All for one: one batch file in the script folder.
        w->optMode[0]->click();
        w->cmdBuild->click();
        QCOMPARE(contents(clipDir(u"out/batch_file_0.avs"_s)), script("a.avi") + script("b.mpg"));
        QCOMPARE(m_dialogs.messages.size(), 3);
        QVERIFY(m_folder->logRecords().isEmpty());
    }

    void templatesLoadAndSave()
    {
        auto w = loadOnClips();
        const QString mine = m_folder->file(u"Templates/Mine.avt"_s);
        const QString text = u"Blur(1)\nCrop(%EXT%) # é"_s;

        // Save writes the typed name exactly, with CR LF, and stores no key.
        w->txtScript->setPlainText(text);
        m_dialogs.fileNames = {mine};
        w->mFileSave->trigger();
        QCOMPARE(m_dialogs.fileDialogs.value(0).folder, m_folder->file(u"Templates"_s));
        QCOMPARE(m_folder->read(u"Templates/Mine.avt"_s), u"Blur(1)\r\nCrop(%EXT%) # é"_s.toLocal8Bit());
        QCOMPARE(w->panels[2]->text(), u"Mine.avt"_s);
        QVERIFY(!settings().contains("Template="));

        // Load cancelled: nothing loaded.
        w->txtScript->setPlainText(u"changed"_s);
        w->cmdLoad->click();
        QCOMPARE(w->txtScript->toPlainText(), u"changed"_s);

        // Load gives the saved text back, stores its name, and leaves nothing to save.
        m_dialogs.fileNames = {mine};
        w->cmdLoad->click();
        QCOMPARE(w->txtScript->toPlainText(), text);
        QVERIFY(settings().contains(("Template=" + mine + "\r\n").toLocal8Bit()));
        QVERIFY(!w->cmdColour->isEnabled() && !w->cmdSave->isEnabled() && !w->mFileSave->isEnabled());
        QVERIFY(m_folder->logRecords().isEmpty());

        // Typing enables the three commands again.
        QTest::keyClick(w->txtScript, Qt::Key_X);
        QVERIFY(w->cmdColour->isEnabled() && w->cmdSave->isEnabled() && w->mFileSave->isEnabled());
    }

    // Through the editor, a template in an old code page comes back byte for
    // byte (no-break spaces and control characters included); files that
    // are not templates at all are refused, logged, and never stored.
    void templatesKeepTheirBytesAndOddFilesAreRefused()
    {
        auto w = loadOnClips();
        QByteArray bytes = "# Caf\xe9\xa0\xa9\r\n";
        for (int b = 0; b < 256; ++b)
            bytes += b == '\r' || b == '\n' ? QByteArray("\r\n") : QByteArray(1, char(b));
        m_folder->write(u"Templates/Old.avt"_s, bytes);
        m_dialogs.fileNames = {m_folder->file(u"Templates/Old.avt"_s), m_folder->file(u"Templates/Copy.avt"_s)};
        w->cmdLoad->click();
        w->cmdSave_Click(); // the button waits for an edit
        QCOMPARE(m_folder->read(u"Templates/Copy.avt"_s), bytes);

        const QString huge = m_folder->file(u"Templates/Huge.avt"_s);
        QFile f(huge);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.resize(16 * 1024 * 1024 + 1));
        f.close();
        const QString fifo = m_folder->file(u"Templates/Fifo.avt"_s);
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        m_dialogs.fileNames = {huge, fifo};
        w->cmdLoad->click();
        w->cmdLoad->click();
        QVERIFY(settings().contains("Template=" + m_folder->file(u"Templates/Old.avt"_s).toLocal8Bit() + "\r\n"));
        QCOMPARE(m_folder->logRecords(), (Records {{"cmdLoad_Click", 7}, {"cmdLoad_Click", 75}}));
        QVERIFY(w->txtScript->toPlainText().startsWith(u"# Caf\u00e9"_s));

        // At start: a FIFO as the filter list is logged and passed by.
        m_folder->remove(u"Filters.txt"_s);
        QCOMPARE(::mkfifo(QFile::encodeName(m_folder->file(u"Filters.txt"_s)).constData(), 0600), 0);
        m_folder->clearLogs();
        w = load();
        QVERIFY(m_folder->logRecords().contains(std::pair(u"Form_Load"_s, 75)));
        QVERIFY(w->isVisible());
    }

    void colouringAndEnlarge()
    {
        auto w = loadOnClips();
        w->txtScript->setPlainText(u"GaussianBLUR(%CLIP%)"_s);
        w->cmdColour->click();
        QTextCursor c(w->txtScript->document());
        c.setPosition(9); // in BLUR, a name from Filters.txt
        QCOMPARE(c.charFormat().foreground().color(), QColor(128, 64, 64));
        c.setPosition(1);
        QCOMPARE(c.charFormat().foreground().color(), w->palette().color(QPalette::ButtonText));

        // Enlarge moves the editor up over the groups, its list with it, and back.
        const int top = w->txtScript->y(), height = w->txtScript->height();
        w->cmdEnlarge->click();
        const int enlarged = w->txtScript->height();
        QVERIFY(w->enlarged() && w->txtScript->y() < top && enlarged > height);
        QCOMPARE(w->lstIntelli->y(), w->txtScript->y());
        w->cmdEnlarge->click();
        QVERIFY(!w->enlarged() && w->txtScript->height() < enlarged);
        QCOMPARE(w->txtScript->y(), top);
        QCOMPARE(w->lstIntelli->y(), top);
    }

    // The keys themselves are the completion's own tests; here, that the
    // window feeds it the editor's keys and closes the list when the editor
    // loses the focus.
    void completionInTheEditor()
    {
        auto w = loadOnClips();
        w->show();
        w->txtScript->clear();
        w->txtScript->setFocus();
        QTest::keyClicks(w->txtScript, u"co"_s);
        QVERIFY(w->lstIntelli->isVisible());
        QCOMPARE(w->lstIntelli->currentItem()->text(), u"ConvertToYV12"_s);
        QTest::keyClick(w->txtScript, Qt::Key_Return);
        QCOMPARE(w->txtScript->toPlainText(), u"ConvertToYV12"_s);
        QTest::keyClick(w->txtScript, Qt::Key_Return);
        QTest::keyClick(w->txtScript, Qt::Key_B);
        QVERIFY(w->lstIntelli->isVisible());
        // A letter of another layout extends the word like any other: no
        // name goes on with it, so a later Enter cannot put one in.
        QTest::sendKeyEvent(QTest::Click, w->txtScript, Qt::Key_Udiaeresis, u"\u00fc"_s, Qt::NoModifier);
        QVERIFY(!w->lstIntelli->isVisible());
        QTest::keyClick(w->txtScript, Qt::Key_Return);
        QCOMPARE(w->txtScript->toPlainText(), u"ConvertToYV12\nb\u00fc\n"_s);
        QTest::keyClick(w->txtScript, Qt::Key_B);
        QVERIFY(w->lstIntelli->isVisible());
        w->cmdScan->setFocus();
        QVERIFY(!w->lstIntelli->isVisible());
        QCOMPARE(w->lstIntelli->currentRow(), -1);
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
