// The clip list: scan, select, filter and script removal.
#include "frmTovrane.h"

#include "ClipListModel.h"
#include "Dialogs.h"
#include "ErrorTrap.h"
#include "ScanWalk.h"
#include "ScriptRemoval.h"
#include "frmSettings.h"
#include "mGlobal.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>

void frmTovrane::cmdScan_Click()
{
    ErrorTrap step(m_errorlog, objectName(), QStringLiteral("cmdScan_Click"));
    // Missing scan folders and names that cannot be held go to this
    // procedure's record; what fails inside the walk goes to the walk's.
    const ErrorTrap walkStep(m_errorlog, objectName(), QStringLiteral("ScanFolder"));
    step([&] { QApplication::setOverrideCursor(Qt::WaitCursor); });
    step([&] { m_clips->clear(); });
    step([&] {
        const QStringList folders = m_settings ? m_settings->scanFolders() : QStringList();
        m_clips->setRows(scanFolders(folders, ScanOptions { m_extensions, m_show != 0 }, step, walkStep));
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
    m_show = chkCheckedonly->isChecked() ? 1 : 0;
    ErrorTrap step(m_errorlog, objectName(), QStringLiteral("chkCheckedonly_Click"));
    step([&] { WriteIniKey(IniPath, PutKey, QStringLiteral("Show"), QString::number(m_show)); });
}

void frmTovrane::cmdRemove_Click()
{
    // No trap: the removal skips its own failures without a record.
    const QString extension = m_settings ? m_settings->scriptExtension().toLower() : QString();
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
