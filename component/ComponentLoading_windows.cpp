// Creation by class identifier through the system's COM. The registry and
// the library are looked at only when the system's call fails.

#include "ComponentRegistry.h"
#include "ComponentServer.h"
#include "ServerLibrary.h"

#include <QDir>

#include <string>

namespace component {

namespace {

// The component registers itself apartment-threaded: the calling thread
// joins a single-threaded apartment once. A thread already in another
// apartment (RPC_E_CHANGED_MODE) stays there and COM gives it a proxy. COM
// stays initialised for the thread's life, as the libraries stay loaded.
void joinApartment()
{
    thread_local const HRESULT joined = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    (void)joined;
}

std::wstring wide(const QString &text)
{
    return text.toStdWString();
}

} // namespace

std::optional<QString> serverFileProblem(const QString &)
{
    // The system's loader checks an image against its file and fails cleanly.
    return std::nullopt;
}

HRESULT CoGetClassObject(REFCLSID rclsid, REFIID riid, void **ppv, QString *description)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;

    joinApartment();
    const HRESULT hr = ::CoGetClassObject(rclsid, CLSCTX_INPROC_SERVER, nullptr, riid, ppv);
    if (SUCCEEDED(hr)) {
        if (!*ppv)
            return noObject(guidToString(rclsid), "DllGetClassObject", description);
        return hr;
    }
    *ppv = nullptr;
    // The system's answers for a missing or broken library vary; the
    // registration and the library itself tell which it was. And a system
    // whose COM reads only the machine's classes (Wine) does not see a
    // class registered for the user: its library is asked directly then, as
    // COM asks an in-process server of the caller's own apartment.
    return classObjectFromRegistry(rclsid, riid, ppv, description);
}

HRESULT CLSIDFromProgID(const QString &progId, CLSID *clsid)
{
    if (!clsid)
        return E_INVALIDARG;
    *clsid = GUID_NULL;
    if (progId.isEmpty())
        return CO_E_CLASSSTRING;
    joinApartment();
    if (SUCCEEDED(::CLSIDFromProgID(wide(progId).c_str(), clsid)))
        return S_OK;
    // As for creation: a name registered for the user only, where the
    // system's COM does not look.
    const std::optional<CLSID> found = ComponentRegistry().clsidFromProgId(progId);
    *clsid = found.value_or(GUID_NULL);
    return found ? S_OK : CO_E_CLASSSTRING;
}

QString libraryPathOf(const void *address)
{
    HMODULE module = nullptr;
    if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            static_cast<LPCWSTR>(address), &module))
        return QString();
    // Long paths need more than MAX_PATH; the call says so by filling the buffer.
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(module, buffer.data(), DWORD(buffer.size()));
        if (length == 0)
            return QString();
        if (length < buffer.size())
            return QDir::toNativeSeparators(QString::fromWCharArray(buffer.data(), length));
        if (buffer.size() >= 32768)
            return QString();
        buffer.resize(buffer.size() * 2);
    }
}

} // namespace component
