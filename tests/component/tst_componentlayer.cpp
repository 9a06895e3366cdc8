// The component layer on its own: the binary layout of GUIDs and BSTRs, the
// result codes that carry run-time errors, the per-user registry file, the
// regsvr tool, version information, and the ways creation by class identifier
// fails, among them a library cut short and a server that succeeds without an
// object.

#include "ComBase.h"
#include "ComPtr.h"
#include "ComponentRegistry.h"
#include "ComponentRegistryFile.h"
#include "ComponentServer.h"
#include "NoObjectServer.h"
#include "UpdateCheckInterface.h"
#include "VersionInfo.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <cstring>
#include <link.h>
#include <sys/stat.h>

using namespace component;

using namespace Qt::StringLiterals;

namespace {

constexpr CLSID kTestClass = { 0x0F1E2D3C, 0x4B5A, 0x6978, { 0x87, 0x96, 0xA5, 0xB4, 0xC3, 0xD2, 0xE1, 0xF0 } };
constexpr CLSID kOtherClass = { 0x11111111, 0x2222, 0x3333, { 0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55 } };
constexpr GUID kTestLib = { 0xA3483490, 0x627D, 0x43A2, { 0x82, 0xD3, 0xA2, 0x26, 0xE9, 0xE2, 0xCB, 0x64 } };

const QString kVerlook = QFileInfo(QStringLiteral(VERLOOK_PATH)).absoluteFilePath();
// A library that exists but is no component.
const QString kPlainLibrary = QLibraryInfo::path(QLibraryInfo::LibrariesPath) + u"/libQt6Core.so.6"_s;

ComponentClass testClass(const QString &server, const CLSID &clsid = kTestClass)
{
    return { clsid, u"CTest"_s, u"Test_Lib.CTest"_s, server, u"Apartment"_s, kTestLib, u"1.0"_s };
}

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
        QFile junk(m_config.filePath(u"notalibrary.so"_s));
        QVERIFY(junk.open(QIODevice::WriteOnly) && junk.write("not an ELF file") > 0);
    }

    void binaryLayout()
    {
        const QString text = u"{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}"_s;
        QCOMPARE(guidToString(kTestClass), text);
        QVERIFY(guidFromString(text.toLower()).value_or(GUID_NULL) == kTestClass);
        // Data1..Data3 little-endian, Data4 as written: the bytes a Windows
        // client has in memory.
        const unsigned char bytes[16]
            = { 0x3C, 0x2D, 0x1E, 0x0F, 0x5A, 0x4B, 0x78, 0x69, 0x87, 0x96, 0xA5, 0xB4, 0xC3, 0xD2, 0xE1, 0xF0 };
        QCOMPARE(std::memcmp(&kTestClass, bytes, 16), 0);
        // The null GUID is one; anything but the braced form is not.
        QVERIFY(guidFromString(u"{00000000-0000-0000-0000-000000000000}").value_or(kTestClass) == GUID_NULL);
        for (QStringView bad : { u"0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0", u"{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1FG}",
                 u"{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F}" })
            QVERIFY2(!guidFromString(bad), qPrintable(bad.toString()));

        BSTR s = SysAllocString(u"abc");
        std::uint32_t prefix = 0;
        std::memcpy(&prefix, reinterpret_cast<const char *>(s) - 4, 4);
        QCOMPARE(prefix, std::uint32_t(6)); // bytes, not characters
        QVERIFY(SysStringLen(s) == 3 && s[3] == 0);
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
        QVERIFY(SysStringLen(nullptr) == 0 && qStringFromBstr(nullptr).isEmpty());
        SysFreeString(nullptr);
        QVERIFY(!SysAllocStringLen(nullptr, 0x80000000u));

        QCOMPARE(std::uint32_t(hresultFromRuntimeError(13)), 0x800A000Du);
        QCOMPARE(runtimeErrorFromHresult(hresultFromRuntimeError(429)), 429);
        // Only a failure in the control facility carries one.
        QCOMPARE(runtimeErrorFromHresult(REGDB_E_CLASSNOTREG), 0);
        QCOMPARE(runtimeErrorFromHresult(MAKE_HRESULT(SEVERITY_SUCCESS, FACILITY_CONTROL, 13)), 0);
    }

    void registry()
    {
        const ComponentRegistry registry;
        QCOMPARE(registry.registerClass(testClass(u"/opt/x/libtest.so"_s)), S_OK);
        ComponentTypeLib lib { kTestLib, u"1.0"_s, u"Test Library"_s, u"/opt/x/libtest.so"_s, u"/opt/x"_s, 0 };
        QCOMPARE(registry.registerTypeLib(lib), S_OK);
        lib.version = u"2.0"_s;
        QCOMPARE(registry.registerTypeLib(lib), S_OK);

        // The file layout itself is checked with the real component's
        // registration, creation reads its classes back.
        QVERIFY(registry.clsidFromProgId(u"Test_Lib.CTest"_s).value_or(GUID_NULL) == kTestClass);
        CLSID unknown = kTestClass;
        QCOMPARE(CLSIDFromProgID(u"No.Such"_s, &unknown), CO_E_CLASSSTRING);
        QVERIFY(unknown == GUID_NULL);

        // The type library key stays while a version is left.
        QCOMPARE(registry.unregisterTypeLib(kTestLib, u"1.0"_s), S_OK);
        QVERIFY(!registry.findTypeLib(kTestLib, u"1.0"_s) && registry.findTypeLib(kTestLib, u"2.0"_s));
        QCOMPARE(registry.unregisterTypeLib(kTestLib, u"2.0"_s), S_OK);
        QVERIFY(!registry.keyExists(u"TypeLib\\{A3483490-627D-43A2-82D3-A226E9E2CB64}"_s));

        // A ProgID another class has taken over survives this class's removal.
        QCOMPARE(registry.registerClass(testClass(u"/opt/y/libother.so"_s, kOtherClass)), S_OK);
        QCOMPARE(registry.unregisterClass(kTestClass), S_OK);
        QVERIFY(!registry.findClass(kTestClass));
        QVERIFY(registry.clsidFromProgId(u"Test_Lib.CTest"_s).value_or(GUID_NULL) == kOtherClass);
        QCOMPARE(registry.unregisterClass(kOtherClass), S_OK);
        QVERIFY(QSettings(registryFile(), QSettings::IniFormat).allKeys().isEmpty());

        // Neither a folder in the file's place nor no file at all can be
        // written, and the tool says so before it loads anything.
        QCOMPARE(ComponentRegistry(QString()).registerClass(testClass(u"/x.so"_s)), REGDB_E_WRITEREGDB);
        QFile::remove(registryFile());
        QVERIFY(QDir().mkpath(registryFile()));
        QByteArray err;
        QCOMPARE(runRegsvr({ kVerlook }, &err), 2);
        QVERIFY2(err.contains(QFile::encodeName(registryFile()) + " is not a regular file"), err.constData());
        QVERIFY(QDir(registryFile()).removeRecursively());
    }

    // The registry file is read and written without QSettings, but a file
    // either wrote must read the same in both: registries written before
    // stay registered, and the file stays one that tools can read.
    void registryFileAgreesWithQSettings()
    {
        const ComponentRegistryFile::Entries entries {
            { u"CLSID/{1ABF3AFB-1FDC-42B1-A6E2-F3189B55C8F4}/InprocServer32"_s, u"/home/u/My Libs/libverlook.so"_s },
            { u"CLSID/{1ABF3AFB-1FDC-42B1-A6E2-F3189B55C8F4}/InprocServer32/ThreadingModel"_s, u"Apartment"_s },
            { u"Root key"_s, u"  spaces around  "_s },
            { u"General/x"_s, u"a section called General"_s },
            { u"Odd Prog%ID;1/CLSID"_s, u"a;b,c=d \"quoted\" back\\slash"_s },
            { u"\u65e5\u672c/\u00e9"_s, u"caf\u00e9 \u65e5\u672c \U0001F600"_s },
            { u"Control/chars"_s,
                u"tab\there\nnew line\r\x01"
                "a\x7f"_s
                    + QChar(0) + u"1"_s },
            { u"At/sign"_s, u"@ByteArray(x)"_s },
            { u"At/double"_s, u"@@"_s },
            { u"Empty/value"_s, QString() },
        };
        const QString ours = m_config.filePath(u"ours.ini"_s), theirs = m_config.filePath(u"theirs.ini"_s);
        {
            QSettings settings(theirs, QSettings::IniFormat);
            for (auto it = entries.cbegin(); it != entries.cend(); ++it)
                settings.setValue(it.key(), it.value());
        }
        QFile file(theirs);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(ComponentRegistryFile::parse(file.readAll()), entries);

        QFile out(ours);
        const QByteArray text = ComponentRegistryFile::format(entries);
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(text) == text.size());
        out.close();
        const QSettings settings(ours, QSettings::IniFormat);
        QCOMPARE(settings.status(), QSettings::NoError);
        ComponentRegistryFile::Entries read;
        for (const QString &key : settings.allKeys())
            read.insert(key, settings.value(key).toString());
        QCOMPARE(read, entries);

        // What people write by hand: comments, a byte-order mark, spaces and
        // line ends of other systems.
        QCOMPARE(ComponentRegistryFile::parse("\xEF\xBB\xBF; a comment\r\n[CLSID]\r\n  k = v  ; said\r\n"
                                              "\r\nq = \"a;b\" \n[General]\nroot=1\n"),
            (ComponentRegistryFile::Entries {
                { u"CLSID/k"_s, u"v"_s }, { u"CLSID/q"_s, u"a;b"_s }, { u"root"_s, u"1"_s } }));
    }

    // The real library copied whole: the tool registers it, and this process
    // sees that at once.
    void wholeCopyRegistersAndLoads()
    {
        const QString copy = m_config.filePath(u"libverlook.so"_s);
        QVERIFY(QFile::copy(kVerlook, copy));
        QCOMPARE(runRegsvr({ copy }), 0);
        QCOMPARE(ComponentRegistry().findClass(CLSID_CUpdateCheck).value_or(ComponentClass {}).serverPath, copy);
        QCOMPARE(CoCreateInstance(CLSID_CUpdateCheck, IID_IUnknown, ComPtr<IUnknown>().put()), S_OK);
        QCOMPARE(runRegsvr({ u"-u"_s, copy }), 0);
        QVERIFY(!ComponentRegistry().findClass(CLSID_CUpdateCheck));
    }

    // A package registers the library for every user (regsvr --system, into
    // the first configuration folder of XDG_CONFIG_DIRS); every user then
    // creates the class without a registration of their own, while one they
    // make wins. Removing the machine-wide registration leaves the user's.
    void machineWideRegistration()
    {
        const QString copy = m_config.filePath(u"machine/libverlook.so"_s);
        QVERIFY(QDir().mkpath(QFileInfo(copy).path()) && QFile::copy(kVerlook, copy));
        const QString first = m_config.filePath(u"etc-xdg"_s), second = m_config.filePath(u"vendor-xdg"_s);
        const QString machine = first + u"/Kestrelle/components.ini"_s;
        const QByteArray dirsBefore = qgetenv("XDG_CONFIG_DIRS");
        const auto restore = qScopeGuard([&] {
            qputenv("XDG_CONFIG_DIRS", dirsBefore);
            QFile::remove(registryFile());
        });
        // A relative entry is no configuration folder and is passed over.
        qputenv("XDG_CONFIG_DIRS", QFile::encodeName(u"relative/xdg:"_s + first + u':' + second));
        QFile::remove(registryFile());

        QCOMPARE(runRegsvr({ u"--system"_s, copy }), 0);
        QVERIFY(QFileInfo(machine).isFile() && !QFileInfo::exists(registryFile()));
        QCOMPARE(ComponentRegistry().findClass(CLSID_CUpdateCheck).value_or(ComponentClass {}).serverPath, copy);
        QVERIFY(ComponentRegistry().findInterface(IID__CUpdateCheck));
        QVERIFY(ComponentRegistry().clsidFromProgId(QLatin1String(kUpdateCheckProgId)));
        QCOMPARE(CoCreateInstance(CLSID_CUpdateCheck, IID_IUnknown, ComPtr<IUnknown>().put()), S_OK);

        // The user's own registration wins; removed, the machine's shows again.
        QCOMPARE(runRegsvr({ kVerlook }), 0);
        QCOMPARE(ComponentRegistry().findClass(CLSID_CUpdateCheck).value_or(ComponentClass {}).serverPath, kVerlook);
        QCOMPARE(runRegsvr({ u"-u"_s, kVerlook }), 0);
        QCOMPARE(ComponentRegistry().findClass(CLSID_CUpdateCheck).value_or(ComponentClass {}).serverPath, copy);

        // Only --system writes machine-wide, whatever the environment says.
        qputenv("KESTRELLE_REGISTER_MACHINE_WIDE", "1");
        const int userExit = runRegsvr({ kVerlook });
        qunsetenv("KESTRELLE_REGISTER_MACHINE_WIDE");
        QCOMPARE(userExit, 0);
        const auto serverIn = [](const QString &file) {
            return ComponentRegistry(file).findClass(CLSID_CUpdateCheck).value_or(ComponentClass {}).serverPath;
        };
        QCOMPARE(serverIn(registryFile()), kVerlook);
        QCOMPARE(serverIn(machine), copy);
        QCOMPARE(runRegsvr({ u"-u"_s, kVerlook }), 0);

        // Unregistered machine-wide: nothing of it is left, in either order
        // of the options.
        QCOMPARE(runRegsvr({ u"--system"_s, u"-u"_s, copy }), 0);
        QVERIFY(QSettings(machine, QSettings::IniFormat).allKeys().isEmpty());
        QVERIFY(!ComponentRegistry().findClass(CLSID_CUpdateCheck));

        // A later folder of the list is looked in too.
        QVERIFY(ComponentRegistry(second + u"/Kestrelle/components.ini"_s).registerClass(testClass(copy)) == S_OK);
        QCOMPARE(ComponentRegistry().findClass(kTestClass).value_or(ComponentClass {}).serverPath, copy);
    }

    // Among them copies of the real library cut where an interrupted copy may
    // stop. The loader would map one cut inside a segment and die of SIGBUS;
    // every cut is refused before it gets there, by creation and by the tool
    // alike. Nothing waits for a writer to a FIFO that never comes. A server
    // that reports success and hands back nothing, from its class factory or
    // in place of one, must not leave the caller a null object.
    void creationFailures_data()
    {
        QTest::addColumn<QString>("server"); // "": not registered
        QTest::addColumn<HRESULT>("expected");
        QTest::addColumn<QString>("named"); // by the description and, for a failed load, by the tool
        QTest::addColumn<int>("regsvrExit");
        QTest::addColumn<QString>("clsid");
        const auto row = [](const char *tag, const QString &server, HRESULT expected, const QString &named,
                             int regsvrExit, const CLSID &clsid = CLSID_CUpdateCheck) {
            QTest::newRow(tag) << server << expected << named << regsvrExit << guidToString(clsid);
        };
        const QString noObjectServer = QStringLiteral(NOOBJECTSERVER_PATH);

        row("not registered", QString(), REGDB_E_CLASSNOTREG, guidToString(CLSID_CUpdateCheck), 0);
        row("library missing", m_config.filePath(u"gone/libgone.so"_s), HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND),
            u"libgone.so"_s, 3);
        row("not a library", m_config.filePath(u"notalibrary.so"_s), CO_E_ERRORINDLL, u"notalibrary.so"_s, 3);
        row("FIFO", m_config.filePath(u"libfifo.so"_s), CO_E_ERRORINDLL, u"libfifo.so"_s, 3);
        row("no class object entry", kPlainLibrary, HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND), u"DllGetClassObject"_s,
            4);
        row("factory without object", noObjectServer, E_NOINTERFACE, guidToString(kNoObjectClass), 4, kNoObjectClass);
        row("no factory", noObjectServer, E_NOINTERFACE, guidToString(kNoFactoryClass), 4, kNoFactoryClass);

        QFile file(kVerlook);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray image = file.readAll();
        ElfW(Ehdr) eh;
        QVERIFY(image.size() > qsizetype(sizeof eh));
        std::memcpy(&eh, image.constData(), sizeof eh);
        ElfW(Phdr) largest {};
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
        const std::pair<const char *, qint64> cuts[] = { { "is empty", 0 }, { "ELF header", sizeof eh / 2 },
            { "program header", (qint64(eh.e_phoff) + headersEnd) / 2 }, { "loadable segment", inSegment },
            { "section header", image.size() - 1 } };
        for (const auto &[problem, cut] : cuts) {
            QFile copy(m_config.filePath(u"libcut%1.so"_s.arg(cut)));
            QVERIFY(copy.open(QIODevice::WriteOnly) && copy.write(image.left(cut)) == cut);
            row(problem, copy.fileName(), CO_E_ERRORINDLL, QString::fromLatin1(problem), 3);
        }
    }

    void creationFailures()
    {
        QFETCH(QString, server);
        QFETCH(HRESULT, expected);
        QFETCH(QString, named);
        QFETCH(int, regsvrExit);
        QFETCH(QString, clsid);

        const CLSID id = guidFromString(clsid).value_or(GUID_NULL);
        const ComponentRegistry registry;
        if (!server.isEmpty())
            QCOMPARE(registry.registerClass(testClass(server, id)), S_OK);
        void *object = reinterpret_cast<void *>(1);
        QString description;
        QCOMPARE(CoCreateInstance(id, IID_IUnknown, &object, &description), expected);
        QVERIFY(!object);
        QVERIFY2(description.contains(named), qPrintable(description));
        QCOMPARE(registry.unregisterClass(id), S_OK);

        QByteArray err;
        if (!server.isEmpty())
            QCOMPARE(runRegsvr({ server }, &err), regsvrExit);
        // A failed load names the file and, as creation does, what is wrong with it.
        if (regsvrExit == 3)
            QVERIFY2(
                description.contains(server) && err.contains(QFile::encodeName(server)) && err.contains(named.toUtf8()),
                qPrintable(description + u'\n' + QString::fromLocal8Bit(err)));
    }

    void versionInfo()
    {
        QString why;
        const std::optional<LibraryVersionInfo> info = readVersionInfo(kVerlook, &why);
        QVERIFY2(info, qPrintable(why));
        const auto str = [&](QStringView name) { return info->string(name).value_or(u"<missing>"_s); };
        // Its text carries the minor number in two digits; names match in
        // any case; present but empty is not missing.
        const QVersionNumber &v = info->fileVersion;
        QVERIFY(!v.isNull());
        QCOMPARE(str(u"fileversion"), u"%1.%2"_s.arg(v.majorVersion()).arg(v.minorVersion(), 2, 10, QChar(u'0')));
        QCOMPARE(str(u"OLESelfRegister"), QString());
        QCOMPARE(str(u"LegalCopyright"), u"<missing>"_s);

        QVERIFY(!readVersionInfo(kPlainLibrary, &why));
        QVERIFY(why.contains(QLatin1String(kVersionInfoEntry)));
    }
};

QTEST_GUILESS_MAIN(TestComponentLayer)
#include "tst_componentlayer.moc"
