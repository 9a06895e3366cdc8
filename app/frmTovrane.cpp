#include "frmTovrane.h"

#include "Artwork.h"
#include "ClipListModel.h"
#include "Completion.h"
#include "OptionButtons.h"
#include "TitledGroupBox.h"
#include "Twips.h"
#include "frmSettings.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTextEdit>
#include <QTreeView>

namespace {

// Controls are laid out in twips, like the measures the editor and the
// completion list are given in.
template <typename W>
W *placed(W *widget, const QString &name, int left, int top, int width, int height)
{
    widget->setObjectName(name);
    widget->setGeometry(twipsRect(left, top, width, height));
    return widget;
}

QPushButton *button(QWidget *parent, const QString &name, const QString &caption, const QString &tip,
                    int left, int top, int width, int height = 375)
{
    auto *b = placed(new QPushButton(caption, parent), name, left, top, width, height);
    b->setToolTip(tip);
    b->setAutoDefault(false);
    return b;
}

QLabel *label(QWidget *parent, const QString &name, const QString &text, int left, int top, int width, int height = 255)
{
    return placed(new QLabel(text, parent), name, left, top, width, height);
}

} // namespace

frmTovrane::frmTovrane(const ProgramInfo &info, Dialogs &dialogs, UpdateCheck updateCheck, QWidget *parent)
    : QMainWindow(parent)
    , m_info(info)
    , m_dialogs(dialogs)
    , m_updateCheck(std::move(updateCheck))
    , m_errorlog(info.folder, info.exeName)
{
    setObjectName(QStringLiteral("frmTovrane"));
    setWindowIcon(QIcon(tovranePicture(64)));
    buildWindow();
    buildMenus();
}

frmTovrane::~frmTovrane() = default;

