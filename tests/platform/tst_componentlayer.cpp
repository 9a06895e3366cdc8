// The component layer on its own: the binary layout of GUIDs and BSTRs, the
// result codes that carry run-time errors, the per-user registry file and
// the ways creation by class identifier fails.

#include "ComBase.h"
#include "ComPtr.h"
#include "ComponentRegistry.h"
#include "ComponentServer.h"
#include "VersionInfo.h"

#include <QDir>
#include <QFile>
#include <QLibraryInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <cstring>

namespace {

constexpr CLSID kTestClass = {0x0F1E2D3C, 0x4B5A, 0x6978, {0x87, 0x96, 0xA5, 0xB4, 0xC3, 0xD2, 0xE1, 0xF0}};
constexpr CLSID kOtherClass = {0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55}};
constexpr GUID kTestLib = {0xA3483490, 0x627D, 0x43A2, {0x82, 0xD3, 0xA2, 0x26, 0xE9, 0xE2, 0xCB, 0x64}};

ComponentClass testClass(const QString &server)
{
    ComponentClass c;
    c.clsid = kTestClass;
    c.name = QStringLiteral("CTest");
    c.progId = QStringLiteral("Test_Lib.CTest");
    c.serverPath = server;
    c.threadingModel = QStringLiteral("Apartment");
    c.typeLib = kTestLib;
    c.version = QStringLiteral("1.0");
    return c;
}

// A library that exists but is no component.
QString plainLibrary()
{
    return QLibraryInfo::path(QLibraryInfo::LibrariesPath) + QStringLiteral("/libQt6Core.so.6");
}

} // namespace

class TestComponentLayer : public QObject
{
    Q_OBJECT

    QTemporaryDir m_config;

