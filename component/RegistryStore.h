#pragma once

#include "ComBase.h"

#include <QString>

#include <memory>
#include <optional>

namespace component {

// One operation's view of one component registry (a location as
// ComponentRegistry names it): read once when made, written by commit. Key
// paths use "\"; an empty value name is the key's default value. What cannot
// be read is a registry that holds nothing and cannot be written; problem()
// says why.
class RegistryStore
{
public:
    explicit RegistryStore(const QString &location);
    ~RegistryStore();
    RegistryStore(const RegistryStore &) = delete;
    RegistryStore &operator=(const RegistryStore &) = delete;

    // Empty when the registry can be read, or does not exist yet.
    const QString &problem() const;

    void set(const QString &keyPath, const QString &name, const QString &value);
    void setDefault(const QString &keyPath, const QString &value) { set(keyPath, QString(), value); }
    // nullopt when the value is absent.
    std::optional<QString> raw(const QString &keyPath, const QString &name) const;
    QString get(const QString &keyPath, const QString &name = QString()) const
    {
        return raw(keyPath, name).value_or(QString());
    }
    bool has(const QString &keyPath) const;
    // The key, its values and every key below it.
    void removeKey(const QString &keyPath);
    bool hasChildren(const QString &keyPath) const;

    // S_OK, or REGDB_E_WRITEREGDB when a change could not be made.
    HRESULT commit();

private:
    struct State;
    std::unique_ptr<State> d;
};

} // namespace component
