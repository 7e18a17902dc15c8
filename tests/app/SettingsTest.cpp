// What the program keeps below its settings key, and that it never creates the key.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "settings/Settings.h"

namespace {

TEST(LoginStore, RemembersPerAddressAndForgetsOnlyTheCredentials) {
    const std::string key = "SOFTWARE\\Storage Server\\QuarrowLoginStoreTest";
    ::RegDeleteTreeA(HKEY_CURRENT_USER, key.c_str());
    settings::RegistryLoginStore store(key);
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

TEST(Settings, RemembersAndForgetsTheServer) {
    const std::string key = "SOFTWARE\\Storage Server\\QuarrowSettingsTest";
    ::RegDeleteTreeA(HKEY_CURRENT_USER, key.c_str());
    settings::CSettings store(key);
    store.RememberServer("10.0.0.1", "NAS (10.0.0.1)");  // without the program's key nothing is created
    EXPECT_EQ("", store.DefaultServer());
    HKEY probe = nullptr;
    EXPECT_NE(ERROR_SUCCESS, ::RegOpenKeyA(HKEY_CURRENT_USER, key.c_str(), &probe));

    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyA(HKEY_CURRENT_USER, key.c_str(), &probe));
    ::RegCloseKey(probe);
    store.RememberServer("10.0.0.1", "NAS (10.0.0.1)");
    EXPECT_EQ("10.0.0.1", store.DefaultServer());
    EXPECT_EQ("NAS (10.0.0.1)", store.DefaultServerDisplayName());
    store.ForgetServer();
    EXPECT_EQ("", store.DefaultServer() + store.DefaultServerDisplayName());
    ::RegDeleteTreeA(HKEY_CURRENT_USER, key.c_str());
}

}  // namespace
