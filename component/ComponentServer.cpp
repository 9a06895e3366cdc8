#include "ComponentServer.h"

#include "ComponentRegistry.h"
#include "ServerLibrary.h"

#include <QDir>
#include <QFileInfo>
#include <QLibrary>

namespace component {

void describe(QString *description, const QString &text)
{
    if (description)
        *description = text;
}

HRESULT noObject(const QString &asked, const char *call, QString *description)
{
    describe(description,
        hresultDescription(E_NOINTERFACE) + QStringLiteral(": ") + QLatin1String(call) + QStringLiteral(" for ") + asked
            + QStringLiteral(" reported success but returned no object"));
    return E_NOINTERFACE;
}

QFunctionPointer loadServerEntry(const QString &absolutePath, const char *entryName, HRESULT *hr, QString *description)
{
    // Never unloaded: the QLibrary object may go, the library stays. Every
    // symbol is bound now: a library that needs one nothing provides fails
    // to load here, instead of ending the process at its first call.
    QLibrary library(absolutePath);
    library.setLoadHints(QLibrary::ResolveAllSymbolsHint);
    const QString nativePath = QDir::toNativeSeparators(absolutePath);
    if (!library.load()) {
        *hr = CO_E_ERRORINDLL;
        // The loader's message names the file; as the user spells it.
        describe(description,
            hresultDescription(*hr) + QStringLiteral(": ") + library.errorString().replace(absolutePath, nativePath));
        return nullptr;
    }
    const QFunctionPointer entry = library.resolve(entryName);
    if (!entry) {
        *hr = HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
        describe(description,
            hresultDescription(*hr) + QStringLiteral(": ") + QLatin1String(entryName) + QStringLiteral(" in ")
                + nativePath);
        return nullptr;
    }
    *hr = S_OK;
    return entry;
}

QFunctionPointer resolveServerEntry(
    const QString &libraryPath, const char *entryName, HRESULT *hr, QString *description)
{
    const QFileInfo file(libraryPath);
    if (libraryPath.isEmpty() || !file.exists()) {
        *hr = HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
        describe(description, hresultDescription(*hr) + QStringLiteral(": ") + libraryPath);
        return nullptr;
    }
    // Refused before the loader sees it, where the loader cannot be trusted with it.
    if (const std::optional<QString> problem = serverFileProblem(file.absoluteFilePath())) {
        *hr = CO_E_ERRORINDLL;
        describe(description,
            hresultDescription(*hr) + QStringLiteral(": ") + QDir::toNativeSeparators(file.absoluteFilePath())
                + QLatin1Char(' ') + *problem);
        return nullptr;
    }
    return loadServerEntry(file.absoluteFilePath(), entryName, hr, description);
}

QString describeNotRegistered(const CLSID &clsid, const QString &problem)
{
    QString text = hresultDescription(REGDB_E_CLASSNOTREG) + QStringLiteral(": ") + guidToString(clsid);
    if (!problem.isEmpty())
        text += QStringLiteral(" (") + problem + QLatin1Char(')');
    return text;
}

HRESULT classObjectFromRegistry(REFCLSID rclsid, REFIID riid, void **ppv, QString *description)
{
    const ComponentRegistry registry;
    const std::optional<ComponentClass> entry = registry.findClass(rclsid);
    if (!entry) {
        describe(description, describeNotRegistered(rclsid, registry.problem()));
        return REGDB_E_CLASSNOTREG;
    }

    HRESULT hr = S_OK;
    const auto getClassObject = reinterpret_cast<DllGetClassObjectFn>(
        resolveServerEntry(entry->serverPath, "DllGetClassObject", &hr, description));
    if (!getClassObject)
        return hr;

    hr = getClassObject(rclsid, riid, ppv);
    if (SUCCEEDED(hr) && !*ppv)
        return noObject(guidToString(rclsid), "DllGetClassObject", description);
    if (FAILED(hr)) {
        *ppv = nullptr;
        describe(description, hresultDescription(hr) + QStringLiteral(": ") + guidToString(rclsid));
    }
    return hr;
}

HRESULT CoCreateInstance(REFCLSID rclsid, REFIID riid, void **ppv, QString *description)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;

    IClassFactory *factory = nullptr;
    HRESULT hr = CoGetClassObject(rclsid, IID_IClassFactory, reinterpret_cast<void **>(&factory), description);
    if (FAILED(hr))
        return hr;
    hr = factory->CreateInstance(nullptr, riid, ppv);
    factory->Release();
    if (SUCCEEDED(hr) && !*ppv)
        return noObject(guidToString(rclsid), "CreateInstance", description);
    if (FAILED(hr)) {
        *ppv = nullptr;
        describe(description, hresultDescription(hr) + QStringLiteral(": ") + guidToString(rclsid));
    }
    return hr;
}

HRESULT queryInterface(IUnknown *object, REFIID riid, void **ppv, const QString &interfaceName, QString *description)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (!object)
        return E_POINTER;
    void *found = nullptr;
    const HRESULT hr = object->QueryInterface(riid, &found);
    if (FAILED(hr)) {
        // What a failing server left there is not a reference.
        describe(description, hresultDescription(hr) + QStringLiteral(": ") + interfaceName);
        return hr;
    }
    if (!found)
        return noObject(interfaceName, "QueryInterface", description);
    *ppv = found;
    return hr;
}

ServerRegistration registerServer(const QString &libraryPath, bool unregister)
{
    ServerRegistration result;
    const char *entryName = unregister ? "DllUnregisterServer" : "DllRegisterServer";
    const auto entry = reinterpret_cast<DllRegisterServerFn>(
        resolveServerEntry(libraryPath, entryName, &result.hr, &result.description));
    if (!entry) {
        result.failure = result.hr == HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND) ? ServerRegistration::EntryMissing
                                                                               : ServerRegistration::LoadFailed;
        return result;
    }
    result.hr = entry();
    const QString call = QLatin1String(entryName) + QStringLiteral(" in ")
        + QDir::toNativeSeparators(QFileInfo(libraryPath).absoluteFilePath());
    if (FAILED(result.hr)) {
        result.failure = ServerRegistration::CallFailed;
        result.description = call + QStringLiteral(" failed with ") + hresultHex(result.hr) + QStringLiteral(" (")
            + hresultDescription(result.hr) + QLatin1Char(')');
    } else {
        result.description = call + QStringLiteral(" succeeded.");
    }
    return result;
}

} // namespace component
