#include "frmPreview.h"

#include "ColorPainter.h"
#include "ColorSpans.h"
#include "Twips.h"

#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTextEdit>
#include <QVBoxLayout>

using editor::findColorSpans;
using editor::paintColorSpans;
using editor::templateFont;

using ui::twipsToPixels;

frmPreview::frmPreview(const QStringList &filterNames, QWidget *parent)
    : QDialog(parent)
    , m_filterNames(filterNames)
{
    setObjectName(QStringLiteral("frmPreview"));
    setWindowTitle(QStringLiteral("Preview script"));
    setAccessibleName(QStringLiteral("Preview script"));

    lblPath = new QLabel(this);
    lblPath->setObjectName(QStringLiteral("lblPath"));
    lblPath->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    lblExists = new QLabel(this);
    lblExists->setObjectName(QStringLiteral("lblExists"));
    lblExists->setWordWrap(true);

    txtPreview = new QTextEdit(this);
    txtPreview->setObjectName(QStringLiteral("txtPreview"));
    txtPreview->setAccessibleName(QStringLiteral("Script text"));
    txtPreview->setFont(templateFont());
    txtPreview->setLineWrapMode(QTextEdit::NoWrap);
    txtPreview->setReadOnly(true);

    cmdClose = new QPushButton(QStringLiteral("&Close"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    cmdClose->setDefault(true);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::close);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdClose);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lblPath);
    layout->addWidget(lblExists);
    layout->addWidget(txtPreview, 1);
    layout->addLayout(buttons);
    resize(twipsToPixels(9000), twipsToPixels(6000));
}

void frmPreview::showScript(const QString &path, const QString &fate, const QString &text)
{
    lblPath->setText(QDir::toNativeSeparators(path));
    lblExists->setText(fate);
    txtPreview->setPlainText(text);
    paintColorSpans(
        txtPreview, findColorSpans(txtPreview->toPlainText(), m_filterNames), palette().color(QPalette::ButtonText));
}

void frmPreview::showNothing(const QString &why)
{
    lblPath->clear();
    lblExists->setText(why);
    txtPreview->clear();
}
