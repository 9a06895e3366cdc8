#pragma once

#include "ComBase.h"

namespace component {

// The public contract of the update-check component (the library verlook):
// its identifiers and its interface table. Clients include this header and
// create the class by its identifier; they never link the library.

inline constexpr GUID LIBID_Kestrelle_Update_Check
    = { 0xA3483490, 0x627D, 0x43A2, { 0x82, 0xD3, 0xA2, 0x26, 0xE9, 0xE2, 0xCB, 0x64 } };
inline constexpr CLSID CLSID_CUpdateCheck
    = { 0x1ABF3AFB, 0x1FDC, 0x42B1, { 0xA6, 0xE2, 0xF3, 0x18, 0x9B, 0x55, 0xC8, 0xF4 } };
inline constexpr IID IID__CUpdateCheck
    = { 0x61BA98F4, 0x52EC, 0x4190, { 0xA6, 0xC9, 0xF5, 0x63, 0xD6, 0x94, 0x97, 0x1D } };

inline constexpr char kUpdateCheckProgId[] = "Kestrelle_Update_Check.CUpdateCheck";
inline constexpr DISPID DISPID_CheckForUpdate = 0x60030002;

// Dual interface: IDispatch's table, then CheckForUpdate as the one own entry
// (slot 7). The strings are passed by value: the caller allocates and frees
// them. result receives VARIANT_TRUE when the published number is greater
// than sCurrentVersion. A text that is not a 32-bit whole number fails with
// hresultFromRuntimeError(13) (type mismatch) or (6) (overflow).
class _CUpdateCheck : public IDispatch
{
public:
    virtual HRESULT CheckForUpdate(BSTR sWebAddress, BSTR sFileName, BSTR sCurrentVersion, VARIANT_BOOL *result) = 0;

protected:
    ~_CUpdateCheck() = default;
};

} // namespace component
