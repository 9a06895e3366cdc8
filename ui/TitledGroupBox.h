#pragma once

#include <QGroupBox>

// A group box that screen readers and other assistive tools know by its own
// title. Qt names a widget inside a group box after the enclosing box, so
// without this a box nested in another would carry its parent's title.
inline QGroupBox *titledGroupBox(const QString &title, QWidget *parent)
{
    auto *box = new QGroupBox(title, parent);
    box->setAccessibleName(title);
    return box;
}
