// The length-prefixed strings and variants of the layer's own types.

#include "ComTypes.h"

#include <cstdlib>
#include <cstring>
#include <limits>

namespace component {

// ---------------------------------------------------------------------------
// BSTR

namespace {

// Byte length plus the prefix and the terminating NUL must fit the 32-bit
// prefix; larger requests fail as the system's allocator does.
constexpr std::size_t kMaxBstrChars = (std::numeric_limits<std::uint32_t>::max() - 6) / sizeof(OLECHAR);

std::uint32_t *prefixOf(BSTR text)
{
    return reinterpret_cast<std::uint32_t *>(reinterpret_cast<char *>(text) - sizeof(std::uint32_t));
}

} // namespace

BSTR SysAllocStringLen(const OLECHAR *text, UINT len)
{
    if (len > kMaxBstrChars)
        return nullptr;
    const std::size_t bytes = std::size_t(len) * sizeof(OLECHAR);
    void *block = std::malloc(sizeof(std::uint32_t) + bytes + sizeof(OLECHAR));
    if (!block)
        return nullptr;
    auto *prefix = static_cast<std::uint32_t *>(block);
    *prefix = std::uint32_t(bytes);
    auto *chars = reinterpret_cast<OLECHAR *>(prefix + 1);
    if (text)
        std::memcpy(chars, text, bytes);
    else
        std::memset(chars, 0, bytes);
    chars[len] = 0;
    return chars;
}

BSTR SysAllocString(const OLECHAR *text)
{
    if (!text)
        return nullptr;
    std::size_t len = 0;
    while (text[len])
        ++len;
    if (len > kMaxBstrChars)
        return nullptr;
    return SysAllocStringLen(text, UINT(len));
}

void SysFreeString(BSTR text)
{
    if (text)
        std::free(prefixOf(text));
}

UINT SysStringByteLen(BSTR text)
{
    return text ? *prefixOf(text) : 0;
}

UINT SysStringLen(BSTR text)
{
    return SysStringByteLen(text) / sizeof(OLECHAR);
}

// ---------------------------------------------------------------------------
// VARIANT

void VariantInit(VARIANT *v)
{
    if (!v)
        return;
    std::memset(static_cast<void *>(v), 0, sizeof *v);
    v->vt = VT_EMPTY;
}

HRESULT VariantClear(VARIANT *v)
{
    if (!v)
        return E_INVALIDARG;
    if (v->vt == VT_BSTR)
        SysFreeString(v->bstrVal);
    VariantInit(v);
    return S_OK;
}

} // namespace component
