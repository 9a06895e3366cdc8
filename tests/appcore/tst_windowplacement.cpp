// The main window's size and column widths between runs: [Window] of the
// settings file, written key by key when changed, and never at the cost of a
// byte of the other sections.
#include "TestFiles.h"
#include "WindowPlacement.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace appcore;

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(appcore::WindowPlacement)

class TestWindowPlacement : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString ini() const { return m_dir.filePath(u"Settings.ini"_s); }

private slots:
    // Only changed values are written; each stored value reads back.
    void changedValuesAreStoredAndReadBack()
    {
        const QByteArray settings = "[Settings]\r\nMainFolder=/v|/w\r\nMode=1\r\n";
        QVERIFY(put(ini(), settings));
        const WindowPlacement before { QSize(700, 620), false, { 0, 0, 0 } };
        QVERIFY(writeWindowPlacement(ini(), before, before));
        QCOMPARE(readBytes(ini()), settings);

        WindowPlacement now = before;
        now.size.setHeight(700);
        now.columns = { 0, 320, 0 };
        QVERIFY(writeWindowPlacement(ini(), before, now));
        QCOMPARE(readBytes(ini()), settings + "\r\n[Window]\r\nHeight=700\r\nColumns=0,320,0\r\n");

        const WindowPlacement later { QSize(900, 700), true, { 200, 320, 40 } };
        QVERIFY(writeWindowPlacement(ini(), now, later));
        QCOMPARE(readBytes(ini()),
            settings + "\r\n[Window]\r\nWidth=900\r\nMaximized=1\r\nHeight=700\r\nColumns=200,320,40\r\n");
        QCOMPARE(readWindowPlacement(ini(), QSize(1280, 900), QSize(600, 500), 3), later);
    }

    // What does not fit the screen, or is no number, is not taken.
    void unusableValuesAreNotTaken_data()
    {
        QTest::addColumn<QByteArray>("window");
        QTest::addColumn<WindowPlacement>("expected");
        const QSize none;
        QTest::newRow("fits") << QByteArray("Width=1280\r\nHeight=600\r\nColumns=1,1280,2")
                              << WindowPlacement { QSize(1280, 600), false, { 1, 1280, 2 } };
        QTest::newRow("too wide") << QByteArray("Width=1281\r\nHeight=600")
                                  << WindowPlacement { none, false, { 0, 0, 0 } };
        QTest::newRow("too tall") << QByteArray("Width=800\r\nHeight=901")
                                  << WindowPlacement { none, false, { 0, 0, 0 } };
        QTest::newRow("too small") << QByteArray("Width=599\r\nHeight=600")
                                   << WindowPlacement { none, false, { 0, 0, 0 } };
        QTest::newRow("no number") << QByteArray("Width=8OO\r\nHeight=600\r\nColumns=-5,2x,1281")
                                   << WindowPlacement { none, false, { 0, 0, 0 } };
        QTest::newRow("blank") << QByteArray("Width= 800\r\nHeight=600\r\nMaximized=yes")
                               << WindowPlacement { none, false, { 0, 0, 0 } };
        QTest::newRow("columns missing one") << QByteArray("Width=800\r\nHeight=600\r\nColumns=100,200")
                                             << WindowPlacement { QSize(800, 600), false, { 0, 0, 0 } };
        QTest::newRow("beyond 32 bits") << QByteArray("Width=4294967296800\r\nHeight=600")
                                        << WindowPlacement { none, false, { 0, 0, 0 } };
    }
    void unusableValuesAreNotTaken()
    {
        QFETCH(QByteArray, window);
        QFETCH(WindowPlacement, expected);
        QVERIFY(put(ini(), "[Settings]\r\nMode=1\r\n[Window]\r\n" + window + "\r\n"));
        QCOMPARE(readWindowPlacement(ini(), QSize(1280, 900), QSize(600, 500), 3), expected);
    }

    // The settings writer tidies the whole file it writes; a file it would
    // tidy is left alone, so that [Settings] keeps every byte.
    void aFileTheWriterWouldTidyIsLeftAlone_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<bool>("written");
        QTest::newRow("tidy") << QByteArray("[Settings]\r\nMode=1\r\n") << true;
        QTest::newRow("empty") << QByteArray() << true;
        QTest::newRow("byte-order mark") << QByteArray("\xEF\xBB\xBF[Settings]\r\nMode=1\r\n") << true;
        QTest::newRow("one empty line") << QByteArray("[Settings]\r\n\r\nMode=1\r\n") << true;
        QTest::newRow("LF line ends") << QByteArray("[Settings]\nMode=1\n") << false;
        QTest::newRow("a lone CR") << QByteArray("[Settings]\r\nMode=1\rShow=0\r\n") << false;
        QTest::newRow("two empty lines") << QByteArray("[Settings]\r\n\r\n\r\nMode=1\r\n") << false;
        QTest::newRow("no final line end") << QByteArray("[Settings]\r\nMode=1") << false;
        QTest::newRow("empty line at the end") << QByteArray("[Settings]\r\nMode=1\r\n\r\n") << false;
        QTest::newRow("tab ending a value") << QByteArray("[Settings]\r\nMode=1\t\r\n") << false;
        QTest::newRow("empty line first") << QByteArray("\r\n[Settings]\r\nMode=1\r\n") << false;
        QTest::newRow("after the window") << QByteArray("[Window]\r\nWidth=1\r\n[Settings]\r\nMode=1") << false;
    }
    void aFileTheWriterWouldTidyIsLeftAlone()
    {
        QFETCH(QByteArray, file);
        QFETCH(bool, written);
        QVERIFY(put(ini(), file));
        const WindowPlacement before { QSize(700, 620), false, { 0, 0, 0 } };
        const WindowPlacement now { QSize(800, 620), false, { 0, 0, 0 } };
        QCOMPARE(writeWindowPlacement(ini(), before, now), written);
        const QByteArray after = readBytes(ini());
        if (written) {
            // Everything before [Window] is the file as it was.
            QVERIFY2(after.startsWith(file), after);
            QVERIFY(after.endsWith("[Window]\r\nWidth=800\r\n"));
        } else {
            QCOMPARE(after, file);
        }
    }
};

QTEST_GUILESS_MAIN(TestWindowPlacement)
#include "tst_windowplacement.moc"
