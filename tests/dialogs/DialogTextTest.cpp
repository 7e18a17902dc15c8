// The texts the dialogs build, and where remembered credentials go.
#include <gtest/gtest.h>

#include "client/LogIn.h"
#include "dialogs/DialogText.h"

namespace {

TEST(DialogText, ServerEntriesAndTheSelectionRule) {
    const std::string full32 = "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345";
    struct Case {
        mgmt::stserver server;
        const char* entry;
    } cases[] = {
        {{"NAS", {10, 77, 0, 2}}, "NAS (10.77.0.2)"},
        {{"", {0, 0, 0, 0}}, " (0.0.0.0)"},
        {{"B\xFCro %s", {192, 168, 255, 254}}, "B\xFCro %s (192.168.255.254)"},
        {{full32, {1, 2, 3, 4}}, "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345 (1.2.3.4)"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.entry, dialogs::ServerEntryText(c.server));

    // (selection, count) -> select the first entry?
    EXPECT_TRUE(dialogs::SelectFirstAfterAppend(-1, 1));
    EXPECT_TRUE(dialogs::SelectFirstAfterAppend(0, 3));
    EXPECT_FALSE(dialogs::SelectFirstAfterAppend(2, 3));
    EXPECT_FALSE(dialogs::SelectFirstAfterAppend(-1, 0));

    std::vector<mgmt::stserver> servers = {{"A", {10, 0, 0, 1}}, {"A", {10, 0, 0, 2}}};
    EXPECT_EQ(1, dialogs::FindServer(servers, {10, 0, 0, 2}));
    EXPECT_EQ(-1, dialogs::FindServer(servers, {10, 0, 0, 3}));
}

TEST(DialogText, ServerPathsAndCaptions) {
    struct Case {
        std::vector<std::string> texts;
        const char* path;
    } cases[] = {
        {{}, ""},
        {{"HDD1"}, "[HDD1]"},
        {{"HDD1", "Movies"}, "[HDD1]Movies\\"},
        {{"[RAID]", "Movies"}, "[RAID]Movies\\"},
        {{"[x", "y]"}, "[[x]y]\\"},
        {{"HDD2", "Shared Files", "a", "b"}, "[HDD2]Shared Files\\a\\b\\"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.path, dialogs::ServerPath(c.texts));
    EXPECT_EQ("Log in NAS (10.77.0.2)", dialogs::FormatWithText("Log in %s", "NAS (10.77.0.2)"));
    EXPECT_EQ("Log in 100%d", dialogs::FormatWithText("Log in %s", "100%d"));  // the text is not a format
    EXPECT_EQ("%s - Quarrow", dialogs::FormatWithText("%s - Quarrow", "%s"));
}

TEST(LoginStore, RemembersPerAddressAndForgetsOnlyTheCredentials) {
    const std::string key = "SOFTWARE\\Storage Server\\QuarrowLoginStoreTest";
    ::RegDeleteTreeA(HKEY_CURRENT_USER, key.c_str());
    client::RegistryLoginStore store(key);
    std::string user = "x", password = "y";
    // Without the program's key nothing is created.
    store.Remember("10.0.0.1", "admin", "secret");
    store.Read("10.0.0.1", user, password);
    EXPECT_EQ("", user + password);

    HKEY created = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyA(HKEY_CURRENT_USER, key.c_str(), &created));
    ::RegCloseKey(created);
    store.Remember("10.0.0.1", "admin", "secret");
    store.Remember("10.0.0.2", "guest", "");
    store.Read("10.0.0.1", user, password);
    EXPECT_EQ("admin/secret", user + "/" + password);
    store.Read("10.0.0.2", user, password);
    EXPECT_EQ("guest/", user + "/" + password);
    store.Remember("a\\b", "deep", "x");  // an address never names a deeper key
    HKEY probe = nullptr;
    EXPECT_NE(ERROR_SUCCESS, ::RegOpenKeyA(HKEY_CURRENT_USER, (key + "\\a").c_str(), &probe));

    store.Forget("10.0.0.1");
    EXPECT_NE(ERROR_SUCCESS, ::RegOpenKeyA(HKEY_CURRENT_USER, (key + "\\10.0.0.1").c_str(), &probe));
    store.Read("10.0.0.2", user, password);
    EXPECT_EQ("guest", user);

    // Whatever else the server's subkey holds survives forgetting the password.
    ASSERT_EQ(ERROR_SUCCESS, ::RegOpenKeyA(HKEY_CURRENT_USER, (key + "\\10.0.0.2").c_str(), &probe));
    ::RegSetValueExA(probe, "NotifiedJobs", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>("finished bt 1\0"), 15);
    ::RegCloseKey(probe);
    store.Forget("10.0.0.2");
    store.Read("10.0.0.2", user, password);
    EXPECT_EQ("", user + password);
    ASSERT_EQ(ERROR_SUCCESS, ::RegOpenKeyA(HKEY_CURRENT_USER, (key + "\\10.0.0.2").c_str(), &probe));
    DWORD type = 0, size = 0;
    EXPECT_EQ(ERROR_SUCCESS, ::RegQueryValueExA(probe, "NotifiedJobs", nullptr, &type, nullptr, &size));
    ::RegCloseKey(probe);
    ::RegDeleteTreeA(HKEY_CURRENT_USER, key.c_str());
}

}  // namespace
