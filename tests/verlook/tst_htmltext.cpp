// The text the fetcher takes from a loaded document.

#include "HtmlText.h"

#include <QtTest>

using namespace verlook;

using namespace Qt::StringLiterals;

class TestHtmlText : public QObject
{
    Q_OBJECT

private slots:
    void bodyText_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("expected"); // "<none>": the document has no body
        const auto row = [](const char *name, const char *type, const char *data, const QString &expected) {
            QTest::newRow(name) << QByteArray(data) << QString::fromLatin1(type) << expected;
        };
        const char *html = "text/html";

        row("plain text as is, markup and all", "text/plain; charset=utf-8", "<b>102</b>\r\n", u"<b>102</b>\r\n"_s);
        row("latin-1 by quoted charset", "text/plain; charset=\"ISO-8859-1\"", "caf\xE9", u"caf\u00e9"_s);
        // Cut off as UTF-8: read byte for byte rather than lose the character.
        row("incomplete utf-8", "text/plain", "caf\xE9", u"caf\u00e9"_s);
        row("recognised without type", "", "  <!DOCTYPE html><html><body>7</body></html>", u"7"_s);
        row("only the body", html,
            "<head><title>V</title><style>p{}</style><script>s='<b>9</b>'</script></head><body id=x><p>102</p>",
            u"102"_s);
        row("blocks break lines, blanks collapse", html, "<body><h1>Gone</h1><p>a\n b</p>c", u"Gone\r\na b\r\nc"_s);
        row("references", html, "<body> A &amp; B&nbsp;&lt;i&gt; &#65;&#x42; &bogus; &#xD800; </body>",
            u"A & B\u00a0<i> AB &bogus; &#xD800;"_s);
        row("comment, lone lt, quoted gt", html, "<body>1 < 2<!-- <p>3</p> --> <a title='x>y'>ok</a></body>",
            u"1 < 2 ok"_s);
        row("pre keeps spacing", html, "<body><pre>a  b\nc</pre></body>", u"a  b\r\nc"_s);
        row("implied body", html, "<html><head><title>t</title></head>102</html>", u"102"_s);
        row("frameset", html, "<html><frameset cols='50%'><frame src='a'></frameset></html>", u"<none>"_s);
        row("unterminated tag", html, "<body>12<b", u"12"_s);
    }

    void bodyText()
    {
        QFETCH(QByteArray, data);
        QFETCH(QString, type);
        QFETCH(QString, expected);
        QCOMPARE(documentBodyText(data, type).value_or(u"<none>"_s), expected);
    }
};

QTEST_GUILESS_MAIN(TestHtmlText)
#include "tst_htmltext.moc"
