// An in-process server that needs a function no library provides, as one
// built against a newer system would. Bound lazily, it loads without
// complaint and ends the process at its first call; every entry point calls
// the function.

#include "ComBase.h"

using namespace component;

#define SERVER_EXPORT extern "C" __attribute__((visibility("default")))

extern "C" HRESULT tovrane_function_nothing_provides(int);

SERVER_EXPORT HRESULT DllGetClassObject(REFCLSID, REFIID, void **ppv)
{
    *ppv = nullptr;
    return tovrane_function_nothing_provides(1);
}

SERVER_EXPORT HRESULT DllRegisterServer()
{
    return tovrane_function_nothing_provides(2);
}

SERVER_EXPORT HRESULT DllUnregisterServer()
{
    return tovrane_function_nothing_provides(3);
}
