#include "ClipListModel.h"
#include "ComponentServer.h"
#include "Dialog.h"
#include "ProgramFolder.h"
#include "ScriptedDialogs.h"
#include "TestHttpServer.h"
#include "frmSettings.h"
#include "frmTovrane.h"

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

#include <memory>

using Records = QList<std::pair<QString, int>>;

class TestMainWindow : public QObject
{
    Q_OBJECT

    QTemporaryDir m_config;
    std::unique_ptr<ProgramFolder> m_folder;
    ScriptedDialogs m_dialogs;

    std::unique_ptr<frmTovrane> load()
    {
        auto window = std::make_unique<frmTovrane>(m_folder->info(), m_dialogs,
                                                   frmTovrane::UpdateCheck {QStringLiteral("http://127.0.0.1:9"), QString()});
        window->Form_Load();
        return window;
    }
    QByteArray settings() const { return m_folder->read(QStringLiteral("Settings.ini")); }
    static QStringList items(const QListWidget *list)
    {
        QStringList out;
        for (int i = 0; i < list->count(); ++i)
            out << list->item(i)->text();
        return out;
    }

private slots:
    void initTestCase()
    {
        // No component is registered here, so the update check fails at once.
        qputenv("XDG_CONFIG_HOME", m_config.path().toLocal8Bit());
    }
    void init()
    {
        m_folder = std::make_unique<ProgramFolder>();
        m_dialogs = ScriptedDialogs();
    }

    void firstStartWithoutSettings()
    {
        auto w = load();
        QVERIFY(QFile::exists(m_folder->file(QStringLiteral("Settings.ini"))));
        QCOMPARE(settings(), QByteArray());
        QCOMPARE(w->windowTitle(), QStringLiteral("Tovrane v1.0.1"));
        QCOMPARE(w->IniPath, m_folder->file(QStringLiteral("Settings.ini")));
        QCOMPARE(w->PutKey, QStringLiteral("Settings"));

        // Five integer keys, the empty extension box, and the update check.
        const Records expected {{"Form_Load", 13}, {"Form_Load", 13}, {"Form_Load", 13}, {"Form_Load", 13},
                                {"Form_Load", 13}, {"Form_Load", 5}};
        const Records records = m_folder->logRecords();
        QCOMPARE(records.size(), 7);
        QCOMPARE(records.mid(0, 6), expected);
        QCOMPARE(records[6].first, QStringLiteral("Form_Load"));

        QVERIFY(w->optMode[0]->isChecked());
        frmSettings *s = w->settingsWindow();
        QVERIFY(s->optOverwrite[0]->isChecked());
        QVERIFY(s->optBuildScripts[0]->isChecked());
        QVERIFY(!s->cmdOpen[1]->isEnabled());
        QVERIFY(!s->lblFolder[1]->isEnabled());
        QVERIFY(!s->cmdRemove->isEnabled());
        QCOMPARE(s->lstScanFolders->count(), 0);
        QCOMPARE(s->cboExt->count(), 0);
        QCOMPARE(w->txtScript->toPlainText(), QStringLiteral("# default\nBlur(1.0)\n"));
        QCOMPARE(w->panels[1]->text(), QStringLiteral("0 files found"));
        QVERIFY(!w->cmdSave->isEnabled());
        QVERIFY(!w->mFileSave->isEnabled());
        QVERIFY(!w->mRunBuild->isEnabled());
        QVERIFY(!w->cmdBuild->isEnabled());
        QVERIFY(w->isVisible());
    }

    void storedSettingsFillBothWindows()
    {
        m_folder->write(QStringLiteral("Settings.ini"),
                        "[Settings]\r\nMainFolder=/clips/a|/clips/b\r\nAvsFolder=/scripts\r\nExtenions=AVI|MPG\r\n"
                        "Overwrite=1\r\nBuildScriptsIn=1\r\nScriptExtensions=avsi|avs\r\nSplash=1\r\nMode=1\r\nShow=1\r\n");
        const QByteArray before = settings();
        auto w = load();
        QCOMPARE(m_folder->logRecords().size(), 1); // only the update check
        frmSettings *s = w->settingsWindow();
        QCOMPARE(items(s->lstScanFolders), (QStringList {"/clips/a", "/clips/b"}));
        QCOMPARE(w->MainFolder, QStringLiteral("/clips/a|/clips/b"));
        QCOMPARE(s->scanFolders(), (QStringList {"/clips/a", "/clips/b"}));
        QCOMPARE(s->lblFolder[1]->text(), QStringLiteral("/scripts"));
        QCOMPARE(s->overwritePolicy(), 1);
        QCOMPARE(s->buildScriptsIn(), 1);
        QVERIFY(s->cmdOpen[1]->isEnabled());
        QVERIFY(s->chkSplash->isChecked());
        QCOMPARE(s->cboExt->count(), 2);
        QCOMPARE(s->scriptExtension(), QStringLiteral("avsi"));
        QVERIFY(w->optMode[1]->isChecked());
        QVERIFY(w->chkCheckedonly->isChecked());
        QCOMPARE(w->clipExtensions(), QStringLiteral("AVI|MPG"));
        QCOMPARE(w->scriptFolder(), QStringLiteral("/scripts"));
        // Loading stores nothing.
        QCOMPARE(settings(), before);
    }

