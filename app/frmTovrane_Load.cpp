// Start-up, the window's public procedures, the forwarding commands and the
// status bar.
#include "frmTovrane.h"

#include "ClipListModel.h"
#include "Completion.h"
#include "ErrorTrap.h"
#include "FilterList.h"
#include "GrowingHeader.h"
#include "RuntimeError.h"
#include "Twips.h"
#include "frmAbout.h"
#include "frmSettings.h"
#include "frmStatus.h"
#include "mGlobal.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTreeView>

using update::frmStatus;

namespace {

// Splits a stored list; an empty value holds no item at all.
QStringList splitSetting(const QString &value)
{
    return value.isEmpty() ? QStringList() : value.split(QLatin1Char('|'));
}

// The load puts the stored values into the controls without running their
// handlers, which would only store the same values again.
template <std::size_t N, typename Button> void selectOption(const std::array<Button *, N> &options, int index)
{
    if (index < 0 || index >= int(N))
        throw RuntimeError(ErrNum::SubscriptOutOfRange);
    // The option losing the choice reports only that, which runs nothing.
    const QSignalBlocker quiet(options[std::size_t(index)]);
    options[std::size_t(index)]->setChecked(true);
}

void setQuietly(QAbstractButton *box, bool checked)
{
    const QSignalBlocker quiet(box);
    box->setChecked(checked);
}

} // namespace

void frmTovrane::Form_Load()
{
    // Loaded once: the start-up lets events run, and nothing may start it again.
    if (m_loaded || m_loading)
        return;
    m_loading = true;

    ErrorTrap step(m_errorlog, objectName(), QStringLiteral("Form_Load"));
    qint16 overwrite = 0, buildScriptsIn = 0, splash = 0;
    QString scriptExtensions, templatePath;
    auto readInteger = [&](const QString &key, qint16 &value) {
        step([&] {
            const QString text = ReadIniKey(IniPath, PutKey, key);
            try {
                value = CInt(text);
            } catch (const RuntimeError &e) {
                // The record names the key, so a user can find what to mend.
                throw RuntimeError(
                    e.number(), e.description() + QStringLiteral(": ") + key + QStringLiteral("=") + text);
            }
        });
    };

    step([&] { m_settings = new frmSettings(*this); });
    step([&] { QApplication::setOverrideCursor(Qt::WaitCursor); });
    step([&] { setWindowTitle(QStringLiteral("Tovrane v") + m_info.versionText()); });
    step([&] {
        IniPath = m_info.settingsPath();
        PutKey = QStringLiteral("Settings");
    });
    step([&] { MainFolder = ReadIniKey(IniPath, PutKey, QStringLiteral("MainFolder")); });
    step([&] { m_avsFolder = ReadIniKey(IniPath, PutKey, QStringLiteral("AvsFolder")); });
    step([&] { m_extensions = ReadIniKey(IniPath, PutKey, QStringLiteral("Extenions")); });
    readInteger(QStringLiteral("Overwrite"), overwrite);
    readInteger(QStringLiteral("BuildScriptsIn"), buildScriptsIn);
    step([&] { scriptExtensions = ReadIniKey(IniPath, PutKey, QStringLiteral("ScriptExtensions")); });
    readInteger(QStringLiteral("Splash"), splash);
    readInteger(QStringLiteral("Mode"), m_mode);
    readInteger(QStringLiteral("Show"), m_show);

    // Fill the settings window; its controls hold these settings from now on.
    step([&] { m_settings->lblFolder[1]->setText(m_avsFolder); });
    step([&] { selectOption(m_settings->optOverwrite, overwrite); });
    step([&] { selectOption(m_settings->optBuildScripts, buildScriptsIn); });
    step([&] { m_settings->cmdRemove->setEnabled(false); });
    step([&] { setQuietly(m_settings->chkSplash, splash == 1); });
    step([&] { setQuietly(chkCheckedonly, m_show != 0); });
    step([&] { selectOption(optMode, m_mode); });
    step([&] { m_settings->lstScanFolders->addItems(splitSetting(MainFolder)); });
    step([&] { m_settings->cboExt->addItems(splitSetting(scriptExtensions)); });
    step([&] {
        if (m_settings->cboExt->count() == 0)
            throw RuntimeError(
                ErrNum::InvalidProcedureCall, QStringLiteral("Invalid property value: no script extension to select"));
        m_settings->cboExt->setCurrentIndex(0);
    });
    step([&] { m_settings->setScriptFolderControlsEnabled(buildScriptsIn != 0); });
    step([&] { mRunBuild->setEnabled(false); });
    step([&] { readFilters(); });
    // As the list grows, "File" and "Location" share the extra width.
    step([&] {
        m_columns->setDesign({ twipsToPixels(2300), twipsToPixels(4300), twipsToPixels(500) }, { true, true, false });
    });
    step([&] { templatePath = ReadIniKey(IniPath, PutKey, QStringLiteral("Template")); });
    step([&] { LoadTemplate(templatePath); });
    step([&] { ApplyColorScheme(); });
    step([&] {
        cmdSave->setEnabled(false);
        mFileSave->setEnabled(false);
    });
    step([&] {
        for (std::size_t i = 0; i < panels.size(); ++i) {
            panels[i] = new QLabel(StatusBar1);
            panels[i]->setObjectName(QStringLiteral("Panel%1").arg(i + 1));
            StatusBar1->addWidget(panels[i], i == 1 ? 1 : 0);
        }
    });
    step([&] { UpdateStatusBar(0, templatePath); });
    step([&] { updateEmptyListHint(); });
    step([&] { restorePlacement(); });
    step([&] {
        QMainWindow::show();
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    });
    step([&] {
        frmStatus status(m_info, m_dialogs, m_updateCheck.baseAddress, m_updateCheck.page, this);
        status.Start();
    });
    step([&] { QApplication::restoreOverrideCursor(); });

    m_loading = false;
    m_loaded = true;
}

