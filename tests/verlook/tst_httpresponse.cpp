// The framing of HTTP responses as the update check reads them: a document
// counts only when its transfer completed, however its bytes are split up
// on the way.

#include "HttpResponse.h"

#include <QtTest>

using namespace verlook;

using State = HttpResponseParser::State;

class TestHttpResponse : public QObject
{
    Q_OBJECT

private slots:
    void framing_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("closed"); // the connection ended after them
        QTest::addColumn<int>("state");
        QTest::addColumn<QByteArray>("body");
        const auto row = [](const char *tag, const QByteArray &bytes, bool closed, State state,
                             const QByteArray &body = QByteArray()) {
            QTest::newRow(tag) << bytes << closed << int(state) << body;
        };
        const QByteArray ok = "HTTP/1.1 200 OK\r\n", chunked = ok + "Transfer-Encoding: chunked\r\n\r\n";

        row("counted", ok + "Content-Length: 3\r\n\r\n102", false, State::Complete, "102");
        row("counted, short", ok + "Content-Length: 5\r\n\r\n102", true, State::Broken);
        row("counted, the same length twice", ok + "Content-Length: 3, 3\r\ncontent-length: 3\r\n\r\n102", false,
            State::Complete, "102");
        row("counted, two lengths", ok + "Content-Length: 3\r\nContent-Length: 4\r\n\r\n102", true, State::Broken);
        row("counted, not a number", ok + "Content-Length: 3x\r\n\r\n102", true, State::Broken);
        row("until closed", ok + "\r\n102", true, State::Complete, "102");
        row("until closed, still open", ok + "\r\n102", false, State::Body);
        row("chunked", chunked + "1;ext=\"a;b\"\r\n1\r\n2 \r\n02\r\n0\r\nTrailer: x\r\n\r\n", false, State::Complete,
            "102");
        row("chunked, closed after a chunk", chunked + "3\r\n102\r\n", true, State::Broken);
        row("chunked, closed inside a chunk", chunked + "5\r\n102", true, State::Broken);
        row("chunked, bad size", chunked + "3\r\n102\r\nzz\r\n", true, State::Broken);
        row("chunked, chunk longer than its size", chunked + "3\r\n1025\r\n0\r\n\r\n", true, State::Broken);
        row("chunked, closed in the trailers", chunked + "3\r\n102\r\n0\r\nTrailer: x\r\n", true, State::Broken);
        row("chunked, a size beyond the limit", chunked + "10001\r\n", false, State::TooLong);
        row("chunked, a size beyond any number", chunked + "FFFFFFFFFFFFFFFFFFFF\r\n", false, State::TooLong);
        row("counted beyond the limit", ok + "Content-Length: 65537\r\n\r\n", false, State::TooLong);
        row("more than the limit", ok + "\r\n" + QByteArray(65537, '1'), false, State::TooLong);
        row("compressed", ok + "Content-Encoding: gzip\r\nContent-Length: 3\r\n\r\n102", false, State::Broken);
        row("another transfer coding", ok + "Transfer-Encoding: gzip, chunked\r\n\r\n", false, State::Broken);
        row("lines end in LF", "HTTP/1.0 200 OK\nContent-Length: 3\n\n102", false, State::Complete, "102");
        row("after 100 Continue", "HTTP/1.1 100 Continue\r\n\r\n" + ok + "Content-Length: 3\r\n\r\n102", false,
            State::Complete, "102");
        row("no content", "HTTP/1.1 204 No Content\r\n\r\n", false, State::Complete);
        row("not HTTP", "SSH-2.0-OpenSSH\r\n\r\n", false, State::Broken);
        row("head cut short", "HTTP/1.1 200 OK\r\nContent-Le", true, State::Broken);
        row("head without end", ok + "X: " + QByteArray(HttpResponseParser::kMaxHeadBytes, 'x'), false, State::Broken);
    }

    // Each reply whole, in two pieces at every place, and byte by byte.
    void framing()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, closed);
        QFETCH(int, state);
        QFETCH(QByteArray, body);

        const auto check = [&](const QList<QByteArrayView> &pieces, const QByteArray &how) {
            HttpResponseParser parser(64 * 1024);
            for (const QByteArrayView piece : pieces)
                parser.feed(piece);
            if (closed)
                parser.endOfStream();
            QVERIFY2(int(parser.state()) == state, how + ": state " + QByteArray::number(int(parser.state())));
            if (parser.state() == State::Complete)
                QVERIFY2(parser.body() == body, how + ": " + parser.body());
        };
        check({ bytes }, "whole");
        for (qsizetype cut = 1; cut < bytes.size() && bytes.size() < 1000; ++cut)
            check({ QByteArrayView(bytes).first(cut), QByteArrayView(bytes).sliced(cut) },
                "cut at " + QByteArray::number(cut));
        QList<QByteArrayView> single;
        for (qsizetype i = 0; i < bytes.size(); ++i)
            single.append(QByteArrayView(bytes).sliced(i, 1));
        check(single, "byte by byte");
    }

    void headerFields()
    {
        HttpResponseParser parser(100);
        parser.feed("HTTP/1.1 404 Not Found\r\ncontent-type: text/html;\r\n charset=utf-8\r\nX-Empty:\r\n\r\n");
        QCOMPARE(parser.state(), State::Body);
        QCOMPARE(parser.status(), 404);
        QCOMPARE(parser.header("Content-Type"), QByteArray("text/html; charset=utf-8"));
        QVERIFY(!parser.header("X-Empty").isNull() && parser.header("X-Empty").isEmpty());
        QVERIFY(parser.header("Location").isNull());
    }
};

QTEST_GUILESS_MAIN(TestHttpResponse)
#include "tst_httpresponse.moc"
