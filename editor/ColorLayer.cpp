#include "ColorLayer.h"

#include "ColorPainter.h"

#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextDocument>

#include <algorithm>
#include <array>

namespace editor {

namespace {

bool isLineEnd(QChar c)
{
    return c == QChar::ParagraphSeparator || c == QChar::LineSeparator;
}

} // namespace

ColorLayer::ColorLayer(QTextDocument *document)
    : QObject(document)
    , m_document(document)
    , m_styles(size_t(document->characterCount()), PaintedStyle::Plain)
{
    connect(document, &QTextDocument::contentsChange, this, &ColorLayer::contentsChange);
}

void ColorLayer::paint(const QList<ColorSpan> &spans, const QColor &resetColor)
{
    m_resetColor = resetColor;
    const QList<PaintedStyle> painted = paintedStyles(qsizetype(m_styles.size()) - 1, spans);
    std::copy(painted.begin(), painted.end(), m_styles.begin());
    m_styles.back() = PaintedStyle::Reset;
    m_insertAt = -1;
    ++m_generation;
    emit repainted();
}

void ColorLayer::colour(const QStringList &filterNames, const QColor &resetColor)
{
    if (m_colouredVersion == m_textVersion && m_colouredNames == filterNames && m_resetColor == resetColor)
        return;
    paint(findColorSpans(m_document->toPlainText(), filterNames), resetColor);
    m_colouredVersion = m_textVersion;
    m_colouredNames = filterNames;
}

void ColorLayer::setInsertStyle(qsizetype position, PaintedStyle style)
{
    m_insertAt = position;
    m_insertStyle = style;
}

PaintedStyle ColorLayer::styleAt(qsizetype position) const
{
    return position >= 0 && position < qsizetype(m_styles.size()) ? m_styles[size_t(position)] : PaintedStyle::Plain;
}

QTextCharFormat ColorLayer::format(PaintedStyle style) const
{
    return paintedFormat(style, m_resetColor);
}

QList<QTextLayout::FormatRange> ColorLayer::formatRanges(const QTextBlock &block, int from, int to) const
{
    QList<QTextLayout::FormatRange> ranges;
    const qsizetype base = block.position();
    to = int(std::min<qsizetype>(to, qsizetype(m_styles.size()) - base));
    std::array<QTextCharFormat, 5> formats; // made once per style met
    std::array<bool, 5> made {};
    for (int i = std::max(from, 0); i < to;) {
        const PaintedStyle style = m_styles[size_t(base + i)];
        int end = i + 1;
        while (end < to && m_styles[size_t(base + end)] == style)
            ++end;
        if (style != PaintedStyle::Plain) {
            const auto s = size_t(style);
            if (!made[s]) {
                formats[s] = format(style);
                made[s] = true;
            }
            ranges.append({ i, end - i, formats[s] });
        }
        i = end;
    }
    return ranges;
}

void ColorLayer::contentsChange(int position, int removed, int added)
{
    ++m_textVersion;
    // The counts Qt reports for a change of the whole text may include the
    // closing separator; the sizes before and after are exact.
    const auto oldSize = qsizetype(m_styles.size());
    const qsizetype newSize = m_document->characterCount();
    const qsizetype at = std::clamp<qsizetype>(position, 0, std::min(oldSize, newSize));
    qsizetype insert = std::clamp<qsizetype>(added, 0, newSize - at);
    qsizetype erase = std::clamp<qsizetype>(removed, 0, oldSize - at);
    if (oldSize - erase + insert != newSize) {
        erase = std::clamp<qsizetype>(oldSize + insert - newSize, 0, oldSize - at);
        insert = newSize - (oldSize - erase);
    }

    // What was typed at the caret looks like the character before it, unless
    // it starts a line; what follows a line end inserted with it is plain.
    PaintedStyle first = PaintedStyle::Plain;
    if (m_insertAt == at)
        first = m_insertStyle;
    else if (at > 0 && !isLineEnd(m_document->characterAt(int(at - 1))))
        first = m_styles[size_t(at - 1)];
    m_insertAt = -1;

    std::vector<PaintedStyle> inserted(size_t(insert), PaintedStyle::Plain);
    if (first != PaintedStyle::Plain && insert > 0) {
        const QTextBlock block = m_document->findBlock(int(at));
        const qsizetype inBlock = at - block.position();
        qsizetype lineEnd = block.text().indexOf(QChar::LineSeparator, inBlock);
        lineEnd = lineEnd < 0 ? block.length() - 1 : lineEnd;
        std::fill_n(inserted.begin(), std::min(insert, lineEnd - inBlock + 1), first);
    }
    m_styles.erase(m_styles.begin() + at, m_styles.begin() + at + erase);
    m_styles.insert(m_styles.begin() + at, inserted.begin(), inserted.end());
    emit restyled(int(at), int(insert));
}

} // namespace editor
