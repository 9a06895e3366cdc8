// The update prompt at start, with the real component behind the component
// layer, a local web server and scripted dialogs.

#include "ComBase.h"
#include "ComponentServer.h"
#include "Dialogs.h"
#include "ProgramInfo.h"
#include "RuntimeError.h"
#include "TestHttpServer.h"
#include "frmStatus.h"

#include <QFile>
#include <QLibrary>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString kPage = QStringLiteral("http://www.kestrelle.example/freeware/tovrane");

class ScriptedDialogs : public Dialogs
{
public:
    struct Question
    {
        QString title;
        QString text;
        Icon icon;
    };
    QList<Question> questions;
    QStringList openedUrls;
    int otherCalls = 0;
    Answer nextAnswer = Yes;

    Answer question(const QString &title, const QString &text, Icon icon) override
    {
        questions.append({title, text, icon});
        return nextAnswer;
    }
    void message(const QString &, const QString &) override { ++otherCalls; }
    QString openFileName(const QString &, const QString &, const QString &) override
    {
        ++otherCalls;
        return QString();
    }
    QString saveFileName(const QString &, const QString &, const QString &) override
    {
        ++otherCalls;
        return QString();
    }
    void openUrl(const QString &url) override { openedUrls.append(url); }
};

} // namespace

class TestFrmStatus : public QObject
{
    Q_OBJECT

    QTemporaryDir m_config;
    TestHttpServer m_server;
    QLibrary m_library{QStringLiteral(VERLOOK_PATH)};

    ProgramInfo info(int major = 1, int minor = 0, int revision = 1) const
    {
        ProgramInfo i = ProgramInfo::inFolder(m_config.path());
        i.major = major;
        i.minor = minor;
        i.revision = revision;
        return i;
    }

    QString base() const { return m_server.url(QStringLiteral("/freeware/tovrane/downloads")); }

    // No object of the component outlives Start.
    bool componentIdle()
    {
        const auto canUnloadNow = reinterpret_cast<DllCanUnloadNowFn>(m_library.resolve("DllCanUnloadNow"));
        return canUnloadNow && canUnloadNow() == S_OK;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_config.isValid());
        isolateRegistryAndNetwork(m_config.path());
        QVERIFY(m_server.isListening());
        const ServerRegistration reg = registerServer(QStringLiteral(VERLOOK_PATH));
        QVERIFY2(reg.ok(), qPrintable(reg.description));
        QVERIFY(m_library.load());
    }

    void newerVersionOffersThePage_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<QStringList>("opened");
        QTest::newRow("yes opens the page") << int(Dialogs::Yes) << QStringList{kPage};
        QTest::newRow("no opens nothing") << int(Dialogs::No) << QStringList{};
    }

    void newerVersionOffersThePage()
    {
        QFETCH(int, answer);
        QFETCH(QStringList, opened);

        m_server.answer(200, "text/plain", "102");
        ScriptedDialogs dialogs;
        dialogs.nextAnswer = Dialogs::Answer(answer);
        frmStatus w(info(), dialogs, base(), kPage);
        QSignalSpy unloaded(&w, &QDialog::finished);

        w.Start();

        QCOMPARE(m_server.requestLines.last(), QByteArray("GET /freeware/tovrane/downloads/version.txt HTTP/1.1"));
        QCOMPARE(dialogs.questions.size(), 1);
        QCOMPARE(dialogs.questions[0].title, QString());
        QCOMPARE(dialogs.questions[0].text,
                 QStringLiteral("There is a newer version of the Tovrane available!\r\n"
                                "Would you like to visit the website to get the update?"));
        QVERIFY(dialogs.questions[0].icon == Dialogs::Icon::Information);
        QCOMPARE(dialogs.openedUrls, opened);
        QCOMPARE(dialogs.otherCalls, 0);
        QCOMPARE(unloaded.count(), 1);
        QVERIFY(!w.isVisible());
        QVERIFY(componentIdle());
    }

    void asksOnlyWhenNewer_data()
    {
        QTest::addColumn<int>("major");
        QTest::addColumn<int>("minor");
        QTest::addColumn<int>("revision");
        QTest::addColumn<QByteArray>("published");
        QTest::addColumn<bool>("asked");
        QTest::newRow("same") << 1 << 0 << 1 << QByteArray("101") << false;
        QTest::newRow("older") << 1 << 0 << 1 << QByteArray("100") << false;
        // The numbers are run together: 1.10.0 is 1100, 1.9.9 is 199.
        QTest::newRow("1.10.0 against 1099") << 1 << 10 << 0 << QByteArray("1099") << false;
        QTest::newRow("1.9.9 against 1099") << 1 << 9 << 9 << QByteArray("1099") << true;
    }

    void asksOnlyWhenNewer()
    {
        QFETCH(int, major);
        QFETCH(int, minor);
        QFETCH(int, revision);
        QFETCH(QByteArray, published);
        QFETCH(bool, asked);

        m_server.answer(200, "text/plain", published);
        ScriptedDialogs dialogs;
        frmStatus w(info(major, minor, revision), dialogs, base(), kPage);
        QSignalSpy unloaded(&w, &QDialog::finished);
        w.Start();
        QCOMPARE(dialogs.questions.size(), asked ? 1 : 0);
        QCOMPARE(unloaded.count(), 1);
    }

    void failuresPassToTheCaller()
    {
        ScriptedDialogs dialogs;
        frmStatus w(info(), dialogs, base(), kPage);
        QSignalSpy unloaded(&w, &QDialog::finished);

        m_server.answer(404, "text/html", "<html><body><h1>Not Found</h1></body></html>");
        qint32 number = 0;
        try {
            w.Start();
        } catch (const RuntimeError &e) {
            number = e.number();
        }
        QCOMPARE(number, ErrNum::TypeMismatch);
        QCOMPARE(unloaded.count(), 1);
        QVERIFY(componentIdle());

        m_server.answer(200, "text/plain", "99999999999");
        number = 0;
        try {
            w.Start();
        } catch (const RuntimeError &e) {
            number = e.number();
        }
        QCOMPARE(number, ErrNum::Overflow);
        QCOMPARE(unloaded.count(), 2);
        QVERIFY(dialogs.questions.isEmpty());
    }

    void unregisteredComponentThrows()
    {
        QVERIFY(registerServer(QStringLiteral(VERLOOK_PATH), true).ok());
        ScriptedDialogs dialogs;
        frmStatus w(info(), dialogs, base(), kPage);
        QSignalSpy unloaded(&w, &QDialog::finished);
        const qsizetype requests = m_server.requestLines.size();

        qint32 number = 0;
        QString description;
        try {
            w.Start();
        } catch (const RuntimeError &e) {
            number = e.number();
            description = e.description();
        }
        // REGDB_E_CLASSNOTREG as the signed number the log shows.
        QCOMPARE(number, qint32(-2147221164));
        QVERIFY2(description.startsWith(QStringLiteral("Class not registered")), qPrintable(description));
        QCOMPARE(unloaded.count(), 1);
        QCOMPARE(m_server.requestLines.size(), requests);
        QVERIFY(dialogs.questions.isEmpty());

        QVERIFY(registerServer(QStringLiteral(VERLOOK_PATH)).ok());
    }
};

QTEST_MAIN(TestFrmStatus)
#include "tst_frmstatus.moc"
