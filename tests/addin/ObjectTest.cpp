// Brevlet.dll loaded in-process from the staged folder, where a recording program stands
// in for Quarrow.exe and appends every command line it gets to a file.
#include <gtest/gtest.h>

#include <windows.h>
#include <ocidl.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "addin/Brevlet.h"
#include "common/Handle.h"

using namespace brevlet;

namespace {

std::wstring StageDir() {
    wchar_t path[MAX_PATH];
    DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    while (length > 0 && path[length - 1] != L'\\') --length;
    return std::wstring(path, length) + L"stage\\";
}

// The expected HEX, written out independently of the library.
std::string Hex(const std::wstring& link) {
    std::string hex;
    char unit[5];
    for (wchar_t c : link) {
        std::snprintf(unit, sizeof unit, "%02X%02X", c & 0xFF, (c >> 8) & 0xFF);
        hex += unit;
    }
    return hex;
}

std::string ThreadAnsi(const std::wstring& text) {
    char buffer[256] = {};
    int n = ::WideCharToMultiByte(CP_THREAD_ACP, 0, text.c_str(), static_cast<int>(text.size()), buffer, sizeof buffer,
                                  nullptr, nullptr);
    return std::string(buffer, n > 0 ? n : 0);
}

struct Variant {
    VARIANT v;
    Variant() { ::VariantInit(&v); }
    explicit Variant(const std::wstring& s) : Variant() {
        V_VT(&v) = VT_BSTR;
        V_BSTR(&v) = ::SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
    }
    static Variant Of(VARTYPE type) {
        Variant r;
        V_VT(&r.v) = type;
        if (type == VT_I4) V_I4(&r.v) = 42;
        if (type == (VT_ARRAY | VT_I4)) V_ARRAY(&r.v) = ::SafeArrayCreateVector(VT_I4, 0, 2);
        return r;
    }
    Variant(Variant&& o) noexcept : v(o.v) { V_VT(&o.v) = VT_EMPTY; }
    ~Variant() { ::VariantClear(&v); }
    // What the automation type change says of this value: the code a method must return.
    HRESULT ConversionResult() const {
        VARIANT out;
        ::VariantInit(&out);
        HRESULT hr = ::VariantChangeType(&out, const_cast<VARIANT*>(&v), 0, VT_BSTR);
        ::VariantClear(&out);
        return hr;
    }
};

class Record {
public:
    Record() : path_(StageDir() + L"record-" + std::to_wstring(::GetCurrentProcessId()) + L".txt") {
        ::DeleteFileW(path_.c_str());
        ::SetEnvironmentVariableW(L"BREVLET_RECORD", path_.c_str());
    }
    ~Record() { ::DeleteFileW(path_.c_str()); }
    std::vector<std::string> Lines() const {
        std::vector<std::string> lines;
        std::ifstream in(path_.c_str(), std::ios::binary);
        std::string line;
        while (std::getline(in, line)) lines.push_back(line);
        return lines;
    }
    // Waits for the count of lines to reach `count` (the started programs run on their own).
    std::vector<std::string> WaitFor(size_t count) const {
        for (int i = 0; i < 300 && Lines().size() < count; ++i) ::Sleep(100);
        return Lines();
    }

private:
    std::wstring path_;
};

using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
using CanUnloadNow = HRESULT(WINAPI*)();

class BrevletObject : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(com_.Succeeded());
        library_ = ::LoadLibraryW((StageDir() + L"Brevlet.dll").c_str());
        ASSERT_NE(nullptr, library_);
        getClassObject_ = reinterpret_cast<GetClassObject>(::GetProcAddress(library_, "DllGetClassObject"));
        canUnloadNow_ = reinterpret_cast<CanUnloadNow>(::GetProcAddress(library_, "DllCanUnloadNow"));
        ASSERT_NE(nullptr, getClassObject_);
        ASSERT_NE(nullptr, canUnloadNow_);
    }
    void TearDown() override {
        if (library_) ::FreeLibrary(library_);
    }
    void Create(win::ComPtr<IQuarrowBrevlet>& object) {
        win::ComPtr<IClassFactory> factory;
        ASSERT_EQ(S_OK, getClassObject_(kClsid, IID_IClassFactory, reinterpret_cast<void**>(factory.Receive())));
        ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, kIid, reinterpret_cast<void**>(object.Receive())));
    }

    win::ComScope com_;
    HMODULE library_ = nullptr;
    GetClassObject getClassObject_ = nullptr;
    CanUnloadNow canUnloadNow_ = nullptr;
};

}  // namespace

