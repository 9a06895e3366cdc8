// Start-up, the window's public procedures, the forwarding commands and the
// status bar.
#include "frmTovrane.h"

#include "ClipListModel.h"
#include "Completion.h"
#include "ErrorTrap.h"
#include "FilterList.h"
#include "GrowingHeader.h"
#include "OptionButtons.h"
#include "RuntimeError.h"
#include "Twips.h"
#include "frmAbout.h"
#include "frmSettings.h"
#include "frmStatus.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
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

namespace ErrNum = errorlog::ErrNum;
using errorlog::ErrorTrap;
using errorlog::RuntimeError;

using appcore::readWindowPlacement;
using appcore::Settings;
using appcore::WindowPlacement;
using appcore::writeWindowPlacement;

using editor::fillCompletionList;
using editor::FilterList;
using editor::readFilterList;

using ui::frmAbout;
using ui::showOption;
using ui::twipsToPixels;

namespace {

// A value a group of `count` options cannot show is refused as the options
// would refuse it.
void requireOption(int value, int count)
{
    if (value < 0 || value >= count)
        throw RuntimeError(ErrNum::SubscriptOutOfRange);
}

} // namespace

void frmTovrane::Form_Load()
{
    // Loaded once: the start-up lets events run, and nothing may start it again.
    if (m_loaded || m_loading)
        return;
    m_loading = true;

    ErrorTrap step(m_errorlog, objectName(), QStringLiteral("Form_Load"));
    const auto load = [&](Settings::Key key) { step([&] { m_values.load(key); }); };
    using enum Settings::Key;

    // Made first, it shows each setting as it is loaded.
    step([&] { m_settings = new frmSettings(*this, m_values); });
    step([&] { QApplication::setOverrideCursor(Qt::WaitCursor); });
    step([&] { setWindowTitle(QStringLiteral("Tovrane v") + m_info.versionText()); });
    for (const Settings::Key key :
        { MainFolder, AvsFolder, Extensions, Overwrite, BuildScriptsIn, ScriptExtensions, Splash, Mode, Show })
        load(key);

    // What the controls cannot show is logged; the value stays in force.
    step([&] { requireOption(m_values.overwrite(), 2); });
    step([&] { requireOption(m_values.buildScriptsIn(), 2); });
    step([&] { requireOption(m_values.mode(), int(optMode.size())); });
    step([&] {
        if (m_values.scriptExtensions().isEmpty())
            throw RuntimeError(
                ErrNum::InvalidProcedureCall, QStringLiteral("Invalid property value: no script extension to select"));
    });
    step([&] { mRunBuild->setEnabled(false); });
    step([&] { readFilters(); });
    // As the list grows, "File" and "Location" share the extra width.
    step([&] {
        m_columns->setDesign({ twipsToPixels(2300), twipsToPixels(4300), twipsToPixels(500) }, { true, true, false });
    });
    load(Template);
    step([&] { LoadTemplate(m_values.templatePath()); });
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
    step([&] { UpdateStatusBar(0, m_values.templatePath()); });
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
    step([&] { m_values.addScanFolder(folder); });
    updateEmptyListHint();
}

void frmTovrane::AvsFolder(const QString &folder)
{
    ErrorTrap step(m_errorlog, objectName(), QStringLiteral("AvsFolder"));
    step([&] { m_values.setAvsFolder(folder); });
}

void frmTovrane::optMode_Click(int index)
{
    // The mode is in force even when it cannot be stored; the failure is
    // recorded rather than ending the program.
    ErrorTrap step(m_errorlog, objectName(), QStringLiteral("optMode_Click"));
    step([&] { m_values.setMode(qint16(index)); });
    refreshPreview();
}

void frmTovrane::showSetting(Settings::Key key)
{
    if (key == Settings::Key::Mode)
        showOption(optMode, m_values.mode());
    else if (key == Settings::Key::Show) {
        const QSignalBlocker quiet(chkCheckedonly);
        chkCheckedonly->setChecked(m_values.show() != 0);
    }
}

void frmTovrane::UpdateStatusBar(qint64 count, const QString &templatePath)
{
    if (!panels[0])
        return;
    panels[0]->setMinimumWidth(twipsToPixels(240));
    panels[0]->setFrameShape(QFrame::NoFrame);
    panels[1]->setText(QString::number(count) + QStringLiteral(" files found"));
    if (!templatePath.isEmpty()) {
        // Either separator on Windows: a stored path may have been typed with "/".
        panels[2]->setText(QFileInfo(templatePath).fileName());
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
        = readWindowPlacement(m_values.iniPath(), screenSize, size(), int(m_columns->userWidths().size()));
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
    step([&] { writeWindowPlacement(m_values.iniPath(), m_placementAtLoad, currentPlacement()); });
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
