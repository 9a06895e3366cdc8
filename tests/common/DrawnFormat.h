#pragma once

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>

// The format an editor draws the character at `pos` with, once it has
// painted: what its document holds for the character and what the
// character's line adds when it is laid out.
template <typename Editor> QTextCharFormat drawnFormat(Editor *editor, int pos)
{
    editor->viewport()->repaint();
    QTextCursor cursor(editor->document());
    cursor.setPosition(pos);
    cursor.setPosition(pos + 1, QTextCursor::KeepAnchor);
    QTextCharFormat format = cursor.charFormat();
    const QTextBlock block = editor->document()->findBlock(pos);
    for (const QTextLayout::FormatRange &range : block.layout()->formats()) {
        if (range.start <= pos - block.position() && pos - block.position() < range.start + range.length)
            format.merge(range.format);
    }
    return format;
}
