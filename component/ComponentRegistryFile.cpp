#include "ComponentRegistryFile.h"

#include <QByteArrayView>
#include <QList>

#include <optional>

namespace component {

namespace ComponentRegistryFile {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool isLineEnd(char c)
{
    return c == '\n' || c == '\r';
}

int hexValue(char16_t c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool isOctal(char c)
{
    return c >= '0' && c <= '7';
}

// "\", "%XX" and "%UXXXX" of a key or section name.
QString unescapeKey(QByteArrayView escaped)
{
    const QString text = QString::fromUtf8(escaped);
    QString key;
    key.reserve(text.size());
    for (qsizetype i = 0; i < text.size();) {
        const QChar c = text.at(i);
        if (c == u'\\') {
            key += u'/';
            ++i;
            continue;
        }
        const qsizetype digits = i + 1 < text.size() && text.at(i + 1) == u'U' ? 4 : 2;
        const qsizetype first = i + 1 + (digits == 4 ? 1 : 0);
        bool ok = false;
        const ushort code = c == u'%' && first + digits <= text.size()
            ? QStringView(text).sliced(first, digits).toUShort(&ok, 16)
            : 0;
        if (ok) {
            key += QChar(code);
            i = first + digits;
        } else {
            key += c;
            ++i;
        }
    }
    return key;
}

void appendEscapedKey(QByteArray &out, QStringView key)
{
    for (const QChar qc : key) {
        const char16_t c = qc.unicode();
        if (c == u'/') {
            out += '\\';
        } else if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_'
            || c == u'-' || c == u'.') {
            out += char(c);
        } else {
            out += c <= 0xFF ? "%" : "%U";
            for (int shift = c <= 0xFF ? 4 : 12; shift >= 0; shift -= 4)
                out += kHexDigits[(c >> shift) & 0xF];
        }
    }
}

// One value: quotes, C escapes (\xHH and octal ones as many digits as
// follow), UTF-8 text; spaces around an unquoted value do not count.
QString unescapeValue(QByteArrayView v)
{
    static constexpr std::pair<char, char> kEscapes[] = { { 'a', '\a' }, { 'b', '\b' }, { 'f', '\f' }, { 'n', '\n' },
        { 'r', '\r' }, { 't', '\t' }, { 'v', '\v' }, { '"', '"' }, { '?', '?' }, { '\'', '\'' }, { '\\', '\\' } };
    QString out;
    bool inQuotes = false;
    bool quoted = false;
    qsizetype i = 0;
    const auto skipSpaces = [&] {
        while (i < v.size() && (v[i] == ' ' || v[i] == '\t'))
            ++i;
    };
    skipSpaces();
    // Trailing spaces are dropped back to here, never into an escape.
    qsizetype keep = 0;
    while (i < v.size()) {
        const char c = v[i];
        if (c == '"') {
            ++i;
            quoted = true;
            inQuotes = !inQuotes;
            if (!inQuotes) {
                skipSpaces();
                keep = out.size();
            }
        } else if (c == '\\') {
            if (++i >= v.size())
                break;
            const char e = v[i++];
            char16_t code = 0;
            bool coded = false;
            for (const auto &[name, value] : kEscapes) {
                if (e == name) {
                    code = char16_t(value);
                    coded = true;
                }
            }
            if (e == 'x') {
                for (; i < v.size() && hexValue(char16_t(v[i])) >= 0; ++i, coded = true)
                    code = char16_t((code << 4) + hexValue(char16_t(v[i])));
            } else if (isOctal(e)) {
                coded = true;
                code = char16_t(e - '0');
                for (; i < v.size() && isOctal(v[i]); ++i)
                    code = char16_t((code << 3) + (v[i] - '0'));
            } else if (isLineEnd(e) && i < v.size() && isLineEnd(v[i]) && v[i] != e) {
                ++i; // an escaped line end, \r\n or \n\r, continues the value
            }
            if (coded)
                out += QChar(code);
            keep = out.size();
        } else {
            qsizetype j = i + 1;
            while (j < v.size() && v[j] != '\\' && v[j] != '"')
                ++j;
            out += QString::fromUtf8(v.sliced(i, j - i));
            i = j;
        }
    }
    if (!quoted) {
        qsizetype n = out.size();
        while (n > keep && (out.at(n - 1) == u' ' || out.at(n - 1) == u'\t'))
            --n;
        out.truncate(n);
    }
    return out;
}

void appendEscapedValue(QByteArray &out, const QString &value)
{
    // Text that begins with "@" would be read as a typed value.
    const QString text = value.startsWith(u'@') ? u'@' + value : value;
    const qsizetype start = out.size();
    bool needsQuotes = false;
    bool escapeNextHexDigit = false; // it would extend the escape before it
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (c == u';' || c == u',' || c == u'=')
            needsQuotes = true;
        if (escapeNextHexDigit && hexValue(c) >= 0) {
            out += "\\x" + QByteArray::number(c, 16);
            continue;
        }
        escapeNextHexDigit = false;
        switch (c) {
        case u'\0':
            out += "\\0";
            escapeNextHexDigit = true;
            break;
        case u'\a': out += "\\a"; break;
        case u'\b': out += "\\b"; break;
        case u'\f': out += "\\f"; break;
        case u'\n': out += "\\n"; break;
        case u'\r': out += "\\r"; break;
        case u'\t': out += "\\t"; break;
        case u'\v': out += "\\v"; break;
        case u'"':
        case u'\\':
            out += '\\';
            out += char(c);
            break;
        default:
            if (c <= 0x1F) {
                out += "\\x" + QByteArray::number(c, 16);
                escapeNextHexDigit = true;
            } else {
                // A run of plain characters at once, so that a surrogate
                // pair becomes one UTF-8 sequence.
                qsizetype j = i + 1;
                while (j < text.size() && text.at(j).unicode() > 0x1F && text.at(j) != u'"' && text.at(j) != u'\\'
                    && text.at(j) != u';' && text.at(j) != u',' && text.at(j) != u'=')
                    ++j;
                out += QStringView(text).sliced(i, j - i).toUtf8();
                i = j - 1;
            }
        }
    }
    if (needsQuotes || (out.size() > start && (out.at(start) == ' ' || out.back() == ' '))) {
        out.insert(start, '"');
        out += '"';
    }
}

struct Line
{
    QByteArrayView text;
    qsizetype equals = -1; // the first "=" outside quotes
};

// The next line that holds something: quotes may span line ends, a "\"
// takes the character after it (a line end too), and ";" outside quotes
// begins a comment that runs to the end of the line.
std::optional<Line> nextLine(QByteArrayView data, qsizetype &pos)
{
    for (;;) {
        while (pos < data.size() && isBlank(data[pos]))
            ++pos;
        if (pos >= data.size())
            return std::nullopt;
        const qsizetype start = pos;
        Line line;
        bool inQuotes = false;
        qsizetype end = -1;
        while (pos < data.size() && end < 0) {
            const char c = data[pos];
            if (c == '\\') {
                pos += 2;
                if (pos < data.size() && isLineEnd(data[pos]) && isLineEnd(data[pos - 1]) && data[pos] != data[pos - 1])
                    ++pos;
                pos = std::min(pos, data.size());
                continue;
            }
            if (!inQuotes && (isLineEnd(c) || c == ';'))
                end = pos;
            else if (c == '"')
                inQuotes = !inQuotes;
            else if (c == '=' && !inQuotes && line.equals < 0)
                line.equals = pos - start;
            ++pos;
        }
        if (end < 0)
            end = pos;
        else if (data[end] == ';')
            while (pos < data.size() && !isLineEnd(data[pos]))
                ++pos;
        if (end > start) {
            line.text = data.sliced(start, end - start);
            return line;
        }
    }
}

} // namespace