TEST_F(BrevletObject, ExportsFactoryAndUnloadRules) {
    for (const char* name :
         {"DllMain", "DllCanUnloadNow", "DllGetClassObject", "DllRegisterServer", "DllUnregisterServer"})
        EXPECT_NE(nullptr, ::GetProcAddress(library_, name)) << name;

    win::ComPtr<IClassFactory> factory;
    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, getClassObject_(kIid, IID_IClassFactory, &none));
    EXPECT_EQ(nullptr, none);
    EXPECT_EQ(S_OK, canUnloadNow_());
    ASSERT_EQ(S_OK, getClassObject_(kClsid, IID_IClassFactory, reinterpret_cast<void**>(factory.Receive())));
    EXPECT_EQ(S_FALSE, canUnloadNow_()) << "a held class factory keeps the library";

    win::ComPtr<IUnknown> object, aggregated;
    EXPECT_EQ(CLASS_E_NOAGGREGATION,
              factory->CreateInstance(factory.Get(), IID_IUnknown, reinterpret_cast<void**>(aggregated.Receive())));
    EXPECT_EQ(E_NOINTERFACE,
              factory->CreateInstance(nullptr, IID_IClassFactory, reinterpret_cast<void**>(aggregated.Receive())));
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(object.Receive())));
    factory->LockServer(TRUE);
    factory.Reset();
    EXPECT_EQ(S_FALSE, canUnloadNow_()) << "a live object keeps the library";
    object.Reset();
    EXPECT_EQ(S_FALSE, canUnloadNow_()) << "a server lock keeps the library";
    ASSERT_EQ(S_OK, getClassObject_(kClsid, IID_IClassFactory, reinterpret_cast<void**>(factory.Receive())));
    factory->LockServer(FALSE);
    factory.Reset();
    EXPECT_EQ(S_OK, canUnloadNow_()) << "all released";
}

