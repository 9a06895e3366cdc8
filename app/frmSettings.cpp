#include "frmSettings.h"

#include "Dialog.h"
#include "Drops.h"
#include "ErrorTrap.h"
#include "OptionButtons.h"
#include "TitledGroupBox.h"
#include "frmTovrane.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDropEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QStyle>
#include <QVBoxLayout>

using errorlog::ErrorTrap;

using appcore::Settings;

using ui::connectOption;
using ui::droppedFolders;
using ui::showOption;
using ui::titledGroupBox;

frmSettings::frmSettings(frmTovrane &main, Settings &settings)
    : QDialog(&main)
    , m_main(main)
    , m_values(settings)
{
    setObjectName(QStringLiteral("frmSettings"));
    setWindowTitle(QStringLiteral("Settings"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setModal(true);

    auto *fraSettings = titledGroupBox(QStringLiteral("Settings"), this);
    fraSettings->setObjectName(QStringLiteral("fraSettings"));

    auto *splashFrame = titledGroupBox(QStringLiteral("Splash screen"), fraSettings);
    chkSplash = new QCheckBox(QStringLiteral("Don't show at startup"), splashFrame);
    chkSplash->setObjectName(QStringLiteral("chkSplash"));
    // Toggled, not clicked: every way of changing a choice (a screen
    // reader's "Toggle" too) stores it; the load fills them signals blocked.
    connect(chkSplash, &QCheckBox::toggled, this, &frmSettings::chkSplash_Click);
    (new QVBoxLayout(splashFrame))->addWidget(chkSplash);

    auto *overwriteFrame = titledGroupBox(QStringLiteral("Overwrite files"), fraSettings);
    auto *overwriteLayout = new QVBoxLayout(overwriteFrame);
    const QString overwriteCaptions[] = { QStringLiteral("Always"), QStringLiteral("Ask") };
    for (int i = 0; i < 2; ++i) {
        optOverwrite[i] = new QRadioButton(overwriteCaptions[i], overwriteFrame);
        optOverwrite[i]->setObjectName(QStringLiteral("optOverwrite_%1").arg(i));
        connectOption(optOverwrite[i], this, [this, i] { optOverwrite_Click(i); });
        overwriteLayout->addWidget(optOverwrite[i]);
    }

    auto *buildFrame = titledGroupBox(QStringLiteral("Build scripts in"), fraSettings);
    auto *buildLayout = new QGridLayout(buildFrame);
    const QString buildCaptions[] = { QStringLiteral("Clip folder"), QStringLiteral("Specific script folder") };
    for (int i = 0; i < 2; ++i) {
        optBuildScripts[i] = new QRadioButton(buildCaptions[i], buildFrame);
        optBuildScripts[i]->setObjectName(QStringLiteral("optBuildScripts_%1").arg(i));
        connectOption(optBuildScripts[i], this, [this, i] { optBuildScripts_Click(i); });
        buildLayout->addWidget(optBuildScripts[i], i, 0, 1, 2);
    }
    cmdOpen[1] = new QPushButton(buildFrame);
    cmdOpen[1]->setObjectName(QStringLiteral("cmdOpen_1"));
    cmdOpen[1]->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    cmdOpen[1]->setToolTip(QStringLiteral("Set the specific .avs folder"));
    cmdOpen[1]->setAccessibleName(QStringLiteral("Set the specific .avs folder"));
    connect(cmdOpen[1], &QPushButton::clicked, this, [this] { cmdOpen_Click(1); });
    lblFolder[1] = new QLabel(buildFrame);
    lblFolder[1]->setObjectName(QStringLiteral("lblFolder_1"));
    lblFolder[1]->setFrameShape(QFrame::StyledPanel);
    lblFolder[1]->setMinimumWidth(fontMetrics().averageCharWidth() * 40);
    lblFolder[1]->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Label3 = new QLabel(
        QStringLiteral("Specific script folder will be used as the designated folder when using the All for one mode"),
        buildFrame);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setWordWrap(true);
    buildLayout->addWidget(cmdOpen[1], 2, 0);
    buildLayout->addWidget(lblFolder[1], 2, 1);
    buildLayout->addWidget(Label3, 3, 0, 1, 2);
    buildLayout->setColumnStretch(1, 1);

    auto *extFrame = titledGroupBox(QStringLiteral("Script extension"), fraSettings);
    cboExt = new QComboBox(extFrame);
    cboExt->setObjectName(QStringLiteral("cboExt"));
    cboExt->setToolTip(QStringLiteral("Choose used script extension (.avs for AviSynth Scripts)"));
    connect(cboExt, &QComboBox::currentIndexChanged, this, [this](int index) { m_values.chooseExtension(index); });
    (new QVBoxLayout(extFrame))->addWidget(cboExt);

    auto *scanFrame = titledGroupBox(QStringLiteral("Scan folders"), fraSettings);
    cmdOpen[0] = new QPushButton(QStringLiteral("Add"), scanFrame);
    cmdOpen[0]->setObjectName(QStringLiteral("cmdOpen_0"));
    cmdOpen[0]->setToolTip(QStringLiteral("Add a folder for scanning"));
    connect(cmdOpen[0], &QPushButton::clicked, this, [this] { cmdOpen_Click(0); });
    lstScanFolders = new QListWidget(scanFrame);
    lstScanFolders->setObjectName(QStringLiteral("lstScanFolders"));
    // A folder is picked for removal by selecting it (a click, or an arrow
    // key); focus alone, which marks a current item without selecting it,
    // picks none.
    connect(lstScanFolders, &QListWidget::itemSelectionChanged, this, [this] {
        if (lstScanFolders->selectedItems().isEmpty())
            cmdRemove->setEnabled(false);
        else
            lstScanFolders_Click();
    });
    // Folders dropped from a file manager are added as "Add" adds them.
    lstScanFolders->setAcceptDrops(true);
    lstScanFolders->viewport()->installEventFilter(this);
    cmdRemove = new QPushButton(QStringLiteral("Remove"), scanFrame);
    cmdRemove->setObjectName(QStringLiteral("cmdRemove"));
    cmdRemove->setEnabled(false);
    connect(cmdRemove, &QPushButton::clicked, this, &frmSettings::cmdRemove_Click);
    auto *scanLayout = new QGridLayout(scanFrame);
    scanLayout->addWidget(lstScanFolders, 0, 0, 3, 1);
    scanLayout->addWidget(cmdOpen[0], 0, 1);
    scanLayout->addWidget(cmdRemove, 1, 1);
    scanLayout->setRowStretch(2, 1);

    auto *grid = new QGridLayout(fraSettings);
    grid->addWidget(splashFrame, 0, 0);
    grid->addWidget(overwriteFrame, 1, 0);
    grid->addWidget(extFrame, 2, 0);
    grid->addWidget(buildFrame, 0, 1, 3, 1);
    grid->addWidget(scanFrame, 3, 0, 1, 2);
    grid->setRowStretch(3, 1);
    grid->setColumnStretch(1, 1);

    cmdClose = new QPushButton(QStringLiteral("&Close"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    connect(cmdClose, &QPushButton::clicked, this, &frmSettings::cmdClose_Click);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdClose);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(fraSettings);
    layout->addLayout(buttons);
    resize(sizeHint().width(), sizeHint().height() + fontMetrics().height() * 4);

    for (const Settings::Key key : { Settings::Key::MainFolder, Settings::Key::AvsFolder, Settings::Key::Overwrite,
             Settings::Key::BuildScriptsIn, Settings::Key::ScriptExtensions, Settings::Key::Splash })
        showSetting(key);
    connect(&m_values, &Settings::changed, this, &frmSettings::showSetting);
}

void frmSettings::showSetting(Settings::Key key)
{
    switch (key) {
    case Settings::Key::MainFolder: showScanFolders(); break;
    case Settings::Key::AvsFolder: lblFolder[1]->setText(m_values.avsFolder()); break;
    case Settings::Key::Overwrite: showOption(optOverwrite, m_values.overwrite()); break;
    case Settings::Key::BuildScriptsIn:
        showOption(optBuildScripts, m_values.buildScriptsIn());
        setScriptFolderControlsEnabled(m_values.buildScriptsIn() != 0);
        break;
    case Settings::Key::ScriptExtensions: {
        const QSignalBlocker quiet(cboExt);
        cboExt->clear();
        cboExt->addItems(m_values.scriptExtensions());
        cboExt->setCurrentIndex(m_values.chosenExtension());
        break;
    }
    case Settings::Key::Splash: {
        const QSignalBlocker quiet(chkSplash);
        chkSplash->setChecked(m_values.splashHidden());
        break;
    }
    default: break;
    }
}

void frmSettings::showScanFolders()
{
    // The folders listed before stay as they are (and so does the choice
    // among them); only what differs is listed again.
    const QStringList &folders = m_values.scanFolders();
    int same = 0;
    while (
        same < lstScanFolders->count() && same < folders.size() && lstScanFolders->item(same)->text() == folders[same])
        ++same;
    while (lstScanFolders->count() > same)
        delete lstScanFolders->takeItem(lstScanFolders->count() - 1);
    lstScanFolders->addItems(folders.mid(same));
}

void frmSettings::setScriptFolderControlsEnabled(bool enabled)
{
    cmdOpen[1]->setEnabled(enabled);
    lblFolder[1]->setEnabled(enabled);
}

void frmSettings::store(const QString &procedure, const std::function<void()> &change)
{
    // The choice stays in force for this run even when it cannot be stored;
    // the failure goes to the error log instead of ending the program.
    ErrorTrap step(m_main.errorLog(), objectName(), procedure);
    step(change);
}

void frmSettings::chkSplash_Click()
{
    store(QStringLiteral("chkSplash_Click"), [this] { m_values.setSplashHidden(chkSplash->isChecked()); });
}

void frmSettings::optOverwrite_Click(int index)
{
    store(QStringLiteral("optOverwrite_Click"), [this, index] { m_values.setOverwrite(qint16(index)); });
}

void frmSettings::optBuildScripts_Click(int index)
{
    store(QStringLiteral("optBuildScripts_Click"), [this, index] { m_values.setBuildScriptsIn(qint16(index)); });
}

void frmSettings::cmdOpen_Click(int index)
{
    Dialog chooser({ [this](const QString &folder) { m_main.AddFolder(folder); },
                       [this](const QString &folder) { m_main.AvsFolder(folder); } },
        this);
    chooser.setCaller(index);
    chooser.setLabelFolder(lblFolder[1]->text());
    chooser.exec();
}

void frmSettings::lstScanFolders_Click()
{
    if (lstScanFolders->count() > 0)
        cmdRemove->setEnabled(true);
}

void frmSettings::cmdRemove_Click()
{
    const QList<QListWidgetItem *> selected = lstScanFolders->selectedItems();
    if (selected.isEmpty())
        return;
    const int row = lstScanFolders->row(selected.constFirst());
    store(QStringLiteral("cmdRemove_Click"), [this, row] { m_values.removeScanFolder(row); });
    lstScanFolders->setCurrentRow(-1);
    cmdRemove->setEnabled(false);
}

void frmSettings::cmdClose_Click()
{
    hide();
}

bool frmSettings::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != lstScanFolders->viewport())
        return QDialog::eventFilter(watched, event);
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
        m_main.addDroppedFolders(droppedFolders(drop->mimeData()));
        drop->acceptProposedAction();
        return true;
    }
    default: return QDialog::eventFilter(watched, event);
    }
}

void frmSettings::closeEvent(QCloseEvent *event)
{
    // Closing only hides: the window is made once for the whole run.
    event->ignore();
    hide();
}
