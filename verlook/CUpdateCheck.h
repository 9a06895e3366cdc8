#pragma once

#include "UpdateCheckInterface.h"

#include <QString>

#include <atomic>
#include <memory>

namespace verlook {

class fBrowser;

// The component's one public class: asks a web address for the newest
// published version number and compares it with the caller's.
class CUpdateCheck final : public component::_CUpdateCheck
{
public:
    // Class_Initialize: the object comes with its fBrowser and one reference.
    CUpdateCheck();

    CUpdateCheck(const CUpdateCheck &) = delete;
    CUpdateCheck &operator=(const CUpdateCheck &) = delete;

    component::HRESULT QueryInterface(component::REFIID riid, void **ppvObject) override;
    component::ULONG AddRef() override;
    component::ULONG Release() override;

    component::HRESULT GetTypeInfoCount(component::UINT *pctinfo) override;
    component::HRESULT GetTypeInfo(
        component::UINT iTInfo, component::LCID lcid, component::ITypeInfo **ppTInfo) override;
    component::HRESULT GetIDsOfNames(component::REFIID riid, component::LPOLESTR *rgszNames, component::UINT cNames,
        component::LCID lcid, component::DISPID *rgDispId) override;
    component::HRESULT Invoke(component::DISPID dispIdMember, component::REFIID riid, component::LCID lcid,
        component::WORD wFlags, component::DISPPARAMS *pDispParams, component::VARIANT *pVarResult,
        component::EXCEPINFO *pExcepInfo, component::UINT *puArgErr) override;

    component::HRESULT CheckForUpdate(component::BSTR sWebAddress, component::BSTR sFileName,
        component::BSTR sCurrentVersion, component::VARIANT_BOOL *result) override;

private:
    // Class_Terminate: releases the fBrowser. Only Release ends an object.
    ~CUpdateCheck();

    component::HRESULT check(const QString &webAddress, const QString &fileName, const QString &currentVersion,
        component::VARIANT_BOOL *result);

    std::atomic<component::ULONG> m_refs { 1 };
    std::unique_ptr<fBrowser> m_browser;
};

// The class factory and the counts DllCanUnloadNow answers from.
namespace UpdateCheckServer {
component::IClassFactory *classFactory();
long liveObjects();
long serverLocks();
} // namespace UpdateCheckServer

} // namespace verlook
