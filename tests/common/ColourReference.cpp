#include "ColourReference.h"

#include "mGlobal.h"

namespace {

// 1-based position of `needle` in `haystack` at or after the 1-based `from`,
// or 0: the search primitive the passes are written in.
qsizetype inStr(qsizetype from, const QString &haystack, const QString &needle)
{
    if (needle.isEmpty())
        return 0;
    return haystack.indexOf(needle, from - 1) + 1;
}

void referencePass(const QString &haystack, const QStringList &tokens, SpanKind kind, QList<ColorSpan> &spans)
{
    if (tokens.isEmpty())
        return;
    QList<qsizetype> found(tokens.size());
    qsizetype pos = 1;
    for (;;) {
        for (qsizetype k = 0; k < tokens.size(); ++k)
            found[k] = inStr(pos, haystack, tokens.at(k));
        const int k = GetLowestIndex(found);
        if (found[k] == 0)
            break;
        spans.append({ found[k] - 1, tokens.at(k).size(), kind });
        pos = found[k] + tokens.at(k).size();
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

    qsizetype pos = 1;
    qsizetype h;
    while ((h = inStr(pos, text, QStringLiteral("#"))) > 0) {
        const qsizetype lf = inStr(h, text, QStringLiteral("\n"));
        const qsizetype cr = inStr(h, text, QStringLiteral("\r"));
        const qsizetype end = (lf == 0 || (cr != 0 && cr < lf)) ? cr : lf;
        const qsizetype length = end == 0 ? text.size() - h + 1 : end - h + 1;
        spans.append({ h - 1, length, SpanKind::Comment });
        pos = h + 1;
    }
    return spans;
}