    QString registryFile() const { return m_config.filePath(QStringLiteral("Kestrelle/components.ini")); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_config.isValid());
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
        QCOMPARE(ComponentRegistry::defaultFilePath(), registryFile());
    }

    void guidTextAndLayout()
    {
        const QString text = QStringLiteral("{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}");
        QCOMPARE(kTestClass.toString(), text);
        const std::optional<GUID> parsed = GUID::fromString(text.toLower());
        QVERIFY(parsed && *parsed == kTestClass);

        // Data1..Data3 little-endian, Data4 as written: the bytes a Windows
        // client has in memory.
        const unsigned char expected[16] = {0x3C, 0x2D, 0x1E, 0x0F, 0x5A, 0x4B, 0x78, 0x69,
                                            0x87, 0x96, 0xA5, 0xB4, 0xC3, 0xD2, 0xE1, 0xF0};
        QCOMPARE(std::memcmp(&kTestClass, expected, 16), 0);

        QVERIFY(GUID::fromString(u"{00000000-0000-0000-0000-000000000000}").value_or(kTestClass) == GUID_NULL);
        QVERIFY(!GUID::fromString(u"0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0"));
        QVERIFY(!GUID::fromString(u"{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1FG}"));
        QVERIFY(!GUID::fromString(u"{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F}"));
        QVERIFY(!GUID::fromString(u""));
    }

    void bstrLayout()
    {
        BSTR s = SysAllocString(u"abc");
        QVERIFY(s);
        std::uint32_t prefix = 0;
        std::memcpy(&prefix, reinterpret_cast<const char *>(s) - 4, 4);
        QCOMPARE(prefix, std::uint32_t(6)); // bytes, not characters
        QCOMPARE(SysStringLen(s), UINT(3));
        QCOMPARE(SysStringByteLen(s), UINT(6));
        QCOMPARE(s[3], char16_t(0));
        SysFreeString(s);

        // Embedded NULs survive; the length prefix, not the terminator, counts.
        const QString withNul = QStringLiteral("a") + QChar(0) + QStringLiteral("b\u00e9");
        s = bstrFromQString(withNul);
        QCOMPARE(SysStringLen(s), UINT(4));
        QCOMPARE(qStringFromBstr(s), withNul);
        SysFreeString(s);

        s = SysAllocStringLen(nullptr, 2);
        QCOMPARE(SysStringLen(s), UINT(2));
        QVERIFY(s[0] == 0 && s[1] == 0 && s[2] == 0);
        SysFreeString(s);

        // A null BSTR is the empty string; a length beyond the prefix fails.
        QCOMPARE(SysStringLen(nullptr), UINT(0));
        QVERIFY(qStringFromBstr(nullptr).isEmpty());
        SysFreeString(nullptr);
        QVERIFY(!SysAllocStringLen(nullptr, 0x80000000u));
    }

    void runtimeErrorsTravelAsResults()
    {
        QCOMPARE(std::uint32_t(hresultFromRuntimeError(13)), 0x800A000Du);
        QCOMPARE(std::uint32_t(hresultFromRuntimeError(6)), 0x800A0006u);
        QVERIFY(FAILED(hresultFromRuntimeError(13)));
        QCOMPARE(runtimeErrorFromHresult(hresultFromRuntimeError(429)), 429);
        QCOMPARE(runtimeErrorFromHresult(REGDB_E_CLASSNOTREG), 0);
        QCOMPARE(runtimeErrorFromHresult(S_OK), 0);
        QCOMPARE(REGDB_E_CLASSNOTREG, HRESULT(-2147221164));
        QCOMPARE(hresultHex(REGDB_E_CLASSNOTREG), QStringLiteral("0x80040154"));
        QCOMPARE(hresultDescription(REGDB_E_CLASSNOTREG), QStringLiteral("Class not registered"));
    }

    void registryEntries()
    {
        const ComponentRegistry registry;
        QCOMPARE(registry.registerClass(testClass(QStringLiteral("/opt/x/libtest.so"))), S_OK);
        ComponentTypeLib lib{kTestLib, QStringLiteral("1.0"), QStringLiteral("Test Library"), QStringLiteral("/opt/x/libtest.so"),
                             QStringLiteral("/opt/x"), 0};
        QCOMPARE(registry.registerTypeLib(lib), S_OK);
        lib.version = QStringLiteral("2.0");
        QCOMPARE(registry.registerTypeLib(lib), S_OK);

        // The file as another reader sees it.
        QSettings file(registryFile(), QSettings::IniFormat);
        const QString key = QStringLiteral("CLSID/{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}");
        QCOMPARE(file.value(key).toString(), QStringLiteral("CTest"));
        QCOMPARE(file.value(key + QStringLiteral("/InprocServer32")).toString(), QStringLiteral("/opt/x/libtest.so"));
        QCOMPARE(file.value(key + QStringLiteral("/InprocServer32/ThreadingModel")).toString(), QStringLiteral("Apartment"));
        QCOMPARE(file.value(QStringLiteral("Test_Lib.CTest/CLSID")).toString(), kTestClass.toString());
        QCOMPARE(registry.value(QStringLiteral("TypeLib\\{A3483490-627D-43A2-82D3-A226E9E2CB64}\\1.0\\0\\win32")).toString(),
                 QStringLiteral("/opt/x/libtest.so"));

        const std::optional<ComponentClass> found = registry.findClass(kTestClass);
        QVERIFY(found);
        QCOMPARE(found->serverPath, QStringLiteral("/opt/x/libtest.so"));
        QCOMPARE(found->progId, QStringLiteral("Test_Lib.CTest"));
        QVERIFY(found->typeLib == kTestLib);
        QVERIFY(registry.clsidFromProgId(QStringLiteral("Test_Lib.CTest")).value_or(GUID_NULL) == kTestClass);

        // The type library key stays while a version is left.
        QCOMPARE(registry.unregisterTypeLib(kTestLib, QStringLiteral("1.0")), S_OK);
        QVERIFY(!registry.findTypeLib(kTestLib, QStringLiteral("1.0")));
        QVERIFY(registry.findTypeLib(kTestLib, QStringLiteral("2.0")));
        QCOMPARE(registry.unregisterTypeLib(kTestLib, QStringLiteral("2.0")), S_OK);
        QVERIFY(!registry.keyExists(QStringLiteral("TypeLib\\{A3483490-627D-43A2-82D3-A226E9E2CB64}")));

        // A ProgID another class has taken over survives this class's removal.
        ComponentClass other = testClass(QStringLiteral("/opt/y/libother.so"));
        other.clsid = kOtherClass;
        QCOMPARE(registry.registerClass(other), S_OK);
        QCOMPARE(registry.unregisterClass(kTestClass), S_OK);
        QVERIFY(!registry.findClass(kTestClass));
        QVERIFY(registry.clsidFromProgId(QStringLiteral("Test_Lib.CTest")).value_or(GUID_NULL) == kOtherClass);
        QCOMPARE(registry.unregisterClass(kOtherClass), S_OK);
        QVERIFY(QSettings(registryFile(), QSettings::IniFormat).allKeys().isEmpty());
    }

    void unwritableRegistryFails()
    {
        // A folder in the file's place cannot be written.
        const ComponentRegistry registry(m_config.path());
        QCOMPARE(registry.registerClass(testClass(QStringLiteral("/opt/x/libtest.so"))), REGDB_E_WRITEREGDB);
        // Nor can no file at all.
        QCOMPARE(ComponentRegistry(QString()).registerClass(testClass(QStringLiteral("/opt/x/libtest.so"))),
                 REGDB_E_WRITEREGDB);
    }

    void creationFailures_data()
    {
        QTest::addColumn<QString>("server"); // "": not registered
        QTest::addColumn<HRESULT>("expected");
        QTest::addColumn<QString>("named"); // what the description names

        const QString text = m_config.filePath(QStringLiteral("notalibrary.so"));
        QTest::newRow("not registered") << QString() << REGDB_E_CLASSNOTREG << kTestClass.toString();
        QTest::newRow("library missing") << m_config.filePath(QStringLiteral("gone/libgone.so"))
                                         << HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND) << QStringLiteral("libgone.so");
        QTest::newRow("not a library") << text << CO_E_ERRORINDLL << QStringLiteral("notalibrary.so");
        QTest::newRow("no class object entry") << plainLibrary() << HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND)
                                               << QStringLiteral("DllGetClassObject");
    }

    void creationFailures()
    {
        QFETCH(QString, server);
        QFETCH(HRESULT, expected);
        QFETCH(QString, named);

        QFile junk(m_config.filePath(QStringLiteral("notalibrary.so")));
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write("not an ELF file");
        junk.close();

        const ComponentRegistry registry;
        if (!server.isEmpty())
            QCOMPARE(registry.registerClass(testClass(server)), S_OK);

        void *object = reinterpret_cast<void *>(1);
        QString description;
        QCOMPARE(CoCreateInstance(kTestClass, IID_IUnknown, &object, &description), expected);
        QVERIFY(!object);
        QVERIFY2(description.contains(named), qPrintable(description));
        QCOMPARE(registry.unregisterClass(kTestClass), S_OK);
    }

    void lookupsWithoutAnswer()
    {
        CLSID clsid = kTestClass;
        QCOMPARE(CLSIDFromProgID(QStringLiteral("No.Such"), &clsid), CO_E_CLASSSTRING);
        QVERIFY(clsid == GUID_NULL);
        QCOMPARE(CoCreateInstance(kTestClass, IID_IUnknown, nullptr), E_POINTER);

        QString why;
        QVERIFY(!readVersionInfo(plainLibrary(), &why));
        QVERIFY(why.contains(QLatin1String(kVersionInfoEntry)));
        QVERIFY(!readVersionString(m_config.filePath(QStringLiteral("none.so")), QStringLiteral("FileVersion")));
    }
};

QTEST_GUILESS_MAIN(TestComponentLayer)
#include "tst_componentlayer.moc"
