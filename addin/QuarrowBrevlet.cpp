#include "addin/QuarrowBrevlet.h"

#include <shellapi.h>

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
    if (BSTR s = V_BSTR(&changed)) text.assign(s, ::SysStringLen(s));
    else text.clear();
    ::VariantClear(&changed);
    return S_OK;
}

std::wstring FromThreadAnsi(const std::string& text) {
    if (text.empty()) return {};
    const int length = static_cast<int>(text.size());
    int size = ::MultiByteToWideChar(CP_THREAD_ACP, 0, text.data(), length, nullptr, 0);
    if (size <= 0) return {};
    std::wstring wide(static_cast<size_t>(size), L'\0');
    ::MultiByteToWideChar(CP_THREAD_ACP, 0, text.data(), length, wide.data(), size);
    return wide;
}

// No exception leaves a COM method.
template <typename Body>
HRESULT Guarded(Body body) {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

}  // namespace

void StartMainProgram(const std::string& parameters) {
    // Our own module handle, not a lookup by file name: a renamed copy of the library must
    // not start whatever "Quarrow.exe" lies beside the browser.
    const std::wstring program = ProgramBeside(Module().ModulePath());
    const std::wstring wideParameters = FromThreadAnsi(parameters);
    // A command line the system would refuse or cut must not hand over a shortened link.
    if (!FitsCommandLine(program, wideParameters)) return;
    // No error box when it is missing (nothing visible may happen), and no asynchronous
    // start that the page's script ending could cut short.
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
    info.lpVerb = L"open";
    info.lpFile = program.c_str();
    info.lpParameters = wideParameters.c_str();
    info.nShow = SW_SHOWNORMAL;
    ::ShellExecuteExW(&info);
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
        StartMainProgram(LinkWithLangParameters(HexLink(link), ToThreadAnsi(CommandLineCharset(name))));
        return S_OK;
    });
}

HRESULT CQuarrowBrevlet::GetClassInfo(ITypeInfo** info) {
    if (!info) return E_POINTER;
    *info = nullptr;
    return Module().ClassInfo(info);
}

}  // namespace brevlet
