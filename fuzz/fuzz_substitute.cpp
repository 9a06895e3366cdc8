// Placeholder substitution on any template, file name and folder: the result
// must equal three plain left-to-right passes, and the file name must split
// into parts that put it back together.

#include "ClipRow.h"
#include "Failure.h"
#include "FuzzText.h"
#include "Substitute.h"

#include <QString>

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <string>

using namespace scriptgen;

using namespace errorlog;

using namespace scan;

namespace {

// One pass: walk the text once, copying it, and put `value` wherever `token`
// starts; the walk goes on behind each token, so matches never overlap and
// what `value` brings in is not looked at again.
QString replaceOnce(const QString &text, const QString &token, const QString &value)
{
    QString out;
    qsizetype i = 0;
    while (i < text.size()) {
        if (QStringView(text).sliced(i).startsWith(token, Qt::CaseSensitive)) {
            out += value;
            i += token.size();
        } else {
            out += text.at(i);
            ++i;
        }
    }
    return out;
}

QString threePasses(const QString &templ, const QString &clip, const QString &ext, const QString &location)
{
    QString text = replaceOnce(templ, QStringLiteral("%CLIP%"), clip);
    text = replaceOnce(text, QStringLiteral("%EXT%"), ext);
    return replaceOnce(text, QStringLiteral("%PATH%"), location);
}

[[noreturn]] void fail(const char *what, const QString &templ, const QString &file, const QString &location,
    const QString &expected, const QString &actual)
{
    std::fprintf(stderr,
        "\n*** substitution: %s\n  template: %s\n  file: %s\n  location: %s\n  expected: %s\n  actual: %s\n", what,
        shown(templ).c_str(), shown(file).c_str(), shown(location).c_str(), shown(expected).c_str(),
        shown(actual).c_str());
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider provider(data, size);
    const bool utf16 = provider.ConsumeBool();
    const QString file = decode(provider.ConsumeRandomLengthString(32), utf16);
    const QString location = decode(provider.ConsumeRandomLengthString(32), utf16);
    const QString templ = decode(provider.ConsumeRemainingBytesAsString(), utf16);

    // A name without "." has no clip name to give: refused, never guessed.
    ClipNameParts parts;
    if (const Expected<ClipNameParts> split = splitClipFileName(file)) {
        parts = *split;
    } else {
        if (file.contains(QLatin1Char('.')) || split.error().number != ErrNum::InvalidProcedureCall)
            fail("a name was refused", {}, file, {}, {}, split.error().description);
        parts = { QString(), file };
    }
    if (parts.ext.contains(QLatin1Char('.')))
        fail("the extension holds a dot", {}, file, {}, {}, parts.ext);
    const QString joined = file.contains(QLatin1Char('.')) ? parts.clip + QLatin1Char('.') + parts.ext : parts.ext;
    if (joined != file)
        fail("the parts do not make up the file name", {}, file, {}, file,
            parts.clip + QStringLiteral(" | ") + parts.ext);

    const QString expected = threePasses(templ, parts.clip, parts.ext, location);
    const QString actual = substitutePlaceholders(templ, parts.clip, parts.ext, location);
    if (actual != expected)
        fail("not the three plain passes", templ, file, location, expected, actual);
    return 0;
}
