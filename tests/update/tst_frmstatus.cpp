// The update prompt at start, with the real component behind the component
// layer, a local web server and scripted dialogs.

#include "ComBase.h"
#include "ComponentServer.h"
#include "ProgramInfo.h"
#include "RuntimeError.h"
#include "ScriptedDialogs.h"
#include "TestHttpServer.h"
#include "frmStatus.h"

#include <QLibrary>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <tuple>

using namespace component;

using namespace platform;

using update::frmStatus;

using namespace errorlog;

using namespace appcore;

namespace {
const QString kPage = QStringLiteral("http://www.kestrelle.example/freeware/tovrane");
// The question as users know it, word for word.
const QString kQuestion = QStringLiteral(
    "There is a newer version of the Tovrane available!\r\nWould you like to visit the website to get the update?");
const qint32 kClassNotRegistered = -2147221164; // REGDB_E_CLASSNOTREG, as the signed number the log shows
}

class TestFrmStatus : public QObject
{
    Q_OBJECT

    QTemporaryDir m_config;
    TestHttpServer m_server;
    QLibrary m_library { QStringLiteral(VERLOOK_PATH) };

private slots:
    void initTestCase()
    {
        isolateRegistryAndNetwork(m_config.path());
        QVERIFY(m_server.isListening());
        QVERIFY(m_library.load());
    }

    // Every row starts registered, whatever the one before left behind.
    void init() { QVERIFY(registerServer(QStringLiteral(VERLOOK_PATH)).ok()); }

    void start_data()
    {
        QTest::addColumn<QList<int>>("version"); // major, minor, revision
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("answer"); // to the question; 0: none may be asked
        QTest::addColumn<qint32>("error"); // number of the RuntimeError Start passes on
        // 1099 is published; the numbers run together, so 1.9.9 is 199 and 1.10.0 is 1100.
        const QList<int> older { 1, 9, 9 };
        QTest::newRow("older, Yes opens the page") << older << 200 << int(Dialogs::Yes) << 0;
        QTest::newRow("older, No opens nothing") << older << 200 << int(Dialogs::No) << 0;
        QTest::newRow("not older") << QList<int> { 1, 10, 0 } << 200 << 0 << 0;
        QTest::newRow("error page") << older << 404 << 0 << ErrNum::TypeMismatch;
        QTest::newRow("not registered") << older << 200 << 0 << kClassNotRegistered;
    }

    void start()
    {
        QFETCH(QList<int>, version);
        QFETCH(int, status);
        QFETCH(int, answer);
        QFETCH(qint32, error);
        const bool registered = error != kClassNotRegistered;
        if (!registered)
            QVERIFY(registerServer(QStringLiteral(VERLOOK_PATH), true).ok());
        m_server.answer(status, status == 200 ? "text/plain" : "text/html",
            status == 200 ? "1099" : "<html><body><h1>Not Found</h1></body></html>");
        m_server.requestLines.clear();
        ScriptedDialogs dialogs;
        dialogs.answers = { Dialogs::Answer(answer ? answer : Dialogs::Yes) };
        ProgramInfo info = ProgramInfo::inFolder(m_config.path());
        std::tie(info.major, info.minor, info.revision) = std::tuple(version[0], version[1], version[2]);
        frmStatus w(info, dialogs, m_server.url(QStringLiteral("/freeware/tovrane/downloads")), kPage);
        QSignalSpy unloaded(&w, &QDialog::finished);

        try {
            w.Start();
            QCOMPARE(0, error);
        } catch (const RuntimeError &e) {
            QCOMPARE(e.number(), error);
        }
        const QByteArray request = "GET /freeware/tovrane/downloads/version.txt HTTP/1.1";
        QCOMPARE(m_server.requestLines, registered ? QList<QByteArray> { request } : QList<QByteArray> {});
        QCOMPARE(dialogs.questions.size(), answer ? 1 : 0);
        for (const ScriptedDialogs::Asked &q : dialogs.questions)
            QVERIFY(q.title.isEmpty() && q.text == kQuestion && q.icon == Dialogs::Icon::Information);
        QCOMPARE(dialogs.openedUrls, answer == Dialogs::Yes ? QStringList { kPage } : QStringList {});
        QVERIFY(dialogs.messages.isEmpty() && dialogs.fileDialogs.isEmpty());

        // Every way out unloads the window and leaves no object of the component alive.
        QCOMPARE(unloaded.count(), 1);
        const auto canUnloadNow = reinterpret_cast<DllCanUnloadNowFn>(m_library.resolve("DllCanUnloadNow"));
        QVERIFY(canUnloadNow && canUnloadNow() == S_OK);
    }
};

QTEST_MAIN(TestFrmStatus)
#include "tst_frmstatus.moc"
