#include "Artwork.h"

#include <QPainter>
#include <QPainterPath>

namespace ui {

QPixmap tovranePicture(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size / 64.0;

    // Film strip, tilted behind the page.
    p.save();
    p.translate(30 * s, 30 * s);
    p.rotate(-18);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 44, 52));
    p.drawRoundedRect(QRectF(-28 * s, -13 * s, 50 * s, 26 * s), 3 * s, 3 * s);
    p.setBrush(QColor(235, 235, 225));
    for (int i = 0; i < 6; ++i) {
        p.drawRect(QRectF((-25 + i * 8) * s, -11 * s, 4 * s, 3 * s));
        p.drawRect(QRectF((-25 + i * 8) * s, 8 * s, 4 * s, 3 * s));
    }
    p.setBrush(QColor(90, 140, 200));
    p.drawRect(QRectF(-24 * s, -6 * s, 19 * s, 12 * s));
    p.drawRect(QRectF(-2 * s, -6 * s, 19 * s, 12 * s));
    p.restore();

    // Script page with a folded corner and a few coloured lines.
    QPainterPath page;
    page.moveTo(30 * s, 22 * s);
    page.lineTo(52 * s, 22 * s);
    page.lineTo(60 * s, 30 * s);
    page.lineTo(60 * s, 62 * s);
    page.lineTo(30 * s, 62 * s);
    page.closeSubpath();
    p.setPen(QPen(QColor(60, 60, 60), 1.2 * s));
    p.setBrush(QColor(255, 255, 245));
    p.drawPath(page);
    const QColor lines[] = { QColor(0, 128, 0), QColor(0, 0, 255), QColor(128, 64, 64), QColor(128, 64, 64) };
    for (int i = 0; i < 4; ++i) {
        p.setPen(QPen(lines[i], 2.2 * s, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(34 * s, (34 + i * 7) * s), QPointF((54 - (i % 2) * 8) * s, (34 + i * 7) * s));
    }
    return pixmap;
}

} // namespace ui
