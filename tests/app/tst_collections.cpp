// The main window with real collections: a window that grows, many rows
// checked at once, the preview of a clip's script, opening its folder or
// script, and folders and templates dropped from a file manager.
#include "ClipListModel.h"
#include "Controls.h"
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
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QTextEdit>
#include <QTreeView>
#include <QtTest>

using namespace scriptgen;

using namespace errorlog;

using namespace scan;

using namespace editor;

using namespace ui;

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

QList<int> columns(const frmTovrane &w)
{
    QList<int> widths;
    for (int i = 0; i < 3; ++i)
        widths << control<QTreeView>(w, "lvwMovies")->header()->sectionSize(i);
    return widths;
}

// Drags the right border of a column by `dx`, as the mouse does.
void dragBorder(QHeaderView *header, int section, int dx)
{
    const int y = header->height() / 2;
    const QPoint border(header->sectionViewportPosition(section) + header->sectionSize(section) - 1, y);
    QTest::mousePress(header->viewport(), Qt::LeftButton, {}, border);
    QMouseEvent move(QEvent::MouseMove, border + QPoint(dx, 0), header->viewport()->mapToGlobal(border + QPoint(dx, 0)),
        Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(header->viewport(), &move);
    QTest::mouseRelease(header->viewport(), Qt::LeftButton, {}, border + QPoint(dx, 0));
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

    // At the design size every control stands where it was placed and the
    // columns have their design widths; grown, the list takes two thirds of
    // the extra height and the editor the rest, "File" and "Location" share
    // the extra width while "AVS" stays narrow, the right-hand buttons keep
    // their distance to the right edge, and Enlarge keeps its two states.
    void theWindowGrowsAroundTheListAndTheEditor()
    {
        auto w = load();
        QWidget *client = w->centralWidget();
        QCOMPARE(client->size(), QSize(twipsToPixels(10440), twipsToPixels(8655)));
        QCOMPARE(client->minimumSize(), client->size());
        const QRect list = control<QTreeView>(*w, "lvwMovies")->geometry(),
                    editor = control<TemplateEditor>(*w, "txtScript")->geometry();
        QCOMPARE(list, twipsRect(120, 300, 7440, 1920));
        QCOMPARE(editor, twipsRect(360, 4920, 7455, 3615));
        QCOMPARE(control<QPushButton>(*w, "cmdExit")->geometry(), twipsRect(8520, 5760, 1560, 375));
        const QList<int> design { twipsToPixels(2300), twipsToPixels(4300), twipsToPixels(500) };
        QCOMPARE(columns(*w), design);

        const int dw = 501, dh = 301, upper = 200;
        w->resize(w->size() + QSize(dw, dh));
        QCOMPARE(client->size(), QSize(twipsToPixels(10440) + dw, twipsToPixels(8655) + dh));
        QCOMPARE(control<QTreeView>(*w, "lvwMovies")->geometry(), list.adjusted(0, 0, dw, upper));
        QCOMPARE(control<TemplateEditor>(*w, "txtScript")->geometry(), editor.adjusted(0, upper, dw, dh));
        QCOMPARE(
            control<QPushButton>(*w, "cmdExit")->geometry(), twipsRect(8520, 5760, 1560, 375).translated(dw, upper));
        QCOMPARE(columns(*w), (QList<int> { design[0] + 250, design[1] + 251, design[2] }));

        control<QPushButton>(*w, "cmdEnlarge")->click();
        QCOMPARE(control<TemplateEditor>(*w, "txtScript")->geometry(),
            twipsRect(360, 1100, 7455, 7200).adjusted(0, 0, dw, dh));
        QCOMPARE(control<QListWidget>(*w, "lstIntelli")->y(), control<TemplateEditor>(*w, "txtScript")->y());
        control<QPushButton>(*w, "cmdEnlarge")->click();
        w->resize(w->size() - QSize(dw, dh));
        QCOMPARE(control<TemplateEditor>(*w, "txtScript")->geometry(), twipsRect(360, 4920, 7455, 3255));
        QCOMPARE(columns(*w), design);
    }

    // A column the user drags keeps that width as the window grows and
    // shrinks, while the other shares go on following the window; no column
    // can be dragged narrower than its caption.
    void draggedColumnsKeepTheirWidth()
    {
        auto w = load();
        QHeaderView *header = control<QTreeView>(*w, "lvwMovies")->header();
        const QList<int> design = columns(*w);
        w->resize(w->size() + QSize(600, 0));
        dragBorder(header, 0, 100);
        const int file = design[0] + 300 + 100;
        QCOMPARE(header->sectionSize(0), file);
        w->resize(w->size() - QSize(600, 0));
        QCOMPARE(columns(*w), (QList<int> { file, design[1], design[2] }));
        w->resize(w->size() + QSize(300, 0));
        QCOMPARE(columns(*w), (QList<int> { file, design[1] + 300, design[2] }));

        dragBorder(header, 1, -1000);
        dragBorder(header, 2, -1000);
        const QFontMetrics metrics(header->font());
        QVERIFY(header->sectionSize(1) > metrics.horizontalAdvance(u"Location"_s));
        QVERIFY(header->sectionSize(2) > metrics.horizontalAdvance(u"AVS"_s));
    }

    // The window's size and the widths the user dragged come back at the
    // next start, kept in [Window]; [Settings] keeps its bytes, and a start
    // that changed nothing writes nothing. A stored size larger than the
    // screen, or one that is no number, gives the design size.
    void theWindowComesBackAsItWasLeft()
    {
        const QByteArray settings = m_folder->read(u"Settings.ini"_s);
        QSize design, grown;
        int location = 0;
        {
            auto w = load();
            design = w->size();
            w->close();
        }
        QCOMPARE(m_folder->read(u"Settings.ini"_s), settings);
        {
            auto w = load();
            w->resize(design + QSize(40, 30));
            grown = w->size();
            dragBorder(control<QTreeView>(*w, "lvwMovies")->header(), 1, 50);
            location = control<QTreeView>(*w, "lvwMovies")->header()->sectionSize(1);
            w->close();
        }
        const QByteArray window = "\r\n[Window]\r\nWidth=" + QByteArray::number(grown.width()) + "\r\nHeight="
            + QByteArray::number(grown.height()) + "\r\nColumns=0," + QByteArray::number(location) + ",0\r\n";
        QCOMPARE(m_folder->read(u"Settings.ini"_s), settings + window);
        {
            auto w = load();
            QCOMPARE(w->size(), grown);
            QCOMPARE(control<QTreeView>(*w, "lvwMovies")->header()->sectionSize(1), location);
            w->close();
        }
        QCOMPARE(m_folder->read(u"Settings.ini"_s), settings + window);

        const QSize screen = QGuiApplication::primaryScreen()->availableGeometry().size();
        for (const QByteArray &stored : { "Width=" + QByteArray::number(screen.width() + 1) + "\r\nHeight=400",
                 QByteArray("Width=9x\r\nHeight=700"), QByteArray("Width=-800\r\nHeight=700") }) {
            m_folder->write(u"Settings.ini"_s, settings + "\r\n[Window]\r\n" + stored + "\r\nColumns=a,b,c\r\n");
            auto w = load();
            QVERIFY2(w->size() == design, stored);
            QVERIFY2(columns(*w)[1] == twipsToPixels(4300), stored);
        }
    }

    // Space, "Check selected" and "Uncheck selected" act on every selected
    // row with one change of the model, so a whole collection toggles at once.
    void manyRowsChangeInOneStep()
    {
        auto w = load();
        QList<ClipRow> rows;
        for (int i = 0; i < 100000; ++i)
            rows.append({ i % 2 == 0, u"c%1.avi"_s.arg(i), m_clips.path(), ScriptMark::None });
        w->clipModel()->setRows(rows);
        control<QTreeView>(*w, "lvwMovies")->setCurrentIndex(w->clipModel()->index(0, 0)); // checked
        control<QTreeView>(*w, "lvwMovies")->selectAll();
        QSignalSpy changes(w->clipModel(), &QAbstractItemModel::dataChanged);
        QTest::keyClick(control<QTreeView>(*w, "lvwMovies"), Qt::Key_Space);
        QCOMPARE(changes.size(), 1);
        const auto count = [&](bool checked) {
            return std::count_if(w->clipModel()->rows().begin(), w->clipModel()->rows().end(),
                [&](const ClipRow &r) { return r.checked == checked; });
        };
        QCOMPARE(count(false), 100000);
        control<QAction>(*w, "mListCheck")->trigger();
        QCOMPARE(count(true), 100000);
        control<QTreeView>(*w, "lvwMovies")
            ->selectionModel()
            ->select(w->clipModel()->index(7, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        control<QAction>(*w, "mListUncheck")->trigger();
        QCOMPARE(count(false), 1);
        QCOMPARE(changes.size(), 3);
    }

    // The preview shows what the current mode would write for the current
    // clip, where, and what a build does there under the policy in force; F3
    // opens it, once: while open it follows the current clip and the
    // template. A clip that gets no script opens it too, saying why. Open
    // folder and Open script hand the paths to the desktop, and say so where
    // nothing opens them.
    void previewAndOpenTheCurrentClip()
    {
        auto w = load();
        const QStringList atStart = m_folder->logRecords();
        const QString clips = m_clips.path();
        w->clipModel()->setRows({ { true, u"a.avi"_s, clips, ScriptMark::None },
            { true, u"b.avi"_s, clips, ScriptMark::None }, { true, u"README"_s, clips, ScriptMark::None } });
        control<TemplateEditor>(*w, "txtScript")->setPlainText(u"Src(\"%PATH%/%CLIP%.%EXT%\")\n# Café"_s);
        control<QTreeView>(*w, "lvwMovies")->setCurrentIndex(w->clipModel()->index(1, 0));
        QTest::keyClick(control<QTreeView>(*w, "lvwMovies"), Qt::Key_F3);
        QTest::keyClick(control<QTreeView>(*w, "lvwMovies"), Qt::Key_F3);
        QCOMPARE(w->findChildren<frmPreview *>().size(), 1);
        auto *preview = w->findChild<frmPreview *>();
        QVERIFY(preview && preview->isVisible());
        QCOMPARE(control<QLabel>(*preview, "lblPath")->text(), QDir::toNativeSeparators(clips + u"/b.avs"_s));
        QCOMPARE(
            control<QTextEdit>(*preview, "txtPreview")->toPlainText(), u"Src(\""_s + clips + u"/b.avi\")\n# Café"_s);
        QCOMPARE(
            control<QLabel>(*preview, "lblExists")->text(), u"The script does not exist yet; a build writes it."_s);
        QVERIFY(control<QTextEdit>(*preview, "txtPreview")->isReadOnly());
        QVERIFY(!QFileInfo::exists(clips + u"/b.avs"_s));

        // It follows the current clip, the template and the policy.
        QVERIFY(QFile(clips + u"/a.avs"_s).open(QIODevice::WriteOnly));
        QTest::keyClick(control<QTreeView>(*w, "lvwMovies"), Qt::Key_Up);
        QCOMPARE(control<QLabel>(*preview, "lblPath")->text(), QDir::toNativeSeparators(clips + u"/a.avs"_s));
        QCOMPARE(control<QLabel>(*preview, "lblExists")->text(), u"The script already exists; a build replaces it."_s);
        control<TemplateEditor>(*w, "txtScript")->setPlainText(u"New(%CLIP%)"_s);
        QCOMPARE(control<QTextEdit>(*preview, "txtPreview")->toPlainText(), u"New(a)"_s);
        control<QRadioButton>(*w->settingsWindow(), "optOverwrite_1")->click();
        QTimer closer;
        connect(&closer, &QTimer::timeout, [] {
            if (QWidget *modal = QApplication::activeModalWidget())
                modal->close();
        });
        closer.start(0);
        control<QPushButton>(*w, "cmdSettings")->click(); // shown and closed again
        closer.stop();
        QCOMPARE(control<QLabel>(*preview, "lblExists")->text(),
            u"The script already exists; a build asks before replacing it."_s);

        // A clip without "." gets no script; the preview says so.
        control<QTreeView>(*w, "lvwMovies")->setCurrentIndex(w->clipModel()->index(2, 0));
        QVERIFY(preview->isVisible());
        QVERIFY(control<QLabel>(*preview, "lblExists")->text().contains(u"README has no \".\" in its name"_s));
        QVERIFY(control<QTextEdit>(*preview, "txtPreview")->toPlainText().isEmpty()
            && control<QLabel>(*preview, "lblPath")->text().isEmpty());
        preview->close();
        QCOMPARE(m_folder->logRecords(), atStart); // nothing failed

        QVERIFY(QFile(clips + u"/b.avs"_s).open(QIODevice::WriteOnly));
        control<QTreeView>(*w, "lvwMovies")->setCurrentIndex(w->clipModel()->index(1, 0));
        control<QAction>(*w, "mListOpenFolder")->trigger();
        control<QAction>(*w, "mListOpenScript")->trigger();
        QCOMPARE(m_dialogs.openedUrls,
            (QStringList {
                QUrl::fromLocalFile(clips).toString(), QUrl::fromLocalFile(clips + u"/b.avs"_s).toString() }));
        QVERIFY(m_dialogs.messages.isEmpty());

        // In "All for one" the preview names the batch script the next build
        // writes, and Open script that same file, which is not there yet:
        // never the per-clip script b.avs.
        control<QRadioButton>(*w, "optMode_0")->click();
        m_dialogs.openedUrls.clear();
        control<QAction>(*w, "mListOpenScript")->trigger();
        QVERIFY(m_dialogs.openedUrls.isEmpty());
        control<QAction>(*w, "mListPreview")->trigger();
        QCOMPARE(control<QLabel>(*preview, "lblPath")->text(),
            QDir::toNativeSeparators(m_clips.filePath(u"out/batch_file_0.avs"_s)));

        // Where nothing on the desktop opens a folder or a script, the user
        // is told and the failure is logged.
        control<QRadioButton>(*w, "optMode_1")->click();
        m_dialogs.opens = false;
        control<QAction>(*w, "mListOpenFolder")->trigger();
        control<QAction>(*w, "mListOpenScript")->trigger();
        QCOMPARE(m_dialogs.messages,
            (QStringList { "Nothing on this desktop could open " + QDir::toNativeSeparators(clips) + ".",
                "Nothing on this desktop could open " + QDir::toNativeSeparators(clips + u"/b.avs"_s) + "." }));
        QCOMPARE(m_folder->logRecords().mid(atStart.size()),
            (QStringList { u"mListOpenFolder_Click 75"_s, u"mListOpenScript_Click 75"_s }));
    }

    // The context menu shows the keys of its entries: F3 for the preview,
    // and Space beside the one of check and uncheck that Space does now.
    void theContextMenuShowsItsKeys()
    {
        auto w = load();
        w->clipModel()->setRows({ { false, u"a.avi"_s, m_clips.path(), ScriptMark::None } });
        control<QTreeView>(*w, "lvwMovies")->setCurrentIndex(w->clipModel()->index(0, 0));
        const auto shown = [&] {
            QStringList keys;
            QTimer::singleShot(0, [&] {
                if (auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())) {
                    for (QAction *a : menu->actions())
                        keys << a->text() + u'=' + a->shortcut().toString();
                    menu->close();
                }
            });
            emit control<QTreeView>(*w, "lvwMovies")->customContextMenuRequested(QPoint(5, 5));
            return keys;
        };
        QCOMPARE(shown(),
            (QStringList { "&Check selected=Space", "&Uncheck selected=", "=", "&Preview script=F3",
                "Open &folder=", "Open &script=" }));
        QTest::keyClick(control<QTreeView>(*w, "lvwMovies"), Qt::Key_Space);
        QVERIFY(w->clipModel()->rows().at(0).checked);
        QCOMPARE(shown().mid(0, 2), (QStringList { "&Check selected=", "&Uncheck selected=Space" }));
    }

    // Before the first scan, with no scan folder, the empty list says how to
    // start; the status bar keeps its own text.
    void theEmptyListSaysHowToStart()
    {
        auto w = load();
        auto *hint = w->findChild<QLabel *>(u"lblEmptyList"_s);
        QVERIFY(hint && hint->isVisible());
        QCOMPARE(hint->text(), u"Add a scan folder under Settings, then press Scan"_s);
        QCOMPARE(hint->geometry(), control<QTreeView>(*w, "lvwMovies")->geometry());
        QCOMPARE(control<QLabel>(*w, "Panel2")->text(), u"0 files found"_s);
        w->AddFolder(m_clips.path());
        QVERIFY(!hint->isVisible());

        m_folder->write(u"Settings.ini"_s, "[Settings]\r\nExtenions=AVI\r\n");
        auto again = load();
        hint = again->findChild<QLabel *>(u"lblEmptyList"_s);
        QVERIFY(hint && hint->isVisible());
        control<QPushButton>(*again, "cmdScan")->click();
        QVERIFY(!hint->isVisible());
    }

    // Every control of a frame sits inside its border, at its design
    // position: the caption stands on the border, not above it.
    void controlsSitInsideTheirFrames()
    {
        auto w = load();
        const QList<QGroupBox *> frames = w->centralWidget()->findChildren<QGroupBox *>();
        QCOMPARE(frames.size(), 4);
        for (QGroupBox *frame : frames) {
            // The border's top line, found as drawn, right of the caption.
            const QImage image = frame->grab().toImage();
            const int x = image.width() - 6;
            int top = 0;
            while (top < image.height() && image.pixel(x, top) == image.pixel(x, 0))
                ++top;
            QVERIFY2(top < 12, qPrintable(frame->title()));
            for (QWidget *control : frame->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
                const QByteArray what = frame->title().toUtf8() + " / " + control->objectName().toUtf8();
                QVERIFY2(control->y() > top + 1, what);
                QVERIFY2(control->geometry().right() < frame->width() - 2, what);
                QVERIFY2(control->geometry().bottom() < frame->height() - 2, what);
            }
        }
        QCOMPARE(control<QPushButton>(*w, "cmdColour")->geometry(), twipsRect(7680, 120, 735, 375));
    }

    // The preview's text is byte for byte what each build writes.
    void previewEqualsWhatTheBuildsWrite()
    {
        // Both folders as the scan and the folder chooser give them.
        const QString clips = QDir::toNativeSeparators(m_clips.path());
        const QString out = QDir::toNativeSeparators(m_clips.filePath(u"out"_s));
        QVERIFY(QDir().mkpath(out));
        const ClipRow row { true, u"Zwei.Ü.avi"_s, clips, ScriptMark::None };
        const BuildOptions options { u"A(\"%PATH%\\%CLIP%.%EXT%\") # é\r\nB()"_s, u"AVS"_s, OverwritePolicy::Always,
            ScriptFolder::ClipFolder, out };
        const CErrorlog log(m_folder->path(), u"tovrane"_s);
        const ErrorTrap step(log, u"frmTovrane"_s, u"Mode_1"_s);

        const ScriptPreview perClip = *previewScript(row, options, false);
        QCOMPARE(buildPerClip({ row }, options, step, {}, {}), 1);
        QCOMPARE(contents(perClip.path), perClip.text.toLocal8Bit());
        QVERIFY(previewScript(row, options, false)->exists);

        const ScriptPreview block = *previewScript(row, options, true);
        QCOMPARE(block.path, QDir::toNativeSeparators(m_clips.filePath(u"out/batch_file_0.avs"_s)));
        QCOMPARE(buildBatch({ row }, options, step), block.path);
        QCOMPARE(contents(block.path), block.text.toLocal8Bit());
        QCOMPARE(previewScript(row, options, true)->path,
            QDir::toNativeSeparators(m_clips.filePath(u"out/batch_file_1.avs"_s)));
    }

    // Folders dropped on the clip list or the settings window's folder list
    // are added as "Add" adds them; files are not. One template dropped on the
    // editor is loaded as Load loads it.
    void foldersAndTemplatesDropIn()
    {
        auto w = load();
        const QString a = m_clips.filePath(u"a"_s), b = m_clips.filePath(u"b"_s), file = m_clips.filePath(u"x.txt"_s);
        QVERIFY(QDir().mkpath(a) && QDir().mkpath(b) && QFile(file).open(QIODevice::WriteOnly));
        // What the user sees and what is stored has the system's separators.
        const QString shownA = QDir::toNativeSeparators(a), shownB = QDir::toNativeSeparators(b);
        QVERIFY(drop(control<QTreeView>(*w, "lvwMovies")->viewport(), { a, file }));
        QCOMPARE(control<QLabel>(*w, "Panel1")->text(), "Added the scan folder " + shownA + "; Scan lists its clips.");
        QVERIFY(!drop(control<QTreeView>(*w, "lvwMovies")->viewport(), { file }));
        QVERIFY(drop(control<QListWidget>(*w->settingsWindow(), "lstScanFolders")->viewport(), { b }));
        QCOMPARE(w->settings().scanFolders(), (QStringList { shownA, shownB }));
        QVERIFY(m_folder->read(u"Settings.ini"_s)
                    .contains(("MainFolder=" + shownA + u'|' + shownB + "\r\n").toLocal8Bit()));
        // A second drop adds nothing twice, on either list.
        QVERIFY(drop(control<QTreeView>(*w, "lvwMovies")->viewport(), { a + u'/', b }));
        QVERIFY(drop(control<QListWidget>(*w->settingsWindow(), "lstScanFolders")->viewport(), { b }));
        QCOMPARE(w->settings().scanFolders(), (QStringList { shownA, shownB }));
        QCOMPARE(listedTexts(*control<QListWidget>(*w->settingsWindow(), "lstScanFolders")),
            (QStringList { shownA, shownB }));
        QCOMPARE(control<QLabel>(*w, "Panel1")->text(), shownB + " is a scan folder already.");
        QCOMPARE(control<QLabel>(*w, "Panel2")->text(), u"0 files found"_s);
        control<QPushButton>(*w, "cmdScan")->click();
        QVERIFY(control<QLabel>(*w, "Panel1")->text().isEmpty());

        const QString avt = m_folder->file(u"Templates/Dropped.avt"_s);
        m_folder->write(u"Templates/Dropped.avt"_s, "Dropped()\r\n");
        drop(control<TemplateEditor>(*w, "txtScript")->viewport(), { avt, file }); // two files: no template
        QVERIFY(!control<TemplateEditor>(*w, "txtScript")->toPlainText().startsWith(u"Dropped()"_s));
        QVERIFY(drop(control<TemplateEditor>(*w, "txtScript")->viewport(), { avt }));
        QCOMPARE(control<TemplateEditor>(*w, "txtScript")->toPlainText(), u"Dropped()\n"_s);
        QVERIFY(m_folder->read(u"Settings.ini"_s)
                    .contains(("Template=" + QDir::toNativeSeparators(avt) + "\r\n").toLocal8Bit()));
        QCOMPARE(control<QLabel>(*w, "Panel3")->text(), u"Dropped.avt"_s);
    }
};

QTEST_MAIN(TestCollections)
#include "tst_collections.moc"
