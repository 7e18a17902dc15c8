// Quarrow and quarrowctl speak English and German. Windows picks each string
// table block, dialog and menu by language on its own, so a German text that
// is missing shows up in English in the middle of a German window, and a German
// template that lacks a control the code looks for breaks the window. These
// tests read the resources of the built programs and hold the two languages
// to the same IDs, controls, menu items and placeholders.
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr LANGID kEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
constexpr LANGID kGerman = MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN);
// The resource types, as the wide functions take them.
const LPCWSTR kStrings = MAKEINTRESOURCEW(6), kDialogs = MAKEINTRESOURCEW(5), kMenus = MAKEINTRESOURCEW(4);

// A program of this build, found from the test program's own folder (tests\).
std::wstring BuildFile(const std::wstring& relative) {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    folder.resize(folder.find_last_of(L"\\/") + 1);
    return folder + L"..\\" + relative;
}

class ResourceFile {
public:
    explicit ResourceFile(const std::wstring& path)
        : module_(::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)) {}
    ~ResourceFile() {
        if (module_) ::FreeLibrary(module_);
    }
    ResourceFile(const ResourceFile&) = delete;
    ResourceFile& operator=(const ResourceFile&) = delete;

    HMODULE Get() const { return module_; }

    // Every resource of the type, by its numeric ID, with the languages it comes in.
    std::map<UINT, std::set<LANGID>> Languages(LPCWSTR type) const {
        std::map<UINT, std::set<LANGID>> found;
        ::EnumResourceNamesW(module_, type, &Name, reinterpret_cast<LONG_PTR>(&found));
        for (auto& [id, languages] : found)
            ::EnumResourceLanguagesW(module_, type, MAKEINTRESOURCEW(id), &Language,
                                     reinterpret_cast<LONG_PTR>(&languages));
        return found;
    }

    std::vector<BYTE> Data(LPCWSTR type, UINT id, LANGID language) const {
        HRSRC info = ::FindResourceExW(module_, type, MAKEINTRESOURCEW(id), language);
        if (!info) return {};
        const BYTE* data = static_cast<const BYTE*>(::LockResource(::LoadResource(module_, info)));
        return data ? std::vector<BYTE>(data, data + ::SizeofResource(module_, info)) : std::vector<BYTE>{};
    }

private:
    static BOOL CALLBACK Name(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR found) {
        // All of ours are numbered; a named one would be reported as ID 0.
        (*reinterpret_cast<std::map<UINT, std::set<LANGID>>*>(
            found))[IS_INTRESOURCE(name) ? static_cast<UINT>(reinterpret_cast<ULONG_PTR>(name)) : 0];
        return TRUE;
    }
    static BOOL CALLBACK Language(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR languages) {
        reinterpret_cast<std::set<LANGID>*>(languages)->insert(language);
        return TRUE;
    }

    HMODULE module_;
};

// The strings of one language: each block of the table holds sixteen counted texts.
std::map<UINT, std::wstring> Strings(const ResourceFile& file, LANGID language) {
    std::map<UINT, std::wstring> strings;
    for (const auto& [block, languages] : file.Languages(kStrings)) {
        std::vector<BYTE> data = file.Data(kStrings, block, language);
        size_t at = 0;
        for (UINT i = 0; i < 16 && at + 2 <= data.size(); ++i) {
            WORD length = *reinterpret_cast<const WORD*>(&data[at]);
            at += 2;
            if (length)
                strings[(block - 1) * 16 + i] = std::wstring(reinterpret_cast<const wchar_t*>(&data[at]), length);
            at += 2u * length;
        }
    }
    return strings;
}

// What a translation must keep: the printf conversions in their order, the
// "|" separators of a file filter and the tab before a menu accelerator.
std::wstring Placeholders(const std::wstring& text) {
    std::wstring kept;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'%' && i + 1 < text.size()) {
            kept += text.substr(i, 2);
            ++i;
        } else if (text[i] == L'|' || text[i] == L'\t') {
            kept += text[i];
        }
    }
    return kept;
}

