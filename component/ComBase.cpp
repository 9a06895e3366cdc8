#include "ComBase.h"

#include <QUuid>

#include <cstdlib>
#include <cstring>
#include <limits>

namespace component {

// ---------------------------------------------------------------------------
// GUID

static_assert(sizeof(QUuid) == sizeof(GUID), "QUuid and GUID share one layout");

QString GUID::toString() const
{
    const QUuid uuid(
        Data1, Data2, Data3, Data4[0], Data4[1], Data4[2], Data4[3], Data4[4], Data4[5], Data4[6], Data4[7]);
    return uuid.toString(QUuid::WithBraces).toUpper();
}

std::optional<GUID> GUID::fromString(QStringView text)
{
    // QUuid also takes the unbraced form; the registry never uses it, so a
    // key spelled that way is not a class identifier.
    if (text.size() != 38 || text.front() != u'{' || text.back() != u'}')
        return std::nullopt;
    const QUuid uuid = QUuid::fromString(text);
    if (uuid.isNull() && text != u"{00000000-0000-0000-0000-000000000000}")
        return std::nullopt;
    GUID guid { uuid.data1, uuid.data2, uuid.data3, {} };
    std::memcpy(guid.Data4, uuid.data4, sizeof guid.Data4);
    return guid;
}

// ---------------------------------------------------------------------------
// Result codes

QString hresultHex(HRESULT hr)
{
    return QStringLiteral("0x") + QStringLiteral("%1").arg(std::uint32_t(hr), 8, 16, QLatin1Char('0')).toUpper();
}

QString hresultDescription(HRESULT hr)
{
    switch (static_cast<std::uint32_t>(hr)) {
    case 0x00000000u: return QStringLiteral("The operation completed successfully");
    case 0x80004001u: return QStringLiteral("Not implemented");
    case 0x80004002u: return QStringLiteral("No such interface supported");
    case 0x80004003u: return QStringLiteral("Invalid pointer");
    case 0x80004005u: return QStringLiteral("Unspecified error");
    case 0x8000FFFFu: return QStringLiteral("Catastrophic failure");
    case 0x8007000Eu: return QStringLiteral("Not enough storage is available to complete this operation");
    case 0x80070057u: return QStringLiteral("The parameter is incorrect");
    case 0x8007007Eu: return QStringLiteral("The specified module could not be found");
    case 0x8007007Fu: return QStringLiteral("The specified procedure could not be found");
    case 0x80040110u: return QStringLiteral("Class does not support aggregation");
    case 0x80040111u: return QStringLiteral("ClassFactory cannot supply requested class");
    case 0x80040150u: return QStringLiteral("Could not read key from registry");
    case 0x80040151u: return QStringLiteral("Could not write key to registry");
    case 0x80040154u: return QStringLiteral("Class not registered");
    case 0x80040200u: return QStringLiteral("Error registering the type library");
    case 0x80040201u: return QStringLiteral("Error registering the class");
    case 0x800401F3u: return QStringLiteral("Invalid class string");
    case 0x800401F9u: return QStringLiteral("Error in the DLL");
    case 0x80020001u: return QStringLiteral("Unknown interface");
    case 0x80020003u: return QStringLiteral("Member not found");
    case 0x80020004u: return QStringLiteral("Parameter not found");
    case 0x80020005u: return QStringLiteral("Type mismatch");
    case 0x80020006u: return QStringLiteral("Unknown name");
    case 0x80020007u: return QStringLiteral("No named arguments");
    case 0x80020009u: return QStringLiteral("Exception occurred");
    case 0x8002000Bu: return QStringLiteral("Invalid index");
    case 0x8002000Eu: return QStringLiteral("Invalid number of parameters");
    default: break;
    }
    if (const int number = runtimeErrorFromHresult(hr))
        return QStringLiteral("Run-time error %1").arg(number);
    return QStringLiteral("Unknown error ") + hresultHex(hr);
}

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

BSTR bstrFromQString(const QString &text)
{
    static_assert(sizeof(QChar) == sizeof(OLECHAR));
    return SysAllocStringLen(reinterpret_cast<const OLECHAR *>(text.utf16()), UINT(text.size()));
}

QString qStringFromBstr(BSTR text)
{
    if (!text)
        return QString();
    return QString::fromUtf16(text, qsizetype(SysStringLen(text)));
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
