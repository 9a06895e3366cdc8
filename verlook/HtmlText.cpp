#include "HtmlText.h"

#include <QHash>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QStringList>

#include <algorithm>
#include <utility>

namespace verlook {

namespace {

bool isHtmlType(const QString &mimeType)
{
    return mimeType == QLatin1String("text/html") || mimeType == QLatin1String("application/xhtml+xml");
}

// Servers that send no type still send pages a browser recognises as HTML.
bool looksLikeHtml(const QByteArray &data)
{
    static const QRegularExpression start(
        QStringLiteral("^\\s*<(!doctype\\s+html|html|head|body)[\\s>]"), QRegularExpression::CaseInsensitiveOption);
    return start.match(QString::fromLatin1(data.left(512))).hasMatch();
}

QString decode(const QByteArray &data, const QString &charset, bool html)
{
    if (!charset.isEmpty()) {
        QStringDecoder named(charset.toLatin1().constData());
        if (named.isValid())
            return named.decode(data);
    }
    const std::optional<QStringConverter::Encoding> encoding
        = html ? QStringConverter::encodingForHtml(data) : QStringConverter::encodingForData(data);
    // Stateless: a sequence cut off at the end is an error, not held back.
    QStringDecoder decoder(encoding.value_or(QStringConverter::Utf8), QStringConverter::Flag::Stateless);
    QString text = decoder.decode(data);
    // Not UTF-8 after all: read it byte for byte rather than lose characters.
    if (decoder.hasError())
        text = QString::fromLatin1(data);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    return text;
}

const QString &namedEntity(QStringView name)
{
    static const QHash<QString, QString> entities = {
        { QStringLiteral("amp"), QStringLiteral("&") },
        { QStringLiteral("lt"), QStringLiteral("<") },
        { QStringLiteral("gt"), QStringLiteral(">") },
        { QStringLiteral("quot"), QStringLiteral("\"") },
        { QStringLiteral("apos"), QStringLiteral("'") },
        { QStringLiteral("nbsp"), QString(QChar(0x00A0)) },
        { QStringLiteral("copy"), QString(QChar(0x00A9)) },
        { QStringLiteral("reg"), QString(QChar(0x00AE)) },
        { QStringLiteral("hellip"), QString(QChar(0x2026)) },
        { QStringLiteral("ndash"), QString(QChar(0x2013)) },
        { QStringLiteral("mdash"), QString(QChar(0x2014)) },
    };
    static const QString none;
    const auto it = entities.constFind(name.toString());
    return it == entities.cend() ? none : *it;
}

// Appends text with its character references decoded; an unknown or broken
// reference stays as written, as browsers show it.
void appendDecoded(QString &out, QStringView text)
{
    qsizetype i = 0;
    while (i < text.size()) {
        const QChar c = text[i];
        if (c != u'&') {
            out += c;
            ++i;
            continue;
        }
        const qsizetype semi = text.indexOf(u';', i + 1);
        if (semi < 0 || semi - i > 12) {
            out += c;
            ++i;
            continue;
        }
        const QStringView ref = text.sliced(i + 1, semi - i - 1);
        QString replacement;
        if (ref.startsWith(u'#')) {
            bool ok = false;
            const bool hex = ref.size() > 1 && (ref[1] == u'x' || ref[1] == u'X');
            const uint code = hex ? ref.sliced(2).toUInt(&ok, 16) : ref.sliced(1).toUInt(&ok, 10);
            if (ok && code > 0 && code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF)) {
                const char32_t ch = code;
                replacement = QString::fromUcs4(&ch, 1);
            }
        } else {
            replacement = namedEntity(ref);
        }
        if (replacement.isEmpty()) {
            out += c;
            ++i;
        } else {
            out += replacement;
            i = semi + 1;
        }
    }
}

bool isBlockElement(QStringView name)
{
    static const QStringList blocks = {
        QStringLiteral("address"),
        QStringLiteral("article"),
        QStringLiteral("aside"),
        QStringLiteral("blockquote"),
        QStringLiteral("br"),
        QStringLiteral("center"),
        QStringLiteral("dd"),
        QStringLiteral("div"),
        QStringLiteral("dl"),
        QStringLiteral("dt"),
        QStringLiteral("fieldset"),
        QStringLiteral("footer"),
        QStringLiteral("form"),
        QStringLiteral("h1"),
        QStringLiteral("h2"),
        QStringLiteral("h3"),
        QStringLiteral("h4"),
        QStringLiteral("h5"),
        QStringLiteral("h6"),
        QStringLiteral("header"),
        QStringLiteral("hr"),
        QStringLiteral("li"),
        QStringLiteral("main"),
        QStringLiteral("nav"),
        QStringLiteral("ol"),
        QStringLiteral("p"),
        QStringLiteral("pre"),
        QStringLiteral("section"),
        QStringLiteral("table"),
        QStringLiteral("tr"),
        QStringLiteral("ul"),
    };
    return blocks.contains(name.toString());
}

// Elements whose content is never part of the text.
bool isHiddenElement(QStringView name)
{
    return name == u"script" || name == u"style" || name == u"title" || name == u"noscript" || name == u"template"
        || name == u"head";
}

// The end of the tag that starts at open ('<'), skipping '>' inside quoted
// attribute values; -1 when the tag never ends.
qsizetype tagEnd(QStringView html, qsizetype open)
{
    QChar quote;
    for (qsizetype i = open + 1; i < html.size(); ++i) {
        const QChar c = html[i];
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == u'"' || c == u'\'') {
            quote = c;
        } else if (c == u'>') {
            return i;
        }
    }
    return -1;
}

