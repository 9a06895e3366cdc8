// The main window with real collections: a window that grows, many rows
// checked at once, the preview of a clip's script, opening its folder or
// script, and folders and templates dropped from a file manager.
#include "ClipListModel.h"
#include "ErrorTrap.h"
#include "LoadedWindow.h"
#include "ProgramFolder.h"
#include "ScriptBuild.h"
#include "ScriptedDialogs.h"
#include "TemplateEditor.h"
#include "Twips.h"
#include "frmPreview.h"
#include "frmSettings.h"
#include "frmTovrane.h"

#include <QAction>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QTreeView>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

// A drop of `paths` (as a file manager sends them) on `target`.
bool drop(QWidget *target, const QStringList &paths)
{
    QMimeData mime;
    QList<QUrl> urls;
    for (const QString &path : paths)
        urls << QUrl::fromLocalFile(path);
    mime.setUrls(urls);
    const QPoint at = target->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    QDropEvent dropped(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &dropped);
    return enter.isAccepted() && dropped.isAccepted();
}

QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

} // namespace

class TestCollections : public QObject
{
    Q_OBJECT

    std::unique_ptr<ProgramFolder> m_folder;
    QTemporaryDir m_clips;
    ScriptedDialogs m_dialogs;

    std::unique_ptr<frmTovrane> load() { return loadedMainWindow(m_folder->info(), m_dialogs); }

private slots:
    void init()
    {
        m_folder = std::make_unique<ProgramFolder>();
        m_dialogs = ScriptedDialogs();
        m_folder->write(u"Settings.ini"_s,
            "[Settings]\r\nExtenions=AVI\r\nScriptExtensions=avs\r\nMode=1\r\nAvsFolder="
                + m_clips.filePath(u"out"_s).toLocal8Bit() + "\r\n");
    }

    // At the design size every control stands where it was placed; grown, the
    // list and the editor take the room, the right-hand buttons keep their
    // distance to the right edge, and Enlarge keeps its two states.
    void theWindowGrowsAroundTheListAndTheEditor()
    {
        auto w = load();
        QWidget *client = w->centralWidget();
        QCOMPARE(client->size(), QSize(twipsToPixels(10440), twipsToPixels(8655)));
        QCOMPARE(client->minimumSize(), client->size());
        const QRect list = w->lvwMovies->geometry(), editor = w->txtScript->geometry();
        QCOMPARE(list, twipsRect(120, 300, 7440, 1920));
        QCOMPARE(editor, twipsRect(360, 4920, 7455, 3615));
        QCOMPARE(w->cmdExit->geometry(), twipsRect(8520, 5760, 1560, 375));
        const int location = w->lvwMovies->header()->sectionSize(1);

        const int dw = 500, dh = 301;
        w->resize(w->size() + QSize(dw, dh));
        QCOMPARE(client->size(), QSize(twipsToPixels(10440) + dw, twipsToPixels(8655) + dh));
        QCOMPARE(w->lvwMovies->geometry(), list.adjusted(0, 0, dw, dh / 2));
        QCOMPARE(w->txtScript->geometry(), editor.adjusted(0, dh / 2, dw, dh));
        QCOMPARE(w->cmdExit->geometry(), twipsRect(8520, 5760, 1560, 375).translated(dw, dh / 2));
        QCOMPARE(w->lvwMovies->header()->sectionSize(1), location + dw);
        QCOMPARE(w->lvwMovies->header()->sectionSize(0), twipsToPixels(2300));

        w->cmdEnlarge->click();
        QCOMPARE(w->txtScript->geometry(), twipsRect(360, 1100, 7455, 7200).adjusted(0, 0, dw, dh));
        QCOMPARE(w->lstIntelli->y(), w->txtScript->y());
        w->cmdEnlarge->click();
        w->resize(w->size() - QSize(dw, dh));
        QCOMPARE(w->txtScript->geometry(), twipsRect(360, 4920, 7455, 3255));
        QCOMPARE(w->lvwMovies->header()->sectionSize(1), location);
    }

