#pragma once

#include "ColorSpans.h"

#include <QColor>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QTextLayout>

#include <vector>

class QTextBlock;
class QTextCharFormat;
class QTextDocument;

namespace editor {

// The colours of the template editor's text, kept beside its document rather
// than in it. Colouring is then no edit: it never becomes an undo step, never
// marks the text changed, and the user's own undo history stays whole.
//
// The layer follows the user's edits. Text inserted into a line takes the look
// of the character before it, as text typed at a caret does; text at the start
// of a line, and every line after the first of an inserted text, is plain, so
// that a comment's colour ends with its line.
class ColorLayer : public QObject
{
    Q_OBJECT

public:
    // Follows `document` from now on; a child of it.
    explicit ColorLayer(QTextDocument *document);

    // Colours the whole text: every character `resetColor`, not bold, then
    // the spans (found on the document's plain text) painted in order.
    void paint(const QList<ColorSpan> &spans, const QColor &resetColor);
    // Finds the spans of the document's text for `filterNames` and paints
    // them; when neither the text nor the names nor the colour changed since
    // the last time, the text already looks so and nothing is done.
    void colour(const QStringList &filterNames, const QColor &resetColor);
    // The next text inserted at `position` takes `style`, not the look of the
    // character before it; an insertion anywhere else forgets this.
    void setInsertStyle(qsizetype position, PaintedStyle style);

    // The look of the character at `position` (Plain outside the text).
    PaintedStyle styleAt(qsizetype position) const;
    // The format that gives a character the look of `style`; Plain sets none.
    QTextCharFormat format(PaintedStyle style) const;
    // The looks of `block`'s characters [from, to) (positions within the
    // block) as format ranges, in order; plain runs are left out.
    QList<QTextLayout::FormatRange> formatRanges(const QTextBlock &block, int from, int to) const;

    // Changes with every paint(): what was shown before it is out of date.
    quint64 generation() const { return m_generation; }

signals:
    // The look of the whole text changed (paint()).
    void repainted();
    // Text was inserted or removed at `from`; [from, from + length) is what
    // stands there now. Emitted while the document reports the change, before
    // it lays the text out again.
    void restyled(int from, int length);

private:
    void contentsChange(int position, int removed, int added);

    QTextDocument *m_document;
    // One look per character of the document, its closing separator included.
    std::vector<PaintedStyle> m_styles;
    QColor m_resetColor;
    quint64 m_generation = 0;
    // Counts the changes of the text, and what colour() last painted for.
    quint64 m_textVersion = 0;
    quint64 m_colouredVersion = ~quint64(0);
    QStringList m_colouredNames;
    qsizetype m_insertAt = -1;
    PaintedStyle m_insertStyle = PaintedStyle::Plain;
};

} // namespace editor