class TextBuilder
{
public:
    void text(QStringView raw, bool preformatted)
    {
        QString decoded;
        appendDecoded(decoded, raw);
        for (const QChar c : std::as_const(decoded)) {
            if (!preformatted && (c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\f')) {
                m_pendingSpace = !m_out.isEmpty() && !m_atLineStart;
                continue;
            }
            if (preformatted && c == u'\n') {
                lineBreak(true);
                continue;
            }
            if (preformatted && c == u'\r')
                continue;
            if (m_pendingSpace)
                m_out += u' ';
            m_pendingSpace = false;
            m_out += c;
            m_atLineStart = false;
        }
    }

    void lineBreak(bool always = false)
    {
        m_pendingSpace = false;
        if (!m_out.isEmpty() && (always || !m_atLineStart)) {
            m_out += QStringLiteral("\r\n");
            m_atLineStart = true;
        }
    }

    void cell()
    {
        if (!m_out.isEmpty() && !m_atLineStart)
            m_out += u'\t';
        m_pendingSpace = false;
    }

    QString result() const
    {
        QString out = m_out;
        while (out.endsWith(QLatin1String("\r\n")))
            out.chop(2);
        return out;
    }

private:
    QString m_out;
    bool m_pendingSpace = false;
    bool m_atLineStart = true;
};

} // namespace

std::optional<QString> htmlBodyText(const QString &html)
{
    static const QRegularExpression bodyOpen(
        QStringLiteral("<body(\\s[^>]*)?/?>"), QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression framesetOpen(
        QStringLiteral("<frameset[\\s>]"), QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression tagName(QStringLiteral("^</?([A-Za-z][A-Za-z0-9]*)"));

    // The body: after its start tag; without one the parser implies it, and a
    // frame set has none at all.
    QStringView view(html);
    const QRegularExpressionMatch open = bodyOpen.match(html);
    if (open.hasMatch()) {
        view = view.sliced(open.capturedEnd());
    } else if (framesetOpen.match(html).hasMatch()) {
        return std::nullopt;
    }

    TextBuilder out;
    QString hidden; // the element whose content is being skipped
    int preDepth = 0;
    qsizetype i = 0;
    while (i < view.size()) {
        const qsizetype lt = view.indexOf(u'<', i);
        const qsizetype textEnd = lt < 0 ? view.size() : lt;
        if (hidden.isEmpty() && textEnd > i)
            out.text(view.sliced(i, textEnd - i), preDepth > 0);
        if (lt < 0)
            break;

        if (view.sliced(lt).startsWith(u"<!--")) {
            const qsizetype close = view.indexOf(u"-->", lt + 4);
            i = close < 0 ? view.size() : close + 3;
            continue;
        }
        const QChar next = lt + 1 < view.size() ? view[lt + 1] : QChar();
        if (!(next.isLetter() || next == u'/' || next == u'!' || next == u'?')) {
            // A lone "<" is text.
            if (hidden.isEmpty())
                out.text(u"<", preDepth > 0);
            i = lt + 1;
            continue;
        }
        const qsizetype gt = tagEnd(view, lt);
        if (gt < 0)
            break;
        const QStringView tag = view.sliced(lt, gt - lt + 1);
        i = gt + 1;

        const QRegularExpressionMatch m = tagName.match(tag);
        if (!m.hasMatch())
            continue; // declarations and processing instructions
        const QString name = m.captured(1).toLower();
        const bool closing = tag.startsWith(u"</");

        if (!hidden.isEmpty()) {
            if (closing && name == hidden)
                hidden.clear();
            continue;
        }
        if (name == u"body" && closing)
            break;
        if (isHiddenElement(name) && !closing && !tag.endsWith(u"/>")) {
            hidden = name;
            continue;
        }
        if (name == u"pre")
            preDepth = std::max(0, preDepth + (closing ? -1 : 1));
        if (name == u"td" || name == u"th") {
            if (!closing)
                out.cell();
        } else if (isBlockElement(name)) {
            out.lineBreak(name == u"br");
        }
    }
    return out.result();
}

std::optional<QString> documentBodyText(const QByteArray &data, const QString &contentType)
{
    // "text/html; charset=windows-1252" -> type and charset
    const QStringList parts = contentType.split(QLatin1Char(';'));
    const QString mimeType = parts.value(0).trimmed().toLower();
    QString charset;
    for (qsizetype i = 1; i < parts.size(); ++i) {
        const QString param = parts.at(i).trimmed();
        if (param.startsWith(QLatin1String("charset="), Qt::CaseInsensitive)) {
            charset = param.mid(8).trimmed();
            if (charset.size() >= 2 && charset.startsWith(QLatin1Char('"')) && charset.endsWith(QLatin1Char('"')))
                charset = charset.mid(1, charset.size() - 2);
        }
    }

    const bool html = isHtmlType(mimeType) || (mimeType.isEmpty() && looksLikeHtml(data));
    const QString text = decode(data, charset, html);
    return html ? htmlBodyText(text) : std::optional<QString>(text);
}

} // namespace verlook
