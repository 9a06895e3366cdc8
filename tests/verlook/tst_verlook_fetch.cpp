// The component's fetcher on its own against a local web server: how long a
// reply may be, with its length announced or not, and that a reply without
// end is given up as soon as it is too long, not after the 15 s wait.

#include "TestHttpServer.h"
#include "fBrowser.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

QByteArray digits(qint64 count)
{
    return QByteArray("0123456789").repeated(count / 10 + 1).left(count);
}

} // namespace

class TestVerlookFetch : public QObject
{
    Q_OBJECT

    QTemporaryDir m_config;
    TestHttpServer m_server;

private slots:
    void initTestCase()
    {
        QVERIFY(m_config.isValid());
        isolateRegistryAndNetwork(m_config.path());
        QVERIFY(m_server.isListening());
    }

    void replyLength_data()
    {
        QTest::addColumn<qint64>("length"); // body bytes; -1: digits without end
        QTest::addColumn<bool>("announced"); // with a Content-Length
        QTest::addColumn<bool>("loaded");

        constexpr qint64 limit = fBrowser::kMaxBodyBytes;
        QTest::newRow("64 KiB, announced") << limit << true << true;
        QTest::newRow("64 KiB, unannounced") << limit << false << true;
        QTest::newRow("a byte more, announced") << limit + 1 << true << false;
        QTest::newRow("a byte more, unannounced") << limit + 1 << false << false;
        QTest::newRow("without end, a terabyte announced") << qint64(-1) << true << false;
        QTest::newRow("without end, unannounced") << qint64(-1) << false << false;
    }

    void replyLength()
    {
        QFETCH(qint64, length);
        QFETCH(bool, announced);
        QFETCH(bool, loaded);

        if (length < 0)
            m_server.stream(announced ? QByteArray("1000000000000") : QByteArray());
        else
            m_server.answer(200, "text/plain", digits(length), announced);

        fBrowser browser;
        browser.WebAddress = m_server.url(u"/dl"_s);
        browser.FileName = u"version.txt"_s;
        QString version = u"unchanged"_s;
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(browser.Navigate(version), loaded);
        const qint64 waited = clock.elapsed();

        QCOMPARE(version, loaded ? QString::fromLatin1(digits(length)) : u"unchanged"_s);
        // Known to be too long well before the 15 s are up.
        QVERIFY2(waited < 5000, qPrintable(QString::number(waited)));
        // The client hung up while what the server sent still fitted in the
        // connection's buffers.
        if (length < 0)
            QVERIFY2(m_server.streamed < TestHttpServer::kStreamCap, qPrintable(QString::number(m_server.streamed)));
    }
};

QTEST_GUILESS_MAIN(TestVerlookFetch)
#include "tst_verlook_fetch.moc"