void frmTovrane::readFilters()
{
    const FilterList list = readFilterList(m_info.files.filters);
    fillCompletionList(lstIntelli, list.offered);
    FilterNames = list.filterNames;
}

void frmTovrane::AddFolder(const QString &folder)
{
    ErrorTrap step(m_errorlog, objectName(), QStringLiteral("AddFolder"));
    step([&] { MainFolder = MainFolder.isEmpty() ? folder : MainFolder + QLatin1Char('|') + folder; });
    step([&] { m_settings->lstScanFolders->addItem(folder); });
    step([&] { WriteIniKey(IniPath, PutKey, QStringLiteral("MainFolder"), MainFolder); });
    updateEmptyListHint();
}

void frmTovrane::AvsFolder(const QString &folder)
{
    ErrorTrap step(m_errorlog, objectName(), QStringLiteral("AvsFolder"));
    step([&] { m_avsFolder = folder; });
    step([&] { m_settings->lblFolder[1]->setText(folder); });
    step([&] { WriteIniKey(IniPath, PutKey, QStringLiteral("AvsFolder"), folder); });
}

void frmTovrane::optMode_Click(int index)
{
    m_mode = qint16(index);
    // The mode is in force even when it cannot be stored; the failure is
    // recorded rather than ending the program.
    ErrorTrap step(m_errorlog, objectName(), QStringLiteral("optMode_Click"));
    step([&] { WriteIniKey(IniPath, PutKey, QStringLiteral("Mode"), QString::number(index)); });
    refreshPreview();
}

void frmTovrane::UpdateStatusBar(qint64 count, const QString &templatePath)
{
    if (!panels[0])
        return;
    panels[0]->setMinimumWidth(twipsToPixels(240));
    panels[0]->setFrameShape(QFrame::NoFrame);
    panels[1]->setText(QString::number(count) + QStringLiteral(" files found"));
    if (!templatePath.isEmpty()) {
        const qsizetype slash = templatePath.lastIndexOf(QDir::separator());
        panels[2]->setText(templatePath.mid(slash + 1));
        panels[2]->setMinimumWidth(twipsToPixels(3200));
    }
}

void frmTovrane::cmdExit_Click()
{
    close();
}

void frmTovrane::cmdSettings_Click()
{
    mFileSettings_Click();
}

void frmTovrane::mFileSettings_Click()
{
    if (m_settings)
        m_settings->exec();
    // The scan folders, the policy and the extension may have changed.
    updateEmptyListHint();
    refreshPreview();
}

void frmTovrane::cmdAbout_Click()
{
    frmAbout about(m_info, m_dialogs, this);
    about.exec();
}

void frmTovrane::mAbout_Click()
{
    cmdAbout_Click();
}
void frmTovrane::mFileLoad_Click()
{
    cmdLoad_Click();
}
void frmTovrane::mFileSave_Click()
{
    cmdSave_Click();
}
void frmTovrane::mRunScan_Click()
{
    cmdScan_Click();
}
void frmTovrane::mRunBuild_Click()
{
    cmdBuild_Click();
}
void frmTovrane::mFileClose_Click()
{
    cmdExit_Click();
}

WindowPlacement frmTovrane::currentPlacement() const
{
    WindowPlacement placement;
    placement.maximized = isMaximized();
    const QRect normal = normalGeometry();
    placement.size = !placement.maximized ? size() : normal.isValid() ? normal.size() : m_placementAtLoad.size;
    placement.columns = m_columns->userWidths();
    return placement;
}

void frmTovrane::restorePlacement()
{
    // The design size, unless a size that fits the screen was stored.
    adjustSize();
    const QSize screenSize = screen() ? screen()->availableGeometry().size() : QSize();
    const WindowPlacement stored
        = readWindowPlacement(IniPath, screenSize, size(), int(m_columns->userWidths().size()));
    if (stored.size.isValid())
        resize(stored.size);
    m_columns->setUserWidths(stored.columns);
    if (stored.maximized)
        setWindowState(windowState() | Qt::WindowMaximized);
    m_placementAtLoad = currentPlacement();
}

void frmTovrane::storePlacement()
{
    // Only a window that came up has a placement of its own to keep.
    if (!m_loaded)
        return;
    ErrorTrap step(m_errorlog, objectName(), QStringLiteral("Form_Unload"));
    step([&] { writeWindowPlacement(IniPath, m_placementAtLoad, currentPlacement()); });
}

void frmTovrane::Form_Unload()
{
    storePlacement();
    if (m_settings) {
        m_settings->hide();
        delete m_settings;
        m_settings = nullptr;
    }
}
