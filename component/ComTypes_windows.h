#pragma once

// On Windows the component layer's binary types are the system's own, so that
// the system's COM creates, registers and marshals the objects. They are
// named in this namespace as well, for code that says component::HRESULT.
//
// The system spells its result codes, SUCCEEDED/FAILED and a few automation
// constants as macros, which no namespace can hold: component::S_OK would
// expand to garbage (REFIID and REFCLSID are macros too). Each becomes a typed constant of the same value here
// (and in the global namespace, where system headers read later look for
// them) and the macro goes.

#include <oaidl.h>
#include <objbase.h>
#include <oleauto.h>
#include <olectl.h>

namespace component {

using ::BOOL;
using ::BSTR;
using ::CLSID;
using ::DISPID;
using ::DISPPARAMS;
using ::DWORD;
using ::EXCEPINFO;
using ::GUID;
using ::HRESULT;
using ::IClassFactory;
using ::IDispatch;
using ::IID;
using ::ITypeInfo;
using ::IUnknown;
using ::LCID;
using ::LONG;
using ::LPOLESTR;
using ::OLECHAR;
using ::SCODE;
using ::SHORT;
using ::UINT;
using ::ULONG;
using ::USHORT;
using ::VARENUM;
using ::VARIANT;
using ::VARIANT_BOOL;
using ::VARIANTARG;
using ::VARTYPE;
using ::WORD;

using ::VT_BOOL;
using ::VT_BSTR;
using ::VT_BYREF;
using ::VT_EMPTY;
using ::VT_ERROR;
using ::VT_I2;
using ::VT_I4;
using ::VT_NULL;
using ::VT_VARIANT;

using ::GUID_NULL;
using ::IID_IClassFactory;
using ::IID_IDispatch;
using ::IID_IUnknown;

using ::SysAllocString;
using ::SysAllocStringLen;
using ::SysFreeString;
using ::SysStringByteLen;
using ::SysStringLen;
using ::VariantClear;
using ::VariantInit;

namespace macro_values {
inline constexpr HRESULT s_ok
    = S_OK,
    s_false = S_FALSE, e_notimpl = E_NOTIMPL, e_nointerface = E_NOINTERFACE, e_pointer = E_POINTER, e_fail = E_FAIL,
    e_unexpected = E_UNEXPECTED, e_outofmemory = E_OUTOFMEMORY, e_invalidarg = E_INVALIDARG,
    class_e_noaggregation = CLASS_E_NOAGGREGATION, class_e_classnotavailable = CLASS_E_CLASSNOTAVAILABLE,
    regdb_e_readregdb = REGDB_E_READREGDB, regdb_e_writeregdb = REGDB_E_WRITEREGDB,
    regdb_e_classnotreg = REGDB_E_CLASSNOTREG, selfreg_e_typelib = SELFREG_E_TYPELIB, selfreg_e_class = SELFREG_E_CLASS,
    co_e_classstring = CO_E_CLASSSTRING, co_e_errorindll = CO_E_ERRORINDLL,
    disp_e_unknowninterface = DISP_E_UNKNOWNINTERFACE, disp_e_membernotfound = DISP_E_MEMBERNOTFOUND,
    disp_e_paramnotfound = DISP_E_PARAMNOTFOUND, disp_e_typemismatch = DISP_E_TYPEMISMATCH,
    disp_e_unknownname = DISP_E_UNKNOWNNAME, disp_e_nonamedargs = DISP_E_NONAMEDARGS,
    disp_e_exception = DISP_E_EXCEPTION, disp_e_badindex = DISP_E_BADINDEX, disp_e_badparamcount = DISP_E_BADPARAMCOUNT;
inline constexpr VARIANT_BOOL variant_true = VARIANT_TRUE, variant_false = VARIANT_FALSE;
inline constexpr WORD dispatch_method = DISPATCH_METHOD, dispatch_propertyget = DISPATCH_PROPERTYGET,
                      dispatch_propertyput = DISPATCH_PROPERTYPUT, dispatch_propertyputref = DISPATCH_PROPERTYPUTREF;
inline constexpr DISPID dispid_unknown = DISPID_UNKNOWN;
} // namespace macro_values

} // namespace component

#undef S_OK
#undef S_FALSE
#undef E_NOTIMPL
#undef E_NOINTERFACE
#undef E_POINTER
#undef E_FAIL
#undef E_UNEXPECTED
#undef E_OUTOFMEMORY
#undef E_INVALIDARG
#undef CLASS_E_NOAGGREGATION
#undef CLASS_E_CLASSNOTAVAILABLE
#undef REGDB_E_READREGDB
#undef REGDB_E_WRITEREGDB
#undef REGDB_E_CLASSNOTREG
#undef SELFREG_E_TYPELIB
#undef SELFREG_E_CLASS
#undef CO_E_CLASSSTRING
#undef CO_E_ERRORINDLL
#undef DISP_E_UNKNOWNINTERFACE
#undef DISP_E_MEMBERNOTFOUND
#undef DISP_E_PARAMNOTFOUND
#undef DISP_E_TYPEMISMATCH
#undef DISP_E_UNKNOWNNAME
#undef DISP_E_NONAMEDARGS
#undef DISP_E_EXCEPTION
#undef DISP_E_BADINDEX
#undef DISP_E_BADPARAMCOUNT
#undef VARIANT_TRUE
#undef VARIANT_FALSE
#undef DISPATCH_METHOD
#undef DISPATCH_PROPERTYGET
#undef DISPATCH_PROPERTYPUT
#undef DISPATCH_PROPERTYPUTREF
#undef DISPID_UNKNOWN
#undef SUCCEEDED
#undef FAILED
#undef REFIID
#undef REFCLSID

