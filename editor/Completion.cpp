#include "Completion.h"

#include "ColorPainter.h"

#include <QKeyEvent>
#include <QListWidget>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextEdit>

#include <algorithm>
#include <array>

namespace {

// 1-based position of the last character with `code` in `text`, or 0.
qsizetype lastPosition(const QString &text, int code)
{
    if (code < 0 || code > 0xFFFF)
        return 0;
    return text.lastIndexOf(QChar(char16_t(code))) + 1;
}

bool lessIgnoringCase(const QString &a, const QString &b)
{
    return QString::compare(a, b, Qt::CaseInsensitive) < 0;
}

} // namespace

bool IsLastinString(const QString &text, int a, int b)
{
    return lastPosition(text, a) >= lastPosition(text, b);
}

int GetLastSep(const QString &text)
{
    // The last 13 stands for the first character of a CR LF pair.
    static constexpr std::array<int, 5> candidates { 32, 13, 10, 9, 13 };
    static constexpr std::array<int, 5> others { 13, 10, 9, 13, 32 };
    for (const int c : candidates) {
        if (std::all_of(others.begin(), others.end(), [&](int other) { return IsLastinString(text, c, other); }))
            return c;
    }
    return 32;
}

int findStringPrefix(const QStringList &entries, const QString &prefix)
{
    if (prefix.isEmpty())
        return -1;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        if (entries.at(i).startsWith(prefix, Qt::CaseInsensitive))
            return int(i);
    }
    return -1;
}

int virtualKeyCode(int qtKey, bool keypad)
{
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)
        return qtKey; // the Qt values are the upper-case letters, as the codes
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
        return keypad ? 96 + (qtKey - Qt::Key_0) : qtKey;
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24)
        return 112 + (qtKey - Qt::Key_F1);

    if (keypad) {
        switch (qtKey) {
        case Qt::Key_Asterisk: return 106;
        case Qt::Key_Plus: return 107;
        case Qt::Key_Minus: return 109;
        case Qt::Key_Period:
        case Qt::Key_Comma: return 110;
        case Qt::Key_Slash: return 111;
        default: break; // with Num Lock off the keypad sends the cursor keys
        }
    }

    switch (qtKey) {
    case Qt::Key_Backspace: return 8;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return 9;
    case Qt::Key_Clear: return 12;
    case Qt::Key_Return:
    case Qt::Key_Enter: return 13;
    case Qt::Key_Shift: return 16;
    case Qt::Key_Control: return 17;
    case Qt::Key_Alt:
    case Qt::Key_AltGr: return 18;
    case Qt::Key_Pause: return 19;
    case Qt::Key_CapsLock: return 20;
    case Qt::Key_Escape: return 27;
    case Qt::Key_Space: return 32;
    case Qt::Key_PageUp: return 33;
    case Qt::Key_PageDown: return 34;
    case Qt::Key_End: return 35;
    case Qt::Key_Home: return 36;
    case Qt::Key_Left: return 37;
    case Qt::Key_Up: return 38;
    case Qt::Key_Right: return 39;
    case Qt::Key_Down: return 40;
    case Qt::Key_Select: return 41;
    case Qt::Key_Printer: return 42;
    case Qt::Key_Execute: return 43;
    case Qt::Key_Print: return 44;
    case Qt::Key_Insert: return 45;
    case Qt::Key_Delete: return 46;
    case Qt::Key_Help: return 47;
    case Qt::Key_Meta:
    case Qt::Key_Super_L: return 91;
    case Qt::Key_Super_R: return 92;
    case Qt::Key_Menu: return 93;
    case Qt::Key_Sleep: return 95;
    case Qt::Key_NumLock: return 144;
    case Qt::Key_ScrollLock: return 145;
    case Qt::Key_Back: return 166;
    case Qt::Key_Forward: return 167;
    case Qt::Key_Refresh: return 168;
    case Qt::Key_Stop: return 169;
    case Qt::Key_Search: return 170;
    case Qt::Key_Favorites: return 171;
    case Qt::Key_HomePage: return 172;
    case Qt::Key_VolumeMute: return 173;
    case Qt::Key_VolumeDown: return 174;
    case Qt::Key_VolumeUp: return 175;
    case Qt::Key_MediaNext: return 176;
    case Qt::Key_MediaPrevious: return 177;
    case Qt::Key_MediaStop: return 178;
    case Qt::Key_MediaPlay:
    case Qt::Key_MediaTogglePlayPause: return 179;
    case Qt::Key_LaunchMail: return 180;
    case Qt::Key_LaunchMedia: return 181;
    case Qt::Key_Launch0: return 182;
    case Qt::Key_Launch1: return 183;

    // Shifted symbols report the key they are on.
    case Qt::Key_ParenRight: return 48;
    case Qt::Key_Exclam: return 49;
    case Qt::Key_At: return 50;
    case Qt::Key_NumberSign: return 51;
    case Qt::Key_Dollar: return 52;
    case Qt::Key_Percent: return 53;
    case Qt::Key_AsciiCircum: return 54;
    case Qt::Key_Ampersand: return 55;
    case Qt::Key_Asterisk: return 56;
    case Qt::Key_ParenLeft: return 57;

    case Qt::Key_Semicolon:
    case Qt::Key_Colon: return 186;
    case Qt::Key_Equal:
    case Qt::Key_Plus: return 187;
    case Qt::Key_Comma:
    case Qt::Key_Less: return 188;
    case Qt::Key_Minus:
    case Qt::Key_Underscore: return 189;
    case Qt::Key_Period:
    case Qt::Key_Greater: return 190;
    case Qt::Key_Slash:
    case Qt::Key_Question: return 191;
    case Qt::Key_QuoteLeft:
    case Qt::Key_AsciiTilde: return 192;
    case Qt::Key_BracketLeft:
    case Qt::Key_BraceLeft: return 219;
    case Qt::Key_Backslash:
    case Qt::Key_Bar: return 220;
    case Qt::Key_BracketRight:
    case Qt::Key_BraceRight: return 221;
    case Qt::Key_Apostrophe:
    case Qt::Key_QuoteDbl: return 222;
    default: return 0;
    }
}

