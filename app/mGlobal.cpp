#include "mGlobal.h"

#include "RuntimeError.h"
#include "SafeFile.h"
#include "TextEncoding.h"
#include "TextLines.h"
#include "VbConvert.h"

namespace {

const QByteArray crlf = QByteArrayLiteral("\r\n");

// Lower-cases the file's text one character at a time, keeping any character
// whose lower-case form would need a different number of bytes. Positions
// found in the result are positions in the original.
QByteArray lowerSameLength(const QByteArray &text, TextFormat::Encoding encoding)
{
    if (encoding == TextFormat::Encoding::Windows1252) {
        QString chars = decodeText(text, encoding);
        for (QChar &c : chars) {
            const QChar lower = c.toLower();
            if (canEncodeText(QString(lower), encoding))
                c = lower;
        }
        return encodeText(chars, encoding);
    }
    QByteArray out = text;
    for (qsizetype i = 0; i < out.size();) {
        const uchar c = uchar(out[i]);
        if (c < 0x80) {
            if (c >= 'A' && c <= 'Z')
                out[i] = char(c + ('a' - 'A'));
            ++i;
            continue;
        }
        qsizetype len = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        // A byte that is not part of a whole UTF-8 character (text from a
        // single-byte code page) stands alone, so the bytes after it, line
        // breaks included, are still looked at one by one.
        for (qsizetype k = 1; k < len; ++k) {
            if (i + k >= out.size() || (uchar(text[i + k]) & 0xC0) != 0x80) {
                len = 1;
                break;
            }
        }
        const QByteArray original = text.mid(i, len);
        const QString decoded = QString::fromUtf8(original);
        if (decoded.size() == 1 && !decoded.at(0).isSurrogate() && decoded.at(0) != QChar::ReplacementCharacter) {
            const QByteArray lowered = QString(decoded.at(0).toLower()).toUtf8();
            if (lowered.size() == original.size())
                out.replace(i, len, lowered);
        }
        i += len;
    }
    return out;
}

// The settings file's text without its byte-order mark, and how it is
// encoded, so that a write gives back every byte it does not change.
struct SettingsFile
{
    QByteArray text;
    TextFormat format;

    QByteArray encode(const QString &name) const { return encodeText(name, format.encoding); }
    QString decode(const QByteArray &bytes) const { return decodeText(bytes, format.encoding); }
    QByteArray lower(const QByteArray &bytes) const { return lowerSameLength(bytes, format.encoding); }
};

// Both file operations first make sure the file exists and is writable by its
// owner (clearing a read-only mark a user may have set), then read it whole.
SettingsFile readSettingsFile(const QString &fileName)
{
    RuntimeError::check(SafeFile::prepareFile(fileName), fileName);
    QByteArray bytes;
    RuntimeError::check(SafeFile::readFile(fileName, bytes), fileName);
    SettingsFile file;
    file.format = detectTextFormat(bytes, true);
    file.text = file.format.byteOrderMark ? bytes.mid(Utf8Bom.size()) : bytes;
    return file;
}

bool hasLineBreak(const QString &text)
{
    return text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n'));
}

} // namespace

QString ReadIniKey(const QString &fileName, const QString &section, const QString &key)
{
    const SettingsFile file = readSettingsFile(fileName);
    const QByteArray header = file.lower("[" + file.encode(section) + "]");
    const QByteArray wanted = file.lower(file.encode(key) + "=");
    bool inSection = false;
    for (const QByteArray &line : splitLines(file.text)) {
        // Only a line that begins with "[" ends a section or starts one, so a
        // value holding "[" (a folder named "[2019] Holidays") reads back.
        if (line.startsWith('[')) {
            inSection = file.lower(line) == header;
            continue;
        }
        if (inSection && file.lower(line.left(wanted.size())) == wanted)
            return file.decode(line.mid(wanted.size()));
    }
    return QString();
}