// Reference types the system spells as macros in C++, now typedefs.
using REFIID = const IID &;
using REFCLSID = const CLSID &;

namespace component {

using ::REFCLSID;
using ::REFIID;

namespace m = macro_values;
inline constexpr HRESULT S_OK = m::s_ok, S_FALSE = m::s_false, E_NOTIMPL = m::e_notimpl,
                         E_NOINTERFACE = m::e_nointerface, E_POINTER = m::e_pointer, E_FAIL = m::e_fail,
                         E_UNEXPECTED = m::e_unexpected, E_OUTOFMEMORY = m::e_outofmemory,
                         E_INVALIDARG = m::e_invalidarg, CLASS_E_NOAGGREGATION = m::class_e_noaggregation,
                         CLASS_E_CLASSNOTAVAILABLE = m::class_e_classnotavailable,
                         REGDB_E_READREGDB = m::regdb_e_readregdb, REGDB_E_WRITEREGDB = m::regdb_e_writeregdb,
                         REGDB_E_CLASSNOTREG = m::regdb_e_classnotreg, SELFREG_E_TYPELIB = m::selfreg_e_typelib,
                         SELFREG_E_CLASS = m::selfreg_e_class, CO_E_CLASSSTRING = m::co_e_classstring,
                         CO_E_ERRORINDLL = m::co_e_errorindll, DISP_E_UNKNOWNINTERFACE = m::disp_e_unknowninterface,
                         DISP_E_MEMBERNOTFOUND = m::disp_e_membernotfound,
                         DISP_E_PARAMNOTFOUND = m::disp_e_paramnotfound, DISP_E_TYPEMISMATCH = m::disp_e_typemismatch,
                         DISP_E_UNKNOWNNAME = m::disp_e_unknownname, DISP_E_NONAMEDARGS = m::disp_e_nonamedargs,
                         DISP_E_EXCEPTION = m::disp_e_exception, DISP_E_BADINDEX = m::disp_e_badindex,
                         DISP_E_BADPARAMCOUNT = m::disp_e_badparamcount;
inline constexpr VARIANT_BOOL VARIANT_TRUE = m::variant_true, VARIANT_FALSE = m::variant_false;
inline constexpr WORD DISPATCH_METHOD = m::dispatch_method, DISPATCH_PROPERTYGET = m::dispatch_propertyget,
                      DISPATCH_PROPERTYPUT = m::dispatch_propertyput,
                      DISPATCH_PROPERTYPUTREF = m::dispatch_propertyputref;
inline constexpr DISPID DISPID_UNKNOWN = m::dispid_unknown;

constexpr bool SUCCEEDED(HRESULT hr)
{
    return hr >= 0;
}
constexpr bool FAILED(HRESULT hr)
{
    return hr < 0;
}

} // namespace component

using component::CLASS_E_CLASSNOTAVAILABLE;
using component::CLASS_E_NOAGGREGATION;
using component::CO_E_CLASSSTRING;
using component::CO_E_ERRORINDLL;
using component::DISP_E_BADINDEX;
using component::DISP_E_BADPARAMCOUNT;
using component::DISP_E_EXCEPTION;
using component::DISP_E_MEMBERNOTFOUND;
using component::DISP_E_NONAMEDARGS;
using component::DISP_E_PARAMNOTFOUND;
using component::DISP_E_TYPEMISMATCH;
using component::DISP_E_UNKNOWNINTERFACE;
using component::DISP_E_UNKNOWNNAME;
using component::DISPATCH_METHOD;
using component::DISPATCH_PROPERTYGET;
using component::DISPATCH_PROPERTYPUT;
using component::DISPATCH_PROPERTYPUTREF;
using component::DISPID_UNKNOWN;
using component::E_FAIL;
using component::E_INVALIDARG;
using component::E_NOINTERFACE;
using component::E_NOTIMPL;
using component::E_OUTOFMEMORY;
using component::E_POINTER;
using component::E_UNEXPECTED;
using component::FAILED;
using component::REGDB_E_CLASSNOTREG;
using component::REGDB_E_READREGDB;
using component::REGDB_E_WRITEREGDB;
using component::S_FALSE;
using component::S_OK;
using component::SELFREG_E_CLASS;
using component::SELFREG_E_TYPELIB;
using component::SUCCEEDED;
using component::VARIANT_FALSE;
using component::VARIANT_TRUE;