    // Space, "Check selected" and "Uncheck selected" act on every selected
    // row with one change of the model, so a whole collection toggles at once.
    void manyRowsChangeInOneStep()
    {
        auto w = load();
        QList<ClipRow> rows;
        for (int i = 0; i < 100000; ++i)
            rows.append({ i % 2 == 0, u"c%1.avi"_s.arg(i), m_clips.path(), u"-"_s });
        w->clipModel()->setRows(rows);
        w->lvwMovies->setCurrentIndex(w->clipModel()->index(0, 0)); // checked
        w->lvwMovies->selectAll();
        QSignalSpy changes(w->clipModel(), &QAbstractItemModel::dataChanged);
        QTest::keyClick(w->lvwMovies, Qt::Key_Space);
        QCOMPARE(changes.size(), 1);
        const auto count = [&](bool checked) {
            return std::count_if(w->clipModel()->rows().begin(), w->clipModel()->rows().end(),
                [&](const ClipRow &r) { return r.checked == checked; });
        };
        QCOMPARE(count(false), 100000);
        w->mListCheck->trigger();
        QCOMPARE(count(true), 100000);
        w->lvwMovies->selectionModel()->select(
            w->clipModel()->index(7, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        w->mListUncheck->trigger();
        QCOMPARE(count(false), 1);
        QCOMPARE(changes.size(), 3);
    }

    // The preview shows what the current mode would write for the current
    // clip, where, and whether it is there; F3 opens it. Open folder and
    // Open script hand the paths to the desktop.
    void previewAndOpenTheCurrentClip()
    {
        auto w = load();
        const QString clips = m_clips.path();
        w->clipModel()->setRows({ { true, u"a.avi"_s, clips, u"-"_s }, { true, u"b.avi"_s, clips, u"-"_s } });
        w->txtScript->setPlainText(u"Src(\"%PATH%/%CLIP%.%EXT%\")\n# Café"_s);
        w->lvwMovies->setCurrentIndex(w->clipModel()->index(1, 0));
        QTest::keyClick(w->lvwMovies, Qt::Key_F3);
        auto *preview = w->findChild<frmPreview *>();
        QVERIFY(preview && preview->isVisible());
        QCOMPARE(preview->lblPath->text(), QDir::toNativeSeparators(clips + u"/b.avs"_s));
        QCOMPARE(preview->txtPreview->toPlainText(), u"Src(\""_s + clips + u"/b.avi\")\n# Café"_s);
        QVERIFY(preview->txtPreview->isReadOnly());
        QVERIFY(!QFileInfo::exists(clips + u"/b.avs"_s));
        preview->close();

        QVERIFY(QFile(clips + u"/b.avs"_s).open(QIODevice::WriteOnly));
        w->mListOpenFolder->trigger();
        w->mListOpenScript->trigger();
        QCOMPARE(m_dialogs.openedUrls,
            (QStringList {
                QUrl::fromLocalFile(clips).toString(), QUrl::fromLocalFile(clips + u"/b.avs"_s).toString() }));
    }

    // The preview's text is byte for byte what each build writes.
    void previewEqualsWhatTheBuildsWrite()
    {
        const QString clips = m_clips.path(), out = m_clips.filePath(u"out"_s);
        QVERIFY(QDir().mkpath(out));
        const ClipRow row { true, u"Zwei.Ü.avi"_s, clips, u"-"_s };
        const BuildOptions options { u"A(\"%PATH%\\%CLIP%.%EXT%\") # é\r\nB()"_s, u"AVS"_s, false, false, out };
        const CErrorlog log(m_folder->path(), u"tovrane"_s);
        const ErrorTrap step(log, u"frmTovrane"_s, u"Mode_1"_s);

        const ScriptPreview perClip = previewScript(row, options, false);
        QCOMPARE(buildPerClip({ row }, options, step, {}, {}), 1);
        QCOMPARE(contents(perClip.path), perClip.text.toLocal8Bit());
        QVERIFY(previewScript(row, options, false).exists);

        const ScriptPreview block = previewScript(row, options, true);
        QCOMPARE(block.path, QDir(out).filePath(u"batch_file_0.avs"_s));
        QCOMPARE(buildBatch({ row }, options, step), block.path);
        QCOMPARE(contents(block.path), block.text.toLocal8Bit());
        QCOMPARE(previewScript(row, options, true).path, QDir(out).filePath(u"batch_file_1.avs"_s));
    }

    // Folders dropped on the clip list or the settings window's folder list
    // are added as "Add" adds them; files are not. One template dropped on the
    // editor is loaded as Load loads it.
    void foldersAndTemplatesDropIn()
    {
        auto w = load();
        const QString a = m_clips.filePath(u"a"_s), b = m_clips.filePath(u"b"_s), file = m_clips.filePath(u"x.txt"_s);
        QVERIFY(QDir().mkpath(a) && QDir().mkpath(b) && QFile(file).open(QIODevice::WriteOnly));
        QVERIFY(drop(w->lvwMovies->viewport(), { a, file }));
        QVERIFY(!drop(w->lvwMovies->viewport(), { file }));
        QVERIFY(drop(w->settingsWindow()->lstScanFolders->viewport(), { b }));
        QCOMPARE(w->MainFolder, a + u'|' + b);
        QVERIFY(m_folder->read(u"Settings.ini"_s).contains(("MainFolder=" + a + u'|' + b + "\r\n").toLocal8Bit()));

        const QString avt = m_folder->file(u"Templates/Dropped.avt"_s);
        m_folder->write(u"Templates/Dropped.avt"_s, "Dropped()\r\n");
        drop(w->txtScript->viewport(), { avt, file }); // two files: no template
        QVERIFY(!w->txtScript->toPlainText().startsWith(u"Dropped()"_s));
        QVERIFY(drop(w->txtScript->viewport(), { avt }));
        QCOMPARE(w->txtScript->toPlainText(), u"Dropped()\n"_s);
        QVERIFY(m_folder->read(u"Settings.ini"_s).contains(("Template=" + avt + "\r\n").toLocal8Bit()));
        QCOMPARE(w->panels[2]->text(), u"Dropped.avt"_s);
    }
};

QTEST_MAIN(TestCollections)
#include "tst_collections.moc"
