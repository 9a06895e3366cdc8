// The text the fetcher takes from a loaded document.

#include "HtmlText.h"

#include <QtTest>

class TestHtmlText : public QObject
{
    Q_OBJECT

private slots:
    void bodyText_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("expected"); // "<none>": the document has no body

        QTest::newRow("plain text as is") << QByteArray("102\r\n") << "text/plain" << "102\r\n";
        QTest::newRow("markup in plain text") << QByteArray("<html><body>7</body></html>") << "text/plain; charset=utf-8"
                                              << "<html><body>7</body></html>";
        QTest::newRow("byte order mark") << QByteArray("\xEF\xBB\xBF" "102") << "text/plain" << "102";
        QTest::newRow("latin-1 by charset") << QByteArray("caf\xE9") << "text/plain; charset=\"ISO-8859-1\"" << u"caf\u00e9"_qs;
        QTest::newRow("not utf-8 without charset") << QByteArray("caf\xE9") << "text/plain" << u"caf\u00e9"_qs;
        QTest::newRow("only the body")
            << QByteArray("<html><head><title>Version</title><style>p{color:red}</style>"
                          "<script>var s = '<b>9</b>';</script></head><body class=\"x\"><p>102</p></body></html>")
            << "text/html" << "102";
        QTest::newRow("error page lines") << QByteArray("<body><h1>Not Found</h1><p>The URL\n   was not found.</p>Apache</body>")
                                          << "text/html" << "Not Found\r\nThe URL was not found.\r\nApache";
        QTest::newRow("references") << QByteArray("<body> A &amp; B&nbsp;&lt;i&gt; &#65;&#x42; &bogus; &#xD800; </body>")
                                    << "text/html" << u"A & B\u00a0<i> AB &bogus; &#xD800;"_qs;
        QTest::newRow("comment and lone lt") << QByteArray("<body>1 < 2<!-- <p>3</p> --> ok</body>") << "text/html"
                                             << "1 < 2 ok";
        QTest::newRow("quoted angle bracket") << QByteArray("<body><a title='x>y'>link</a></body>") << "text/html" << "link";
        QTest::newRow("pre keeps spacing") << QByteArray("<body><pre>a  b\nc</pre></body>") << "text/html" << "a  b\r\nc";
        QTest::newRow("implied body") << QByteArray("<html><head><title>t</title></head>102</html>") << "text/html" << "102";
        QTest::newRow("recognised without type") << QByteArray("  <!DOCTYPE html><html><body>7</body></html>") << "" << "7";
        QTest::newRow("frameset") << QByteArray("<html><frameset cols='50%'><frame src='a'></frameset></html>")
                                  << "text/html" << "<none>";
        QTest::newRow("unterminated tag") << QByteArray("<body>12<b") << "text/html" << "12";
    }

    void bodyText()
    {
        QFETCH(QByteArray, data);
        QFETCH(QString, type);
        QFETCH(QString, expected);
        const std::optional<QString> text = documentBodyText(data, type);
        QCOMPARE(text.value_or(QStringLiteral("<none>")), expected);
    }
};

QTEST_GUILESS_MAIN(TestHtmlText)
#include "tst_htmltext.moc"