    void choosingAModeStoresItAtOnce()
    {
        m_folder->write(QStringLiteral("Settings.ini"), "[Settings]\r\nMode=0\r\n");
        auto w = load();
        QVERIFY(w->optMode[0]->isChecked());
        w->optMode[1]->click();
        QCOMPARE(w->mode(), 1);
        QCOMPARE(settings(), QByteArray("[Settings]\r\nMode=1\r\n"));
        w->optMode[0]->click();
        QCOMPARE(settings(), QByteArray("[Settings]\r\nMode=0\r\n"));
    }

    void staleTemplateFallsBackToTheDefault()
    {
        m_folder->write(QStringLiteral("Settings.ini"), "[Settings]\r\nTemplate=/nowhere/Mine.avt\r\n");
        auto w = load();
        QCOMPARE(w->txtScript->toPlainText(), QStringLiteral("# default\nBlur(1.0)\n"));
        QCOMPARE(w->panels[2]->text(), QStringLiteral("Mine.avt"));
    }

    void addAndSetFolders()
    {
        auto w = load();
        w->AddFolder(QStringLiteral("/v/a"));
        QCOMPARE(w->MainFolder, QStringLiteral("/v/a"));
        w->AddFolder(QStringLiteral("/v/a"));
        QCOMPARE(w->MainFolder, QStringLiteral("/v/a|/v/a"));
        QCOMPARE(items(w->settingsWindow()->lstScanFolders), (QStringList {"/v/a", "/v/a"}));
        QVERIFY(settings().contains("MainFolder=/v/a|/v/a\r\n"));
        w->AvsFolder(QStringLiteral("/out"));
        QCOMPARE(w->scriptFolder(), QStringLiteral("/out"));
        QCOMPARE(w->settingsWindow()->lblFolder[1]->text(), QStringLiteral("/out"));
        QVERIFY(settings().contains("AvsFolder=/out\r\n"));
    }

    void aFailedStoreIsLoggedAndTheValueKept()
    {
        auto w = load();
        m_folder->clearLogs();
        w->IniPath = m_folder->file(QStringLiteral("missing/Settings.ini"));
        w->AddFolder(QStringLiteral("/v/a"));
        QCOMPARE(w->MainFolder, QStringLiteral("/v/a"));
        QCOMPARE(w->settingsWindow()->lstScanFolders->count(), 1);
        QCOMPARE(m_folder->logRecords().size(), 1);
        QCOMPARE(m_folder->logRecords()[0].first, QStringLiteral("AddFolder"));
    }

    void filtersFileBuildsBothLists()
    {
        m_folder->write(QStringLiteral("Filters.txt"), "\r\nBlur\r\nx\r\n\r\nCrop\r\n");
        auto w = load();
        QCOMPARE(items(w->lstIntelli), (QStringList {"Blur", "Crop"}));
        QCOMPARE(w->FilterNames, (QStringList {"BLUR", "X", "", "CROP"}));

        // Blanks trimmed, "|" splits, case-insensitive order in the list.
        m_folder->write(QStringLiteral("Filters.txt"), "  crop  \nBlur|Sharpen\nAddBorders\n");
        auto v = load();
        QCOMPARE(items(v->lstIntelli), (QStringList {"AddBorders", "Blur|Sharpen", "crop"}));
        QCOMPARE(v->FilterNames, (QStringList {"CROP", "BLUR", "SHARPEN", "ADDBORDERS"}));
    }

    void missingFiltersFileIsLogged()
    {
        m_folder->remove(QStringLiteral("Filters.txt"));
        m_folder->write(QStringLiteral("Settings.ini"), "[Settings]\r\nOverwrite=0\r\nBuildScriptsIn=0\r\nSplash=0\r\nMode=1\r\nShow=0\r\nScriptExtensions=avs\r\n");
        auto w = load();
        QCOMPARE(w->lstIntelli->count(), 0);
        QVERIFY(w->FilterNames.isEmpty());
        const Records records = m_folder->logRecords();
        QCOMPARE(records.size(), 2); // Filters.txt and the update check
        QCOMPARE(records[0], std::pair(QStringLiteral("Form_Load"), 53));
        QVERIFY(w->isVisible());
    }

