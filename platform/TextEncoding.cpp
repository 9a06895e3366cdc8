#include "TextEncoding.h"

#include <QStringDecoder>

#include <array>
#include <utility>

namespace platform {

namespace {

// Windows-1252 differs from Latin-1 only in 0x80-0x9F. The five bytes it
// leaves unassigned (0x81, 0x8D, 0x8F, 0x90, 0x9D) keep their Latin-1
// meaning, so every byte has a character and every such character its byte.
constexpr std::array<char16_t, 32> Cp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178, // 98-9F
};

char16_t cp1252ToUnicode(uchar byte)
{
    return byte >= 0x80 && byte <= 0x9F ? Cp1252High[byte - 0x80] : char16_t(byte);
}

// The byte of `c` in Windows-1252, or -1.
int unicodeToCp1252(char16_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return c;
    for (int i = 0; i < int(Cp1252High.size()); ++i) {
        if (Cp1252High[std::size_t(i)] == c)
            return 0x80 + i;
    }
    return -1;
}

// The local encoding's text of `bytes`, a byte-order mark at the start kept
// as a character (QString::fromLocal8Bit would drop it, and with it bytes of
// the file).
QString decodeLocal(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringConverter::System, QStringConverter::Flag::ConvertInitialBom);
    return decoder.decode(bytes);
}

const QByteArray Utf16LeBom = QByteArrayLiteral("\xFF\xFE");
const QByteArray Utf16BeBom = QByteArrayLiteral("\xFE\xFF");

bool isUtf16(TextFormat::Encoding encoding)
{
    return encoding == TextFormat::Encoding::Utf16LE || encoding == TextFormat::Encoding::Utf16BE;
}

bool isLocal(const QByteArray &bytes)
{
    for (const char c : bytes) {
        if (uchar(c) >= 0x80)
            return decodeLocal(bytes).toLocal8Bit() == bytes;
    }
    return true;
}

} // namespace

QByteArray byteOrderMarkOf(const TextFormat &format)
{
    if (!format.byteOrderMark)
        return {};
    switch (format.encoding) {
    case TextFormat::Encoding::Utf16LE: return Utf16LeBom;
    case TextFormat::Encoding::Utf16BE: return Utf16BeBom;
    case TextFormat::Encoding::Local:
    case TextFormat::Encoding::Windows1252: break;
    }
    return Utf8Bom;
}

TextFormat detectTextFormat(const QByteArray &bytes, bool withBom)
{
    TextFormat format;
    for (const auto &[bom, encoding] : { std::pair(Utf16LeBom, TextFormat::Encoding::Utf16LE),
             std::pair(Utf16BeBom, TextFormat::Encoding::Utf16BE) }) {
        if (withBom && bytes.startsWith(bom))
            return { encoding, true };
    }
    QByteArray body = bytes;
    if (withBom && bytes.startsWith(Utf8Bom)) {
        format.byteOrderMark = true;
        body = bytes.mid(Utf8Bom.size());
    }
    format.encoding = isLocal(body) ? TextFormat::Encoding::Local : TextFormat::Encoding::Windows1252;
    return format;
}

QString decodeText(const QByteArray &bytes, TextFormat::Encoding encoding)
{
    if (encoding == TextFormat::Encoding::Local)
        return decodeLocal(bytes);
    if (isUtf16(encoding)) {
        const bool little = encoding == TextFormat::Encoding::Utf16LE;
        QString text(bytes.size() / 2, Qt::Uninitialized);
        for (qsizetype i = 0; i < text.size(); ++i) {
            const auto first = uchar(bytes[2 * i]), second = uchar(bytes[2 * i + 1]);
            text[i] = QChar(little ? char16_t(first | second << 8) : char16_t(first << 8 | second));
        }
        return text;
    }
    QString text(bytes.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i)
        text[i] = QChar(cp1252ToUnicode(uchar(bytes[i])));
    return text;
}

bool canEncodeText(const QString &text, TextFormat::Encoding encoding)
{
    if (encoding == TextFormat::Encoding::Local)
        return QString::fromLocal8Bit(text.toLocal8Bit()) == text;
    if (isUtf16(encoding))
        return true;
    for (const QChar c : text) {
        if (unicodeToCp1252(c.unicode()) < 0)
            return false;
    }
    return true;
}

QByteArray encodeText(const QString &text, TextFormat::Encoding encoding)
{
    if (encoding == TextFormat::Encoding::Local)
        return text.toLocal8Bit();
    if (isUtf16(encoding)) {
        const bool little = encoding == TextFormat::Encoding::Utf16LE;
        QByteArray bytes(2 * text.size(), Qt::Uninitialized);
        for (qsizetype i = 0; i < text.size(); ++i) {
            const char16_t unit = text.at(i).unicode();
            bytes[2 * i + (little ? 0 : 1)] = char(unit & 0xFF);
            bytes[2 * i + (little ? 1 : 0)] = char(unit >> 8);
        }
        return bytes;
    }
    QByteArray bytes(text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const int byte = unicodeToCp1252(text.at(i).unicode());
        bytes[i] = byte < 0 ? '?' : char(byte);
    }
    return bytes;
}

QString decodeFile(const QByteArray &bytes, const TextFormat &format)
{
    const QByteArray bom = byteOrderMarkOf(format);
    const qsizetype skip = !bom.isEmpty() && bytes.startsWith(bom) ? bom.size() : 0;
    return decodeText(bytes.mid(skip), format.encoding);
}

QByteArray encodeFile(const QString &text, const TextFormat &format)
{
    TextFormat::Encoding encoding = format.encoding;
    if (!canEncodeText(text, encoding))
        encoding = TextFormat::Encoding::Local;
    return byteOrderMarkOf(format) + encodeText(text, encoding);
}

QString escapedBytes(const QByteArray &raw)
{
    QString out;
    for (qsizetype i = 0; i < raw.size();) {
        const auto lead = uchar(raw.at(i));
        // Names come as UTF-8 (on Windows, converted from the system's
        // UTF-16), which fixes the sequence lengths. A character the local
        // encoding cannot hold, in which messages are written, stays bytes.
        const qsizetype length = lead < 0x80 ? 1
            : lead >= 0xC2 && lead <= 0xDF   ? 2
            : lead >= 0xE0 && lead <= 0xEF   ? 3
            : lead >= 0xF0 && lead <= 0xF4   ? 4
                                             : 0;
        if (length > 0 && i + length <= raw.size() && lead >= 0x20 && lead != 0x7F && lead != '\\') {
            const QByteArray piece = raw.mid(i, length);
            const QString decoded = QString::fromUtf8(piece);
            if (decoded.toUtf8() == piece && canEncodeText(decoded, TextFormat::Encoding::Local)) {
                out += decoded;
                i += length;
                continue;
            }
        }
        out += QString::asprintf("\\x%02X", unsigned(lead));
        ++i;
    }
    return out;
}

} // namespace platform
