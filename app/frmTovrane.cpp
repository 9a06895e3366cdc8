#include "frmTovrane.h"

#include "Artwork.h"
#include "ClipListModel.h"
#include "ColorPainter.h"
#include "Completion.h"
#include "GrowingHeader.h"
#include "GrowingLayout.h"
#include "OptionButtons.h"
#include "TemplateEditor.h"
#include "TitledGroupBox.h"
#include "Twips.h"
#include "frmSettings.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTreeView>

using platform::Dialogs;

using scan::ClipListModel;

using appcore::ProgramInfo;
using appcore::Settings;

using editor::Completion;
using editor::TemplateEditor;
using editor::templateFont;

using ui::connectOption;
using ui::GrowingHeader;
using ui::GrowingLayout;
using ui::titledGroupBox;
using ui::tovranePicture;
using ui::twipsRect;
using ui::twipsToPixels;

namespace {

using Follow = GrowingLayout::Follow;

// What grows with the window: the clip list takes the extra width and the
// upper part of the extra height (two thirds), the editor the extra width and
// the lower part; the buttons on the right keep their distance to the right
// edge.
constexpr Follow Stays {};
constexpr Follow Right { .x = 1 };
constexpr Follow Down { .yUpper = 1 };
constexpr Follow RightDown { .x = 1, .yUpper = 1 };
constexpr Follow WiderDown { .width = 1, .yUpper = 1 };
constexpr Follow UpperHalf { .width = 1, .heightUpper = 1 };
constexpr Follow Corner { .x = 1, .yUpper = 1, .yLower = 1 };
// The editor, in its normal and its enlarged place.
constexpr Follow LowerHalf { .width = 1, .yUpper = 1, .heightLower = 1 };
constexpr Follow BothHalves { .width = 1, .heightUpper = 1, .heightLower = 1 };

// Controls are laid out in twips, like the measures the editor and the
// completion list are given in.
template <typename W>
W *placed(GrowingLayout *layout, W *widget, const QString &name, int left, int top, int width, int height,
    Follow follow = Stays)
{
    widget->setObjectName(name);
    layout->place(widget, twipsRect(left, top, width, height), follow);
    return widget;
}

QPushButton *button(GrowingLayout *layout, QWidget *parent, const QString &name, const QString &caption,
    const QString &tip, int left, int top, int width, int height = 375, Follow follow = Stays)
{
    auto *b = placed(layout, new QPushButton(caption, parent), name, left, top, width, height, follow);
    b->setToolTip(tip);
    b->setAutoDefault(false);
    return b;
}

QLabel *label(GrowingLayout *layout, QWidget *parent, const QString &name, const QString &text, int left, int top,
    int width, int height = 255)
{
    return placed(layout, new QLabel(text, parent), name, left, top, width, height);
}

} // namespace

frmTovrane::frmTovrane(const ProgramInfo &info, Dialogs &dialogs, UpdateCheck updateCheck, QWidget *parent)
    : QMainWindow(parent)
    , m_info(info)
    , m_dialogs(dialogs)
    , m_updateCheck(std::move(updateCheck))
    , m_errorlog(info.files.logFolder, info.exeName)
    , m_values(info.settingsPath())
{
    setObjectName(QStringLiteral("frmTovrane"));
    setWindowIcon(QIcon(tovranePicture(64)));
    buildWindow();
    buildMenus();
    showSetting(Settings::Key::Mode);
    showSetting(Settings::Key::Show);
    connect(&m_values, &Settings::changed, this, &frmTovrane::showSetting);
}

frmTovrane::~frmTovrane() = default;

