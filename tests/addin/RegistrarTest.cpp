#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "addin/Registrar.h"
#include "common/Handle.h"

using namespace brevlet;

TEST(Registrar, RefusesMalformedScripts) {
    const Replacements replacements = {{"ID", "{1}"}};
    const char* bad[] = {
        "HKCR { A ",                   // } missing
        "HKXX { }",                    // unknown root
        "HKCR { val A = s 'x' }",      // value outside a key
        "HKCR { A = s '%OTHER%' }",    // unknown replacement
        "HKCR { A = s '50% }",         // unterminated quote
        "HKCR { A = s '100%' }",       // unpaired percent sign
        "HKCR { A = x 'y' }",          // unknown value type
        "HKCR { A = d 'twelve' }",     // not a number
        "HKCR { NoRemove }",           // modifier without a key
        "HKCR { A { val = s 'x' } }",  // value without a name
        "{ }",
    };
    for (const char* text : bad) {
        std::vector<ScriptRoot> roots;
        std::string error;
        EXPECT_FALSE(ParseScript(text, replacements, roots, &error)) << text;
        EXPECT_FALSE(error.empty()) << text;
        EXPECT_EQ(DISP_E_EXCEPTION, RunScript(text, replacements, true, HKEY_CURRENT_USER)) << text;
    }
    std::vector<ScriptRoot> roots;
    ASSERT_TRUE(ParseScript("HKCR { 'it''s %ID%' = s '%%%ID%' }", replacements, roots));
    ASSERT_EQ(1u, roots.size());
    EXPECT_EQ("it's {1}", roots[0].subkeys.at(0).name);
    EXPECT_EQ("%{1}", roots[0].subkeys.at(0).defaultValue.data);
}

namespace {

// Every key and value below `key`, one line each, in registry order.
void Dump(HKEY key, const std::string& path, std::vector<std::string>& lines) {
    lines.push_back("[" + path + "]");
    char name[256], data[512];
    for (DWORD i = 0;; ++i) {
        DWORD nameSize = sizeof name, dataSize = sizeof data, type = 0;
        if (::RegEnumValueA(key, i, name, &nameSize, nullptr, &type, reinterpret_cast<BYTE*>(data), &dataSize) !=
            ERROR_SUCCESS)
            break;
        std::string text = type == REG_DWORD ? std::to_string(*reinterpret_cast<DWORD*>(data)) : std::string(data);
        lines.push_back((nameSize ? name : "@") + std::string("=") + text);
    }
    for (DWORD i = 0;; ++i) {
        DWORD nameSize = sizeof name;
        if (::RegEnumKeyExA(key, i, name, &nameSize, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        win::RegKey sub;
        if (::RegOpenKeyExA(key, name, 0, KEY_READ, sub.Receive()) == ERROR_SUCCESS)
            Dump(sub.Get(), path + "\\" + name, lines);
    }
}

}  // namespace

TEST(Registrar, RegistersAndRemovesKeepingWhatIsNotItsOwn) {
    const std::string base = "Software\\QuarrowTests\\Registrar" + std::to_string(::GetCurrentProcessId());
    ::RegDeleteTreeA(HKEY_CURRENT_USER, base.c_str());
    win::RegKey root;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(HKEY_CURRENT_USER, base.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                               root.Receive(), nullptr));
    // Someone else's keys: a subkey of a key the script owns, an old value of a replaced key.
    ::RegSetValueA(root.Get(), "Shared\\Foreign", REG_SZ, "theirs", 6);
    ::RegSetValueA(root.Get(), "Forced\\Old", REG_SZ, "old", 3);

    const char* script = R"(HKCR {
        NoRemove Kept { Mine = s '%PATH%' { val Model = s '' } val Flag = d '0x22' }
        Shared = s 'x' { Sub }
        ForceRemove Forced = s 'new' { Child }
    })";
    const Replacements replacements = {{"PATH", "C:\\it's {here}"}};
    ASSERT_EQ(S_OK, RunScript(script, replacements, true, root.Get()));
    ASSERT_EQ(S_OK, RunScript(script, replacements, true, root.Get()));  // twice: nothing doubles
    std::vector<std::string> registered;
    Dump(root.Get(), "", registered);
    const std::vector<std::string> expectedRegistered = {
        "[]",
        "[\\Forced]",
        "@=new",
        "[\\Forced\\Child]",
        "[\\Kept]",
        "Flag=34",
        "[\\Kept\\Mine]",
        "@=C:\\it's {here}",
        "Model=",
        "[\\Shared]",
        "@=x",
        "[\\Shared\\Foreign]",
        "@=theirs",
        "[\\Shared\\Sub]",
    };
    EXPECT_EQ(expectedRegistered, registered);

    ASSERT_EQ(S_OK, RunScript(script, replacements, false, root.Get()));
    ASSERT_EQ(S_OK, RunScript(script, replacements, false, root.Get()));  // nothing left to remove
    std::vector<std::string> removed;
    Dump(root.Get(), "", removed);
    const std::vector<std::string> expectedRemoved = {
        "[]", "[\\Kept]", "[\\Shared]", "@=x", "[\\Shared\\Foreign]", "@=theirs",
    };
    EXPECT_EQ(expectedRemoved, removed);
    root.Close();
    ::RegDeleteTreeA(HKEY_CURRENT_USER, base.c_str());
}
