#pragma once

#include <QAbstractButton>
#include <QSignalBlocker>

#include <array>

namespace ui {

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

// Shows `value` on a group of options without running their handlers (which
// would only store it again); a value no option stands for leaves none chosen.
template <std::size_t N, typename Button> void showOption(const std::array<Button *, N> &options, int value)
{
    for (std::size_t i = 0; i < N; ++i) {
        const QSignalBlocker quiet(options[i]);
        options[i]->setAutoExclusive(false);
        options[i]->setChecked(int(i) == value);
        options[i]->setAutoExclusive(true);
    }
}

} // namespace ui
