#include "VbConvert.h"

#include <QtTest>

using namespace component;

class TestVbConvert : public QObject
{
    Q_OBJECT

private slots:
    void wholeNumbers_data()
    {
        QTest::addColumn<bool>("sixteenBits"); // toInteger rather than toLong
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("error");
        QTest::addColumn<int>("value");
        QTest::newRow("blanks and line end around") << false << " 102\r\n" << 0 << 102;
        QTest::newRow("half to even down") << false << "100.5" << 0 << 100;
        QTest::newRow("half to even up") << false << "101.5" << 0 << 102;
        QTest::newRow("largest") << false << "2147483647" << 0 << 2147483647;
        QTest::newRow("beyond 32 bits") << false << "2147483648" << 6 << 0;
        QTest::newRow("too many digits for a double") << false << QString(400, QLatin1Char('9')) << 6 << 0;
        QTest::newRow("exponent too large for a double") << false << "1e400" << 6 << 0;
        QTest::newRow("comma in the C locale") << false << "1,5" << 13 << 0;
        QTest::newRow("the word inf") << false << "inf" << 13 << 0;
        QTest::newRow("empty") << false << "" << 13 << 0;
        QTest::newRow("inner space") << false << "1 2" << 13 << 0;
        QTest::newRow("16-bit largest") << true << "32767" << 0 << 32767;
        QTest::newRow("beyond 16 bits") << true << "32768" << 6 << 0;
        QTest::newRow("16-bit smallest once rounded") << true << "-32768.4" << 0 << -32768;
    }

    void wholeNumbers()
    {
        QFETCH(bool, sixteenBits);
        QFETCH(QString, text);
        QFETCH(int, error);
        QFETCH(int, value);
        const VbConvert::Result r = sixteenBits ? VbConvert::toInteger(text) : VbConvert::toLong(text);
        QCOMPARE(int(r.error), error);
        QCOMPARE(r.value, value);
    }
};

QTEST_GUILESS_MAIN(TestVbConvert)
#include "tst_vbconvert.moc"
