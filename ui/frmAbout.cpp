#include "frmAbout.h"

#include "Artwork.h"
#include "Dialogs.h"
#include "Twips.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

using platform::Dialogs;

using appcore::ProgramInfo;

namespace ui {

const QString frmAbout::FeedbackText
    = QStringLiteral("To make this application better, I need your \r\n"
                     "feedback! Contactl me for remarks, questions, \r\n"
                     "bugs and suggestions. You can find the contactform on the website.\r\n");

const QString frmAbout::InformationText = QStringLiteral("For more information or updates for this \r\n"
                                                         "program visit the website!\r\n");

namespace {

QPlainTextEdit *staticText(const QString &text, const QString &name, QWidget *parent)
{
    auto *edit = new QPlainTextEdit(parent);
    edit->setObjectName(name);
    edit->setReadOnly(true);
    edit->setFrameShape(QFrame::NoFrame);
    edit->setFocusPolicy(Qt::NoFocus);
    edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    edit->setPlainText(QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")).trimmed());
    QPalette pal = edit->palette();
    pal.setColor(QPalette::Base, parent->palette().color(QPalette::Window));
    edit->setPalette(pal);
    const int lines = text.count(QStringLiteral("\r\n")) + 1;
    edit->setFixedHeight(edit->fontMetrics().lineSpacing() * lines + 8);
    return edit;
}

} // namespace

frmAbout::frmAbout(const ProgramInfo &info, Dialogs &dialogs, QWidget *parent)
    : QDialog(parent)
    , m_info(info)
    , m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setModal(true);

    auto *picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("Picture1"));
    picture->setPixmap(tovranePicture(twipsToPixels(960)));
    auto *image = new QLabel(this);
    image->setObjectName(QStringLiteral("Image1"));
    image->setPixmap(tovranePicture(twipsToPixels(480)));
    image->setAlignment(Qt::AlignRight | Qt::AlignBottom);

    auto *name = new QLabel(QStringLiteral("Tovrane"), this);
    QFont nameFont = name->font();
    nameFont.setPointSize(nameFont.pointSize() * 3 / 2);
    nameFont.setBold(true);
    name->setFont(nameFont);
    auto *version = new QLabel(QStringLiteral("version ") + m_info.versionText(), this);
    lblCopyright = new QLabel(this);
    lblCopyright->setObjectName(QStringLiteral("lblCopyright"));

    auto *frame = new QGroupBox(this);
    frame->setObjectName(QStringLiteral("Frame1"));
    Text1[1] = staticText(FeedbackText, QStringLiteral("Text1_1"), frame);
    Text1[0] = staticText(InformationText, QStringLiteral("Text1_0"), frame);
    txtURL = new QLabel(frame);
    txtURL->setObjectName(QStringLiteral("txtURL"));
    const QString url = m_info.programPage();
    txtURL->setText(QStringLiteral("<a href=\"%1\">%1</a>").arg(url.toHtmlEscaped()));
    txtURL->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    txtURL->setToolTip(url);
    connect(txtURL, &QLabel::linkActivated, this, &frmAbout::txtURL_Click);

    auto *frameLayout = new QVBoxLayout(frame);
    frameLayout->addWidget(Text1[1]);
    frameLayout->addWidget(Text1[0]);
    frameLayout->addWidget(txtURL);

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);

    auto *header = new QVBoxLayout;
    header->addWidget(name);
    header->addWidget(version);
    header->addWidget(lblCopyright);
    header->addStretch();
    auto *top = new QHBoxLayout;
    top->addWidget(picture, 0, Qt::AlignTop);
    top->addLayout(header, 1);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(image);
    bottom->addStretch();
    bottom->addWidget(cmdOK);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(frame);
    layout->addLayout(bottom);
    setFixedWidth(Text1[1]->fontMetrics().horizontalAdvance(
                      QStringLiteral("bugs and suggestions. You can find the contactform on the website."))
        + twipsToPixels(960));

    Form_Load();
}

void frmAbout::Form_Load()
{
    lblCopyright->setText(m_info.copyright);
    setWindowTitle(QStringLiteral("Tovrane v") + m_info.versionText());
}

void frmAbout::cmdOK_Click()
{
    accept();
}

void frmAbout::txtURL_Click()
{
    m_dialogs.openUrl(m_info.programPage());
}

} // namespace ui
