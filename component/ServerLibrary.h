#pragma once

// What creation and registration share on every system; private to the layer.

#include "ComBase.h"

#include <QString>

#include <optional>

namespace component {

void describe(QString *description, const QString &text);

// A server that reports success without handing anything back has nothing
// to give: the caller would go on to call through a null pointer.
HRESULT noObject(const QString &asked, const char *call, QString *description);

// What is wrong with a library file that must not reach the loader (the
// rest of a sentence that begins with its name); nullopt where the loader
// itself judges.
std::optional<QString> serverFileProblem(const QString &absolutePath);

// Loads a library the file checks have passed (kept loaded) and resolves one
// entry point: CO_E_ERRORINDLL when it does not load,
// HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND) without the entry.
QFunctionPointer loadServerEntry(const QString &absolutePath, const char *entryName, HRESULT *hr, QString *description);

// Looks the class up in the component registry, loads its library and asks
// its DllGetClassObject; ppv is not null and already cleared.
HRESULT classObjectFromRegistry(REFCLSID rclsid, REFIID riid, void **ppv, QString *description);

// "Class not registered: {...}", and why the registry could not say, if it could not.
QString describeNotRegistered(const CLSID &clsid, const QString &problem);

} // namespace component
