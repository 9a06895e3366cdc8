#pragma once

#include "ColorSpans.h"

#include <QColor>
#include <QList>

class QFont;
class QTextCharFormat;
class QTextEdit;

namespace editor {

// The colours of the template editor.
namespace EditorColors {
inline const QColor Placeholder(0, 0, 255);
inline const QColor FilterName(128, 64, 64);
inline const QColor Comment(0, 128, 0);
} // namespace EditorColors

// The template editor's font, which the script preview shares.
QFont templateFont();

// The format that gives a character the look of `style`: its colour (reset
// ones `resetColor`), bold or not, never italic. Plain sets nothing.
QTextCharFormat paintedFormat(PaintedStyle style, const QColor &resetColor);

// The template editor keeps its colours beside its text (ColorLayer); this
// writes them into a document, as the read-only script preview shows them.
// Recolours the whole text of `editor` in one edit (a single undo step): every
// character is first reset to `resetColor`, not bold, not italic; then the
// spans, found on editor->toPlainText(), are painted in order (placeholders
// blue and bold, filter names brown and bold, comments green and not bold).
// Only colour, weight and italic change; the font and anything else a
// character carries stay. Characters that already look as they should are
// left alone, so recolouring an unchanged text edits nothing and adds no undo
// step. Afterwards the caret is at 0 with nothing selected. Parts of spans
// beyond the text are ignored.
void paintColorSpans(QTextEdit *editor, const QList<ColorSpan> &spans, const QColor &resetColor);

} // namespace editor
