#pragma once

#include "CErrorlog.h"
#include "ProgramInfo.h"
#include "ScriptBuild.h"
#include "Settings.h"
#include "TextEncoding.h"

#include "WindowPlacement.h"

#include <QMainWindow>
#include <QPointer>
#include <QStringList>

#include <array>
#include <functional>
#include <memory>

namespace scan {
class ClipListModel;
}
namespace editor {
class Completion;
class TemplateEditor;
}
namespace platform {
class Dialogs;
}
class QAction;
class QKeyEvent;
class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;
class QRadioButton;
class QStatusBar;
class QTreeView;
namespace errorlog {
class ErrorTrap;
}
namespace ui {
class GrowingHeader;
class GrowingLayout;
}
class frmPreview;
class frmSettings;

// The program's one working window: clip list, build mode, template editor,
// commands and status bar. It owns the settings window and the error log for
// the whole run. Handlers are thin: they gather what the controls hold, call
// the plain logic and show the result.
class frmTovrane : public QMainWindow
{
    Q_OBJECT

public:
    struct UpdateCheck
    {
        QString baseAddress; // the folder on the maker's site holding version.txt
        QString page; // opened when the user wants the update
    };

    frmTovrane(const appcore::ProgramInfo &info, platform::Dialogs &dialogs, UpdateCheck updateCheck,
        QWidget *parent = nullptr);
    ~frmTovrane() override;

    // Loads the window (once) and shows it; runs the whole start-up.
    void Form_Load();
    bool isLoaded() const { return m_loaded; }

    // Public procedures other windows use.
    void AddFolder(const QString &folder);
    void AvsFolder(const QString &folder);
    // Folders dropped from a file manager: each one not yet a scan folder is
    // added as AddFolder adds it, and the status bar says what happened.
    void addDroppedFolders(const QStringList &folders);

    const errorlog::CErrorlog &errorLog() const { return m_errorlog; }
    // The settings both windows show; the settings window changes most of them.
    appcore::Settings &settings() { return m_values; }
    frmSettings *settingsWindow() const { return m_settings; }
    scan::ClipListModel *clipModel() const { return m_clips; }
    bool enlarged() const { return bEnlarged; }
    // The upper-cased filter names of Filters.txt, in file order.
    const QStringList &filterNames() const { return FilterNames; }

    // The status bar: count text and the template's file name.
    void UpdateStatusBar(qint64 count, const QString &templatePath);
    void LoadTemplate(const QString &sFile);
    void SaveTemplate(const QString &sFile);
    void ApplyColorScheme();
    // The editor's key-down, before the editor acts on the key; true swallows it.
    bool txtScript_KeyDown(const QKeyEvent &key);
    // After the editor acted on a key txtScript_KeyDown left to it.
    void txtScript_KeyDone(const QKeyEvent &key);

public slots:
    void cmdExit_Click();
    void cmdSettings_Click();
    void cmdAbout_Click();
    void optMode_Click(int index);
    void mFileLoad_Click();
    void mFileSave_Click();
    void mFileSettings_Click();
    void mFileClose_Click();
    void mRunScan_Click();
    void mRunBuild_Click();
    void mAbout_Click();

    void cmdScan_Click();
    void cmdSelect_Click(int index);
    void chkCheckedonly_Click();
    void cmdRemove_Click();

    void cmdBuild_Click();
    void cmdLoad_Click();
    void cmdSave_Click();

    void cmdColour_Click();
    void cmdEnlarge_Click();
    void txtScript_Change();

