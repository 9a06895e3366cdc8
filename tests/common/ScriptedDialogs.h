#pragma once

#include "Dialogs.h"

#include <QCursor>
#include <QGuiApplication>
#include <QStringList>

#include <functional>

// Answers the program's dialogs from a script and records what was asked.
class ScriptedDialogs : public Dialogs
{
public:
    struct Asked
    {
        QString title;
        QString text;
        Icon icon;
        // The pointer the user saw meanwhile (-1: the window's own).
        int cursor;
    };

    QList<Answer> answers;       // consumed in order; Yes when empty
    QStringList fileNames;       // consumed in order by open/save; "" when empty
    QList<Asked> questions;
    // Runs while a question is up, as if the user acted meanwhile.
    std::function<void()> whileAsking;
    QStringList messages;
    QStringList openedUrls;
    struct FileDialog
    {
        bool save;
        QString title, folder, filter;
    };
    QList<FileDialog> fileDialogs;

    Answer question(const QString &title, const QString &text, Icon icon) override
    {
        const QCursor *pointer = QGuiApplication::overrideCursor();
        questions.append({title, text, icon, pointer ? int(pointer->shape()) : -1});
        if (whileAsking)
            whileAsking();
        return answers.isEmpty() ? Yes : answers.takeFirst();
    }
    void message(const QString &, const QString &text) override { messages << text; }
    QString openFileName(const QString &title, const QString &folder, const QString &filter) override
    {
        fileDialogs.append({false, title, folder, filter});
        return fileNames.isEmpty() ? QString() : fileNames.takeFirst();
    }
    QString saveFileName(const QString &title, const QString &folder, const QString &filter) override
    {
        fileDialogs.append({true, title, folder, filter});
        return fileNames.isEmpty() ? QString() : fileNames.takeFirst();
    }
    void openUrl(const QString &url) override { openedUrls << url; }
};
