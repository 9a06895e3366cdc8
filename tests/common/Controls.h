#pragma once

#include <QListWidget>
#include <QObject>
#include <QString>
#include <QStringList>

// A window's control, found by its object name as a screen reader finds it by
// its name: no window shows its insides. A control that is not there ends the
// test run, naming it.
template <typename T> T *control(const QObject &window, const QString &name)
{
    T *found = window.findChild<T *>(name);
    if (!found)
        qFatal("%s has no %s named %s", qPrintable(window.objectName()), T::staticMetaObject.className(),
            qPrintable(name));
    return found;
}

// The texts a list shows, top to bottom.
inline QStringList listedTexts(const QListWidget &list)
{
    QStringList texts;
    for (int i = 0; i < list.count(); ++i)
        texts << list.item(i)->text();
    return texts;
}
