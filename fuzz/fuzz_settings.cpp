// Settings file: any file bytes, any section, key and value. Neither reading
// nor writing may crash or hang, a refused write leaves the file alone, and a
// write that the file format can hold reads back: the key gives the value,
// the other keys keep theirs, a byte-order mark stays, and the file ends with
// exactly one CR LF. Files that are no valid UTF-8 are read as Windows-1252;
// files with a UTF-16 byte-order mark as UTF-16. The model decodes them with
// Qt's own converters. Control characters before the text (and before its
// byte-order mark) lead no line.

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
#include <string>
#include <utility>

using namespace platform;

using namespace errorlog;

using namespace appcore;

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
const QByteArray Utf16LeBom = QByteArrayLiteral("\xFF\xFE");
const QByteArray Utf16BeBom = QByteArrayLiteral("\xFE\xFF");

QString fromUtf16(const QByteArray &bytes, bool little)
{
    QString text;
    for (qsizetype i = 0; i + 1 < bytes.size(); i += 2) {
        const auto a = uchar(bytes[i]), b = uchar(bytes[i + 1]);
        text += QChar(little ? char16_t(a | b << 8) : char16_t(a << 8 | b));
    }
    return text;
}

QByteArray toUtf16(const QString &text, bool little)
{
    QByteArray bytes;
    for (const QChar c : text) {
        const char lo = char(c.unicode() & 0xFF), hi = char(c.unicode() >> 8);
        bytes.append(little ? lo : hi).append(little ? hi : lo);
    }
    return bytes;
}

QString fromCp1252(const QByteArray &bytes)
{
    QStringDecoder decoder("windows-1252");
    return decoder.decode(bytes);
}

// How the model reads a file: control characters up to CR before it aside,
// then its byte-order mark aside; UTF-16 after a UTF-16 mark, else UTF-8 when
// the bytes are exactly that, else Windows-1252.
struct Form
{
    enum class Kind { Plain, Utf8Bom, Utf16LE, Utf16BE };
    Kind kind = Kind::Plain;
    bool cp1252 = false;
    // UTF-16 of even length without a lone surrogate: what a round trip can
    // promise to keep.
    bool valid = true;
    QByteArray raw; // the bytes after the mark

