// A broken in-process server for the component layer's tests: it reports
// success but hands back nothing. For kNoObjectClass its class factory's
// CreateInstance answers S_OK without an object; for any other class
// DllGetClassObject itself answers S_OK without a class factory.

#include "ComBase.h"

#include "NoObjectServer.h"

namespace {

// A static object that is only ever asked to create: the counts and the
// interfaces it answers for do not matter.
class EmptyFactory final : public IClassFactory
{
public:
    HRESULT QueryInterface(REFIID, void **ppv) override
    {
        *ppv = this;
        return S_OK;
    }
    ULONG AddRef() override { return 2; }
    ULONG Release() override { return 1; }
    HRESULT CreateInstance(IUnknown *, REFIID, void **ppv) override
    {
        *ppv = nullptr;
        return S_OK;
    }
    HRESULT LockServer(BOOL) override { return S_OK; }
};

EmptyFactory factory;

} // namespace

extern "C" __attribute__((visibility("default"))) HRESULT DllGetClassObject(REFCLSID rclsid, REFIID, void **ppv)
{
    *ppv = rclsid == kNoObjectClass ? static_cast<IClassFactory *>(&factory) : nullptr;
    return S_OK;
}
