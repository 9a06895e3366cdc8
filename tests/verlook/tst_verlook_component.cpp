// The verlook library as a client sees it: its registry entries, the
// interface table, late binding by name, the unload count, and CheckForUpdate
// against a local web server (the comparison, the failures it passes on, the
// address it builds, the 64 KiB cap, replies cut short, the 15-second give-up
// while the caller's events keep running). The slots run in order: the first
// one leaves the library registered.

#include "ComBase.h"
#include "ComPtr.h"
#include "ComponentServer.h"
#include "TestHttpServer.h"
#include "UpdateCheckInterface.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLibrary>
#include <QNetworkProxy>
#include <QScopeGuard>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using namespace component;

using namespace Qt::StringLiterals;

namespace {

const QString kLibrary = QFileInfo(QStringLiteral(VERLOOK_PATH)).absoluteFilePath();

// What the server sends: a reply with or without its length, the bytes of a
// whole response as given, digits without end, or nothing at all.
// Redirected: moved to another path on the server, where the body is;
// RedirectedInCircles: moved to itself.
enum Reply { Plain, Html, Unannounced, Raw, Redirected, RedirectedInCircles, Endless, Silent };

// What the component registry holds, read as another program reads it: the
// file on Linux, the system's registry on Windows. key is "/"-separated; a
// key alone stands for its default value.
#ifdef Q_OS_WIN
QString registered(const QString &, const QString &key)
{
    const QSettings classes(u"HKEY_CURRENT_USER\\Software\\Classes"_s, QSettings::NativeFormat);
    const QString value = classes.value(key + u"/Default"_s).toString();
    return value.isEmpty() ? classes.value(key).toString() : value;
}
bool nothingRegistered(const QString &)
{
    const QSettings classes(u"HKEY_CURRENT_USER\\Software\\Classes"_s, QSettings::NativeFormat);
    for (const char *key : { "CLSID/{1ABF3AFB-1FDC-42B1-A6E2-F3189B55C8F4}", "Kestrelle_Update_Check.CUpdateCheck",
             "Interface/{61BA98F4-52EC-4190-A6C9-F563D694971D}", "TypeLib/{A3483490-627D-43A2-82D3-A226E9E2CB64}" }) {
        if (classes.contains(QLatin1String(key) + u"/Default"_s) || !classes.value(QLatin1String(key)).isNull())
            return false;
    }
    return true;
}
#else
QString registered(const QString &file, const QString &key)
{
    return QSettings(file, QSettings::IniFormat).value(key).toString();
}
bool nothingRegistered(const QString &file)
{
    return QSettings(file, QSettings::IniFormat).allKeys().isEmpty();
}
#endif

const QByteArray kChunkedHead = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nTransfer-Encoding: chunked\r\n\r\n";

} // namespace

class TestVerlookComponent : public QObject
{
    Q_OBJECT

    QTemporaryDir m_config;
    QLibrary m_library { kLibrary };
    TestHttpServer m_server;
    ComPtr<_CUpdateCheck> m_check; // kept across calls, as a client keeps one

