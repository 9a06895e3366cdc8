#pragma once

#include <QDialog>

#include <array>

class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QRadioButton;
class frmTovrane;

// The settings window. Created once by the main window and only ever hidden:
// its controls hold the scan folders, the overwrite policy, the build folder
// choice and the script extension for as long as the program runs.
class frmSettings : public QDialog
{
    Q_OBJECT

public:
    explicit frmSettings(frmTovrane &main);

    // The live settings the scan, the builds and the removal read.
    QStringList scanFolders() const;
    int overwritePolicy() const; // 0 "Always", 1 "Ask"
    int buildScriptsIn() const; // 0 "Clip folder", 1 "Specific script folder"
    QString scriptExtension() const; // as the box shows it
    QString scriptFolderLabel() const;

    // Enables the script-folder button and label exactly while "Specific
    // script folder" is chosen.
    void setScriptFolderControlsEnabled(bool enabled);

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
    void store(const QString &key, const QString &value, const QString &procedure);

    frmTovrane &m_main;
};