void frmTovrane::buildWindow()
{
    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);

    // "Found files": the clip list with its commands and the build mode.
    auto *found = placed(titledGroupBox(QStringLiteral("Found files"), client), QStringLiteral("fraFound"), 120, 60, 10200, 2760);
    lvwMovies = placed(new QTreeView(found), QStringLiteral("lvwMovies"), 120, 300, 7440, 1920);
    lvwMovies->setRootIsDecorated(false);
    lvwMovies->setUniformRowHeights(true);
    lvwMovies->setSortingEnabled(false);
    lvwMovies->setAllColumnsShowFocus(true);
    lvwMovies->setSelectionMode(QAbstractItemView::SingleSelection);
    lvwMovies->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_clips = new ClipListModel(this);
    lvwMovies->setModel(m_clips);
    cmdSelect[1] = button(found, QStringLiteral("cmdSelect_1"), QStringLiteral("Se&lect All"), QString(), 120, 2280, 1320);
    cmdSelect[0] = button(found, QStringLiteral("cmdSelect_0"), QStringLiteral("&Deselect All"), QString(), 1500, 2280, 1320);
    chkCheckedonly = placed(new QCheckBox(QStringLiteral("Only show if .avs does not exists"), found),
                            QStringLiteral("chkCheckedonly"), 2940, 2300, 4620, 330);
    cmdScan = button(found, QStringLiteral("cmdScan"), QStringLiteral("&Scan"), QStringLiteral("Scan your main folder for clips..."),
                     7680, 300, 2400);
    cmdBuild = button(found, QStringLiteral("cmdBuild"), QStringLiteral("&Build scripts"), QStringLiteral("Build your scripts!"),
                      7680, 720, 2400);
    cmdRemove = button(found, QStringLiteral("cmdRemove"), QStringLiteral("&Remove scripts"), QStringLiteral("Remove your scripts!"),
                       7680, 1140, 2400);
    auto *modeFrame = placed(titledGroupBox(QStringLiteral("Mode"), found), QStringLiteral("fraMode"), 7680, 1560, 2400, 1095);
    optMode[1] = placed(new QRadioButton(QStringLiteral("One for All (Default)"), modeFrame), QStringLiteral("optMode_1"), 120, 300, 2220, 300);
    optMode[1]->setToolTip(QStringLiteral("Creates one script using the template for each of the selected files, so outputs MULTIPLE scripts (NORMAL)"));
    optMode[0] = placed(new QRadioButton(QStringLiteral("All for one"), modeFrame), QStringLiteral("optMode_0"), 120, 660, 2220, 300);
    optMode[0]->setToolTip(QStringLiteral("Creates one script using the template and repeats this for each of the selected files, so outputs ONE script"));
    for (QPushButton *b : {cmdSelect[0], cmdSelect[1], cmdBuild, cmdRemove})
        b->setEnabled(false);

    // "Script template (.avt)": template files, the placeholder legend and
    // the editor's two buttons.
    auto *templ = placed(titledGroupBox(QStringLiteral("Script template (.avt)"), client), QStringLiteral("fraScript"), 120, 2880, 10200, 1680);
    auto *files = placed(titledGroupBox(QStringLiteral("Template"), templ), QStringLiteral("fraTemplate"), 120, 330, 1560, 1170);
    cmdLoad = button(files, QStringLiteral("cmdLoad"), QStringLiteral("Load"), QStringLiteral("Load your Tovrane Template script (.avt)"),
                     120, 330, 1320, 330);
    cmdSave = button(files, QStringLiteral("cmdSave"), QStringLiteral("Save "), QStringLiteral("Save your Tovrane Template script (.avt)"),
                     120, 720, 1320, 330);
    const struct { QString token, text, tip; } legend[] = {
        {QStringLiteral("%CLIP%"), QStringLiteral("Clip filename (no ext.)"), QStringLiteral("Replaced by Clip filename (no ext.)")},
        {QStringLiteral("%EXT%"), QStringLiteral("Clip extension"), QStringLiteral("Replaced by Clip extension")},
        {QStringLiteral("%PATH%"), QStringLiteral("Path (no filename)"), QString()},
    };
    for (int i = 0; i < 3; ++i) {
        QLabel *token = label(templ, QStringLiteral("lblToken_%1").arg(i), legend[i].token, 1920, 420 + i * 360, 1080);
        QFont bold = token->font();
        bold.setBold(true);
        token->setFont(bold);
        token->setStyleSheet(QStringLiteral("color: rgb(0, 0, 255);"));
        QLabel *text = label(templ, QStringLiteral("lblLegend_%1").arg(i), legend[i].text, 3060, 420 + i * 360, 3000);
        token->setToolTip(legend[i].tip);
        text->setToolTip(legend[i].tip);
    }
    cmdColour = button(templ, QStringLiteral("cmdColour"), QStringLiteral("Syntax"),
                       QStringLiteral("Renew the syntax colour scheme in the script window"), 7800 - 120, 3000 - 2880, 735);
    cmdEnlarge = button(templ, QStringLiteral("cmdEnlarge"), QStringLiteral("Enlarge"),
                        QStringLiteral("Toggle enlargement of the script window"), 7800 - 120, 3480 - 2880, 735);

    // The editor and its completion list stand outside the groups, so the
    // enlarged editor can cover them.
    txtScript = placed(new QTextEdit(client), QStringLiteral("txtScript"), 360, 4920, 7455, 3615);
    QFont courier(QStringLiteral("Courier New"), 9);
    courier.setStyleHint(QFont::TypeWriter);
    txtScript->setFont(courier);
    txtScript->setAcceptRichText(false);
    txtScript->setLineWrapMode(QTextEdit::NoWrap);
    txtScript->setTabChangesFocus(false);
    txtScript->installEventFilter(this);
    lstIntelli = placed(new QListWidget(client), QStringLiteral("lstIntelli"), 4800, 4920, 3015, 1200);
    QPalette listPalette = lstIntelli->palette();
    listPalette.setColor(QPalette::Base, QColor(255, 255, 192));
    lstIntelli->setPalette(listPalette);
    lstIntelli->setFocusPolicy(Qt::NoFocus);
    lstIntelli->setSelectionMode(QAbstractItemView::SingleSelection);
    lstIntelli->hide();
    m_completion = std::make_unique<Completion>(txtScript, lstIntelli);

    cmdSettings = button(client, QStringLiteral("cmdSettings"), QStringLiteral("&Settings"), QString(), 8520, 4920, 1560);
    cmdAbout = button(client, QStringLiteral("cmdAbout"), QStringLiteral("&About"), QString(), 8520, 5340, 1560);
    cmdExit = button(client, QStringLiteral("cmdExit"), QStringLiteral("E&xit"), QString(), 8520, 5760, 1560);
    Image1 = placed(new QLabel(client), QStringLiteral("Image1"), 8760, 7215, 1320, 1320);
    Image1->setPixmap(tovranePicture(twipsToPixels(1320)));

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    setStatusBar(StatusBar1);

    client->setFixedSize(twipsToPixels(10440), twipsToPixels(8655));
    // A fixed-size window that still grows when the status bar gets its panels.
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    connect(cmdScan, &QPushButton::clicked, this, &frmTovrane::cmdScan_Click);
    connect(cmdSelect[0], &QPushButton::clicked, this, [this] { cmdSelect_Click(0); });
    connect(cmdSelect[1], &QPushButton::clicked, this, [this] { cmdSelect_Click(1); });
    // Toggled, not clicked: a screen reader's "Toggle" changes the control
    // without a click, and must run the handler all the same. The load
    // handler fills these controls with their signals blocked.
    connect(chkCheckedonly, &QCheckBox::toggled, this, &frmTovrane::chkCheckedonly_Click);
    connect(cmdRemove, &QPushButton::clicked, this, &frmTovrane::cmdRemove_Click);
    for (int i = 0; i < 2; ++i)
        connectOption(optMode[std::size_t(i)], this, [this, i] { optMode_Click(i); });
    connect(cmdBuild, &QPushButton::clicked, this, &frmTovrane::cmdBuild_Click);
    connect(cmdLoad, &QPushButton::clicked, this, &frmTovrane::cmdLoad_Click);
    connect(cmdSave, &QPushButton::clicked, this, &frmTovrane::cmdSave_Click);
    connect(cmdEnlarge, &QPushButton::clicked, this, &frmTovrane::cmdEnlarge_Click);
    connect(cmdColour, &QPushButton::clicked, this, &frmTovrane::cmdColour_Click);
    connect(cmdSettings, &QPushButton::clicked, this, &frmTovrane::cmdSettings_Click);
    connect(cmdAbout, &QPushButton::clicked, this, &frmTovrane::cmdAbout_Click);
    connect(cmdExit, &QPushButton::clicked, this, &frmTovrane::cmdExit_Click);
    connect(txtScript, &QTextEdit::textChanged, this, &frmTovrane::txtScript_Change);
}

