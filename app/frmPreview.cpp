#include "frmPreview.h"

#include "ColorPainter.h"
#include "ColorSpans.h"
#include "ScriptBuild.h"
#include "Twips.h"

#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTextEdit>
#include <QVBoxLayout>

frmPreview::frmPreview(const ScriptPreview &preview, const QStringList &filterNames, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmPreview"));
    setWindowTitle(QStringLiteral("Preview script"));
    setAccessibleName(QStringLiteral("Preview script"));
    setAttribute(Qt::WA_DeleteOnClose);

    lblPath = new QLabel(QDir::toNativeSeparators(preview.path), this);
    lblPath->setObjectName(QStringLiteral("lblPath"));
    lblPath->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    lblExists = new QLabel(preview.exists ? QStringLiteral("The script already exists; a build replaces it.")
                                          : QStringLiteral("The script does not exist yet."),
        this);
    lblExists->setObjectName(QStringLiteral("lblExists"));

    txtPreview = new QTextEdit(this);
    txtPreview->setObjectName(QStringLiteral("txtPreview"));
    txtPreview->setAccessibleName(QStringLiteral("Script text"));
    txtPreview->setFont(templateFont());
    txtPreview->setLineWrapMode(QTextEdit::NoWrap);
    txtPreview->setPlainText(preview.text);
    paintColorSpans(
        txtPreview, findColorSpans(txtPreview->toPlainText(), filterNames), palette().color(QPalette::ButtonText));
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