    void mListCheck_Click();
    void mListUncheck_Click();
    void mListPreview_Click();
    void mListOpenFolder_Click();
    void mListOpenScript_Click();
    void refreshPreview();
    void updateEmptyListHint();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Controls.
    QPushButton *cmdScan = nullptr;
    std::array<QPushButton *, 2> cmdSelect {};
    QCheckBox *chkCheckedonly = nullptr;
    QTreeView *lvwMovies = nullptr;
    QPushButton *cmdRemove = nullptr;
    std::array<QRadioButton *, 2> optMode {};
    QPushButton *cmdBuild = nullptr;
    editor::TemplateEditor *txtScript = nullptr;
    QListWidget *lstIntelli = nullptr;
    QPushButton *cmdLoad = nullptr;
    QPushButton *cmdSave = nullptr;
    QPushButton *cmdEnlarge = nullptr;
    QPushButton *cmdColour = nullptr;
    QPushButton *cmdSettings = nullptr;
    QPushButton *cmdAbout = nullptr;
    QPushButton *cmdExit = nullptr;
    QStatusBar *StatusBar1 = nullptr;
    std::array<QLabel *, 3> panels {};
    QLabel *Image1 = nullptr;
    QLabel *lblEmptyList = nullptr; // how to start, over the empty list

    QAction *mFileLoad = nullptr;
    QAction *mFileSave = nullptr;
    QAction *mFileSettings = nullptr;
    QAction *mFileClose = nullptr;
    QAction *mRunScan = nullptr;
    QAction *mRunBuild = nullptr;
    QAction *mAbout = nullptr;
    // The clip list's context menu.
    QAction *mListCheck = nullptr;
    QAction *mListUncheck = nullptr;
    QAction *mListPreview = nullptr;
    QAction *mListOpenFolder = nullptr;
    QAction *mListOpenScript = nullptr;

    void buildWindow();
    void placeEditor();
    void buildClipActions();
    void updateClipActions();
    bool clipListEvent(QObject *watched, QEvent *event);
    // Drops on the editor: a template is loaded, anything else refused.
    bool editorDropEvent(QObject *watched, QEvent *event);
    QList<int> selectedRows() const;
    int currentRow() const;
    // Runs `work` on the current row (if any), a failure logged under `procedure`.
    void onCurrentRow(const QString &procedure, const std::function<void(const scan::ClipRow &)> &work);
    // What the preview shows for `row`; "Open script" opens that file.
    scriptgen::ScriptPreview currentPreview(const scan::ClipRow &row) const;
    // Hands `path` to the desktop; where nothing opens it, says so and
    // throws, for the caller's trap to log.
    void openOnDesktop(const QString &path);
    // The window's size and the widths the user gave the columns, as stored
    // between runs.
    appcore::WindowPlacement currentPlacement() const;
    void restorePlacement();
    void storePlacement();
    // Space in the list: the selected rows take the opposite of the current
    // row's check.
    void toggleSelectedRows();
    void followTheLayout();
    void buildMenus();
    void Form_Unload();
    void readFilters();
    void Mode_1();
    void Mode_0();
    QString templateFolder() const;
    // Load's work once a name is chosen (by the dialog or a drop).
    void loadTemplateFile(const QString &name, const errorlog::ErrorTrap &step);
    QString editorText() const;
    scriptgen::BuildOptions buildOptions() const;
    void setBuildCommandsEnabled(bool enabled);

    // Shows the value `key` now holds in this window's controls.
    void showSetting(appcore::Settings::Key key);

    appcore::ProgramInfo m_info;
    platform::Dialogs &m_dialogs;
    UpdateCheck m_updateCheck;
    errorlog::CErrorlog m_errorlog;
    frmSettings *m_settings = nullptr;
    scan::ClipListModel *m_clips = nullptr;
    std::unique_ptr<editor::Completion> m_completion;

    // How the loaded template's file was encoded; Save writes it back so.
    platform::TextFormat m_templateFormat;
    appcore::Settings m_values;
    // The upper-cased filter names of Filters.txt, in file order.
    QStringList FilterNames;
    // True while the program itself changes the editor's text or colours.
    bool bUpdating = false;
    bool bEnlarged = false;
    int m_editorHeight = 3615; // twips, in the editor's normal place
    ui::GrowingLayout *m_layout = nullptr;
    ui::GrowingHeader *m_columns = nullptr;
    appcore::WindowPlacement m_placementAtLoad;
    QPointer<frmPreview> m_preview;
    bool m_scanned = false;
    bool m_loaded = false;
    bool m_loading = false;
};
