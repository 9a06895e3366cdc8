// The component registry as the system's registry: a location is a key such
// as HKEY_CURRENT_USER\Software\Classes, under which the system's COM looks
// classes up. Changes are made at once; commit reports whether all were.

#include "RegistryStore.h"

#include "ComponentRegistry.h"

#include <string>

namespace component {

namespace {

struct Root
{
    const wchar_t *name;
    HKEY key;
};

const Root kRoots[] = { { L"HKEY_CURRENT_USER", HKEY_CURRENT_USER }, { L"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE } };

std::wstring wide(const QString &text)
{
    return text.toStdWString();
}

// Closes a key when it goes.
class Key
{
public:
    Key() = default;
    ~Key()
    {
        if (m_key)
            ::RegCloseKey(m_key);
    }
    Key(const Key &) = delete;
    Key &operator=(const Key &) = delete;
    HKEY *put() { return &m_key; }
    HKEY get() const { return m_key; }

private:
    HKEY m_key = nullptr;
};

} // namespace

QString ComponentRegistry::defaultFilePath()
{
    return QStringLiteral("HKEY_CURRENT_USER\\Software\\Classes");
}

QStringList ComponentRegistry::machineWideFilePaths()
{
    return { QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Classes") };
}

QString ComponentRegistry::noRegistryText()
{
    return QStringLiteral("no registry key was named for the component registry");
}

struct RegistryStore::State
{
    HKEY root = nullptr;
    QString base; // below root, without a trailing "\"
    QString problem;
    bool failed = false;

    std::wstring path(const QString &keyPath) const { return wide(base + QLatin1Char('\\') + keyPath); }
};

RegistryStore::RegistryStore(const QString &location)
    : d(std::make_unique<State>())
{
    if (location.isEmpty()) {
        d->problem = ComponentRegistry::noRegistryText();
        return;
    }
    for (const Root &root : kRoots) {
        const QString prefix = QString::fromWCharArray(root.name) + QLatin1Char('\\');
        if (location.startsWith(prefix, Qt::CaseInsensitive) && location.size() > prefix.size()) {
            d->root = root.key;
            d->base = location.mid(prefix.size());
            return;
        }
    }
    d->problem = QStringLiteral("the component registry ") + location + QStringLiteral(" is not a registry key");
}

RegistryStore::~RegistryStore() = default;

const QString &RegistryStore::problem() const
{
    return d->problem;
}

void RegistryStore::set(const QString &keyPath, const QString &name, const QString &value)
{
    Key key;
    if (!d->problem.isEmpty()
        || ::RegCreateKeyExW(
               d->root, d->path(keyPath).c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(), nullptr)
            != ERROR_SUCCESS) {
        d->failed = true;
        return;
    }
    const std::wstring data = wide(value);
    const std::wstring valueName = wide(name);
    const DWORD bytes = DWORD((data.size() + 1) * sizeof(wchar_t));
    if (::RegSetValueExW(key.get(), name.isEmpty() ? nullptr : valueName.c_str(), 0, REG_SZ,
            reinterpret_cast<const BYTE *>(data.c_str()), bytes)
        != ERROR_SUCCESS)
        d->failed = true;
}

std::optional<QString> RegistryStore::raw(const QString &keyPath, const QString &name) const
{
    if (!d->problem.isEmpty())
        return std::nullopt;
    const std::wstring path = d->path(keyPath);
    const std::wstring valueName = wide(name);
    const wchar_t *valueNameOrDefault = name.isEmpty() ? nullptr : valueName.c_str();
    constexpr DWORD kFlags = RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND;
    // The value may grow between the two calls; then ask again.
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD bytes = 0;
        if (::RegGetValueW(d->root, path.c_str(), valueNameOrDefault, kFlags, nullptr, nullptr, &bytes)
            != ERROR_SUCCESS)
            return std::nullopt;
        std::wstring data(bytes / sizeof(wchar_t) + 1, L'\0');
        bytes = DWORD(data.size() * sizeof(wchar_t));
        const LSTATUS status
            = ::RegGetValueW(d->root, path.c_str(), valueNameOrDefault, kFlags, nullptr, data.data(), &bytes);
        if (status == ERROR_MORE_DATA)
            continue;
        if (status != ERROR_SUCCESS)
            return std::nullopt;
        // The count includes the terminating NUL the call guarantees.
        const QString text = QString::fromWCharArray(data.c_str(), qsizetype(bytes / sizeof(wchar_t)));
        return text.endsWith(QChar(0)) ? text.chopped(1) : text;
    }
    return std::nullopt;
}

bool RegistryStore::has(const QString &keyPath) const
{
    Key key;
    return d->problem.isEmpty()
        && ::RegOpenKeyExW(d->root, d->path(keyPath).c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

void RegistryStore::removeKey(const QString &keyPath)
{
    if (!d->problem.isEmpty()) {
        d->failed = true;
        return;
    }
    const LSTATUS status = ::RegDeleteTreeW(d->root, d->path(keyPath).c_str());
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
        d->failed = true;
}

bool RegistryStore::hasChildren(const QString &keyPath) const
{
    Key key;
    if (!d->problem.isEmpty()
        || ::RegOpenKeyExW(d->root, d->path(keyPath).c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS)
        return false;
    DWORD subKeys = 0;
    return ::RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, nullptr, nullptr,
               nullptr, nullptr, nullptr)
        == ERROR_SUCCESS
        && subKeys > 0;
}

HRESULT RegistryStore::commit()
{
    return d->problem.isEmpty() && !d->failed ? S_OK : REGDB_E_WRITEREGDB;
}

} // namespace component
