// The component layer on its own: the binary layout of GUIDs, BSTRs and
// VARIANTs, the result codes that carry run-time errors, the per-user
// registry file and the ways creation by class identifier fails, among them
// a library cut short and a server that succeeds without an object.

#include "ComBase.h"
#include "ComPtr.h"
#include "ComponentRegistry.h"
#include "ComponentServer.h"
#include "NoObjectServer.h"
#include "UpdateCheckInterface.h"
#include "VersionInfo.h"

#include <QFile>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <cstddef>
#include <cstring>
#include <link.h>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

constexpr CLSID kTestClass = {0x0F1E2D3C, 0x4B5A, 0x6978, {0x87, 0x96, 0xA5, 0xB4, 0xC3, 0xD2, 0xE1, 0xF0}};
constexpr CLSID kOtherClass = {0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55}};
constexpr GUID kTestLib = {0xA3483490, 0x627D, 0x43A2, {0x82, 0xD3, 0xA2, 0x26, 0xE9, 0xE2, 0xCB, 0x64}};
const QString kLibKey = u"TypeLib\\{A3483490-627D-43A2-82D3-A226E9E2CB64}"_s;

ComponentClass testClass(const QString &server, const CLSID &clsid = kTestClass)
{
    return {clsid, u"CTest"_s, u"Test_Lib.CTest"_s, server, u"Apartment"_s, kTestLib, u"1.0"_s};
}

// A library that exists but is no component.
QString plainLibrary()
{
    return QLibraryInfo::path(QLibraryInfo::LibrariesPath) + u"/libQt6Core.so.6"_s;
}

const QString kVerlook = QFileInfo(QStringLiteral(VERLOOK_PATH)).absoluteFilePath();

// The tool's exit code; -1 when it crashed or hung.
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

class TestComponentLayer : public QObject
{
    Q_OBJECT

    QTemporaryDir m_config;

