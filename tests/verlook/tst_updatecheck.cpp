// CheckForUpdate against a local web server: the comparison, the failures
// it passes on, the address it builds, and the 15-second give-up while the
// caller's events keep running.

#include "ComBase.h"
#include "ComPtr.h"
#include "ComponentServer.h"
#include "TestHttpServer.h"
#include "UpdateCheckInterface.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

class TestUpdateCheck : public QObject
{
    Q_OBJECT

    QTemporaryDir m_config;
    TestHttpServer m_server;
    // One object for every call, as a client would keep it.
    ComPtr<_CUpdateCheck> m_check;

    HRESULT check(const QString &base, const QString &current, VARIANT_BOOL *result)
    {
        const BStr webAddress(base);
        const BStr fileName(QStringLiteral("version.txt"));
        const BStr currentVersion(current);
        *result = 7; // must be overwritten
        return m_check->CheckForUpdate(webAddress.get(), fileName.get(), currentVersion.get(), result);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_config.isValid());
        isolateRegistryAndNetwork(m_config.path());
        QVERIFY(m_server.isListening());
        const ServerRegistration reg = registerServer(QStringLiteral(VERLOOK_PATH));
        QVERIFY2(reg.ok(), qPrintable(reg.description));
        QString why;
        QCOMPARE(CoCreateInstance(CLSID_CUpdateCheck, IID__CUpdateCheck, m_check.put(), &why), S_OK);
    }

    void cleanupTestCase()
    {
        m_check.reset();
        QVERIFY(registerServer(QStringLiteral(VERLOOK_PATH), true).ok());
    }

    void comparesPublishedNumber_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("type");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("current");
        QTest::addColumn<int>("error"); // run-time error carried, 0 for none
        QTest::addColumn<bool>("newer");

        QTest::newRow("greater") << 200 << QByteArray("text/plain") << QByteArray("102") << "101" << 0 << true;
        QTest::newRow("equal") << 200 << QByteArray("text/plain") << QByteArray("101") << "101" << 0 << false;
        QTest::newRow("smaller") << 200 << QByteArray("text/plain") << QByteArray("100") << "101" << 0 << false;
        QTest::newRow("blanks and line end") << 200 << QByteArray("text/plain") << QByteArray(" 102 \r\n") << "101" << 0
                                             << true;
        QTest::newRow("ties round to even") << 200 << QByteArray("text/plain") << QByteArray("100.5") << "100" << 0
                                            << false;
        QTest::newRow("number in a page") << 200 << QByteArray("text/html")
                                          << QByteArray("<html><head><title>v</title></head><body><p>102</p></body></html>")
                                          << "101" << 0 << true;
        QTest::newRow("error page") << 404 << QByteArray("text/html")
                                    << QByteArray("<html><head><title>404 Not Found</title></head><body><h1>Not Found</h1>"
                                                  "<p>The requested URL was not found on this server.</p></body></html>")
                                    << "101" << 13 << false;
        QTest::newRow("empty file") << 200 << QByteArray("text/plain") << QByteArray() << "101" << 13 << false;
        QTest::newRow("beyond 32 bits") << 200 << QByteArray("text/plain") << QByteArray("4294967296") << "101" << 6
                                        << false;
        QTest::newRow("caller's version not a number") << 200 << QByteArray("text/plain") << QByteArray("102") << "1.0.1"
                                                       << 13 << false;
    }

    void comparesPublishedNumber()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, type);
        QFETCH(QByteArray, body);
        QFETCH(QString, current);
        QFETCH(int, error);
        QFETCH(bool, newer);

        m_server.answer(status, type, body);
        VARIANT_BOOL result = VARIANT_FALSE;
        const HRESULT hr = check(m_server.url(QStringLiteral("/dl")), current, &result);
        QCOMPARE(hr, error ? hresultFromRuntimeError(error) : S_OK);
        QCOMPARE(runtimeErrorFromHresult(hr), error);
        QCOMPARE(result, newer ? VARIANT_TRUE : VARIANT_FALSE);
    }

    void joinsAddressWithOneSlash()
    {
        m_server.answer(200, "text/plain", "1");
        VARIANT_BOOL result = VARIANT_FALSE;
        QCOMPARE(check(m_server.url(QStringLiteral("/freeware/tovrane/downloads")), QStringLiteral("101"), &result), S_OK);
        QCOMPARE(m_server.requestLines.last(), QByteArray("GET /freeware/tovrane/downloads/version.txt HTTP/1.1"));
        QCOMPARE(check(m_server.url(QStringLiteral("/dl/")), QStringLiteral("101"), &result), S_OK);
        QCOMPARE(m_server.requestLines.last(), QByteArray("GET /dl//version.txt HTTP/1.1"));
    }

    void failedLoadIsFalseAtOnce()
    {
        VARIANT_BOOL result = VARIANT_TRUE;
        QElapsedTimer clock;
        clock.start();
        const QString refused = QStringLiteral("http://127.0.0.1:%1/dl").arg(TestHttpServer::refusedPort());
        QCOMPARE(check(refused, QStringLiteral("101"), &result), S_OK);
        QCOMPARE(result, VARIANT_FALSE);
        // No address at all is no load either.
        QCOMPARE(check(QString(), QStringLiteral("101"), &result), S_OK);
        QCOMPARE(result, VARIANT_FALSE);
        QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
    }

    void silentServerGivesUpAfterFifteenSeconds()
    {
        m_server.silent();
        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, this, [&] { ++ticks; });
        ticker.start(100);

        VARIANT_BOOL result = VARIANT_TRUE;
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(check(m_server.url(QStringLiteral("/slow")), QStringLiteral("101"), &result), S_OK);
        const qint64 waited = clock.elapsed();
        ticker.stop();

        QCOMPARE(result, VARIANT_FALSE);
        QVERIFY2(waited >= 14000 && waited <= 15800, qPrintable(QString::number(waited)));
        // The caller's timer kept firing all through the wait.
        QVERIFY2(ticks >= 100, qPrintable(QString::number(ticks)));
        QCOMPARE(m_server.requestLines.last(), QByteArray("GET /slow/version.txt HTTP/1.1"));
    }
};

QTEST_GUILESS_MAIN(TestUpdateCheck)
#include "tst_updatecheck.moc"
