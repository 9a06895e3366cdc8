#include "Completion.h"

#include "ColorLayer.h"
#include "TemplateEditor.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QListWidget>
#include <QTextBlock>
#include <QTextCursor>

#include <algorithm>
#include <array>

namespace editor {

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

// Modifiers that make a key a command rather than typing. AltGr comes as
// Ctrl+Alt on some systems, so a printable character typed with both is
// still typing.
bool typesText(const QKeyEvent &key)
{
    const QString text = key.text();
    if (text.isEmpty() || !std::all_of(text.begin(), text.end(), [](QChar c) { return c.isPrint(); }))
        return false;
    const Qt::KeyboardModifiers mods = key.modifiers();
    const bool altGr = mods.testFlag(Qt::ControlModifier) && mods.testFlag(Qt::AltModifier);
    return altGr || !(mods & (Qt::ControlModifier | Qt::MetaModifier));
}

// Modifiers other than Shift and the keypad's flag.
bool withCommandModifier(const QKeyEvent &key)
{
    return key.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
}

bool plain(const QKeyEvent &key)
{
    return (key.modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
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

void fillCompletionList(QListWidget *list, const QStringList &names)
{
    QStringList sorted = names;
    std::stable_sort(sorted.begin(), sorted.end(), lessIgnoringCase);
    list->clear();
    list->addItems(sorted);
}

Completion::Completion(TemplateEditor *editor, QListWidget *list)
    : m_editor(editor)
    , m_list(list)
{
    connect(editor, &QPlainTextEdit::textChanged, this, [this] { m_edited = m_edited || m_inKey; });
    connect(editor, &QPlainTextEdit::cursorPositionChanged, this, &Completion::caretMoved);
    connect(editor, &QPlainTextEdit::selectionChanged, this, &Completion::caretMoved);
    editor->installEventFilter(this);
    editor->viewport()->installEventFilter(this);
}

bool Completion::keyDown(const QKeyEvent &key)
{
    m_inKey = false;
    if (!m_list->isHidden()) {
        switch (key.key()) {
        case Qt::Key_Escape: reset(); return false; // the editor gets it too
        case Qt::Key_Up:
            if (!plain(key))
                break;
            if (m_list->currentRow() > 0)
                m_list->setCurrentRow(m_list->currentRow() - 1);
            return true;
        case Qt::Key_Down:
            if (!plain(key))
                break;
            if (m_list->currentRow() < m_list->count() - 1)
                m_list->setCurrentRow(m_list->currentRow() + 1);
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Tab:
            findCurrentWord();
            if (plain(key) && chosenFitsWord()) {
                accept(m_list->currentItem()->text());
                return true;
            }
            break;
        default: break;
        }
    }
    // The editor acts on the key; keyDone looks at what it did.
    const QTextCursor cursor = m_editor->textCursor();
    m_caretBefore = cursor.position();
    m_anchorBefore = cursor.anchor();
    m_edited = false;
    m_inKey = true;
    return false;
}

void Completion::keyDone(const QKeyEvent &key)
{
    if (!m_inKey)
        return;
    m_inKey = false;
    const QTextCursor cursor = m_editor->textCursor();
    const bool deletes = (key.key() == Qt::Key_Backspace || key.key() == Qt::Key_Delete) && !withCommandModifier(key);
    const bool steps = (key.key() == Qt::Key_Left || key.key() == Qt::Key_Right) && plain(key);
    if (!cursor.hasSelection() && ((m_edited && (typesText(key) || deletes)) || steps)) {
        findCurrentWord();
        search();
    } else if (m_edited || cursor.position() != m_caretBefore || cursor.anchor() != m_anchorBefore) {
        reset();
    }
}

void Completion::reset()
{
    const bool shown = !m_list->isHidden();
    m_list->setCurrentRow(-1);
    m_list->clearSelection();
    m_list->hide();
    // A screen reader followed the entries; it goes back to the editor,
    // which kept the keyboard all along.
    if (shown && m_editor->hasFocus() && QAccessible::isActive()) {
        QAccessibleEvent back(m_editor, QAccessible::Focus);
        QAccessible::updateAccessibility(&back);
    }
}

bool Completion::eventFilter(QObject *watched, QEvent *event)
{
    // A click puts the caret somewhere else, even where it already was.
    if ((watched == m_editor && event->type() == QEvent::FocusOut)
        || (watched == m_editor->viewport() && event->type() == QEvent::MouseButtonPress))
        reset();
    return QObject::eventFilter(watched, event);
}

void Completion::caretMoved()
{
    // Typing moves the caret too; keyDone decides then.
    if (!m_inKey)
        reset();
}

void Completion::findCurrentWord()
{
    const QTextCursor cursor = m_editor->textCursor();
    if (m_editor->document()->isEmpty()) {
        sCurrentWord.clear();
        m_wordStart = 0;
        return;
    }
    // Every line ends with a separator, so the word lies within the caret's
    // line; a line break within a paragraph counts as a line feed.
    const QTextBlock block = m_editor->document()->findBlock(cursor.selectionStart());
    const QString before
        = block.text().left(cursor.selectionStart() - block.position()).replace(QChar::LineSeparator, u'\n');
    // Position just behind the last separator; 0 when there is none.
    const qsizetype p = before.lastIndexOf(QChar(char16_t(GetLastSep(before)))) + 1;
    m_wordStart = block.position() + p;
    sCurrentWord = before.mid(p);
}

bool Completion::chosenFitsWord() const
{
    const QListWidgetItem *chosen = m_list->currentItem();
    return chosen && !m_list->isHidden() && !sCurrentWord.isEmpty()
        && chosen->text().startsWith(sCurrentWord, Qt::CaseInsensitive);
}

void Completion::accept(const QString &entry)
{
    // The name looks like a filter name; what the user types next is plain.
    ColorLayer *colors = m_editor->colors();
    colors->setInsertStyle(m_wordStart, PaintedStyle::FilterName);
    // The name goes in before the word, and the word then goes: a step that
    // ends with a removal takes in no text typed after it, so that undo takes
    // back that text first and the name in a step of its own.
    QTextCursor cursor = m_editor->textCursor();
    cursor.beginEditBlock();
    cursor.setPosition(int(m_wordStart));
    cursor.insertText(entry);
    cursor.setPosition(int(m_wordStart + entry.size() + sCurrentWord.size()), QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    cursor.endEditBlock();
    m_editor->setTextCursor(cursor);
    colors->setInsertStyle(cursor.position(), PaintedStyle::Plain);

    sCurrentWord.clear();
    reset();
}

void Completion::search()
{
    QStringList entries;
    entries.reserve(m_list->count());
    for (int i = 0; i < m_list->count(); ++i)
        entries.append(m_list->item(i)->text());
    const int index = findStringPrefix(entries, sCurrentWord);
    if (index == -1) {
        reset();
        return;
    }
    // Shown first, so that a screen reader announces the entry of a list it
    // can see.
    m_list->show();
    m_list->setCurrentRow(index);
}

} // namespace editor
