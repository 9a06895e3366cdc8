// The verlook library as a client sees it: registration by the regsvr tool
// and by its export, the registry entries, the interface table, late binding
// by name, the unload count, the version resource, and CheckForUpdate against
// a local web server (the comparison, the failures it passes on, the address
// it builds, the 15-second give-up while the caller's events keep running).
// The slots run in order: the first ones leave the library registered, and
// those that count live objects run before the shared object is made.

#include "ComBase.h"
#include "ComPtr.h"
#include "ComponentServer.h"
#include "TestHttpServer.h"
#include "UpdateCheckInterface.h"
#include "VersionInfo.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLibrary>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

const QString kLibrary = QFileInfo(QStringLiteral(VERLOOK_PATH)).absoluteFilePath();
const QString kClsid = u"{1ABF3AFB-1FDC-42B1-A6E2-F3189B55C8F4}"_s;
const QString kLibId = u"{A3483490-627D-43A2-82D3-A226E9E2CB64}"_s;
const QString kProgId = u"Kestrelle_Update_Check.CUpdateCheck"_s;
const QString kClassKey = u"CLSID/"_s + kClsid;
const QString kInterfaceKey = u"Interface/{61BA98F4-52EC-4190-A6C9-F563D694971D}"_s;
const QString kTypeLibKey = u"TypeLib/"_s + kLibId + u"/1.0"_s;

int runRegsvr(const QStringList &args, QByteArray *err = nullptr)
{
    QProcess p;
    p.start(QStringLiteral(REGSVR_PATH), args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit)
        return -1;
    if (err)
        *err = p.readAllStandardError();
    return p.exitCode();
}

} // namespace

class TestVerlookComponent : public QObject
{
    Q_OBJECT

    QTemporaryDir m_config;
    QLibrary m_library{kLibrary};
    TestHttpServer m_server;
    ComPtr<_CUpdateCheck> m_check;

    QString registryFile() const { return m_config.filePath(u"Kestrelle/components.ini"_s); }

    template <typename Fn>
    Fn entry(const char *name)
    {
        return reinterpret_cast<Fn>(m_library.resolve(name));
    }

