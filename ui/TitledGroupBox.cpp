#include "TitledGroupBox.h"

#include <QPainter>
#include <QStyle>
#include <qdrawutil.h>

#include <algorithm>

namespace ui {

namespace {

// The caption's distance from the frame's left edge, and the gap the border
// leaves on each side of it.
constexpr int CaptionIndent = 8;
constexpr int CaptionGap = 2;

} // namespace

TitledGroupBox::TitledGroupBox(const QString &title, QWidget *parent)
    : QGroupBox(title, parent)
{
    setAccessibleName(title);
}

QRect TitledGroupBox::borderRect() const
{
    // An etched border is two lines; the pair is centred on the caption.
    const int top = (fontMetrics().height() - 2) / 2;
    return rect().adjusted(0, top, 0, 0);
}

QRect TitledGroupBox::captionRect() const
{
    if (title().isEmpty())
        return QRect();
    const QFontMetrics metrics = fontMetrics();
    const int width = std::min(metrics.horizontalAdvance(title()), this->width() - 2 * CaptionIndent);
    return QRect(CaptionIndent, 0, std::max(0, width), metrics.height());
}

void TitledGroupBox::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QRect caption = captionRect();
    if (caption.isValid())
        painter.setClipRegion(QRegion(rect()).subtracted(caption.adjusted(-CaptionGap, 0, CaptionGap, 0)));
    qDrawShadeRect(&painter, borderRect(), palette(), true, 1, 0);
    painter.setClipping(false);
    if (caption.isValid())
        style()->drawItemText(&painter, caption, Qt::AlignLeft | Qt::AlignTop | Qt::TextHideMnemonic, palette(),
            isEnabled(), title(), QPalette::WindowText);
}

} // namespace ui
