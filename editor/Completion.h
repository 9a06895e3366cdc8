#pragma once

#include <QString>
#include <QStringList>
#include <Qt>

class QKeyEvent;
class QListWidget;
class QTextEdit;

// Filter-name completion in the template editor: the word before the caret,
// the prefix search in the name list, and the key handling that drives the
// list while the user types.

// Virtual-key codes of the keys the completion acts on.
namespace VirtualKey {
inline constexpr int Backspace = 8;
inline constexpr int Enter = 13;
inline constexpr int Escape = 27;
inline constexpr int Left = 37;
inline constexpr int Up = 38;
inline constexpr int Right = 39;
inline constexpr int Down = 40;
} // namespace VirtualKey

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

// The Windows virtual-key code of a Qt::Key on a US layout (letters give their
// upper-case code, shifted symbols the code of their key), or 0 when the key
// has none. `keypad` tells a numeric-keypad key (Qt::KeypadModifier) from the
// main-keyboard key of the same Qt::Key.
int virtualKeyCode(int qtKey, bool keypad = false);

// The code the editor's key-down handler receives for a key press: its
// virtual-key code, or, for a key that has none on a US layout (such as ü or
// é on other layouts), the character it types, so that it extends the word
// like any other character. 0 for a key that types nothing and has no code.
int keyDownCode(const QKeyEvent &event);

// The shift state as a bit mask: Shift 1, Ctrl 2, Alt 4.
int shiftMask(Qt::KeyboardModifiers modifiers);

// Replaces the contents of `list` by `names`, sorted without regard to case
// (names equal but for case keep their given order). Every name is taken as
// given: the caller decides which lines of the filter file are offered.
void fillCompletionList(QListWidget *list, const QStringList &names);

// The key handler of the editor's completion list. The owner feeds it every
// key press of the editor before the editor acts on it:
//
//     if (completion.keyDown(keyDownCode(*e), shiftMask(e->modifiers())))
//         swallow the key;
//
// and calls reset() when the editor loses the focus.
class Completion
{
public:
    Completion(QTextEdit *editor, QListWidget *list);

    // Handles one key press; returns true when the key is swallowed (the
    // editor must not act on it).
    bool keyDown(int keyCode, int shift);

    // No selection in the list, and the list hidden.
    void reset();

private:
    void findCurrentWord();
    void accept(const QString &entry);
    void search();

    QTextEdit *m_editor;
    QListWidget *m_list;
    QString sCurrentWord;
    qsizetype m_wordStart = 0;
};
