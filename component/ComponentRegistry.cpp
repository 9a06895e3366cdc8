#include "ComponentRegistry.h"

#include "RegistryStore.h"

namespace component {

namespace {

const QString kCLSID = QStringLiteral("CLSID");
const QString kInterface = QStringLiteral("Interface");
const QString kTypeLib = QStringLiteral("TypeLib");

QString classKey(const CLSID &clsid)
{
    return kCLSID + QLatin1Char('\\') + guidToString(clsid);
}

QString interfaceKey(const IID &iid)
{
    return kInterface + QLatin1Char('\\') + guidToString(iid);
}

QString typeLibKey(const GUID &libid)
{
    return kTypeLib + QLatin1Char('\\') + guidToString(libid);
}

} // namespace

ComponentRegistry::ComponentRegistry()
{
    const QStringList machineWide = machineWideFilePaths();
    if (qEnvironmentVariableIsSet(MachineWideVariable)) {
        m_filePath = machineWide.first();
    } else {
        m_filePath = defaultFilePath();
        m_fallbackPaths = machineWide;
    }
}

ComponentRegistry::ComponentRegistry(QString filePath, QStringList fallbackPaths)
    : m_filePath(std::move(filePath))
    , m_fallbackPaths(std::move(fallbackPaths))
{ }

// The answer of the first registry that has one: the user's, then the
// machine-wide ones.
template <typename Lookup> auto ComponentRegistry::firstFound(Lookup lookup) const -> decltype(lookup(QString()))
{
    auto found = lookup(m_filePath);
    for (qsizetype i = 0; !found && i < m_fallbackPaths.size(); ++i)
        found = lookup(m_fallbackPaths.at(i));
    return found;
}

QString ComponentRegistry::problem() const
{
    return RegistryStore(m_filePath).problem();
}

HRESULT ComponentRegistry::registerClass(const ComponentClass &entry) const
{
    RegistryStore s(m_filePath);
    const QString key = classKey(entry.clsid);
    // A fresh registration replaces whatever an older one left behind.
    s.removeKey(key);
    s.setDefault(key, entry.name);
    s.setDefault(key + QStringLiteral("\\InprocServer32"), entry.serverPath);
    s.set(key + QStringLiteral("\\InprocServer32"), QStringLiteral("ThreadingModel"), entry.threadingModel);
    if (!entry.progId.isEmpty()) {
        s.setDefault(key + QStringLiteral("\\ProgID"), entry.progId);
        s.removeKey(entry.progId);
        s.setDefault(entry.progId, entry.name);
        s.setDefault(entry.progId + QStringLiteral("\\CLSID"), guidToString(entry.clsid));
    }
    if (!(entry.typeLib == GUID_NULL))
        s.setDefault(key + QStringLiteral("\\TypeLib"), guidToString(entry.typeLib));
    if (!entry.version.isEmpty())
        s.setDefault(key + QStringLiteral("\\VERSION"), entry.version);
    return s.commit();
}

HRESULT ComponentRegistry::unregisterClass(const CLSID &clsid) const
{
    RegistryStore s(m_filePath);
    const QString key = classKey(clsid);
    const QString progId = s.get(key + QStringLiteral("\\ProgID"));
    // The ProgID may since have been taken over by another class; leave it then.
    const QString progIdClass = s.get(progId + QStringLiteral("\\CLSID"));
    if (!progId.isEmpty() && progIdClass.compare(guidToString(clsid), Qt::CaseInsensitive) == 0)
        s.removeKey(progId);
    s.removeKey(key);
    return s.commit();
}

HRESULT ComponentRegistry::registerInterface(const ComponentInterface &entry) const
{
    RegistryStore s(m_filePath);
    const QString key = interfaceKey(entry.iid);
    s.removeKey(key);
    s.setDefault(key, entry.name);
    s.setDefault(key + QStringLiteral("\\ProxyStubClsid"), guidToString(entry.proxyStub));
    s.setDefault(key + QStringLiteral("\\ProxyStubClsid32"), guidToString(entry.proxyStub));
    s.setDefault(key + QStringLiteral("\\TypeLib"), guidToString(entry.typeLib));
    s.set(key + QStringLiteral("\\TypeLib"), QStringLiteral("Version"), entry.typeLibVersion);
    return s.commit();
}

HRESULT ComponentRegistry::unregisterInterface(const IID &iid) const
{
    RegistryStore s(m_filePath);
    s.removeKey(interfaceKey(iid));
    return s.commit();
}

HRESULT ComponentRegistry::registerTypeLib(const ComponentTypeLib &entry) const
{
    RegistryStore s(m_filePath);
    const QString key = typeLibKey(entry.libid) + QLatin1Char('\\') + entry.version;
    s.removeKey(key);
    s.setDefault(key, entry.helpString);
    s.setDefault(key + QStringLiteral("\\0\\win32"), entry.win32Path);
    s.setDefault(key + QStringLiteral("\\FLAGS"), QString::number(entry.flags));
    s.setDefault(key + QStringLiteral("\\HELPDIR"), entry.helpDir);
    return s.commit();
}

HRESULT ComponentRegistry::unregisterTypeLib(const GUID &libid, const QString &version) const
{
    RegistryStore s(m_filePath);
    const QString libKey = typeLibKey(libid);
    s.removeKey(libKey + QLatin1Char('\\') + version);
    if (!s.hasChildren(libKey))
        s.removeKey(libKey);
    return s.commit();
}

std::optional<ComponentClass> ComponentRegistry::findClass(const CLSID &clsid) const
{
    return firstFound([&](const QString &path) -> std::optional<ComponentClass> {
        const RegistryStore s(path);
        const QString key = classKey(clsid);
        ComponentClass entry;
        entry.serverPath = s.get(key + QStringLiteral("\\InprocServer32"));
        if (entry.serverPath.isEmpty())
            return std::nullopt;
        entry.clsid = clsid;
        entry.name = s.get(key);
        entry.threadingModel = s.get(key + QStringLiteral("\\InprocServer32"), QStringLiteral("ThreadingModel"));
        entry.progId = s.get(key + QStringLiteral("\\ProgID"));
        entry.typeLib = guidFromString(s.get(key + QStringLiteral("\\TypeLib"))).value_or(GUID_NULL);
        entry.version = s.get(key + QStringLiteral("\\VERSION"));
        return entry;
    });
}

std::optional<CLSID> ComponentRegistry::clsidFromProgId(const QString &progId) const
{
    if (progId.isEmpty())
        return std::nullopt;
    return firstFound([&](const QString &path) {
        return guidFromString(RegistryStore(path).get(progId + QStringLiteral("\\CLSID")));
    });
}

std::optional<ComponentInterface> ComponentRegistry::findInterface(const IID &iid) const
{
    return firstFound([&](const QString &path) -> std::optional<ComponentInterface> {
        const RegistryStore s(path);
        const QString key = interfaceKey(iid);
        if (!s.has(key))
            return std::nullopt;
        ComponentInterface entry;
        entry.iid = iid;
        entry.name = s.get(key);
        entry.proxyStub = guidFromString(s.get(key + QStringLiteral("\\ProxyStubClsid32"))).value_or(GUID_NULL);
        entry.typeLib = guidFromString(s.get(key + QStringLiteral("\\TypeLib"))).value_or(GUID_NULL);
        entry.typeLibVersion = s.get(key + QStringLiteral("\\TypeLib"), QStringLiteral("Version"));
        return entry;
    });
}

std::optional<ComponentTypeLib> ComponentRegistry::findTypeLib(const GUID &libid, const QString &version) const
{
    return firstFound([&](const QString &path) -> std::optional<ComponentTypeLib> {
        const RegistryStore s(path);
        const QString key = typeLibKey(libid) + QLatin1Char('\\') + version;
        if (!s.has(key))
            return std::nullopt;
        ComponentTypeLib entry;
        entry.libid = libid;
        entry.version = version;
        entry.helpString = s.get(key);
        entry.win32Path = s.get(key + QStringLiteral("\\0\\win32"));
        entry.flags = s.get(key + QStringLiteral("\\FLAGS")).toInt();
        entry.helpDir = s.get(key + QStringLiteral("\\HELPDIR"));
        return entry;
    });
}

QVariant ComponentRegistry::value(const QString &keyPath, const QString &name) const
{
    const std::optional<QString> found
        = firstFound([&](const QString &path) { return RegistryStore(path).raw(keyPath, name); });
    return found ? QVariant(*found) : QVariant();
}

bool ComponentRegistry::keyExists(const QString &keyPath) const
{
    return firstFound([&](const QString &path) { return RegistryStore(path).has(keyPath); });
}

} // namespace component
