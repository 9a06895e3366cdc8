#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class QKeyEvent;
class QListWidget;

namespace editor {

class TemplateEditor;

// Filter-name completion in the template editor: the word before the caret,
// the prefix search in the name list, and the key handling that drives the
// list while the user types.

// True when the last occurrence of the character with code `a` in `text` is
// at or after the last occurrence of code `b`; a missing character counts as
// position 0, so two missing characters give true.
bool IsLastinString(const QString &text, int a, int b);

// The code of the separator (space 32, CR 13, LF 10, tab 9) that occurs last
// in `text`; 32 when none occurs.
int GetLastSep(const QString &text);

// The index of the first entry, in list order, that begins with `prefix`
// without regard to case; -1 when none does or when `prefix` is empty.
int findStringPrefix(const QStringList &entries, const QString &prefix);

// Replaces the contents of `list` by `names`, sorted without regard to case
// (names equal but for case keep their given order). Every name is taken as
// given: the caller decides which lines of the filter file are offered.
void fillCompletionList(QListWidget *list, const QStringList &names);

// The completion list of a template editor. The list always shows the names
// that begin with the word before the caret, as the editor left it after a
// key: a character typed with Shift or AltGr extends or ends the word as the
// same character would without them. While the list is shown, Up and Down
// move in it, Escape hides it, and Enter or Tab put the chosen name in place
// of the word, as long as the name begins with that word; otherwise every key
// does what it does in any text box. Whatever else moves the caret (a click,
// Home, End, Page Up or Down, Ctrl with an arrow, a selection, an undo, a
// paste, leaving the editor) hides the list.
//
// The owner feeds the editor's keys to it:
//
//     editor->keyDown = [&](const QKeyEvent &key) { return completion.keyDown(key); };
//     editor->keyDone = [&](const QKeyEvent &key) { completion.keyDone(key); };
class Completion : public QObject
{
    Q_OBJECT

public:
    Completion(TemplateEditor *editor, QListWidget *list);

    // Before the editor acts on a key: true when the list takes the key and
    // the editor must not act on it.
    bool keyDown(const QKeyEvent &key);
    // After the editor acted on a key that keyDown left to it.
    void keyDone(const QKeyEvent &key);

    // No entry chosen, and the list hidden.
    void reset();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void findCurrentWord();
    // Whether the chosen entry may replace the word before the caret.
    bool chosenFitsWord() const;
    void accept(const QString &entry);
    void search();
    void caretMoved();

    TemplateEditor *m_editor;
    QListWidget *m_list;
    QString sCurrentWord;
    qsizetype m_wordStart = 0;
    // While the editor acts on a key: whether it changed the text, and where
    // the caret and the selection's anchor were before.
    bool m_inKey = false;
    bool m_edited = false;
    int m_caretBefore = 0;
    int m_anchorBefore = 0;
};

} // namespace editor
