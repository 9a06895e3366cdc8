#include "CUpdateCheck.h"

#include "VbConvert.h"
#include "fBrowser.h"

#include <new>

using component::BOOL;
using component::BSTR;
using component::CLASS_E_NOAGGREGATION;
using component::DISP_E_BADINDEX;
using component::DISP_E_BADPARAMCOUNT;
using component::DISP_E_EXCEPTION;
using component::DISP_E_MEMBERNOTFOUND;
using component::DISP_E_NONAMEDARGS;
using component::DISP_E_TYPEMISMATCH;
using component::DISP_E_UNKNOWNINTERFACE;
using component::DISP_E_UNKNOWNNAME;
using component::DISPATCH_METHOD;
using component::DISPATCH_PROPERTYGET;
using component::DISPID;
using component::DISPID_CheckForUpdate;
using component::DISPID_UNKNOWN;
using component::DISPPARAMS;
using component::E_INVALIDARG;
using component::E_NOINTERFACE;
using component::E_OUTOFMEMORY;
using component::E_POINTER;
using component::E_UNEXPECTED;
using component::EXCEPINFO;
using component::HRESULT;
using component::IClassFactory;
using component::IID__CUpdateCheck;
using component::IID_IClassFactory;
using component::IID_IDispatch;
using component::IID_IUnknown;
using component::IID_NULL;
using component::ITypeInfo;
using component::IUnknown;
using component::LCID;
using component::LPOLESTR;
using component::REFIID;
using component::S_OK;
using component::UINT;
using component::ULONG;
using component::VARIANT;
using component::VARIANT_BOOL;
using component::VARIANT_FALSE;
using component::VARIANT_TRUE;
using component::VariantInit;
using component::VT_BOOL;
using component::VT_BSTR;
using component::VT_BYREF;
using component::VT_EMPTY;
using component::VT_I2;
using component::VT_I4;
using component::VT_VARIANT;
namespace VbConvert = component::VbConvert;
using component::_CUpdateCheck;
using component::bstrFromQString;
using component::FAILED;
using component::hresultFromRuntimeError;
using component::qStringFromBstr;
using component::runtimeErrorFromHresult;
using component::WORD;

namespace verlook {

namespace {

std::atomic<long> g_objects { 0 };
std::atomic<long> g_locks { 0 };

const QString kSource = QStringLiteral("Kestrelle_Update_Check.CUpdateCheck");

const char16_t *const kMethodName = u"CheckForUpdate";
// Parameter names answer with their position, as automation expects.
const char16_t *const kParameterNames[] = { u"sWebAddress", u"sFileName", u"sCurrentVersion" };

bool sameName(LPOLESTR name, const char16_t *known)
{
    return name && QStringView(name).compare(QStringView(known), Qt::CaseInsensitive) == 0;
}

QString errorText(int number)
{
    switch (number) {
    case 6: return QStringLiteral("Overflow");
    case 13: return QStringLiteral("Type mismatch");
    default: return QStringLiteral("Automation error");
    }
}

// One argument of an automation call as a string, the coercions a caller
// may rely on included. nullopt when it cannot be a string.
std::optional<QString> stringArgument(const VARIANT &arg)
{
    switch (arg.vt) {
    case VT_BSTR: return qStringFromBstr(arg.bstrVal);
    case VT_BSTR | VT_BYREF:
        if (!arg.pbstrVal)
            return std::nullopt;
        return qStringFromBstr(*arg.pbstrVal);
    case VT_VARIANT | VT_BYREF:
        if (!arg.pvarVal || arg.pvarVal->vt == (VT_VARIANT | VT_BYREF))
            return std::nullopt;
        return stringArgument(*arg.pvarVal);
    case VT_EMPTY: return QString();
    case VT_I2: return QString::number(arg.iVal);
    case VT_I4: return QString::number(arg.lVal);
    default: return std::nullopt;
    }
}

class Factory final : public IClassFactory
{
public:
    HRESULT QueryInterface(REFIID riid, void **ppvObject) override
    {
        if (!ppvObject)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IClassFactory) {
            *ppvObject = static_cast<IClassFactory *>(this);
            AddRef();
            return S_OK;
        }
        *ppvObject = nullptr;
        return E_NOINTERFACE;
    }
    // The factory lives as long as the library; holding it does not keep the
    // library loaded, LockServer does.
    ULONG AddRef() override { return 2; }
    ULONG Release() override { return 1; }

    HRESULT CreateInstance(IUnknown *pUnkOuter, REFIID riid, void **ppvObject) override
    {
        if (!ppvObject)
            return E_POINTER;
        *ppvObject = nullptr;
        if (pUnkOuter)
            return CLASS_E_NOAGGREGATION;
        auto *object = new (std::nothrow) CUpdateCheck();
        if (!object)
            return E_OUTOFMEMORY;
        const HRESULT hr = object->QueryInterface(riid, ppvObject);
        object->Release();
        return hr;
    }

    HRESULT LockServer(BOOL fLock) override
    {
        if (fLock)
            ++g_locks;
        else if (g_locks.load() > 0)
            --g_locks;
        return S_OK;
    }
};

Factory g_factory;

} // namespace

namespace UpdateCheckServer {
IClassFactory *classFactory()
{
    return &g_factory;
}
long liveObjects()
{
    return g_objects.load();
}
long serverLocks()
{
    return g_locks.load();
}
} // namespace UpdateCheckServer

CUpdateCheck::CUpdateCheck()
    : m_browser(std::make_unique<fBrowser>())
{
    ++g_objects;
}

CUpdateCheck::~CUpdateCheck()
{
    m_browser.reset();
    --g_objects;
}