    explicit Form(const QByteArray &file)
    {
        qsizetype lead = 0;
        while (lead < file.size() && uchar(file[lead]) <= 13)
            ++lead;
        raw = file.mid(lead);
        for (const auto &[bom, kindOfBom] : { std::pair(Utf16LeBom, Kind::Utf16LE),
                 std::pair(Utf16BeBom, Kind::Utf16BE), std::pair(Bom, Kind::Utf8Bom) }) {
            if (raw.startsWith(bom)) {
                kind = kindOfBom;
                raw = raw.mid(bom.size());
                break;
            }
        }
        if (utf16()) {
            const QString units = fromUtf16(raw, kind == Kind::Utf16LE);
            valid = raw.size() % 2 == 0 && QString::fromUtf8(units.toUtf8()) == units;
        } else {
            cp1252 = QString::fromUtf8(raw).toUtf8() != raw;
        }
    }
    bool utf16() const { return kind == Kind::Utf16LE || kind == Kind::Utf16BE; }
    QByteArray mark() const
    {
        return kind == Kind::Utf16LE ? Utf16LeBom
            : kind == Kind::Utf16BE  ? Utf16BeBom
            : kind == Kind::Utf8Bom  ? Bom
                                     : "";
    }
    // The text the lines are read from.
    QString text() const
    {
        QString all = utf16() ? fromUtf16(raw, kind == Kind::Utf16LE)
            : cp1252          ? fromCp1252(raw)
                              : QString::fromUtf8(raw);
        qsizetype lead = 0;
        while (lead < all.size() && all.at(lead).unicode() <= 13)
            ++lead;
        return all.mid(lead);
    }
    // Section and key names match the way the file matches them: character
    // by character, lower-cased where that keeps the character's encoded
    // length (in Windows-1252: where the lower-case letter has a byte; in
    // UTF-16 always).
    QString fold(const QString &name) const
    {
        QString out = name;
        for (QChar &c : out) {
            const QChar lower = c.toLower();
            if (c.isSurrogate())
                continue;
            if (utf16() || (cp1252 ? canEncode(lower) : QString(lower).toUtf8().size() == QString(c).toUtf8().size()))
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

QStringList lines(const QString &text)
{
    QStringList out;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != u'\r' && text[i] != u'\n')
            continue;
        out.append(text.mid(start, i - start));
        if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        out.append(text.mid(start));
    return out;
}

// Every name a line of the file could give a key: the text before the first
// "=" of each line that is no section line. Capped, for speed.
QStringList keysInFile(const Form &form)
{
    QStringList keys;
    QStringList folded;
    for (const QString &line : lines(form.text())) {
        const qsizetype eq = line.indexOf(u'=');
        if (line.startsWith(u'[') || eq < 0)
            continue;
        const QString key = line.left(eq);
        if (folded.contains(form.fold(key)))
            continue;
        keys << key;
        folded << form.fold(key);
        if (keys.size() == 12)
            break;
    }
    return keys;
}

QStringList sectionsInFile(const Form &form)
{
    QStringList sections;
    for (const QString &line : lines(form.text())) {
        if (line.startsWith(u'[') && line.endsWith(u']') && line.size() >= 2)
            sections << line.mid(1, line.size() - 2);
    }
    return sections;
}

// How many lines a write must add: none when the key already stands in the
// first block of the section (from its first header that ends in a line
// break to the next line that begins with "["), where it is replaced; one
// when it goes under that header; two when the section is appended.
int linesAdded(const Form &form, const QString &section, const QString &key)
{
    const QString text = form.text();
    const QStringList all = lines(text);
    const bool lastLineEnded = text.endsWith(u'\r') || text.endsWith(u'\n');
    const QString header = form.fold(QLatin1Char('[') + section + QLatin1Char(']'));
    const QString wanted = form.fold(key);
    bool inBlock = false;
    for (qsizetype i = 0; i < all.size(); ++i) {
        const QString &line = all.at(i);
        if (!inBlock) {
            const bool ended = i + 1 < all.size() || lastLineEnded;
            inBlock = ended && form.fold(line) == header;
            continue;
        }
        if (line.startsWith(u'['))
            return 1;
        if (line.size() > key.size() && line[key.size()] == u'=' && form.fold(line.left(key.size())) == wanted)
            return 0;
    }
    return inBlock ? 1 : 2;
}

// Lines that hold anything but control characters: the only ones a write
// can neither collapse (runs of empty lines) nor trim (the file's ends).
qsizetype solidLines(const Form &form)
{
    qsizetype count = 0;
    for (const QString &line : lines(form.text())) {
        if (std::any_of(line.begin(), line.end(), [](QChar c) { return c.unicode() > 13; }))
            ++count;
    }
    return count;
}

// Writes that the format itself cannot carry back. Such inputs are still
// written, to find crashes and hangs, but their result is not checked.
bool roundTripPromised(const Case &c)
{
    // A line that begins with "[" is a section line, never a key.
    if (c.key.startsWith(QLatin1Char('[')))
        return false;
    // The key of a line is what stands before its first "="; "a=b" is key
    // "a" with a value beginning "b=", so writing it changes key "a".
    if (c.key.contains(QLatin1Char('=')))
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
    // What common Windows editors put first, too rare in random bytes: a
    // UTF-8 byte-order mark (0), or the file in UTF-16 with its mark, made
    // from the file's text (1, 2) or from its raw bytes (3).
    const int marked = provider.ConsumeIntegralInRange(0, 7);
    const std::string sectionText = provider.ConsumeRandomLengthString(16);
    const std::string keyText = provider.ConsumeRandomLengthString(24);
    const std::string valueText = provider.ConsumeRandomLengthString(48);
    const std::vector<uint8_t> rest = provider.ConsumeRemainingBytes<uint8_t>();

    Case c;
    c.before = QByteArray(reinterpret_cast<const char *>(rest.data()), qsizetype(rest.size()));
    if (marked == 0) {
        c.before.prepend(Bom);
    } else if (marked <= 2) {
        const QString text
            = QString::fromUtf8(c.before).toUtf8() == c.before ? QString::fromUtf8(c.before) : fromCp1252(c.before);
        c.before = marked == 1 ? Utf16LeBom + toUtf16(text, true) : Utf16BeBom + toUtf16(text, false);
    } else if (marked == 3) {
        c.before.prepend(Utf16LeBom);
    }
    const Form form(c.before);
    // Mostly names that the file holds, so that the rewrite paths are taken
    // as often as the append paths.
    const QStringList sections = sectionsInFile(form);
    const QStringList fileKeys = keysInFile(form);
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
        const Form afterForm(after);
        // A UTF-16 file with a torn last unit or a lone surrogate is only
        // read and written, for crashes and hangs.
        if (!form.valid)
            return 0;
        // Exactly one CR LF at the end: a write trims every control character
        // there before adding it, and "key=" always leaves something.
        const QString afterText = afterForm.text();
        if (afterText.size() < 3 || !afterText.endsWith(u"\r\n") || afterText.at(afterText.size() - 3).unicode() <= 13)
            fail(c, "the file does not end with exactly one CR LF");
        // The mark begins the file, the control characters before it gone.
        if (!after.startsWith(form.mark()))
            fail(c, "the byte-order mark was not kept");
        // A Windows-1252 file whose only bytes that are no UTF-8 were just
        // overwritten reads as UTF-8 from now on: its encoding is told from
        // its bytes, and these no longer tell it.
        const bool keptInCodePage = std::all_of(c.section.begin(), c.section.end(), Form::canEncode)
            && std::all_of(c.key.begin(), c.key.end(), Form::canEncode)
            && std::all_of(c.value.begin(), c.value.end(), Form::canEncode);
        if (form.cp1252 && keptInCodePage && !afterForm.cp1252)
            return 0;
        if (!roundTripPromised(c))
            return 0;
        // The key's line is replaced in place, or one line (or a header and a
        // line) is added: a write never leaves the old line to shadow or be
        // shadowed by the new one.
        const qsizetype expectedLines = solidLines(form) + linesAdded(form, c.section, c.key);
        if (solidLines(afterForm) != expectedLines)
            fail(c, "the write did not replace the key's line or add exactly its own", QString::number(expectedLines),
                QString::number(solidLines(afterForm)));

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
