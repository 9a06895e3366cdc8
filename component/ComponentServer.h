#pragma once

#include "ComBase.h"

#include <QString>

namespace component {

// Creation by class identifier and the self-registration entry points of
// in-process server libraries.
//
// A library, once loaded, stays loaded for the life of the process, as the
// system keeps it until the client asks to free unused libraries: objects and
// class factories handed out point into its code, and libraries built on Qt
// cannot be unloaded safely while Qt runs.

// Looks the class up in the per-user registry (ComponentRegistry), loads its
// in-process server, asks DllGetClassObject for the class factory and creates
// one object with the interface iid. On failure *ppv is null and the result is
// REGDB_E_CLASSNOTREG (not registered, or the registry cannot be read: the
// description then says why), HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND) (the
// registered library file is missing), CO_E_ERRORINDLL (it is no complete
// shared object for this machine, or could not be loaded, for instance
// because it needs a symbol nothing provides),
// HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND) (no DllGetClassObject),
// E_NOINTERFACE (the library reported success but handed back no object), or
// what the library returned. description, when given, receives a sentence that
// names the class or the library.
//
// On Windows the system's COM does the creation (the thread joins a
// single-threaded apartment first, as the component's registration asks);
// the results and descriptions are the same.
HRESULT CoCreateInstance(REFCLSID rclsid, REFIID riid, void **ppv, QString *description = nullptr);
// The class factory (or another interface of the class object) alone.
HRESULT CoGetClassObject(REFCLSID rclsid, REFIID riid, void **ppv, QString *description = nullptr);
HRESULT CLSIDFromProgID(const QString &progId, CLSID *clsid);

// object->QueryInterface, where an answer of success without an interface is
// E_NOINTERFACE, so that no caller calls through a null pointer. On failure
// *ppv is null and description, when given, names interfaceName.
HRESULT queryInterface(
    IUnknown *object, REFIID riid, void **ppv, const QString &interfaceName, QString *description = nullptr);

// Loads a library (kept loaded, see above), binding all its symbols at once,
// and resolves one C entry point.
// Returns null with the result and a description on failure; a file that is
// not a complete shared object for this machine (sharedObjectProblem) is not
// handed to the loader at all.
QFunctionPointer resolveServerEntry(
    const QString &libraryPath, const char *entryName, HRESULT *hr, QString *description);

// The full path of the library (or program) whose code holds address, in
// the system's spelling; empty when it cannot be told. A library registers
// itself under this path.
QString libraryPathOf(const void *address);

// What the regsvr tool does: load the library and call DllRegisterServer, or
// DllUnregisterServer when unregister is set.
struct ServerRegistration
{
    enum Failure { None, LoadFailed, EntryMissing, CallFailed };
    Failure failure = None;
    HRESULT hr = S_OK;
    QString description;
    bool ok() const { return failure == None; }
};
ServerRegistration registerServer(const QString &libraryPath, bool unregister = false);

} // namespace component