Entries parse(const QByteArray &text)
{
    Entries entries;
    QByteArrayView data(text);
    if (data.startsWith("\xEF\xBB\xBF"))
        data = data.sliced(3);
    QString section; // with its trailing "/", empty for [General]
    qsizetype pos = 0;
    while (const std::optional<Line> line = nextLine(data, pos)) {
        if (line->text.startsWith('[')) {
            const qsizetype close = line->text.indexOf(']');
            const QByteArray name
                = (close < 0 ? line->text.sliced(1) : line->text.sliced(1, close - 1)).toByteArray().trimmed();
            if (name.compare("general", Qt::CaseInsensitive) == 0)
                section.clear();
            else if (name.compare("%general", Qt::CaseInsensitive) == 0)
                section = QString::fromLatin1(name.mid(1)) + u'/';
            else
                section = unescapeKey(name) + u'/';
            continue;
        }
        if (line->equals < 0)
            continue;
        const QByteArray key = line->text.first(line->equals).toByteArray().trimmed();
        if (key.isEmpty())
            continue;
        QString value = unescapeValue(line->text.sliced(line->equals + 1));
        // The typed values a text can be read as; "@@" is a text's own "@".
        if (value == u"@Invalid()")
            continue;
        if (value.startsWith(u"@String(") && value.endsWith(u')'))
            value = value.sliced(8).chopped(1);
        else if (value.startsWith(u"@ByteArray(") && value.endsWith(u')'))
            value = QString::fromLatin1(value.sliced(11).chopped(1).toLatin1());
        else if (value.startsWith(u"@@"))
            value.remove(0, 1);
        entries.insert(section + unescapeKey(key), value);
    }
    return entries;
}

QByteArray format(const Entries &entries)
{
    // Keys without a section first, under [General], then each section.
    QMap<QString, QList<Entries::const_iterator>> sections;
    for (auto it = entries.cbegin(); it != entries.cend(); ++it) {
        const qsizetype slash = it.key().indexOf(u'/');
        sections[slash < 0 ? QString() : it.key().left(slash)].append(it);
    }
    QByteArray out;
    for (auto s = sections.cbegin(); s != sections.cend(); ++s) {
        if (!out.isEmpty())
            out += '\n';
        QByteArray name;
        appendEscapedKey(name, s.key());
        if (name.isEmpty())
            name = "General";
        else if (name.compare("general", Qt::CaseInsensitive) == 0)
            name = "%General";
        out += '[' + name + "]\n";
        for (const Entries::const_iterator &it : s.value()) {
            appendEscapedKey(
                out, s.key().isEmpty() ? QStringView(it.key()) : QStringView(it.key()).sliced(s.key().size() + 1));
            out += '=';
            appendEscapedValue(out, it.value());
            out += '\n';
        }
    }
    return out;
}

} // namespace ComponentRegistryFile

} // namespace component
