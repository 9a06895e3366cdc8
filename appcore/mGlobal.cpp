#include "mGlobal.h"

#include "RuntimeError.h"
#include "SafeFile.h"
#include "TextEncoding.h"
#include "TextLines.h"
#include "VbConvert.h"

namespace VbConvert = component::VbConvert;

namespace SafeFile = platform::SafeFile;
using platform::canEncodeText;
using platform::decodeFile;
using platform::detectTextFormat;
using platform::encodeFile;
using platform::splitLines;
using platform::TextFormat;

namespace ErrNum = errorlog::ErrNum;
using errorlog::RuntimeError;

namespace appcore {

namespace {

const QString crlf = QStringLiteral("\r\n");

// The UTF-8 length of a character of the Basic Multilingual Plane (a
// surrogate stands for half of a four-byte character).
int utf8Length(QChar c)
{
    return c.unicode() < 0x80 ? 1 : c.unicode() < 0x800 ? 2 : 3;
}

// Characters a write trims from both ends of the file: CR, LF, tab and the
// other control characters up to CR.
bool isTrimmed(QChar c)
{
    return c.unicode() <= 13;
}

// The settings file's text, and how it is encoded, so that a write gives
// back every byte it does not change.
struct SettingsFile
{
    QString text;
    TextFormat format;

    // Lower-cases one character at a time, keeping any character whose
    // lower-case form the file would hold in a different number of bytes, so
    // that names match the same way in every encoding.
    QString lower(QString name) const
    {
        for (QChar &c : name) {
            const QChar low = c.toLower();
            if (low == c)
                continue;
            switch (format.encoding) {
            case TextFormat::Encoding::Local:
                if (utf8Length(low) == utf8Length(c))
                    c = low;
                break;
            case TextFormat::Encoding::Windows1252:
                if (canEncodeText(QString(low), format.encoding))
                    c = low;
                break;
            case TextFormat::Encoding::Utf16LE:
            case TextFormat::Encoding::Utf16BE: c = low; break;
            }
        }
        return name;
    }
};

// What a crash can leave before the text on some file systems (NUL bytes),
// and other control characters up to CR, lead no line: a write trims them,
// so a read must not let them hide the header that follows. They are passed
// over before a byte-order mark and after it.
SettingsFile parseSettings(const QByteArray &bytes)
{
    qsizetype lead = 0;
    while (lead < bytes.size() && uchar(bytes[lead]) <= 13)
        ++lead;
    SettingsFile file;
    const QByteArray rest = bytes.mid(lead);
    file.format = detectTextFormat(rest, true);
    file.text = decodeFile(rest, file.format);
    lead = 0;
    while (lead < file.text.size() && isTrimmed(file.text.at(lead)))
        ++lead;
    file.text.remove(0, lead);
    return file;
}

// Both file operations first make sure the file exists and is writable by its
// owner (clearing a read-only mark a user may have set), then read it whole.
SettingsFile readSettingsFile(const QString &fileName)
{
    RuntimeError::check(SafeFile::prepareFile(fileName), fileName);
    QByteArray bytes;
    RuntimeError::check(SafeFile::readFile(fileName, bytes), fileName);
    return parseSettings(bytes);
}

bool hasLineBreak(const QString &text)
{
    return text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n'));
}

// The file's lines with `key` set to `value` in `section`: the entry takes
// the place of the key's line in the first header of that name, or becomes
// the section's first line; a section not found is added at the end, after
// an empty line. A header on a last line that no line break ends is not
// taken for one, and a section ends at the next line that begins with "[",
// exactly as reads see it.
QStringList withEntry(const SettingsFile &file, const QString &section, const QString &key, const QString &value)
{
    QStringList lines = splitLines(file.text);
    const QString header = QLatin1Char('[') + section + QLatin1Char(']');
    const QString entry = key + QLatin1Char('=') + value;
    const QString lowHeader = file.lower(header);
    const QString lowKey = file.lower(key + QLatin1Char('='));

    const bool lastLineEnded = file.text.endsWith(QLatin1Char('\r')) || file.text.endsWith(QLatin1Char('\n'));
    const qsizetype headerLines = lastLineEnded ? lines.size() : lines.size() - 1;
    qsizetype headerAt = 0;
    while (headerAt < headerLines && file.lower(lines.at(headerAt)) != lowHeader)
        ++headerAt;
    if (headerAt >= headerLines) {
        lines << QString() << header << entry;
        return lines;
    }
    qsizetype keyAt = headerAt + 1;
    while (keyAt < lines.size() && !lines.at(keyAt).startsWith(QLatin1Char('['))
        && file.lower(lines.at(keyAt).left(lowKey.size())) != lowKey)
        ++keyAt;
    if (keyAt < lines.size() && !lines.at(keyAt).startsWith(QLatin1Char('[')))
        lines[keyAt] = entry;
    else
        lines.insert(headerAt + 1, entry);
    return lines;
}

// The text a write stores: the lines with CR LF, never two empty lines in a
// row, control characters trimmed from both ends, one CR LF at the end.
QString settingsText(const QStringList &lines)
{
    QString text;
    bool afterEmpty = false;
    for (const QString &line : lines) {
        if (line.isEmpty() && afterEmpty)
            continue;
        afterEmpty = line.isEmpty();
        text += line + crlf;
    }
    qsizetype end = text.size();
    while (end > 0 && isTrimmed(text.at(end - 1)))
        --end;
    qsizetype start = 0;
    while (start < end && isTrimmed(text.at(start)))
        ++start;
    return text.mid(start, end - start) + crlf;
}

} // namespace

QString ReadIniKey(const QString &fileName, const QString &section, const QString &key)
{
    const SettingsFile file = readSettingsFile(fileName);
    const QString header = file.lower(QLatin1Char('[') + section + QLatin1Char(']'));
    const QString wanted = file.lower(key + QLatin1Char('='));
    bool inSection = false;
    for (const QString &line : splitLines(file.text)) {
        // Only a line that begins with "[" ends a section or starts one, so a
        // value holding "[" (a folder named "[2019] Holidays") reads back.
        if (line.startsWith(QLatin1Char('['))) {
            inSection = file.lower(line) == header;
            continue;
        }
        if (inSection && file.lower(line.left(wanted.size())) == wanted)
            return line.mid(wanted.size());
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
    if (!canEncodeText(section + key + value, file.format.encoding))
        file.format.encoding = TextFormat::Encoding::Local;
    const QString text = settingsText(withEntry(file, section, key, value));

    // Written completely beside the old file, then put in its place, so a
    // crash or a full disk never leaves a torn settings file.
    RuntimeError::check(
        SafeFile::replaceFile(fileName, encodeFile(text, file.format), SafeFile::Durability::Synced), fileName);
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

} // namespace appcore
