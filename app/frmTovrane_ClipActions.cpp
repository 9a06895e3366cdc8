// Working with many clips: selecting and checking rows together, the list's
// context menu (preview, open folder or script), and drops of folders.
#include "frmTovrane.h"

#include "ClipListModel.h"
#include "Dialogs.h"
#include "Drops.h"
#include "ErrorTrap.h"
#include "RuntimeError.h"
#include "ScriptBuild.h"
#include "TemplateEditor.h"
#include "frmPreview.h"
#include "frmSettings.h"

#include <QAction>
#include <QDir>
#include <QDropEvent>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QTreeView>
#include <QUrl>

#include <algorithm>

using scriptgen::BuildMode;
using scriptgen::OverwritePolicy;
using scriptgen::previewScript;
using scriptgen::ScriptPreview;

namespace ErrNum = errorlog::ErrNum;
using errorlog::ErrorTrap;
using errorlog::Expected;
using errorlog::RuntimeError;

using scan::ClipRow;

using ui::droppedFolders;

namespace {

// What the status bar says after folders were dropped on the clip list.
QString dropNotice(const QStringList &added, const QStringList &known)
{
    QString notice;
    if (added.size() == 1)
        notice = QStringLiteral("Added the scan folder %1; Scan lists its clips.").arg(added.constFirst());
    else if (!added.isEmpty())
        notice = QStringLiteral("Added %1 scan folders; Scan lists their clips.").arg(added.size());
    if (!notice.isEmpty() && !known.isEmpty())
        notice += QLatin1Char(' ');
    if (known.size() == 1)
        notice += QStringLiteral("%1 is a scan folder already.").arg(known.constFirst());
    else if (!known.isEmpty())
        notice += QStringLiteral("%1 of the folders are scan folders already.").arg(known.size());
    return notice;
}

// What a build does with the previewed script.
QString previewFate(const ScriptPreview &preview, bool batch, bool ask)
{
    if (batch)
        return QStringLiteral("The next build writes this new batch script; below is this clip's part of it.");
    if (!preview.exists)
        return QStringLiteral("The script does not exist yet; a build writes it.");
    return ask ? QStringLiteral("The script already exists; a build asks before replacing it.")
               : QStringLiteral("The script already exists; a build replaces it.");
}

} // namespace

