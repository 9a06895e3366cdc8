// The verlook library as a client sees it: registration by the regsvr tool
// and by its export, the registry entries, creation by class identifier, the
// interface table, late binding by name, the unload count and the version
// resource.

#include "ComBase.h"
#include "ComPtr.h"
#include "ComponentServer.h"
#include "TestHttpServer.h"
#include "UpdateCheckInterface.h"
#include "VersionInfo.h"

#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

namespace {

const QString kLibrary = QFileInfo(QStringLiteral(VERLOOK_PATH)).absoluteFilePath();
const QString kClassKey = QStringLiteral("CLSID/{1ABF3AFB-1FDC-42B1-A6E2-F3189B55C8F4}");
const QString kInterfaceKey = QStringLiteral("Interface/{61BA98F4-52EC-4190-A6C9-F563D694971D}");
const QString kTypeLibKey = QStringLiteral("TypeLib/{A3483490-627D-43A2-82D3-A226E9E2CB64}/1.0");

} // namespace

class TestVerlookComponent : public QObject
{
    Q_OBJECT

    QTemporaryDir m_config;
    QLibrary m_library{kLibrary};
    TestHttpServer m_server;

    QString registryFile() const { return m_config.filePath(QStringLiteral("Kestrelle/components.ini")); }
    QVariant stored(const QString &key) const { return QSettings(registryFile(), QSettings::IniFormat).value(key); }

    template <typename Fn>
    Fn entry(const char *name)
    {
        return reinterpret_cast<Fn>(m_library.resolve(name));
    }

    static int runRegsvr(const QStringList &args, QByteArray *out = nullptr, QByteArray *err = nullptr)
    {
        QProcess p;
        p.start(QStringLiteral(REGSVR_PATH), args);
        if (!p.waitForFinished(60000))
            return -1;
        if (out)
            *out = p.readAllStandardOutput();
        if (err)
            *err = p.readAllStandardError();
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
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
        QByteArray out;
        QCOMPARE(runRegsvr({kLibrary}, &out), 0);
        QCOMPARE(out.count('\n'), 1);

        QCOMPARE(stored(kClassKey).toString(), QStringLiteral("CUpdateCheck"));
        QCOMPARE(stored(kClassKey + QStringLiteral("/InprocServer32")).toString(), kLibrary);
        QCOMPARE(stored(kClassKey + QStringLiteral("/InprocServer32/ThreadingModel")).toString(), QStringLiteral("Apartment"));
        QCOMPARE(stored(kClassKey + QStringLiteral("/ProgID")).toString(), QStringLiteral("Kestrelle_Update_Check.CUpdateCheck"));
        QCOMPARE(stored(kClassKey + QStringLiteral("/TypeLib")).toString(), QStringLiteral("{A3483490-627D-43A2-82D3-A226E9E2CB64}"));
        QCOMPARE(stored(QStringLiteral("Kestrelle_Update_Check.CUpdateCheck/CLSID")).toString(),
                 QStringLiteral("{1ABF3AFB-1FDC-42B1-A6E2-F3189B55C8F4}"));
        QCOMPARE(stored(kInterfaceKey).toString(), QStringLiteral("_CUpdateCheck"));
        QCOMPARE(stored(kInterfaceKey + QStringLiteral("/ProxyStubClsid32")).toString(),
                 QStringLiteral("{00020424-0000-0000-C000-000000000046}"));
        QCOMPARE(stored(kInterfaceKey + QStringLiteral("/TypeLib")).toString(), QStringLiteral("{A3483490-627D-43A2-82D3-A226E9E2CB64}"));
        QCOMPARE(stored(kTypeLibKey).toString(), QStringLiteral("Kestrelle Update Check"));
        QCOMPARE(stored(kTypeLibKey + QStringLiteral("/0/win32")).toString(), kLibrary);

        CLSID clsid = GUID_NULL;
        QCOMPARE(CLSIDFromProgID(QStringLiteral("Kestrelle_Update_Check.CUpdateCheck"), &clsid), S_OK);
        QVERIFY(clsid == CLSID_CUpdateCheck);
        ComPtr<IUnknown> object;
        QCOMPARE(CoCreateInstance(CLSID_CUpdateCheck, IID_IUnknown, object.put()), S_OK);
        QVERIFY(object);
        object.reset();

        QCOMPARE(runRegsvr({QStringLiteral("-u"), kLibrary}), 0);
        QVERIFY(QSettings(registryFile(), QSettings::IniFormat).allKeys().isEmpty());
        QString description;
        QCOMPARE(CoCreateInstance(CLSID_CUpdateCheck, IID_IUnknown, object.put(), &description), REGDB_E_CLASSNOTREG);
        QVERIFY(!object);
        QVERIFY(description.contains(QStringLiteral("{1ABF3AFB-1FDC-42B1-A6E2-F3189B55C8F4}")));
    }