void WriteIniKey(const QString &fileName, const QString &section, const QString &key, const QString &value)
{
    // A line break would split the entry and could forge other settings.
    if (hasLineBreak(section) || hasLineBreak(key) || hasLineBreak(value))
        throw RuntimeError(ErrNum::InvalidProcedureCall,
            RuntimeError::standardDescription(ErrNum::InvalidProcedureCall)
                + QStringLiteral(": a setting cannot hold a line break"));
    // Such a key could never be read back, and its line would rewrite another
    // section's header or another key.
    if (key.startsWith(QLatin1Char('[')) || key.contains(QLatin1Char('=')))
        throw RuntimeError(ErrNum::InvalidProcedureCall,
            RuntimeError::standardDescription(ErrNum::InvalidProcedureCall)
                + QStringLiteral(": a key cannot start with '[' or hold '='"));

    SettingsFile file = readSettingsFile(fileName);
    // A file from an older system stays in its code page, unless the new
    // entry holds a character that the code page has no byte for: then the
    // whole file moves to the local encoding, which holds every character.
    if (!canEncodeText(section + key + value, file.format.encoding)) {
        file.text = file.decode(file.text).toLocal8Bit();
        file.format.encoding = TextFormat::Encoding::Local;
    }
    // Working text: one line break before, so a header on the first line is
    // found like any other, and "[]" after, so a "[" follows the last section.
    QByteArray text = crlf + withLineEnds(file.text, crlf) + "[]";
    const QByteArray low = file.lower(text);
    const QByteArray sectionBytes = file.encode(section);
    const QByteArray keyBytes = file.encode(key);
    const QByteArray entry = keyBytes + "=" + file.encode(value);

    const qsizetype headerPos = low.indexOf(crlf + file.lower("[" + sectionBytes + "]") + "\r");
    if (headerPos < 0) {
        text.chop(2);
        text += crlf + crlf + "[" + sectionBytes + "]" + crlf + entry;
    } else {
        // bodyPos: the LF that ends the header line.
        const qsizetype bodyPos = headerPos + sectionBytes.size() + 5;
        const qsizetype nextLine = low.indexOf("\n[", bodyPos);
        const qsizetype nextPos = nextLine < 0 ? text.size() - 2 : nextLine + 1;
        const qsizetype keyPos = low.indexOf("\n" + file.lower(keyBytes + "="), headerPos);
        text.chop(2);
        if (keyPos < 0 || keyPos > nextPos) {
            text.insert(bodyPos + 1, entry + crlf);
        } else {
            qsizetype end = text.indexOf('\r', keyPos);
            if (end < 0)
                end = text.size();
            text.replace(keyPos + 1, end - keyPos - 1, entry);
        }
    }

    text.remove(0, 1);
    while (text.contains("\r\n\r\n\r\n"))
        text.replace("\r\n\r\n\r\n", "\r\n\r\n");
    while (!text.isEmpty() && uchar(text.back()) <= 13)
        text.chop(1);
    while (!text.isEmpty() && uchar(text.front()) <= 13)
        text.remove(0, 1);
    text += crlf;

    if (file.format.byteOrderMark)
        text.prepend(Utf8Bom);
    // Written completely beside the old file, then put in its place, so a
    // crash or a full disk never leaves a torn settings file.
    RuntimeError::check(SafeFile::replaceFile(fileName, text, SafeFile::Durability::Synced), fileName);
}

QString UCasePart(const QString &text, int start, int count)
{
    if (start < 1 || count < 0)
        throw RuntimeError(ErrNum::InvalidProcedureCall);
    QString result = text.mid(start - 1);
    const qsizetype upto = qMin<qsizetype>(count, result.size());
    for (qsizetype i = 0; i < upto; ++i)
        result[i] = result[i].toUpper();
    return result;
}

int GetLowestIndex(const QList<qsizetype> &list)
{
    int lowest = 0;
    for (int i = 0; i < list.size(); ++i) {
        if (list[i] == 0)
            continue;
        if (list[lowest] == 0 || list[i] < list[lowest])
            lowest = i;
    }
    return lowest;
}

qint16 CInt(const QString &text)
{
    const VbConvert::Result result = VbConvert::toInteger(text);
    if (!result.ok())
        throw RuntimeError(result.error);
    return qint16(result.value);
}