TEST_F(BrevletObject, TypeInformationMatchesTheVtable) {
    win::ComPtr<IQuarrowBrevlet> object;
    Create(object);
    win::ComPtr<IProvideClassInfo> provider;
    ASSERT_EQ(S_OK, object->QueryInterface(IID_IProvideClassInfo, reinterpret_cast<void**>(provider.Receive())));
    win::ComPtr<ITypeInfo> coclass, dispatch, vtable, base;
    ASSERT_EQ(S_OK, provider->GetClassInfo(coclass.Receive()));
    UINT count = 0;
    EXPECT_EQ(S_OK, object->GetTypeInfoCount(&count));
    EXPECT_EQ(1u, count);
    EXPECT_EQ(DISP_E_BADINDEX, object->GetTypeInfo(1, 0, dispatch.Receive()));
    ASSERT_EQ(S_OK, object->GetTypeInfo(0, 0, dispatch.Receive()));

    TYPEATTR* attr = nullptr;
    ASSERT_EQ(S_OK, coclass->GetTypeAttr(&attr));
    EXPECT_TRUE(attr->guid == kClsid && attr->typekind == TKIND_COCLASS && attr->cImplTypes == 1);
    coclass->ReleaseTypeAttr(attr);
    INT implFlags = 0;
    EXPECT_EQ(S_OK, coclass->GetImplTypeFlags(0, &implFlags));
    EXPECT_TRUE(implFlags & IMPLTYPEFLAG_FDEFAULT);

    ASSERT_EQ(S_OK, dispatch->GetTypeAttr(&attr));
    EXPECT_TRUE(attr->guid == kIid && attr->typekind == TKIND_DISPATCH);
    EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FDUAL) << attr->wTypeFlags;
    dispatch->ReleaseTypeAttr(attr);
    HREFTYPE ref = 0;
    ASSERT_EQ(S_OK, dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref));
    ASSERT_EQ(S_OK, dispatch->GetRefTypeInfo(ref, vtable.Receive()));
    ASSERT_EQ(S_OK, vtable->GetTypeAttr(&attr));
    EXPECT_TRUE(attr->typekind == TKIND_INTERFACE && (attr->wTypeFlags & TYPEFLAG_FDUAL) &&
                (attr->wTypeFlags & TYPEFLAG_FOLEAUTOMATION))
        << attr->wTypeFlags;
    vtable->ReleaseTypeAttr(attr);
    ASSERT_EQ(S_OK, vtable->GetRefTypeOfImplType(0, &ref));
    ASSERT_EQ(S_OK, vtable->GetRefTypeInfo(ref, base.Receive()));
    ASSERT_EQ(S_OK, base->GetTypeAttr(&attr));
    EXPECT_TRUE(attr->guid == IID_IDispatch) << "the interface derives from IDispatch";
    base->ReleaseTypeAttr(attr);

    // Slots 7 and 8, after IUnknown's three and IDispatch's four.
    const struct {
        const wchar_t* name;
        const wchar_t* help;
        MEMBERID id;
        SHORT slot;
        SHORT params;
    } methods[] = {{L"Brevlet", L"method Brevlet", 1, 7, 1}, {L"BrevletWithLang", L"method BrevletWithLang", 2, 8, 2}};
    for (UINT i = 0; i < 2; ++i) {
        FUNCDESC* func = nullptr;
        ASSERT_EQ(S_OK, vtable->GetFuncDesc(i, &func));
        EXPECT_EQ(methods[i].id, func->memid);
        EXPECT_EQ(methods[i].slot * static_cast<SHORT>(sizeof(void*)), func->oVft);
        EXPECT_EQ(methods[i].params, func->cParams);
        EXPECT_EQ(VT_HRESULT, func->elemdescFunc.tdesc.vt);
        for (SHORT p = 0; p < func->cParams; ++p) EXPECT_EQ(VT_VARIANT, func->lprgelemdescParam[p].tdesc.vt);
        win::Bstr name, help;
        EXPECT_EQ(S_OK, vtable->GetDocumentation(func->memid, name.Receive(), help.Receive(), nullptr, nullptr));
        EXPECT_STREQ(methods[i].name, name.Get());
        EXPECT_STREQ(methods[i].help, help.Get());
        vtable->ReleaseFuncDesc(func);
    }

    win::ComPtr<ITypeLib> library;
    UINT index = 0;
    ASSERT_EQ(S_OK, coclass->GetContainingTypeLib(library.Receive(), &index));
    TLIBATTR* libAttr = nullptr;
    ASSERT_EQ(S_OK, library->GetLibAttr(&libAttr));
    EXPECT_TRUE(libAttr->guid == kLibid);
    EXPECT_EQ(1, libAttr->wMajorVerNum);
    EXPECT_EQ(0, libAttr->wMinorVerNum);
    EXPECT_EQ(0u, libAttr->lcid);
    EXPECT_EQ(sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32, libAttr->syskind);
    library->ReleaseTLibAttr(libAttr);
    const struct {
        INT index;
        const wchar_t* name;
        const wchar_t* help;
    } docs[] = {{-1, L"Brevlet", L"Brevlet 1.0 Type Library"},
                {static_cast<INT>(index), L"QuarrowBrevlet", L"QuarrowBrevlet Class"}};
    for (const auto& d : docs) {
        win::Bstr name, help;
        EXPECT_EQ(S_OK, library->GetDocumentation(d.index, name.Receive(), help.Receive(), nullptr, nullptr));
        EXPECT_STREQ(d.name, name.Get());
        EXPECT_STREQ(d.help, help.Get());
    }
    win::Bstr name, help;
    EXPECT_EQ(S_OK, dispatch->GetDocumentation(MEMBERID_NIL, name.Receive(), help.Receive(), nullptr, nullptr));
    EXPECT_STREQ(L"IQuarrowBrevlet", name.Get());
    EXPECT_STREQ(L"IQuarrowBrevlet Interface", help.Get());
}