    void unwritableRegistryIsAFailure()
    {
        // A folder where the file belongs: nothing can be written.
        QFile::remove(registryFile());
        QVERIFY(QDir().mkpath(registryFile()));
        const auto registerServerEntry = entry<DllRegisterServerFn>("DllRegisterServer");
        QVERIFY(registerServerEntry);
        QVERIFY(FAILED(registerServerEntry()));
        QByteArray err;
        QCOMPARE(runRegsvr({kLibrary}, nullptr, &err), 5);
        QVERIFY(err.contains("DllRegisterServer"));
        QVERIFY(QDir(registryFile()).removeRecursively());
    }

    void registerThroughExport()
    {
        const auto registerServerEntry = entry<DllRegisterServerFn>("DllRegisterServer");
        QVERIFY(registerServerEntry);
        QCOMPARE(registerServerEntry(), S_OK);
        QCOMPARE(stored(kClassKey + QStringLiteral("/InprocServer32")).toString(), kLibrary);
    }

    void callThroughInterfaceTable()
    {
        ComPtr<_CUpdateCheck> check;
        QCOMPARE(CoCreateInstance(CLSID_CUpdateCheck, IID__CUpdateCheck, check.put()), S_OK);

        // The table as a C client indexes it: IUnknown's three entries,
        // IDispatch's four, then CheckForUpdate.
        using Slot = void (*)();
        using RefFn = ULONG (*)(void *);
        using CheckFn = HRESULT (*)(void *, BSTR, BSTR, BSTR, VARIANT_BOOL *);
        const Slot *table = *reinterpret_cast<const Slot *const *>(check.get());
        QCOMPARE(reinterpret_cast<RefFn>(table[1])(check.get()), ULONG(2));
        QCOMPARE(reinterpret_cast<RefFn>(table[2])(check.get()), ULONG(1));

        m_server.answer(200, "text/plain", "102");
        const BStr base(m_server.url(QStringLiteral("/table")));
        const BStr file(QStringLiteral("version.txt"));
        const BStr current(QStringLiteral("101"));
        VARIANT_BOOL result = VARIANT_FALSE;
        QCOMPARE(reinterpret_cast<CheckFn>(table[7])(check.get(), base.get(), file.get(), current.get(), &result), S_OK);
        QCOMPARE(result, VARIANT_TRUE);
        QCOMPARE(m_server.requestLines.last(), QByteArray("GET /table/version.txt HTTP/1.1"));

        ComPtr<IDispatch> dispatch;
        QCOMPARE(check->QueryInterface(IID_IDispatch, dispatch.put()), S_OK);
        QCOMPARE(static_cast<void *>(dispatch.get()), static_cast<void *>(check.get()));
        ComPtr<IUnknown> other;
        QCOMPARE(check->QueryInterface(IID_IClassFactory, other.put()), E_NOINTERFACE);
        QVERIFY(!other);
    }

