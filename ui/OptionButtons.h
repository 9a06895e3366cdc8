#pragma once

#include <QAbstractButton>

// Runs `handler` when `option` becomes the chosen one of its group, however
// that happens: a click, the keyboard or a screen reader's "Toggle" (which
// toggles without clicking). Choosing the option that is already chosen
// changes nothing and runs nothing.
template <typename Handler> void connectOption(QAbstractButton *option, QObject *context, Handler handler)
{
    QObject::connect(option, &QAbstractButton::toggled, context, [handler](bool on) {
        if (on)
            handler();
    });
}