HRESULT CUpdateCheck::QueryInterface(REFIID riid, void **ppvObject)
{
    if (!ppvObject)
        return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID__CUpdateCheck) {
        *ppvObject = static_cast<_CUpdateCheck *>(this);
        AddRef();
        return S_OK;
    }
    *ppvObject = nullptr;
    return E_NOINTERFACE;
}

ULONG CUpdateCheck::AddRef()
{
    return ++m_refs;
}

ULONG CUpdateCheck::Release()
{
    const ULONG left = --m_refs;
    if (left == 0)
        delete this;
    return left;
}

HRESULT CUpdateCheck::GetTypeInfoCount(UINT *pctinfo)
{
    if (!pctinfo)
        return E_POINTER;
    // No type information object: callers bind by name or by the table.
    *pctinfo = 0;
    return S_OK;
}

HRESULT CUpdateCheck::GetTypeInfo(UINT, LCID, ITypeInfo **ppTInfo)
{
    if (!ppTInfo)
        return E_POINTER;
    *ppTInfo = nullptr;
    return DISP_E_BADINDEX;
}

HRESULT CUpdateCheck::GetIDsOfNames(REFIID riid, LPOLESTR *rgszNames, UINT cNames, LCID, DISPID *rgDispId)
{
    if (!(riid == IID_NULL))
        return DISP_E_UNKNOWNINTERFACE;
    if (cNames == 0)
        return E_INVALIDARG;
    if (!rgszNames || !rgDispId)
        return E_POINTER;

    HRESULT hr = S_OK;
    if (sameName(rgszNames[0], kMethodName)) {
        rgDispId[0] = DISPID_CheckForUpdate;
    } else {
        rgDispId[0] = DISPID_UNKNOWN;
        hr = DISP_E_UNKNOWNNAME;
    }
    for (UINT i = 1; i < cNames; ++i) {
        rgDispId[i] = DISPID_UNKNOWN;
        for (DISPID p = 0; p < DISPID(std::size(kParameterNames)); ++p) {
            if (rgDispId[0] == DISPID_CheckForUpdate && sameName(rgszNames[i], kParameterNames[p]))
                rgDispId[i] = p;
        }
        if (rgDispId[i] == DISPID_UNKNOWN)
            hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
}

HRESULT CUpdateCheck::Invoke(DISPID dispIdMember, REFIID riid, LCID, WORD wFlags, DISPPARAMS *pDispParams,
    VARIANT *pVarResult, EXCEPINFO *pExcepInfo, UINT *puArgErr)
{
    if (!(riid == IID_NULL))
        return DISP_E_UNKNOWNINTERFACE;
    if (dispIdMember != DISPID_CheckForUpdate || !(wFlags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET)))
        return DISP_E_MEMBERNOTFOUND;
    if (!pDispParams)
        return E_INVALIDARG;
    if (pDispParams->cNamedArgs != 0)
        return DISP_E_NONAMEDARGS;
    if (pDispParams->cArgs != 3)
        return DISP_E_BADPARAMCOUNT;
    if (!pDispParams->rgvarg)
        return E_INVALIDARG;

    // The arguments arrive last first.
    QString args[3];
    for (UINT i = 0; i < 3; ++i) {
        const std::optional<QString> arg = stringArgument(pDispParams->rgvarg[2 - i]);
        if (!arg) {
            if (puArgErr)
                *puArgErr = 2 - i;
            return DISP_E_TYPEMISMATCH;
        }
        args[i] = *arg;
    }

    VARIANT_BOOL result = VARIANT_FALSE;
    const HRESULT hr = check(args[0], args[1], args[2], &result);
    if (FAILED(hr)) {
        if (pExcepInfo) {
            *pExcepInfo = EXCEPINFO {};
            pExcepInfo->scode = hr;
            pExcepInfo->bstrSource = bstrFromQString(kSource);
            pExcepInfo->bstrDescription = bstrFromQString(errorText(runtimeErrorFromHresult(hr)));
        }
        return DISP_E_EXCEPTION;
    }
    if (pVarResult) {
        VariantInit(pVarResult);
        pVarResult->vt = VT_BOOL;
        pVarResult->boolVal = result;
    }
    return S_OK;
}

HRESULT CUpdateCheck::CheckForUpdate(BSTR sWebAddress, BSTR sFileName, BSTR sCurrentVersion, VARIANT_BOOL *result)
{
    return check(qStringFromBstr(sWebAddress), qStringFromBstr(sFileName), qStringFromBstr(sCurrentVersion), result);
}

HRESULT CUpdateCheck::check(
    const QString &webAddress, const QString &fileName, const QString &currentVersion, VARIANT_BOOL *result)
{
    if (!result)
        return E_POINTER;
    *result = VARIANT_FALSE;

    // The wait lets the caller's events run, and one of them may drop the
    // caller's last reference: hold one of our own until the call is over.
    AddRef();
    struct ReleaseOnReturn
    {
        CUpdateCheck *self;
        ~ReleaseOnReturn() { self->Release(); }
    } hold { this };

    // Nothing may leave through the binary interface but a result code.
    try {
        m_browser->WebAddress = webAddress;
        m_browser->FileName = fileName;
        QString s;
        if (!m_browser->Navigate(s))
            return S_OK;

        const VbConvert::Result published = VbConvert::toLong(s);
        if (!published.ok())
            return hresultFromRuntimeError(published.error);
        const VbConvert::Result current = VbConvert::toLong(currentVersion);
        if (!current.ok())
            return hresultFromRuntimeError(current.error);
        *result = published.value > current.value ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

} // namespace verlook
