#include "ComponentRegistry.h"

#include "ComponentRegistryFile.h"
#include "SafeFile.h"
#include "XdgFolders.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>

namespace component {

namespace SafeFile = platform::SafeFile;
namespace XdgFolders = platform::XdgFolders;

namespace {

const QString kCLSID = QStringLiteral("CLSID");
const QString kInterface = QStringLiteral("Interface");
const QString kTypeLib = QStringLiteral("TypeLib");

// Registry paths use "\"; the file's keys use "/".
QString settingsKey(const QString &keyPath, const QString &name = QString())
{
    QString key = keyPath;
    key.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (!name.isEmpty())
        key += QLatin1Char('/') + name;
    return key;
}

QString classKey(const CLSID &clsid)
{
    return kCLSID + QLatin1Char('\\') + clsid.toString();
}

QString interfaceKey(const IID &iid)
{
    return kInterface + QLatin1Char('\\') + iid.toString();
}

QString typeLibKey(const GUID &libid)
{
    return kTypeLib + QLatin1Char('\\') + libid.toString();
}

// No registry in use holds anything near this; a bigger file is not one.
constexpr qint64 kMaxRegistryBytes = SafeFile::MaxTextBytes;

// One read of the file for one operation, and at most one write. The file is
// read only when it is a regular file of a sane size, without ever waiting on
// it; anything else is a registry that holds nothing and cannot be written.
class Session
{
public:
    explicit Session(const QString &path)
        : m_path(path)
    {
        if (path.isEmpty()) {
            m_problem = ComponentRegistry::noRegistryText();
            return;
        }
        QByteArray bytes;
        const SafeFile::Result read = SafeFile::readFile(path, bytes, kMaxRegistryBytes);
        // Nothing has been registered yet.
        if (read.failure == SafeFile::Result::System && read.error == ENOENT)
            return;
        if (!read.ok()) {
            m_problem = QStringLiteral("the component registry ") + QDir::toNativeSeparators(path);
            switch (read.failure) {
            case SafeFile::Result::NotRegularFile: m_problem += QStringLiteral(" is not a regular file"); break;
            case SafeFile::Result::TooLarge:
                m_problem += QStringLiteral(" is larger than %1 bytes").arg(kMaxRegistryBytes);
                break;
            default: m_problem += QStringLiteral(" cannot be read: ") + qt_error_string(read.error); break;
            }
            return;
        }
        m_entries = ComponentRegistryFile::parse(bytes);
    }

    // Why the registry could not be read; empty when it could (or is absent).
    const QString &problem() const { return m_problem; }

    void set(const QString &keyPath, const QString &name, const QString &value)
    {
        m_entries.insert(settingsKey(keyPath, name), value);
        m_changed = true;
    }
    void setDefault(const QString &keyPath, const QString &value) { set(keyPath, QString(), value); }

    QString get(const QString &keyPath, const QString &name = QString()) const
    {
        return m_entries.value(settingsKey(keyPath, name));
    }
    std::optional<QString> raw(const QString &keyPath, const QString &name) const
    {
        const auto it = m_entries.constFind(settingsKey(keyPath, name));
        return it == m_entries.cend() ? std::nullopt : std::optional<QString>(*it);
    }
    bool has(const QString &keyPath) const
    {
        const QString key = settingsKey(keyPath);
        const QString prefix = key + QLatin1Char('/');
        const auto below = m_entries.lowerBound(prefix);
        return m_entries.contains(key) || (below != m_entries.cend() && below.key().startsWith(prefix));
    }

    // The key, its named values and every key below it.
    void removeKey(const QString &keyPath)
    {
        const QString key = settingsKey(keyPath);
        const QString prefix = key + QLatin1Char('/');
        m_changed |= m_entries.remove(key) > 0;
        for (auto it = m_entries.lowerBound(prefix); it != m_entries.end() && it.key().startsWith(prefix);) {
            it = m_entries.erase(it);
            m_changed = true;
        }
    }

    // The child keys of keyPath (first path parts below it).
    QStringList children(const QString &keyPath) const
    {
        const QString prefix = settingsKey(keyPath) + QLatin1Char('/');
        QStringList names;
        for (auto it = m_entries.lowerBound(prefix); it != m_entries.cend() && it.key().startsWith(prefix); ++it)
            names.append(it.key().mid(prefix.size()).section(QLatin1Char('/'), 0, 0));
        names.removeDuplicates();
        return names;
    }