TEST_F(BrevletObject, CommandLinesOfBothMethods) {
    Record record;
    win::ComPtr<IQuarrowBrevlet> object;
    Create(object);

    const std::wstring plain = L"http://x/a b";
    const std::wstring foreign = L"http://\x4F8B\x3048.jp/\x4E2D\x6587?q=\x00E9&r=%25#\xD83D\xDE00";
    std::wstring longLink = L"http://x/";
    while (longLink.size() < 4000) longLink += L"\x4E2D/a%20b";
    std::wstring overLong = L"http://x/";
    overLong.append(9000, L'a');
    // A full-width quote may turn into a plain one on the way to the ANSI code page.
    std::string fullWidth = ThreadAnsi(L"\xFF02");
    if (fullWidth == "\"") fullWidth = "%22";

    enum Method { Quoted, WithLang };
    struct Case {
        Method method;
        Variant url, charset;
        bool starts;
        std::string line = {};
    };
    Case cases[] = {
        {WithLang, Variant(L"ab"), Variant(L"gb2312"), true, "/l 61006200 gb2312"},
        {WithLang, Variant(foreign), Variant(L"utf-8"), true, "/l " + Hex(foreign) + " utf-8"},
        {WithLang, Variant::Of(VT_NULL), Variant(L"utf-8"), false},
        {WithLang, Variant(L"ab"), Variant::Of(VT_ARRAY | VT_I4), false},
        {WithLang, Variant(L""), Variant(L"x /r \"y\""), true, "/l  x__r__y_"},
        {WithLang, Variant::Of(VT_I4), Variant::Of(VT_EMPTY), true, "/l 34003200 "},
        {WithLang, Variant(overLong), Variant(L"utf-8"), false},
        {WithLang, Variant(longLink), Variant(L"big5"), true, "/l " + Hex(longLink) + " big5"},
        {Quoted, Variant::Of(VT_NULL), Variant(), false},
        {Quoted, Variant(plain), Variant(), true, "/l \"http://x/a b\""},
        {Quoted, Variant(L"http://x/\" /r \xFF02\xE9"), Variant(), true,
         "/l \"http://x/%22 /r " + fullWidth + ThreadAnsi(L"\xE9") + "\""},
    };
    size_t lines = 0;
    for (Case& c : cases) {
        const HRESULT expectedResult = c.starts                           ? S_OK
                                       : c.url.ConversionResult() != S_OK ? c.url.ConversionResult()
                                       : c.method == WithLang             ? c.charset.ConversionResult()
                                                                          : S_OK;
        const HRESULT hr =
            c.method == Quoted ? object->Brevlet(c.url.v) : object->BrevletWithLang(c.url.v, c.charset.v);
        EXPECT_EQ(expectedResult, hr) << c.line;
        if (!c.starts) continue;
        std::vector<std::string> got = record.WaitFor(++lines);
        ASSERT_EQ(lines, got.size()) << "a call started no program, or one too many: " << c.line;
        EXPECT_EQ(c.line, got.back());
    }
    ::Sleep(1000);
    EXPECT_EQ(lines, record.Lines().size()) << "a failed call started a program after all";
}

