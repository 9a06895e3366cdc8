// The main window's commands end to end: scan, select, filter, remove,
// build, template files and the editor, driven through the real controls.
#include "ClipListModel.h"
#include "ProgramFolder.h"
#include "ScriptedDialogs.h"
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
#include <QtTest>

#include <memory>

class TestCommands : public QObject
{
    Q_OBJECT

    QTemporaryDir m_config;
    std::unique_ptr<ProgramFolder> m_folder;
    std::unique_ptr<QTemporaryDir> m_clips;
    ScriptedDialogs m_dialogs;

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
    static QByteArray contents(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    std::unique_ptr<frmTovrane> load(const QByteArray &extra = QByteArray())
    {
        m_folder->write(QStringLiteral("Settings.ini"),
                        "[Settings]\r\nMainFolder=" + clipDir().toLocal8Bit() + "\r\nAvsFolder=" + clipDir("out").toLocal8Bit()
                            + "\r\nExtenions=AVI|MPG\r\nScriptExtensions=avs|avsi\r\nOverwrite=0\r\nBuildScriptsIn=0\r\n"
                              "Splash=1\r\nMode=1\r\nShow=0\r\n"
                            + extra);
        auto w = std::make_unique<frmTovrane>(m_folder->info(), m_dialogs,
                                              frmTovrane::UpdateCheck {QStringLiteral("http://127.0.0.1:9"), QString()});
        w->Form_Load();
        m_folder->clearLogs();
        return w;
    }
    QStringList column(const frmTovrane &w, int col) const
    {
        QStringList out;
        for (const ClipRow &row : w.clipModel()->rows())
            out << (col == 0 ? row.file : col == 1 ? row.location : row.avs);
        return out;
    }

private slots:
    void initTestCase() { qputenv("XDG_CONFIG_HOME", m_config.path().toLocal8Bit()); }
    void init()
    {
        m_folder = std::make_unique<ProgramFolder>();
        m_clips = std::make_unique<QTemporaryDir>();
        m_dialogs = ScriptedDialogs();
        QDir(clipDir()).mkpath(QStringLiteral("out"));
    }

    void scanListsClipsAndEnablesTheCommands()
    {
        touch(QStringLiteral("a.avi"));
        touch(QStringLiteral("b.MPG"));
        touch(QStringLiteral("b.avs"));
        touch(QStringLiteral("notes.txt"));
        touch(QStringLiteral("sub/c.avi"));
        auto w = load();
        QVERIFY(!w->cmdBuild->isEnabled());
        w->mRunScan->trigger();
        QCOMPARE(column(*w, 0), (QStringList {"a.avi", "b.MPG", "c.avi"}));
        QCOMPARE(column(*w, 2), (QStringList {"-", "Y", "-"}));
        QCOMPARE(column(*w, 1)[2], QDir::toNativeSeparators(clipDir(QStringLiteral("sub"))));
        QVERIFY(w->clipModel()->rows()[0].checked && !w->clipModel()->rows()[1].checked);
        for (QWidget *c : {(QWidget *)w->cmdBuild, (QWidget *)w->cmdRemove, (QWidget *)w->cmdSelect[0], (QWidget *)w->cmdSelect[1]})
            QVERIFY(c->isEnabled());
        QVERIFY(w->mRunBuild->isEnabled());
        QCOMPARE(w->panels[1]->text(), QStringLiteral("3 files found"));

        w->cmdSelect[1]->click();
        QCOMPARE(int(std::count_if(w->clipModel()->rows().begin(), w->clipModel()->rows().end(),
                                   [](const ClipRow &r) { return r.checked; })), 3);
        w->cmdSelect[0]->click();
        QVERIFY(std::none_of(w->clipModel()->rows().begin(), w->clipModel()->rows().end(),
                             [](const ClipRow &r) { return r.checked; }));

        // The filter is stored at once but only the next scan applies it.
        w->chkCheckedonly->click();
        QVERIFY(m_folder->read(QStringLiteral("Settings.ini")).contains("Show=1\r\n"));
        QCOMPARE(w->clipModel()->rowCount(), 3);
        w->cmdScan->click();
        QCOMPARE(column(*w, 0), (QStringList {"a.avi", "c.avi"}));

        // An empty scan list disables the commands again.
        w->settingsWindow()->lstScanFolders->clear();
        w->cmdScan->click();
        QCOMPARE(w->clipModel()->rowCount(), 0);
        QVERIFY(!w->cmdBuild->isEnabled() && !w->mRunBuild->isEnabled() && !w->cmdSelect[1]->isEnabled());
        QCOMPARE(w->panels[1]->text(), QStringLiteral("0 files found"));
        QVERIFY(m_folder->logRecords().isEmpty());
    }

    void missingScanFolderIsLoggedAndSkipped()
    {
        touch(QStringLiteral("a.avi"));
        auto w = load();
        w->AddFolder(clipDir(QStringLiteral("gone")));
        w->AddFolder(clipDir());
        w->cmdScan->click();
        QCOMPARE(column(*w, 0), (QStringList {"a.avi", "a.avi"}));
        QCOMPARE(m_folder->logRecords().size(), 1);
        QCOMPARE(m_folder->logRecords()[0].first, QStringLiteral("cmdScan_Click"));
    }

    void statusBarShowsCountsBeyondSixteenBits()
    {
        auto w = load();
        w->UpdateStatusBar(200000, QStringLiteral("/t/My.avt"));
        QCOMPARE(w->panels[1]->text(), QStringLiteral("200000 files found"));
        QCOMPARE(w->panels[2]->text(), QStringLiteral("My.avt"));
        w->UpdateStatusBar(1, QString());
        QCOMPARE(w->panels[1]->text(), QStringLiteral("1 files found"));
        QCOMPARE(w->panels[2]->text(), QStringLiteral("My.avt"));
    }

    void removalAsksThenDeletesInCheckedFolders()
    {
        touch(QStringLiteral("readme.txt")); // a scan folder needs a file of its own to be entered
        touch(QStringLiteral("x/a.avi"));
        touch(QStringLiteral("x/a.avs"));
        touch(QStringLiteral("x/b.avi"));
        touch(QStringLiteral("x/b.avs"));
        touch(QStringLiteral("x/stray.avs"));
        touch(QStringLiteral("x/keep.avsi"));
        touch(QStringLiteral("x/deeper/d.avs"));
        touch(QStringLiteral("y/c.avi"));
        touch(QStringLiteral("y/c.avs"));
        auto w = load();
        w->cmdScan->click();
        QCOMPARE(column(*w, 0), (QStringList {"a.avi", "b.avi", "c.avi"}));
        w->clipModel()->setChecked(0, true);

        // No: nothing changes, no "All done!".
        m_dialogs.answers = {Dialogs::No};
        w->cmdRemove->click();
        QCOMPARE(m_dialogs.questions.size(), 1);
        QCOMPARE(m_dialogs.questions[0].title, QStringLiteral("Remove avisynth scripts"));
        QCOMPARE(m_dialogs.questions[0].text,
                 QStringLiteral("This will remove all existing scripts with the extension .avs from the checked directories. Continue?"));
        QCOMPARE(m_dialogs.questions[0].icon, Dialogs::Icon::Warning);
        QVERIFY(m_dialogs.messages.isEmpty());
        QVERIFY(QFile::exists(clipDir(QStringLiteral("x/a.avs"))));

        // Yes: every .avs directly in x goes, the checked row reads "-", the
        // unchecked row of the same folder keeps its "Y", y is untouched.
        w->cmdRemove->click();
        QCOMPARE(m_dialogs.messages, QStringList {"All done!"});
        for (const char *gone : {"x/a.avs", "x/b.avs", "x/stray.avs"})
            QVERIFY2(!QFile::exists(clipDir(QString::fromLatin1(gone))), gone);
        for (const char *kept : {"x/keep.avsi", "x/deeper/d.avs", "y/c.avs", "x/a.avi"})
            QVERIFY2(QFile::exists(clipDir(QString::fromLatin1(kept))), kept);
        QCOMPARE(column(*w, 2), (QStringList {"-", "Y", "Y"}));

        // The extension chosen in the settings window is used lower-cased.
        w->settingsWindow()->cboExt->setCurrentIndex(1);
        w->cmdSelect[0]->click();
        w->cmdRemove->click();
        QVERIFY(m_dialogs.questions.last().text.contains(QStringLiteral(" .avsi from")));
        QCOMPARE(m_dialogs.messages.size(), 2);
        QVERIFY(QFile::exists(clipDir(QStringLiteral("x/keep.avsi"))));
    }

    void buildModesWriteTheirFiles()
    {
        touch(QStringLiteral("a.avi"));
        touch(QStringLiteral("b.avs"));
        touch(QStringLiteral("b.mpg"));
        auto w = load();
        w->txtScript->setPlainText(QStringLiteral("Src(\"%PATH%/%CLIP%.%EXT%\")\n# %clip%"));
        w->cmdScan->click();
        w->cmdSelect[1]->click();

        // Mode 1, "Always": one script per clip beside it, marked "Y".
        m_dialogs.answers.clear();
        w->cmdBuild->click();
        QCOMPARE(m_dialogs.messages, QStringList {"All done!"});
        QVERIFY(m_dialogs.questions.isEmpty());
        QCOMPARE(contents(clipDir(QStringLiteral("a.avs"))),
                 ("Src(\"" + clipDir() + "/a.avi\")\r\n# %clip%").toLocal8Bit());
        QCOMPARE(contents(clipDir(QStringLiteral("b.avs"))),
                 ("Src(\"" + clipDir() + "/b.mpg\")\r\n# %clip%").toLocal8Bit());
        QCOMPARE(column(*w, 2), (QStringList {"Y", "Y"}));

        // "Ask": the question names the script; No keeps it.
        w->settingsWindow()->optOverwrite[1]->click();
        touch(QStringLiteral("a.avs"), "kept");
        m_dialogs.answers = {Dialogs::No, Dialogs::Yes};
        w->mRunBuild->trigger();
        QCOMPARE(m_dialogs.questions.size(), 2);
        QCOMPARE(m_dialogs.questions[0].text, QStringLiteral("The AVS script ") + clipDir(QStringLiteral("a.avs"))
                                                  + QStringLiteral(" already exists. Overwrite?"));
        QCOMPARE(m_dialogs.questions[0].icon, Dialogs::Icon::Information);
        QCOMPARE(contents(clipDir(QStringLiteral("a.avs"))), QByteArray("kept"));

        // Mode 0: one batch file in the script folder, marks unchanged.
        w->optMode[0]->click();
        w->cmdBuild->click();
        QCOMPARE(contents(clipDir(QStringLiteral("out/batch_file_0.avs"))),
                 ("Src(\"" + clipDir() + "/a.avi\")\r\n# %clip%Src(\"" + clipDir() + "/b.mpg\")\r\n# %clip%").toLocal8Bit());
        QCOMPARE(m_dialogs.messages.size(), 3);
        QVERIFY(m_folder->logRecords().isEmpty());
    }

    void templatesLoadAndSave()
    {
        auto w = load();
        const QString mine = m_folder->file(QStringLiteral("Templates/Mine.avt"));

        // Save writes exactly the typed name, CR LF, and keeps the key.
        w->txtScript->setPlainText(QStringLiteral("Blur(1)\nCrop(%EXT%) # é"));
        QVERIFY(w->cmdSave->isEnabled());
        m_dialogs.fileNames = {mine};
        w->mFileSave->trigger();
        QCOMPARE(m_dialogs.fileDialogs[0].title, QStringLiteral("Save Template"));
        QCOMPARE(m_dialogs.fileDialogs[0].folder, m_folder->file(QStringLiteral("Templates")));
        QCOMPARE(m_dialogs.fileDialogs[0].filter, QStringLiteral("Tovrane Template (*.avt)|*.avt"));
        QCOMPARE(m_folder->read(QStringLiteral("Templates/Mine.avt")), QStringLiteral("Blur(1)\r\nCrop(%EXT%) # é").toLocal8Bit());
        QCOMPARE(w->panels[2]->text(), QStringLiteral("Mine.avt"));
        QVERIFY(!m_folder->read(QStringLiteral("Settings.ini")).contains("Template="));

        // Load cancelled: nothing loaded, yet the three commands are off.
        w->txtScript->setPlainText(QStringLiteral("changed"));
        m_dialogs.fileNames = {QString()};
        w->cmdLoad->click();
        QCOMPARE(w->txtScript->toPlainText(), QStringLiteral("changed"));
        QVERIFY(!w->cmdColour->isEnabled() && !w->cmdSave->isEnabled() && !w->mFileSave->isEnabled());

        // Load gives the saved text back character for character.
        m_dialogs.fileNames = {mine};
        w->cmdLoad->click();
        QCOMPARE(w->txtScript->toPlainText(), QStringLiteral("Blur(1)\nCrop(%EXT%) # é"));
        QVERIFY(m_folder->read(QStringLiteral("Settings.ini")).contains(("Template=" + mine + "\r\n").toLocal8Bit()));
        QVERIFY(!w->cmdColour->isEnabled() && !w->cmdSave->isEnabled());

        // A typed name that does not exist loads the default and is stored.
        m_dialogs.fileNames = {m_folder->file(QStringLiteral("Templates/none.avt"))};
        w->cmdLoad->click();
        QCOMPARE(w->txtScript->toPlainText(), QStringLiteral("# default\nBlur(1.0)\n"));
        QVERIFY(m_folder->read(QStringLiteral("Settings.ini")).contains("none.avt\r\n"));
        QVERIFY(m_folder->logRecords().isEmpty());

        // Typing enables the three commands again.
        QTest::keyClick(w->txtScript, Qt::Key_X);
        QVERIFY(w->cmdColour->isEnabled() && w->cmdSave->isEnabled() && w->mFileSave->isEnabled());
    }

    void colouringAndEnlarge()
    {
        auto w = load();
        w->txtScript->setPlainText(QStringLiteral("GaussianBLUR(%CLIP%) # %PATH%\n%clip%"));
        w->cmdColour->click();
        QTextCursor c(w->txtScript->document());
        auto formatAt = [&](int pos) {
            c.setPosition(pos + 1);
            return c.charFormat();
        };
        QCOMPARE(formatAt(8).foreground().color(), QColor(128, 64, 64)); // B of BLUR
        QCOMPARE(formatAt(8).fontWeight(), int(QFont::Bold));
        QCOMPARE(formatAt(0).foreground().color(), w->palette().color(QPalette::ButtonText));
        QCOMPARE(formatAt(13).foreground().color(), QColor(0, 0, 255)); // %CLIP%
        QCOMPARE(formatAt(23).foreground().color(), QColor(0, 128, 0)); // %PATH% in the comment
        QVERIFY(formatAt(23).fontWeight() != int(QFont::Bold));
        QCOMPARE(formatAt(31).foreground().color(), w->palette().color(QPalette::ButtonText)); // %clip%
        QCOMPARE(w->txtScript->textCursor().position(), 0);
        QVERIFY(!w->txtScript->textCursor().hasSelection());
        QVERIFY(!w->bUpdating);

        const int top = w->txtScript->y(), height = w->txtScript->height();
        w->cmdEnlarge->click();
        QVERIFY(w->enlarged());
        QVERIFY(w->txtScript->y() < top && w->txtScript->height() > height);
        QCOMPARE(w->lstIntelli->y(), w->txtScript->y());
        w->cmdEnlarge->click();
        QCOMPARE(w->txtScript->y(), top);
        QVERIFY(w->txtScript->height() < height); // restored to the shorter height
        QCOMPARE(w->lstIntelli->y(), w->txtScript->y());
    }

    void completionThroughTheEditorKeys()
    {
        auto w = load();
        w->show();
        w->txtScript->clear();
        w->txtScript->setFocus();
        QTest::keyClick(w->txtScript, Qt::Key_C);
        QVERIFY(w->lstIntelli->isVisible());
        QTest::keyClick(w->txtScript, Qt::Key_O);
        QCOMPARE(w->lstIntelli->currentItem()->text(), QStringLiteral("ConvertToYV12"));
        QTest::keyClick(w->txtScript, Qt::Key_Up);
        QTest::keyClick(w->txtScript, Qt::Key_Up); // the first entry: stays
        QCOMPARE(w->lstIntelli->currentItem()->text(), QStringLiteral("Blur"));
        QTest::keyClick(w->txtScript, Qt::Key_Down);
        QCOMPARE(w->lstIntelli->currentItem()->text(), QStringLiteral("ConvertToYV12"));
        QCOMPARE(w->txtScript->toPlainText(), QStringLiteral("co")); // the arrows stayed in the list
        QTest::keyClick(w->txtScript, Qt::Key_Return);
        QCOMPARE(w->txtScript->toPlainText(), QStringLiteral("ConvertToYV12"));
        QVERIFY(!w->lstIntelli->isVisible());
        QTest::keyClick(w->txtScript, Qt::Key_Return); // list hidden: a line break
        QCOMPARE(w->txtScript->toPlainText(), QStringLiteral("ConvertToYV12\n"));
        QTest::keyClick(w->txtScript, Qt::Key_B);
        QVERIFY(w->lstIntelli->isVisible());
        w->cmdScan->setFocus(); // focus leaves the editor
        QVERIFY(!w->lstIntelli->isVisible());
        QCOMPARE(w->lstIntelli->currentRow(), -1);
    }
};

QTEST_MAIN(TestCommands)
#include "tst_commands.moc"
