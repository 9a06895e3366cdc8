// A broken in-process server for the component layer's tests: it reports
// success but hands back nothing. For kNoObjectClass its class factory's
// CreateInstance answers S_OK without an object; for kNoFactoryClass
// DllGetClassObject itself answers S_OK without a class factory; for any other
// class it creates objects whose QueryInterface answers S_OK without an
// interface for everything but IUnknown.

#include "ComBase.h"

#include "NoObjectServer.h"

using namespace component;

namespace {

// Static objects: the counts do not matter.
class HollowObject final : public IUnknown
{
public:
    HRESULT QueryInterface(REFIID riid, void **ppv) override
    {
        *ppv = riid == IID_IUnknown ? this : nullptr;
        return S_OK;
    }
    ULONG AddRef() override { return 2; }
    ULONG Release() override { return 1; }
};

HollowObject hollow;

class Factory final : public IClassFactory
{
public:
    explicit Factory(IUnknown *object)
        : m_object(object)
    { }
    HRESULT QueryInterface(REFIID, void **ppv) override
    {
        *ppv = this;
        return S_OK;
    }
    ULONG AddRef() override { return 2; }
    ULONG Release() override { return 1; }
    HRESULT CreateInstance(IUnknown *, REFIID riid, void **ppv) override
    {
        if (!m_object) {
            *ppv = nullptr;
            return S_OK;
        }
        return m_object->QueryInterface(riid, ppv);
    }
    HRESULT LockServer(BOOL) override { return S_OK; }

private:
    IUnknown *m_object;
};

Factory emptyFactory(nullptr);
Factory hollowFactory(&hollow);

} // namespace

extern "C" __attribute__((visibility("default"))) HRESULT DllGetClassObject(REFCLSID rclsid, REFIID, void **ppv)
{
    if (rclsid == kNoObjectClass)
        *ppv = static_cast<IClassFactory *>(&emptyFactory);
    else if (rclsid == kNoFactoryClass)
        *ppv = nullptr;
    else
        *ppv = static_cast<IClassFactory *>(&hollowFactory);
    return S_OK;
}
