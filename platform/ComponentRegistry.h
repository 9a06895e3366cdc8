#pragma once

#include "ComBase.h"

#include <QString>
#include <QVariant>

#include <optional>

// The entries an in-process component writes when it registers itself, keyed
// as under the classes root of the Windows registry:
//
//   CLSID\{clsid}                        (default) = class name
//   CLSID\{clsid}\InprocServer32         (default) = library path, ThreadingModel
//   CLSID\{clsid}\ProgID                 (default) = programmatic identifier
//   CLSID\{clsid}\TypeLib                (default) = {libid}
//   CLSID\{clsid}\VERSION                (default) = type library version
//   <ProgID>                             (default) = class name
//   <ProgID>\CLSID                       (default) = {clsid}
//   Interface\{iid}                      (default) = interface name
//   Interface\{iid}\ProxyStubClsid32     (default) = {proxy/stub class}
//   Interface\{iid}\ProxyStubClsid       (default) = {proxy/stub class}
//   Interface\{iid}\TypeLib              (default) = {libid}, Version
//   TypeLib\{libid}\<ver>                (default) = help string
//   TypeLib\{libid}\<ver>\0\win32        (default) = library path
//   TypeLib\{libid}\<ver>\FLAGS          (default) = flags
//   TypeLib\{libid}\<ver>\HELPDIR        (default) = help folder
//
// The registry is per user: a QSettings INI file at
// <GenericConfigLocation>/Kestrelle/components.ini (~/.config/... unless
// XDG_CONFIG_HOME says otherwise). In that file a key's default value is the
// setting at the key's own path and a named value the setting at the key's
// path plus "/" plus its name, so "CLSID/{...}/InprocServer32" holds the
// library and "CLSID/{...}/InprocServer32/ThreadingModel" its threading model.
// Every call opens the file afresh, so registrations made by another process
// (the regsvr tool) are seen at once.

struct ComponentClass
{
    CLSID clsid = GUID_NULL;
    QString name;
    QString progId;
    QString serverPath;
    QString threadingModel;
    GUID typeLib = GUID_NULL;
    QString version;
};

struct ComponentInterface
{
    IID iid = GUID_NULL;
    QString name;
    CLSID proxyStub = GUID_NULL;
    GUID typeLib = GUID_NULL;
    QString typeLibVersion;
};

struct ComponentTypeLib
{
    GUID libid = GUID_NULL;
    QString version; // "1.0"
    QString helpString;
    QString win32Path;
    QString helpDir;
    int flags = 0;
};

class ComponentRegistry
{
public:
    // The current user's registry.
    ComponentRegistry();
    explicit ComponentRegistry(QString filePath);

    static QString defaultFilePath();
    const QString &filePath() const { return m_filePath; }

    // Writers return S_OK, or REGDB_E_WRITEREGDB when the file could not be
    // written (nothing is then claimed to be registered).
    HRESULT registerClass(const ComponentClass &entry) const;
    // Removes the class key and the ProgID key when that still names this class.
    HRESULT unregisterClass(const CLSID &clsid) const;
    HRESULT registerInterface(const ComponentInterface &entry) const;
    HRESULT unregisterInterface(const IID &iid) const;
    HRESULT registerTypeLib(const ComponentTypeLib &entry) const;
    // Removes that version; the library's key goes with its last version.
    HRESULT unregisterTypeLib(const GUID &libid, const QString &version) const;

    // nullopt when the class is not registered or has no in-process server.
    std::optional<ComponentClass> findClass(const CLSID &clsid) const;
    std::optional<CLSID> clsidFromProgId(const QString &progId) const;
    std::optional<ComponentInterface> findInterface(const IID &iid) const;
    std::optional<ComponentTypeLib> findTypeLib(const GUID &libid, const QString &version) const;

    // Raw access with registry paths ("CLSID\{...}\InprocServer32"): the
    // key's default value when name is empty, else its named value. Invalid
    // when absent.
    QVariant value(const QString &keyPath, const QString &name = QString()) const;
    bool keyExists(const QString &keyPath) const;

private:
    QString m_filePath;
};
