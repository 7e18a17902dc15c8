// Move-only owners for Win32 handles: one owner closes each handle exactly once.
#pragma once
#include <winsock2.h>
#include <windows.h>
#include <wininet.h>
#include <commctrl.h>
#include <objbase.h>
#include <oleauto.h>
#include <utility>

namespace win {

template <typename Traits>
class UniqueHandle {
public:
    using Type = typename Traits::Type;
    UniqueHandle() noexcept : h_(Traits::Invalid()) {}
    explicit UniqueHandle(Type h) noexcept : h_(h) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& o) noexcept : h_(o.Detach()) {}
    UniqueHandle& operator=(UniqueHandle&& o) noexcept {
        if (this != &o) Attach(o.Detach());
        return *this;
    }
    ~UniqueHandle() { Close(); }

    Type Get() const noexcept { return h_; }
    bool Valid() const noexcept { return h_ != Traits::Invalid(); }
    explicit operator bool() const noexcept { return Valid(); }

    void Close() noexcept {
        if (Valid()) Traits::Close(h_);
        h_ = Traits::Invalid();
    }
    void Attach(Type h) noexcept {
        Close();
        h_ = h;
    }
    Type Detach() noexcept {
        Type h = h_;
        h_ = Traits::Invalid();
        return h;
    }
    // For APIs that write a handle through an out pointer.
    Type* Receive() noexcept {
        Close();
        return &h_;
    }

private:
    Type h_;
};

struct KernelHandleTraits {
    using Type = HANDLE;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { ::CloseHandle(h); }
};
struct FileHandleTraits {
    using Type = HANDLE;
    static Type Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) { ::CloseHandle(h); }
};
struct InternetHandleTraits {
    using Type = HINTERNET;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { ::InternetCloseHandle(h); }
};
struct RegKeyTraits {
    using Type = HKEY;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { ::RegCloseKey(h); }
};
struct SocketTraits {
    using Type = SOCKET;
    static Type Invalid() { return INVALID_SOCKET; }
    static void Close(Type h) { ::closesocket(h); }
};
struct GdiObjectTraits {
    using Type = HGDIOBJ;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { ::DeleteObject(h); }
};

struct MenuTraits {
    using Type = HMENU;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { ::DestroyMenu(h); }
};
struct HookTraits {
    using Type = HHOOK;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { ::UnhookWindowsHookEx(h); }
};
struct ImageListTraits {
    using Type = HIMAGELIST;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { ::ImageList_Destroy(h); }
};
// Only for icons the program made or loaded unshared (CreateIcon..., LoadImage
// without LR_SHARED): a shared icon from LoadIcon belongs to the system.
struct IconTraits {
    using Type = HICON;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { ::DestroyIcon(h); }
};

using Handle = UniqueHandle<KernelHandleTraits>;
using FileHandle = UniqueHandle<FileHandleTraits>;
using InternetHandle = UniqueHandle<InternetHandleTraits>;
using RegKey = UniqueHandle<RegKeyTraits>;
using Socket = UniqueHandle<SocketTraits>;
using GdiObject = UniqueHandle<GdiObjectTraits>;
using Menu = UniqueHandle<MenuTraits>;
using Hook = UniqueHandle<HookTraits>;
using ImageList = UniqueHandle<ImageListTraits>;
using Icon = UniqueHandle<IconTraits>;

// A critical section that lives exactly as long as its owner: initialised in
// the constructor, deleted in the destructor, never copied or moved (the
// system keeps its address).
class CriticalSection {
public:
    CriticalSection() { ::InitializeCriticalSection(&cs_); }
    ~CriticalSection() { ::DeleteCriticalSection(&cs_); }
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;
    CRITICAL_SECTION& Get() { return cs_; }

private:
    CRITICAL_SECTION cs_;
};

// Enter/leave a critical section for the lifetime of a scope.
class CriticalSectionLock {
public:
    explicit CriticalSectionLock(CRITICAL_SECTION& cs) : cs_(cs) { ::EnterCriticalSection(&cs_); }
    explicit CriticalSectionLock(CriticalSection& cs) : CriticalSectionLock(cs.Get()) {}
    ~CriticalSectionLock() { ::LeaveCriticalSection(&cs_); }
    CriticalSectionLock(const CriticalSectionLock&) = delete;
    CriticalSectionLock& operator=(const CriticalSectionLock&) = delete;

private:
    CRITICAL_SECTION& cs_;
};

// CoInitialize / CoUninitialize pairing; Succeeded() tells whether COM is usable.
class ComScope {
public:
    ComScope() : hr_(::CoInitialize(nullptr)) {}
    ~ComScope() {
        if (SUCCEEDED(hr_)) ::CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
    bool Succeeded() const { return SUCCEEDED(hr_); }

private:
    HRESULT hr_;
};

// WSAStartup/WSACleanup for the lifetime of a scope (Windows Sockets 1.1).
class SocketsScope {
public:
    SocketsScope() { ok_ = ::WSAStartup(MAKEWORD(1, 1), &data_) == 0; }
    ~SocketsScope() {
        if (ok_) ::WSACleanup();
    }
    SocketsScope(const SocketsScope&) = delete;
    SocketsScope& operator=(const SocketsScope&) = delete;
    bool Ok() const { return ok_; }
    // The version the system agreed to; meaningful only when Ok().
    WORD Version() const { return data_.wVersion; }

private:
    WSADATA data_{};
    bool ok_ = false;
};

// Owner of one COM interface pointer.
template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() { Reset(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    ComPtr& operator=(ComPtr&& o) noexcept {
        if (this != &o) {
            Reset();
            p_ = std::exchange(o.p_, nullptr);
        }
        return *this;
    }
    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    T** Receive() {
        Reset();
        return &p_;
    }
    void Reset() {
        if (p_) p_->Release();
        p_ = nullptr;
    }
    // Gives the reference up without releasing it.
    T* Detach() { return std::exchange(p_, nullptr); }

private:
    T* p_ = nullptr;
};

// Owner of a BSTR.
class Bstr {
public:
    Bstr() = default;
    explicit Bstr(const wchar_t* s) : b_(::SysAllocString(s)) {}
    ~Bstr() { ::SysFreeString(b_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR Get() const { return b_; }
    BSTR* Receive() {
        ::SysFreeString(b_);
        b_ = nullptr;
        return &b_;
    }

private:
    BSTR b_ = nullptr;
};

}  // namespace win
