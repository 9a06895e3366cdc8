#include "ColorSpans.h"
#include "ColourReference.h"

#include <QRandomGenerator>
#include <QtTest>

using namespace editor;

using Spans = QList<ColorSpan>;

namespace {

Spans ofKind(const Spans &spans, SpanKind kind)
{
    Spans result;
    std::copy_if(
        spans.begin(), spans.end(), std::back_inserter(result), [kind](const ColorSpan &s) { return s.kind == kind; });
    return result;
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
    // The rules the straightforward loop shares with the finder, pinned by
    // hand, as the random comparison below cannot catch a rule both get wrong.
    void golden_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("names"); // joined by "|"
        QTest::addColumn<QString>("expected"); // "P:7+6 F:0+4": kind, start and length of each span in order
        const auto row = [](const char *tag, const QString &text, const QString &names, const QString &expected) {
            QTest::newRow(tag) << text << names << expected;
        };
        row("mixed case, inside a longer word", "x = gAUSSIANbLUR(last)", "BLUR", "F:12+4");
        row("earlier name wins at one position, scan goes on behind it", "BlurMore", "BLUR|BLURMORE|MORE",
            "F:0+4 F:4+4");
        // The finder gives one span per line; the loop one per "#".
        row("comments end with CR, LF or the text", "#a\r\n# b\nc # d # e", "", "C:0+3 C:4+4 C:10+7");
        row("positions beyond 16 bits, passes in painting order", QString(40000, u'.') + "%EXT% blur #x", "BLUR",
            "P:40000+5 F:40006+4 C:40011+2");
    }

    void golden()
    {
        QFETCH(QString, text);
        QFETCH(QString, names);
        QStringList parts;
        for (const ColorSpan &s : findColorSpans(text, names.split(u'|', Qt::SkipEmptyParts)))
            parts << QStringLiteral("%1:%2+%3").arg("PFC"[int(s.kind)]).arg(s.start).arg(s.length);
        QTEST(parts.join(u' '), "expected");
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
    // placeholders and names of the straightforward loop, paint the same, and
    // give its spans in painting order.
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
            QVERIFY2(painted(text.size(), fast) == painted(text.size(), reference), context);
            QVERIFY2(std::is_sorted(fast.begin(), fast.end(),
                         [](const ColorSpan &a, const ColorSpan &b) { return a.kind < b.kind; }),
                context);
        }
    }
};

QTEST_GUILESS_MAIN(TestColorSpans)
#include "tst_colorspans.moc"
