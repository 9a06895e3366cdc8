// Checks the delivered Filters.txt against the function names that AviSynth+
// 3.7.5 registers in its core and in the plugins it ships, kept beside this
// test one name per line, spelled as AviSynth+ registers them.
#include <QFile>
#include <QHash>
#include <QSet>
#include <QtTest>

#include <utility>

using namespace Qt::StringLiterals;

namespace {

QString failures(const QString &what, const QStringList &found)
{
    return what + u":\n  "_s + found.join(u"\n  "_s);
}

} // namespace

class TestFiltersFile : public QObject
{
    Q_OBJECT

    QByteArray m_raw;
    QStringList m_lines; // Filters.txt's lines without their line ends
    QStringList m_registered;
    QHash<QString, QString> m_registeredByUpper;

    static QString where(qsizetype index) { return u"line %1"_s.arg(index + 1); }

private slots:
    void initTestCase()
    {
        QFile filters(QStringLiteral(FILTERS_FILE));
        QVERIFY2(filters.open(QIODevice::ReadOnly), qPrintable(filters.fileName() + u": "_s + filters.errorString()));
        m_raw = filters.readAll();
        QByteArray body = m_raw;
        if (body.endsWith('\n'))
            body.chop(1);
        for (QByteArray line : body.split('\n')) {
            if (line.endsWith('\r'))
                line.chop(1);
            m_lines << QString::fromLatin1(line);
        }

        QFile list(QStringLiteral(REGISTERED_NAMES_FILE));
        QVERIFY2(list.open(QIODevice::ReadOnly | QIODevice::Text),
            qPrintable(list.fileName() + u": "_s + list.errorString()));
        for (const QByteArray &line : list.readAll().split('\n')) {
            const QString name = QString::fromLatin1(line.trimmed());
            if (name.isEmpty())
                continue;
            // The reference itself must map each upper-cased name to one spelling.
            QVERIFY2(!m_registeredByUpper.contains(name.toUpper()), qPrintable(u"listed twice: "_s + name));
            m_registered << name;
            m_registeredByUpper.insert(name.toUpper(), name);
        }
        QVERIFY2(!m_registered.isEmpty(), "the list of registered names is empty");
    }

    // The delivered data files keep CR LF line ends byte for byte.
    void crLfLineEnds()
    {
        QVERIFY2(m_raw.endsWith("\r\n"), "the last line ends with CR LF");
        QCOMPARE(m_raw.count('\n'), m_raw.count("\r\n"));
        QCOMPARE(m_raw.count('\r'), m_raw.count("\r\n"));
    }

    // A blank line gives an empty entry and blanks are trimmed on reading;
    // neither belongs in a delivered file.
    void noBlankLinesOrBlanks()
    {
        QStringList found;
        for (qsizetype i = 0; i < m_lines.size(); ++i) {
            const QString &line = m_lines.at(i);
            if (line.isEmpty())
                found << where(i) + u" is empty"_s;
            else if (line.trimmed() != line)
                found << where(i) + u": \""_s + line + u"\" has leading or trailing blanks"_s;
        }
        QVERIFY2(found.isEmpty(), qPrintable(failures(u"blank lines or blanks"_s, found)));
    }

    void everyRegisteredNamePresent()
    {
        const QSet<QString> present(m_lines.cbegin(), m_lines.cend());
        QStringList missing;
        for (const QString &name : std::as_const(m_registered))
            if (!present.contains(name))
                missing << name;
        QVERIFY2(missing.isEmpty(), qPrintable(failures(u"registered names missing or spelled otherwise"_s, missing)));
    }

    void noUnknownName()
    {
        QStringList found;
        for (qsizetype i = 0; i < m_lines.size(); ++i) {
            const QString &line = m_lines.at(i);
            const QString registered = m_registeredByUpper.value(line.toUpper());
            if (registered.isEmpty())
                found << where(i) + u": "_s + line + u" is not registered"_s;
            else if (registered != line)
                found << where(i) + u": "_s + line + u" is registered as "_s + registered;
        }
        QVERIFY2(found.isEmpty(), qPrintable(failures(u"unknown names"_s, found)));
    }

    // Names match without regard to case, so a second spelling only adds a
    // duplicate to the completion list.
    void noCaseDuplicates()
    {
        QHash<QString, qsizetype> firstLine;
        QStringList found;
        for (qsizetype i = 0; i < m_lines.size(); ++i) {
            const QString upper = m_lines.at(i).toUpper();
            if (firstLine.contains(upper))
                found << where(i) + u": "_s + m_lines.at(i) + u" repeats "_s + where(firstLine.value(upper));
            else
                firstLine.insert(upper, i);
        }
        QVERIFY2(found.isEmpty(), qPrintable(failures(u"case duplicates"_s, found)));
    }

    // When two names match at the same place the earlier line wins, so a name
    // listed after a shorter name it starts with would never be coloured whole.
    void longerNameBeforeItsPrefix()
    {
        QStringList upper;
        for (const QString &line : std::as_const(m_lines))
            upper << line.toUpper();
        QStringList found;
        for (qsizetype i = 0; i < upper.size(); ++i) {
            if (upper.at(i).isEmpty())
                continue; // reported by noBlankLinesOrBlanks
            for (qsizetype j = i + 1; j < upper.size(); ++j)
                if (upper.at(j).size() > upper.at(i).size() && upper.at(j).startsWith(upper.at(i)))
                    found << m_lines.at(j) + u" ("_s + where(j) + u") comes after "_s + m_lines.at(i) + u" ("_s
                            + where(i) + u")"_s;
        }
        QVERIFY2(found.isEmpty(), qPrintable(failures(u"longer names after their prefixes"_s, found)));
    }
};

QTEST_GUILESS_MAIN(TestFiltersFile)
#include "tst_filtersfile.moc"
