// The component layer on Windows, where it is the system's COM: the regsvr
// tool and the system's regsvr32 register the real library in the current
// user's classes, the class is then created by its identifier and by its
// programmatic name, and creation fails with the layer's own results for a
// class not (or no longer) registered, a library that is gone, one cut short,
// one that is no server, and a server that succeeds without an object. The
// registry store is checked against the system's own reader, and the version
// resource against what the library publishes.

#include "ComBase.h"
#include "ComPtr.h"
#include "ComponentRegistry.h"
#include "ComponentServer.h"
#include "NoObjectServer.h"
#include "UpdateCheckInterface.h"
#include "VersionInfo.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibrary>
#include <QLibraryInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

using namespace component;

using namespace Qt::StringLiterals;

namespace {

constexpr CLSID kTestClass = { 0x0F1E2D3C, 0x4B5A, 0x6978, { 0x87, 0x96, 0xA5, 0xB4, 0xC3, 0xD2, 0xE1, 0xF0 } };
constexpr GUID kTestLib = { 0x7C0A3D52, 0x1B9E, 0x4F60, { 0x8D, 0x21, 0x3A, 0x4B, 0x5C, 0x6D, 0x7E, 0x8F } };

const QString kVerlook = QDir::toNativeSeparators(QFileInfo(QStringLiteral(VERLOOK_PATH)).absoluteFilePath());
// A library that exists but is no component.
const QString kPlainLibrary
    = QDir::toNativeSeparators(QLibraryInfo::path(QLibraryInfo::BinariesPath) + u"/Qt6Core.dll"_s);
// A registry of the tests' own, away from the classes COM reads.
const QString kScratchKey = u"HKEY_CURRENT_USER\\Software\\Kestrelle\\ComponentLayerTest"_s;

ComponentClass testClass(const QString &server, const CLSID &clsid = kTestClass)
{
    return { clsid, u"CTest"_s, u"Test_Lib.CTest"_s, server, u"Apartment"_s, kTestLib, u"1.0"_s };
}

// The program's exit code; -1 when it crashed or hung.
int run(const QString &program, const QStringList &args, QByteArray *out = nullptr)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit)
        return -1;
    if (out)
        *out = p.readAll();
    return p.exitCode();
}

int runRegsvr(const QStringList &args, QByteArray *out = nullptr)
{
    return run(QStringLiteral(REGSVR_PATH), args, out);
}

// What the system's registry holds at key (under the current user's
// classes): its default value, or a named one.
QString systemValue(const QString &key, const QString &name = u"Default"_s)
{
    return QSettings(u"HKEY_CURRENT_USER\\Software\\Classes"_s, QSettings::NativeFormat)
        .value(key + u'/' + name)
        .toString();
}

} // namespace

