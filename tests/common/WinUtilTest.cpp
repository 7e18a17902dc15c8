// Helpers free of windows: text conversions, the program's folder, registry.
#include <gtest/gtest.h>

#include "common/WinUtil.h"

namespace {

TEST(WinUtil, TextConversions) {
    struct Case {
        std::string bytes;
        UINT codePage;
        std::wstring wide;
    } cases[] = {
        {"", 1252, L""},
        {"Quarrow 1.0", 1252, L"Quarrow 1.0"},
        {"\xE4\x80", 1252, L"\u00E4\u20AC"},
        {"\xC4\xE3\xBA\xC3", 936, L"\u4F60\u597D"},
        {"\xE4\xBD\xA0", CP_UTF8, L"\u4F60"},
        {std::string("a\0b", 3), 1252, std::wstring(L"a\0b", 3)},  // embedded zeros are kept
    };
    for (const Case& c : cases) {
        EXPECT_EQ(win::AnsiToWide(c.bytes, c.codePage), c.wide) << c.bytes;
        EXPECT_EQ(win::WideToAnsi(c.wide, c.codePage), c.bytes) << c.bytes;
    }
}

TEST(WinUtil, ModuleFolder) {
    std::string path = win::ModulePath(), folder = win::ModuleDirectory();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '\\');
    EXPECT_EQ(path.compare(0, folder.size(), folder), 0);
    EXPECT_EQ(path.substr(path.size() - 4), ".exe");
}

TEST(WinUtil, RegistryStrings) {
    const std::string root = "Software\\QuarrowCommonTest";
    ::RegDeleteTreeA(HKEY_CURRENT_USER, root.c_str());
    EXPECT_FALSE(win::OpenRegKey(HKEY_CURRENT_USER, root, KEY_READ));
    {
        win::RegKey key = win::CreateRegKey(HKEY_CURRENT_USER, root + "\\10.0.0.2", KEY_ALL_ACCESS);
        ASSERT_TRUE(key);
        DWORD number = 7;
        ::RegSetValueExA(key.Get(), "Number", 0, REG_DWORD, reinterpret_cast<BYTE*>(&number), sizeof number);
        struct Case {
            const char* name;
            std::string data;
            std::string read;  // what reading gives back
        } cases[] = {
            {"User", "admin", "admin"},
            {"Empty", "", ""},
            {"Long", std::string(998, 'x'), std::string(998, 'x')},
            {"TooLong", std::string(1200, 'y'), ""},  // does not fit the 1000-byte buffer
        };
        for (const Case& c : cases) {
            EXPECT_TRUE(win::WriteRegString(key.Get(), c.name, c.data)) << c.name;
            EXPECT_EQ(win::ReadRegString(key.Get(), c.name), c.read) << c.name;
        }
        EXPECT_EQ(win::ReadRegString(key.Get(), "Missing"), "");
        EXPECT_EQ(win::ReadRegString(key.Get(), "Number"), "");  // not a string
    }
    win::RegKey again = win::OpenRegKey(HKEY_CURRENT_USER, root + "\\10.0.0.2", KEY_READ);
    EXPECT_EQ(win::ReadRegString(again.Get(), "User"), "admin");
    EXPECT_EQ(win::ReadRegString(nullptr, "User"), "");
    again.Close();
    ::RegDeleteTreeA(HKEY_CURRENT_USER, root.c_str());
}

}  // namespace
