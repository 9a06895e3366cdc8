#include "frmSplash.h"

#include "Artwork.h"
#include "Settings.h"
#include "Twips.h"
#include "VbConvert.h"
#include "mGlobal.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

namespace VbConvert = component::VbConvert;

using appcore::ProgramInfo;
using appcore::ReadIniKey;
using appcore::Settings;

namespace ui {

const QString frmSplash::FreewareNotice = QStringLiteral("Freeware is computer software \r\n"
                                                         "that is made available free of \r\n"
                                                         "charge, but which is copyrighted \r\n"
                                                         "by its developer, who retains the \r\n"
                                                         "rights to control its distribution, to \r\n"
                                                         "modify it and to sell it in the future. \r\n"
                                                         "It is typically distributed without its \r\n"
                                                         "source code, which prevents \r\n"
                                                         "modification by its users.\r\n");

frmSplash::frmSplash(const ProgramInfo &info, std::function<void()> showMainWindow, QWidget *parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint)
    , m_info(info)
    , m_showMainWindow(std::move(showMainWindow))
{
    setObjectName(QStringLiteral("frmSplash"));
    setWindowTitle(QString());

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, &frmSplash::Timer1_Timer);
}

void frmSplash::buildControls()
{
    // Shape1: the border that frames the whole splash.
    auto *shape = new QFrame(this);
    shape->setObjectName(QStringLiteral("Shape1"));
    shape->setFrameShape(QFrame::Box);
    shape->setLineWidth(2);
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(shape);

    Picture1 = new QLabel(shape);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setPixmap(tovranePicture(twipsToPixels(1440)));
    Picture1->setAlignment(Qt::AlignCenter);

    auto *title = new QLabel(QStringLiteral("Tovrane"), shape);
    QFont titleFont = title->font();
    titleFont.setPointSize(titleFont.pointSize() * 2);
    titleFont.setBold(true);
    title->setFont(titleFont);
    title->setAlignment(Qt::AlignCenter);

    lblVersion = new QLabel(QStringLiteral("Version 0.0.0"), shape);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    lblVersion->setAlignment(Qt::AlignCenter);

    Label3 = new QLabel(QStringLiteral("Freeware"), shape);
    Label3->setObjectName(QStringLiteral("Label3"));
    QFont bold = Label3->font();
    bold.setBold(true);
    Label3->setFont(bold);

    Text1 = new QPlainTextEdit(shape);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setReadOnly(true);
    Text1->setFrameShape(QFrame::NoFrame);
    Text1->setFocusPolicy(Qt::NoFocus);
    Text1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Text1->setPlainText(QString(FreewareNotice).replace(QStringLiteral("\r\n"), QStringLiteral("\n")).trimmed());
    Text1->setFixedHeight(Text1->fontMetrics().lineSpacing() * 10 + 8);
    Text1->setFixedWidth(
        Text1->fontMetrics().horizontalAdvance(QStringLiteral("rights to control its distribution, to ")) + 24);
    QPalette pal = Text1->palette();
    pal.setColor(QPalette::Base, palette().color(QPalette::Window));
    Text1->setPalette(pal);

    auto *left = new QVBoxLayout;
    left->addStretch();
    left->addWidget(Picture1);
    left->addWidget(title);
    left->addWidget(lblVersion);
    left->addStretch();
    auto *right = new QVBoxLayout;
    right->addWidget(Label3);
    right->addWidget(Text1);
    auto *inner = new QHBoxLayout(shape);
    inner->setContentsMargins(twipsToPixels(240), twipsToPixels(240), twipsToPixels(240), twipsToPixels(240));
    inner->setSpacing(twipsToPixels(360));
    inner->addLayout(left);
    inner->addLayout(right);
}

void frmSplash::Form_Load()
{
    // A missing, unreadable or non-numeric value counts as "show".
    qint32 splash = 0;
    try {
        splash = VbConvert::toInteger(
            ReadIniKey(m_info.settingsPath(), Settings::Section, Settings::name(Settings::Key::Splash)))
                     .value;
    } catch (...) { }

    if (splash == 1) {
        Timer1->stop();
        openMainWindow();
        return;
    }
    // Built only when it will be seen: a start-up without the splash should
    // not pay for its picture and texts.
    buildControls();
    lblVersion->setText(QStringLiteral("version ") + m_info.versionText());
    adjustSize();
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    Timer1->start();
    show();
}

void frmSplash::Timer1_Timer()
{
    if (m_ticks == 3) {
        // Stopped first: the main window's start-up lets events run, and this
        // timer must not open it a second time meanwhile.
        Timer1->stop();
        openMainWindow();
    }
    ++m_ticks;
}

void frmSplash::openMainWindow()
{
    if (m_mainOpened)
        return;
    m_mainOpened = true;
    // Hidden, not closed, while the main window comes up, so the program never
    // has no window at all; closed once the main window is there.
    hide();
    if (m_showMainWindow)
        m_showMainWindow();
    close();
}

} // namespace ui
