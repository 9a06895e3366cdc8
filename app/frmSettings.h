#pragma once

#include "Settings.h"

#include <QDialog>

#include <array>
#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QRadioButton;
class frmTovrane;

// The settings window. Created once by the main window and only ever hidden:
// it shows the settings and changes them, the scan folders, the overwrite
// policy, the build folder choice and the script extension among them, and
// follows every change of them however it is made.
class frmSettings : public QDialog
{
    Q_OBJECT

public:
    frmSettings(frmTovrane &main, appcore::Settings &settings);

public slots:
    void chkSplash_Click();
    void optOverwrite_Click(int index);
    void optBuildScripts_Click(int index);
    void cmdOpen_Click(int index);
    void lstScanFolders_Click();
    void cmdRemove_Click();
    void cmdClose_Click();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Shows the value `key` now holds.
    void showSetting(appcore::Settings::Key key);
    void showScanFolders();
    // Enables the script-folder button and label exactly while "Specific
    // script folder" is chosen.
    void setScriptFolderControlsEnabled(bool enabled);
    // Runs a change of the settings; a failure to store it is logged under
    // `procedure`.
    void store(const QString &procedure, const std::function<void()> &change);

    frmTovrane &m_main;
    appcore::Settings &m_values;

    QCheckBox *chkSplash = nullptr;
    std::array<QRadioButton *, 2> optOverwrite {};
    std::array<QRadioButton *, 2> optBuildScripts {};
    std::array<QPushButton *, 2> cmdOpen {};
    std::array<QLabel *, 2> lblFolder {}; // only index 1 exists
    QLabel *Label3 = nullptr;
    QComboBox *cboExt = nullptr;
    QListWidget *lstScanFolders = nullptr;
    QPushButton *cmdRemove = nullptr;
    QPushButton *cmdClose = nullptr;
};
