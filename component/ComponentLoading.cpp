// Creation by class identifier where the layer is its own component system:
// the per-user registry file names the library, the dynamic loader loads it.

#include "ComponentRegistry.h"
#include "ComponentServer.h"
#include "ElfImage.h"
#include "ServerLibrary.h"

#include <QFileInfo>

#include <dlfcn.h>

namespace component {

std::optional<QString> serverFileProblem(const QString &absolutePath)
{
    // A library cut short would be mapped anyway and kill the process inside
    // the loader.
    return sharedObjectProblem(absolutePath);
}

HRESULT CoGetClassObject(REFCLSID rclsid, REFIID riid, void **ppv, QString *description)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    return classObjectFromRegistry(rclsid, riid, ppv, description);
}

HRESULT CLSIDFromProgID(const QString &progId, CLSID *clsid)
{
    if (!clsid)
        return E_INVALIDARG;
    const std::optional<CLSID> found = ComponentRegistry().clsidFromProgId(progId);
    *clsid = found.value_or(GUID_NULL);
    return found ? S_OK : CO_E_CLASSSTRING;
}

QString libraryPathOf(const void *address)
{
    Dl_info info {};
    if (!dladdr(address, &info) || !info.dli_fname)
        return QString();
    return QFileInfo(QString::fromLocal8Bit(info.dli_fname)).absoluteFilePath();
}

} // namespace component
