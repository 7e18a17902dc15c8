#include "settings/Settings.h"

#include <windows.h>

#include "resources/resource.h"
#include "common/Dialog.h"
#include "common/WinUtil.h"

namespace settings {

namespace {

constexpr char kDefaultServer[] = "DefaultServer";
constexpr char kDefaultServerDisplayName[] = "DefaultServerDisplayName";
constexpr char kUser[] = "User";
constexpr char kPassword[] = "Password";
constexpr char kNotify[] = "Notify";
constexpr char kNotifiedJobs[] = "NotifiedJobs";
// Lists are written far below this; one beyond it (left by an older version,
// or made by hand) is not ours to read whole.
constexpr DWORD kMaxListBytes = 1 << 20;

// The address names a subkey: one that would name a deeper key (or none) is
// not used for remembering.
bool UsableSubkeyName(const std::string& address) {
    return !address.empty() && address.find('\\') == std::string::npos;
}

}  // namespace

std::string ProgramKey() { return win::LoadResString(IDS_REGISTRY_KEY); }

std::string CSettings::DefaultServer() const {
    return win::ReadRegString(win::OpenRegKey(HKEY_CURRENT_USER, key_, KEY_READ).Get(), kDefaultServer);
}

std::string CSettings::DefaultServerDisplayName() const {
    return win::ReadRegString(win::OpenRegKey(HKEY_CURRENT_USER, key_, KEY_READ).Get(), kDefaultServerDisplayName);
}

void CSettings::RememberServer(const std::string& address, const std::string& displayName) const {
    win::RegKey key = win::OpenRegKey(HKEY_CURRENT_USER, key_, KEY_ALL_ACCESS);
    win::WriteRegString(key.Get(), kDefaultServer, address);
    win::WriteRegString(key.Get(), kDefaultServerDisplayName, displayName);
}

void CSettings::ForgetServer() const {
    win::RegKey key = win::OpenRegKey(HKEY_CURRENT_USER, key_, KEY_ALL_ACCESS);
    if (!key) return;
    ::RegDeleteValueA(key.Get(), kDefaultServer);
    ::RegDeleteValueA(key.Get(), kDefaultServerDisplayName);
}

void CSettings::ReadCredentials(const std::string& address, std::string& user, std::string& password) const {
    user.clear();
    password.clear();
    if (!UsableSubkeyName(address)) return;
    win::RegKey key = win::OpenRegKey(HKEY_CURRENT_USER, key_ + "\\" + address, KEY_READ);
    user = win::ReadRegString(key.Get(), kUser);
    password = win::ReadRegString(key.Get(), kPassword);
}

void CSettings::RememberCredentials(const std::string& address, const std::string& user,
                                    const std::string& password) const {
    if (!UsableSubkeyName(address)) return;
    win::RegKey main = win::OpenRegKey(HKEY_CURRENT_USER, key_, KEY_ALL_ACCESS);
    if (!main) return;
    win::RegKey sub = win::CreateRegKey(main.Get(), address, KEY_ALL_ACCESS);
    win::WriteRegString(sub.Get(), kUser, user);
    win::WriteRegString(sub.Get(), kPassword, password);
}

void CSettings::ForgetCredentials(const std::string& address) const {
    if (!UsableSubkeyName(address)) return;
    win::RegKey main = win::OpenRegKey(HKEY_CURRENT_USER, key_, KEY_ALL_ACCESS);
    if (!main) return;
    {
        win::RegKey sub = win::OpenRegKey(main.Get(), address, KEY_ALL_ACCESS);
        if (!sub) return;
        ::RegDeleteValueA(sub.Get(), kUser);
        ::RegDeleteValueA(sub.Get(), kPassword);
        // The subkey holds more than the credentials (the jobs already told
        // about, for one): only an empty one goes.
        DWORD subkeys = 0, values = 0;
        if (::RegQueryInfoKeyA(sub.Get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                               nullptr, nullptr, nullptr) != ERROR_SUCCESS ||
            subkeys != 0 || values != 0)
            return;
    }
    ::RegDeleteKeyA(main.Get(), address.c_str());
}

bool CSettings::NotifyOn() const {
    win::RegKey key = win::OpenRegKey(HKEY_CURRENT_USER, key_, KEY_READ);
    return win::ReadRegString(key.Get(), kNotify) != "0";
}

void CSettings::SetNotifyOn(bool on) const {
    win::RegKey key = win::OpenRegKey(HKEY_CURRENT_USER, key_, KEY_SET_VALUE);
    win::WriteRegString(key.Get(), kNotify, on ? "1" : "0");
}

bool CSettings::ReadNotifiedJobs(const std::string& address, std::string& bytes) const {
    bytes.clear();
    if (!UsableSubkeyName(address)) return false;
    win::RegKey key = win::OpenRegKey(HKEY_CURRENT_USER, key_ + "\\" + address, KEY_READ);
    if (!key) return false;
    DWORD type = 0, size = 0;
    if (::RegQueryValueExA(key.Get(), kNotifiedJobs, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        type != REG_MULTI_SZ || size > kMaxListBytes)
        return false;
    bytes.assign(size, '\0');
    if (size && ::RegQueryValueExA(key.Get(), kNotifiedJobs, nullptr, &type, reinterpret_cast<BYTE*>(bytes.data()),
                                   &size) != ERROR_SUCCESS) {
        bytes.clear();
        return false;
    }
    if (size < bytes.size()) bytes.resize(size);
    return true;
}

void CSettings::WriteNotifiedJobs(const std::string& address, const std::string& bytes) const {
    if (!UsableSubkeyName(address)) return;
    win::RegKey main = win::OpenRegKey(HKEY_CURRENT_USER, key_, KEY_ALL_ACCESS);
    if (!main) return;
    win::RegKey sub = win::CreateRegKey(main.Get(), address, KEY_ALL_ACCESS);
    if (!sub) return;
    ::RegSetValueExA(sub.Get(), kNotifiedJobs, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(bytes.data()),
                     static_cast<DWORD>(bytes.size()));
}

}  // namespace settings