void frmTovrane::buildMenus()
{
    auto action = [this](QMenu *menu, const QString &name, const QString &caption, void (frmTovrane::*slot)()) {
        QAction *a = menu->addAction(caption);
        a->setObjectName(name);
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("mFile"));
    mFileLoad = action(file, QStringLiteral("mFileLoad"), QStringLiteral("&Load Template"), &frmTovrane::mFileLoad_Click);
    mFileSave = action(file, QStringLiteral("mFileSave"), QStringLiteral("&Save template"), &frmTovrane::mFileSave_Click);
    file->addSeparator()->setObjectName(QStringLiteral("mSep2"));
    mFileSettings = action(file, QStringLiteral("mFileSettings"), QStringLiteral("Se&ttings"), &frmTovrane::mFileSettings_Click);
    file->addSeparator()->setObjectName(QStringLiteral("mSep1"));
    mFileClose = action(file, QStringLiteral("mFileClose"), QStringLiteral("E&xit"), &frmTovrane::mFileClose_Click);

    QMenu *run = menuBar()->addMenu(QStringLiteral("&Run"));
    run->setObjectName(QStringLiteral("mRun"));
    mRunScan = action(run, QStringLiteral("mRunScan"), QStringLiteral("&Scan folders"), &frmTovrane::mRunScan_Click);
    mRunBuild = action(run, QStringLiteral("mRunBuild"), QStringLiteral("&Build scripts"), &frmTovrane::mRunBuild_Click);

    // "&About" is a top-level entry that acts at once.
    mAbout = menuBar()->addAction(QStringLiteral("&About"));
    mAbout->setObjectName(QStringLiteral("mAbout"));
    connect(mAbout, &QAction::triggered, this, &frmTovrane::mAbout_Click);
}

void frmTovrane::setBuildCommandsEnabled(bool enabled)
{
    for (QWidget *w : {static_cast<QWidget *>(cmdBuild), static_cast<QWidget *>(cmdRemove),
                       static_cast<QWidget *>(cmdSelect[0]), static_cast<QWidget *>(cmdSelect[1])})
        w->setEnabled(enabled);
    mRunBuild->setEnabled(enabled);
}

void frmTovrane::closeEvent(QCloseEvent *event)
{
    Form_Unload();
    QMainWindow::closeEvent(event);
}

bool frmTovrane::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == txtScript) {
        if (event->type() == QEvent::KeyPress) {
            const auto *key = static_cast<QKeyEvent *>(event);
            const int code = keyDownCode(*key);
            if (code != 0 && txtScript_KeyDown(code, shiftMask(key->modifiers())))
                return true;
        } else if (event->type() == QEvent::FocusOut) {
            m_completion->reset();
        }
    }
    return QMainWindow::eventFilter(watched, event);
}
