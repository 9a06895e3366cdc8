#pragma once

// The binary interface of in-process components. The types themselves are
// the system's where it has them (Windows) and the layer's own elsewhere, in
// one layout, both in this namespace; what follows is shared.

#include COMPONENT_TYPES_HEADER

#include <QString>

#include <optional>

namespace component {

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper case, as the registry
// spells it.
QString guidToString(const GUID &guid);
// Accepts only the braced form (either case); anything else is nullopt.
std::optional<GUID> guidFromString(QStringView text);

// The automation marshaller every dual interface names as its proxy/stub.
inline constexpr CLSID CLSID_PSOAInterface
    = { 0x00020424, 0x0000, 0x0000, { 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46 } };

// A classic run-time error (13 type mismatch, 6 overflow, ...) travels back
// to the caller as a failing result in the control facility, the way the
// classic runtime returns it from a component's method: 0x800A0000 | number.
constexpr HRESULT hresultFromRuntimeError(int number)
{
    return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, number);
}
// The run-time error number a failing result carries, or 0 when it carries none.
constexpr int runtimeErrorFromHresult(HRESULT hr)
{
    return FAILED(hr) && HRESULT_FACILITY(hr) == FACILITY_CONTROL ? HRESULT_CODE(hr) : 0;
}

// The system's wording for the result codes this layer produces; "Unknown
// error 0x........" for the rest.
QString hresultDescription(HRESULT hr);
// "0x80040154"
QString hresultHex(HRESULT hr);

BSTR bstrFromQString(const QString &text);
QString qStringFromBstr(BSTR text);

// ---------------------------------------------------------------------------
// Entry points of an in-process server, as a client resolves them.

extern "C" {
using DllGetClassObjectFn = HRESULT (*)(REFCLSID rclsid, REFIID riid, void **ppv);
using DllCanUnloadNowFn = HRESULT (*)();
using DllRegisterServerFn = HRESULT (*)();
using DllUnregisterServerFn = HRESULT (*)();
}

} // namespace component