    void callByName()
    {
        ComPtr<IDispatch> dispatch;
        QCOMPARE(CoCreateInstance(CLSID_CUpdateCheck, IID_IDispatch, dispatch.put()), S_OK);

        OLECHAR method[] = u"checkFORupdate";
        OLECHAR unknown[] = u"Navigate";
        LPOLESTR names[] = {method};
        DISPID id = 0;
        QCOMPARE(dispatch->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK);
        QCOMPARE(id, DISPID(0x60030002));
        names[0] = unknown;
        QCOMPARE(dispatch->GetIDsOfNames(IID_NULL, names, 1, 0, &id), DISP_E_UNKNOWNNAME);
        QCOMPARE(id, DISPID_UNKNOWN);

        // Arguments travel last first.
        VARIANT args[3];
        for (VARIANT &v : args) {
            VariantInit(&v);
            v.vt = VT_BSTR;
        }
        args[2].bstrVal = bstrFromQString(m_server.url(QStringLiteral("/byname")));
        args[1].bstrVal = bstrFromQString(QStringLiteral("version.txt"));
        args[0].bstrVal = bstrFromQString(QStringLiteral("101"));
        DISPPARAMS params{args, nullptr, 3, 0};
        VARIANT result;
        VariantInit(&result);
        EXCEPINFO exception{};
        UINT argError = 99;

        m_server.answer(200, "text/plain", "102");
        QCOMPARE(dispatch->Invoke(0x60030002, IID_NULL, 0, DISPATCH_METHOD, &params, &result, &exception, &argError), S_OK);
        QCOMPARE(result.vt, VARTYPE(VT_BOOL));
        QCOMPARE(result.boolVal, VARIANT_TRUE);
        QCOMPARE(m_server.requestLines.last(), QByteArray("GET /byname/version.txt HTTP/1.1"));

        // A failure inside the method comes back as an exception carrying
        // the run-time error.
        m_server.answer(404, "text/html", "<html><body><h1>Not Found</h1></body></html>");
        QCOMPARE(dispatch->Invoke(0x60030002, IID_NULL, 0, DISPATCH_METHOD, &params, &result, &exception, &argError),
                 DISP_E_EXCEPTION);
        QCOMPARE(exception.scode, hresultFromRuntimeError(13));
        QCOMPARE(qStringFromBstr(exception.bstrDescription), QStringLiteral("Type mismatch"));
        SysFreeString(exception.bstrSource);
        SysFreeString(exception.bstrDescription);

        params.cArgs = 2;
        QCOMPARE(dispatch->Invoke(0x60030002, IID_NULL, 0, DISPATCH_METHOD, &params, &result, &exception, &argError),
                 DISP_E_BADPARAMCOUNT);
        params.cArgs = 3;
        VariantClear(&args[1]);
        args[1].vt = VT_BOOL;
        QCOMPARE(dispatch->Invoke(0x60030002, IID_NULL, 0, DISPATCH_METHOD, &params, &result, &exception, &argError),
                 DISP_E_TYPEMISMATCH);
        QCOMPARE(argError, UINT(1));
        QCOMPARE(dispatch->Invoke(0x12345, IID_NULL, 0, DISPATCH_METHOD, &params, &result, &exception, &argError),
                 DISP_E_MEMBERNOTFOUND);
        for (VARIANT &v : args)
            VariantClear(&v);
    }