    HRESULT commit()
    {
        if (!m_problem.isEmpty())
            return REGDB_E_WRITEREGDB;
        if (!m_changed)
            return S_OK;
        if (!QDir().mkpath(QFileInfo(m_path).absolutePath()))
            return REGDB_E_WRITEREGDB;
        // Written beside and renamed into place: a link is replaced, not
        // written through, and a FIFO or folder in the file's place is refused.
        const SafeFile::Result written
            = SafeFile::replaceFile(m_path, ComponentRegistryFile::format(m_entries), SafeFile::Durability::Synced);
        return written.ok() ? S_OK : REGDB_E_WRITEREGDB;
    }

private:
    QString m_path;
    QString m_problem;
    ComponentRegistryFile::Entries m_entries;
    bool m_changed = false;
};

QString registryIn(const QString &configFolder)
{
    return configFolder.isEmpty() ? QString()
                                  : QDir::cleanPath(configFolder + QStringLiteral("/Kestrelle/components.ini"));
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

QString ComponentRegistry::defaultFilePath()
{
    return registryIn(XdgFolders::configHome());
}

QStringList ComponentRegistry::machineWideFilePaths()
{
    QStringList paths;
    for (const QString &folder : XdgFolders::configDirs())
        paths.append(registryIn(folder));
    return paths;
}

// The answer of the first registry that has one: the user's, then the
// machine-wide ones.
template <typename Lookup> auto ComponentRegistry::firstFound(Lookup lookup) const -> decltype(lookup(QString()))
{
    auto found = lookup(m_filePath);
    for (qsizetype i = 0; !found && i < m_fallbackPaths.size(); ++i)
        found = lookup(m_fallbackPaths.at(i));
    return found;
}

QString ComponentRegistry::noRegistryText()
{
    return QStringLiteral("there is no per-user component registry: neither HOME nor XDG_CONFIG_HOME is set");
}

QString ComponentRegistry::problem() const
{
    return Session(m_filePath).problem();
}

HRESULT ComponentRegistry::registerClass(const ComponentClass &entry) const
{
    Session s(m_filePath);
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
        s.setDefault(entry.progId + QStringLiteral("\\CLSID"), entry.clsid.toString());
    }
    if (!(entry.typeLib == GUID_NULL))
        s.setDefault(key + QStringLiteral("\\TypeLib"), entry.typeLib.toString());
    if (!entry.version.isEmpty())
        s.setDefault(key + QStringLiteral("\\VERSION"), entry.version);
    return s.commit();
}

HRESULT ComponentRegistry::unregisterClass(const CLSID &clsid) const
{
    Session s(m_filePath);
    const QString key = classKey(clsid);
    const QString progId = s.get(key + QStringLiteral("\\ProgID"));
    // The ProgID may since have been taken over by another class; leave it then.
    const QString progIdClass = s.get(progId + QStringLiteral("\\CLSID"));
    if (!progId.isEmpty() && progIdClass.compare(clsid.toString(), Qt::CaseInsensitive) == 0)
        s.removeKey(progId);
    s.removeKey(key);
    return s.commit();
}

HRESULT ComponentRegistry::registerInterface(const ComponentInterface &entry) const
{
    Session s(m_filePath);
    const QString key = interfaceKey(entry.iid);
    s.removeKey(key);
    s.setDefault(key, entry.name);
    s.setDefault(key + QStringLiteral("\\ProxyStubClsid"), entry.proxyStub.toString());
    s.setDefault(key + QStringLiteral("\\ProxyStubClsid32"), entry.proxyStub.toString());
    s.setDefault(key + QStringLiteral("\\TypeLib"), entry.typeLib.toString());
    s.set(key + QStringLiteral("\\TypeLib"), QStringLiteral("Version"), entry.typeLibVersion);
    return s.commit();
}

HRESULT ComponentRegistry::unregisterInterface(const IID &iid) const
{
    Session s(m_filePath);
    s.removeKey(interfaceKey(iid));
    return s.commit();
}

HRESULT ComponentRegistry::registerTypeLib(const ComponentTypeLib &entry) const
{
    Session s(m_filePath);
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
    Session s(m_filePath);
    const QString libKey = typeLibKey(libid);
    s.removeKey(libKey + QLatin1Char('\\') + version);
    if (s.children(libKey).isEmpty())
        s.removeKey(libKey);
    return s.commit();
}

std::optional<ComponentClass> ComponentRegistry::findClass(const CLSID &clsid) const
{
    return firstFound([&](const QString &path) -> std::optional<ComponentClass> {
        const Session s(path);
        const QString key = classKey(clsid);
        ComponentClass entry;
        entry.serverPath = s.get(key + QStringLiteral("\\InprocServer32"));
        if (entry.serverPath.isEmpty())
            return std::nullopt;
        entry.clsid = clsid;
        entry.name = s.get(key);
        entry.threadingModel = s.get(key + QStringLiteral("\\InprocServer32"), QStringLiteral("ThreadingModel"));
        entry.progId = s.get(key + QStringLiteral("\\ProgID"));
        entry.typeLib = GUID::fromString(s.get(key + QStringLiteral("\\TypeLib"))).value_or(GUID_NULL);
        entry.version = s.get(key + QStringLiteral("\\VERSION"));
        return entry;
    });
}

std::optional<CLSID> ComponentRegistry::clsidFromProgId(const QString &progId) const
{
    if (progId.isEmpty())
        return std::nullopt;
    return firstFound(
        [&](const QString &path) { return GUID::fromString(Session(path).get(progId + QStringLiteral("\\CLSID"))); });
}

std::optional<ComponentInterface> ComponentRegistry::findInterface(const IID &iid) const
{
    return firstFound([&](const QString &path) -> std::optional<ComponentInterface> {
        const Session s(path);
        const QString key = interfaceKey(iid);
        if (!s.has(key))
            return std::nullopt;
        ComponentInterface entry;
        entry.iid = iid;
        entry.name = s.get(key);
        entry.proxyStub = GUID::fromString(s.get(key + QStringLiteral("\\ProxyStubClsid32"))).value_or(GUID_NULL);
        entry.typeLib = GUID::fromString(s.get(key + QStringLiteral("\\TypeLib"))).value_or(GUID_NULL);
        entry.typeLibVersion = s.get(key + QStringLiteral("\\TypeLib"), QStringLiteral("Version"));
        return entry;
    });
}

std::optional<ComponentTypeLib> ComponentRegistry::findTypeLib(const GUID &libid, const QString &version) const
{
    return firstFound([&](const QString &path) -> std::optional<ComponentTypeLib> {
        const Session s(path);
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
        = firstFound([&](const QString &path) { return Session(path).raw(keyPath, name); });
    return found ? QVariant(*found) : QVariant();
}

bool ComponentRegistry::keyExists(const QString &keyPath) const
{
    return firstFound([&](const QString &path) { return Session(path).has(keyPath); });
}

} // namespace component
