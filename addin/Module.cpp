// The module object, the class factory, registration and the library's entry points.
#include "addin/Module.h"

#include <string>

#include "addin/Brevlet.h"
#include "addin/QuarrowBrevlet.h"
#include "addin/Registrar.h"
#include "addin/resource.h"
#include "common/Handle.h"

namespace brevlet {

CBrevletModule& Module() {
    static CBrevletModule module;
    return module;
}

void CBrevletModule::Term() {
    for (auto* info : {&dispatchInfo_, &vtableInfo_, &classInfo_}) info->Reset();
}

void CBrevletModule::Abandon() {
    for (auto* info : {&dispatchInfo_, &vtableInfo_, &classInfo_}) info->Detach();
}

std::wstring CBrevletModule::ModulePath() const {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = ::GetModuleFileNameW(instance_, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

HRESULT CBrevletModule::LoadInfo() {
    if (classInfo_) return S_OK;
    win::ComPtr<ITypeLib> library;
    if (HRESULT hr = ::LoadTypeLibEx(ModulePath().c_str(), REGKIND_NONE, library.Receive()); FAILED(hr)) return hr;
    win::ComPtr<ITypeInfo> dispatch, vtable, coclass;
    if (HRESULT hr = library->GetTypeInfoOfGuid(kIid, dispatch.Receive()); FAILED(hr)) return hr;
    if (HRESULT hr = library->GetTypeInfoOfGuid(kClsid, coclass.Receive()); FAILED(hr)) return hr;
    // A dual interface's own entry is its dispatch view; the vtable view hangs off it at -1.
    HREFTYPE vtableRef = 0;
    if (HRESULT hr = dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &vtableRef); FAILED(hr)) return hr;
    if (HRESULT hr = dispatch->GetRefTypeInfo(vtableRef, vtable.Receive()); FAILED(hr)) return hr;
    dispatchInfo_ = std::move(dispatch);
    vtableInfo_ = std::move(vtable);
    classInfo_ = std::move(coclass);
    return S_OK;
}

HRESULT CBrevletModule::InterfaceInfo(bool dispatchKind, ITypeInfo** info) {
    win::CriticalSectionLock guard(lock_);
    if (HRESULT hr = LoadInfo(); FAILED(hr)) return hr;
    *info = (dispatchKind ? dispatchInfo_ : vtableInfo_).Get();
    (*info)->AddRef();
    return S_OK;
}

HRESULT CBrevletModule::ClassInfo(ITypeInfo** info) {
    win::CriticalSectionLock guard(lock_);
    if (HRESULT hr = LoadInfo(); FAILED(hr)) return hr;
    *info = classInfo_.Get();
    (*info)->AddRef();
    return S_OK;
}

namespace {

// One factory for the one class; every reference handed out holds the module.
class CClassFactory final : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        if (iid != IID_IUnknown && iid != IID_IClassFactory) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        *object = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override {
        Module().Lock();
        return 2;
    }
    ULONG STDMETHODCALLTYPE Release() override {
        Module().Unlock();
        return 1;
    }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        auto* instance = new (std::nothrow) CQuarrowBrevlet();
        if (!instance) return E_OUTOFMEMORY;
        HRESULT hr = instance->QueryInterface(iid, object);
        instance->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (lock)
            Module().Lock();
        else
            Module().Unlock();
        return S_OK;
    }
};

CClassFactory classFactory;

// The class's own entries, in the same script syntax as the module's REGISTRY resource.
constexpr char kClassScript[] = R"(
HKCR
{
	Brevlet.QuarrowBrevlet.1 = s '%FriendlyName%'
	{
		CLSID = s '%CLSID%'
	}
	Brevlet.QuarrowBrevlet = s '%FriendlyName%'
	{
		CLSID = s '%CLSID%'
		CurVer = s 'Brevlet.QuarrowBrevlet.1'
	}
	NoRemove CLSID
	{
		ForceRemove '%CLSID%' = s '%FriendlyName%'
		{
			val AppID = s '%APPID%'
			ProgID = s 'Brevlet.QuarrowBrevlet.1'
			VersionIndependentProgID = s 'Brevlet.QuarrowBrevlet'
			ForceRemove Programmable
			'%MODULETYPE%' = s '%MODULE%'
			{
				val ThreadingModel = s ''
			}
			TypeLib = s '%MODULEGUID%'
		}
	}
}
)";

#ifdef _WIN64
constexpr SYSKIND kSysKind = SYS_WIN64;
constexpr char kTypeLibPlatform[] = "win64";
#else
constexpr SYSKIND kSysKind = SYS_WIN32;
constexpr char kTypeLibPlatform[] = "win32";
#endif

