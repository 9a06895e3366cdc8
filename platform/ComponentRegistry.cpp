#include "ComponentRegistry.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>

#include <algorithm>

namespace {

const QString kCLSID = QStringLiteral("CLSID");
const QString kInterface = QStringLiteral("Interface");
const QString kTypeLib = QStringLiteral("TypeLib");

// Registry paths use "\"; QSettings groups use "/".
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

// One open of the file for one operation.
class Session
{
public:
    explicit Session(const QString &path)
        : m_settings(path, QSettings::IniFormat)
    { }

    void set(const QString &keyPath, const QString &name, const QVariant &value)
    {
        m_settings.setValue(settingsKey(keyPath, name), value);
    }
    void setDefault(const QString &keyPath, const QVariant &value) { set(keyPath, QString(), value); }

    QString get(const QString &keyPath, const QString &name = QString()) const
    {
        return m_settings.value(settingsKey(keyPath, name)).toString();
    }
    QVariant raw(const QString &keyPath, const QString &name) const
    {
        return m_settings.value(settingsKey(keyPath, name));
    }
    bool has(const QString &keyPath) const
    {
        const QString key = settingsKey(keyPath);
        if (m_settings.contains(key))
            return true;
        const QString prefix = key + QLatin1Char('/');
        const QStringList keys = m_settings.allKeys();
        return std::any_of(keys.cbegin(), keys.cend(), [&](const QString &k) { return k.startsWith(prefix); });
    }

    void removeKey(const QString &keyPath) { m_settings.remove(settingsKey(keyPath)); }

    // The child keys of keyPath (first path parts below it).
    QStringList children(const QString &keyPath)
    {
        m_settings.beginGroup(settingsKey(keyPath));
        QStringList names = m_settings.childGroups() + m_settings.childKeys();
        m_settings.endGroup();
        names.removeDuplicates();
        return names;
    }

    HRESULT commit()
    {
        if (m_settings.fileName().isEmpty())
            return REGDB_E_WRITEREGDB;
        m_settings.sync();
        return m_settings.status() == QSettings::NoError ? S_OK : REGDB_E_WRITEREGDB;
    }

private:
    QSettings m_settings;
};

} // namespace

ComponentRegistry::ComponentRegistry()
    : ComponentRegistry(defaultFilePath())
{ }

ComponentRegistry::ComponentRegistry(QString filePath)
    : m_filePath(std::move(filePath))
{ }

QString ComponentRegistry::defaultFilePath()
{
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    // No home and no XDG_CONFIG_HOME: there is no registry, rather than one
    // in whatever folder happens to be current.
    if (config.isEmpty())
        return QString();
    return QDir(config).filePath(QStringLiteral("Kestrelle/components.ini"));
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
    const Session s(m_filePath);
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
}

std::optional<CLSID> ComponentRegistry::clsidFromProgId(const QString &progId) const
{
    if (progId.isEmpty())
        return std::nullopt;
    const Session s(m_filePath);
    return GUID::fromString(s.get(progId + QStringLiteral("\\CLSID")));
}

std::optional<ComponentInterface> ComponentRegistry::findInterface(const IID &iid) const
{
    const Session s(m_filePath);
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
}

std::optional<ComponentTypeLib> ComponentRegistry::findTypeLib(const GUID &libid, const QString &version) const
{
    const Session s(m_filePath);
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
}

QVariant ComponentRegistry::value(const QString &keyPath, const QString &name) const
{
    return Session(m_filePath).raw(keyPath, name);
}

bool ComponentRegistry::keyExists(const QString &keyPath) const
{
    return Session(m_filePath).has(keyPath);
}