    // CheckForUpdate on object, or else on the one object the slots share as
    // a client keeps one; a base starting with "/" is a path on the server.
    HRESULT check(const QString &base, const QString &current, VARIANT_BOOL *result, _CUpdateCheck *object = nullptr)
    {
        if (!object && !m_check && FAILED(CoCreateInstance(CLSID_CUpdateCheck, IID__CUpdateCheck, m_check.put())))
            return E_FAIL;
        const BStr address(base.startsWith(u'/') ? m_server.url(base) : base), file(u"version.txt"_s), version(current);
        *result = 7; // must be overwritten
        return (object ? object : m_check.get())->CheckForUpdate(address.get(), file.get(), version.get(), result);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_config.isValid());
        isolateRegistryAndNetwork(m_config.path());
        QVERIFY2(m_library.load(), qPrintable(m_library.errorString()));
        QVERIFY(m_server.isListening());
    }

    void registerWithToolThenUnregister()
    {
        QCOMPARE(runRegsvr({kLibrary}), 0);
        // What clients, the type library loader and the marshaller look up.
        const std::pair<QString, QString> entries[] = {
            {kClassKey, u"CUpdateCheck"_s},
            {kClassKey + u"/InprocServer32"_s, kLibrary},
            {kClassKey + u"/InprocServer32/ThreadingModel"_s, u"Apartment"_s},
            {kClassKey + u"/ProgID"_s, kProgId},
            {kClassKey + u"/TypeLib"_s, kLibId},
            {kProgId + u"/CLSID"_s, kClsid},
            {kInterfaceKey, u"_CUpdateCheck"_s},
            {kInterfaceKey + u"/ProxyStubClsid32"_s, u"{00020424-0000-0000-C000-000000000046}"_s},
            {kInterfaceKey + u"/TypeLib"_s, kLibId},
            {kTypeLibKey, u"Kestrelle Update Check"_s},
            {kTypeLibKey + u"/0/win32"_s, kLibrary},
        };
        const QSettings file(registryFile(), QSettings::IniFormat);
        for (const auto &[key, value] : entries)
            QCOMPARE(key + u" = "_s + file.value(key).toString(), key + u" = "_s + value);

        // The tool ran in another process; this one sees its work at once.
        QCOMPARE(CoCreateInstance(CLSID_CUpdateCheck, IID_IUnknown, ComPtr<IUnknown>().put()), S_OK);
        QCOMPARE(runRegsvr({u"-u"_s, kLibrary}), 0);
        QVERIFY(QSettings(registryFile(), QSettings::IniFormat).allKeys().isEmpty());
    }

    void registryWriteFailureIsReported()
    {
        // A folder where the file belongs: nothing can be written.
        QFile::remove(registryFile());
        QVERIFY(QDir().mkpath(registryFile()));
        QByteArray err;
        QCOMPARE(runRegsvr({kLibrary}, &err), 5);
        QVERIFY(err.contains("DllRegisterServer"));

        // Registered through the export for the slots below.
        QVERIFY(QDir(registryFile()).removeRecursively());
        const auto registerServerEntry = entry<DllRegisterServerFn>("DllRegisterServer");
        QVERIFY(registerServerEntry);
        QCOMPARE(registerServerEntry(), S_OK);
    }

    void callThroughInterfaceTable()
    {
        ComPtr<_CUpdateCheck> object;
        QCOMPARE(CoCreateInstance(CLSID_CUpdateCheck, IID__CUpdateCheck, object.put()), S_OK);

        // The table as a C client indexes it: IUnknown's three entries,
        // IDispatch's four, then CheckForUpdate.
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
        QCOMPARE(result, VARIANT_TRUE);

        ComPtr<IUnknown> other;
        QCOMPARE(object->QueryInterface(IID_IClassFactory, other.put()), E_NOINTERFACE);
        QVERIFY(!other);
    }

    void callByName()
    {
        ComPtr<IDispatch> dispatch;
        QCOMPARE(CoCreateInstance(CLSID_CUpdateCheck, IID_IDispatch, dispatch.put()), S_OK);
        OLECHAR method[] = u"checkFORupdate", unknown[] = u"Navigate";
        LPOLESTR names[] = {method};
        DISPID id = 0;
        QCOMPARE(dispatch->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK);
        QCOMPARE(id, DISPID_CheckForUpdate);
        names[0] = unknown;
        QCOMPARE(dispatch->GetIDsOfNames(IID_NULL, names, 1, 0, &id), DISP_E_UNKNOWNNAME);

        // Arguments travel last first: the address is the last one.
        VARIANT args[3];
        const QString texts[] = {u"101"_s, u"version.txt"_s, m_server.url(u"/byname"_s)};
        for (int i = 0; i < 3; ++i) {
            VariantInit(&args[i]);
            args[i].vt = VT_BSTR;
            args[i].bstrVal = bstrFromQString(texts[i]);
        }
        DISPPARAMS params{args, nullptr, 3, 0};
        VARIANT result;
        VariantInit(&result);
        EXCEPINFO exception{};
        UINT argError = 99;
        const auto invoke = [&] {
            return dispatch->Invoke(DISPID_CheckForUpdate, IID_NULL, 0, DISPATCH_METHOD, &params, &result, &exception,
                                    &argError);
        };
        m_server.answer(200, "text/plain", "102");
        QCOMPARE(invoke(), S_OK);
        QVERIFY(result.vt == VT_BOOL && result.boolVal == VARIANT_TRUE);

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
    }

    void releasedDuringTheCall()
    {
        const auto canUnloadNow = entry<DllCanUnloadNowFn>("DllCanUnloadNow");
        ComPtr<_CUpdateCheck> held;
        QCOMPARE(CoCreateInstance(CLSID_CUpdateCheck, IID__CUpdateCheck, held.put()), S_OK);
        _CUpdateCheck *raw = held.get();
        QCOMPARE(canUnloadNow(), S_FALSE);

        // The caller's event handlers run during the fetch; one of them lets
        // go of the object. It must last until the call returns, and no longer.
        bool released = false;
        QTimer::singleShot(0, this, [&] {
            held.reset();
            released = true;
        });
        m_server.answer(200, "text/plain", "102");
        VARIANT_BOOL result = VARIANT_FALSE;
        QCOMPARE(check(u"/released"_s, u"101"_s, &result, raw), S_OK);
        QVERIFY(released);
        QCOMPARE(result, VARIANT_TRUE);
        QCOMPARE(canUnloadNow(), S_OK);
    }

    void lockServerKeepsTheLibrary()
    {
        const auto canUnloadNow = entry<DllCanUnloadNowFn>("DllCanUnloadNow");
        const auto getClassObject = entry<DllGetClassObjectFn>("DllGetClassObject");
        ComPtr<IClassFactory> factory;
        QCOMPARE(getClassObject(CLSID_CUpdateCheck, IID_IClassFactory, factory.put()), S_OK);
        QCOMPARE(factory->LockServer(1), S_OK);
        QCOMPARE(canUnloadNow(), S_FALSE);
        QCOMPARE(factory->LockServer(0), S_OK);
        QCOMPARE(canUnloadNow(), S_OK);
    }

    void versionResource()
    {
        QString why;
        const std::optional<LibraryVersionInfo> info = readVersionInfo(kLibrary, &why);
        QVERIFY2(info, qPrintable(why));
        const auto str = [&](QStringView name) { return info->string(name).value_or(u"<missing>"_s); };
        // The project's version, its text with the minor number in two
        // digits; names in any case; present but empty is not missing.
        QCOMPARE(info->fileVersion, QVersionNumber({0, 1, 0, 0}));
        QCOMPARE(str(u"fileversion"), u"0.01"_s);
        QCOMPARE(str(u"OLESelfRegister"), QString());
        QCOMPARE(str(u"LegalCopyright"), u"<missing>"_s);
    }

    void comparesPublishedNumber_data()
    {
        QTest::addColumn<QByteArray>("type");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("current");
        QTest::addColumn<int>("error"); // run-time error carried, 0 for none
        QTest::addColumn<bool>("newer");

        const QByteArray plain("text/plain"), html("text/html");
        QTest::newRow("equal") << plain << QByteArray("101") << "101" << 0 << false;
        QTest::newRow("number in a page")
            << html << QByteArray("<html><head><title>v</title></head><body><p>102</p></body></html>") << "101" << 0
            << true;
        QTest::newRow("empty file") << plain << QByteArray() << "101" << 13 << false;
        QTest::newRow("caller's version not a number") << plain << QByteArray("102") << "1.0.1" << 13 << false;
    }

    void comparesPublishedNumber()
    {
        QFETCH(QByteArray, type);
        QFETCH(QByteArray, body);
        QFETCH(QString, current);
        QFETCH(int, error);
        QFETCH(bool, newer);

        m_server.answer(200, type, body);
        VARIANT_BOOL result = VARIANT_FALSE;
        QCOMPARE(check(u"/dl/"_s, current, &result), error ? hresultFromRuntimeError(error) : S_OK);
        QCOMPARE(result, newer ? VARIANT_TRUE : VARIANT_FALSE);
        // A base that already ends in "/" still gets one of its own.
        QCOMPARE(m_server.requestLines.last(), QByteArray("GET /dl//version.txt HTTP/1.1"));
    }

    void failedLoadIsFalseAtOnce()
    {
        VARIANT_BOOL result = VARIANT_TRUE;
        QElapsedTimer clock;
        clock.start();
        const QString refused = u"http://127.0.0.1:%1/dl"_s.arg(TestHttpServer::refusedPort());
        QCOMPARE(check(refused, u"101"_s, &result), S_OK);
        QCOMPARE(result, VARIANT_FALSE);
        // No address at all is no load either.
        QCOMPARE(check(QString(), u"101"_s, &result), S_OK);
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
        QCOMPARE(check(u"/slow"_s, u"101"_s, &result), S_OK);
        const qint64 waited = clock.elapsed();
        ticker.stop();

        QCOMPARE(result, VARIANT_FALSE);
        QVERIFY2(waited >= 14000 && waited <= 15800, qPrintable(QString::number(waited)));
        // The caller's timer kept firing all through the wait.
        QVERIFY2(ticks >= 100, qPrintable(QString::number(ticks)));
        QCOMPARE(m_server.requestLines.last(), QByteArray("GET /slow/version.txt HTTP/1.1"));
    }
};

QTEST_GUILESS_MAIN(TestVerlookComponent)
#include "tst_verlook_component.moc"