// The path in the ANSI code page, or empty when that code page cannot spell it: a
// registered path with "?" in it would name no file.
std::string AnsiPath(const std::wstring& path) {
    BOOL lossy = FALSE;
    int size = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, path.c_str(), -1, nullptr, 0, nullptr, &lossy);
    if (size <= 1 || lossy) return {};
    std::string ansi(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, path.c_str(), -1, ansi.data(), size, nullptr, nullptr);
    ansi.resize(static_cast<size_t>(size - 1));
    return ansi;
}

HRESULT RunModuleScript(bool registering) {
    HINSTANCE instance = Module().Instance();
    HRSRC found = ::FindResourceA(instance, MAKEINTRESOURCEA(IDR_BREVLET), "REGISTRY");
    HGLOBAL loaded = found ? ::LoadResource(instance, found) : nullptr;
    const char* text = loaded ? static_cast<const char*>(::LockResource(loaded)) : nullptr;
    if (!text) return HRESULT_FROM_WIN32(ERROR_RESOURCE_DATA_NOT_FOUND);
    const std::string_view script(text, ::SizeofResource(instance, found));
    return RunScript(script, {{"APPID", kAppIdText}}, registering);
}

HRESULT RunClassScript(bool registering) {
    const std::string module = AnsiPath(Module().ModulePath());
    // Removal needs only the key names.
    if (module.empty() && registering) return HRESULT_FROM_WIN32(ERROR_NO_UNICODE_TRANSLATION);
    const Replacements replacements = {
        {"FriendlyName", "CQuarrowBrevlet Object"},
        {"MODULE", module},
        {"MODULETYPE", "InprocServer32"},
        {"APPID", kAppIdText},
        {"MODULEGUID", kAppIdText},
        {"CLSID", kClsidText},
    };
    return RunScript(kClassScript, replacements, registering);
}

HRESULT RegisterTypeLibrary() {
    std::wstring path = Module().ModulePath();
    win::ComPtr<ITypeLib> library;
    if (HRESULT hr = ::LoadTypeLibEx(path.c_str(), REGKIND_NONE, library.Receive()); FAILED(hr)) return hr;
    return ::RegisterTypeLib(library.Get(), path.data(), nullptr);
}

HRESULT UnregisterTypeLibrary() {
    // Unregistering what is not registered is no failure.
    const std::string key = std::string("TypeLib\\") + kAppIdText + "\\1.0\\0\\" + kTypeLibPlatform;
    win::RegKey registered;
    if (::RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, registered.Receive()) != ERROR_SUCCESS) {
        registered.Detach();
        return S_OK;
    }
    registered.Close();
    return ::UnRegisterTypeLib(kLibid, 1, 0, LOCALE_NEUTRAL, kSysKind);
}

// Registration runs in the system's default locale, whatever the calling thread uses.
template <typename Steps>
HRESULT InSystemLocale(Steps steps) {
    const LCID saved = ::GetThreadLocale();
    ::SetThreadLocale(LOCALE_SYSTEM_DEFAULT);
    HRESULT hr;
    try {
        hr = steps();
    } catch (...) { hr = E_OUTOFMEMORY; }
    ::SetThreadLocale(saved);
    return hr;
}

}  // namespace

}  // namespace brevlet

using namespace brevlet;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        ::DisableThreadLibraryCalls(instance);
        Module().Init(instance);
        return TRUE;
    }
    if (reason == DLL_PROCESS_DETACH) {
        if (reserved)
            Module().Abandon();
        else
            Module().Term();
    }
    return TRUE;
}

extern "C" HRESULT WINAPI DllCanUnloadNow() { return Module().LockCount() == 0 ? S_OK : S_FALSE; }

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (clsid != kClsid) return CLASS_E_CLASSNOTAVAILABLE;
    return classFactory.QueryInterface(iid, object);
}

extern "C" HRESULT WINAPI DllRegisterServer() {
    return InSystemLocale([] {
        HRESULT hr = RunModuleScript(true);
        if (SUCCEEDED(hr)) hr = RunClassScript(true);
        if (SUCCEEDED(hr)) hr = RegisterTypeLibrary();
        return hr;
    });
}

extern "C" HRESULT WINAPI DllUnregisterServer() {
    return InSystemLocale([] {
        HRESULT hr = RunClassScript(false);
        if (SUCCEEDED(hr)) hr = UnregisterTypeLibrary();
        if (SUCCEEDED(hr)) hr = RunModuleScript(false);
        return hr;
    });
}