    void loadsOnlyOnce()
    {
        auto w = load();
        m_folder->clearLogs();
        w->Form_Load();
        QCOMPARE(m_folder->logRecords().size(), 0);
        QCOMPARE(w->settingsWindow()->lstScanFolders->count(), 0);
    }

    void settingsWindowRemovesAndStores()
    {
        m_folder->write(QStringLiteral("Settings.ini"), "[Settings]\r\nMainFolder=/a|/b|/c\r\n");
        auto w = load();
        frmSettings *s = w->settingsWindow();
        QVERIFY(!s->cmdRemove->isEnabled());
        s->lstScanFolders->setCurrentRow(1);
        s->lstScanFolders_Click();
        QVERIFY(s->cmdRemove->isEnabled());
        s->cmdRemove->click();
        QCOMPARE(items(s->lstScanFolders), (QStringList {"/a", "/c"}));
        QCOMPARE(w->MainFolder, QStringLiteral("/a|/c"));
        QVERIFY(settings().contains("MainFolder=/a|/c\r\n"));
        QVERIFY(!s->cmdRemove->isEnabled());

        s->lstScanFolders->setCurrentRow(0);
        s->lstScanFolders_Click();
        s->cmdRemove->click();
        s->lstScanFolders->setCurrentRow(0);
        s->lstScanFolders_Click();
        s->cmdRemove->click();
        QCOMPARE(s->lstScanFolders->count(), 0);
        QVERIFY(settings().contains("MainFolder=\r\n"));
        QCOMPARE(w->MainFolder, QString());
    }

    void settingsWindowOptionsStoreAndToggle()
    {
        m_folder->write(QStringLiteral("Settings.ini"), "[Settings]\r\nScriptExtensions=avs|avsi\r\n");
        auto w = load();
        frmSettings *s = w->settingsWindow();
        s->optBuildScripts[1]->click();
        QVERIFY(s->cmdOpen[1]->isEnabled() && s->lblFolder[1]->isEnabled());
        QVERIFY(settings().contains("BuildScriptsIn=1\r\n"));
        s->optBuildScripts[0]->click();
        QVERIFY(!s->cmdOpen[1]->isEnabled() && !s->lblFolder[1]->isEnabled());
        QVERIFY(settings().contains("BuildScriptsIn=0\r\n"));
        s->optOverwrite[1]->click();
        QVERIFY(settings().contains("Overwrite=1\r\n"));
        s->chkSplash->click();
        QVERIFY(settings().contains("Splash=1\r\n"));
        s->chkSplash->click();
        QVERIFY(settings().contains("Splash=0\r\n"));
        // The extension is never stored.
        const QByteArray before = settings();
        s->cboExt->setCurrentIndex(1);
        QCOMPARE(s->scriptExtension(), QStringLiteral("avsi"));
        QCOMPARE(settings(), before);
    }

    void settingsWindowHidesAndKeepsItsState()
    {
        m_folder->write(QStringLiteral("Settings.ini"), "[Settings]\r\nMainFolder=/a\r\nScriptExtensions=avs|avsi\r\n");
        auto w = load();
        QPointer<frmSettings> s = w->settingsWindow();
        // The menu entry and the button both show it; "&Close" and the close
        // box both only hide it.
        QTimer::singleShot(0, s, [s] { s->cboExt->setCurrentIndex(1); s->cmdClose->click(); });
        w->mFileSettings->trigger();
        QVERIFY(s && s->isHidden());
        QTimer::singleShot(0, s, [s] { s->close(); });
        w->cmdSettings->click();
        QVERIFY(s && s->isHidden());
        QCOMPARE(s->scriptExtension(), QStringLiteral("avsi"));
        QCOMPARE(s->scanFolders(), QStringList {"/a"});
        QCOMPARE(w->settingsWindow(), s.data());
    }

