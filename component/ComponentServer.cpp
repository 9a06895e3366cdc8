#include "ComponentServer.h"

#include "ComponentRegistry.h"
#include "ElfImage.h"

#include <QFileInfo>
#include <QLibrary>

namespace component {

namespace {

void describe(QString *description, const QString &text)
{
    if (description)
        *description = text;
}

// A server that reports success without handing anything back has nothing
// to give: the caller would go on to call through a null pointer.
HRESULT noObject(const QString &asked, const char *call, QString *description)
{
    describe(description,
        hresultDescription(E_NOINTERFACE) + QStringLiteral(": ") + QLatin1String(call) + QStringLiteral(" for ") + asked
            + QStringLiteral(" reported success but returned no object"));
    return E_NOINTERFACE;
}

} // namespace

QFunctionPointer resolveServerEntry(
    const QString &libraryPath, const char *entryName, HRESULT *hr, QString *description)
{
    const QFileInfo file(libraryPath);
    if (libraryPath.isEmpty() || !file.exists()) {
        *hr = HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
        describe(description, hresultDescription(*hr) + QStringLiteral(": ") + libraryPath);
        return nullptr;
    }
    // A library cut short would be mapped anyway and kill the process inside
    // the loader; it fails here instead.
    if (const std::optional<QString> problem = sharedObjectProblem(file.absoluteFilePath())) {
        *hr = CO_E_ERRORINDLL;
        describe(description,
            hresultDescription(*hr) + QStringLiteral(": ") + file.absoluteFilePath() + QLatin1Char(' ') + *problem);
        return nullptr;
    }
    // Never unloaded: the QLibrary object may go, the library stays. Every
    // symbol is bound now: a library that needs one nothing provides fails
    // to load here, instead of ending the process at its first call.
    QLibrary library(file.absoluteFilePath());
    library.setLoadHints(QLibrary::ResolveAllSymbolsHint);
    if (!library.load()) {
        *hr = CO_E_ERRORINDLL;
        describe(description, hresultDescription(*hr) + QStringLiteral(": ") + library.errorString());
        return nullptr;
    }
    const QFunctionPointer entry = library.resolve(entryName);
    if (!entry) {
        *hr = HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
        describe(description,
            hresultDescription(*hr) + QStringLiteral(": ") + QLatin1String(entryName) + QStringLiteral(" in ")
                + file.absoluteFilePath());
        return nullptr;
    }
    *hr = S_OK;
    return entry;
}

HRESULT CoGetClassObject(REFCLSID rclsid, REFIID riid, void **ppv, QString *description)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;

    const ComponentRegistry registry;
    const std::optional<ComponentClass> entry = registry.findClass(rclsid);
    if (!entry) {
        QString text = hresultDescription(REGDB_E_CLASSNOTREG) + QStringLiteral(": ") + rclsid.toString();
        if (const QString problem = registry.problem(); !problem.isEmpty())
            text += QStringLiteral(" (") + problem + QLatin1Char(')');
        describe(description, text);
        return REGDB_E_CLASSNOTREG;
    }

    HRESULT hr = S_OK;
    const auto getClassObject = reinterpret_cast<DllGetClassObjectFn>(
        resolveServerEntry(entry->serverPath, "DllGetClassObject", &hr, description));
    if (!getClassObject)
        return hr;

    hr = getClassObject(rclsid, riid, ppv);
    if (SUCCEEDED(hr) && !*ppv)
        return noObject(rclsid.toString(), "DllGetClassObject", description);
    if (FAILED(hr)) {
        *ppv = nullptr;
        describe(description, hresultDescription(hr) + QStringLiteral(": ") + rclsid.toString());
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
        return noObject(rclsid.toString(), "CreateInstance", description);
    if (FAILED(hr)) {
        *ppv = nullptr;
        describe(description, hresultDescription(hr) + QStringLiteral(": ") + rclsid.toString());
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

HRESULT CLSIDFromProgID(const QString &progId, CLSID *clsid)
{
    if (!clsid)
        return E_INVALIDARG;
    const std::optional<CLSID> found = ComponentRegistry().clsidFromProgId(progId);
    *clsid = found.value_or(GUID_NULL);
    return found ? S_OK : CO_E_CLASSSTRING;
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
    const QString call = QLatin1String(entryName) + QStringLiteral(" in ") + QFileInfo(libraryPath).absoluteFilePath();
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
