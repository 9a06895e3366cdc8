#include "FilterList.h"
#include "RuntimeError.h"

#include <QFile>
#include <QHash>
#include <QTemporaryDir>
#include <QtTest>

using namespace errorlog;

using namespace editor;

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
        QTest::newRow("spaces trimmed, bars split names, a lone CR ends a line, file order kept")
            << QByteArray("  crop  \nBlur|Sharpen\r\tAddBorders \n")
            << QStringList { u"crop"_s, u"Blur|Sharpen"_s, u"\tAddBorders"_s }
            << QStringList { u"CROP"_s, u"BLUR"_s, u"SHARPEN"_s, u"\tADDBORDERS"_s };
        QTest::newRow("only blank lines") << QByteArray("\n  \n") << QStringList() << QStringList();
        // Saved by an editor that marks UTF-8: the mark is no part of the first name.
        QTest::newRow("a byte-order mark")
            << QByteArray("\xEF\xBB\xBF"
                          "Blur\r\nCrop\r\n")
            << QStringList { u"Blur"_s, u"Crop"_s } << QStringList { u"BLUR"_s, u"CROP"_s };
    }
    void lines()
    {
        QFETCH(QByteArray, file);
        const QString path = m_dir.filePath(u"Filters.txt"_s);
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(file) == file.size());
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

    // The delivered file against the names AviSynth+ 3.7.5 registers in its
    // core and shipped plugins and those of the plugins most templates open
    // their clips with, kept beside this test as registered.
    void deliveredFileHoldsTheRegisteredNames()
    {
        QFile filters(QStringLiteral(FILTERS_FILE));
        QVERIFY(filters.open(QIODevice::ReadOnly));
        QByteArray names;
        for (const char *path : { REGISTERED_NAMES_FILE, PLUGIN_NAMES_FILE }) {
            QFile registered(QString::fromLocal8Bit(path));
            QVERIFY2(registered.open(QIODevice::ReadOnly), path);
            names += registered.readAll() + '\n';
        }
        const QByteArray raw = filters.readAll();
        QVERIFY2(raw.endsWith("\r\n") && raw.count('\n') == raw.count("\r\n") && raw.count('\r') == raw.count('\n'),
            "CR LF line ends");
        const QStringList lines = QString::fromLatin1(raw.chopped(2)).split(u"\r\n"_s);
        QHash<QString, QString> spelling; // by the upper-cased name
        for (const QByteArray &name : names.split('\n'))
            if (!name.trimmed().isEmpty())
                spelling.insert(QString::fromLatin1(name.trimmed()).toUpper(), QString::fromLatin1(name.trimmed()));

        QStringList faults;
        QHash<QString, qsizetype> lineOf; // by the upper-cased name
        for (qsizetype i = 0; i < lines.size(); ++i) {
            const QString name = lines.at(i), upper = name.toUpper(), where = u"line %1, %2: "_s.arg(i + 1).arg(name);
            // Blanks are trimmed on reading: a name with them is not the one checked here.
            if (name.isEmpty() || spelling.value(upper) != name)
                faults << where + u"blank, or not registered as spelled here"_s;
            // Names match without regard to case: a second spelling only repeats an entry.
            if (lineOf.contains(upper))
                faults << where + u"repeats line %1"_s.arg(lineOf.value(upper) + 1);
            lineOf.insert(upper, i);
            // The earlier of two names that match at one place wins, so a
            // shorter name listed first would keep the longer from its colour.
            for (qsizetype j = 0; j < i; ++j)
                if (!lines.at(j).isEmpty() && upper.startsWith(lines.at(j).toUpper()) && upper != lines.at(j).toUpper())
                    faults << where + u"comes after line %1, %2"_s.arg(j + 1).arg(lines.at(j));
        }
        for (const QString &name : std::as_const(spelling))
            if (!lines.contains(name))
                faults << u"missing: "_s + name;
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(u'\n')));
    }
};

QTEST_GUILESS_MAIN(TestFilterList)
#include "tst_filterlist.moc"
