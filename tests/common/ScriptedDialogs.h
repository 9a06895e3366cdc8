#pragma once

#include "Dialogs.h"

#include <QCursor>
#include <QGuiApplication>
#include <QStringList>

#include <functional>
#include <utility>

// Answers the program's dialogs from a script and records what was asked.
class ScriptedDialogs : public platform::Dialogs
{
public:
    struct Asked
    {
        QString title, text;
        Icon icon;
        int cursor; // the pointer the user saw meanwhile (-1: the window's own)
    };

    QList<Answer> answers; // consumed in order; Yes when empty
    QStringList fileNames; // consumed in order by open/save; "" when empty
    std::function<void()> whileAsking; // runs while a question is up, as if the user acted
    QList<Asked> questions;
    QStringList messages, openedUrls;
    bool opens = true; // whether the desktop has a program that opens what it is given
    QList<std::pair<bool, QString>> fileDialogs; // (a save dialog, the folder it opens at)

    Answer question(const QString &title, const QString &text, Icon icon) override
    {
        const QCursor *pointer = QGuiApplication::overrideCursor();
        questions.append({ title, text, icon, pointer ? int(pointer->shape()) : -1 });
        if (whileAsking)
            whileAsking();
        return answers.isEmpty() ? Yes : answers.takeFirst();
    }
    void message(const QString &, const QString &text) override { messages << text; }
    QString openFileName(const QString &, const QString &dir, const QString &) override { return file(false, dir); }
    QString saveFileName(const QString &, const QString &dir, const QString &) override { return file(true, dir); }
    bool openUrl(const QString &url) override
    {
        openedUrls << url;
        return opens;
    }

private:
    QString file(bool save, const QString &dir)
    {
        fileDialogs.append({ save, dir });
        return fileNames.isEmpty() ? QString() : fileNames.takeFirst();
    }
};
