#pragma once

#include <QGuiApplication>
#include <QRect>
#include <QScreen>

namespace ui {

// (Header-only; needs Qt Gui.) Window measures are kept in twips (1/1440 inch) and turned into
// device-independent pixels with the screen's logical DPI.
inline int twipsToPixels(int twips)
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    const qreal dpi = screen ? screen->logicalDotsPerInchY() : 96.0;
    return qRound(twips * dpi / 1440.0);
}

inline QRect twipsRect(int left, int top, int width, int height)
{
    return QRect(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width), twipsToPixels(height));
}

} // namespace ui
