#include "ColourReference.h"

#include "mGlobal.h"

using namespace appcore;

using namespace editor;

namespace {

// After each match every token is searched again from the scan position, and
// GetLowestIndex picks the first found (at one position the earlier token).
void referencePass(const QString &haystack, const QStringList &tokens, SpanKind kind, QList<ColorSpan> &spans)
{
    if (tokens.isEmpty())
        return;
    QList<qsizetype> found(tokens.size()); // 1-based positions, 0 for none
    for (qsizetype pos = 0;;) {
        for (qsizetype k = 0; k < tokens.size(); ++k)
            found[k] = tokens.at(k).isEmpty() ? 0 : haystack.indexOf(tokens.at(k), pos) + 1;
        const int k = GetLowestIndex(found);
        if (found[k] == 0)
            break;
        spans.append({ found[k] - 1, tokens.at(k).size(), kind });
        pos = found[k] - 1 + tokens.at(k).size();
    }
}

} // namespace

QList<ColorSpan> findColorSpansReference(const QString &text, const QStringList &filterNames)
{
    QList<ColorSpan> spans;
    // Spelled out here rather than taken from the finder, so that a wrong
    // token there shows.
    const QStringList tokens { QStringLiteral("%CLIP%"), QStringLiteral("%EXT%"), QStringLiteral("%PATH%") };
    referencePass(text, tokens, SpanKind::Placeholder, spans);
    referencePass(upperPerUnit(text), filterNames, SpanKind::FilterName, spans);
    // Every "#" up to and including the line's end character, or to the end.
    for (qsizetype h = text.indexOf(u'#'); h >= 0; h = text.indexOf(u'#', h + 1)) {
        qsizetype end = h;
        while (end < text.size() && text.at(end) != u'\n' && text.at(end) != u'\r')
            ++end;
        spans.append({ h, qMin(end + 1, text.size()) - h, SpanKind::Comment });
    }
    return spans;
}