// A template read field by field: what the window code relies on (control
// IDs, classes, styles, menu and font), without texts and positions.
class TemplateReader {
public:
    explicit TemplateReader(const std::vector<BYTE>& data) : data_(data) {}

    bool Ok() const { return ok_; }
    WORD Word() { return Read<WORD>(); }
    DWORD Dword() { return Read<DWORD>(); }
    void Skip(size_t count) { Need(count) ? void(at_ += count) : void(); }
    void AlignDword() { at_ = (at_ + 3) & ~size_t{3}; }

    std::wstring Text() {
        std::wstring text;
        for (WORD c = Word(); ok_ && c; c = Word()) text += static_cast<wchar_t>(c);
        return text;
    }
    // A class, menu or title: empty, an ordinal, or a text.
    std::wstring TextOrOrdinal() {
        if (!Need(2)) return {};
        WORD first = *reinterpret_cast<const WORD*>(&data_[at_]);
        if (first == 0xFFFF) {
            at_ += 2;
            return L"#" + std::to_wstring(Word());
        }
        return Text();
    }

private:
    bool Need(size_t count) {
        if (at_ + count > data_.size()) ok_ = false;
        return ok_;
    }
    template <typename T>
    T Read() {
        if (!Need(sizeof(T))) return 0;
        T value;
        memcpy(&value, &data_[at_], sizeof(T));
        at_ += sizeof(T);
        return value;
    }

    const std::vector<BYTE>& data_;
    size_t at_ = 0;
    bool ok_ = true;
};

std::vector<std::wstring> DialogShape(const std::vector<BYTE>& data) {
    TemplateReader in(data);
    std::vector<std::wstring> shape;
    if (in.Word() != 1 || in.Word() != 0xFFFF) return {L"not an extended dialog template"};
    in.Dword();  // help ID
    DWORD exStyle = in.Dword(), style = in.Dword();
    WORD items = in.Word();
    in.Skip(8);  // position and size
    std::wstring menu = in.TextOrOrdinal(), windowClass = in.TextOrOrdinal();
    in.Text();  // caption
    std::wstring font;
    if (style & DS_SETFONT) {
        font = std::to_wstring(in.Word()) + L" " + std::to_wstring(in.Word());
        in.Skip(2);  // italic, character set
        font += L" " + in.Text();
    }
    shape.push_back(L"dialog style " + std::to_wstring(style) + L" ex " + std::to_wstring(exStyle) + L" menu " + menu +
                    L" class " + windowClass + L" font " + font);
    for (WORD i = 0; i < items && in.Ok(); ++i) {
        in.AlignDword();
        in.Dword();  // help ID
        DWORD itemEx = in.Dword(), itemStyle = in.Dword();
        in.Skip(8);
        DWORD id = in.Dword();
        std::wstring itemClass = in.TextOrOrdinal();
        in.TextOrOrdinal();  // text
        in.Skip(in.Word());  // creation data
        shape.push_back(L"control " + std::to_wstring(static_cast<int>(id)) + L" class " + itemClass + L" style " +
                        std::to_wstring(itemStyle) + L" ex " + std::to_wstring(itemEx));
    }
    if (!in.Ok()) shape.push_back(L"template ends early");
    return shape;
}

