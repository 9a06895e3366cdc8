#pragma once

#include "UpdateCheckInterface.h"

#include <QString>

#include <atomic>
#include <memory>

class fBrowser;

// The component's one public class: asks a web address for the newest
// published version number and compares it with the caller's.
class CUpdateCheck final : public _CUpdateCheck
{
public:
    // Class_Initialize: the object comes with its fBrowser and one reference.
    CUpdateCheck();

    CUpdateCheck(const CUpdateCheck &) = delete;
    CUpdateCheck &operator=(const CUpdateCheck &) = delete;

    HRESULT QueryInterface(REFIID riid, void **ppvObject) override;
    ULONG AddRef() override;
    ULONG Release() override;

    HRESULT GetTypeInfoCount(UINT *pctinfo) override;
    HRESULT GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo **ppTInfo) override;
    HRESULT GetIDsOfNames(REFIID riid, LPOLESTR *rgszNames, UINT cNames, LCID lcid, DISPID *rgDispId) override;
    HRESULT Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS *pDispParams,
        VARIANT *pVarResult, EXCEPINFO *pExcepInfo, UINT *puArgErr) override;

    HRESULT CheckForUpdate(BSTR sWebAddress, BSTR sFileName, BSTR sCurrentVersion, VARIANT_BOOL *result) override;

private:
    // Class_Terminate: releases the fBrowser. Only Release ends an object.
    ~CUpdateCheck();

    HRESULT check(
        const QString &webAddress, const QString &fileName, const QString &currentVersion, VARIANT_BOOL *result);

    std::atomic<ULONG> m_refs { 1 };
    std::unique_ptr<fBrowser> m_browser;
};

// The class factory and the counts DllCanUnloadNow answers from.
namespace UpdateCheckServer {
IClassFactory *classFactory();
long liveObjects();
long serverLocks();
} // namespace UpdateCheckServer
