// Working with many clips: selecting and checking rows together, the list's
// context menu (preview, open folder or script), and drops of folders.
#include "frmTovrane.h"

#include "ClipListModel.h"
#include "Dialogs.h"
#include "Drops.h"
#include "ErrorTrap.h"
#include "SafeFile.h"
#include "ScriptBuild.h"
#include "frmPreview.h"

#include <QAction>
#include <QDropEvent>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMenu>
#include <QTreeView>
#include <QUrl>

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
        QMenu menu(lvwMovies);
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
    mListPreview->setEnabled(row >= 0);
    mListOpenFolder->setEnabled(row >= 0);
    bool scriptThere = false;
    if (row >= 0) {
        try {
            scriptThere = SafeFile::fileOrLinkExists(scriptPathFor(m_clips->rows().at(row), buildOptions()));
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

void frmTovrane::mListPreview_Click()
{
    onCurrentRow(QStringLiteral("mListPreview_Click"), [this](const ClipRow &row) {
        auto *window = new frmPreview(previewScript(row, buildOptions(), m_mode == 0), FilterNames, this);
        window->show();
    });
}

void frmTovrane::mListOpenFolder_Click()
{
    onCurrentRow(QStringLiteral("mListOpenFolder_Click"),
        [this](const ClipRow &row) { m_dialogs.openUrl(QUrl::fromLocalFile(row.location).toString()); });
}

void frmTovrane::mListOpenScript_Click()
{
    onCurrentRow(QStringLiteral("mListOpenScript_Click"), [this](const ClipRow &row) {
        const QString path = scriptPathFor(row, buildOptions());
        if (SafeFile::fileOrLinkExists(path))
            m_dialogs.openUrl(QUrl::fromLocalFile(path).toString());
    });
}

bool frmTovrane::clipListEvent(QObject *watched, QEvent *event)
{
    if (watched == lvwMovies && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Space && key->modifiers() == Qt::NoModifier) {
            toggleSelectedRows();
            return true;
        }
        return false;
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
        for (const QString &folder : droppedFolders(drop->mimeData()))
            AddFolder(folder);
        drop->acceptProposedAction();
        return true;
    }
    default: return false;
    }
}