// A menu as the program sees it: IDs, separators, states and nesting, and
// whether every item that is not a separator has a text.
void MenuShape(HMENU menu, const std::wstring& indent, std::vector<std::wstring>& shape) {
    for (int i = 0, count = ::GetMenuItemCount(menu); i < count; ++i) {
        wchar_t text[256] = {};
        MENUITEMINFOW info = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_ID | MIIM_FTYPE | MIIM_STATE | MIIM_SUBMENU | MIIM_STRING;
        info.dwTypeData = text;
        info.cch = 255;
        ::GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info);
        bool separator = info.fType & MFT_SEPARATOR;
        // A pop-up's ID is its menu handle: only its place tells.
        std::wstring kind = separator ? L"separator" : info.hSubMenu ? L"popup" : L"item " + std::to_wstring(info.wID);
        shape.push_back(indent + kind + L" state " + std::to_wstring(info.fState) +
                        (separator || text[0] ? L"" : L" without text"));
        if (info.hSubMenu) MenuShape(info.hSubMenu, indent + L"  ", shape);
    }
}

std::vector<std::wstring> MenuShape(const std::vector<BYTE>& data) {
    if (data.empty()) return {};
    HMENU menu = ::LoadMenuIndirectW(data.data());
    if (!menu) return {L"unreadable menu"};
    std::vector<std::wstring> shape;
    MenuShape(menu, L"", shape);
    ::DestroyMenu(menu);
    return shape;
}

std::string Narrow(const std::wstring& text) {
    std::string narrow;
    for (wchar_t c : text) narrow += c < 0x80 ? static_cast<char>(c) : '?';
    return narrow;
}

class ResourceLanguages : public testing::TestWithParam<const wchar_t*> {
protected:
    void SetUp() override {
        ASSERT_NE(nullptr, file_.Get()) << Narrow(BuildFile(GetParam())) << " not found: build it first";
    }
    ResourceFile file_{BuildFile(GetParam())};
};

TEST_P(ResourceLanguages, EveryResourceComesInEnglishAndGermanOnly) {
    for (LPCWSTR type : {kStrings, kDialogs, kMenus}) {
        for (const auto& [id, languages] : file_.Languages(type)) {
            EXPECT_EQ((std::set<LANGID>{kEnglish, kGerman}), languages)
                << "resource type " << reinterpret_cast<ULONG_PTR>(type) << ", ID " << id;
        }
    }
}

TEST_P(ResourceLanguages, EveryStringInOneLanguageHasItsTwinInTheOther) {
    std::map<UINT, std::wstring> english = Strings(file_, kEnglish), german = Strings(file_, kGerman);
    ASSERT_FALSE(english.empty());
    for (const auto& [id, text] : english) {
        auto twin = german.find(id);
        if (twin == german.end()) {
            ADD_FAILURE() << "string " << id << " has no German text: " << Narrow(text);
            continue;
        }
        EXPECT_EQ(Placeholders(text), Placeholders(twin->second)) << "string " << id;
    }
    for (const auto& [id, text] : german)
        EXPECT_TRUE(english.count(id)) << "string " << id << " is German only: " << Narrow(text);
}

TEST_P(ResourceLanguages, GermanDialogsAndMenusHaveTheControlsAndItemsOfTheEnglishOnes) {
    for (const auto& [id, languages] : file_.Languages(kDialogs)) {
        std::vector<std::wstring> english = DialogShape(file_.Data(kDialogs, id, kEnglish));
        EXPECT_EQ(english, DialogShape(file_.Data(kDialogs, id, kGerman))) << "dialog " << id;
        EXPECT_GT(english.size(), 1u) << "dialog " << id;
    }
    for (const auto& [id, languages] : file_.Languages(kMenus)) {
        std::vector<std::wstring> english = MenuShape(file_.Data(kMenus, id, kEnglish));
        EXPECT_EQ(english, MenuShape(file_.Data(kMenus, id, kGerman))) << "menu " << id;
        EXPECT_FALSE(english.empty()) << "menu " << id;
    }
}

INSTANTIATE_TEST_SUITE_P(Programs, ResourceLanguages, testing::Values(L"app\\Quarrow.exe", L"tools\\quarrowctl.exe"),
                         [](const testing::TestParamInfo<const wchar_t*>& info) {
                             return std::string(info.index == 0 ? "Quarrow" : "quarrowctl");
                         });

}  // namespace
