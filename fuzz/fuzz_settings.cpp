// Settings file: any file bytes, any section, key and value. Neither reading
// nor writing may crash or hang, a refused write leaves the file alone, and a
// write that the file format can hold reads back: the key gives the value,
// the other keys keep theirs, a leading byte-order mark stays, and the file
// ends with exactly one CR LF. Files that are no valid UTF-8 are read as
// Windows-1252; the model decodes them with Qt's own converter.

#include "RuntimeError.h"
#include "mGlobal.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QStringList>
#include <QTemporaryDir>

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

namespace {

// One file, reused by every input, in a folder of this process alone so that
// parallel runs do not share it. TMPDIR decides where; the folder goes when
// the run ends normally.
const QString &iniPath()
{
    static QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/tovrane-fuzz-settings-XXXXXX"));
    static const QString path = [] {
        if (!dir.isValid()) {
            std::fprintf(stderr, "cannot create a folder below %s\n", qPrintable(QDir::tempPath()));
            std::abort();
        }
        return dir.filePath(QStringLiteral("Settings.ini"));
    }();
    return path;
}

QByteArray fileBytes()
{
    QFile file(iniPath());
    if (!file.open(QIODevice::ReadOnly))
        return QByteArrayLiteral("<unreadable>");
    return file.readAll();
}

void setFileBytes(const QByteArray &bytes)
{
    QFile file(iniPath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(iniPath()));
        std::abort();
    }
}

// C-style escapes, so a report shows control characters and raw bytes.
std::string shown(const QByteArray &bytes)
{
    std::string out = "\"";
    for (const char c : bytes) {
        const auto u = uchar(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u >= 0x20 && u < 0x7f) {
            out += c;
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", u);
            out += hex;
        }
    }
    return out + "\"";
}

std::string shown(const QString &text)
{
    return shown(text.toUtf8());
}

struct Case
{
    QByteArray before;
    QString section;
    QString key;
    QString value;
};

[[noreturn]] void fail(const Case &c, const char *what, const QString &expected = {}, const QString &actual = {})
{
    std::fprintf(stderr,
        "\n*** settings file: %s\n  file before: %s\n  section: %s\n  key: %s\n  value: %s\n"
        "  expected: %s\n  actual: %s\n  file after: %s\n",
        what, shown(c.before).c_str(), shown(c.section).c_str(), shown(c.key).c_str(), shown(c.value).c_str(),
        shown(expected).c_str(), shown(actual).c_str(), shown(fileBytes()).c_str());
    std::abort();
}

const QByteArray Bom = QByteArrayLiteral("\xEF\xBB\xBF");

// How the model reads a file: its byte-order mark aside, UTF-8 when the bytes
// are exactly that, else Windows-1252.
struct Form
{
    bool bom = false;
    bool cp1252 = false;

    explicit Form(const QByteArray &file)
        : bom(file.startsWith(Bom))
    {
        const QByteArray body = this->body(file);
        cp1252 = QString::fromUtf8(body).toUtf8() != body;
    }
    QByteArray body(const QByteArray &file) const { return bom ? file.mid(Bom.size()) : file; }
    QString decode(const QByteArray &bytes) const
    {
        if (!cp1252)
            return QString::fromUtf8(bytes);
        QStringDecoder decoder("windows-1252");
        return decoder.decode(bytes);
    }
    QByteArray encode(const QString &text) const
    {
        if (!cp1252)
            return text.toUtf8();
        QStringEncoder encoder("windows-1252");
        return encoder.encode(text);
    }
    // Section and key names match the way the file matches them: character
    // by character, lower-cased where that keeps the character's encoded
    // length (in Windows-1252: where the lower-case letter has a byte).
    QString fold(const QString &name) const
    {
        QString out = name;
        for (QChar &c : out) {
            const QChar lower = c.toLower();
            if (c.isSurrogate())
                continue;
            if (cp1252 ? canEncode(lower) : QString(lower).toUtf8().size() == QString(c).toUtf8().size())
                c = lower;
        }
        return out;
    }
    static bool canEncode(QChar c)
    {
        QStringEncoder encoder("windows-1252");
        const QByteArray bytes = encoder.encode(QString(c));
        return !encoder.hasError() && bytes.size() == 1 && (bytes != "?" || c == u'?');
    }
};

bool hasLineBreak(const QString &text)
{
    return text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n'));
}

bool endsInControl(const QString &text)
{
    return !text.isEmpty() && text.back().unicode() <= 13;
}

QString withoutTrailingControls(QString text)
{
    while (endsInControl(text))
        text.chop(1);
    return text;
}