class TestComponentLayerWindows : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    void forgetEverything()
    {
        runRegsvr({ u"-u"_s, kVerlook });
        ComponentRegistry().unregisterClass(kTestClass);
        ComponentRegistry().unregisterClass(kNoObjectClass);
        ComponentRegistry().unregisterClass(kNoFactoryClass);
        QSettings(u"HKEY_CURRENT_USER\\Software\\Kestrelle"_s, QSettings::NativeFormat).remove(u"ComponentLayerTest"_s);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        forgetEverything();
    }

    void cleanupTestCase() { forgetEverything(); }

    // The tool writes the keys COM reads; the class is created through the
    // system; unregistered, it is gone for COM too.
    void registerCreateUnregister()
    {
        QByteArray out;
        QCOMPARE(runRegsvr({ kVerlook }, &out), 0);
        QVERIFY2(out.contains(QFile::encodeName(kVerlook)), out.constData());
        const QString cls = u"CLSID/"_s + guidToString(CLSID_CUpdateCheck);
        QCOMPARE(systemValue(cls), u"CUpdateCheck"_s);
        QCOMPARE(systemValue(cls + u"/InprocServer32"_s).toLower(), kVerlook.toLower());
        QCOMPARE(systemValue(cls + u"/InprocServer32"_s, u"ThreadingModel"_s), u"Apartment"_s);
        QCOMPARE(systemValue(cls + u"/ProgID"_s), QLatin1String(kUpdateCheckProgId));
        QCOMPARE(systemValue(QLatin1String(kUpdateCheckProgId) + u"/CLSID"_s), guidToString(CLSID_CUpdateCheck));
        QCOMPARE(systemValue(u"Interface/"_s + guidToString(IID__CUpdateCheck) + u"/ProxyStubClsid32"_s),
            guidToString(CLSID_PSOAInterface));
        QCOMPARE(systemValue(u"TypeLib/"_s + guidToString(LIBID_Kestrelle_Update_Check) + u"/1.0/0/win32"_s).toLower(),
            kVerlook.toLower());

        CLSID byName = GUID_NULL;
        QCOMPARE(CLSIDFromProgID(QLatin1String(kUpdateCheckProgId), &byName), S_OK);
        QVERIFY(byName == CLSID_CUpdateCheck);
        ComPtr<_CUpdateCheck> check;
        QString why;
        QCOMPARE(CoCreateInstance(CLSID_CUpdateCheck, IID__CUpdateCheck, check.put(), &why), S_OK);
        QVERIFY2(check, qPrintable(why));
        // A text that is no number fails as the runtime's type mismatch does,
        // before anything goes to the network.
        VARIANT_BOOL newer = VARIANT_TRUE;
        const BStr address(u"http://127.0.0.1:9/"_s), file(u"v.txt"_s), current(u"abc"_s);
        const HRESULT hr = check->CheckForUpdate(address.get(), file.get(), current.get(), &newer);
        QVERIFY(hr == S_OK || hr == hresultFromRuntimeError(13));
        QCOMPARE(newer, VARIANT_FALSE);
        check.reset();

        QCOMPARE(runRegsvr({ u"-u"_s, kVerlook }), 0);
        QVERIFY(systemValue(cls).isEmpty() && systemValue(QLatin1String(kUpdateCheckProgId) + u"/CLSID"_s).isEmpty());
        void *object = reinterpret_cast<void *>(1);
        QCOMPARE(CoCreateInstance(CLSID_CUpdateCheck, IID_IUnknown, &object, &why), REGDB_E_CLASSNOTREG);
        QVERIFY(!object);
        QVERIFY2(why.contains(u"Class not registered: "_s + guidToString(CLSID_CUpdateCheck)), qPrintable(why));
        QCOMPARE(CLSIDFromProgID(QLatin1String(kUpdateCheckProgId), &byName), CO_E_CLASSSTRING);
        QVERIFY(byName == GUID_NULL);
    }

    // The system's own tool uses the same entry points.
    void systemRegsvr32()
    {
        const QString regsvr32
            = QDir::toNativeSeparators(QString::fromLocal8Bit(qgetenv("SystemRoot")) + u"/system32/regsvr32.exe"_s);
        if (!QFileInfo::exists(regsvr32))
            QSKIP("no regsvr32 on this system");
        QCOMPARE(run(regsvr32, { u"/s"_s, kVerlook }), 0);
        QCOMPARE(systemValue(u"CLSID/"_s + guidToString(CLSID_CUpdateCheck) + u"/InprocServer32"_s).toLower(),
            kVerlook.toLower());
        QCOMPARE(CoCreateInstance(CLSID_CUpdateCheck, IID_IUnknown, ComPtr<IUnknown>().put()), S_OK);
        QCOMPARE(run(regsvr32, { u"/s"_s, u"/u"_s, kVerlook }), 0);
        QVERIFY(!ComponentRegistry().findClass(CLSID_CUpdateCheck));
    }

    // Registered for every user, the class is one the system's COM itself
    // creates, without the layer's help.
    void machineWideRegistrationSeenBySystem()
    {
        QCOMPARE(runRegsvr({ u"--system"_s, kVerlook }), 0);
        const auto unregister = qScopeGuard([] { runRegsvr({ u"--system"_s, u"-u"_s, kVerlook }); });
        const QString key = u"HKEY_LOCAL_MACHINE\\Software\\Classes"_s;
        QCOMPARE(ComponentRegistry(key).findClass(CLSID_CUpdateCheck).value_or(ComponentClass {}).serverPath.toLower(),
            kVerlook.toLower());
        QVERIFY(!ComponentRegistry(ComponentRegistry::defaultFilePath()).findClass(CLSID_CUpdateCheck));
        QVERIFY(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        ComPtr<IUnknown> object;
        QCOMPARE(::CoCreateInstance(CLSID_CUpdateCheck, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                     reinterpret_cast<void **>(object.put())),
            S_OK);
        QVERIFY(object);
        object.reset();
        QCOMPARE(runRegsvr({ u"--system"_s, u"-u"_s, kVerlook }), 0);
        QVERIFY(!ComponentRegistry(key).findClass(CLSID_CUpdateCheck));
        QCOMPARE(::CoCreateInstance(CLSID_CUpdateCheck, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                     reinterpret_cast<void **>(object.put())),
            REGDB_E_CLASSNOTREG);
    }

    // Values and keys as the system's reader sees them, a type library key
    // that goes with its last version, and a ProgID another class has taken
    // over that survives this class's removal.
    void registryStore()
    {
        const ComponentRegistry registry(kScratchKey);
        QVERIFY(registry.problem().isEmpty());
        const QString server = u"C:\\Program Files\\T\u00e9st \u65e5\u672c\\x.dll"_s;
        QCOMPARE(registry.registerClass(testClass(server)), S_OK);
        const ComponentClass found = registry.findClass(kTestClass).value_or(ComponentClass {});
        QCOMPARE(found.serverPath, server);
        QCOMPARE(found.threadingModel, u"Apartment"_s);
        QVERIFY(found.typeLib == kTestLib);
        QCOMPARE(QSettings(kScratchKey, QSettings::NativeFormat)
                     .value(u"CLSID/"_s + guidToString(kTestClass) + u"/InprocServer32/Default"_s)
                     .toString(),
            server);

        ComponentTypeLib lib { kTestLib, u"1.0"_s, u"Test Library"_s, server, u"C:\\T"_s, 0 };
        QCOMPARE(registry.registerTypeLib(lib), S_OK);
        lib.version = u"2.0"_s;
        QCOMPARE(registry.registerTypeLib(lib), S_OK);
        QCOMPARE(registry.unregisterTypeLib(kTestLib, u"1.0"_s), S_OK);
        QVERIFY(!registry.findTypeLib(kTestLib, u"1.0"_s) && registry.findTypeLib(kTestLib, u"2.0"_s));
        QCOMPARE(registry.unregisterTypeLib(kTestLib, u"2.0"_s), S_OK);
        QVERIFY(!registry.keyExists(u"TypeLib\\"_s + guidToString(kTestLib)));

        constexpr CLSID other = { 0x11111111, 0x2222, 0x3333, { 0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55 } };
        QCOMPARE(registry.registerClass(testClass(server, other)), S_OK);
        QCOMPARE(registry.unregisterClass(kTestClass), S_OK);
        QVERIFY(!registry.findClass(kTestClass) && !registry.keyExists(u"CLSID\\"_s + guidToString(kTestClass)));
        QVERIFY(registry.clsidFromProgId(u"Test_Lib.CTest"_s).value_or(GUID_NULL) == other);
        QCOMPARE(registry.unregisterClass(other), S_OK);
        QVERIFY(!registry.keyExists(u"Test_Lib.CTest"_s));

        // A location that is no registry key is refused, not written somewhere.
        for (const QString &bad : { QString(), u"HKEY_NOWHERE\\Software"_s, u"C:\\registry.ini"_s }) {
            QVERIFY2(!ComponentRegistry(bad).problem().isEmpty(), qPrintable(bad));
            QCOMPARE(ComponentRegistry(bad).registerClass(testClass(server)), REGDB_E_WRITEREGDB);
        }
    }

    // Each way creation fails has its own result, and the description names
    // the class or the library; the regsvr tool fails on the same files with
    // its own exit code. A library cut short must fail to load, not crash.
    void creationFailures_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("clsid");
        QTest::addColumn<HRESULT>("expected");
        QTest::addColumn<QString>("named");
        QTest::addColumn<int>("regsvrExit");
        const auto row = [](const char *tag, const QString &server, HRESULT expected, const QString &named,
                             int regsvrExit, const CLSID &clsid = kTestClass) {
            QTest::newRow(tag) << server << guidToString(clsid) << expected << named << regsvrExit;
        };
        const QString noObjectServer = QDir::toNativeSeparators(QStringLiteral(NOOBJECTSERVER_PATH));
        row("library missing", m_dir.filePath(u"gone/gone.dll"_s), HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND),
            u"gone.dll"_s, 3);
        row("no class object entry", kPlainLibrary, HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND), u"DllGetClassObject"_s,
            4);
        row("factory without object", noObjectServer, E_NOINTERFACE, guidToString(kNoObjectClass), 4, kNoObjectClass);
        row("no factory", noObjectServer, E_NOINTERFACE, guidToString(kNoFactoryClass), 4, kNoFactoryClass);

        QFile file(kVerlook);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray image = file.readAll();
        const std::pair<const char *, qint64> cuts[]
            = { { "empty", 0 }, { "in the headers", 0x100 }, { "in the code", image.size() / 3 } };
        for (const auto &[where, cut] : cuts) {
            QFile copy(m_dir.filePath(u"cut%1.dll"_s.arg(cut)));
            QVERIFY(copy.open(QIODevice::WriteOnly) && copy.write(image.left(cut)) == cut);
            row(where, QDir::toNativeSeparators(copy.fileName()), CO_E_ERRORINDLL, QString(), 3);
        }
    }

    void creationFailures()
    {
        QFETCH(QString, server);
        QFETCH(QString, clsid);
        QFETCH(HRESULT, expected);
        QFETCH(QString, named);
        QFETCH(int, regsvrExit);

        const CLSID id = guidFromString(clsid).value_or(GUID_NULL);
        const ComponentRegistry registry;
        QCOMPARE(registry.registerClass(testClass(server, id)), S_OK);
        const auto unregister = qScopeGuard([&] { registry.unregisterClass(id); });
        void *object = reinterpret_cast<void *>(1);
        QString description;
        QCOMPARE(CoCreateInstance(id, IID_IUnknown, &object, &description), expected);
        QVERIFY(!object);
        QVERIFY2(description.contains(named.isEmpty() ? server : named), qPrintable(description));

        QByteArray out;
        QCOMPARE(runRegsvr({ server }, &out), regsvrExit);
        QVERIFY2(out.contains(QFile::encodeName(server)), out.constData());
    }

    // The library's VERSIONINFO resource carries what its version entry
    // point publishes, in the same order.
    void versionResource()
    {
        QString why;
        const std::optional<LibraryVersionInfo> info = readVersionInfo(kVerlook, &why);
        QVERIFY2(info, qPrintable(why));
        QLibrary library(kVerlook);
        const auto entry = reinterpret_cast<DllGetVersionInfoFn>(library.resolve(kVersionInfoEntry));
        QVERIFY(entry);
        const ComponentVersionInfo *published = entry();
        const auto version = [](const std::uint16_t(&v)[4]) { return QVersionNumber({ v[0], v[1], v[2], v[3] }); };
        QCOMPARE(info->fileVersion, version(published->fileVersion));
        QCOMPARE(info->productVersion, version(published->productVersion));
        QList<std::pair<QString, QString>> expected;
        for (std::uint32_t i = 0; i < published->stringCount; ++i)
            expected.append(
                { QString::fromUtf8(published->strings[i].name), QString::fromUtf8(published->strings[i].value) });
        QCOMPARE(info->strings, expected);
        QCOMPARE(info->string(u"oleselfregister"), QString());

        QVERIFY(!readVersionInfo(m_dir.filePath(u"gone.dll"_s), &why));
        QVERIFY(!why.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestComponentLayerWindows)
#include "tst_componentlayer_windows.moc"
