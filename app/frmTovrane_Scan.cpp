// The clip list: scan, select, filter and script removal.
#include "frmTovrane.h"

#include "ClipListModel.h"
#include "Dialogs.h"
#include "ErrorTrap.h"
#include "ScanWalk.h"
#include "ScriptRemoval.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>

using platform::Dialogs;

using errorlog::ErrorTrap;

using scan::ClipRow;
using scan::removeCheckedScripts;
using scan::scanFolders;
using scan::ScanOptions;
using scan::ScriptMark;

void frmTovrane::cmdScan_Click()
{
    ErrorTrap step(m_errorlog, objectName(), QStringLiteral("cmdScan_Click"));
    // Missing scan folders and names that cannot be held go to this
    // procedure's record; what fails inside the walk goes to the walk's.
    const ErrorTrap walkStep(m_errorlog, objectName(), QStringLiteral("ScanFolder"));
    step([&] { QApplication::setOverrideCursor(Qt::WaitCursor); });
    step([&] { m_clips->clear(); });
    step([&] {
        const ScanOptions options { m_values.clipExtensions(), m_values.show() != 0 };
        m_clips->setRows(scanFolders(m_values.scanFolders(), options, step, walkStep));
    });
    step([&] { setBuildCommandsEnabled(m_clips->rowCount() > 0); });
    step([&] { UpdateStatusBar(m_clips->rowCount(), QString()); });
    // A note about dropped folders is done with once they are scanned.
    step([&] {
        m_scanned = true;
        updateEmptyListHint();
        if (panels[0])
            panels[0]->clear();
    });
    step([&] { QApplication::restoreOverrideCursor(); });
}

void frmTovrane::cmdSelect_Click(int index)
{
    ErrorTrap step(m_errorlog, objectName(), QStringLiteral("cmdSelect_Click"));
    step([&] { m_clips->setAllChecked(index != 0); });
}

void frmTovrane::chkCheckedonly_Click()
{
    // Takes effect at the next scan; the list stays as it is.
    ErrorTrap step(m_errorlog, objectName(), QStringLiteral("chkCheckedonly_Click"));
    step([&] { m_values.setShow(chkCheckedonly->isChecked() ? 1 : 0); });
}

void frmTovrane::cmdRemove_Click()
{
    // No trap: the removal skips its own failures without a record.
    const QString extension = m_values.scriptExtension().toLower();
    const QString prompt = QStringLiteral("This will remove all existing scripts with the extension .") + extension
        + QStringLiteral(" from the checked directories. Continue?");
    if (m_dialogs.question(QStringLiteral("Remove avisynth scripts"), prompt, Dialogs::Icon::Warning) != Dialogs::Yes)
        return;

    QApplication::setOverrideCursor(Qt::WaitCursor);
    // A copy, since the marks change while the removal walks the rows.
    const QList<ClipRow> rows = m_clips->rows();
    removeCheckedScripts(rows, extension, [&](int row) { m_clips->setAvs(row, ScriptMark::None); });
    QApplication::restoreOverrideCursor();
    m_dialogs.message(QString(), QStringLiteral("All done!"));
}
