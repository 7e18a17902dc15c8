// The library's module object: lock count, the module's own handle and the type
// information that IDispatch and IProvideClassInfo serve.
#pragma once
#include <windows.h>
#include <oaidl.h>

#include <string>

#include "common/Handle.h"

namespace brevlet {

class CBrevletModule {
public:
    void Init(HINSTANCE instance) { instance_ = instance; }
    // Unloaded while the process goes on: the type information goes back.
    void Term();
    // At process exit other libraries may be gone already: what the module
    // holds is left for the system to reclaim.
    void Abandon();

    HINSTANCE Instance() const { return instance_; }
    std::wstring ModulePath() const;

    // Live objects, outstanding class-factory references and LockServer locks.
    void Lock() { ::InterlockedIncrement(&locks_); }
    void Unlock() { ::InterlockedDecrement(&locks_); }
    LONG LockCount() const { return locks_; }

    // Type information from the library's own TYPELIB resource, loaded once. Returned with a
    // reference for the caller. `dispatchKind` gives the dispatch view of the dual
    // interface (for GetTypeInfo), otherwise its vtable view (for Invoke).
    HRESULT InterfaceInfo(bool dispatchKind, ITypeInfo** info);
    HRESULT ClassInfo(ITypeInfo** info);

private:
    HRESULT LoadInfo();

    HINSTANCE instance_ = nullptr;
    volatile LONG locks_ = 0;
    win::CriticalSection lock_;
    win::ComPtr<ITypeInfo> dispatchInfo_, vtableInfo_, classInfo_;
};

CBrevletModule& Module();

}  // namespace brevlet
