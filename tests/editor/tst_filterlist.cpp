#include "FilterList.h"
#include "RuntimeError.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;

class TestFilterList : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void lines_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("offered");
        QTest::addColumn<QStringList>("filterNames");
        QTest::newRow("blank lines and one-character names count as names, are not offered")
            << QByteArray("\r\nBlur\r\nx\r\n\r\nCrop\r\n") << QStringList { u"Blur"_s, u"Crop"_s }
            << QStringList { u"BLUR"_s, u"X"_s, QString(), u"CROP"_s };
        // A tab is part of the name: only spaces are trimmed.
        QTest::newRow("spaces trimmed, bars split names, file order kept")
            << QByteArray("  crop  \nBlur|Sharpen\n\tAddBorders \n")
            << QStringList { u"crop"_s, u"Blur|Sharpen"_s, u"\tAddBorders"_s }
            << QStringList { u"CROP"_s, u"BLUR"_s, u"SHARPEN"_s, u"\tADDBORDERS"_s };
        QTest::newRow("only blank lines") << QByteArray("\n  \n") << QStringList() << QStringList();
    }
    void lines()
    {
        QFETCH(QByteArray, file);
        const QString path = m_dir.filePath(u"Filters.txt"_s);
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(file);
        f.close();
        const FilterList list = readFilterList(path);
        QTEST(list.offered, "offered");
        QTEST(list.filterNames, "filterNames");
    }

    void aMissingFileIsFileNotFound()
    {
        try {
            readFilterList(m_dir.filePath(u"none.txt"_s));
            QFAIL("no error");
        } catch (const RuntimeError &e) {
            QCOMPARE(e.number(), ErrNum::FileNotFound);
        }
    }
};

QTEST_GUILESS_MAIN(TestFilterList)
#include "tst_filterlist.moc"