void frmTovrane::buildWindow()
{
    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);
    // The design size is also the smallest the window may be.
    auto *L = m_layout = new GrowingLayout(client, QSize(twipsToPixels(10440), twipsToPixels(8655)));

    // "Found files": the clip list with its commands and the build mode.
    auto *found = placed(L, titledGroupBox(QStringLiteral("Found files"), client), QStringLiteral("fraFound"), 120, 60,
        10200, 2760, UpperHalf);
    lvwMovies = placed(L, new QTreeView(found), QStringLiteral("lvwMovies"), 120, 300, 7440, 1920, UpperHalf);
    m_columns = new GrowingHeader(lvwMovies);
    lvwMovies->setHeader(m_columns);
    lvwMovies->setRootIsDecorated(false);
    lvwMovies->setUniformRowHeights(true);
    lvwMovies->setSortingEnabled(false);
    lvwMovies->setAllColumnsShowFocus(true);
    lvwMovies->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lvwMovies->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvwMovies->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_clips = new ClipListModel(this);
    lvwMovies->setModel(m_clips);
    cmdSelect[1] = button(
        L, found, QStringLiteral("cmdSelect_1"), QStringLiteral("Se&lect All"), QString(), 120, 2280, 1320, 375, Down);
    cmdSelect[0] = button(L, found, QStringLiteral("cmdSelect_0"), QStringLiteral("&Deselect All"), QString(), 1500,
        2280, 1320, 375, Down);
    chkCheckedonly = placed(L, new QCheckBox(QStringLiteral("Only show if .avs does not exists"), found),
        QStringLiteral("chkCheckedonly"), 2940, 2300, 4620, 330, Down);
    cmdScan = button(L, found, QStringLiteral("cmdScan"), QStringLiteral("&Scan"),
        QStringLiteral("Scan your main folder for clips..."), 7680, 300, 2400, 375, Right);
    cmdBuild = button(L, found, QStringLiteral("cmdBuild"), QStringLiteral("&Build scripts"),
        QStringLiteral("Build your scripts!"), 7680, 720, 2400, 375, Right);
    cmdRemove = button(L, found, QStringLiteral("cmdRemove"), QStringLiteral("&Remove scripts"),
        QStringLiteral("Remove your scripts!"), 7680, 1140, 2400, 375, Right);
    auto *modeFrame = placed(
        L, titledGroupBox(QStringLiteral("Mode"), found), QStringLiteral("fraMode"), 7680, 1560, 2400, 1095, Right);
    optMode[1] = placed(L, new QRadioButton(QStringLiteral("One for All (Default)"), modeFrame),
        QStringLiteral("optMode_1"), 120, 300, 2220, 300);
    optMode[1]->setToolTip(QStringLiteral(
        "Creates one script using the template for each of the selected files, so outputs MULTIPLE scripts (NORMAL)"));
    optMode[0] = placed(L, new QRadioButton(QStringLiteral("All for one"), modeFrame), QStringLiteral("optMode_0"), 120,
        660, 2220, 300);
    optMode[0]->setToolTip(QStringLiteral("Creates one script using the template and repeats this for each of the "
                                          "selected files, so outputs ONE script"));
    for (QPushButton *b : { cmdSelect[0], cmdSelect[1], cmdBuild, cmdRemove })
        b->setEnabled(false);

    // "Script template (.avt)": template files, the placeholder legend and
    // the editor's two buttons.
    auto *templ = placed(L, titledGroupBox(QStringLiteral("Script template (.avt)"), client),
        QStringLiteral("fraScript"), 120, 2880, 10200, 1680, WiderDown);
    auto *files = placed(
        L, titledGroupBox(QStringLiteral("Template"), templ), QStringLiteral("fraTemplate"), 120, 330, 1560, 1170);
    cmdLoad = button(L, files, QStringLiteral("cmdLoad"), QStringLiteral("Load"),
        QStringLiteral("Load your Tovrane Template script (.avt)"), 120, 330, 1320, 330);
    cmdSave = button(L, files, QStringLiteral("cmdSave"), QStringLiteral("Save "),
        QStringLiteral("Save your Tovrane Template script (.avt)"), 120, 720, 1320, 330);
    const struct
    {
        QString token, text, tip;
    } legend[] = {
        { QStringLiteral("%CLIP%"), QStringLiteral("Clip filename (no ext.)"),
            QStringLiteral("Replaced by Clip filename (no ext.)") },
        { QStringLiteral("%EXT%"), QStringLiteral("Clip extension"), QStringLiteral("Replaced by Clip extension") },
        { QStringLiteral("%PATH%"), QStringLiteral("Path (no filename)"), QString() },
    };
    for (int i = 0; i < 3; ++i) {
        QLabel *token
            = label(L, templ, QStringLiteral("lblToken_%1").arg(i), legend[i].token, 1920, 420 + i * 360, 1080);
        QFont bold = token->font();
        bold.setBold(true);
        token->setFont(bold);
        token->setStyleSheet(QStringLiteral("color: rgb(0, 0, 255);"));
        QLabel *text
            = label(L, templ, QStringLiteral("lblLegend_%1").arg(i), legend[i].text, 3060, 420 + i * 360, 3000);
        token->setToolTip(legend[i].tip);
        text->setToolTip(legend[i].tip);
    }
    cmdColour = button(L, templ, QStringLiteral("cmdColour"), QStringLiteral("Syntax"),
        QStringLiteral("Renew the syntax colour scheme in the script window"), 7800 - 120, 3000 - 2880, 735, 375,
        Right);
    cmdEnlarge = button(L, templ, QStringLiteral("cmdEnlarge"), QStringLiteral("Enlarge"),
        QStringLiteral("Toggle enlargement of the script window"), 7800 - 120, 3480 - 2880, 735, 375, Right);

    // The editor and its completion list stand outside the groups, so the
    // enlarged editor can cover them.
    txtScript = new TemplateEditor(client);
    txtScript->setObjectName(QStringLiteral("txtScript"));
    txtScript->setAccessibleName(QStringLiteral("Script template"));
    placeEditor();
    txtScript->setFont(templateFont());
    txtScript->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtScript->setTabChangesFocus(false);
    txtScript->viewport()->installEventFilter(this); // drops
    lstIntelli = placed(L, new QListWidget(client), QStringLiteral("lstIntelli"), 4800, 4920, 3015, 1200, Right);
    lstIntelli->setAccessibleName(QStringLiteral("Filter names"));
    QPalette listPalette = lstIntelli->palette();
    listPalette.setColor(QPalette::Base, QColor(255, 255, 192));
    lstIntelli->setPalette(listPalette);
    lstIntelli->setFocusPolicy(Qt::NoFocus);
    lstIntelli->setSelectionMode(QAbstractItemView::SingleSelection);
    lstIntelli->hide();
    m_completion = std::make_unique<Completion>(txtScript, lstIntelli);
    txtScript->keyDown = [this](const QKeyEvent &key) { return txtScript_KeyDown(key); };
    txtScript->keyDone = [this](const QKeyEvent &key) { txtScript_KeyDone(key); };

    cmdSettings = button(L, client, QStringLiteral("cmdSettings"), QStringLiteral("&Settings"), QString(), 8520, 4920,
        1560, 375, RightDown);
    cmdAbout = button(
        L, client, QStringLiteral("cmdAbout"), QStringLiteral("&About"), QString(), 8520, 5340, 1560, 375, RightDown);
    cmdExit = button(
        L, client, QStringLiteral("cmdExit"), QStringLiteral("E&xit"), QString(), 8520, 5760, 1560, 375, RightDown);
    Image1 = placed(L, new QLabel(client), QStringLiteral("Image1"), 8760, 7215, 1320, 1320, Corner);
    Image1->setPixmap(tovranePicture(twipsToPixels(1320)));

    buildClipActions();
    L->setAfterLayout([this] { followTheLayout(); });
    L->apply();

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    setStatusBar(StatusBar1);

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
    connect(txtScript, &QPlainTextEdit::textChanged, this, &frmTovrane::txtScript_Change);
}