void frmTovrane::buildClipActions()
{
    const auto action = [this](const QString &name, const QString &caption, void (frmTovrane::*slot)()) {
        auto *a = new QAction(caption, lvwMovies);
        a->setObjectName(name);
        // Reachable from the list by its shortcut too, not only by the menu.
        a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        lvwMovies->addAction(a);
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    mListCheck = action(QStringLiteral("mListCheck"), QStringLiteral("&Check selected"), &frmTovrane::mListCheck_Click);
    // Space in the list does one of these two (the list handles the key
    // itself); the menu shows it beside the one it does now.
    mListCheck->setShortcut(QKeySequence(Qt::Key_Space));
    mListUncheck
        = action(QStringLiteral("mListUncheck"), QStringLiteral("&Uncheck selected"), &frmTovrane::mListUncheck_Click);
    mListPreview
        = action(QStringLiteral("mListPreview"), QStringLiteral("&Preview script"), &frmTovrane::mListPreview_Click);
    mListPreview->setShortcut(QKeySequence(Qt::Key_F3));
    mListOpenFolder
        = action(QStringLiteral("mListOpenFolder"), QStringLiteral("Open &folder"), &frmTovrane::mListOpenFolder_Click);
    mListOpenScript
        = action(QStringLiteral("mListOpenScript"), QStringLiteral("Open &script"), &frmTovrane::mListOpenScript_Click);

    lvwMovies->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(lvwMovies, &QWidget::customContextMenuRequested, this, [this](const QPoint &at) {
        updateClipActions();
        // A child of the window, not of the list: screen readers find a
        // popup among its parent's children, and a list shows them only rows.
        QMenu menu(this);
        menu.setObjectName(QStringLiteral("mList"));
        menu.setAccessibleName(QStringLiteral("Clip list"));
        menu.addActions({ mListCheck, mListUncheck });
        menu.addSeparator();
        menu.addActions({ mListPreview, mListOpenFolder, mListOpenScript });
        menu.exec(lvwMovies->viewport()->mapToGlobal(at));
    });
    lvwMovies->installEventFilter(this);
    lvwMovies->setAcceptDrops(true);
    lvwMovies->viewport()->installEventFilter(this);

    // Before the first scan, with no folder to scan, the empty list says how
    // to start: a label over the list's empty area, beside the list rather
    // than in it, so that screen readers find it (they see a list's rows, not
    // the widgets inside it).
    lblEmptyList
        = new QLabel(QStringLiteral("Add a scan folder under Settings, then press Scan"), lvwMovies->parentWidget());
    lblEmptyList->setObjectName(QStringLiteral("lblEmptyList"));
    lblEmptyList->setAlignment(Qt::AlignCenter);
    lblEmptyList->setWordWrap(true);
    lblEmptyList->setForegroundRole(QPalette::PlaceholderText);
    lblEmptyList->setAttribute(Qt::WA_TransparentForMouseEvents);
    lblEmptyList->raise();
    lblEmptyList->hide();
    connect(m_clips, &QAbstractItemModel::modelReset, this, &frmTovrane::updateEmptyListHint);

    // The preview follows the current clip and the template while it is open.
    connect(lvwMovies->selectionModel(), &QItemSelectionModel::currentChanged, this, &frmTovrane::refreshPreview);
    connect(txtScript, &QPlainTextEdit::textChanged, this, &frmTovrane::refreshPreview);
}

void frmTovrane::updateEmptyListHint()
{
    if (!lblEmptyList)
        return;
    const bool noFolders = m_values.scanFolders().isEmpty();
    lblEmptyList->setVisible(!m_scanned && m_clips->rowCount() == 0 && noFolders);
}

QList<int> frmTovrane::selectedRows() const
{
    QList<int> rows;
    for (const QItemSelectionRange &range : lvwMovies->selectionModel()->selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row)
            rows.append(row);
    }
    if (rows.isEmpty() && lvwMovies->currentIndex().isValid())
        rows.append(lvwMovies->currentIndex().row());
    return rows;
}

int frmTovrane::currentRow() const
{
    const QModelIndex current = lvwMovies->currentIndex();
    return current.isValid() && current.row() < m_clips->rowCount() ? current.row() : -1;
}

void frmTovrane::updateClipActions()
{
    const int row = currentRow();
    const bool any = !selectedRows().isEmpty();
    mListCheck->setEnabled(any);
    mListUncheck->setEnabled(any);
    const bool spaceUnchecks = row >= 0 && m_clips->rows().at(row).checked;
    mListCheck->setShortcut(spaceUnchecks ? QKeySequence() : QKeySequence(Qt::Key_Space));
    mListUncheck->setShortcut(spaceUnchecks ? QKeySequence(Qt::Key_Space) : QKeySequence());
    mListPreview->setEnabled(row >= 0);
    mListOpenFolder->setEnabled(row >= 0);
    bool scriptThere = false;
    if (row >= 0) {
        try {
            scriptThere = currentPreview(m_clips->rows().at(row)).exists;
        } catch (...) {
            // A clip without a script name has no script to open.
        }
    }
    mListOpenScript->setEnabled(scriptThere);
}

void frmTovrane::toggleSelectedRows()
{
    // Every selected row takes the opposite of the current row's state, so
    // that a mixed selection ends up all one way.
    const int row = currentRow();
    if (row < 0)
        return;
    m_clips->setRowsChecked(selectedRows(), !m_clips->rows().at(row).checked);
}

void frmTovrane::mListCheck_Click()
{
    m_clips->setRowsChecked(selectedRows(), true);
}

void frmTovrane::mListUncheck_Click()
{
    m_clips->setRowsChecked(selectedRows(), false);
}

void frmTovrane::onCurrentRow(const QString &procedure, const std::function<void(const ClipRow &)> &work)
{
    const int row = currentRow();
    if (row < 0)
        return;
    ErrorTrap step(m_errorlog, objectName(), procedure);
    step([&] { work(m_clips->rows().at(row)); });
}

