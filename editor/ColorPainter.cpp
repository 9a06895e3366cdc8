#include "ColorPainter.h"

#include <QFont>
#include <QHash>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

#include <algorithm>
#include <array>
#include <vector>

namespace editor {

namespace {

using Formats = std::array<QTextCharFormat, 4>; // indexed by PaintedStyle

// A character whose format matches none of the painted styles.
constexpr quint8 Unpainted = 0xFF;

// Changes spread over more text than this are laid out in steps afterwards
// rather than all at once (see paintColorSpans).
constexpr qsizetype StepwiseLayoutFrom = 4096;

// Whether merging `style` into `format` would change nothing.
bool hasStyle(const QTextCharFormat &format, const QTextCharFormat &style)
{
    return format.hasProperty(QTextFormat::ForegroundBrush) && format.foreground() == style.foreground()
        && format.hasProperty(QTextFormat::FontWeight) && format.fontWeight() == style.fontWeight()
        && format.hasProperty(QTextFormat::FontItalic) && !format.fontItalic();
}

bool onlyPaintedProperties(const QTextCharFormat &format)
{
    const auto properties = format.properties();
    return std::all_of(properties.keyBegin(), properties.keyEnd(), [](int property) {
        return property == QTextFormat::ForegroundBrush || property == QTextFormat::FontWeight
            || property == QTextFormat::FontItalic;
    });
}

// How the document's characters look now, as far as painting goes.
struct CurrentLook
{
    std::vector<quint8> styles; // the PaintedStyle each character shows, or Unpainted
    bool plain = true; // no character carries more than colour, weight and italic
};

CurrentLook currentLook(const QTextDocument *document, qsizetype length, const Formats &formats)
{
    CurrentLook look;
    look.styles.assign(size_t(length), Unpainted);
    QHash<int, quint8> byFormatIndex; // a document holds few distinct formats
    const auto styleOf = [&](int formatIndex, const auto &formatOf) {
        const auto known = byFormatIndex.constFind(formatIndex);
        if (known != byFormatIndex.cend())
            return *known;
        const QTextCharFormat format = formatOf();
        look.plain = look.plain && onlyPaintedProperties(format);
        quint8 style = Unpainted;
        for (size_t s = 0; s < formats.size() && style == Unpainted; ++s) {
            if (hasStyle(format, formats[s]))
                style = quint8(s);
        }
        byFormatIndex.insert(formatIndex, style);
        return style;
    };
    const auto fill = [&](qsizetype from, qsizetype count, quint8 style) {
        from = std::max<qsizetype>(from, 0);
        const qsizetype to = std::min(from + count, length);
        if (from < to)
            std::fill(look.styles.begin() + from, look.styles.begin() + to, style);
    };

    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            fill(fragment.position(), fragment.length(),
                styleOf(fragment.charFormatIndex(), [&] { return fragment.charFormat(); }));
        }
        // A block's closing separator carries the format that the next block
        // reports as its own.
        const QTextBlock next = block.next();
        if (next.isValid())
            fill(next.position() - 1, 1, styleOf(next.charFormatIndex(), [&] { return next.charFormat(); }));
    }
    return look;
}

struct Change
{
    qsizetype start;
    qsizetype length;
    int style;
};

} // namespace

QTextCharFormat paintedFormat(PaintedStyle style, const QColor &resetColor)
{
    QTextCharFormat format;
    const auto look = [&](const QColor &color, bool bold) {
        format.setForeground(color);
        format.setFontWeight(bold ? QFont::Bold : QFont::Normal);
        format.setFontItalic(false);
    };
    switch (style) {
    case PaintedStyle::Reset: look(resetColor, false); break;
    case PaintedStyle::Placeholder: look(EditorColors::Placeholder, true); break;
    case PaintedStyle::FilterName: look(EditorColors::FilterName, true); break;
    case PaintedStyle::Comment: look(EditorColors::Comment, false); break;
    case PaintedStyle::Plain: break;
    }
    return format;
}

QFont templateFont()
{
    QFont courier(QStringLiteral("Courier New"), 9);
    courier.setStyleHint(QFont::TypeWriter);
    return courier;
}

void paintColorSpans(QTextEdit *editor, const QList<ColorSpan> &spans, const QColor &resetColor)
{
    QTextDocument *document = editor->document();
    // The document ends with one paragraph separator that is not part of the
    // editor's plain text.
    const qsizetype length = document->characterCount() - 1;

    const Formats formats {
        paintedFormat(PaintedStyle::Reset, resetColor),
        paintedFormat(PaintedStyle::Placeholder, resetColor),
        paintedFormat(PaintedStyle::FilterName, resetColor),
        paintedFormat(PaintedStyle::Comment, resetColor),
    };

    // Overlapping spans are resolved first: each character gets only its
    // final style.
    const QList<PaintedStyle> target = paintedStyles(length, spans);
    const CurrentLook look = currentLook(document, length, formats);
    const std::vector<quint8> &current = look.styles;

    // Either reset everything and colour each run, or, when that takes more
    // edits (recolouring mostly finds the colours in place), touch only the
    // ranges that look different.
    std::vector<Change> resetAndRuns { { 0, length, int(PaintedStyle::Reset) } };
    std::vector<Change> differences;
    for (qsizetype i = 0; i < length;) {
        qsizetype end = i + 1;
        while (end < length && target[end] == target[i])
            ++end;
        if (target[i] != PaintedStyle::Reset)
            resetAndRuns.push_back({ i, end - i, int(target[i]) });
        for (qsizetype j = i; j < end;) {
            if (current[size_t(j)] == quint8(target[j])) {
                ++j;
                continue;
            }
            qsizetype k = j + 1;
            while (k < end && current[size_t(k)] != quint8(target[k]))
                ++k;
            differences.push_back({ j, k - j, int(target[j]) });
            j = k;
        }
        i = end;
    }

    if (!differences.empty()) {
        const std::vector<Change> &changes = differences.size() < resetAndRuns.size() ? differences : resetAndRuns;

        // A format change across much of the text makes the document layout
        // redo all of it before endEditBlock() returns, while new text (a
        // template load) is laid out in steps from the event loop. With the
        // page size parked at null the layout skips the change; setting the
        // page size back restarts it the stepwise way. Only speed depends on
        // this.
        const qsizetype spread = changes.back().start + changes.back().length - changes.front().start;
        const bool stepwise = spread > StepwiseLayoutFrom;
        const QSizeF pageSize = document->pageSize();
        if (stepwise)
            document->setPageSize(QSizeF());

        QTextCursor cursor(document);
        cursor.beginEditBlock();
        for (const Change &change : changes) {
            cursor.setPosition(int(change.start));
            cursor.setPosition(int(change.start + change.length), QTextCursor::KeepAnchor);
            // Setting a format is cheaper than merging one and, when the text
            // carries nothing but these three properties, gives the same.
            if (look.plain)
                cursor.setCharFormat(formats[size_t(change.style)]);
            else
                cursor.mergeCharFormat(formats[size_t(change.style)]);
        }
        cursor.endEditBlock();

        if (stepwise)
            document->setPageSize(pageSize);
    }

    editor->setTextCursor(QTextCursor(document));
}

} // namespace editor