    template <typename Fn> Fn entry(const char *name) { return reinterpret_cast<Fn>(m_library.resolve(name)); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_config.isValid());
        isolateRegistryAndNetwork(m_config.path());
        QVERIFY2(m_library.load(), qPrintable(m_library.errorString()));
        QVERIFY(m_server.isListening());
    }

    void registryEntries()
    {
        // What clients, the type library loader and the marshaller look up;
        // "@" is the library's path.
        const char *const entries[] = {
            "CLSID/{1ABF3AFB-1FDC-42B1-A6E2-F3189B55C8F4}=CUpdateCheck",
            "CLSID/{1ABF3AFB-1FDC-42B1-A6E2-F3189B55C8F4}/InprocServer32=@",
            "CLSID/{1ABF3AFB-1FDC-42B1-A6E2-F3189B55C8F4}/InprocServer32/ThreadingModel=Apartment",
            "CLSID/{1ABF3AFB-1FDC-42B1-A6E2-F3189B55C8F4}/ProgID=Kestrelle_Update_Check.CUpdateCheck",
            "CLSID/{1ABF3AFB-1FDC-42B1-A6E2-F3189B55C8F4}/TypeLib={A3483490-627D-43A2-82D3-A226E9E2CB64}",
            "Kestrelle_Update_Check.CUpdateCheck/CLSID={1ABF3AFB-1FDC-42B1-A6E2-F3189B55C8F4}",
            "Interface/{61BA98F4-52EC-4190-A6C9-F563D694971D}=_CUpdateCheck",
            "Interface/{61BA98F4-52EC-4190-A6C9-F563D694971D}/ProxyStubClsid32={00020424-0000-0000-C000-000000000046}",
            "Interface/{61BA98F4-52EC-4190-A6C9-F563D694971D}/TypeLib={A3483490-627D-43A2-82D3-A226E9E2CB64}",
            "TypeLib/{A3483490-627D-43A2-82D3-A226E9E2CB64}/1.0=Kestrelle Update Check",
            "TypeLib/{A3483490-627D-43A2-82D3-A226E9E2CB64}/1.0/0/win32=@",
        };
        const QString registry = m_config.filePath(u"Kestrelle/components.ini"_s);
        QCOMPARE(entry<DllRegisterServerFn>("DllRegisterServer")(), S_OK);
        for (const char *line : entries) {
            const QString key = QString::fromLatin1(line).section(u'=', 0, 0);
            QCOMPARE(key + u'=' + registered(registry, key),
                QString::fromLatin1(line).replace(u'@', QDir::toNativeSeparators(kLibrary)));
        }

        QCOMPARE(entry<DllUnregisterServerFn>("DllUnregisterServer")(), S_OK);
        QVERIFY(nothingRegistered(registry));
        QCOMPARE(entry<DllRegisterServerFn>("DllRegisterServer")(), S_OK); // for the slots below
    }

    // One object called the ways a client may: through its table, by name,
    // and letting go of it during the call.
    void oneObjectEveryWayIn()
    {
        const auto canUnloadNow = entry<DllCanUnloadNowFn>("DllCanUnloadNow");
        ComPtr<_CUpdateCheck> object;
        QCOMPARE(CoCreateInstance(CLSID_CUpdateCheck, IID__CUpdateCheck, object.put()), S_OK);
        QCOMPARE(canUnloadNow(), S_FALSE);
        ComPtr<IUnknown> other;
        QCOMPARE(object->QueryInterface(IID_IClassFactory, other.put()), E_NOINTERFACE);
        QVERIFY(!other);

        // The table as a C client indexes it: IUnknown's three entries,
        // IDispatch's four, then CheckForUpdate. True is -1.
        using Slot = void (*)();
        using RefFn = ULONG (*)(void *);
        using CheckFn = HRESULT (*)(void *, BSTR, BSTR, BSTR, VARIANT_BOOL *);
        const Slot *table = *reinterpret_cast<const Slot *const *>(object.get());
        QCOMPARE(reinterpret_cast<RefFn>(table[1])(object.get()), ULONG(2));
        QCOMPARE(reinterpret_cast<RefFn>(table[2])(object.get()), ULONG(1));
        m_server.answer(200, "text/plain", "102");
        const BStr base(m_server.url(u"/table"_s)), file(u"version.txt"_s), current(u"101"_s);
        VARIANT_BOOL result = VARIANT_FALSE;
        const auto checkForUpdate = reinterpret_cast<CheckFn>(table[7]);
        QCOMPARE(checkForUpdate(object.get(), base.get(), file.get(), current.get(), &result), S_OK);
        QCOMPARE(result, VARIANT_BOOL(-1));

        ComPtr<IDispatch> dispatch;
        QCOMPARE(object->QueryInterface(IID_IDispatch, dispatch.put()), S_OK);
        const BStr method(u"checkFORupdate"_s), unknown(u"Navigate"_s);
        LPOLESTR names[] = { method.get() };
        DISPID id = 0;
        QCOMPARE(dispatch->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK);
        QCOMPARE(id, DISPID_CheckForUpdate);
        names[0] = unknown.get();
        QCOMPARE(dispatch->GetIDsOfNames(IID_NULL, names, 1, 0, &id), DISP_E_UNKNOWNNAME);

        // Arguments travel last first: the address is the last one.
        VARIANT args[3] {}, value {};
        const QString texts[] = { u"101"_s, u"version.txt"_s, m_server.url(u"/byname"_s) };
        for (int i = 0; i < 3; ++i) {
            args[i].vt = VT_BSTR;
            args[i].bstrVal = bstrFromQString(texts[i]);
        }
        DISPPARAMS params { args, nullptr, 3, 0 };
        EXCEPINFO exception {};
        UINT argError = 99;
        const auto invoke = [&] {
            return dispatch->Invoke(
                DISPID_CheckForUpdate, IID_NULL, 0, DISPATCH_METHOD, &params, &value, &exception, &argError);
        };
        QCOMPARE(invoke(), S_OK);
        QVERIFY(value.vt == VT_BOOL && value.boolVal == -1);
        QCOMPARE(m_server.requestLines.last(), QByteArray("GET /byname/version.txt HTTP/1.1"));

        // A failure inside the method comes back as an exception carrying
        // the run-time error.
        m_server.answer(404, "text/html", "<html><body><h1>Not Found</h1></body></html>");
        QCOMPARE(invoke(), DISP_E_EXCEPTION);
        QCOMPARE(exception.scode, hresultFromRuntimeError(13));
        QCOMPARE(qStringFromBstr(exception.bstrDescription), u"Type mismatch"_s);
        SysFreeString(exception.bstrSource);
        SysFreeString(exception.bstrDescription);

        VariantClear(&args[1]);
        args[1].vt = VT_BOOL;
        QCOMPARE(invoke(), DISP_E_TYPEMISMATCH);
        QCOMPARE(argError, UINT(1));
        for (VARIANT &v : args)
            VariantClear(&v);

        // The caller's event handlers run during the fetch; one of them lets
        // go of the object. It must last until the call returns, and no longer.
        dispatch.reset();
        _CUpdateCheck *raw = object.get();
        QTimer::singleShot(0, this, [&] { object.reset(); });
        m_server.answer(200, "text/plain", "102");
        result = VARIANT_FALSE;
        QCOMPARE(raw->CheckForUpdate(base.get(), file.get(), current.get(), &result), S_OK);
        QVERIFY(!object);
        QCOMPARE(result, VARIANT_BOOL(-1));
        QCOMPARE(canUnloadNow(), S_OK);

        ComPtr<IClassFactory> factory;
        QCOMPARE(entry<DllGetClassObjectFn>("DllGetClassObject")(CLSID_CUpdateCheck, IID_IClassFactory, factory.put()),
            S_OK);
        QCOMPARE(factory->LockServer(1), S_OK);
        QCOMPARE(canUnloadNow(), S_FALSE);
        QCOMPARE(factory->LockServer(0), S_OK);
        QCOMPARE(canUnloadNow(), S_OK);
    }

    void checkForUpdate_data()
    {
        QTest::addColumn<int>("reply");
        QTest::addColumn<QByteArray>("body"); // for Endless the announced length, if any
        QTest::addColumn<QString>("base"); // a path on the server, or an address
        QTest::addColumn<QString>("current");
        QTest::addColumn<int>("error"); // run-time error passed on, 0 for none
        QTest::addColumn<bool>("newer");

        const auto row = [](const char *tag, Reply reply, const QByteArray &body, const QString &current, int error,
                             bool newer, const QString &base = u"/dl/"_s) {
            QTest::newRow(tag) << int(reply) << body << base << current << error << newer;
        };
        // At 64 KiB the number comes last, so only the whole reply gives it; a
        // byte more is refused, not cut short, so the number comes first.
        const QByteArray fill(64 * 1024 - 3, ' ');
        row("equal", Plain, "101", "101", 0, false);
        row("number in a page", Html, "<html><head><title>v</title></head><body><p>102</p></body></html>", "101", 0,
            true);
        row("empty file", Plain, "", "101", 13, false);
        row("beyond 32 bits", Plain, "4294967296", "101", 6, false);
        row("caller's version not a number", Plain, "102", "1.0.1", 13, false);
        row("64 KiB", Plain, fill + "102", "101", 0, true);
        row("64 KiB, unannounced", Unannounced, fill + "102", "101", 0, true);
        row("a byte more", Plain, "102 " + fill, "101", 0, false);
        row("a byte more, unannounced", Unannounced, "102 " + fill, "101", 0, false);
        row("without end", Endless, "", "101", 0, false);
        row("without end, a terabyte announced", Endless, "1000000000000", "101", 0, false);
        // A transfer that did not complete loaded nothing, whatever came
        // before it broke off: the number in a whole chunked reply counts,
        // the same number in a reply cut short does not.
        row("chunked", Raw, kChunkedHead + "3\r\n102\r\n0\r\n\r\n", "101", 0, true);
        row("chunked, closed after 102", Raw, kChunkedHead + "3\r\n102\r\n", "101", 0, false);
        row("chunked, broken chunk after 102", Raw, kChunkedHead + "3\r\n102\r\nzz\r\n1\r\n", "101", 0, false);
        row("3 of 5 announced bytes", Raw, "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\n102", "101", 0, false);
        row("error page cut short", Raw,
            "HTTP/1.1 404 Not Found\r\nContent-Type: text/html\r\nContent-Length: 50\r\n\r\n<html><body>", "101", 0,
            false);
        row("redirected", Redirected, "102", "101", 0, true);
        row("redirected in circles", RedirectedInCircles, "102", "101", 0, false);
        row("connection refused", Plain, "", "101", 0, false,
            u"http://127.0.0.1:%1/dl"_s.arg(TestHttpServer::refusedPort()));
        row("no address", Plain, "", "101", 0, false, QString());
        row("silent server", Silent, "", "101", 0, false);
    }

    void checkForUpdate()
    {
        QFETCH(int, reply);
        QFETCH(QByteArray, body);
        QFETCH(QString, base);
        QFETCH(QString, current);
        QFETCH(int, error);
        QFETCH(bool, newer);

        if (reply == Silent)
            m_server.silent();
        else if (reply == Endless)
            m_server.stream(body);
        else if (reply == Raw)
            m_server.answerRaw(body);
        else if (reply == Redirected || reply == RedirectedInCircles)
            m_server.answerRaw("HTTP/1.1 302 Found\r\nLocation: "
                    + QByteArray(reply == Redirected ? "/moved/version.txt" : "version.txt")
                    + "\r\nContent-Length: 0\r\n\r\n",
                { { "/moved/version.txt", "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\n" + body } });
        else
            m_server.answer(200, reply == Html ? "text/html" : "text/plain", body, reply != Unannounced);
        if (!m_check)
            QCOMPARE(CoCreateInstance(CLSID_CUpdateCheck, IID__CUpdateCheck, m_check.put()), S_OK);
        m_server.requestLines.clear();
        const bool onServer = base.startsWith(u'/');
        const BStr address(onServer ? m_server.url(base) : base), file(u"version.txt"_s), version(current);
        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, this, [&] { ++ticks; });
        ticker.start(100);
        VARIANT_BOOL result = 7; // must be overwritten
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(m_check->CheckForUpdate(address.get(), file.get(), version.get(), &result),
            error ? hresultFromRuntimeError(error) : S_OK);
        const qint64 waited = clock.elapsed();
        QCOMPARE(result, VARIANT_BOOL(newer ? -1 : 0));

        // Only a server that never answers is waited for, and the caller's
        // timer keeps firing all through the wait; a reply too long is known
        // long before.
        const QByteArray times = QByteArray::number(waited) + " ms, " + QByteArray::number(ticks) + " ticks";
        if (reply == Silent)
            QVERIFY2(waited >= 14000 && waited <= 15800 && ticks >= 100, times);
        else
            QVERIFY2(waited < 5000, times);
        // The client hung up while what the server sent still fitted in the
        // connection's buffers.
        if (reply == Endless)
            QVERIFY2(m_server.streamed < TestHttpServer::kStreamCap, QByteArray::number(m_server.streamed));
        // A base that already ends in "/" still gets one of its own.
        if (onServer)
            QCOMPARE(m_server.requestLines.value(0), QByteArray("GET /dl//version.txt HTTP/1.1"));
        // Redirects are followed, but not for ever.
        if (reply == Redirected)
            QCOMPARE(m_server.requestLines.value(1), QByteArray("GET /moved/version.txt HTTP/1.1"));
        if (reply == RedirectedInCircles)
            QCOMPARE(m_server.requestLines.size(), 21);
    }

    // A proxy set for the application carries the whole address, as it did
    // for the toolkit's client.
    void throughAProxy()
    {
        QNetworkProxy::setApplicationProxy(
            QNetworkProxy(QNetworkProxy::HttpProxy, u"127.0.0.1"_s, quint16(QUrl(m_server.url()).port())));
        const auto noProxy = qScopeGuard([] { QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy); });
        m_server.answer(200, "text/plain", "102");
        m_server.requestLines.clear();
        const BStr address(u"http://updates.invalid/dl"_s), file(u"version.txt"_s), version(u"101"_s);
        VARIANT_BOOL result = VARIANT_FALSE;
        QCOMPARE(m_check->CheckForUpdate(address.get(), file.get(), version.get(), &result), S_OK);
        QCOMPARE(result, VARIANT_TRUE);
        QCOMPARE(m_server.requestLines, QList<QByteArray> { "GET http://updates.invalid/dl/version.txt HTTP/1.1" });
    }
};

QTEST_GUILESS_MAIN(TestVerlookComponent)
#include "tst_verlook_component.moc"
