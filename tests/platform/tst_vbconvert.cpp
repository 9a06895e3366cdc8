#include "VbConvert.h"

#include <QtTest>

class TestVbConvert : public QObject
{
    Q_OBJECT

private slots:
    void wholeNumbers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("error");
        QTest::addColumn<int>("value");
        QTest::newRow("plain") << "102" << 0 << 102;
        QTest::newRow("spaces around") << " 102 " << 0 << 102;
        QTest::newRow("line end after") << "102\r\n" << 0 << 102;
        QTest::newRow("negative") << "-7" << 0 << -7;
        QTest::newRow("half to even down") << "100.5" << 0 << 100;
        QTest::newRow("half to even up") << "101.5" << 0 << 102;
        QTest::newRow("fraction") << "1.6" << 0 << 2;
        QTest::newRow("largest") << "2147483647" << 0 << 2147483647;
        QTest::newRow("beyond 32 bits") << "2147483648" << 6 << 0;
        QTest::newRow("huge") << QString(400, QLatin1Char('9')) << 6 << 0;
        QTest::newRow("empty") << "" << 13 << 0;
        QTest::newRow("words") << "<html><body>Not Found</body></html>" << 13 << 0;
        QTest::newRow("inner space") << "1 2" << 13 << 0;
    }
    void wholeNumbers()
    {
        QFETCH(QString, text);
        QFETCH(int, error);
        QFETCH(int, value);
        const VbConvert::Result r = VbConvert::toLong(text);
        QCOMPARE(int(r.error), error);
        QCOMPARE(r.value, value);
    }

    void sixteenBitRange()
    {
        QCOMPARE(VbConvert::toInteger(QStringLiteral("32767")).value, 32767);
        QCOMPARE(int(VbConvert::toInteger(QStringLiteral("32768")).error), 6);
        QCOMPARE(int(VbConvert::toInteger(QStringLiteral("-32768.4")).error), 0);
    }
};

QTEST_GUILESS_MAIN(TestVbConvert)
#include "tst_vbconvert.moc"
