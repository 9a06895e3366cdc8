#include "ColorSpans.h"

#include <QStringView>

#include <algorithm>
#include <array>
#include <limits>
#include <vector>

namespace {

const std::array<QString, 3> &placeholderTokens()
{
    static const std::array<QString, 3> tokens { QStringLiteral("%CLIP%"), QStringLiteral("%EXT%"),
        QStringLiteral("%PATH%") };
    return tokens;
}


PaintedStyle styleOf(SpanKind kind)
{
    switch (kind) {
    case SpanKind::Placeholder: return PaintedStyle::Placeholder;
    case SpanKind::FilterName: return PaintedStyle::FilterName;
    case SpanKind::Comment: return PaintedStyle::Comment;
    }
    return PaintedStyle::Reset;
}

bool isLineEnd(QChar c)
{
    return c == u'\n' || c == u'\r';
}

// The filter names as a trie over UTF-16 units, walked from each position of
// the text. A walk stops as soon as no name continues, so it takes at most as
// many steps as the longest name has characters, and usually one or two: the
// pass grows with the text alone, not with the number of names or matches.
// Leftmost matching where the earlier name wins at one position falls out
// directly (each node knows the earliest name ending there); an Aho-Corasick
// automaton would need a more intricate construction to give the same.
class NameTrie
{
public:
    explicit NameTrie(const QStringList &names)
    {
        std::vector<std::vector<std::pair<char16_t, qint32>>> children(1);
        m_firstName.assign(1, NoName);
        m_length.assign(size_t(names.size()), 0);
        for (qsizetype k = 0; k < names.size(); ++k) {
            const QString &name = names.at(k);
            if (name.isEmpty())
                continue;
            qint32 node = 0;
            for (const QChar ch : name) {
                auto &edges = children[size_t(node)];
                const auto it
                    = std::find_if(edges.begin(), edges.end(), [&](const auto &e) { return e.first == ch.unicode(); });
                if (it != edges.end()) {
                    node = it->second;
                } else {
                    const auto next = qint32(children.size());
                    edges.emplace_back(ch.unicode(), next);
                    children.emplace_back();
                    m_firstName.push_back(NoName);
                    node = next;
                }
            }
            // A later duplicate never wins over the first one.
            m_firstName[size_t(node)] = std::min(m_firstName[size_t(node)], qint32(k));
            m_length[size_t(k)] = name.size();
        }

        // Flatten into one sorted edge array; the root also gets a direct
        // table for ASCII, where almost every walk starts and ends.
        m_edgeBegin.resize(children.size() + 1);
        for (size_t node = 0; node < children.size(); ++node) {
            auto &edges = children[node];
            std::sort(edges.begin(), edges.end());
            m_edgeBegin[node] = qint32(m_edges.size());
            m_edges.insert(m_edges.end(), edges.begin(), edges.end());
        }
        m_edgeBegin[children.size()] = qint32(m_edges.size());
        m_rootAscii.fill(-1);
        for (const auto &[ch, next] : children[0]) {
            if (ch < m_rootAscii.size())
                m_rootAscii[ch] = next;
        }
    }

    bool isEmpty() const { return m_edges.empty(); }

    // The earliest-listed name that starts at `pos` of `text`, or -1.
    qint32 matchAt(QStringView text, qsizetype pos) const
    {
        qint32 best = NoName;
        qint32 node = 0;
        for (qsizetype i = pos; i < text.size(); ++i) {
            node = child(node, text[i].unicode());
            if (node < 0)
                break;
            best = std::min(best, m_firstName[size_t(node)]);
        }
        return best == NoName ? -1 : best;
    }

    qsizetype nameLength(qint32 name) const { return m_length[size_t(name)]; }

private:
    static constexpr qint32 NoName = std::numeric_limits<qint32>::max();

    qint32 child(qint32 node, char16_t ch) const
    {
        if (node == 0 && ch < m_rootAscii.size())
            return m_rootAscii[ch];
        const auto begin = m_edges.begin() + m_edgeBegin[size_t(node)];
        const auto end = m_edges.begin() + m_edgeBegin[size_t(node) + 1];
        const auto it = std::lower_bound(begin, end, ch, [](const auto &e, char16_t c) { return e.first < c; });
        return it != end && it->first == ch ? it->second : -1;
    }

