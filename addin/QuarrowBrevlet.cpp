#include "addin/QuarrowBrevlet.h"

#include <new>
#include <string>

#include "addin/LinkCommand.h"
#include "addin/Module.h"
#include "common/Handle.h"

namespace brevlet {

namespace {

// The VARIANT as text, by the automation type change (numbers become digits, a null or an
// object without a value fails with the change's own error).
HRESULT VariantText(const VARIANT& in, std::wstring& text) {
    VARIANT changed;
    ::VariantInit(&changed);
    HRESULT hr = ::VariantChangeType(&changed, const_cast<VARIANT*>(&in), 0, VT_BSTR);
    if (FAILED(hr)) return hr;
    if (BSTR s = V_BSTR(&changed))
        text.assign(s, ::SysStringLen(s));
    else
        text.clear();
    ::VariantClear(&changed);
    return S_OK;
}

// No exception leaves a COM method.
template <typename Body>
HRESULT Guarded(Body body) {
    try {
        return body();
    } catch (const std::bad_alloc&) { return E_OUTOFMEMORY; } catch (...) {
        return E_UNEXPECTED;
    }
}

}  // namespace

void StartMainProgram(const std::string& parameters) {
    // Our own module handle, not a lookup by file name: a renamed copy of the library must
    // not start whatever "Quarrow.exe" lies beside the browser. Whether it started is not
    // the script's business: the method succeeds either way.
    StartQuarrowBeside(Module().ModulePath(), parameters);
}

CQuarrowBrevlet::CQuarrowBrevlet() { Module().Lock(); }
CQuarrowBrevlet::~CQuarrowBrevlet() { Module().Unlock(); }

HRESULT CQuarrowBrevlet::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == kIid)
        *object = static_cast<IQuarrowBrevlet*>(this);
    else if (iid == IID_IProvideClassInfo)
        *object = static_cast<IProvideClassInfo*>(this);
    else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG CQuarrowBrevlet::AddRef() { return static_cast<ULONG>(::InterlockedIncrement(&references_)); }

ULONG CQuarrowBrevlet::Release() {
    LONG left = ::InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
}

HRESULT CQuarrowBrevlet::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 1;
    return S_OK;
}

HRESULT CQuarrowBrevlet::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
    if (!info) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    return Module().InterfaceInfo(true, info);
}

HRESULT CQuarrowBrevlet::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    win::ComPtr<ITypeInfo> info;
    if (HRESULT hr = Module().InterfaceInfo(false, info.Receive()); FAILED(hr)) return hr;
    return ::DispGetIDsOfNames(info.Get(), names, count, ids);
}

HRESULT CQuarrowBrevlet::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                EXCEPINFO* exception, UINT* argumentError) {
    if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    win::ComPtr<ITypeInfo> info;
    if (HRESULT hr = Module().InterfaceInfo(false, info.Receive()); FAILED(hr)) return hr;
    // The vtable view calls our methods through IQuarrowBrevlet's slots.
    return info->Invoke(static_cast<IQuarrowBrevlet*>(this), id, flags, params, result, exception, argumentError);
}

HRESULT CQuarrowBrevlet::Brevlet(VARIANT url) {
    return Guarded([&] {
        std::wstring link;
        if (HRESULT hr = VariantText(url, link); FAILED(hr)) return hr;
        StartMainProgram(QuotedLinkParameters(ToThreadAnsi(link)));
        return S_OK;
    });
}

HRESULT CQuarrowBrevlet::BrevletWithLang(VARIANT url, VARIANT charset) {
    return Guarded([&] {
        // The link is converted like any other VARIANT: reading a string out of a VARIANT
        // that holds none would read whatever its bytes point to.
        std::wstring link, name;
        if (HRESULT hr = VariantText(url, link); FAILED(hr)) return hr;
        if (HRESULT hr = VariantText(charset, name); FAILED(hr)) return hr;
        StartMainProgram(LinkHandOverParameters(link, name));
        return S_OK;
    });
}

HRESULT CQuarrowBrevlet::GetClassInfo(ITypeInfo** info) {
    if (!info) return E_POINTER;
    *info = nullptr;
    return Module().ClassInfo(info);
}

}  // namespace brevlet
