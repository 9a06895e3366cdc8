// Colouring: the fast span finder against the straightforward loop, on any
// text and any list of names. Both must find the same placeholders and filter
// names and paint the same; comment spans may be cut differently.

#include "ColorSpans.h"
#include "ColourReference.h"
#include "FuzzText.h"

#include <QStringList>

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <string>

using namespace editor;

namespace {

// The straightforward loop searches the whole text again after every match;
// past a few hundred characters an input would take too long.
constexpr qsizetype MaxText = 512;

std::string shown(const QList<ColorSpan> &spans)
{
    std::string out;
    for (const ColorSpan &s : spans)
        out += std::string(1, "PFC"[int(s.kind)]) + ":" + std::to_string(s.start) + "+" + std::to_string(s.length)
            + " ";
    return out;
}

// One letter per character once painted: "-" reset, "P", "F", "C".
std::string painted(qsizetype length, const QList<ColorSpan> &spans)
{
    std::string out;
    for (const PaintedStyle s : paintedStyles(length, spans))
        out += "-PFC"[int(s)];
    return out;
}

QList<ColorSpan> ofKind(const QList<ColorSpan> &spans, SpanKind kind)
{
    QList<ColorSpan> out;
    for (const ColorSpan &s : spans) {
        if (s.kind == kind)
            out << s;
    }
    return out;
}

[[noreturn]] void fail(const char *what, const QString &text, const QStringList &names, const QList<ColorSpan> &fast,
    const QList<ColorSpan> &reference)
{
    std::fprintf(stderr, "\n*** colouring: %s\n  text: %s\n  names:", what, shown(text).c_str());
    for (const QString &name : names)
        std::fprintf(stderr, " %s", shown(name).c_str());
    std::fprintf(stderr, "\n  fast: %s\n  reference: %s\n  fast painted: %s\n  reference painted: %s\n",
        shown(fast).c_str(), shown(reference).c_str(), painted(text.size(), fast).c_str(),
        painted(text.size(), reference).c_str());
    std::abort();
}

// Inside the text, not empty, and for one kind in text order without overlap.
bool wellFormed(const QList<ColorSpan> &spans, qsizetype textLength)
{
    for (qsizetype i = 0; i < spans.size(); ++i) {
        const ColorSpan &s = spans.at(i);
        if (s.start < 0 || s.length <= 0 || s.start + s.length > textLength)
            return false;
        if (i > 0 && spans.at(i - 1).kind == s.kind && spans.at(i - 1).start + spans.at(i - 1).length > s.start)
            return false;
        if (i > 0 && int(spans.at(i - 1).kind) > int(s.kind))
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider provider(data, size);
    const bool utf16 = provider.ConsumeBool();
    const int nameCount = provider.ConsumeIntegralInRange(0, 8);
    QStringList names;
    for (int i = 0; i < nameCount; ++i)
        names << upperPerUnit(decode(provider.ConsumeRandomLengthString(12), utf16)); // empty ones included
    QString text = decode(provider.ConsumeRemainingBytesAsString(), utf16);
    if (text.size() > MaxText)
        text.truncate(MaxText);

    const QList<ColorSpan> fast = findColorSpans(text, names);
    const QList<ColorSpan> reference = findColorSpansReference(text, names);
    if (!wellFormed(fast, text.size()))
        fail("spans outside the text, overlapping or out of order", text, names, fast, reference);
    for (const SpanKind kind : { SpanKind::Placeholder, SpanKind::FilterName }) {
        if (ofKind(fast, kind) != ofKind(reference, kind))
            fail(kind == SpanKind::Placeholder ? "other placeholders" : "other filter names", text, names, fast,
                reference);
    }
    if (paintedStyles(text.size(), fast) != paintedStyles(text.size(), reference))
        fail("painted differently", text, names, fast, reference);
    return 0;
}