    std::vector<std::pair<char16_t, qint32>> m_edges;
    std::vector<qint32> m_edgeBegin;
    std::vector<qint32> m_firstName;
    std::vector<qsizetype> m_length;
    std::array<qint32, 128> m_rootAscii {};
};

void findPlaceholders(QStringView text, QList<ColorSpan> &spans)
{
    // Every token starts with "%", and no two tokens can match at one place.
    qsizetype pos = 0;
    while ((pos = text.indexOf(u'%', pos)) >= 0) {
        qsizetype matched = 0;
        for (const QString &token : placeholderTokens()) {
            if (text.sliced(pos).startsWith(token)) {
                matched = token.size();
                break;
            }
        }
        if (matched > 0) {
            spans.append({ pos, matched, SpanKind::Placeholder });
            pos += matched;
        } else {
            ++pos;
        }
    }
}

void findFilterNames(QStringView upper, const QStringList &filterNames, QList<ColorSpan> &spans)
{
    const NameTrie trie(filterNames);
    if (trie.isEmpty())
        return;
    qsizetype pos = 0;
    while (pos < upper.size()) {
        const qint32 name = trie.matchAt(upper, pos);
        if (name < 0) {
            ++pos;
            continue;
        }
        const qsizetype length = trie.nameLength(name);
        spans.append({ pos, length, SpanKind::FilterName });
        pos += length;
    }
}

void findComments(QStringView text, QList<ColorSpan> &spans)
{
    // Later "#" on a line that is already a comment would only repaint part
    // of it, so each commented line gives one span.
    qsizetype pos = 0;
    while ((pos = text.indexOf(u'#', pos)) >= 0) {
        qsizetype end = pos;
        while (end < text.size() && !isLineEnd(text[end]))
            ++end;
        if (end < text.size())
            ++end; // the line-end character is part of the comment
        spans.append({ pos, end - pos, SpanKind::Comment });
        pos = end;
    }
}

// 1-based position of `needle` in `haystack` at or after the 1-based `from`,
// or 0: the search primitive the straightforward passes are written in.
qsizetype inStr(qsizetype from, const QString &haystack, const QString &needle)
{
    if (needle.isEmpty())
        return 0;
    return haystack.indexOf(needle, from - 1) + 1;
}

// The index of the smallest non-zero position, ties to the lowest index; -1
// when every position is 0.
qsizetype lowestFound(const std::vector<qsizetype> &found)
{
    qsizetype best = -1;
    for (size_t k = 0; k < found.size(); ++k) {
        if (found[k] != 0 && (best < 0 || found[k] < found[size_t(best)]))
            best = qsizetype(k);
    }
    return best;
}

void referencePass(const QString &haystack, const QStringList &tokens, SpanKind kind, QList<ColorSpan> &spans)
{
    std::vector<qsizetype> found(size_t(tokens.size()));
    qsizetype pos = 1;
    for (;;) {
        for (qsizetype k = 0; k < tokens.size(); ++k)
            found[size_t(k)] = inStr(pos, haystack, tokens.at(k));
        const qsizetype k = lowestFound(found);
        if (k < 0)
            break;
        spans.append({ found[size_t(k)] - 1, tokens.at(k).size(), kind });
        pos = found[size_t(k)] + tokens.at(k).size();
    }
}

} // namespace

QString upperPerUnit(const QString &text)
{
    QString upper(text.size(), Qt::Uninitialized);
    const QChar *src = text.constData();
    QChar *dst = upper.data();
    for (qsizetype i = 0, n = text.size(); i < n; ++i) {
        const char16_t c = src[i].unicode();
        if (c < 0x80)
            dst[i] = QChar(c >= u'a' && c <= u'z' ? char16_t(c - 0x20) : c);
        else
            dst[i] = src[i].toUpper();
    }
    return upper;
}

QList<ColorSpan> findColorSpans(const QString &text, const QStringList &filterNames)
{
    QList<ColorSpan> spans;
    findPlaceholders(text, spans);
    findFilterNames(upperPerUnit(text), filterNames, spans);
    findComments(text, spans);
    return spans;
}

QList<ColorSpan> findColorSpansReference(const QString &text, const QStringList &filterNames)
{
    QList<ColorSpan> spans;
    const QStringList tokens(placeholderTokens().begin(), placeholderTokens().end());
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

QList<PaintedStyle> paintedStyles(qsizetype textLength, const QList<ColorSpan> &spans)
{
    QList<PaintedStyle> styles(std::max<qsizetype>(textLength, 0), PaintedStyle::Reset);
    for (const ColorSpan &span : spans) {
        qsizetype start = span.start;
        qsizetype length = span.length;
        if (length <= 0)
            continue;
        if (start < 0) {
            length += start;
            start = 0;
        }
        if (length <= 0 || start >= textLength)
            continue;
        length = std::min(length, textLength - start);
        std::fill_n(styles.begin() + start, length, styleOf(span.kind));
    }
    return styles;
}

QList<StyleRun> paintedRuns(qsizetype textLength, const QList<ColorSpan> &spans)
{
    const QList<PaintedStyle> styles = paintedStyles(textLength, spans);
    QList<StyleRun> runs;
    qsizetype runStart = 0;
    for (qsizetype i = 1; i <= styles.size(); ++i) {
        if (i == styles.size() || styles[i] != styles[runStart]) {
            runs.append({ runStart, i - runStart, styles[runStart] });
            runStart = i;
        }
    }
    return runs;
}