QList<QByteArray> lines(const QByteArray &text)
{
    QList<QByteArray> out;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n')
            continue;
        out.append(text.mid(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        out.append(text.mid(start));
    return out;
}

// Every name a line of the file could give a key: the text before the first
// "=" of each line that is no section line. Capped, for speed.
QStringList keysInFile(const QByteArray &file, const Form &form)
{
    QStringList keys;
    QStringList folded;
    for (const QByteArray &line : lines(form.body(file))) {
        const qsizetype eq = line.indexOf('=');
        if (line.startsWith('[') || eq < 0)
            continue;
        const QString key = form.decode(line.left(eq));
        if (folded.contains(form.fold(key)))
            continue;
        keys << key;
        folded << form.fold(key);
        if (keys.size() == 12)
            break;
    }
    return keys;
}

QStringList sectionsInFile(const QByteArray &file, const Form &form)
{
    QStringList sections;
    for (const QByteArray &line : lines(form.body(file))) {
        if (line.startsWith('[') && line.endsWith(']') && line.size() >= 2)
            sections << form.decode(line.mid(1, line.size() - 2));
    }
    return sections;
}

// A line's text as a name, or nothing when its bytes are no valid text: such
// bytes can never equal a name given as text, whatever their case.
std::optional<QString> asText(const QByteArray &bytes, const Form &form)
{
    const QString text = form.decode(bytes);
    if (form.encode(text) != bytes)
        return std::nullopt;
    return text;
}

// How many lines a write must add: none when the key already stands in the
// first block of the section (from its first header that ends in a line
// break to the next line that begins with "["), where it is replaced; one
// when it goes under that header; two when the section is appended.
int linesAdded(const QByteArray &file, const Form &form, const QString &section, const QString &key)
{
    const QList<QByteArray> all = lines(form.body(file));
    const bool lastLineEnded = file.endsWith('\r') || file.endsWith('\n');
    const QString header = form.fold(QLatin1Char('[') + section + QLatin1Char(']'));
    const QString wanted = form.fold(key);
    const qsizetype wantedBytes = form.encode(key).size();
    bool inBlock = false;
    for (qsizetype i = 0; i < all.size(); ++i) {
        const QByteArray &line = all.at(i);
        if (!inBlock) {
            const bool ended = i + 1 < all.size() || lastLineEnded;
            const std::optional<QString> text = asText(line, form);
            inBlock = ended && text && form.fold(*text) == header;
            continue;
        }
        if (line.startsWith('['))
            return 1;
        if (line.size() > wantedBytes && line[wantedBytes] == '=') {
            const std::optional<QString> name = asText(line.left(wantedBytes), form);
            if (name && form.fold(*name) == wanted)
                return 0;
        }
    }
    return inBlock ? 1 : 2;
}

// Lines that hold anything but control characters: the only ones a write
// can neither collapse (runs of empty lines) nor trim (the file's ends).
qsizetype solidLines(const QByteArray &file, const Form &form)
{
    qsizetype count = 0;
    for (const QByteArray &line : lines(form.body(file))) {
        if (std::any_of(line.begin(), line.end(), [](char c) { return uchar(c) > 13; }))
            ++count;
    }
    return count;
}

// Writes that the format itself cannot carry back. Such inputs are still
// written, to find crashes and hangs, but their result is not checked.
bool roundTripPromised(const Case &c, const Form &form)
{
    // A line that begins with "[" is a section line, never a key.
    if (c.key.startsWith(QLatin1Char('[')))
        return false;
    // The key of a line is what stands before its first "="; "a=b" is key
    // "a" with a value beginning "b=", so writing it changes key "a".
    if (c.key.contains(QLatin1Char('=')))
        return false;
    // A write removes the control characters that begin the file; when they
    // stand before a "[" on the first line, that line becomes a section line
    // and can take over keys that a later header of the same name held. (The
    // text begins after a byte-order mark.)
    const QByteArray text = form.body(c.before);
    qsizetype lead = 0;
    while (lead < text.size() && uchar(text[lead]) <= 13)
        ++lead;
    if (lead > 0 && lead < text.size() && text[lead] == '[' && text[lead - 1] != '\r' && text[lead - 1] != '\n')
        return false;
    return true;
}

} // namespace

// Every write is committed through a sync to disk; durability is not under
// test here, and waiting for the disk would cut the rate about tenfold. These
// stand in for the C library's for the whole process, Qt included.
extern "C" int fdatasync(int)
{
    return 0;
}

extern "C" int fsync(int)
{
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider provider(data, size);
    const int sectionChoice = provider.ConsumeIntegralInRange(0, 3);
    const int keyChoice = provider.ConsumeIntegralInRange(0, 3);
    const int pick = provider.ConsumeIntegral<uint8_t>();
    // What common Windows editors put first, too rare in random bytes.
    const bool withBom = provider.ConsumeIntegralInRange(0, 3) == 0;
    const std::string sectionText = provider.ConsumeRandomLengthString(16);
    const std::string keyText = provider.ConsumeRandomLengthString(24);
    const std::string valueText = provider.ConsumeRandomLengthString(48);
    const std::vector<uint8_t> rest = provider.ConsumeRemainingBytes<uint8_t>();

    Case c;
    c.before = QByteArray(reinterpret_cast<const char *>(rest.data()), qsizetype(rest.size()));
    if (withBom)
        c.before.prepend(Bom);
    const Form form(c.before);
    // Mostly names that the file holds, so that the rewrite paths are taken
    // as often as the append paths.
    const QStringList sections = sectionsInFile(c.before, form);
    const QStringList fileKeys = keysInFile(c.before, form);
    if (sectionChoice == 0)
        c.section = QString::fromUtf8(sectionText);
    else if (sectionChoice == 1 || sections.isEmpty())
        c.section = QStringLiteral("Settings");
    else
        c.section = sections.at(pick % sections.size());
    if (keyChoice == 0 || fileKeys.isEmpty())
        c.key = QString::fromUtf8(keyText);
    else
        c.key = fileKeys.at(pick % fileKeys.size());
    c.value = QString::fromUtf8(valueText);

    setFileBytes(c.before);
    try {
        // Reading anything must work on any file.
        QStringList otherKeys;
        QStringList valuesBefore;
        for (const QString &key : fileKeys) {
            if (form.fold(key) == form.fold(c.key))
                continue;
            otherKeys << key;
            valuesBefore << ReadIniKey(iniPath(), c.section, key);
        }

        // Line breaks anywhere, and keys that would read as a header or hide
        // an "=", are refused: they could forge other settings.
        const bool forging = c.key.startsWith(u'[') || c.key.contains(u'=');
        if (hasLineBreak(c.section) || hasLineBreak(c.key) || hasLineBreak(c.value) || forging) {
            try {
                WriteIniKey(iniPath(), c.section, c.key, c.value);
            } catch (const RuntimeError &e) {
                if (e.number() != ErrNum::InvalidProcedureCall)
                    fail(c, "a forging write was refused with the wrong error",
                        QString::number(ErrNum::InvalidProcedureCall), QString::number(e.number()));
                if (fileBytes() != c.before)
                    fail(c, "a refused write changed the file");
                return 0;
            }
            fail(c, "a forging write was accepted");
        }

        WriteIniKey(iniPath(), c.section, c.key, c.value);
        const QByteArray after = fileBytes();
        // Exactly one CR LF at the end: a write trims every control character
        // there before adding it, and "key=" always leaves something.
        if (after.size() < 3 || !after.endsWith("\r\n") || uchar(after[after.size() - 3]) <= 13)
            fail(c, "the file does not end with exactly one CR LF");
        // (A file without one can come to begin with those bytes when the
        // control characters before them are trimmed.)
        if (form.bom && !after.startsWith(Bom))
            fail(c, "the byte-order mark was not kept");
        // A Windows-1252 file whose only bytes that are no UTF-8 were just
        // overwritten reads as UTF-8 from now on: its encoding is told from
        // its bytes, and these no longer tell it.
        const bool keptInCodePage = std::all_of(c.section.begin(), c.section.end(), Form::canEncode)
            && std::all_of(c.key.begin(), c.key.end(), Form::canEncode)
            && std::all_of(c.value.begin(), c.value.end(), Form::canEncode);
        if (form.cp1252 && keptInCodePage && !Form(after).cp1252)
            return 0;
        if (!roundTripPromised(c, form))
            return 0;
        // The key's line is replaced in place, or one line (or a header and a
        // line) is added: a write never leaves the old line to shadow or be
        // shadowed by the new one.
        // Counted as the file before was: bytes of a mark that only came to
        // lead the file are a line like any other.
        Form afterForm(after);
        afterForm.bom = form.bom;
        const qsizetype expectedLines = solidLines(c.before, form) + linesAdded(c.before, form, c.section, c.key);
        if (solidLines(after, afterForm) != expectedLines)
            fail(c, "the write did not replace the key's line or add exactly its own", QString::number(expectedLines),
                QString::number(solidLines(after, afterForm)));

        // Control characters that end the file's last line are removed by
        // every write, and so from a value that stands last.
        const auto sameValue = [&](const QString &expected, const QString &actual) {
            return actual == expected || (endsInControl(expected) && actual == withoutTrailingControls(expected));
        };
        const QString readBack = ReadIniKey(iniPath(), c.section, c.key);
        if (!sameValue(c.value, readBack))
            fail(c, "the written value does not read back", c.value, readBack);
        for (qsizetype i = 0; i < otherKeys.size(); ++i) {
            if (valuesBefore.at(i).isEmpty())
                continue;
            const QString now = ReadIniKey(iniPath(), c.section, otherKeys.at(i));
            if (!sameValue(valuesBefore.at(i), now))
                fail(c, qPrintable(QStringLiteral("another key changed its value: ") + otherKeys.at(i)),
                    valuesBefore.at(i), now);
        }
    } catch (const RuntimeError &e) {
        fail(c, qPrintable(QStringLiteral("unexpected failure %1: %2").arg(e.number()).arg(e.description())));
    }
    return 0;
}