    void unloadOnlyWhenNothingLives()
    {
        const auto canUnloadNow = entry<DllCanUnloadNowFn>("DllCanUnloadNow");
        const auto getClassObject = entry<DllGetClassObjectFn>("DllGetClassObject");
        QVERIFY(canUnloadNow && getClassObject);
        QCOMPARE(canUnloadNow(), S_OK);

        ComPtr<IUnknown> object;
        QCOMPARE(CoCreateInstance(CLSID_CUpdateCheck, IID_IUnknown, object.put()), S_OK);
        QCOMPARE(canUnloadNow(), S_FALSE);

        ComPtr<IClassFactory> factory;
        QCOMPARE(getClassObject(CLSID_CUpdateCheck, IID_IClassFactory, factory.put()), S_OK);
        ComPtr<IUnknown> aggregated;
        QCOMPARE(factory->CreateInstance(object.get(), IID_IUnknown, aggregated.put()), CLASS_E_NOAGGREGATION);
        QVERIFY(!aggregated);

        object.reset();
        QCOMPARE(canUnloadNow(), S_OK);
        QCOMPARE(factory->LockServer(1), S_OK);
        QCOMPARE(canUnloadNow(), S_FALSE);
        QCOMPARE(factory->LockServer(0), S_OK);
        QCOMPARE(canUnloadNow(), S_OK);

        ComPtr<IClassFactory> none;
        QCOMPARE(getClassObject(IID__CUpdateCheck, IID_IClassFactory, none.put()), CLASS_E_CLASSNOTAVAILABLE);
        QVERIFY(!none);
    }

    void releasedDuringTheCall()
    {
        const auto canUnloadNow = entry<DllCanUnloadNowFn>("DllCanUnloadNow");
        ComPtr<_CUpdateCheck> check;
        QCOMPARE(CoCreateInstance(CLSID_CUpdateCheck, IID__CUpdateCheck, check.put()), S_OK);
        _CUpdateCheck *raw = check.get();

        // The caller's event handlers run during the fetch; one of them lets
        // go of the object. It must last until the call returns.
        bool released = false;
        QTimer::singleShot(0, this, [&] {
            check.reset();
            released = true;
        });
        m_server.answer(200, "text/plain", "102");
        const BStr base(m_server.url(QStringLiteral("/released")));
        const BStr file(QStringLiteral("version.txt"));
        const BStr current(QStringLiteral("101"));
        VARIANT_BOOL result = VARIANT_FALSE;
        QCOMPARE(raw->CheckForUpdate(base.get(), file.get(), current.get(), &result), S_OK);
        QVERIFY(released);
        QCOMPARE(result, VARIANT_TRUE);
        QCOMPARE(canUnloadNow(), S_OK);
    }

    void versionResource()
    {
        QString why;
        const std::optional<LibraryVersionInfo> info = readVersionInfo(kLibrary, &why);
        QVERIFY2(info, qPrintable(why));
        const auto str = [&](QStringView name) { return info->string(name).value_or(QStringLiteral("<missing>")); };
        QCOMPARE(info->fileVersion, QVersionNumber({0, 1, 0, 0}));
        QCOMPARE(info->productVersion, QVersionNumber({0, 1, 0, 0}));
        QCOMPARE(str(u"FileVersion"), QStringLiteral("0.01"));
        QCOMPARE(str(u"productversion"), QStringLiteral("0.01"));
        QCOMPARE(str(u"CompanyName"), QStringLiteral("Kestrelle Software"));
        QCOMPARE(str(u"ProductName"), QStringLiteral("Kestrelle Update Check"));
        QCOMPARE(str(u"FileDescription"),
                 QStringLiteral("Kestrelle Update Check will look for a newer version of any applicaton on a given location"));
        QCOMPARE(str(u"InternalName"), QStringLiteral("verlook"));
        QCOMPARE(str(u"OriginalFilename"), QStringLiteral("verlook.dll"));
        QCOMPARE(str(u"OLESelfRegister"), QString());
        QVERIFY(info->string(u"OLESelfRegister").has_value());
        QVERIFY(!info->string(u"LegalCopyright").has_value());
        QCOMPARE(readVersionString(kLibrary, QStringLiteral("InternalName")).value_or(QString()), QStringLiteral("verlook"));
    }
};

QTEST_GUILESS_MAIN(TestVerlookComponent)
#include "tst_verlook_component.moc"