    QString registryFile() const { return m_config.filePath(u"Kestrelle/components.ini"_s); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_config.isValid());
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
        QCOMPARE(ComponentRegistry::defaultFilePath(), registryFile());
        QCOMPARE(::mkfifo(QFile::encodeName(m_config.filePath(u"libfifo.so"_s)).constData(), 0600), 0);
    }

    void guidTextAndLayout()
    {
        const QString text = u"{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}"_s;
        QCOMPARE(kTestClass.toString(), text);
        QVERIFY(GUID::fromString(text.toLower()).value_or(GUID_NULL) == kTestClass);
        // Data1..Data3 little-endian, Data4 as written: the bytes a Windows
        // client has in memory.
        const unsigned char bytes[16] = {0x3C, 0x2D, 0x1E, 0x0F, 0x5A, 0x4B, 0x78, 0x69,
                                         0x87, 0x96, 0xA5, 0xB4, 0xC3, 0xD2, 0xE1, 0xF0};
        QCOMPARE(std::memcmp(&kTestClass, bytes, 16), 0);

        // The null GUID is one; anything but the braced form is not.
        QVERIFY(GUID::fromString(u"{00000000-0000-0000-0000-000000000000}").value_or(kTestClass) == GUID_NULL);
        for (QStringView bad : {u"0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0", u"{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1FG}",
                                u"{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F}"})
            QVERIFY2(!GUID::fromString(bad), qPrintable(bad.toString()));
    }

    void bstrAndVariantLayout()
    {
        BSTR s = SysAllocString(u"abc");
        std::uint32_t prefix = 0;
        std::memcpy(&prefix, reinterpret_cast<const char *>(s) - 4, 4);
        QCOMPARE(prefix, std::uint32_t(6)); // bytes, not characters
        QCOMPARE(SysStringLen(s), UINT(3));
        QCOMPARE(s[3], char16_t(0));
        SysFreeString(s);

        // Embedded NULs survive: the length prefix, not the terminator, counts.
        const QString withNul = u"a"_s + QChar(0) + u"b\u00e9"_s;
        s = bstrFromQString(withNul);
        QCOMPARE(qStringFromBstr(s), withNul);
        SysFreeString(s);

        s = SysAllocStringLen(nullptr, 2);
        QVERIFY(SysStringLen(s) == 2 && s[0] == 0 && s[1] == 0 && s[2] == 0);
        SysFreeString(s);

        // A null BSTR is the empty string; a length beyond the prefix fails.
        QCOMPARE(SysStringLen(nullptr), UINT(0));
        QVERIFY(qStringFromBstr(nullptr).isEmpty());
        SysFreeString(nullptr);
        QVERIFY(!SysAllocStringLen(nullptr, 0x80000000u));

        // The type, three reserved words, then the value: 24 bytes on 64-bit.
        QCOMPARE(offsetof(VARIANT, bstrVal), std::size_t(8));
        QCOMPARE(sizeof(VARIANT), 8 + 2 * sizeof(void *));
    }

    void runtimeErrorsTravelAsResults()
    {
        QCOMPARE(std::uint32_t(hresultFromRuntimeError(13)), 0x800A000Du);
        QCOMPARE(runtimeErrorFromHresult(hresultFromRuntimeError(429)), 429);
        // Only a failure in the control facility carries one.
        QCOMPARE(runtimeErrorFromHresult(REGDB_E_CLASSNOTREG), 0);
        QCOMPARE(runtimeErrorFromHresult(MAKE_HRESULT(SEVERITY_SUCCESS, FACILITY_CONTROL, 13)), 0);
    }

    void registryEntries()
    {
        const ComponentRegistry registry;
        QCOMPARE(registry.registerClass(testClass(u"/opt/x/libtest.so"_s)), S_OK);
        ComponentTypeLib lib{kTestLib, u"1.0"_s, u"Test Library"_s, u"/opt/x/libtest.so"_s, u"/opt/x"_s, 0};
        QCOMPARE(registry.registerTypeLib(lib), S_OK);
        lib.version = u"2.0"_s;
        QCOMPARE(registry.registerTypeLib(lib), S_OK);

        // Read back as written; the file layout itself is checked with the
        // real component's registration.
        const std::optional<ComponentClass> found = registry.findClass(kTestClass);
        QVERIFY(found && found->typeLib == kTestLib);
        QCOMPARE(found->serverPath, u"/opt/x/libtest.so"_s);
        QCOMPARE(found->progId, u"Test_Lib.CTest"_s);
        QVERIFY(registry.clsidFromProgId(u"Test_Lib.CTest"_s).value_or(GUID_NULL) == kTestClass);

        // The type library key stays while a version is left.
        QCOMPARE(registry.unregisterTypeLib(kTestLib, u"1.0"_s), S_OK);
        QVERIFY(!registry.findTypeLib(kTestLib, u"1.0"_s) && registry.findTypeLib(kTestLib, u"2.0"_s));
        QCOMPARE(registry.unregisterTypeLib(kTestLib, u"2.0"_s), S_OK);
        QVERIFY(!registry.keyExists(kLibKey));

        // A ProgID another class has taken over survives this class's removal.
        QCOMPARE(registry.registerClass(testClass(u"/opt/y/libother.so"_s, kOtherClass)), S_OK);
        QCOMPARE(registry.unregisterClass(kTestClass), S_OK);
        QVERIFY(!registry.findClass(kTestClass));
        QVERIFY(registry.clsidFromProgId(u"Test_Lib.CTest"_s).value_or(GUID_NULL) == kOtherClass);
        QCOMPARE(registry.unregisterClass(kOtherClass), S_OK);
        QVERIFY(QSettings(registryFile(), QSettings::IniFormat).allKeys().isEmpty());
    }

    void unwritableRegistryFails()
    {
        // Neither a folder in the file's place nor no file at all can be written.
        QCOMPARE(ComponentRegistry(m_config.path()).registerClass(testClass(u"/x.so"_s)), REGDB_E_WRITEREGDB);
        QCOMPARE(ComponentRegistry(QString()).registerClass(testClass(u"/x.so"_s)), REGDB_E_WRITEREGDB);
    }

    void creationFailures_data()
    {
        QTest::addColumn<QString>("server"); // "": not registered
        QTest::addColumn<HRESULT>("expected");
        QTest::addColumn<QString>("named"); // what the description names

        QTest::newRow("not registered") << QString() << REGDB_E_CLASSNOTREG << kTestClass.toString();
        QTest::newRow("library missing") << m_config.filePath(u"gone/libgone.so"_s)
                                         << HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND) << u"libgone.so"_s;
        QTest::newRow("not a library") << m_config.filePath(u"notalibrary.so"_s) << CO_E_ERRORINDLL
                                       << u"notalibrary.so"_s;
        // Refused without waiting for a writer that never comes.
        QTest::newRow("FIFO") << m_config.filePath(u"libfifo.so"_s) << CO_E_ERRORINDLL << u"libfifo.so"_s;
        QTest::newRow("no class object entry") << plainLibrary() << HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND)
                                               << u"DllGetClassObject"_s;
    }

    void creationFailures()
    {
        QFETCH(QString, server);
        QFETCH(HRESULT, expected);
        QFETCH(QString, named);

        QFile junk(m_config.filePath(u"notalibrary.so"_s));
        QVERIFY(junk.open(QIODevice::WriteOnly) && junk.write("not an ELF file") > 0);
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

    // Copies of the real library cut where an interrupted copy may stop. The
    // loader would map one cut inside a segment and die of SIGBUS; every cut
    // is refused before it gets there, by creation and by the tool alike.
    void truncatedLibrary_data()
    {
        QTest::addColumn<qint64>("cut"); // bytes kept
        QTest::addColumn<QString>("problem"); // named in the description

        QFile file(kVerlook);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray image = file.readAll();
        ElfW(Ehdr) eh;
        QVERIFY(image.size() > qsizetype(sizeof eh));
        std::memcpy(&eh, image.constData(), sizeof eh);
        ElfW(Phdr) largest{};
        for (int i = 0; i < eh.e_phnum; ++i) {
            ElfW(Phdr) ph;
            std::memcpy(&ph, image.constData() + eh.e_phoff + i * sizeof ph, sizeof ph);
            if (ph.p_type == PT_LOAD && ph.p_filesz > largest.p_filesz)
                largest = ph;
        }
        const qint64 headersEnd = qint64(eh.e_phoff + eh.e_phnum * sizeof(ElfW(Phdr)));
        const qint64 inSegment = qint64(largest.p_offset + largest.p_filesz / 2);
        // The cuts below land where their names say.
        QVERIFY(inSegment > headersEnd);
        QVERIFY(eh.e_shoff > largest.p_offset + largest.p_filesz);
        QCOMPARE(qint64(eh.e_shoff + eh.e_shnum * sizeof(ElfW(Shdr))), image.size());

        QTest::newRow("empty") << qint64(0) << u"is empty"_s;
        QTest::newRow("in the ELF header") << qint64(sizeof eh / 2) << u"ELF header"_s;
        QTest::newRow("in the program headers") << (qint64(eh.e_phoff) + headersEnd) / 2 << u"program header"_s;
        QTest::newRow("in a loadable segment") << inSegment << u"loadable segment"_s;
        QTest::newRow("in the section headers") << image.size() - 1 << u"section header"_s;
    }

    void truncatedLibrary()
    {
        QFETCH(qint64, cut);
        QFETCH(QString, problem);

        const QTemporaryDir folder;
        const QString copy = folder.filePath(u"libverlook.so"_s);
        QVERIFY(QFile::copy(kVerlook, copy) && QFile::resize(copy, cut));

        const ComponentRegistry registry;
        QCOMPARE(registry.registerClass(testClass(copy, CLSID_CUpdateCheck)), S_OK);
        void *object = reinterpret_cast<void *>(1);
        QString description;
        QCOMPARE(CoCreateInstance(CLSID_CUpdateCheck, IID_IUnknown, &object, &description), CO_E_ERRORINDLL);
        QVERIFY(!object);
        QVERIFY2(description.contains(copy) && description.contains(problem), qPrintable(description));
        QCOMPARE(registry.unregisterClass(CLSID_CUpdateCheck), S_OK);

        QByteArray err;
        QCOMPARE(runRegsvr({copy}, &err), 3);
        QVERIFY2(err.contains(QFile::encodeName(copy)) && err.contains(problem.toUtf8()), err.constData());
    }

    void intactCopyLoads()
    {
        const QTemporaryDir folder;
        const QString copy = folder.filePath(u"libverlook.so"_s);
        QVERIFY(QFile::copy(kVerlook, copy));

        const ComponentRegistry registry;
        QCOMPARE(registry.registerClass(testClass(copy, CLSID_CUpdateCheck)), S_OK);
        ComPtr<IUnknown> object;
        QString description;
        QCOMPARE(CoCreateInstance(CLSID_CUpdateCheck, IID_IUnknown, object.put(), &description), S_OK);
        QVERIFY(object);
        object.reset();
        QCOMPARE(registry.unregisterClass(CLSID_CUpdateCheck), S_OK);

        QCOMPARE(runRegsvr({copy}), 0);
        QVERIFY(registry.findClass(CLSID_CUpdateCheck).value_or(ComponentClass{}).serverPath == copy);
        QCOMPARE(runRegsvr({u"-u"_s, copy}), 0);
    }

    // A server that reports success and hands back nothing, from its class
    // factory or in place of one, must not leave the caller a null object.
    void successWithoutObject()
    {
        const ComponentRegistry registry;
        for (const CLSID &clsid : {kNoObjectClass, kNoFactoryClass}) {
            QCOMPARE(registry.registerClass(testClass(QStringLiteral(NOOBJECTSERVER_PATH), clsid)), S_OK);
            void *object = reinterpret_cast<void *>(1);
            QString description;
            QCOMPARE(CoCreateInstance(clsid, IID_IUnknown, &object, &description), E_UNEXPECTED);
            QVERIFY(!object);
            QVERIFY2(description.contains(clsid.toString()), qPrintable(description));
        }
        void *factory = reinterpret_cast<void *>(1);
        QCOMPARE(CoGetClassObject(kNoFactoryClass, IID_IClassFactory, &factory), E_UNEXPECTED);
        QVERIFY(!factory);
        QCOMPARE(registry.unregisterClass(kNoObjectClass), S_OK);
        QCOMPARE(registry.unregisterClass(kNoFactoryClass), S_OK);
    }

    void lookupsWithoutAnswer()
    {
        CLSID clsid = kTestClass;
        QCOMPARE(CLSIDFromProgID(u"No.Such"_s, &clsid), CO_E_CLASSSTRING);
        QVERIFY(clsid == GUID_NULL);

        QString why;
        QVERIFY(!readVersionInfo(plainLibrary(), &why));
        QVERIFY(why.contains(QLatin1String(kVersionInfoEntry)));
    }
};

QTEST_GUILESS_MAIN(TestComponentLayer)
#include "tst_componentlayer.moc"
