#include "ComBase.h"

#include <QUuid>

#include <cstring>

namespace component {

// ---------------------------------------------------------------------------
// GUID

static_assert(sizeof(QUuid) == sizeof(GUID), "QUuid and GUID share one layout");

QString guidToString(const GUID &guid)
{
    const QUuid uuid(guid.Data1, guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1], guid.Data4[2], guid.Data4[3],
        guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
    return uuid.toString(QUuid::WithBraces).toUpper();
}

std::optional<GUID> guidFromString(QStringView text)
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

BSTR bstrFromQString(const QString &text)
{
    static_assert(sizeof(QChar) == sizeof(OLECHAR));
    return SysAllocStringLen(reinterpret_cast<const OLECHAR *>(text.utf16()), UINT(text.size()));
}

QString qStringFromBstr(BSTR text)
{
    if (!text)
        return QString();
    // OLECHAR is char16_t here and wchar_t on Windows: both UTF-16.
    return QString(reinterpret_cast<const QChar *>(text), qsizetype(SysStringLen(text)));
}

} // namespace component
