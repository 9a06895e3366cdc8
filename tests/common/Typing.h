#pragma once

#include <QHash>
#include <QString>
#include <QtTest>

#include <utility>

// Types `keys` into `widget` as a person does: capitals and shifted
// punctuation with Shift held down (its own key press and release around the
// key, as a keyboard sends them), and "↑ ↓ ← → ⌫ ⎋ ⏎ ⇥ ⇱ ⇲" as Up, Down, Left,
// Right, Backspace, Escape, Return, Tab, Home and End; "⌃" or "⇧" holds Ctrl
// or Shift for the next key.
inline void typeKeys(QWidget *widget, const QString &keys)
{
    static const QHash<QChar, Qt::Key> named { { u'↑', Qt::Key_Up }, { u'↓', Qt::Key_Down }, { u'←', Qt::Key_Left },
        { u'→', Qt::Key_Right }, { u'⌫', Qt::Key_Backspace }, { u'⎋', Qt::Key_Escape }, { u'⏎', Qt::Key_Return },
        { u'⇥', Qt::Key_Tab }, { u'⇱', Qt::Key_Home }, { u'⇲', Qt::Key_End } };
    Qt::KeyboardModifiers held;
    for (const QChar c : keys) {
        if (c == u'⌃' || c == u'⇧') {
            held |= c == u'⌃' ? Qt::ControlModifier : Qt::ShiftModifier;
            continue;
        }
        const bool shifted = c.isUpper() || QStringLiteral("()_\"<>!%").contains(c);
        const Qt::KeyboardModifiers mods = std::exchange(held, {}) | (shifted ? Qt::ShiftModifier : Qt::NoModifier);
        if (mods & Qt::ShiftModifier)
            QTest::keyPress(widget, Qt::Key_Shift, Qt::ShiftModifier);
        if (named.contains(c))
            QTest::keyClick(widget, named.value(c), mods);
        else
            QTest::keyClick(widget, c.toLatin1(), mods);
        if (mods & Qt::ShiftModifier)
            QTest::keyRelease(widget, Qt::Key_Shift);
    }
}