int keyDownCode(const QKeyEvent &event)
{
    if (const int code = virtualKeyCode(event.key(), event.modifiers().testFlag(Qt::KeypadModifier)))
        return code;
    const QString text = event.text();
    return text.size() == 1 && text.at(0).isPrint() ? text.at(0).unicode() : 0;
}

int shiftMask(Qt::KeyboardModifiers modifiers)
{
    int mask = 0;
    if (modifiers & Qt::ShiftModifier)
        mask |= 1;
    if (modifiers & Qt::ControlModifier)
        mask |= 2;
    if (modifiers & Qt::AltModifier)
        mask |= 4;
    return mask;
}

void fillCompletionList(QListWidget *list, const QStringList &names)
{
    QStringList sorted = names;
    std::stable_sort(sorted.begin(), sorted.end(), lessIgnoringCase);
    list->clear();
    list->addItems(sorted);
}

Completion::Completion(QTextEdit *editor, QListWidget *list)
    : m_editor(editor)
    , m_list(list)
{ }

bool Completion::keyDown(int keyCode, int shift)
{
    if (shift != 0)
        return false;

    // The key has not reached the editor yet, so the word never holds the
    // character of this key.
    findCurrentWord();

    bool swallowed = false;
    switch (keyCode) {
    case VirtualKey::Escape: reset(); return false;
    case VirtualKey::Up:
        if (m_list->isHidden())
            return false;
        if (m_list->currentRow() > 0)
            m_list->setCurrentRow(m_list->currentRow() - 1);
        return true;
    case VirtualKey::Down:
        if (m_list->isHidden())
            return false;
        if (m_list->currentRow() < m_list->count() - 1)
            m_list->setCurrentRow(m_list->currentRow() + 1);
        return true;
    case VirtualKey::Backspace:
    case VirtualKey::Left:
    case VirtualKey::Right: break;
    case VirtualKey::Enter:
        // Only an entry the user can see is accepted; a hidden list may still
        // hold a current row that the user never chose.
        if (m_list->currentRow() != -1 && !m_list->isHidden()) {
            accept(m_list->currentItem()->text());
            swallowed = true;
        }
        break;
    default: sCurrentWord += QChar(char16_t(keyCode)); break;
    }
    search();
    return swallowed;
}

void Completion::reset()
{
    m_list->setCurrentRow(-1);
    m_list->clearSelection();
    m_list->hide();
}

void Completion::findCurrentWord()
{
    const QString text = m_editor->toPlainText();
    if (text.isEmpty()) {
        sCurrentWord.clear();
        m_wordStart = 0;
        return;
    }
    const QString before = text.left(m_editor->textCursor().selectionStart());
    // Position just behind the last separator; 0 when there is none.
    m_wordStart = before.lastIndexOf(QChar(char16_t(GetLastSep(before)))) + 1;
    sCurrentWord = before.mid(m_wordStart);
}

void Completion::accept(const QString &entry)
{
    QTextCursor cursor = m_editor->textCursor();
    cursor.beginEditBlock();
    cursor.setPosition(int(m_wordStart));
    cursor.setPosition(int(m_wordStart + sCurrentWord.size()), QTextCursor::KeepAnchor);
    cursor.insertText(entry);

    QTextCharFormat name;
    name.setForeground(EditorColors::FilterName);
    name.setFontWeight(QFont::Bold);
    cursor.setPosition(int(m_wordStart));
    cursor.setPosition(int(m_wordStart + entry.size()), QTextCursor::KeepAnchor);
    cursor.mergeCharFormat(name);
    cursor.clearSelection();
    cursor.endEditBlock();
    m_editor->setTextCursor(cursor);

    // What the user types next is plain text again.
    QTextCharFormat plain;
    plain.setForeground(m_editor->palette().color(QPalette::Text));
    plain.setFontWeight(QFont::Normal);
    m_editor->mergeCurrentCharFormat(plain);

    sCurrentWord.clear();
}

void Completion::search()
{
    QStringList entries;
    entries.reserve(m_list->count());
    for (int i = 0; i < m_list->count(); ++i)
        entries.append(m_list->item(i)->text());
    const int index = findStringPrefix(entries, sCurrentWord);
    m_list->setCurrentRow(index);
    if (index == -1) {
        m_list->clearSelection();
        m_list->hide();
    } else {
        m_list->show();
    }
}
