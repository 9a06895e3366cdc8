#include "ColorSpans.h"

#include "mGlobal.h"

#include <QStringView>

#include <algorithm>
#include <array>
#include <limits>
#include <vector>

using appcore::GetLowestIndex;

namespace editor {

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

// 1-based position of `token` at or after the 1-based `from`, or 0. Every
// token starts with "%", which is rare in a template, so the search hops from
// one "%" to the next: with a search per match, the setup of a general
// substring search would cost more than the hops.
qsizetype nextOccurrence(QStringView text, QStringView token, qsizetype from)
{
    const qsizetype last = text.size() - token.size();
    for (qsizetype at = from - 1; (at = text.indexOf(token.front(), at)) >= 0 && at <= last; ++at) {
        if (std::equal(token.begin() + 1, token.end(), text.begin() + at + 1))
            return at + 1;
    }
    return 0;
}

void findPlaceholders(QStringView text, QList<ColorSpan> &spans)
{
    // Each token's next occurrence at or after the scan position (1-based, 0
    // for none). A token is searched again only once the scan has passed its
    // occurrence, so each token's search crosses the text once, however many
    // matches there are.
    const auto &tokens = placeholderTokens();
    QList<qsizetype> found;
    for (const QString &token : tokens)
        found.append(nextOccurrence(text, token, 1));
    for (;;) {
        const int k = GetLowestIndex(found);
        if (found[k] == 0)
            break;
        const qsizetype length = tokens[size_t(k)].size();
        spans.append({ found[k] - 1, length, SpanKind::Placeholder });
        const qsizetype pos = found[k] + length;
        for (qsizetype t = 0; t < found.size(); ++t) {
            if (found[t] != 0 && found[t] < pos)
                found[t] = nextOccurrence(text, tokens[size_t(t)], pos);
        }
    }
}

// The tie-break is GetLowestIndex's, as for the placeholders: the occurrence
// that starts first wins, and at one position the earlier name. The trie
// walked from each position in turn gives that directly, without keeping and
// comparing the next occurrence of each of hundreds of names.
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

} // namespace editor