ScriptPreview frmTovrane::currentPreview(const ClipRow &row) const
{
    // The preview and "Open script" name the same file: in "All for one"
    // that is the batch script the next build writes.
    Expected<ScriptPreview> preview
        = previewScript(row, buildOptions(), BuildMode(m_values.mode()) == BuildMode::AllForOne);
    if (!preview)
        throw RuntimeError(preview.error());
    return std::move(*preview);
}

void frmTovrane::mListPreview_Click()
{
    if (!m_preview)
        m_preview = new frmPreview(FilterNames, this);
    m_preview->show();
    refreshPreview();
    m_preview->raise();
    m_preview->activateWindow();
}

void frmTovrane::refreshPreview()
{
    if (!m_preview || !m_preview->isVisible())
        return;
    const int row = currentRow();
    if (row < 0) {
        m_preview->showNothing(QStringLiteral("No clip is chosen: pick one in the list."));
        return;
    }
    const ClipRow &clip = m_clips->rows().at(row);
    if (!clip.file.contains(QLatin1Char('.'))) {
        m_preview->showNothing(QStringLiteral("%1 has no \".\" in its name, so no script can be named after it: "
                                              "a build writes no script for this clip.")
                                   .arg(clip.file));
        return;
    }
    ErrorTrap step(m_errorlog, objectName(), QStringLiteral("mListPreview_Click"));
    step([&] {
        const ScriptPreview preview = currentPreview(clip);
        m_preview->showScript(preview.path,
            previewFate(preview, BuildMode(m_values.mode()) == BuildMode::AllForOne, m_values.askBeforeOverwrite()),
            preview.text);
    });
}

void frmTovrane::openOnDesktop(const QString &path)
{
    if (m_dialogs.openUrl(QUrl::fromLocalFile(path).toString()))
        return;
    const QString shown = QDir::toNativeSeparators(path);
    m_dialogs.message(QString(), QStringLiteral("Nothing on this desktop could open %1.").arg(shown));
    throw RuntimeError(ErrNum::PathFileAccessError,
        RuntimeError::standardDescription(ErrNum::PathFileAccessError) + QStringLiteral(": nothing opened ") + shown);
}

void frmTovrane::mListOpenFolder_Click()
{
    onCurrentRow(QStringLiteral("mListOpenFolder_Click"), [this](const ClipRow &row) { openOnDesktop(row.location); });
}

void frmTovrane::mListOpenScript_Click()
{
    onCurrentRow(QStringLiteral("mListOpenScript_Click"), [this](const ClipRow &row) {
        const ScriptPreview script = currentPreview(row);
        if (script.exists)
            openOnDesktop(script.path);
    });
}

void frmTovrane::addDroppedFolders(const QStringList &folders)
{
    const auto same = [](const QString &a, const QString &b) {
        return QDir::cleanPath(QDir::fromNativeSeparators(a)) == QDir::cleanPath(QDir::fromNativeSeparators(b));
    };
    QStringList added, known;
    for (const QString &folder : folders) {
        const QStringList &listed = m_values.scanFolders();
        if (std::any_of(listed.begin(), listed.end(), [&](const QString &f) { return same(f, folder); })) {
            known << folder;
            continue;
        }
        AddFolder(folder);
        added << folder;
    }
    if (panels[0])
        panels[0]->setText(dropNotice(added, known));
}

bool frmTovrane::clipListEvent(QObject *watched, QEvent *event)
{
    if (watched == lvwMovies && (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride)) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() != Qt::Key_Space || key->modifiers() != Qt::NoModifier)
            return false;
        // The key, not the menu entry that shows it, so that it toggles.
        if (event->type() == QEvent::ShortcutOverride) {
            key->accept();
            return true;
        }
        toggleSelectedRows();
        return true;
    }
    if (watched != lvwMovies->viewport())
        return false;
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto *drag = static_cast<QDropEvent *>(event);
        if (!droppedFolders(drag->mimeData()).isEmpty())
            drag->acceptProposedAction();
        return true;
    }
    case QEvent::Drop: {
        auto *drop = static_cast<QDropEvent *>(event);
        addDroppedFolders(droppedFolders(drop->mimeData()));
        drop->acceptProposedAction();
        return true;
    }
    default: return false;
    }
}
