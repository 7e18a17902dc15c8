// The scriptable class that the browser's context-menu page creates: each method starts
// Quarrow with the link on its command line.
#pragma once
#include <windows.h>
#include <ocidl.h>

#include <string>

#include "addin/Brevlet.h"

namespace brevlet {

class CQuarrowBrevlet final : public IQuarrowBrevlet, public IProvideClassInfo {
public:
    CQuarrowBrevlet();
    ~CQuarrowBrevlet();
    CQuarrowBrevlet(const CQuarrowBrevlet&) = delete;
    CQuarrowBrevlet& operator=(const CQuarrowBrevlet&) = delete;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // IDispatch, served from the type library
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* exception, UINT* argumentError) override;
    // IQuarrowBrevlet
    HRESULT STDMETHODCALLTYPE Brevlet(VARIANT url) override;
    HRESULT STDMETHODCALLTYPE BrevletWithLang(VARIANT url, VARIANT charset) override;
    // IProvideClassInfo
    HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** info) override;

private:
    LONG references_ = 1;
};

// Asks the shell to open Quarrow.exe beside this library with `parameters` (ANSI text of the
// calling thread's code page). Whether it starts is not reported: the caller cannot act on it.
void StartMainProgram(const std::string& parameters);

}  // namespace brevlet
