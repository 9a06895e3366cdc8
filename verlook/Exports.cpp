// The entry points of the self-registering in-process component.

#include "CUpdateCheck.h"
#include "ComponentRegistry.h"
#include "ComponentServer.h"
#include "UpdateCheckInterface.h"
#include "VersionInfo.h"
#include "verlook_version.h"

#include <QDir>
#include <QFileInfo>

using component::CLASS_E_CLASSNOTAVAILABLE;
using component::CLSID_CUpdateCheck;
using component::CLSID_PSOAInterface;
using component::ComponentClass;
using component::ComponentInterface;
using component::ComponentRegistry;
using component::ComponentTypeLib;
using component::ComponentVersionInfo;
using component::ComponentVersionString;
using component::E_POINTER;
using component::E_UNEXPECTED;
using component::FAILED;
using component::HRESULT;
using component::IID__CUpdateCheck;
using component::kUpdateCheckProgId;
using component::LIBID_Kestrelle_Update_Check;
using component::REFCLSID;
using component::REFIID;
using component::S_FALSE;
using component::S_OK;
using component::SELFREG_E_CLASS;
using component::SELFREG_E_TYPELIB;

#define VERLOOK_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

const QString kVersion = QStringLiteral("1.0");

// The path this library was loaded from, for the registry.
QString libraryPath()
{
    static const char anchor = 0;
    return component::libraryPathOf(&anchor);
}

const ComponentVersionString kVersionStrings[] = {
    { "CompanyName", VERLOOK_COMPANY_NAME },
    { "FileDescription", VERLOOK_FILE_DESCRIPTION },
    { "FileVersion", VERLOOK_VERSION_TEXT },
    { "InternalName", VERLOOK_INTERNAL_NAME },
    { "OriginalFilename", VERLOOK_ORIGINAL_FILENAME },
    { "ProductName", VERLOOK_PRODUCT_NAME },
    { "ProductVersion", VERLOOK_VERSION_TEXT },
    { "OLESelfRegister", "" },
};

const ComponentVersionInfo kVersionInfo = {
    { VERLOOK_VERSION_MAJOR, VERLOOK_VERSION_MINOR, VERLOOK_VERSION_PATCH, VERLOOK_VERSION_TWEAK },
    { VERLOOK_VERSION_MAJOR, VERLOOK_VERSION_MINOR, VERLOOK_VERSION_PATCH, VERLOOK_VERSION_TWEAK },
    std::uint32_t(std::size(kVersionStrings)),
    kVersionStrings,
};

} // namespace

VERLOOK_EXPORT HRESULT DllRegisterServer()
{
    try {
        const QString path = libraryPath();
        if (path.isEmpty())
            return SELFREG_E_CLASS;
        const ComponentRegistry registry;

        ComponentTypeLib typeLib;
        typeLib.libid = LIBID_Kestrelle_Update_Check;
        typeLib.version = kVersion;
        typeLib.helpString = QStringLiteral("Kestrelle Update Check");
        typeLib.win32Path = path;
        typeLib.helpDir = QDir::toNativeSeparators(QFileInfo(path).absolutePath());
        if (FAILED(registry.registerTypeLib(typeLib)))
            return SELFREG_E_TYPELIB;

        ComponentInterface itf;
        itf.iid = IID__CUpdateCheck;
        itf.name = QStringLiteral("_CUpdateCheck");
        itf.proxyStub = CLSID_PSOAInterface;
        itf.typeLib = LIBID_Kestrelle_Update_Check;
        itf.typeLibVersion = kVersion;
        if (FAILED(registry.registerInterface(itf)))
            return SELFREG_E_TYPELIB;

        ComponentClass cls;
        cls.clsid = CLSID_CUpdateCheck;
        cls.name = QStringLiteral("CUpdateCheck");
        cls.progId = QLatin1String(kUpdateCheckProgId);
        cls.serverPath = path;
        cls.threadingModel = QStringLiteral("Apartment");
        cls.typeLib = LIBID_Kestrelle_Update_Check;
        cls.version = kVersion;
        if (FAILED(registry.registerClass(cls)))
            return SELFREG_E_CLASS;
        return S_OK;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

VERLOOK_EXPORT HRESULT DllUnregisterServer()
{
    try {
        const ComponentRegistry registry;
        // Remove all three even when one fails, then report the first failure.
        const HRESULT cls = registry.unregisterClass(CLSID_CUpdateCheck);
        const HRESULT itf = registry.unregisterInterface(IID__CUpdateCheck);
        const HRESULT lib = registry.unregisterTypeLib(LIBID_Kestrelle_Update_Check, kVersion);
        if (FAILED(cls))
            return SELFREG_E_CLASS;
        if (FAILED(itf) || FAILED(lib))
            return SELFREG_E_TYPELIB;
        return S_OK;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

VERLOOK_EXPORT HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, void **ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (!(rclsid == CLSID_CUpdateCheck))
        return CLASS_E_CLASSNOTAVAILABLE;
    return UpdateCheckServer::classFactory()->QueryInterface(riid, ppv);
}

VERLOOK_EXPORT HRESULT DllCanUnloadNow()
{
    return UpdateCheckServer::liveObjects() == 0 && UpdateCheckServer::serverLocks() == 0 ? S_OK : S_FALSE;
}

VERLOOK_EXPORT const ComponentVersionInfo *DllGetVersionInfo()
{
    return &kVersionInfo;
}
