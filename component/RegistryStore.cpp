// The component registry as a file of the current user's (or a package's)
// configuration folder.

#include "RegistryStore.h"

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

// Registry paths use "\"; the file's keys use "/".
QString settingsKey(const QString &keyPath, const QString &name = QString())
{
    QString key = keyPath;
    key.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (!name.isEmpty())
        key += QLatin1Char('/') + name;
    return key;
}

// No registry in use holds anything near this; a bigger file is not one.
constexpr qint64 kMaxRegistryBytes = SafeFile::MaxTextBytes;

// One read of the file for one operation, and at most one write. The file is
// read only when it is a regular file of a sane size, without ever waiting on
// it; anything else is a registry that holds nothing and cannot be written.
class FileSession
{
public:
    explicit FileSession(const QString &path)
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

QString ComponentRegistry::noRegistryText()
{
    return QStringLiteral("there is no per-user component registry: neither HOME nor XDG_CONFIG_HOME is set");
}

struct RegistryStore::State : FileSession
{
    using FileSession::FileSession;
};

RegistryStore::RegistryStore(const QString &location)
    : d(std::make_unique<State>(location))
{ }

RegistryStore::~RegistryStore() = default;

const QString &RegistryStore::problem() const
{
    return d->problem();
}

void RegistryStore::set(const QString &keyPath, const QString &name, const QString &value)
{
    d->set(keyPath, name, value);
}

std::optional<QString> RegistryStore::raw(const QString &keyPath, const QString &name) const
{
    return d->raw(keyPath, name);
}

bool RegistryStore::has(const QString &keyPath) const
{
    return d->has(keyPath);
}

void RegistryStore::removeKey(const QString &keyPath)
{
    d->removeKey(keyPath);
}

bool RegistryStore::hasChildren(const QString &keyPath) const
{
    return !d->children(keyPath).isEmpty();
}

HRESULT RegistryStore::commit()
{
    return d->commit();
}

} // namespace component
