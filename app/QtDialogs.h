#pragma once

#include "Dialogs.h"

#include <QPointer>
#include <QWidget>

// Message boxes, file dialogs and the browser through Qt.
class QtDialogs : public platform::Dialogs
{
public:
    // The owner window of every dialog; it may change (or go) over time.
    void setOwner(QWidget *owner) { m_owner = owner; }

    Answer question(const QString &title, const QString &text, Icon icon) override;
    void message(const QString &title, const QString &text) override;
    QString openFileName(const QString &title, const QString &folder, const QString &filter) override;
    QString saveFileName(const QString &title, const QString &folder, const QString &filter) override;
    bool openUrl(const QString &url) override;

    // "Tovrane Template (*.avt)|*.avt" becomes Qt's "Tovrane Template (*.avt)".
    static QString qtFilter(const QString &classicFilter);

private:
    QString fileName(bool save, const QString &title, const QString &folder, const QString &filter);

    QPointer<QWidget> m_owner;
};
