// The clip list: scan, select, filter and script removal.
#include "frmTovrane.h"

#include "ClipListModel.h"
#include "Dialogs.h"
#include "ErrorTrap.h"
#include "SafeFile.h"
#include "ScanWalk.h"
#include "ScriptBuild.h"
#include "ScriptRemoval.h"
#include "frmSettings.h"
#include "mGlobal.h"

#include <QApplication>
#include <QCheckBox>
#include <QSet>

void frmTovrane::cmdScan_Click()
{
    ErrorTrap step(m_errorlog, objectName(), QStringLiteral("cmdScan_Click"));
    step([&] { QApplication::setOverrideCursor(Qt::WaitCursor); });
    step([&] { m_clips->clear(); });
    step([&] {
        const QStringList folders = m_settings ? m_settings->scanFolders() : QStringList();
        m_clips->setRows(scanFolders(folders, ScanOptions {m_extensions, m_show != 0}, m_errorlog));
    });
    step([&] { setBuildCommandsEnabled(m_clips->rowCount() > 0); });
    step([&] { UpdateStatusBar(m_clips->rowCount(), QString()); });
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
    // Failures here are skipped without a record: a folder without scripts,
    // or one that is gone, simply has nothing to remove.
    const QString extension = m_settings ? m_settings->scriptExtension().toLower() : QString();
    const QString prompt = QStringLiteral("This will remove all existing scripts with the extension .") + extension
        + QStringLiteral(" from the checked directories. Continue?");
    if (m_dialogs.question(QStringLiteral("Remove avisynth scripts"), prompt, Dialogs::Icon::Warning) != Dialogs::Yes)
        return;

    QApplication::setOverrideCursor(Qt::WaitCursor);
    BuildOptions beside; // the clip's own script, as the per-clip build names it
    beside.scriptExtension = extension;
    const QList<ClipRow> rows = m_clips->rows();
    QSet<QString> cleared; // a folder is emptied of scripts once, however many clips it holds
    for (int row = 0; row < rows.size(); ++row) {
        if (!rows[row].checked)
            continue;
        try {
            if (!cleared.contains(rows[row].location)) {
                cleared.insert(rows[row].location);
                removeScripts(rows[row].location, extension);
            }
        } catch (...) {
        }
        try {
            // A script that could not be deleted (no rights to its folder)
            // still stands beside the clip, and the list must not say otherwise.
            if (!SafeFile::fileOrLinkExists(scriptPathFor(rows[row], beside)))
                m_clips->setAvs(row, QStringLiteral("-"));
        } catch (...) {
        }
    }
    QApplication::restoreOverrideCursor();
    m_dialogs.message(QString(), QStringLiteral("All done!"));
}
