#pragma once

#include "ComBase.h"

#include <QString>
#include <QStringList>
#include <QVariant>

#include <optional>

namespace component {

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
// On Windows these are the system's registry keys under
// HKEY_CURRENT_USER\Software\Classes (the user's registrations, which the
// system's COM reads) over HKEY_LOCAL_MACHINE\Software\Classes (the
// machine's); a "file path" below is then such a key. Elsewhere the registry
// is per user: an INI file at
// $XDG_CONFIG_HOME/Kestrelle/components.ini, or ~/.config/... when that is not
// set, in the layout QSettings gives such a file (ComponentRegistryFile).
// What the user has not registered is looked up in the machine-wide registry,
// Kestrelle/components.ini in the configuration folders of $XDG_CONFIG_DIRS
// (/etc/xdg), where a package registers its components for every user; a
// class, ProgID, interface or type library the user registered wins. In
// that file a key's default value is the setting at the key's own path and a
// named value the setting at the key's path plus "/" plus its name, so
// "CLSID/{...}/InprocServer32" holds the library and
// "CLSID/{...}/InprocServer32/ThreadingModel" its threading model. Every call
// reads the file afresh, so registrations made by another process (the
// regsvr tool) are seen at once.
//
// The file is read only when it is a regular file (a link to one is
// followed) of at most 16 MiB, and never in a way that can block; a FIFO,
// device or folder in its place is a registry in which nothing is registered
// and which cannot be written. A write replaces the file with one written
// beside it, so a link in its place is replaced, its target left alone.

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
    // The current user's registry over the machine-wide ones. In a process
    // that registers machine-wide (MachineWideVariable is set), the first
    // machine-wide registry alone, which writes then go to.
    ComponentRegistry();
    // One registry file; what is not found there is looked up in
    // fallbackPaths, in order. Writes go to filePath only.
    explicit ComponentRegistry(QString filePath, QStringList fallbackPaths = {});

    // Empty when neither HOME nor XDG_CONFIG_HOME names a folder: there is
    // then no per-user registry.
    static QString defaultFilePath();
    // The machine-wide registries, most important first.
    static QStringList machineWideFilePaths();
    // Set (to any value) in the environment of a process whose
    // registrations are for every user, as regsvr --system does before it
    // loads a library: the library's own registration code then writes to
    // the machine-wide registry.
    static constexpr char MachineWideVariable[] = "KESTRELLE_REGISTER_MACHINE_WIDE";
    // Why a registry without a file path cannot be used.
    static QString noRegistryText();
    const QString &filePath() const { return m_filePath; }

    // Why the registry cannot be read (no file path, not a regular file, too
    // large, unreadable), as the end of a sentence; empty when it can be, or
    // when it does not exist yet.
    QString problem() const;

    // Writers return S_OK, or REGDB_E_WRITEREGDB when the file could not be
    // read or written (nothing is then claimed to be registered).
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
    template <typename Lookup> auto firstFound(Lookup lookup) const -> decltype(lookup(QString()));

    QString m_filePath;
    QStringList m_fallbackPaths;
};

} // namespace component
