#include "ColorSpans.h"
#include "ColourReference.h"

#include <QRandomGenerator>
#include <QtTest>

using Spans = QList<ColorSpan>;

namespace {

Spans ofKind(const Spans &spans, SpanKind kind)
{
    Spans result;
    std::copy_if(
        spans.begin(), spans.end(), std::back_inserter(result), [kind](const ColorSpan &s) { return s.kind == kind; });
    return result;
}

// "P:7+6 F:0+4 C:13+7": kind, start and length of each span in order.
QString describe(const Spans &spans)
{
    QStringList parts;
    for (const ColorSpan &s : spans)
        parts << QStringLiteral("%1:%2+%3").arg("PFC"[int(s.kind)]).arg(s.start).arg(s.length);
    return parts.join(u' ');
}

// One letter per character of a text of `length` painted with `spans`: "-"
// reset, "P", "F", "C" the painted styles.
QString painted(qsizetype length, const Spans &spans)
{
    QString letters;
    for (const PaintedStyle s : paintedStyles(length, spans))
        letters += QChar("-PFC"[int(s)]);
    return letters;
}

} // namespace

class TestColorSpans : public QObject
{
    Q_OBJECT

private slots:
    void golden_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("names"); // joined by "|"
        QTest::addColumn<QString>("expected");
        const auto row = [](const char *tag, const QString &text, const QString &names, const QString &expected) {
            QTest::newRow(tag) << text << names << expected;
        };
        row("empty text", "", "BLUR", "");
        row("lower-case placeholder is none", "%clip% %CLIP%.%EXT%", "", "P:7+6 P:14+5");
        row("placeholder scan goes on behind a match", "%EXT%CLIP% %%PATH%", "", "P:0+5 P:12+6");
        row("a token overlapped by a match is found again behind it", "%PATH%CLIP%CLIP%", "", "P:0+6 P:10+6");
        row("mixed-case name", "x = gAUSSIANbLUR(last)", "GAUSSIANBLUR", "F:4+12");
        row("name inside a longer word", "GaussianBlur()", "BLUR", "F:8+4");
        row("one-character name, any case", "Xx ax", "X", "F:0+1 F:1+1 F:4+1");
        row("earlier name wins at one position, scan goes on behind it", "BlurMore", "BLUR|BLURMORE|MORE",
            "F:0+4 F:4+4");
        row("empty and duplicate names take no part", "ab", "|B||B", "F:1+1");
        row("placeholder in a comment line", "# from %PATH%\nx", "", "P:7+6 C:0+14");
        row("comment on the last line without a line break", "a\n# end", "", "C:2+5");
        row("a carriage return ends a comment too", "#a\r\n#", "", "C:0+3 C:4+1");
        row("later # on a commented line adds nothing", "x # a # b\ny", "", "C:2+8");
        row("passes in painting order", "Crop(%CLIP%) # crop\n", "CROP|CLIP", "P:5+6 F:0+4 F:6+4 F:15+4 C:13+7");
        row("positions beyond 16 bits", QString(40000, u'.') + "%EXT% blur #x", "BLUR",
            "P:40000+5 F:40006+4 C:40011+2");
    }

    void golden()
    {
        QFETCH(QString, text);
        QFETCH(QString, names);
        QFETCH(QString, expected);
        const QStringList nameList = names.isEmpty() ? QStringList() : names.split(u'|');
        const Spans found = findColorSpans(text, nameList);
        QCOMPARE(describe(found), expected);
        // The straightforward loop finds the same placeholders and names and
        // paints the same; it may split comments differently.
        const Spans reference = findColorSpansReference(text, nameList);
        QCOMPARE(describe(ofKind(reference, SpanKind::Placeholder) + ofKind(reference, SpanKind::FilterName)),
            describe(ofKind(found, SpanKind::Placeholder) + ofKind(found, SpanKind::FilterName)));
        QCOMPARE(painted(text.size(), reference), painted(text.size(), found));
    }

    void paintingLetsTheLastSpanWinAndClipsToTheText()
    {
        const Spans spans { { 0, 4, SpanKind::FilterName }, { 2, 2, SpanKind::Placeholder },
            { 8, 50, SpanKind::Comment }, { -3, 4, SpanKind::Placeholder }, { 12, 1, SpanKind::FilterName } };
        QCOMPARE(painted(10, spans), QStringLiteral("PFPP----CC"));
        QCOMPARE(painted(0, spans), QString());
    }

    // Thousands of random texts over small alphabets, so that names overlap,
    // nest, repeat and sit in comments: the finder must find exactly the
    // placeholders and names of the straightforward loop, and paint the same.
    void matchesTheStraightforwardLoop()
    {
        QRandomGenerator rng(20240611);
        const QStringList pieces
            = QStringLiteral("a b A B c \u00e9 \u00ff \u00df # # %CLIP% %EXT% %PATH% %clip% %EXT PATH% %").split(u' ')
            + QStringList { QStringLiteral(" "), QStringLiteral("\n"), QStringLiteral("\r"), QStringLiteral("\r\n") };
        const QString nameAlphabet = QStringLiteral("AABBC\u00c9\u0178\u00df%#");

        for (int round = 0; round < 6000; ++round) {
            QString text;
            for (int i = int(rng.bounded(40)); i > 0; --i)
                text += pieces.at(rng.bounded(pieces.size()));
            QStringList names;
            for (int i = int(rng.bounded(7)); i > 0; --i) {
                QString name; // sometimes empty
                for (int j = int(rng.bounded(5)); j > 0; --j)
                    name += nameAlphabet.at(rng.bounded(nameAlphabet.size()));
                names << (!names.isEmpty() && rng.bounded(6) == 0 ? names.at(rng.bounded(names.size())) : name);
            }

            const Spans fast = findColorSpans(text, names);
            const Spans reference = findColorSpansReference(text, names);
            const QByteArray context = "case " + QByteArray::number(round) + ": text "
                + text.toUtf8().toPercentEncoding() + " names " + names.join(u'|').toUtf8().toPercentEncoding();
            for (const SpanKind kind : { SpanKind::Placeholder, SpanKind::FilterName })
                QVERIFY2(ofKind(fast, kind) == ofKind(reference, kind), context);
            QVERIFY2(paintedStyles(text.size(), fast) == paintedStyles(text.size(), reference), context);
            QVERIFY2(fast
                    == ofKind(fast, SpanKind::Placeholder) + ofKind(fast, SpanKind::FilterName)
                        + ofKind(fast, SpanKind::Comment),
                context);
        }
    }
};

QTEST_GUILESS_MAIN(TestColorSpans)
#include "tst_colorspans.moc"