    void chooserHandsTheFolderOn()
    {
        QTemporaryDir tree;
        QDir(tree.path()).mkpath(QStringLiteral("scripts/sub"));
        const QString scripts = QDir::toNativeSeparators(tree.filePath(QStringLiteral("scripts")));
        auto w = load();
        const QString oldCurrent = QDir::currentPath();
        QDir::setCurrent(tree.path());

        // Caller 1 opens at the label's folder; OK without moving sets it.
        {
            Dialog chooser(*w);
            chooser.setCaller(1);
            chooser.setLabelFolder(scripts);
            chooser.Form_Load();
            QCOMPARE(chooser.windowTitle(), QStringLiteral("Set your .avs folder"));
            QCOMPARE(chooser.openFolder(), scripts);
            QVERIFY(chooser.lblNote->isHidden());
            chooser.OKButton->click();
            QCOMPARE(w->scriptFolder(), scripts);
            QVERIFY(settings().contains(("AvsFolder=" + scripts + "\r\n").toLocal8Bit()));
        }
        // Caller 0 adds the open folder, even twice; opening a subfolder first.
        for (int i = 0; i < 2; ++i) {
            Dialog chooser(*w);
            chooser.setCaller(0);
            chooser.Form_Load();
            QCOMPARE(chooser.windowTitle(), QStringLiteral("Add a scan folder"));
            QVERIFY(chooser.setOpenFolder(scripts + QStringLiteral("/sub")));
            chooser.OKButton->click();
        }
        QCOMPARE(w->MainFolder, scripts + "/sub|" + scripts + "/sub");
        // Cancel, for both callers, changes nothing.
        const QByteArray before = settings();
        for (int caller : {0, 1}) {
            Dialog chooser(*w);
            chooser.setCaller(caller);
            chooser.setLabelFolder(scripts);
            chooser.Form_Load();
            chooser.CancelButton->click();
        }
        QCOMPARE(settings(), before);
        QCOMPARE(w->settingsWindow()->lstScanFolders->count(), 2);
        QDir::setCurrent(oldCurrent);
    }

    void chooserCopesWithAMissingStartFolder()
    {
        auto w = load();
        Dialog chooser(*w);
        chooser.setCaller(1);
        chooser.setLabelFolder(QStringLiteral("/no/such/folder"));
        chooser.Form_Load();
        QVERIFY(!chooser.lblNote->isHidden());
        QVERIFY(chooser.lblNote->text().contains(QStringLiteral("/no/such/folder")));
        QCOMPARE(chooser.openFolder(), QDir::toNativeSeparators(QDir::currentPath()));
        QVERIFY(chooser.Dir1->count() > 0);
        QVERIFY(!chooser.setOpenFolder(QStringLiteral("/no/such/folder")));
        QCOMPARE(chooser.openFolder(), QDir::toNativeSeparators(QDir::currentPath()));
    }

    void updateCheckAtStart()
    {
        // Registered for this test only, as an installer would.
        QVERIFY(registerServer(QStringLiteral(VERLOOK_PATH)).ok());
        TestHttpServer site;
        const QString page = site.url(QStringLiteral("/freeware/tovrane"));
        auto start = [&] {
            m_dialogs = ScriptedDialogs();
            m_folder->clearLogs();
            frmTovrane w(m_folder->info(), m_dialogs, {site.url(QStringLiteral("/freeware/tovrane/downloads")), page});
            w.Form_Load();
            QVERIFY(w.isVisible());
        };

        site.answer(200, "text/plain", "102\r\n");
        m_dialogs.answers = {Dialogs::Yes};
        start();
        QCOMPARE(site.requestLines.last(), QByteArray("GET /freeware/tovrane/downloads/version.txt HTTP/1.1"));
        QCOMPARE(m_dialogs.questions.size(), 1);
        QCOMPARE(m_dialogs.questions[0].text,
                 QStringLiteral("There is a newer version of the Tovrane available!\r\nWould you like to visit the website to get the update?"));
        QCOMPARE(m_dialogs.questions[0].icon, Dialogs::Icon::Information);
        QCOMPARE(m_dialogs.openedUrls, QStringList {page});

        site.answer(200, "text/plain", "101");
        start();
        QVERIFY(m_dialogs.questions.isEmpty());
        QVERIFY(m_dialogs.openedUrls.isEmpty());

        // A page that is no number is one record under the load handler.
        site.answer(404, "text/html", "<html><body><h1>Not Found</h1></body></html>");
        start();
        QVERIFY(m_dialogs.questions.isEmpty());
        const Records records = m_folder->logRecords();
        QVERIFY(!records.isEmpty());
        QCOMPARE(records.last(), std::pair(QStringLiteral("Form_Load"), 13));

        QVERIFY(registerServer(QStringLiteral(VERLOOK_PATH), true).ok());
    }

    void menusForwardToTheirCommands()
    {
        auto w = load();
        // About opens modally; the menu entry and the button both reach it.
        int aboutShown = 0;
        auto closeAbout = [&] {
            QTimer::singleShot(0, w.get(), [&] {
                if (QWidget *about = QApplication::activeModalWidget()) {
                    ++aboutShown;
                    QCOMPARE(about->windowTitle(), QStringLiteral("Tovrane v1.0.1"));
                    about->close();
                }
            });
        };
        closeAbout();
        w->mAbout->trigger();
        closeAbout();
        w->cmdAbout->click();
        QCOMPARE(aboutShown, 2);

        m_dialogs.fileNames = {QString()};
        w->mFileLoad->trigger();
        QCOMPARE(m_dialogs.fileDialogs.size(), 1);
        QCOMPARE(m_dialogs.fileDialogs[0].title, QStringLiteral("Load Template"));

        w->mFileClose->trigger();
        QVERIFY(!w->isVisible());
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
