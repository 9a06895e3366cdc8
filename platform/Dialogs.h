#pragma once

#include <QString>

namespace platform {

// Every message box, file dialog and shell "open" of the program goes through
// this interface. The program uses a Qt implementation; tests script the
// answers and record what was asked.
class Dialogs
{
public:
    enum class Icon { None, Information, Warning };
    enum Answer { Yes = 6, No = 7 };

    virtual ~Dialogs() = default;

    // Yes/No question, Yes the default button. An empty title means the
    // application's title.
    virtual Answer question(const QString &title, const QString &text, Icon icon) = 0;
    // OK message without an icon.
    virtual void message(const QString &title, const QString &text) = 0;
    // Open / Save file dialogs with one filter entry in the classic form
    // "Description (*.ext)|*.ext"; "" when cancelled. A typed name is returned
    // as typed: no extension is added and no replace question is asked.
    virtual QString openFileName(const QString &title, const QString &folder, const QString &filter) = 0;
    virtual QString saveFileName(const QString &title, const QString &folder, const QString &filter) = 0;
    // The shell's "open" of an address (a web page, or a local file or folder
    // as a file: address); false when nothing on the desktop could open it.
    virtual bool openUrl(const QString &url) = 0;
};

} // namespace platform