void frmTovrane::placeEditor()
{
    // Enlarged, the editor reaches up over the groups and takes both halves'
    // extra height; otherwise it keeps below them.
    if (bEnlarged)
        m_layout->place(txtScript, twipsRect(360, 1100, 7455, 7200), BothHalves);
    else
        m_layout->place(txtScript, twipsRect(360, 4920, 7455, m_editorHeight), LowerHalf);
}

void frmTovrane::followTheLayout()
{
    // The completion list lies over the editor's top-right corner.
    if (lstIntelli && txtScript)
        lstIntelli->move(lstIntelli->x(), txtScript->y());
    if (m_columns)
        m_columns->setExtraWidth(m_layout->extraWidth());
    // The hint over the empty list covers the list.
    if (lblEmptyList)
        lblEmptyList->setGeometry(lvwMovies->geometry());
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
    mFileLoad
        = action(file, QStringLiteral("mFileLoad"), QStringLiteral("&Load Template"), &frmTovrane::mFileLoad_Click);
    mFileSave
        = action(file, QStringLiteral("mFileSave"), QStringLiteral("&Save template"), &frmTovrane::mFileSave_Click);
    file->addSeparator()->setObjectName(QStringLiteral("mSep2"));
    mFileSettings
        = action(file, QStringLiteral("mFileSettings"), QStringLiteral("Se&ttings"), &frmTovrane::mFileSettings_Click);
    file->addSeparator()->setObjectName(QStringLiteral("mSep1"));
    mFileClose = action(file, QStringLiteral("mFileClose"), QStringLiteral("E&xit"), &frmTovrane::mFileClose_Click);

    QMenu *run = menuBar()->addMenu(QStringLiteral("&Run"));
    run->setObjectName(QStringLiteral("mRun"));
    mRunScan = action(run, QStringLiteral("mRunScan"), QStringLiteral("&Scan folders"), &frmTovrane::mRunScan_Click);
    mRunBuild
        = action(run, QStringLiteral("mRunBuild"), QStringLiteral("&Build scripts"), &frmTovrane::mRunBuild_Click);

    // "&About" is a top-level entry that acts at once.
    mAbout = menuBar()->addAction(QStringLiteral("&About"));
    mAbout->setObjectName(QStringLiteral("mAbout"));
    connect(mAbout, &QAction::triggered, this, &frmTovrane::mAbout_Click);
}

void frmTovrane::setBuildCommandsEnabled(bool enabled)
{
    for (QWidget *w : { static_cast<QWidget *>(cmdBuild), static_cast<QWidget *>(cmdRemove),
             static_cast<QWidget *>(cmdSelect[0]), static_cast<QWidget *>(cmdSelect[1]) })
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
    if (clipListEvent(watched, event) || editorDropEvent(watched, event))
        return true;
    return QMainWindow::eventFilter(watched, event);
}