TEST(BrevletFile, SucceedsWithoutQuarrowBeside) {
    // A copy of the library under another name in a folder of its own, while the staged
    // Brevlet.dll (with the recorder beside it) is loaded too: the copy's own path counts,
    // and a missing program is no failure of the method.
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"brevlet-alone-" + std::to_wstring(::GetCurrentProcessId());
    const std::wstring copy = folder + L"\\Other.dll";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    ASSERT_TRUE(::CopyFileW((StageDir() + L"Brevlet.dll").c_str(), copy.c_str(), FALSE));
    Record record;
    {
        win::ComScope com;
        HMODULE staged = ::LoadLibraryW((StageDir() + L"Brevlet.dll").c_str());
        ASSERT_NE(nullptr, staged);
        HMODULE library = ::LoadLibraryW(copy.c_str());
        ASSERT_NE(nullptr, library);
        auto getClassObject = reinterpret_cast<GetClassObject>(::GetProcAddress(library, "DllGetClassObject"));
        win::ComPtr<IClassFactory> factory;
        win::ComPtr<IQuarrowBrevlet> object;
        ASSERT_EQ(S_OK, getClassObject(kClsid, IID_IClassFactory, reinterpret_cast<void**>(factory.Receive())));
        ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, kIid, reinterpret_cast<void**>(object.Receive())));
        Variant link(L"http://x/"), charset(L"utf-8");
        EXPECT_EQ(S_OK, object->BrevletWithLang(link.v, charset.v));
        EXPECT_EQ(S_OK, object->Brevlet(link.v));
        object.Reset();
        factory.Reset();
        ::FreeLibrary(library);
        ::FreeLibrary(staged);
    }
    ::Sleep(1000);
    EXPECT_TRUE(record.Lines().empty()) << "the copy started the program beside the other library";
    ::DeleteFileW(copy.c_str());
    ::RemoveDirectoryW(folder.c_str());
}

TEST(BrevletFile, VersionAndStrings) {
    const std::wstring path = StageDir() + L"Brevlet.dll";
    DWORD handle = 0;
    std::vector<char> data(::GetFileVersionInfoSizeW(path.c_str(), &handle));
    ASSERT_FALSE(data.empty());
    ASSERT_TRUE(::GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(data.size()), data.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT size = 0;
    ASSERT_TRUE(::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &size));
    EXPECT_EQ(MAKELONG(0, 1), fixed->dwFileVersionMS);
    EXPECT_EQ(MAKELONG(1, 0), fixed->dwFileVersionLS);
    EXPECT_EQ(fixed->dwFileVersionMS, fixed->dwProductVersionMS);
    EXPECT_EQ(fixed->dwFileVersionLS, fixed->dwProductVersionLS);
    WORD* translation = nullptr;
    ASSERT_TRUE(
        ::VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &size));
    ASSERT_EQ(4u, size);
    EXPECT_EQ(0x0804, translation[0]);
    EXPECT_EQ(936, translation[1]);
    const struct {
        const wchar_t* name;
        const wchar_t* value;
    } strings[] = {{L"InternalName", L"Brevlet.dll"},
                   {L"OriginalFilename", L"Brevlet.dll"},
                   {L"OLESelfRegister", L""},
                   {L"FileVersion", L"1.0.0.1"},
                   {L"ProductVersion", L"1.0.0.1"}};
    for (const auto& s : strings) {
        wchar_t* value = nullptr;
        const std::wstring query = std::wstring(L"\\StringFileInfo\\080403a8\\") + s.name;
        EXPECT_TRUE(::VerQueryValueW(data.data(), query.c_str(), reinterpret_cast<void**>(&value), &size)) << s.name;
        if (value) { EXPECT_STREQ(s.value, value) << s.name; }
    }

    HMODULE library = ::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, library);
    wchar_t text[32] = {};
    EXPECT_EQ(7, ::LoadStringW(library, 100, text, 32));
    EXPECT_STREQ(L"Brevlet", text);
    EXPECT_NE(nullptr, ::FindResourceW(library, MAKEINTRESOURCEW(101), L"REGISTRY"));
    EXPECT_NE(nullptr, ::FindResourceW(library, MAKEINTRESOURCEW(1), L"TYPELIB"));
    ::FreeLibrary(library);
}
